// The reply range tables, the reply checks and the status decoders.
#include "core/state.h"
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"
#include "tests/support/linkrecord.h"
#include "tests/support/statusreply.h"

#include <QtTest>

#include <vector>

namespace {

// One run of positions with the same accepted range.
struct Span {
    int from;
    int to;
    int step;
    int lowest;
    int highest;
};

constexpr int any = -1; // shorthand: the whole byte range 0x00..0xFF

Span Positions(int from, int to, int lowest, int highest) {
    if (lowest == any) {
        return {from, to, 1, 0x00, 0xFF};
    }
    return {from, to, 1, lowest, highest};
}
Span Position(int at, int lowest, int highest) {
    return Positions(at, at, lowest, highest);
}
Span Every2nd(int from, int to, int lowest, int highest) {
    return {from, to, 2, lowest, highest};
}

// The accepted ranges, written from the description of the replies (not from
// the stored strings), so that the two cross-check.
struct Expected {
    int length;
    std::vector<Span> spans;
};

std::vector<Expected> AcceptedRanges() {
    std::vector<Expected> all(replyCheckCount);
    all[checkInputNames] = {
        63,
        {Positions(0, 47, any, any), Positions(48, 53, 0x30, 0x3F), Position(54, 0x40, 0x5C),
         Position(55, 0x20, 0x7E), Position(56, 0x2E, 0x4A), Position(57, 0x30, 0x6C),
         Position(58, 0x20, 0x7E), Position(59, 0x2E, 0x4A), Position(60, 0x30, 0x6C),
         Position(61, 0x30, 0x49), Position(62, 0x30, 0x6C)}};
    all[checkInputStatus] = {24,
                             {Every2nd(0, 12, 0x30, 0x7A), Every2nd(1, 13, 0x40, 0x4F),
                              Position(14, 0x40, 0x4F), Position(15, 0x40, 0x4B),
                              Positions(16, 21, 0x30, 0x37), Position(22, 0x30, 0x7A),
                              Position(23, 0x30, 0x33)}};
    all[checkMasterName] = {12,
                            {Positions(0, 7, any, any), Position(8, 0x40, 0x7F),
                             Position(9, 0x40, 0x43), Position(10, 0x40, 0x7F),
                             Position(11, 0x40, 0x47)}};
    all[checkSceneName] = {8, {Positions(0, 7, any, any)}};
    all[checkStatus] = {
        74, {Positions(0, 23, 0x30, 0x40),  Position(24, 0x40, 0x7F), Position(26, 0x40, 0x7F),
             Position(28, 0x40, 0x7F),      Position(30, 0x40, 0x7F), Position(32, 0x40, 0x7F),
             Position(25, 0x40, 0x43),      Position(27, 0x40, 0x43), Position(29, 0x40, 0x43),
             Position(31, 0x40, 0x4F),      Position(33, 0x40, 0x4F), Position(34, 0x40, 0x47),
             Positions(35, 38, 0x40, 0x7F), Position(39, 0x40, 0x4F), Positions(40, 63, 0x30, 0x76),
             Position(64, 0x40, 0x7F),      Position(65, 0x40, 0x43), Positions(66, 67, 0x40, 0x7F),
             Position(68, 0x40, 0x43),      Position(69, 0x40, 0x7F), Position(70, 0x30, 0x36),
             Position(71, 0x30, 0x44),      Position(72, 0x40, 0x7F), Position(73, 0x30, 0x40)}};
    return all;
}

QString TopLine(int list) {
    return trafficLists.debug[list].ListCount() > 0 ? trafficLists.debug[list].List(0) : QString();
}

int ErrorLines() {
    return trafficLists.debug[0].ListCount() + trafficLists.debug[1].ListCount();
}

} // namespace

class TestReplies : public QObject {
    Q_OBJECT
private slots:
    void init() {
        ResetEngineState();
        InitProtocolTables(linkRecord, mirror);
    }

