// Applying replies to the state, and the full status read against the
// simulated mixer over its pseudo-terminal.
#include "app/wiring.h"
#include "connection/supervisor.h"
#include "core/hostfacts.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "panel/panel.h"
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/statusreply.h"
#include "tests/support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

// Tells the test about every reply applied, with the request's index.
class AppliedReplies : public StateObserver {
public:
    std::function<void(RequestKind kind, Integer index)> then;
    void ReplyApplied(RequestKind kind) override {
        if (then) {
            then(kind, linkRecord.exchange[replyRecord].index);
        }
    }
};

void PutName(std::size_t position, const char* name) {
    const Text8 text(name);
    for (std::size_t i = 0; i < Text8::size; ++i) {
        linkRecord.replyBuffer[position + i] = static_cast<Byte>(text.Bytes()[i]);
    }
}

const std::array<Byte, 2> anyParam = {'0', 0};

} // namespace

class TestFullStatus : public QObject {
    Q_OBJECT
    std::unique_ptr<SimProcess> sim;
    PanelRefresh panel;
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    AppliedReplies applied;
    int messages = 0;

    // Start-up as far as the protocol needs it, then the simulator with the
    // state given by `commands`, the port opened on it and the first contact made.
    void Connect(const QList<QByteArray>& commands) {
        sim = std::make_unique<SimProcess>();
        QVERIFY2(sim->Start(), "dorvane-sim did not start");
        for (const QByteArray& command : commands) {
            const QString answer = sim->Command(QString::fromLatin1(command));
            QVERIFY2(answer.startsWith(QLatin1String("ok")),
                     qPrintable(QString::fromLatin1(command) + QStringLiteral(" -> ") + answer));
        }
        qputenv("ARDENIX_PORT", sim->LinkPath().toLocal8Bit());
        ResetLinkState(linkRecord);
        programSetup.systemState.portIsOpen = ToFlag(OpenPort(comm()));
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);

        QVERIFY(BuildRequest(linkRecord, RequestKind::Status, 0, anyParam));
        TransmitPending(linkRecord);
        QVERIFY(QTest::qWaitFor(
            [] {
                return linkRecord.exchange[replyRecord].status == Value(LinkResult::Accepted) ||
                       linkRecord.exchange[replyRecord].status == Value(LinkResult::Timeout);
            },
            10000));
        QCOMPARE(linkRecord.exchange[replyRecord].status, Value(LinkResult::Accepted));
        QCOMPARE(programSetup.systemState.deviceResponding, flagTrue);
    }

    void RunFullRead() {
        linkRecord.fullStatusNeeded = true;
        linkRecord.sequenceRunning = true;
        // The call returns at once, with the first request out; the replies
        // and time-outs move the series on.
        supervisor->ReadFullStatus();
        QVERIFY(linkRecord.sequenceRunning);
        QVERIFY(comm().Timer1.Enabled());
        QVERIFY(QTest::qWaitFor([] { return !linkRecord.sequenceRunning; }, 20000));
        QVERIFY(!linkRecord.fullStatusNeeded);
        QVERIFY(comm().Timer2.Enabled());
        QVERIFY(!comm().Timer1.Enabled());
    }

