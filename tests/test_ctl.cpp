// ardenixctl end to end: the real ardenix (offscreen) on the simulated mixer,
// both separate processes on a private session bus, and the client run as
// a user runs it, with its output and exit status checked against what the
// mixer received and shows. Most cases share one panel (each sets up the
// mixer as it needs it); the cases that take the link down or start without
// a bus have their own.
#include "tests/support/busclient.h"
#include "tests/support/privatebus.h"
#include "tests/support/programcopy.h"
#include "tests/support/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

QString Binary(const QString& name) {
    return QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(name);
}

// The settings file of the shared panel: scene code 51 (on button C) locked.
QByteArray SettingsLockingScene51() {
    QByteArray file(10 + 236 + 780, '\0');
    file[0] = 1; // locale code 1
    const int entry = 10 + 236 + 132 + (51 - 49) * 32 + 30;
    file[entry] = '\xff';
    file[entry + 1] = '\xff';
    return file;
}

// The panel as a separate process, on a port and a bus.
class Panel {
public:
    Panel() { process_.setProcessChannelMode(QProcess::SeparateChannels); }
    ~Panel() { Stop(); }
    Panel(const Panel&) = delete;
    Panel& operator=(const Panel&) = delete;

    bool Start(const QString& executable, const QString& port, const QString& busAddress) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ARDENIX_PORT"), port);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        process_.setProcessEnvironment(env);
        process_.start(executable, {});
        return process_.waitForStarted(10000);
    }
    void Stop() { StopProcess(process_, 5000); }
    QProcess& Process() { return process_; }

private:
    QTemporaryDir runtime_;
    QProcess process_;
};

} // namespace

class TestCtl : public QObject {
    Q_OBJECT
    SessionBus bus;
    SimProcess sim;
    ProgramCopy program;
    Panel panel;

