// The panel's session-bus service against the simulated mixer, on a private
// session bus: the interface as introspected, the properties against the
// simulator's state, the frames of every method against the panel's own
// presses, the announcements of changes, the errors, the long calls, the
// desktop's Activate and the second start that raises the first.
//
// The panel runs in this process (start-up, then the service registered as
// the program registers it); the calls come over the bus from a connection
// of their own. Every case runs in a process of its own (the end of the
// program is final within a process): run with a case's name, this program
// runs that case; run without arguments, it runs each case in a child.
#include "app/startup.h"
#include "app/wiring.h"
#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "panel/panel.h"
#include "serial/serial.h"
#include "service/automation.h"
#include "tests/support/busclient.h"
#include "tests/support/casechildren.h"
#include "tests/support/linkrecord.h"
#include "tests/support/privatebus.h"
#include "tests/support/simprocess.h"
#include "tests/support/statuscounter.h"
#include "windows/windows.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace {

const QString invalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString notConnected = QStringLiteral("org.ardenix.Mixer1.Error.NotConnected");
const QString sceneLocked = QStringLiteral("org.ardenix.Mixer1.Error.SceneLocked");
const QString mutedError = QStringLiteral("org.ardenix.Mixer1.Error.Muted");
const QString busy = QStringLiteral("org.ardenix.Mixer1.Error.Busy");

// The interfaces of an introspection text, each member reduced to its kind,
// name and types: "method SetLevel in:s,i out:i", "property Port s read".
std::set<QString> Members(const QString& xml, const QStringList& interfaces) {
    std::set<QString> members;
    QXmlStreamReader reader(xml);
    QString interface;
    QString member;
    QStringList in;
    QStringList out;
    const auto flush = [&] {
        if (!member.isEmpty()) {
            members.insert(member + QStringLiteral(" in:") + in.join(QLatin1Char(',')) +
                           QStringLiteral(" out:") + out.join(QLatin1Char(',')));
        }
        member.clear();
        in.clear();
        out.clear();
    };
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement() && (reader.name() == QLatin1String("method") ||
                                      reader.name() == QLatin1String("signal"))) {
            flush();
        }
        if (!reader.isStartElement()) {
            continue;
        }
        const QXmlStreamAttributes a = reader.attributes();
        const QString name = a.value(QLatin1String("name")).toString();
        if (reader.name() == QLatin1String("interface")) {
            interface = interfaces.contains(name) ? name : QString();
        } else if (interface.isEmpty()) {
            continue;
        } else if (reader.name() == QLatin1String("method") ||
                   reader.name() == QLatin1String("signal")) {
            member =
                interface + QLatin1Char(' ') + reader.name().toString() + QLatin1Char(' ') + name;
        } else if (reader.name() == QLatin1String("arg")) {
            (a.value(QLatin1String("direction")) == QLatin1String("out") ? out : in)
                .append(a.value(QLatin1String("type")).toString());
        } else if (reader.name() == QLatin1String("property")) {
            members.insert(interface + QStringLiteral(" property ") + name + QLatin1Char(' ') +
                           a.value(QLatin1String("type")).toString() + QLatin1Char(' ') +
                           a.value(QLatin1String("access")).toString());
        }
    }
    if (reader.hasError()) {
        members.insert(QStringLiteral("XML error: ") + reader.errorString());
    }
    return members;
}

// What the panel shows of its buttons: every button's picture and whether it
// reacts, and the overlays over muted masters' level buttons.
QStringList PanelLook() {
    FrmControl& panel = frmControl();
    QStringList look;
    const auto add = [&look](const QString& what, const SSCommand& button) {
        look.append(what + QLatin1Char(' ') + button.PictureName() +
                    (button.Enabled() ? QString() : QStringLiteral(" disabled")));
    };
    for (std::size_t i = 0; i < panel.SSCommand1.size(); ++i) {
        add(QStringLiteral("input %1").arg(i), panel.SSCommand1[i]);
    }
    for (std::size_t i = 0; i < panel.SSCommand2.size(); ++i) {
        add(QStringLiteral("transport %1").arg(i), panel.SSCommand2[i]);
    }
    for (std::size_t i = 0; i < panel.SSCommand3.size(); ++i) {
        add(QStringLiteral("mute %1").arg(i), panel.SSCommand3[i]);
    }
    for (std::size_t i = 0; i < panel.SSCommand4.size(); ++i) {
        add(QStringLiteral("level %1").arg(i), panel.SSCommand4[i]);
        look.append(QStringLiteral("overlay %1 %2").arg(i).arg(panel.Image5[i].Visible()));
    }
    for (std::size_t i = 0; i < panel.SSCommand5.size(); ++i) {
        add(QStringLiteral("scene %1").arg(i), panel.SSCommand5[i]);
    }
    return look;
}

} // namespace

class TestService : public QObject {
    Q_OBJECT
    PanelRefresh panel;
    // The program's connection and its message box, wired as the program wires them.
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    QTemporaryDir runtimeDir;
    SessionBus bus;
    QStringList messageTexts;
    int messageOpenMs = 0; // how long the user takes to close a message
    StatusCounter polls;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<automation::Automation> automation;
    std::unique_ptr<BusClient> client;
    Integer button = 1;
    Integer shift = 0;
    Single x = 0;
    Single y = 0;