private slots:
    void initTestCase() {
        // First of all observers, as the wiring subscribes them.
        Subscribe(panel);
        Subscribe(operations);
        Subscribe(applied);
    }
    void init() {
        ResetEngineState();
        // The connection answers the link's events, without the window.
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        host::SetMsgBoxHandler([this](const QString&, int, const QString&) {
            ++messages;
            return host::mbOk;
        });
        messages = 0;
        applied.then = nullptr;
        SetFirstPanelValues(mirror);
        InitProtocolTables(linkRecord, mirror);
        frmControl(); // the panel, loaded as start-up loads it
    }
    void cleanup() {
        applied.then = nullptr;
        supervisor.reset();
        DestroyCommControls();
        sim.reset();
        qunsetenv("ARDENIX_PORT");
        host::SetMsgBoxHandler({});
    }

    void statusWaitsWhileAChangeIsUnacknowledged() {
        const PanelState before = mirror.panel;
        const PanelState syncedBefore = linkRecord.synced;
        FillStatus('D', 'L', 'C', '6', 'A', 'v', '^');
        for (const bool changePending : {true, false}) {
            linkRecord.anyChangePending = changePending;
            linkRecord.fullStatusNeeded = !changePending;
            linkRecord.FlagsOf(RequestKind::Status).requestOutstanding = flagTrue;
            QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::Status), 0));
            QCOMPARE(linkRecord.FlagsOf(RequestKind::Status).requestOutstanding, flagFalse);
            QVERIFY(mirror.panel == before);
            QVERIFY(linkRecord.synced == syncedBefore);
        }

        // Applied once nothing holds it back; in debug mode it is logged.
        linkRecord.anyChangePending = false;
        linkRecord.fullStatusNeeded = false;
        programSetup.debugMode = flagTrue;
        linkRecord.FlagsOf(RequestKind::Status).requestOutstanding = flagTrue;
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::Status), 0));
        QCOMPARE(linkRecord.FlagsOf(RequestKind::Status).requestOutstanding, flagFalse);
        QCOMPARE(mirror.panel.masters[0].lamps[overGain], flagTrue);
        QCOMPARE(mirror.panel.masters[1].lamps[overGain], flagFalse);
        QCOMPARE(mirror.panel.masters[0].lamps[mugen], flagTrue);
        QCOMPARE(mirror.panel.masters[1].lamps[mugen], flagTrue);
        QCOMPARE(mirror.panel.masters[0].muted, flagTrue);
        QCOMPARE(mirror.panel.masters[1].muted, flagTrue);
        QCOMPARE(mirror.panel.selectedInput, Integer(5));
        QCOMPARE(mirror.panel.recall, Integer('A'));
        QCOMPARE(mirror.panel.masters[0].level, Integer(30));
        QCOMPARE(mirror.panel.masters[1].level, Integer(28));
        // The panel followed: the redraw took what it drew into the synced copy.
        QCOMPARE(linkRecord.synced.selectedInput, Integer(5));
        QCOMPARE(linkRecord.synced.masters[1].muted, flagTrue);
        // 74 bytes received: four lines of 16 and one of 10.
        QCOMPARE(trafficLists.comm[2].ListCount(), 5);
        QCOMPARE(trafficLists.comm[3].ListCount(), 5);
        QCOMPARE(trafficLists.comm[3].List(4).size(), 10);
    }

    void repliesStoreOnlyWhatTheirLayoutHolds() {
        // A command reply carries nothing and ends the exchange; with data it does not.
        linkRecord.exchange[replyRecord].length = 0;
        linkRecord.FlagsOf(CommandKind::Recall).requestOutstanding = flagTrue;
        QVERIFY(ApplyReply(linkRecord, mirror, commandExchange, 0));
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Recall).requestOutstanding, flagFalse);
        linkRecord.exchange[replyRecord].length = 3;
        linkRecord.FlagsOf(CommandKind::Recall).requestOutstanding = flagTrue;
        QVERIFY(!ApplyReply(linkRecord, mirror, commandExchange, 0));
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Recall).requestOutstanding, flagTrue);

        // "RIL4" names the six inputs; "RIM1".."RIL3" only pace the series.
        linkRecord.replyBuffer.fill('0');
        const char* names[6] = {"CAM 1", "CAM 2", "Guest", "VTR", "MIC", "AUX 6789"};
        for (std::size_t k = 0; k < 6; ++k) {
            PutName(8 * k, names[k]);
        }
        const PanelState before = mirror.panel;
        for (Integer index = 0; index < reply::inputNamesIndex; ++index) {
            QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::Inputs), index));
        }
        QVERIFY(mirror.panel == before);
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::Inputs), reply::inputNamesIndex));
        for (std::size_t k = 0; k < 6; ++k) {
            QCOMPARE(mirror.panel.inputs[k].name, Text8(names[k]));
        }

        // "RSIO": the digits at 2, 4, .., 12.
        linkRecord.replyBuffer.fill('@');
        for (std::size_t k = 0; k < 6; ++k) {
            linkRecord.replyBuffer[2 + 2 * k] = static_cast<Byte>('0' + k);
        }
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::InputStatus), 0));
        for (std::size_t k = 0; k < 6; ++k) {
            QCOMPARE(mirror.panel.inputs[k].status, Integer(k));
        }

        // Master and scene names go only where a master or a radio button is.
        PutName(0, "STAGE");
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::MasterName), 1));
        QCOMPARE(mirror.panel.masters[1].name, Text8("STAGE"));
        QCOMPARE(mirror.panel.masters[0].name, Text8("MASTER A"));
        const PanelState named = mirror.panel;
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::MasterName), 2));
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::MasterName), -1));
        QVERIFY(mirror.panel == named);

        PutName(0, "FINALE");
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::SceneName), 3));
        QCOMPARE(mirror.sceneNames[3], Text8("FINALE"));
        const std::array<Text8, 4> scenesBefore = mirror.sceneNames;
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::SceneName), 4));
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::SceneName), -1));
        QVERIFY(mirror.sceneNames == scenesBefore);

        // "RRSA": the four scene codes, unchanged.
        linkRecord.replyBuffer[0] = 49;
        linkRecord.replyBuffer[1] = 68;
        linkRecord.replyBuffer[2] = 0xFF;
        linkRecord.replyBuffer[3] = '0';
        linkRecord.FlagsOf(RequestKind::SceneSlots).requestOutstanding = flagTrue;
        QVERIFY(ApplyReply(linkRecord, mirror, Value(RequestKind::SceneSlots), 0));
        QCOMPARE(linkRecord.FlagsOf(RequestKind::SceneSlots).requestOutstanding, flagFalse);
        QCOMPARE(programSetup.sceneSetup.sceneNumbers, (std::array<Integer, 4>{49, 68, 255, 48}));

        // No such request: nothing happens and the exchange is not ended.
        QVERIFY(!ApplyReply(linkRecord, mirror, 8, 0));
        QVERIFY(!ApplyReply(linkRecord, mirror, -1, 0));
    }

    void fullStatusEqualsTheSimulatorsState() {
        Connect({"set recall 55", "set input-name 3 Guest", "set input-status 4 7",
                 "set master-name B STAGE", "set level A 25", "set level B 3", "set mute B on",
                 "set overgain A on", "set mugen B on", "set input 4", "set slot C 60",
                 "set slot A 52", "set scene-name 60 FINALE"});
        if (QTest::currentTestFailed()) {
            return;
        }
        const int framesBefore = int(sim->FrameTexts().size());
        RunFullRead();
        const QJsonObject state = sim->State();

        // Exactly the 16 requests, in order, each answered before the next.
        const QStringList frames = sim->FrameTexts().mid(framesBefore);
        const QJsonArray sceneSlots = state.value(QStringLiteral("sceneSlots")).toArray();
        QCOMPARE(sceneSlots.size(), 4);
        QStringList expected = {
            QStringLiteral("RIM1 30"), QStringLiteral("RIM2 30"), QStringLiteral("RIM3 30"),
            QStringLiteral("RIM4 30"), QStringLiteral("RIM5 30"), QStringLiteral("RIM6 30"),
            QStringLiteral("RIL3 30"), QStringLiteral("RIL4 30"), QStringLiteral("RSIO"),
            QStringLiteral("RGFA 30"), QStringLiteral("RGFB 30"), QStringLiteral("RRSA")};
        for (const QJsonValue slot : sceneSlots) {
            expected.append(
                QStringLiteral("RSCI %1").arg(slot.toInt(), 2, 16, QLatin1Char('0')).toUpper());
        }
        QCOMPARE(frames, expected);
        const QStringList traffic = sim->Traffic();
        const qsizetype firstOfSeries = traffic.size() - 2 * frames.size();
        for (qsizetype i = firstOfSeries; i < traffic.size(); i += 2) {
            QVERIFY2(traffic[i].startsWith(QLatin1String("rx ")), qPrintable(traffic[i]));
            QVERIFY2(traffic[i + 1].startsWith(QLatin1String("tx A")), qPrintable(traffic[i + 1]));
        }
        for (std::size_t k = 0; k < 4; ++k) {
            QCOMPARE(int(programSetup.sceneSetup.sceneNumbers[k]), sceneSlots[int(k)].toInt());
        }

        // The panel's state, field by field.
        bool same = true;
        auto compare = [&same](const QString& field, const QString& panel, const QString& mixer) {
            qInfo().noquote() << (panel == mixer ? "same " : "DIFF ") << field << "panel" << panel
                              << "simulator" << mixer;
            same = same && panel == mixer;
        };
        auto flag = [](Flag value) {
            return value == flagTrue ? QStringLiteral("true") : QStringLiteral("false");
        };
        auto boolean = [](const QJsonValue& value) {
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        };
        auto quoted = [](const QString& text) {
            return QLatin1Char('"') + text + QLatin1Char('"');
        };
        const QJsonArray inputs = state.value(QStringLiteral("inputs")).toArray();
        for (int k = 0; k < 6; ++k) {
            const QJsonObject input = inputs[k].toObject();
            const auto i = static_cast<std::size_t>(k);
            compare(QStringLiteral("inputs[%1].name").arg(k),
                    quoted(mirror.panel.inputs[i].name.ToQString()),
                    quoted(input.value(QStringLiteral("name")).toString()));
            compare(QStringLiteral("inputs[%1].status").arg(k),
                    QString::number(mirror.panel.inputs[i].status),
                    QString::number(input.value(QStringLiteral("status")).toInt()));
        }
        const QJsonArray masters = state.value(QStringLiteral("masters")).toArray();
        for (int m = 0; m < 2; ++m) {
            const QJsonObject master = masters[m].toObject();
            const MasterSection& mine = mirror.panel.masters[static_cast<std::size_t>(m)];
            const QString at = QStringLiteral("masters[%1].").arg(m);
            compare(at + QStringLiteral("name"), quoted(mine.name.ToQString()),
                    quoted(master.value(QStringLiteral("name")).toString()));
            compare(at + QStringLiteral("level"), QString::number(mine.level),
                    QString::number(master.value(QStringLiteral("level")).toInt()));
            compare(at + QStringLiteral("muted"), flag(mine.muted),
                    boolean(master.value(QStringLiteral("muted"))));
            compare(at + QStringLiteral("lamps[overGain]"), flag(mine.lamps[overGain]),
                    boolean(master.value(QStringLiteral("overGain"))));
            compare(at + QStringLiteral("lamps[mugen]"), flag(mine.lamps[mugen]),
                    boolean(master.value(QStringLiteral("mugen"))));
        }
        // The mixer numbers inputs 1..6 with 0 for none; the panel 0..5 with -1.
        compare(QStringLiteral("selectedInput"), QString::number(mirror.panel.selectedInput),
                QString::number(state.value(QStringLiteral("selectedInput")).toInt() - 1));
        compare(QStringLiteral("recall"), QString::number(mirror.panel.recall),
                QString::number(state.value(QStringLiteral("recall")).toInt()));
        const QJsonArray names = state.value(QStringLiteral("sceneNames")).toArray();
        for (int k = 0; k < 4; ++k) {
            const auto i = static_cast<std::size_t>(k);
            compare(QStringLiteral("sceneNumbers[%1]").arg(k),
                    QString::number(programSetup.sceneSetup.sceneNumbers[i]),
                    QString::number(sceneSlots[k].toInt()));
            compare(QStringLiteral("sceneNames[%1]").arg(k),
                    quoted(mirror.sceneNames[i].ToQString()), quoted(names[k].toString()));
        }
        QVERIFY(same);
        // The values set on the simulator really came through (not first values).
        QCOMPARE(mirror.panel.inputs[2].name, Text8("Guest"));
        QCOMPARE(mirror.panel.inputs[3].status, Integer(7));
        QCOMPARE(mirror.panel.masters[1].name, Text8("STAGE"));
        QCOMPARE(mirror.panel.masters[0].level, Integer(25));
        QCOMPARE(mirror.sceneNames[2], Text8("FINALE"));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[0], Integer(52));
        // The full redraw took the state into the synced copy.
        QVERIFY(linkRecord.synced == mirror.panel);
        QCOMPARE(messages, 0);
    }

    // Names hold any byte: one above 0x7E in each of the eight places of
    // every name the full read brings (the six inputs, both masters, the
    // scenes on the radio buttons) comes through, shown in the user's code
    // page: Windows-1252, or Shift-JIS half-width katakana for locale 81.
    void namesWithBytesAbove7EComeThrough() {
        // Name k has 0xC4 at place k % 8 and 0xB6 at place 7 - k % 8.
        auto nameBytes = [](int k) {
            QByteArray name("abcdefgh");
            name[k % 8] = char(0xC4);
            name[7 - k % 8] = char(0xB6);
            return name;
        };
        auto typed = [](const QByteArray& name) {
            QByteArray text;
            for (const char c : name) {
                text += uchar(c) > 0x7E ? "\\x" + QByteArray::number(uchar(c), 16).toUpper()
                                        : QByteArray(1, c);
            }
            return text;
        };
        QList<QByteArray> commands;
        for (int k = 0; k < 6; ++k) {
            commands << "set input-name " + QByteArray::number(k + 1) + " " + typed(nameBytes(k));
        }
        commands << "set master-name A " + typed(nameBytes(6))
                 << "set master-name B " + typed(nameBytes(7));
        for (int k = 0; k < 4; ++k) {
            const QByteArray code = QByteArray::number(50 + k);
            commands << "set slot " + QByteArray(1, char('A' + k)) + " " + code
                     << "set scene-name " + code + " " + typed(nameBytes(8 + k));
        }
        Connect(commands);
        if (QTest::currentTestFailed()) {
            return;
        }
        RunFullRead();
        QCOMPARE(messages, 0);

        std::vector<const Text8*> names;
        for (const InputEntry& input : mirror.panel.inputs) {
            names.push_back(&input.name);
        }
        for (const MasterSection& master : mirror.panel.masters) {
            names.push_back(&master.name);
        }
        for (const Text8& scene : mirror.sceneNames) {
            names.push_back(&scene);
        }
        QCOMPARE(int(names.size()), 12);
        for (const Integer locale : {Integer(0), Integer(81)}) {
            programSetup.systemState.localeCode = locale;
            const QString highC4 =
                locale == 81 ? QStringLiteral(u"\uFF84") : QStringLiteral(u"\u00C4");
            const QString highB6 =
                locale == 81 ? QStringLiteral(u"\uFF76") : QStringLiteral(u"\u00B6");
            for (int k = 0; k < 12; ++k) {
                QString expected = QStringLiteral("abcdefgh");
                expected[k % 8] = highC4[0];
                expected[7 - k % 8] = highB6[0];
                QCOMPARE(names[std::size_t(k)]->ToQString(), expected);
            }
        }
        programSetup.systemState.localeCode = 0;
        // The panel shows them: the input buttons' captions and the scene labels.
        QCOMPARE(frmControl().SSCommand1[0].Caption(), QStringLiteral(u"\u00C4bcdefg\u00B6"));
        QCOMPARE(frmControl().Label1[13].text(), QStringLiteral(u"abc\u00C4\u00B6fgh"));
    }

    void unansweredRequestTimesOutAndTheSeriesFinishes() {
        Connect({"set slot D 57", "set scene-name 57 CREDITS"});
        if (QTest::currentTestFailed()) {
            return;
        }
        // The mixer falls silent right after answering the third scene name.
        applied.then = [this](RequestKind kind, Integer index) {
            if (kind == RequestKind::SceneName && index == 2) {
                QCOMPARE(sim->Command(QStringLiteral("silent on")), QStringLiteral("ok silent on"));
            }
        };
        const int framesBefore = int(sim->FrameTexts().size());
        QElapsedTimer clock;
        clock.start();
        RunFullRead();
        const qint64 elapsed = clock.elapsed();
        const QStringList frames = sim->FrameTexts().mid(framesBefore);
        QCOMPARE(frames.size(), 18); // 15 answered, the last sent three times
        QCOMPARE(frames[15], QStringLiteral("RSCI 39"));
        QCOMPARE(frames[16], frames[15]);
        QCOMPARE(frames[17], frames[15]);
        QCOMPARE(sim->Traffic().last(), QStringLiteral("tx none (silent)"));
        // The time-out came at the third reply-timer tick, not before.
        QVERIFY2(elapsed >= 1000, qPrintable(QString::number(elapsed)));
        QCOMPARE(linkRecord.exchange[replyRecord].status, Value(LinkResult::Ok));
        QCOMPARE(linkRecord.FlagsOf(RequestKind::SceneName).requestOutstanding, flagTrue);
        QCOMPARE(mirror.sceneNames[3], Text8(""));
        QVERIFY(mirror.sceneNames[2] != Text8(""));
        // The time-out took the link down and told the user, once.
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QCOMPARE(programSetup.systemState.deviceResponding, flagFalse);
        QCOMPARE(messages, 1);
    }

    void sceneCodesThatAreNoBytesAreSkipped() {
        Connect({});
        if (QTest::currentTestFailed()) {
            return;
        }
        // The mixer stops answering after the master names, so "RRSA" times
        // out and the radio buttons keep scene codes that fit no byte.
        programSetup.sceneSetup.sceneNumbers = {300, -1, 256, 1000};
        applied.then = [this](RequestKind kind, Integer index) {
            if (kind == RequestKind::MasterName && index == 1) {
                QCOMPARE(sim->Command(QStringLiteral("silent on")), QStringLiteral("ok silent on"));
            }
        };
        const int framesBefore = int(sim->FrameTexts().size());
        RunFullRead();
        const QStringList frames = sim->FrameTexts().mid(framesBefore);
        QCOMPARE(frames.size(), 14); // 11 answered, "RRSA" three times, no "RSCI"
        QCOMPARE(frames.last(), QStringLiteral("RRSA"));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers,
                 (std::array<Integer, 4>{300, -1, 256, 1000}));
        for (const Text8& name : mirror.sceneNames) {
            QCOMPARE(name, Text8(""));
        }
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        QCOMPARE(messages, 1); // the time-out of "RRSA" only
    }
};

QTEST_MAIN(TestFullStatus)
#include "test_fullstatus.moc"