    void rangeTablesEqualTheAcceptedRanges() {
        const std::vector<Expected> expected = AcceptedRanges();
        for (int entry = 0; entry < replyCheckCount; ++entry) {
            const ReplyCheck& check = replyChecks[entry];
            const Expected& want = expected[entry];
            QCOMPARE(int(check.length), want.length);
            QCOMPARE(int(check.minBytes.size()), want.length);
            QCOMPARE(int(check.maxBytes.size()), want.length);
            std::vector<int> lowest(want.length, -1);
            std::vector<int> highest(want.length, -1);
            for (const Span& span : want.spans) {
                for (int p = span.from; p <= span.to; p += span.step) {
                    QVERIFY2(
                        lowest[p] == -1,
                        qPrintable(QStringLiteral("entry %1 position %2 twice").arg(entry).arg(p)));
                    lowest[p] = span.lowest;
                    highest[p] = span.highest;
                }
            }
            for (int p = 0; p < want.length; ++p) {
                const QString where = QStringLiteral("entry %1 position %2").arg(entry).arg(p);
                QVERIFY2(lowest[p] != -1, qPrintable(where + QStringLiteral(" not described")));
                QVERIFY2(Byte(check.minBytes[p]) == lowest[p], qPrintable(where));
                QVERIFY2(Byte(check.maxBytes[p]) == highest[p], qPrintable(where));
            }
        }
        // Expanding marks only: a stored string without marks is kept as it is.
        std::array<ReplyCheck, replyCheckCount> plain{};
        plain[0] = {0, "09@", "9z~"};
        ExpandReplyChecks(plain);
        QCOMPARE(plain[0].length, Integer(3));
        QCOMPARE(plain[0].minBytes, QByteArray("09@"));
        QCOMPARE(plain[0].maxBytes, QByteArray("9z~"));
        // A free-text mark near the end overwrites only what is there.
        plain[1] = {0, "0!", "0!"};
        ExpandReplyChecks(plain);
        QCOMPARE(plain[1].minBytes, QByteArray("0\0", 2));
        QCOMPARE(plain[1].maxBytes, QByteArray("0\xFF", 2));
    }

    void initFillsMasksLevelsAndCopiesTheState() {
        ResetEngineState();
        mirror.panel.masters[1].level = 17;
        mirror.panel.inputs[2].name = Text8("Cam 2");
        InitProtocolTables(linkRecord, mirror);
        QVERIFY(linkRecord.synced == mirror.panel);
        QCOMPARE(linkRecord.synced.masters[1].level, Integer(17));

        for (int bit = 0; bit < 8; ++bit) {
            QCOMPARE(int(bitMasks[bit]), 1 << bit);
        }
        QCOMPARE(levelTable[0], -99.0f);
        QCOMPARE(levelTable[8], -32.5f);
        QCOMPARE(levelTable[11], -25.0f);
        QCOMPARE(levelTable[12], -24.0f);
        QCOMPARE(levelTable[30], -6.0f);
        QCOMPARE(levelTable[31], -5.0f);
        QCOMPARE(levelTable[32], -4.5f);
        QCOMPARE(levelTable[41], 0.0f);
        QCOMPARE(levelTable[59], 9.0f);
        QCOMPARE(levelTable[60], 10.0f);
        for (std::size_t i = 1; i < levelTable.size(); ++i) {
            QVERIFY(levelTable[i - 1] < levelTable[i]);
        }
    }

    void levelCodesBecomeFaderSteps() {
        QCOMPARE(LevelFromCode(48), Integer(0));
        QCOMPARE(LevelFromCode(49), Integer(1));
        QCOMPARE(LevelFromCode(50), Integer(2));
        QCOMPARE(LevelFromCode(51), Integer(2));
        QCOMPARE(LevelFromCode(94), Integer(28));
        QCOMPARE(LevelFromCode(99), Integer(28));
        QCOMPARE(LevelFromCode(100), Integer(29));
        QCOMPARE(LevelFromCode(108), Integer(30));
        QCOMPARE(LevelFromCode(118), Integer(30));
        for (const Integer outside : {Integer(-1), Integer(0), Integer(47), Integer(119),
                                      Integer(255), Integer(32767), Integer(-32768)}) {
            QCOMPARE(LevelFromCode(outside), Integer(0));
        }
        // Every step 0..30 is reached, in order, by the codes 48..118.
        Integer previous = 0;
        std::array<bool, 31> reached{};
        for (Integer code = 48; code <= 118; ++code) {
            const Integer step = LevelFromCode(code);
            QVERIFY(step >= previous);
            QVERIFY(step <= 30);
            reached[static_cast<std::size_t>(step)] = true;
            previous = step;
        }
        for (const bool r : reached) {
            QVERIFY(r);
        }
    }

