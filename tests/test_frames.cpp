// The frame builders and the traffic log, byte for byte.
#include "core/state.h"
#include "protocol/protocol.h"
#include "tests/support/linkrecord.h"

#include <QtTest>

namespace {

QByteArray Frame(const std::array<Byte, 256>& buffer, int length) {
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), length);
}

bool ZeroFrom(const std::array<Byte, 256>& buffer, int from) {
    return std::all_of(buffer.begin() + from, buffer.end(), [](Byte b) { return b == 0; });
}

} // namespace

class TestFrames : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetEngineState(); }

    void commandFrames() {
        PanelState state;
        // Scene recall: the scene code as it is stored.
        state.recall = 49;
        linkRecord.exchange[replyRecord].length = 75;
        QCOMPARE(BuildCommand(linkRecord, CommandKind::Recall, state, 0), Integer(5));
        QCOMPARE(Frame(linkRecord.buildBuffer, 5), QByteArray("CRCL1"));
        QVERIFY(ZeroFrom(linkRecord.buildBuffer, 5));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(1));
        state.recall = 0x85;
        BuildCommand(linkRecord, CommandKind::Recall, state, 0);
        QCOMPARE(linkRecord.buildBuffer[4], Byte(0x85));

        // Transport keys.
        const char mapping[] = "8735142";
        for (Integer key = 0; key < 7; ++key) {
            state.transportKey = key;
            QCOMPARE(BuildCommand(linkRecord, CommandKind::Transport, state, 0), Integer(6));
            QCOMPARE(Frame(linkRecord.buildBuffer, 6), QByteArray("CRCS8") + mapping[key]);
        }
        state.transportKey = -1;
        BuildCommand(linkRecord, CommandKind::Transport, state, 0);
        QCOMPARE(Frame(linkRecord.buildBuffer, 6), QByteArray("CRCS80"));

        // Level motion and stop, for both masters.
        const QByteArray masterByte[] = {"@", "A"};
        for (Integer m = 0; m < 2; ++m) {
            QCOMPARE(BuildCommand(linkRecord, CommandKind::LevelUp, state, m), Integer(5));
            QCOMPARE(Frame(linkRecord.buildBuffer, 5), "CLV+" + masterByte[m]);
            QCOMPARE(BuildCommand(linkRecord, CommandKind::LevelDown, state, m), Integer(5));
            QCOMPARE(Frame(linkRecord.buildBuffer, 5), "CLV-" + masterByte[m]);
            QCOMPARE(BuildCommand(linkRecord, CommandKind::LevelStop, state, m), Integer(5));
            QCOMPARE(Frame(linkRecord.buildBuffer, 5), "CLVS" + masterByte[m]);
            QVERIFY(ZeroFrom(linkRecord.buildBuffer, 5));
        }

        // Muting of both masters, on and off.
        state.masters[1].muted = flagTrue;
        QCOMPARE(BuildCommand(linkRecord, CommandKind::Mute, state, 1), Integer(6));
        QCOMPARE(Frame(linkRecord.buildBuffer, 6), QByteArray("CMUTAA"));
        state.masters[0].muted = flagFalse;
        BuildCommand(linkRecord, CommandKind::Mute, state, 0);
        QCOMPARE(Frame(linkRecord.buildBuffer, 6), QByteArray("CMUT@@"));
        state.masters[0].muted = flagTrue;
        BuildCommand(linkRecord, CommandKind::Mute, state, 0);
        QCOMPARE(Frame(linkRecord.buildBuffer, 6), QByteArray("CMUT@A"));

        // Input selection.
        state.selectedInput = 0;
        QCOMPARE(BuildCommand(linkRecord, CommandKind::Select, state, 0), Integer(5));
        QCOMPARE(Frame(linkRecord.buildBuffer, 5), QByteArray("CSEL1"));
        state.selectedInput = 5;
        BuildCommand(linkRecord, CommandKind::Select, state, 0);
        QCOMPARE(Frame(linkRecord.buildBuffer, 5), QByteArray("CSEL6"));

        // No frame for the reserved kind or beyond; the buffer is cleared and
        // the expected reply length left alone.
        linkRecord.exchange[replyRecord].length = 41;
        QCOMPARE(BuildCommand(linkRecord, CommandKind::Reserved, state, 0), Integer(0));
        QCOMPARE(BuildCommand(linkRecord, static_cast<CommandKind>(-1), state, 0), Integer(0));
        QVERIFY(ZeroFrom(linkRecord.buildBuffer, 0));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(41));
    }

    void commandRangeErrors() {
        PanelState state;
        linkRecord.exchange[replyRecord].length = 75;
        state.recall = 256;
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildCommand(linkRecord, CommandKind::Recall, state, 0));
        state.recall = -1;
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildCommand(linkRecord, CommandKind::Recall, state, 0));
        state.transportKey = 7;
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildCommand(linkRecord, CommandKind::Transport, state, 0));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildCommand(linkRecord, CommandKind::Mute, state, 2));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildCommand(linkRecord, CommandKind::LevelUp, state, -1));
        state.selectedInput = 0xCF; // + 0x31 passes 255
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildCommand(linkRecord, CommandKind::Select, state, 0));
        // A refused frame leaves no half-written bytes and no new reply length.
        QVERIFY(ZeroFrom(linkRecord.buildBuffer, 0));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(75));
    }

    void requestFrames() {
        struct Case {
            RequestKind kind;
            Integer index;
            Byte param;
            QByteArray frame;
            Integer replyLength;
        };
        programSetup.sceneSetup.sceneNumbers = {49, 50, 60, 68};
        const QList<Case> cases = {
            {RequestKind::Status, 0, 0, "RAST", 75},
            {RequestKind::Inputs, 0, '1', "RIM11", 41},
            {RequestKind::Inputs, 5, '2', "RIM62", 41},
            {RequestKind::Inputs, 6, '3', "RIL33", 19},
            {RequestKind::Inputs, 7, '4', "RIL44", 64},
            {RequestKind::Inputs, 12, '5', "RIL45", 64},
            {RequestKind::InputStatus, 0, 0, "RSIO", 25},
            {RequestKind::MasterName, 0, 'x', "RGFAx", 13},
            {RequestKind::MasterName, 1, 'y', "RGFBy", 13},
            {RequestKind::MasterName, 7, 'z', "RGF6z", 13},
            {RequestKind::SceneName, 0, 0, "RSCI1", 9},
            {RequestKind::SceneName, 3, 0, "RSCID", 9},
            {RequestKind::SceneSlots, 0, 0, "RRSA", 5},
        };
        for (const Case& c : cases) {
            linkRecord.exchange[sendRecord].busy = flagFalse;
            linkRecord.kindFlags.fill(KindFlags{});
            linkRecord.sendBuffer.fill(0xEE);
            QVERIFY(BuildRequest(linkRecord, c.kind, c.index, {c.param, 0x77}));
            QCOMPARE(Frame(linkRecord.sendBuffer, static_cast<int>(c.frame.size())), c.frame);
            QVERIFY2(ZeroFrom(linkRecord.sendBuffer, static_cast<int>(c.frame.size())),
                     c.frame.constData());
            QCOMPARE(linkRecord.exchange[sendRecord].length, Integer(c.frame.size()));
            QCOMPARE(linkRecord.exchange[replyRecord].length, c.replyLength);
            QCOMPARE(linkRecord.exchange[sendRecord].kind, Value(c.kind));
            QCOMPARE(linkRecord.exchange[sendRecord].index, c.index);
            QCOMPARE(linkRecord.exchange[sendRecord].busy, flagTrue);
            QCOMPARE(linkRecord.kindFlags[static_cast<std::size_t>(c.kind)].requestOutstanding,
                     flagTrue);
        }
        // Every index from 7 to the end of the list reads "RIL4".
        for (Integer index = 7; index <= 12; ++index) {
            linkRecord.exchange[sendRecord].busy = flagFalse;
            QVERIFY(BuildRequest(linkRecord, RequestKind::Inputs, index, {'9', 0}));
            QCOMPARE(Frame(linkRecord.sendBuffer, 5), QByteArray("RIL49"));
            QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(64));
        }
        // RSTT carries the caller's byte and leaves the expected length alone.
        linkRecord.exchange[sendRecord].busy = flagFalse;
        linkRecord.exchange[replyRecord].length = 33;
        QVERIFY(BuildRequest(linkRecord, RequestKind::Stt, 0, {'q', 0}));
        QCOMPARE(Frame(linkRecord.sendBuffer, 5), QByteArray("RSTTq"));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(33));
    }

    void requestWhileAFrameWaits() {
        QVERIFY(BuildRequest(linkRecord, RequestKind::Inputs, 6, {'3', 0}));
        const std::array<Byte, 256> first = linkRecord.sendBuffer;
        const std::array<ExchangeRecord, 2> records = linkRecord.exchange;
        QVERIFY(!BuildRequest(linkRecord, RequestKind::Status, 0, {0, 0}));
        QCOMPARE(Frame(linkRecord.sendBuffer, 256), Frame(first, 256));
        QCOMPARE(linkRecord.exchange[sendRecord].kind, records[sendRecord].kind);
        QCOMPARE(linkRecord.exchange[sendRecord].length, records[sendRecord].length);
        QCOMPARE(linkRecord.exchange[replyRecord].length, records[replyRecord].length);
        QCOMPARE(linkRecord.FlagsOf(RequestKind::Status).requestOutstanding, flagFalse);
    }

    void requestRangeErrors() {
        linkRecord.sendBuffer.fill(0xEE);
        linkRecord.exchange[replyRecord].length = 7;
        programSetup.sceneSetup.sceneNumbers = {49, 300, 50, 51};
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, RequestKind::Inputs, 13, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, RequestKind::Inputs, -1, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, RequestKind::MasterName, 8, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, RequestKind::SceneName, 4, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, RequestKind::SceneName, -1, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, RequestKind::SceneName, 1, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, static_cast<RequestKind>(0), 0, {0, 0}));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 BuildRequest(linkRecord, static_cast<RequestKind>(8), 0, {0, 0}));
        // No frame was marked ready, nothing was written.
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        QCOMPARE(linkRecord.sendBuffer[0], Byte(0xEE));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(7));
        for (const KindFlags& f : linkRecord.kindFlags) {
            QCOMPARE(f.requestOutstanding, flagFalse);
        }
    }

    void requestsAreLoggedInDebugMode() {
        programSetup.debugMode = flagTrue;
        QVERIFY(BuildRequest(linkRecord, RequestKind::Status, 0, {0, 0}));
        QCOMPARE(trafficLists.comm[0].ListCount(), 0); // the status request is not logged here
        linkRecord.exchange[sendRecord].busy = flagFalse;
        QVERIFY(BuildRequest(linkRecord, RequestKind::InputStatus, 0, {0, 0}));
        // Frame length + 1: the zero byte after the code shows too.
        QCOMPARE(trafficLists.comm[0].Lines(), QStringList{QStringLiteral("5253494F 0")});
        QCOMPARE(trafficLists.comm[1].Lines(), QStringList{QStringLiteral("RSIO.")});
        programSetup.debugMode = flagFalse;
        linkRecord.exchange[sendRecord].busy = flagFalse;
        QVERIFY(BuildRequest(linkRecord, RequestKind::InputStatus, 0, {0, 0}));
        QCOMPARE(trafficLists.comm[0].ListCount(), 1);
    }

    void logFrameLines() {
        LogFrame(linkRecord, TrafficDirection::Sent, 4); // not in debug mode: nothing
        QCOMPARE(trafficLists.comm[0].ListCount(), 0);
        programSetup.debugMode = flagTrue;
        const QByteArray rast("RAST");
        std::copy(rast.begin(), rast.end(), linkRecord.sendBuffer.begin());
        LogFrame(linkRecord, TrafficDirection::Sent, 4);
        QCOMPARE(trafficLists.comm[0].Lines(), QStringList{QStringLiteral("52415354")});
        QCOMPARE(trafficLists.comm[1].Lines(), QStringList{QStringLiteral("RAST")});
        QCOMPARE(trafficLists.debug[0].Lines(), QStringList{QStringLiteral("52415354   ")});
        QCOMPARE(trafficLists.debug[1].Lines(), QStringList{QStringLiteral("RAST")});

        // With the status filter the request reaches the communication lists only.
        programSetup.statusLogFilter = flagTrue;
        LogFrame(linkRecord, TrafficDirection::Sent, 4);
        QCOMPARE(trafficLists.comm[0].ListCount(), 2);
        QCOMPARE(trafficLists.debug[0].ListCount(), 1);
        // So does a 74-byte reply; a shorter one reaches both.
        linkRecord.replyBuffer.fill('x');
        LogFrame(linkRecord, TrafficDirection::Received, 74);
        QCOMPARE(trafficLists.comm[2].ListCount(), 5);
        QCOMPARE(trafficLists.debug[2].ListCount(), 0);
        LogFrame(linkRecord, TrafficDirection::Received, 40);
        QCOMPARE(trafficLists.debug[2].ListCount(), 3);
        programSetup.statusLogFilter = flagFalse;

        // 17 bytes: two lines, the second with one byte; 0x0A is " A" and ".".
        for (ListBox& l : trafficLists.comm) {
            l.Clear();
        }
        for (ListBox& l : trafficLists.debug) {
            l.Clear();
        }
        for (int i = 0; i < 17; ++i) {
            linkRecord.replyBuffer[static_cast<std::size_t>(i)] = static_cast<Byte>('a' + i);
        }
        linkRecord.replyBuffer[3] = 0x0A;
        linkRecord.replyBuffer[16] = 0xFF;
        LogFrame(linkRecord, TrafficDirection::Received, 17);
        QCOMPARE(trafficLists.comm[2].Lines(),
                 (QStringList{QStringLiteral("616263 A65666768696A6B6C6D6E6F70"),
                              QStringLiteral("FF")}));
        QCOMPARE(trafficLists.comm[3].Lines(),
                 (QStringList{QStringLiteral("abc.efghijklmnop"), QString(QChar(0xFF))}));
        // The debug window shows the newest line first.
        QCOMPARE(trafficLists.debug[2].List(0), QStringLiteral("FF   "));
        QCOMPARE(trafficLists.debug[3].List(1), QStringLiteral("abc.efghijklmnop"));
        QCOMPARE(trafficLists.comm[0].ListCount(), 0);
        LogFrame(linkRecord, TrafficDirection::Received, 0);
        QCOMPARE(trafficLists.comm[2].ListCount(), 2);
    }

    void logFrameClearsFullLists() {
        programSetup.debugMode = flagTrue;
        linkRecord.sendBuffer[0] = 'Z';
        for (int i = 0; i < 256; ++i) {
            LogFrame(linkRecord, TrafficDirection::Sent, 1);
        }
        QCOMPARE(trafficLists.comm[0].ListCount(), 256);
        QCOMPARE(trafficLists.debug[1].ListCount(), 256);
        linkRecord.sendBuffer[0] = 'Y';
        LogFrame(linkRecord, TrafficDirection::Sent, 1);
        QCOMPARE(trafficLists.comm[0].Lines(), QStringList{QStringLiteral("59")});
        QCOMPARE(trafficLists.comm[1].Lines(), QStringList{QStringLiteral("Y")});
        QCOMPARE(trafficLists.debug[0].Lines(), QStringList{QStringLiteral("59   ")});
        QCOMPARE(trafficLists.debug[1].Lines(), QStringList{QStringLiteral("Y")});
    }

    void logFrameStaysInsideTheBuffers() {
        programSetup.debugMode = flagTrue;
        for (std::size_t i = 0; i < linkRecord.replyBuffer.size(); ++i) {
            linkRecord.replyBuffer[i] = static_cast<Byte>('0' + i % 10);
        }
        // 257 bytes asked for: the scratch buffer holds 256, the rest is left out.
        LogFrame(linkRecord, TrafficDirection::Received, 257);
        QCOMPARE(trafficLists.comm[2].ListCount(), 16);
        QCOMPARE(trafficLists.comm[3].Lines().join(QString()).size(), 256);
        QCOMPARE(linkRecord.buildBuffer[255], Byte('5'));
        // Out of every buffer's range: bounded just the same; negative is nothing.
        LogFrame(linkRecord, TrafficDirection::Sent, 32000);
        QCOMPARE(trafficLists.comm[0].ListCount(), 16);
        LogFrame(linkRecord, TrafficDirection::Sent, -5);
        QCOMPARE(trafficLists.comm[0].ListCount(), 16);
        LogFrame(linkRecord, static_cast<TrafficDirection>(2), 4);
        QCOMPARE(trafficLists.comm[0].ListCount() + trafficLists.comm[2].ListCount(), 32);
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "test_frames.moc"