    // The simulator, the panel online on it and the service on the bus, as
    // the program starts them.
    void StartOnline(const QStringList& simArguments = {}, const QStringList& mixerSetup = {}) {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->Start(simArguments));
        for (const QString& command : mixerSetup) {
            SimCommand(command);
        }
        qputenv("ARDENIX_PORT", sim->LinkPath().toLocal8Bit());
        host::SetCommandLineText(QString());
        Main(linkRecord, mirror,
             connectionMessage); // returns at once: the first contact and the full read go on
        QVERIFY(!host::ProgramEnding());
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 10000);
        automation = std::make_unique<automation::Automation>(operations, &RaisePanel);
        QVERIFY2(automation->Registered(), qPrintable(automation->Problem()));
        client = std::make_unique<BusClient>(bus.Address());
        QVERIFY(client->Connected());
        QVERIFY(client->Listen());
        QVERIFY(client->NameOwned());
    }

    QJsonObject SimState() {
        return QJsonDocument::fromJson(sim->Command(QStringLiteral("state")).toUtf8()).object();
    }
    void SimCommand(const QString& command) {
        QCOMPARE(sim->Command(command).left(2), QStringLiteral("ok"));
    }
    // Lets the panel follow the mixer: two status polls applied.
    void WaitForPolls(int count = 2) {
        const int from = polls.applied;
        QTRY_VERIFY_WITH_TIMEOUT(polls.applied >= from + count, 5000);
    }
    // Waits until no command waits for its acknowledgement any more.
    static void WaitUntilAcknowledged() {
        QTRY_VERIFY_WITH_TIMEOUT(
            !linkRecord.anyChangePending && linkRecord.exchange[sendRecord].busy != flagTrue, 5000);
        QTest::qWait(30);
    }

    // The command frames the mixer received while `act` ran and until they
    // were acknowledged ("CSEL 34"); a frame sent again counts once.
    QStringList CommandsOf(const std::function<void()>& act) {
        const qsizetype from = sim->Log().size();
        act();
        WaitUntilAcknowledged();
        QStringList frames;
        for (const SimLogLine& line : sim->Frames(from)) {
            if (line.Code().startsWith(QLatin1Char('C')) &&
                (frames.isEmpty() || frames.last() != line.what.mid(3))) {
                frames.append(line.what.mid(3));
            }
        }
        return frames;
    }

    static void ExpectReply(const QDBusMessage& reply) {
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage,
                 qPrintable(reply.errorName() + QLatin1Char(' ') + reply.errorMessage()));
    }
    static void ExpectError(const QDBusMessage& reply, const QString& name,
                            const QString& text = QString()) {
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), name);
        if (!text.isEmpty()) {
            QCOMPARE(reply.errorMessage(), text);
        }
    }

    // One panel press and the method that stands for it, each from the same
    // state of the mixer: the same frames and the same look of the panel.
    void Compare(const char* what, const std::function<void()>& baseline,
                 const std::function<void()>& press, const std::function<void()>& call,
                 const QString& expectedCode) {
        baseline();
        const QStringList pressed = CommandsOf(press);
        const QStringList pressedLook = PanelLook();
        baseline();
        const QStringList called = CommandsOf(call);
        const QStringList calledLook = PanelLook();
        QVERIFY2(!called.isEmpty(), what);
        QVERIFY2(called.first().startsWith(expectedCode),
                 qPrintable(called.join(QLatin1Char('|'))));
        QVERIFY2(pressed == called,
                 qPrintable(QString::fromLatin1(what) + QStringLiteral(": ") +
                            pressed.join(QLatin1Char('|')) + QStringLiteral(" / ") +
                            called.join(QLatin1Char('|'))));
        QVERIFY2(pressedLook == calledLook, what);
    }