    void statusBytesDecode() {
        PanelState state;
        DecodeFlagByte(state, reply::mutedPosition, 'C');
        QCOMPARE(state.masters[0].muted, flagTrue);
        QCOMPARE(state.masters[1].muted, flagTrue);
        DecodeFlagByte(state, reply::mutedPosition, '@');
        QCOMPARE(state.masters[0].muted, flagFalse);
        QCOMPARE(state.masters[1].muted, flagFalse);
        DecodeFlagByte(state, reply::mutedPosition, 'B');
        QCOMPARE(state.masters[0].muted, flagFalse);
        QCOMPARE(state.masters[1].muted, flagTrue);

        DecodeFlagByte(state, reply::overGainPosition, 'D');
        QCOMPARE(state.masters[0].lamps[overGain], flagTrue);
        QCOMPARE(state.masters[1].lamps[overGain], flagFalse);
        DecodeFlagByte(state, reply::overGainPosition, 'H');
        QCOMPARE(state.masters[0].lamps[overGain], flagFalse);
        QCOMPARE(state.masters[1].lamps[overGain], flagTrue);
        // The mugen lamps use the same bits, at their own position.
        DecodeFlagByte(state, reply::mugenPosition, '@');
        QCOMPARE(state.masters[0].lamps[mugen], flagFalse);
        QCOMPARE(state.masters[1].lamps[mugen], flagFalse);
        QCOMPARE(state.masters[1].lamps[overGain], flagTrue);
        DecodeFlagByte(state, reply::mugenPosition, 'L');
        QCOMPARE(state.masters[0].lamps[mugen], flagTrue);
        QCOMPARE(state.masters[1].lamps[mugen], flagTrue);

        DecodeCodeByte(state, reply::inputPosition, '0');
        QCOMPARE(state.selectedInput, Integer(-1));
        DecodeCodeByte(state, reply::inputPosition, '6');
        QCOMPARE(state.selectedInput, Integer(5));
        DecodeCodeByte(state, reply::inputPosition, '1');
        QCOMPARE(state.selectedInput, Integer(0));
        DecodeCodeByte(state, reply::recallPosition, 'D');
        QCOMPARE(state.recall, Integer('D'));

        DecodeLevelByte(state, reply::levelPositionA, 'v');
        DecodeLevelByte(state, reply::levelPositionB, '^');
        QCOMPARE(state.masters[0].level, Integer(30));
        QCOMPARE(state.masters[1].level, Integer(28));
        DecodeLevelByte(state, reply::levelPositionA, 'l');
        DecodeLevelByte(state, reply::levelPositionB, '0');
        QCOMPARE(state.masters[0].level, Integer(30));
        QCOMPARE(state.masters[1].level, Integer(0));

        // A decoder given a position that is not its own, or a byte that names
        // no input, changes nothing.
        const PanelState before = state;
        DecodeFlagByte(state, reply::inputPosition, 0xFF);
        DecodeCodeByte(state, reply::mutedPosition, '3');
        DecodeCodeByte(state, reply::inputPosition, '7');
        DecodeCodeByte(state, reply::inputPosition, 0xFF);
        DecodeLevelByte(state, 58, 'v');
        DecodeLevelByte(state, -1, 'v');
        QVERIFY(state == before);
    }