    // A client's environment: the bus at `address`, a runtime folder of its own.
    static QProcessEnvironment ClientEnvironment(const QString& address,
                                                 const QTemporaryDir& runtime) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        return env;
    }

    // ardenixctl with `arguments` on the bus at `address` (the shared one by default).
    static Run Ctl(const QStringList& arguments, const QString& address, int timeoutMs = 20000) {
        QProcess ctl;
        const QTemporaryDir runtime;
        ctl.setProcessEnvironment(ClientEnvironment(address, runtime));
        ctl.start(Binary(QStringLiteral("ardenixctl")), arguments);
        Run run;
        if (!ctl.waitForFinished(timeoutMs) || ctl.exitStatus() != QProcess::NormalExit) {
            ctl.kill();
            ctl.waitForFinished(5000);
            run.err = QStringLiteral("did not finish");
            return run;
        }
        run.exitCode = ctl.exitCode();
        run.out = QString::fromUtf8(ctl.readAllStandardOutput());
        run.err = QString::fromUtf8(ctl.readAllStandardError());
        return run;
    }
    Run Ctl(const QStringList& arguments) { return Ctl(arguments, bus.Address()); }

    static void ExpectSuccess(const Run& run) {
        QVERIFY2(run.exitCode == 0,
                 qPrintable(QString::number(run.exitCode) + QLatin1Char(' ') + run.err));
        QCOMPARE(run.err, QString());
    }
    static void ExpectFailure(const Run& run, const QString& message) {
        QVERIFY2(run.exitCode == 1,
                 qPrintable(QString::number(run.exitCode) + QLatin1Char(' ') + run.err));
        QVERIFY2(run.err == QStringLiteral("ardenixctl: ") + message + QLatin1Char('\n'),
                 qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    QJsonObject SimState(SimProcess& s) {
        return QJsonDocument::fromJson(s.Command(QStringLiteral("state")).toUtf8()).object();
    }
    QJsonObject SimMaster(int m) {
        return SimState(sim)[QLatin1String("masters")].toArray()[m].toObject();
    }
    void SimCommand(SimProcess& s, const QString& command) {
        QCOMPARE(s.Command(command).left(2), QStringLiteral("ok"));
    }
    // The panel follows the mixer within two polls.
    static void LetThePanelFollow() { QTest::qWait(500); }

    // Waits until `status --json` says the link is `connection`.
    static bool WaitForConnection(const QString& address, const QString& connection,
                                  int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            const Run status = Ctl({QStringLiteral("status"), QStringLiteral("--json")}, address);
            if (status.exitCode == 0 && QJsonDocument::fromJson(status.out.toUtf8())
                                                .object()[QLatin1String("Connection")]
                                                .toString() == connection) {
                return true;
            }
            QTest::qWait(100);
        }
        return false;
    }

    // The command frames received since log line `from`, a frame sent again once.
    QStringList CommandsSince(SimProcess& s, qsizetype from) {
        QTest::qWait(100); // the simulator's log lines come through a pipe
        QStringList frames;
        for (const SimLogLine& line : s.Frames(from)) {
            if (line.Code().startsWith(QLatin1Char('C')) &&
                (frames.isEmpty() || frames.last() != line.what.mid(3))) {
                frames.append(line.what.mid(3));
            }
        }
        return frames;
    }

private slots:
    void initTestCase() {
        QVERIFY(bus.Start());
        QVERIFY(sim.Start());
        QVERIFY(program.Valid());
        QFile settings(program.SettingsPath());
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(SettingsLockingScene51());
        settings.close();
        QVERIFY(panel.Start(program.Executable(), sim.LinkPath(), bus.Address()));
        QVERIFY(WaitForConnection(bus.Address(), QStringLiteral("online"), 20000));
    }

    void helpVersionAndUsageErrors() {
        const Run help = Ctl({QStringLiteral("--help")});
        ExpectSuccess(help);
        for (const char* command : {"status", "input N", "mute A|B on|off|toggle", "recall A|B|C|D",
                                    "level A|B STEP", "transport KEY [--hold MS]", "watch"}) {
            QVERIFY2(help.out.contains(QLatin1String("  ") + QLatin1String(command)), command);
        }
        const Run version = Ctl({QStringLiteral("-V")});
        ExpectSuccess(version);
        QCOMPARE(version.out, QStringLiteral("ardenixctl " ARDENIX_VERSION "\n"));

        const QList<QStringList> wrong{
            {},
            {QStringLiteral("volume")},
            {QStringLiteral("input")},
            {QStringLiteral("input"), QStringLiteral("7")},
            {QStringLiteral("input"), QStringLiteral("two")},
            {QStringLiteral("mute"), QStringLiteral("C"), QStringLiteral("on")},
            {QStringLiteral("mute"), QStringLiteral("A"), QStringLiteral("maybe")},
            {QStringLiteral("recall"), QStringLiteral("E")},
            {QStringLiteral("level"), QStringLiteral("A"), QStringLiteral("31")},
            {QStringLiteral("level"), QStringLiteral("A")},
            {QStringLiteral("transport"), QStringLiteral("eject")},
            {QStringLiteral("transport"), QStringLiteral("play"), QStringLiteral("--hold"),
             QStringLiteral("0")},
            {QStringLiteral("transport"), QStringLiteral("play"), QStringLiteral("--hold")},
            {QStringLiteral("input"), QStringLiteral("2"), QStringLiteral("--json")},
            {QStringLiteral("status"), QStringLiteral("--verbose")},
            {QStringLiteral("status"), QStringLiteral("now")},
            {QStringLiteral("status"), QStringLiteral("--no-wait")},
        };
        const qsizetype from = sim.Log().size();
        for (const QStringList& arguments : wrong) {
            const Run run = Ctl(arguments);
            QVERIFY2(run.exitCode == 2, qPrintable(arguments.join(QLatin1Char(' '))));
            QVERIFY(run.err.startsWith(QStringLiteral("ardenixctl: ")));
            QVERIFY(run.err.endsWith(QStringLiteral("Try 'ardenixctl --help'.\n")));
            QCOMPARE(run.out, QString());
        }
        QCOMPARE(CommandsSince(sim, from), QStringList());
    }

    void notRunningExitsOne() {
        SessionBus empty;
        QVERIFY(empty.Start(false));
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("status")},
              QStringList{QStringLiteral("input"), QStringLiteral("2")},
              QStringList{QStringLiteral("watch"), QStringLiteral("--no-wait")},
              QStringList{QStringLiteral("mute"), QStringLiteral("A"), QStringLiteral("toggle")}}) {
            ExpectFailure(Ctl(arguments, empty.Address()),
                          QStringLiteral("ardenix is not running"));
        }
        QTemporaryDir nowhere;
        const Run noBus =
            Ctl({QStringLiteral("status")},
                QStringLiteral("unix:path=") + nowhere.filePath(QStringLiteral("bus")));
        ExpectFailure(noBus, QStringLiteral("ardenix is not running (no session bus)"));
    }

    void statusShowsTheMixer() {
        SimCommand(sim, QStringLiteral("set mute A off"));
        SimCommand(sim, QStringLiteral("set mute B on"));
        SimCommand(sim, QStringLiteral("set level A 8"));
        SimCommand(sim, QStringLiteral("set input 6"));
        LetThePanelFollow();
        const Run json = Ctl({QStringLiteral("status"), QStringLiteral("--json")});
        ExpectSuccess(json);
        QVERIFY(json.out.endsWith(QLatin1Char('\n')));
        QCOMPARE(json.out.count(QLatin1Char('\n')), 1);
        const QJsonObject status = QJsonDocument::fromJson(json.out.toUtf8()).object();
        const QJsonObject state = SimState(sim);
        QCOMPARE(status.size(), 14);
        QCOMPARE(status[QLatin1String("Connection")].toString(), QStringLiteral("online"));
        QCOMPARE(status[QLatin1String("Port")].toString(), sim.LinkPath());
        QCOMPARE(status[QLatin1String("SelectedInput")].toInt(), 6);
        QCOMPARE(
            status[QLatin1String("MasterLevels")].toArray(),
            (QJsonArray{
                8,
                state[QLatin1String("masters")].toArray()[1].toObject()[QLatin1String("level")]}));
        QCOMPARE(status[QLatin1String("MasterMuted")].toArray(), (QJsonArray{false, true}));
        QCOMPARE(status[QLatin1String("SceneCodes")].toArray(),
                 state[QLatin1String("sceneSlots")].toArray());
        QCOMPARE(status[QLatin1String("SceneLocked")].toArray(),
                 (QJsonArray{false, false, true, false}));
        QCOMPARE(status[QLatin1String("InputNames")].toArray().size(), 6);

        const Run text = Ctl({QStringLiteral("status")});
        ExpectSuccess(text);
        const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 14);
        QCOMPARE(lines[0], QStringLiteral("Connection    online"));
        QVERIFY(lines.contains(QStringLiteral("MasterMuted   false true")));
        QVERIFY(lines.contains(QStringLiteral("SelectedInput 6")));
        QVERIFY(lines.contains(QStringLiteral("SceneLocked   false false true false")));
    }

    void commandsOperateTheMixer() {
        SimCommand(sim, QStringLiteral("set mute A off"));
        SimCommand(sim, QStringLiteral("set mute B off"));
        SimCommand(sim, QStringLiteral("set input 1"));
        SimCommand(sim, QStringLiteral("set level A 3"));
        LetThePanelFollow();

        qsizetype from = sim.Log().size();
        ExpectSuccess(Ctl({QStringLiteral("input"), QStringLiteral("4")}));
        QCOMPARE(CommandsSince(sim, from), QStringList{QStringLiteral("CSEL 34")});
        QCOMPARE(SimState(sim)[QLatin1String("selectedInput")].toInt(), 4);

        from = sim.Log().size();
        ExpectSuccess(Ctl({QStringLiteral("mute"), QStringLiteral("b"), QStringLiteral("on")}));
        QCOMPARE(SimMaster(1)[QLatin1String("muted")].toBool(), true);
        LetThePanelFollow();
        ExpectSuccess(Ctl({QStringLiteral("mute"), QStringLiteral("B"), QStringLiteral("on")}));
        ExpectSuccess(Ctl({QStringLiteral("mute"), QStringLiteral("B"), QStringLiteral("toggle")}));
        QCOMPARE(SimMaster(1)[QLatin1String("muted")].toBool(), false);
        // "on" while muted already sends nothing.
        QCOMPARE(CommandsSince(sim, from),
                 (QStringList{QStringLiteral("CMUT 41 41"), QStringLiteral("CMUT 41 40")}));

        const Run level = Ctl({QStringLiteral("level"), QStringLiteral("A"), QStringLiteral("11")});
        ExpectSuccess(level);
        const int reached = level.out.trimmed().toInt();
        QCOMPARE(level.out, QString::number(reached) + QLatin1Char('\n'));
        QVERIFY(qAbs(reached - 11) <= 1);
        QCOMPARE(SimMaster(0)[QLatin1String("level")].toInt(), reached);

        const int slotB = SimState(sim)[QLatin1String("sceneSlots")].toArray()[1].toInt();
        SimCommand(sim, QStringLiteral("set recall %1")
                            .arg(SimState(sim)[QLatin1String("sceneSlots")].toArray()[0].toInt()));
        LetThePanelFollow();
        from = sim.Log().size();
        ExpectSuccess(Ctl({QStringLiteral("recall"), QStringLiteral("B")}));
        QCOMPARE(CommandsSince(sim, from),
                 QStringList{QStringLiteral("CRCL ") + QString::number(slotB, 16).toUpper()});
        QCOMPARE(SimState(sim)[QLatin1String("recall")].toInt(), slotB);

        LetThePanelFollow();
        from = sim.Log().size();
        ExpectSuccess(Ctl({QStringLiteral("transport"), QStringLiteral("play")}));
        QCOMPARE(CommandsSince(sim, from),
                 (QStringList{QStringLiteral("CRCS 38 31"), QStringLiteral("CRCS 38 30")}));
        from = sim.Log().size();
        ExpectSuccess(Ctl({QStringLiteral("transport"), QStringLiteral("Forward"),
                           QStringLiteral("--hold"), QStringLiteral("400")}));
        const QStringList frames = CommandsSince(sim, from);
        QCOMPARE(frames, (QStringList{QStringLiteral("CRCS 38 34"), QStringLiteral("CRCS 38 30")}));
        qint64 pressedAt = -1;
        qint64 releasedAt = -1;
        for (const SimLogLine& line : sim.Frames(from)) {
            if (line.what == QLatin1String("rx CRCS 38 34") && pressedAt < 0) {
                pressedAt = line.ms;
            } else if (line.what == QLatin1String("rx CRCS 38 30") && releasedAt < 0) {
                releasedAt = line.ms;
            }
        }
        QVERIFY2(releasedAt - pressedAt >= 380 && releasedAt - pressedAt <= 1000,
                 qPrintable(QString::number(releasedAt - pressedAt)));
        QCOMPARE(SimState(sim)[QLatin1String("transportKey")].toInt(), -1);
    }

    void failuresExitOne() {
        SimCommand(sim, QStringLiteral("set mute A on"));
        LetThePanelFollow();
        const qsizetype from = sim.Log().size();
        ExpectFailure(Ctl({QStringLiteral("recall"), QStringLiteral("C")}),
                      QStringLiteral("scene C is locked"));
        ExpectFailure(Ctl({QStringLiteral("level"), QStringLiteral("A"), QStringLiteral("20")}),
                      QStringLiteral("master A is muted"));
        QCOMPARE(CommandsSince(sim, from), QStringList());
        SimCommand(sim, QStringLiteral("set mute A off"));
    }

    void watchPrintsOneLinePerChange() {
        SimCommand(sim, QStringLiteral("set mute B off"));
        SimCommand(sim, QStringLiteral("set level A 4"));
        SimCommand(sim, QStringLiteral("set input 1"));
        LetThePanelFollow();
        for (const bool json : {false, true}) {
            QProcess watch;
            const QTemporaryDir runtime;
            watch.setProcessEnvironment(ClientEnvironment(bus.Address(), runtime));
            QStringList arguments{QStringLiteral("watch")};
            if (json) {
                arguments << QStringLiteral("--json");
            }
            watch.start(Binary(QStringLiteral("ardenixctl")), arguments);
            QVERIFY(watch.waitForStarted(5000));
            QTest::qWait(500); // listening
            SimCommand(sim, QStringLiteral("set mute B on"));
            QTest::qWait(600);
            SimCommand(sim, QStringLiteral("set level A 17"));
            QTest::qWait(600);
            SimCommand(sim, QStringLiteral("set input 3"));
            QTest::qWait(600);
            // Nothing more while nothing changes.
            QTest::qWait(600);
            QCOMPARE(::kill(static_cast<pid_t>(watch.processId()), SIGINT), 0);
            QVERIFY(watch.waitForFinished(5000));
            QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
            QCOMPARE(watch.exitCode(), 0);
            QStringList lines = QString::fromUtf8(watch.readAllStandardOutput())
                                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QCOMPARE(QString::fromUtf8(watch.readAllStandardError()), QString());
            // First the values as they were, then the changes.
            if (json) {
                QVERIFY(!lines.isEmpty());
                const QJsonObject first =
                    QJsonDocument::fromJson(lines.takeFirst().toUtf8()).object();
                QCOMPARE(first.size(), 14);
                QCOMPARE(first[QLatin1String("MasterMuted")].toArray(), (QJsonArray{false, false}));
                QCOMPARE(first[QLatin1String("SelectedInput")].toInt(), 1);
                QCOMPARE(first[QLatin1String("MasterLevels")].toArray()[0].toInt(), 4);
            } else {
                QVERIFY(lines.size() >= 14);
                const QStringList first = lines.mid(0, 14);
                lines.remove(0, 14);
                QCOMPARE(first[0], QStringLiteral("Connection online"));
                QVERIFY(first.contains(QStringLiteral("MasterMuted false false")));
                QVERIFY(first.contains(QStringLiteral("SelectedInput 1")));
            }
            if (json) {
                QCOMPARE(lines.size(), 3);
                QCOMPARE(QJsonDocument::fromJson(lines[0].toUtf8()).object(),
                         (QJsonObject{{QStringLiteral("MasterMuted"), QJsonArray{false, true}}}));
                const QJsonObject levels = QJsonDocument::fromJson(lines[1].toUtf8()).object();
                QCOMPARE(levels.keys(), QStringList{QStringLiteral("MasterLevels")});
                QCOMPARE(levels[QLatin1String("MasterLevels")].toArray()[0].toInt(), 17);
                QCOMPARE(QJsonDocument::fromJson(lines[2].toUtf8()).object(),
                         (QJsonObject{{QStringLiteral("SelectedInput"), 3}}));
            } else {
                QCOMPARE(lines.size(), 3);
                QCOMPARE(lines[0], QStringLiteral("MasterMuted false true"));
                QVERIFY2(lines[1].startsWith(QStringLiteral("MasterLevels 17 ")),
                         qPrintable(lines[1]));
                QCOMPARE(lines[2], QStringLiteral("SelectedInput 3"));
            }
            SimCommand(sim, QStringLiteral("set mute B off"));
            SimCommand(sim, QStringLiteral("set level A 4"));
            SimCommand(sim, QStringLiteral("set input 1"));
            LetThePanelFollow();
        }
    }

    // A panel of its own, whose mixer falls silent, then ends: the commands
    // fail with the service's message; a watch started before the panel
    // waits for it and ends with it.
    void notConnectedAndTheEndOfThePanel() {
        SessionBus ownBus;
        QVERIFY(ownBus.Start(false));
        SimProcess ownSim;
        QVERIFY(ownSim.Start());
        QProcess watch;
        const QTemporaryDir runtime;
        watch.setProcessEnvironment(ClientEnvironment(ownBus.Address(), runtime));
        watch.start(Binary(QStringLiteral("ardenixctl")), {QStringLiteral("watch")});
        QVERIFY(watch.waitForStarted(5000));
        QByteArray told;
        QTRY_VERIFY_WITH_TIMEOUT((told += watch.readAllStandardError()).endsWith('\n'), 5000);
        QCOMPARE(told, QByteArray("ardenixctl: waiting for ardenix to start\n"));
        QCOMPARE(watch.state(), QProcess::Running);
        Panel ownPanel;
        QVERIFY(
            ownPanel.Start(Binary(QStringLiteral("ardenix")), ownSim.LinkPath(), ownBus.Address()));
        QVERIFY(WaitForConnection(ownBus.Address(), QStringLiteral("online"), 20000));
        SimCommand(ownSim, QStringLiteral("silent on"));
        QVERIFY(WaitForConnection(ownBus.Address(), QStringLiteral("lost"), 10000));
        const qsizetype from = ownSim.Log().size();
        ExpectFailure(Ctl({QStringLiteral("input"), QStringLiteral("2")}, ownBus.Address()),
                      QStringLiteral("the mixer is not connected"));
        ExpectFailure(Ctl({QStringLiteral("transport"), QStringLiteral("stop"),
                           QStringLiteral("--hold"), QStringLiteral("200")},
                          ownBus.Address()),
                      QStringLiteral("the mixer is not connected"));
        QCOMPARE(CommandsSince(ownSim, from), QStringList());

        // The watch began with the values of the panel once it appeared.
        const QStringList watched =
            QString::fromUtf8(watch.readAllStandardOutput()).split(QLatin1Char('\n'));
        QVERIFY2(watched.size() >= 14 && watched[0].startsWith(QStringLiteral("Connection ")) &&
                     watched.contains(QStringLiteral("Connection lost")),
                 qPrintable(watched.join(QLatin1Char('\n'))));
        QCOMPARE(::kill(static_cast<pid_t>(ownPanel.Process().processId()), SIGTERM), 0);
        QVERIFY(ownPanel.Process().waitForFinished(5000));
        QCOMPARE(ownPanel.Process().exitCode(), 0);
        QVERIFY(watch.waitForFinished(5000));
        QCOMPARE(watch.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(watch.readAllStandardError()),
                 QStringLiteral("ardenixctl: ardenix has ended\n"));
    }

    // An argument of any length comes back in an error cut to a few dozen
    // characters, from the client's own checks and from the service's.
    void longArgumentsAreCutInErrors() {
        const QString longWord(100000, QLatin1Char('x'));
        for (const QStringList& arguments :
             {QStringList{longWord},
              QStringList{QStringLiteral("status"), QStringLiteral("--") + longWord}}) {
            const Run run = Ctl(arguments);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.size() < 200, qPrintable(run.err.left(300)));
            QVERIFY2(run.err.contains(QStringLiteral("xxx\u2026")), qPrintable(run.err));
        }
        BusClient client(bus.Address());
        QVERIFY(client.Connected());
        const QString huge(1 << 20, QLatin1Char('y'));
        const qsizetype from = sim.Log().size();
        for (const auto& [method, arguments] : QList<std::pair<QString, QVariantList>>{
                 {QStringLiteral("SetMute"), {huge, true}},
                 {QStringLiteral("RecallScene"), {huge}},
                 {QStringLiteral("TapTransport"), {huge}},
                 {QStringLiteral("StartLevel"), {QStringLiteral("A"), huge}}}) {
            const QDBusMessage reply = client.Call(method, arguments);
            QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
            QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
            QVERIFY2(reply.errorMessage().size() < 200,
                     qPrintable(method + QLatin1Char(' ') + reply.errorMessage().left(300)));
            QVERIFY2(reply.errorMessage().contains(QString(40, QLatin1Char('y')) + QChar(0x2026)),
                     qPrintable(reply.errorMessage()));
        }
        QCOMPARE(CommandsSince(sim, from), QStringList());
    }

    // A call under way when the panel is killed says the panel ended, not that
    // it was slow.
    void callOutlivedByThePanel() {
        SessionBus ownBus;
        QVERIFY(ownBus.Start(false));
        SimProcess ownSim;
        QVERIFY(ownSim.Start());
        SimCommand(ownSim, QStringLiteral("set mute A off"));
        SimCommand(ownSim, QStringLiteral("set level A 0"));
        Panel ownPanel;
        QVERIFY(
            ownPanel.Start(Binary(QStringLiteral("ardenix")), ownSim.LinkPath(), ownBus.Address()));
        QVERIFY(WaitForConnection(ownBus.Address(), QStringLiteral("online"), 20000));
        QProcess level;
        const QTemporaryDir runtime;
        level.setProcessEnvironment(ClientEnvironment(ownBus.Address(), runtime));
        level.start(Binary(QStringLiteral("ardenixctl")),
                    {QStringLiteral("level"), QStringLiteral("A"), QStringLiteral("30")});
        QVERIFY(level.waitForStarted(5000));
        // The level is on its way up.
        QTRY_VERIFY_WITH_TIMEOUT(ownSim.Codes().contains(QStringLiteral("CLV+")), 5000);
        QCOMPARE(::kill(static_cast<pid_t>(ownPanel.Process().processId()), SIGKILL), 0);
        QVERIFY(ownPanel.Process().waitForFinished(5000));
        QVERIFY(level.waitForFinished(5000));
        QCOMPARE(level.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(level.readAllStandardError()),
                 QStringLiteral("ardenixctl: ardenix has ended\n"));
        QCOMPARE(level.readAllStandardOutput(), QByteArray());
    }

    // Without a session bus the panel runs as before and says so once.
    void panelWithoutASessionBus() {
        SimProcess ownSim;
        QVERIFY(ownSim.Start());
        QTemporaryDir nowhere;
        Panel lonely;
        QVERIFY(
            lonely.Start(Binary(QStringLiteral("ardenix")), ownSim.LinkPath(),
                         QStringLiteral("unix:path=") + nowhere.filePath(QStringLiteral("bus"))));
        QTRY_VERIFY_WITH_TIMEOUT(FindSequence(ownSim.Codes(), fullReadCodes) >= 0, 20000);
        const qsizetype polled = ownSim.Log().size();
        QTRY_VERIFY_WITH_TIMEOUT(ownSim.Codes(polled).count(QStringLiteral("RAST")) >= 3, 5000);
        QVERIFY(lonely.Process().state() == QProcess::Running);
        QCOMPARE(::kill(static_cast<pid_t>(lonely.Process().processId()), SIGTERM), 0);
        QVERIFY(lonely.Process().waitForFinished(5000));
        QCOMPARE(lonely.Process().exitCode(), 0);
        const QStringList lines = QString::fromLocal8Bit(lonely.Process().readAllStandardError())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QStringLiteral("session bus")).size(), 1);
        QVERIFY2(lines.filter(QStringLiteral("session bus"))
                     .first()
                     .startsWith(QStringLiteral("ardenix: no session bus")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestCtl)
#include "test_ctl.moc"