private slots:
    void initTestCase() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        QVERIFY(bus.Start());
        host::SetMsgBoxHandler([this](const QString& text, int, const QString&) {
            messageTexts.append(text);
            if (messageOpenMs > 0) {
                QTest::qWait(messageOpenMs); // the box is modal: events go on meanwhile
            }
            return host::mbOk;
        });
        Subscribe(polls);
    }

    // The windows still loaded go before the application does.
    void cleanupTestCase() {
        client.reset();
        automation.reset();
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The live introspection names exactly what the interface file says.
    void introspectionMatchesTheInterfaceFile() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        QFile file(QStringLiteral(ARDENIX_SOURCE_DIR "/service/org.ardenix.Mixer1.xml"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList interfaces{QStringLiteral("org.ardenix.Mixer1"),
                                     QStringLiteral("org.freedesktop.Application")};
        const std::set<QString> documented = Members(QString::fromUtf8(file.readAll()), interfaces);
        const std::set<QString> live = Members(client->Introspect(), interfaces);
        QCOMPARE(documented.size(), std::size_t{9 + 14 + 1});
        QStringList differences;
        for (const QString& m : documented) {
            if (live.count(m) == 0) {
                differences << QStringLiteral("missing: ") + m;
            }
        }
        for (const QString& m : live) {
            if (documented.count(m) == 0) {
                differences << QStringLiteral("not documented: ") + m;
            }
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(QLatin1Char('\n'))));
        // Each method takes the types the file gives it: a call with them
        // reaches the method (which may refuse the values), not the refusal
        // of other types.
        for (const QString& m : documented) {
            const QStringList parts = m.split(QLatin1Char(' '));
            if (parts.value(1) != QLatin1String("method")) {
                continue;
            }
            QVariantList arguments;
            for (const QString& type :
                 parts.value(3).mid(3).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                arguments << (type == QLatin1String("i")   ? QVariant(0)
                              : type == QLatin1String("b") ? QVariant(false)
                              : type == QLatin1String("s") ? QVariant(QString())
                                                           : QVariant(QVariantMap()));
            }
            const QDBusMessage reply = client->Call(parts[2], arguments, parts[0]);
            QVERIFY2(reply.type() != QDBusMessage::ErrorMessage ||
                         (reply.errorName() !=
                              QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") &&
                          !reply.errorMessage().contains(QLatin1String("takes the arguments"))),
                     qPrintable(m + QLatin1String(": ") + reply.errorMessage()));
        }
        // Nothing may write a property.
        const QDBusMessage set = client->Call(QStringLiteral("Set"),
                                              {BusClient::mixer, QStringLiteral("SelectedInput"),
                                               QVariant::fromValue(QDBusVariant(2))},
                                              BusClient::properties);
        QCOMPARE(set.type(), QDBusMessage::ErrorMessage);
    }

    void propertiesEqualTheMixerAfterTheFullRead() {
        StartOnline({}, {QStringLiteral("set mute B on"), QStringLiteral("set overgain A on"),
                         QStringLiteral("set level A 17"), QStringLiteral("set input-status 2 7"),
                         QStringLiteral("set input-name 3 Guest"), QStringLiteral("set input 5")});
        const QVariantMap p = client->Properties();
        const QJsonObject state = SimState();
        QCOMPARE(p.size(), 14);
        QCOMPARE(p.value(QStringLiteral("Connection")).toString(), QStringLiteral("online"));
        QCOMPARE(p.value(QStringLiteral("Port")).toString(), sim->LinkPath());
        QCOMPARE(p.value(QStringLiteral("SelectedInput")).toInt(),
                 state[QLatin1String("selectedInput")].toInt());
        const QJsonArray inputs = state[QLatin1String("inputs")].toArray();
        const QStringList inputNames = p.value(QStringLiteral("InputNames")).toStringList();
        const QList<int> inputStatus = BusClient::IntList(p.value(QStringLiteral("InputStatus")));
        QCOMPARE(inputNames.size(), 6);
        QCOMPARE(inputStatus.size(), 6);
        for (int k = 0; k < 6; ++k) {
            const QJsonObject input = inputs[k].toObject();
            QCOMPARE(inputNames[k], input[QLatin1String("name")].toString().trimmed());
            QCOMPARE(inputStatus[k], input[QLatin1String("status")].toInt());
        }
        QCOMPARE(inputStatus[1], 7);
        QCOMPARE(inputNames[2], QStringLiteral("Guest"));
        QCOMPARE(p.value(QStringLiteral("SelectedInput")).toInt(), 5);
        const QJsonArray masters = state[QLatin1String("masters")].toArray();
        const QStringList masterNames = p.value(QStringLiteral("MasterNames")).toStringList();
        const QList<int> levels = BusClient::IntList(p.value(QStringLiteral("MasterLevels")));
        const QList<bool> muted = BusClient::BoolList(p.value(QStringLiteral("MasterMuted")));
        const QList<bool> overGain = BusClient::BoolList(p.value(QStringLiteral("OverGain")));
        const QList<bool> mugen = BusClient::BoolList(p.value(QStringLiteral("Mugen")));
        for (int m = 0; m < 2; ++m) {
            const QJsonObject master = masters[m].toObject();
            QCOMPARE(masterNames.value(m), master[QLatin1String("name")].toString().trimmed());
            QCOMPARE(levels.value(m, -1), master[QLatin1String("level")].toInt());
            QCOMPARE(muted.value(m), master[QLatin1String("muted")].toBool());
            QCOMPARE(overGain.value(m), master[QLatin1String("overGain")].toBool());
            QCOMPARE(mugen.value(m), master[QLatin1String("mugen")].toBool());
        }
        QCOMPARE(levels[0], 17);
        QCOMPARE(muted, (QList<bool>{false, true}));
        QCOMPARE(overGain[0], true);
        const QJsonArray sceneSlots = state[QLatin1String("sceneSlots")].toArray();
        const QJsonArray sceneNames = state[QLatin1String("sceneNames")].toArray();
        const QList<int> codes = BusClient::IntList(p.value(QStringLiteral("SceneCodes")));
        const QStringList names = p.value(QStringLiteral("SceneNames")).toStringList();
        const QList<bool> locked = BusClient::BoolList(p.value(QStringLiteral("SceneLocked")));
        QString lit;
        for (int k = 0; k < 4; ++k) {
            QCOMPARE(codes.value(k), sceneSlots[k].toInt());
            QCOMPARE(names.value(k), sceneNames[k].toString().trimmed());
            QCOMPARE(locked.value(k), false);
            if (lit.isEmpty() && sceneSlots[k].toInt() == state[QLatin1String("recall")].toInt()) {
                lit = QString(QChar(QLatin1Char('A').unicode() + k));
            }
        }
        QCOMPARE(p.value(QStringLiteral("RecalledScene")).toString(), lit);
        // One property alone reads the same.
        QCOMPARE(BusClient::IntList(client->Property(QStringLiteral("MasterLevels"))), levels);
    }

    void methodsSendThePanelsFrames() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        FrmControl& panel = frmControl();
        const auto baseline = [this](const QStringList& commands) {
            return [this, commands] {
                for (const QString& command : commands) {
                    SimCommand(command);
                }
                WaitForPolls();
            };
        };
        Compare(
            "input", baseline({QStringLiteral("set input 1")}),
            [&] { panel.SSCommand1_MouseDown(3, button, shift, x, y); },
            [&] { ExpectReply(client->Call(QStringLiteral("SelectInput"), {4})); },
            QStringLiteral("CSEL"));
        Compare(
            "mute on", baseline({QStringLiteral("set mute A off")}),
            [&] { panel.SSCommand3_MouseDown(0, button, shift, x, y); },
            [&] {
                ExpectReply(client->Call(QStringLiteral("SetMute"), {QStringLiteral("A"), true}));
            },
            QStringLiteral("CMUT"));
        Compare(
            "mute off", baseline({QStringLiteral("set mute B on")}),
            [&] { panel.SSCommand3_MouseDown(1, button, shift, x, y); },
            [&] {
                ExpectReply(client->Call(QStringLiteral("SetMute"), {QStringLiteral("B"), false}));
            },
            QStringLiteral("CMUT"));
        // Muting as it is already: nothing is pressed, nothing is sent.
        baseline({QStringLiteral("set mute B on")})();
        QCOMPARE(
            CommandsOf([&] {
                ExpectReply(client->Call(QStringLiteral("SetMute"), {QStringLiteral("B"), true}));
            }),
            QStringList());
        QCOMPARE(mirror.panel.masters[1].muted, flagTrue);

        const int slotA = SimState()[QLatin1String("sceneSlots")].toArray()[0].toInt();
        Compare(
            "scene",
            baseline(
                {QStringLiteral("set mute B off"), QStringLiteral("set recall %1").arg(slotA)}),
            [&] { panel.SSCommand5_MouseDown(1, button, shift, x, y); },
            [&] {
                ExpectReply(client->Call(QStringLiteral("RecallScene"), {QStringLiteral("B")}));
            },
            QStringLiteral("CRCL"));
        Compare(
            "transport held", baseline({}),
            [&] {
                panel.SSCommand2_MouseDown(4, button, shift, x, y);
                QTest::qWait(150);
                panel.SSCommand2_MouseUp(4, button, shift, x, y);
            },
            [&] {
                ExpectReply(
                    client->Call(QStringLiteral("PressTransport"), {QStringLiteral("play")}));
                QTest::qWait(150);
                ExpectReply(client->Call(QStringLiteral("ReleaseTransport")));
            },
            QStringLiteral("CRCS"));
        Compare(
            "transport tapped", baseline({}),
            [&] {
                panel.SSCommand2_MouseDown(3, button, shift, x, y);
                QTest::qWait(100);
                panel.SSCommand2_MouseUp(3, button, shift, x, y);
            },
            [&] {
                ExpectReply(
                    client->Call(QStringLiteral("TapTransport"), {QStringLiteral("rewind")}));
            },
            QStringLiteral("CRCS"));
        Compare(
            "level held",
            baseline({QStringLiteral("set mute B off"), QStringLiteral("set level B 20")}),
            [&] {
                panel.SSCommand4_MouseDown(3, button, shift, x, y);
                QTest::qWait(250);
                panel.SSCommand4_MouseUp(3, button, shift, x, y);
            },
            [&] {
                ExpectReply(client->Call(QStringLiteral("StartLevel"),
                                         {QStringLiteral("B"), QStringLiteral("down")}));
                QTest::qWait(250);
                ExpectReply(client->Call(QStringLiteral("StopLevel"), {QStringLiteral("B")}));
            },
            QStringLiteral("CLV-"));
        Compare(
            "level set",
            baseline({QStringLiteral("set mute A off"), QStringLiteral("set level A 10")}),
            [&] {
                panel.SSCommand4_MouseDown(0, button, shift, x, y);
                QTest::qWait(250);
                panel.SSCommand4_MouseUp(0, button, shift, x, y);
            },
            [&] {
                const QDBusMessage reply =
                    client->Call(QStringLiteral("SetLevel"), {QStringLiteral("A"), 13});
                ExpectReply(reply);
                QCOMPARE(reply.arguments().value(0).toInt(), 13);
            },
            QStringLiteral("CLV+"));
    }

    // A change made at the mixer arrives as one announcement, within two
    // status polls of the change.
    void mixerChangesAreAnnouncedOnce() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set mute B off"));
        SimCommand(QStringLiteral("set level A 5"));
        SimCommand(QStringLiteral("set input 1"));
        WaitForPolls(3);
        struct Change {
            QString command;
            QString property;
            std::function<bool(const QVariant&)> holds;
        };
        const QList<Change> changes{
            {QStringLiteral("set mute B on"), QStringLiteral("MasterMuted"),
             [](const QVariant& v) {
                 return BusClient::BoolList(v) == QList<bool>{false, true};
             }},
            {QStringLiteral("set level A 17"), QStringLiteral("MasterLevels"),
             [](const QVariant& v) { return BusClient::IntList(v).value(0) == 17; }},
            {QStringLiteral("set input 3"), QStringLiteral("SelectedInput"),
             [](const QVariant& v) { return v.toInt() == 3; }},
        };
        for (const Change& change : changes) {
            client->announcements.clear();
            SimCommand(change.command);
            const int pollsBefore = polls.applied;
            QTRY_VERIFY_WITH_TIMEOUT(!client->announcements.isEmpty(), 3000);
            const int pollsTaken = polls.applied - pollsBefore;
            QVERIFY2(pollsTaken <= 2,
                     qPrintable(change.command + QStringLiteral(": ") +
                                QString::number(pollsTaken) + QStringLiteral(" polls")));
            const QVariantMap changed = client->announcements.first().changed;
            QCOMPARE(changed.keys(), QStringList{change.property});
            QVERIFY2(change.holds(changed.value(change.property)), qPrintable(change.command));
            // Nothing more while the polls go on.
            WaitForPolls(3);
            QTest::qWait(50);
            QCOMPARE(client->announcements.size(), 1);
        }
    }

    void nothingIsAnnouncedWhileNothingChanges() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        WaitForPolls(2);
        QTest::qWait(100);
        client->announcements.clear();
        const qsizetype from = sim->Log().size();
        WaitForPolls(10);
        QVERIFY(sim->Codes(from).count(QStringLiteral("RAST")) >= 9);
        QCOMPARE(client->announcements.size(), 0);
    }

    // A silent mixer: the link goes down and every method fails with
    // NotConnected and sends nothing; a level motion under way ends so too.
    void notConnectedWhileTheMixerIsSilent() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set level A 0"));
        WaitForPolls();
        const QDBusPendingCall moving =
            client->Start(QStringLiteral("SetLevel"), {QStringLiteral("A"), 30});
        QTest::qWait(150);
        SimCommand(QStringLiteral("silent on"));
        const QDBusMessage interrupted = BusClient::Wait(moving);
        ExpectError(interrupted, notConnected);
        QTRY_VERIFY_WITH_TIMEOUT(CurrentLinkState() != LinkState::Online, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(client->announcements.begin(), client->announcements.end(),
                        [](const BusClient::Announcement& a) {
                            return a.changed.value(QStringLiteral("Connection")).toString() ==
                                   QLatin1String("lost");
                        }),
            3000);
        QCOMPARE(client->Property(QStringLiteral("Connection")).toString(), QStringLiteral("lost"));
        const qsizetype from = sim->Log().size();
        const QList<std::pair<QString, QVariantList>> calls{
            {QStringLiteral("SelectInput"), {2}},
            {QStringLiteral("SetMute"), {QStringLiteral("A"), true}},
            {QStringLiteral("RecallScene"), {QStringLiteral("C")}},
            {QStringLiteral("PressTransport"), {QStringLiteral("play")}},
            {QStringLiteral("ReleaseTransport"), {}},
            {QStringLiteral("TapTransport"), {QStringLiteral("stop")}},
            {QStringLiteral("StartLevel"), {QStringLiteral("A"), QStringLiteral("up")}},
            {QStringLiteral("StopLevel"), {QStringLiteral("A")}},
            {QStringLiteral("SetLevel"), {QStringLiteral("B"), 3}},
        };
        const PanelState before = mirror.panel;
        for (const auto& [method, arguments] : calls) {
            ExpectError(client->Call(method, arguments), notConnected,
                        QStringLiteral("the mixer is not connected"));
        }
        QTest::qWait(300);
        for (const QString& code : sim->Codes(from)) {
            QVERIFY2(!code.startsWith(QLatin1Char('C')), qPrintable(sim->LogText(from)));
        }
        QCOMPARE(mirror.panel.masters[0].muted, before.masters[0].muted);
        QCOMPARE(mirror.panel.selectedInput, before.selectedInput);
        QCOMPARE(mirror.panel.transportKey, before.transportKey);

        // The mixer speaks again: the link comes back and the methods work.
        SimCommand(QStringLiteral("silent off"));
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(client->Property(QStringLiteral("Connection")).toString(),
                                  QStringLiteral("online"), 2000);
        ExpectReply(client->Call(QStringLiteral("SelectInput"), {2}));
    }

    // The port found dead by the press itself: the panel tells the user and
    // waits for the message to be closed, but the call has its answer at once.
    void linkLostByAPressIsAnsweredAtOnce() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        comm().Timer2.SetEnabled(false); // no poll finds the loss first: the press does
        QTest::qWait(300);
        SimCommand(QStringLiteral("unplug"));
        QTest::qWait(100);
        QCOMPARE(CurrentLinkState(), LinkState::Online);
        messageOpenMs = 3000;
        const qint64 calledAt = client->Now();
        const QDBusPendingCall pending = client->Start(QStringLiteral("SelectInput"), {5});
        qint64 answeredAt = -1;
        QDBusPendingCallWatcher watcher(pending);
        connect(&watcher, &QDBusPendingCallWatcher::finished, this,
                [&answeredAt, this] { answeredAt = client->Now(); });
        const QDBusMessage reply = BusClient::Wait(pending);
        QCOMPARE(messageTexts, QStringList{MessageText(MessageKind::Connection)});
        QCOMPARE(CurrentLinkState(), LinkState::Lost);
        ExpectError(reply, notConnected, QStringLiteral("the link to the mixer was lost"));
        QVERIFY2(answeredAt >= 0 && answeredAt - calledAt < 1500,
                 qPrintable(QString::number(answeredAt - calledAt)));
        // Meanwhile (the message still open) the next call hears the same.
        messageOpenMs = 0;
        ExpectError(client->Call(QStringLiteral("SelectInput"), {2}), notConnected);
    }

    void lockedScenesAndMutedMasters() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        // The settings file locks the scene on button C.
        const Integer code = programSetup.sceneSetup.sceneNumbers[2];
        QVERIFY(code >= firstSceneCode && code <= lastSceneCode);
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] =
            flagTrue;
        QCOMPARE(BusClient::BoolList(client->Property(QStringLiteral("SceneLocked"))),
                 (QList<bool>{false, false, true, false}));
        SimCommand(QStringLiteral("set mute A on"));
        WaitForPolls();
        QVERIFY(!frmControl().SSCommand4[0].Enabled());
        const qsizetype from = sim->Log().size();
        ExpectError(client->Call(QStringLiteral("RecallScene"), {QStringLiteral("C")}), sceneLocked,
                    QStringLiteral("scene C is locked"));
        ExpectError(client->Call(QStringLiteral("SetLevel"), {QStringLiteral("A"), 3}), mutedError,
                    QStringLiteral("master A is muted"));
        ExpectError(client->Call(QStringLiteral("StartLevel"),
                                 {QStringLiteral("A"), QStringLiteral("down")}),
                    mutedError);
        QTest::qWait(300);
        for (const QString& c : sim->Codes(from)) {
            QVERIFY2(!c.startsWith(QLatin1Char('C')), qPrintable(sim->LogText(from)));
        }
        // The other master still moves.
        ExpectReply(client->Call(QStringLiteral("StartLevel"),
                                 {QStringLiteral("B"), QStringLiteral("up")}));
        ExpectReply(client->Call(QStringLiteral("StopLevel"), {QStringLiteral("B")}));
    }

    void badArgumentsAreRefused() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        const qsizetype from = sim->Log().size();
        const QList<std::pair<QString, QVariantList>> calls{
            {QStringLiteral("SelectInput"), {0}},
            {QStringLiteral("SelectInput"), {7}},
            {QStringLiteral("SetMute"), {QStringLiteral("C"), true}},
            {QStringLiteral("SetMute"), {QStringLiteral("a"), true}},
            {QStringLiteral("RecallScene"), {QStringLiteral("E")}},
            {QStringLiteral("RecallScene"), {QString()}},
            {QStringLiteral("PressTransport"), {QStringLiteral("eject")}},
            {QStringLiteral("TapTransport"), {QStringLiteral("Play")}},
            {QStringLiteral("StartLevel"), {QStringLiteral("A"), QStringLiteral("sideways")}},
            {QStringLiteral("StartLevel"), {QStringLiteral("X"), QStringLiteral("up")}},
            {QStringLiteral("StopLevel"), {QStringLiteral("AB")}},
            {QStringLiteral("SetLevel"), {QStringLiteral("A"), 31}},
            {QStringLiteral("SetLevel"), {QStringLiteral("B"), -1}},
            {QStringLiteral("SetLevel"), {QStringLiteral("Q"), 10}},
        };
        for (const auto& [method, arguments] : calls) {
            const QDBusMessage reply = client->Call(method, arguments);
            QVERIFY2(reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == invalidArgs,
                     qPrintable(method + QLatin1Char(' ') + reply.errorName()));
        }
        // Arguments of other types than the method takes, or too few or too
        // many: refused alike, naming the types it takes.
        const QList<std::tuple<QString, QVariantList, QString>> mistyped{
            {QStringLiteral("SelectInput"), {QStringLiteral("2")}, QStringLiteral("(i), not (s)")},
            {QStringLiteral("SelectInput"), {}, QStringLiteral("(i), not ()")},
            {QStringLiteral("SetMute"), {QStringLiteral("A"), 1}, QStringLiteral("(sb), not (si)")},
            {QStringLiteral("RecallScene"), {1}, QStringLiteral("(s), not (i)")},
            {QStringLiteral("PressTransport"), {true}, QStringLiteral("(s), not (b)")},
            {QStringLiteral("ReleaseTransport"),
             {QStringLiteral("play")},
             QStringLiteral("(), not (s)")},
            {QStringLiteral("TapTransport"),
             {QStringLiteral("play"), 100},
             QStringLiteral("(s), not (si)")},
            {QStringLiteral("StartLevel"), {QStringLiteral("A")}, QStringLiteral("(ss), not (s)")},
            {QStringLiteral("StopLevel"), {0}, QStringLiteral("(s), not (i)")},
            {QStringLiteral("SetLevel"),
             {QStringLiteral("A"), QStringLiteral("10")},
             QStringLiteral("(si), not (ss)")},
        };
        for (const auto& [method, arguments, types] : mistyped) {
            ExpectError(client->Call(method, arguments), invalidArgs,
                        method + QStringLiteral(" takes the arguments ") + types);
        }
        ExpectError(client->Call(QStringLiteral("Activate"), {QStringLiteral("now")},
                                 QStringLiteral("org.freedesktop.Application")),
                    invalidArgs, QStringLiteral("Activate takes the arguments (a{sv}), not (s)"));
        // Out of range before anything else: also while the link is down.
        SimCommand(QStringLiteral("silent on"));
        QTRY_VERIFY_WITH_TIMEOUT(CurrentLinkState() != LinkState::Online, 5000);
        ExpectError(client->Call(QStringLiteral("SelectInput"), {9}), invalidArgs);
        for (const QString& c : sim->Codes(from)) {
            QVERIFY2(!c.startsWith(QLatin1Char('C')), qPrintable(sim->LogText(from)));
        }
    }

    // Calls do not wait for each other: an instant call during one that takes
    // time goes through at once; only the same control is refused with Busy
    // (a second recall while the mixer recalls), and StopLevel ends a
    // running SetLevel with the step it reached.
    void longCallsRunAlone() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set level A 2"));
        SimCommand(QStringLiteral("set input 1"));
        WaitForPolls();
        qsizetype from = sim->Log().size();
        const QDBusPendingCall level =
            client->Start(QStringLiteral("SetLevel"), {QStringLiteral("A"), 20});
        QTest::qWait(100);
        ExpectReply(client->Call(QStringLiteral("SelectInput"), {5}));
        ExpectError(
            client->Call(QStringLiteral("StartLevel"), {QStringLiteral("B"), QStringLiteral("up")}),
            busy);
        const QDBusMessage reached = BusClient::Wait(level);
        ExpectReply(reached);
        QVERIFY(qAbs(reached.arguments().value(0).toInt() - 20) <= 1);
        WaitUntilAcknowledged();
        QTRY_COMPARE_WITH_TIMEOUT(SimState()[QLatin1String("selectedInput")].toInt(), 5, 2000);
        QVERIFY(sim->Codes(from).contains(QStringLiteral("CSEL")));

        // StopLevel ends a SetLevel early, with the step reached.
        const QDBusPendingCall far =
            client->Start(QStringLiteral("SetLevel"), {QStringLiteral("A"), 0});
        QTest::qWait(700);
        ExpectReply(client->Call(QStringLiteral("StopLevel"), {QStringLiteral("A")}));
        const QDBusMessage stopped = BusClient::Wait(far);
        ExpectReply(stopped);
        QVERIFY2(stopped.arguments().value(0).toInt() > 2,
                 qPrintable(QString::number(stopped.arguments().value(0).toInt())));

        // A second recall while the mixer recalls is refused; the muting goes.
        from = sim->Log().size();
        const QDBusPendingCall recall =
            client->Start(QStringLiteral("RecallScene"), {QStringLiteral("D")});
        const QDBusPendingCall again =
            client->Start(QStringLiteral("RecallScene"), {QStringLiteral("A")});
        const QDBusPendingCall mute =
            client->Start(QStringLiteral("SetMute"), {QStringLiteral("B"), true});
        ExpectError(BusClient::Wait(again), busy, QStringLiteral("a scene recall is under way"));
        ExpectReply(BusClient::Wait(mute));
        ExpectReply(BusClient::Wait(recall));
        WaitUntilAcknowledged();
        const QStringList codes = sim->Codes(from);
        QCOMPARE(codes.count(QStringLiteral("CRCL")), 1);
        QCOMPARE(codes.count(QStringLiteral("CMUT")), 1);

        // A level button held by StartLevel: the other master's motion waits.
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set mute B off"));
        WaitForPolls();
        ExpectReply(client->Call(QStringLiteral("StartLevel"),
                                 {QStringLiteral("A"), QStringLiteral("up")}));
        ExpectError(client->Call(QStringLiteral("SetLevel"), {QStringLiteral("B"), 4}), busy,
                    QStringLiteral("the level button of master A is held"));
        ExpectError(
            client->Call(QStringLiteral("StartLevel"), {QStringLiteral("B"), QStringLiteral("up")}),
            busy);
        from = sim->Log().size();
        ExpectReply(client->Call(QStringLiteral("StopLevel"), {QStringLiteral("A")}));
        QTRY_VERIFY_WITH_TIMEOUT(sim->Codes(from).contains(QStringLiteral("CLVS")), 2000);

        // The panel's own scene button waiting for its recall: RecallScene is refused.
        WaitUntilAcknowledged();
        std::optional<QDBusPendingCall> during;
        bool pressed = false;
        QTimer::singleShot(0, this, [&] {
            during.emplace(client->Start(QStringLiteral("RecallScene"), {QStringLiteral("B")}));
            frmControl().SSCommand5_MouseDown(0, button, shift, x, y);
            pressed = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(pressed, 5000);
        QVERIFY(during);
        ExpectError(BusClient::Wait(*during), busy, QStringLiteral("a scene recall is under way"));
    }

    // Against the mixer's paced replies, SetLevel ends within one step of the
    // target and within 10 s; what it returns is where the mixer stopped.
    void setLevelEndsWithinOneStep() {
        StartOnline({QStringLiteral("--baud-delay")});
        SimCommand(QStringLiteral("set mute B off"));
        SimCommand(QStringLiteral("set level B 12"));
        WaitForPolls();
        for (const int target : {13, 30, 29, 0, 1, 17, 9}) {
            QElapsedTimer clock;
            clock.start();
            const QDBusMessage reply =
                client->Call(QStringLiteral("SetLevel"), {QStringLiteral("B"), target});
            const qint64 ms = clock.elapsed();
            ExpectReply(reply);
            const int reached = reply.arguments().value(0).toInt();
            const int atMixer = SimState()[QLatin1String("masters")]
                                    .toArray()[1]
                                    .toObject()[QLatin1String("level")]
                                    .toInt();
            qInfo("target %d, reached %d (mixer %d) in %d ms", target, reached, atMixer,
                  static_cast<int>(ms));
            QCOMPARE(reached, atMixer);
            QVERIFY2(qAbs(reached - target) <= 1, qPrintable(QString::number(reached)));
            QVERIFY(ms < 10000);
            QCOMPARE(SimState()[QLatin1String("masters")]
                         .toArray()[1]
                         .toObject()[QLatin1String("motion")]
                         .toString(),
                     QStringLiteral("none"));
        }
        // A level changed at the mixer just now, not yet polled: the motion
        // starts from where the mixer is, not from the older mirror.
        SimCommand(QStringLiteral("set level B 26"));
        const QDBusMessage fresh =
            client->Call(QStringLiteral("SetLevel"), {QStringLiteral("B"), 22});
        ExpectReply(fresh);
        QVERIFY2(qAbs(fresh.arguments().value(0).toInt() - 22) <= 1,
                 qPrintable(QString::number(fresh.arguments().value(0).toInt())));
        QCOMPARE(SimState()[QLatin1String("masters")]
                     .toArray()[1]
                     .toObject()[QLatin1String("level")]
                     .toInt(),
                 fresh.arguments().value(0).toInt());

        // Already there: nothing is sent.
        const qsizetype from = sim->Log().size();
        const int now = mirror.panel.masters[1].level;
        const QDBusMessage same =
            client->Call(QStringLiteral("SetLevel"), {QStringLiteral("B"), now});
        ExpectReply(same);
        QCOMPARE(same.arguments().value(0).toInt(), now);
        for (const QString& c : sim->Codes(from)) {
            QVERIFY(!c.startsWith(QLatin1Char('C')));
        }
    }

    void activateRaisesThePanel() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        FrmControl& panel = frmControl();
        panel.showMinimized();
        QTRY_VERIFY(panel.isMinimized());
        ExpectReply(client->Call(QStringLiteral("Activate"), {QVariantMap()},
                                 QStringLiteral("org.freedesktop.Application")));
        QTRY_VERIFY(!panel.isMinimized());
        QVERIFY(panel.isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), &panel);
    }

    // A second start asks the first to come to the front and ends silently.
    void secondStartRaisesTheFirst() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        FrmControl& panel = frmControl();
        panel.showMinimized();
        QTRY_VERIFY(panel.isMinimized());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess second;
        second.setProcessEnvironment(env); // this process's runtime folder, lock and bus
        QElapsedTimer clock;
        clock.start();
        second.start(
            QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(QStringLiteral("ardenix")), {});
        QVERIFY(second.waitForStarted(5000));
        // The first answers while the second waits: keep the event loop running.
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(second.readAllStandardOutput(), QByteArray());
        QCOMPARE(second.readAllStandardError(), QByteArray());
        QTRY_VERIFY(!panel.isMinimized());
        QVERIFY(panel.isVisible());
        // The first goes on, still on the bus.
        QVERIFY(client->NameOwned());
        QCOMPARE(CurrentLinkState(), LinkState::Online);
    }

    // The name goes with the service, and the panel goes on without it.
    // Four callers flooding the mixer at once: one frame on the line at a
    // time (each answered before the next, none sent again), the status
    // poll keeps its turn, the link stays up and every call is answered.
    void parallelCallersShareTheLine() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        std::vector<std::unique_ptr<BusClient>> callers;
        for (int c = 0; c < 4; ++c) {
            callers.push_back(std::make_unique<BusClient>(bus.Address()));
            QVERIFY(callers.back()->Connected());
        }
        const qsizetype from = sim->Log().size();
        // Each caller keeps a few calls under way (the bus limits how many a
        // connection may have pending).
        constexpr int callsEach = 3000;
        constexpr int window = 8;
        for (int n = 0; n < callsEach; n += window) {
            QList<QDBusPendingCall> calls;
            for (int k = n; k < n + window; ++k) {
                for (int c = 0; c < 4; ++c) {
                    calls.append(
                        c % 2 == 0
                            ? callers[c]->Start(QStringLiteral("SelectInput"), {1 + (k + c) % 6})
                            : callers[c]->Start(QStringLiteral("SetMute"),
                                                {c == 1 ? QStringLiteral("A") : QStringLiteral("B"),
                                                 k % 2 == 0}));
                }
            }
            for (const QDBusPendingCall& call : calls) {
                ExpectReply(BusClient::Wait(call));
            }
        }
        WaitUntilAcknowledged();
        QCOMPARE(CurrentLinkState(), LinkState::Online);
        QVERIFY(messageTexts.isEmpty());

        qint64 lastPoll = -1;
        qint64 longestGap = 0;
        int commands = 0;
        QString previous;
        for (const SimLogLine& line : sim->Log().mid(from)) {
            const bool received = line.what.startsWith(QLatin1String("rx "));
            const bool answered = line.what.startsWith(QLatin1String("tx "));
            if (!received && !answered) {
                continue;
            }
            QVERIFY2(!(received && previous.startsWith(QLatin1String("rx "))),
                     qPrintable(QStringLiteral("two frames on the line: ") + previous + " / " +
                                line.what));
            previous = line.what;
            if (line.Code() == QLatin1String("RAST")) {
                if (lastPoll >= 0) {
                    longestGap = std::max(longestGap, line.ms - lastPoll);
                }
                lastPoll = line.ms;
            } else if (line.Code().startsWith(QLatin1Char('C'))) {
                ++commands;
            }
        }
        QVERIFY2(commands > 10, qPrintable(QString::number(commands)));
        QVERIFY2(longestGap <= 400, qPrintable(QString::number(longestGap)));
        // The mixer ends as the last calls asked.
        WaitForPolls();
        QCOMPARE(SimState()[QLatin1String("selectedInput")].toInt(),
                 mirror.panel.selectedInput + 1);
    }

    // A caller asking for the recall of the scene that is lit means it: the
    // recall goes to the mixer (the panel's own lit button sends nothing).
    void recallOfTheLitSceneIsSent() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        ExpectReply(client->Call(QStringLiteral("RecallScene"), {QStringLiteral("A")}));
        WaitForPolls();
        QCOMPARE(client->Property(QStringLiteral("RecalledScene")).toString(), QStringLiteral("A"));
        const qsizetype from = sim->Log().size();
        ExpectReply(client->Call(QStringLiteral("RecallScene"), {QStringLiteral("A")}));
        WaitUntilAcknowledged();
        QCOMPARE(sim->Codes(from).count(QStringLiteral("CRCL")), 1);
        const qsizetype pressed = sim->Log().size();
        frmControl().SSCommand5_MouseDown(0, button, shift, x, y);
        QTest::qWait(900);
        QCOMPARE(sim->Codes(pressed).count(QStringLiteral("CRCL")), 0);
    }

    // What a caller holds dies with it: a caller that leaves the bus with a
    // level button and a transport key held lets them go, and the controls
    // are free for the next caller.
    void aCallerThatLeavesLetsGo() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set level A 3"));
        SimCommand(QStringLiteral("set input 1"));
        WaitForPolls();
        auto holder = std::make_unique<BusClient>(bus.Address());
        QVERIFY(holder->Connected());
        ExpectReply(holder->Call(QStringLiteral("StartLevel"),
                                 {QStringLiteral("A"), QStringLiteral("up")}));
        ExpectReply(holder->Call(QStringLiteral("PressTransport"), {QStringLiteral("play")}));
        // Held by another: refused.
        ExpectError(
            client->Call(QStringLiteral("StartLevel"), {QStringLiteral("B"), QStringLiteral("up")}),
            busy);
        ExpectError(client->Call(QStringLiteral("ReleaseTransport")), busy);
        const qsizetype from = sim->Log().size();
        holder.reset();
        QTRY_VERIFY_WITH_TIMEOUT(sim->Codes(from).contains(QStringLiteral("CLVS")), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(sim->LogText(from).contains(QStringLiteral("rx CRCS 38 30")),
                                 2000);
        WaitForPolls();
        const int stoppedAt = mirror.panel.masters[0].level;
        QVERIFY2(stoppedAt < 30, qPrintable(QString::number(stoppedAt)));
        ExpectReply(client->Call(QStringLiteral("StartLevel"),
                                 {QStringLiteral("B"), QStringLiteral("up")}));
        ExpectReply(client->Call(QStringLiteral("StopLevel"), {QStringLiteral("B")}));
    }

    void serviceLeavesTheBusWithTheProgram() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        QVERIFY(client->NameOwned());
        UnloadFrmComm(); // closing the panel ends the program
        QVERIFY(host::ProgramEnding());
        ExpectError(client->Call(QStringLiteral("SelectInput"), {3}), notConnected,
                    QStringLiteral("ardenix is ending"));
        automation.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!client->NameOwned(), 3000);
    }
};

int main(int argc, char* argv[]) {
    return casechildren::Main<TestService>(argc, argv);
}

#include "test_service.moc"