    void statusRepliesAreCheckedByteByByte() {
        FillStatus('D', 'H', 'B', '6', '1', 'v', '0');
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength, 0));
        QCOMPARE(ErrorLines(), 0);

        FillStatus('D', 'H', 'B', '6', '1', 'v', '0');
        linkRecord.replyBuffer[0] = 'A';
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength, 0));
        QCOMPARE(TopLine(0), QStringLiteral("BIG ERROR"));
        QCOMPARE(TopLine(1), QStringLiteral("BIG ERROR"));

        FillStatus('D', 'H', 'B', '6', '1', 'v', '0');
        linkRecord.replyBuffer[reply::inputPosition] = '7';
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength, 0));
        QCOMPARE(TopLine(0), QStringLiteral("BIG ERROR"));
        QCOMPARE(trafficLists.debug[0].ListCount(), 2);

        FillStatus('D', 'H', 'B', '6', '1', 'v', '0');
        linkRecord.replyBuffer[40] = '/';
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength, 0));
        QCOMPARE(TopLine(0), QStringLiteral("SMALL ERROR"));
        QCOMPARE(TopLine(1), QStringLiteral("SMALL ERROR"));
        QCOMPARE(trafficLists.debug[1].ListCount(), 3);
        QCOMPARE(trafficLists.debug[1].List(1), QStringLiteral("BIG ERROR"));

        // A reply one byte short fails before any byte is looked at.
        FillStatus('D', 'H', 'B', '6', '1', 'v', '0');
        const int before = ErrorLines();
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength - 1, 0));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength + 1, 0));
        QCOMPARE(ErrorLines(), before);

        // Every position of every table: one below its range is SMALL, one above BIG.
        for (int entry = 0; entry < replyCheckCount; ++entry) {
            const ReplyCheck& check = replyChecks[entry];
            for (int p = 0; p < check.length; ++p) {
                const Byte lowest = Byte(check.minBytes[p]);
                const Byte highest = Byte(check.maxBytes[p]);
                if (lowest > 0) {
                    FillWithLowest(check);
                    linkRecord.replyBuffer[p] = lowest - 1;
                    trafficLists.debug[0].Clear();
                    QVERIFY(!CheckReplyBytes(linkRecord, check, check.length));
                    QCOMPARE(TopLine(0), QStringLiteral("SMALL ERROR"));
                }
                if (highest < 0xFF) {
                    FillWithLowest(check);
                    linkRecord.replyBuffer[p] = highest + 1;
                    trafficLists.debug[0].Clear();
                    QVERIFY(!CheckReplyBytes(linkRecord, check, check.length));
                    QCOMPARE(TopLine(0), QStringLiteral("BIG ERROR"));
                }
                FillWithLowest(check);
                linkRecord.replyBuffer[p] = highest;
                QVERIFY(CheckReplyBytes(linkRecord, check, check.length));
            }
        }
    }

    void otherRepliesAreChecked() {
        // "RSIO": inside the table, but the low three bits of byte 5 are 5.
        FillWithLowest(replyChecks[checkInputStatus]);
        QVERIFY(
            CheckReply(linkRecord, Value(RequestKind::InputStatus), reply::inputStatusLength, 0));
        linkRecord.replyBuffer[5] = 'L'; // low bits 4: still accepted
        QVERIFY(
            CheckReply(linkRecord, Value(RequestKind::InputStatus), reply::inputStatusLength, 0));
        linkRecord.replyBuffer[5] = 'M';
        const int before = ErrorLines();
        QVERIFY(
            !CheckReply(linkRecord, Value(RequestKind::InputStatus), reply::inputStatusLength, 0));
        QCOMPARE(ErrorLines(), before); // the low-bits rule adds no line
        FillWithLowest(replyChecks[checkInputStatus]);
        linkRecord.replyBuffer[13] = 'O'; // the last odd position, low bits 7
        QVERIFY(
            !CheckReply(linkRecord, Value(RequestKind::InputStatus), reply::inputStatusLength, 0));
        linkRecord.replyBuffer[13] = '@';
        linkRecord.replyBuffer[15] = 'G'; // position 15 is not under the low-bits rule
        QVERIFY(
            CheckReply(linkRecord, Value(RequestKind::InputStatus), reply::inputStatusLength, 0));

        // Names may hold any byte.
        FillWithLowest(replyChecks[checkMasterName]);
        for (int i = 0; i < 8; ++i) {
            linkRecord.replyBuffer[i] = static_cast<Byte>(i == 0 ? 0xFF : 0x00);
        }
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::MasterName), reply::masterNameLength, 1));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::MasterName), reply::masterNameLength - 1,
                            1));
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::SceneName), reply::sceneNameLength, 3));
        QVERIFY(
            !CheckReply(linkRecord, Value(RequestKind::SceneName), reply::sceneNameLength + 1, 3));

        // "RIL4" is checked, the other input replies only pace the series.
        FillWithLowest(replyChecks[checkInputNames]);
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::Inputs), reply::inputNamesLength,
                           reply::inputNamesIndex));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Inputs), 40, reply::inputNamesIndex));
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::Inputs), 40, 0));
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::Inputs), 18, 6));
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::Stt), 3, 0));

        // "RRSA" has no range table; only its four bytes are taken.
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::SceneSlots), reply::sceneSlotsLength, 0));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::SceneSlots), 3, 0));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::SceneSlots), 5, 0));

        // Lengths that no buffer holds, and kinds without a request.
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Inputs), -1, 0));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Inputs), replyBufferSize + 1, 0));
        QVERIFY(!CheckReply(linkRecord, Value(RequestKind::Stt), -5, 0));
        QVERIFY(!CheckReply(linkRecord, 8, 0, 0));
        QVERIFY(!CheckReply(linkRecord, -1, 0, 0));
        QVERIFY(!CheckReply(linkRecord, -1, 74, 0));
        ReplyCheck broken{80, QByteArray(2, '0'), QByteArray(2, 'z')};
        QVERIFY(!CheckReplyBytes(linkRecord, broken, 80));
        ReplyCheck tooLong{300, QByteArray(300, '\0'), QByteArray(300, '\xFF')};
        QVERIFY(!CheckReplyBytes(linkRecord, tooLong, 300));
    }

    void commandRepliesCarryNoData() {
        linkRecord.anyChangePending = true;
        QVERIFY(!CheckReply(linkRecord, commandExchange, 1, 0));
        QVERIFY(linkRecord.anyChangePending);
        QVERIFY(!CheckReply(linkRecord, commandExchange, -1, 0));
        QVERIFY(linkRecord.anyChangePending);
        QVERIFY(CheckReply(linkRecord, commandExchange, 0, 0));
        QVERIFY(!linkRecord.anyChangePending);
        QVERIFY(CheckReply(linkRecord, commandExchange, 0, 0));
        QVERIFY(!linkRecord.anyChangePending);
        // A status reply does not touch the pending change.
        linkRecord.anyChangePending = true;
        FillWithLowest(replyChecks[checkStatus]);
        QVERIFY(CheckReply(linkRecord, Value(RequestKind::Status), reply::statusLength, 0));
        QVERIFY(linkRecord.anyChangePending);
    }
};

QTEST_GUILESS_MAIN(TestReplies)
#include "test_replies.moc"
