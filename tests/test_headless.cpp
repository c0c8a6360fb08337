// The real ardenix executable without a window: no display at all, a private
// session bus, the simulated mixer. It reads the mixer, offers it on the bus,
// says each loss once on standard error and comes back by itself, lets go of
// what is held when it is stopped, and a second start tells where the first
// one is.
#include "tests/support/busclient.h"
#include "tests/support/privatebus.h"
#include "tests/support/simprocess.h"

#include <QtTest>

#include <csignal>

namespace {

const QString connectionLine = QStringLiteral(
    "ardenix: Unable to connect to Dorvane. Please be sure of connection of USB cable and power "
    "status of apparatus.");

} // namespace

class TestHeadless : public QObject {
    Q_OBJECT
    QTemporaryDir runtimeDir;
    QTemporaryDir configDir;

    // The environment of a program started from a console with no display.
    QProcessEnvironment Environment(const QString& port, const QString& busAddress) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QString::fromLatin1(name));
        }
        env.insert(QStringLiteral("ARDENIX_PORT"), port);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir.path());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        return env;
    }
    static QString Program() {
        return QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(QStringLiteral("ardenix"));
    }
    void Start(QProcess& program, const QString& port, const QString& busAddress,
               const QStringList& arguments = {QStringLiteral("--headless")}) {
        program.setProcessEnvironment(Environment(port, busAddress));
        program.start(Program(), arguments);
        QVERIFY(program.waitForStarted(5000));
    }
    static QStringList Lines(QProcess& program, QByteArray& seen) {
        seen += program.readAllStandardError();
        return QString::fromLocal8Bit(seen).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    static void Stop(QProcess& program) {
        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(program.state() == QProcess::NotRunning, 5000);
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

private slots:
    void initTestCase() { QVERIFY(runtimeDir.isValid() && configDir.isValid()); }

    // Online without a display; a silent mixer is told once, however many
    // attempts follow, and the link comes back by itself; a second start
    // names the first; a level held over the bus is let go before the port
    // closes when the program is stopped.
    void runsTheMixerWithoutAWindow() {
        SessionBus bus;
        QVERIFY(bus.Start(false));
        SimProcess sim;
        QVERIFY(sim.Start());
        QProcess program;
        Start(program, sim.LinkPath(), bus.Address());
        BusClient client(bus.Address());
        QVERIFY(client.Connected());
        QTRY_COMPARE_WITH_TIMEOUT(client.Property(QStringLiteral("Connection")).toString(),
                                  QStringLiteral("online"), 10000);
        QVERIFY(client.Call(QStringLiteral("SelectInput"), {4}).type() ==
                QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(
            QJsonDocument::fromJson(sim.Command(QStringLiteral("state")).toUtf8())
                .object()[QLatin1String("selectedInput")]
                .toInt(),
            4, 3000);

        // Silent for four reopen attempts: one line; answering again: online
        // without anything done.
        QByteArray seen;
        QCOMPARE(sim.Command(QStringLiteral("silent on")).left(2), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(Lines(program, seen).contains(connectionLine), 5000);
        QTest::qWait(4000);
        QCOMPARE(Lines(program, seen).count(connectionLine), 1);
        QCOMPARE(sim.Command(QStringLiteral("silent off")).left(2), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(client.Property(QStringLiteral("Connection")).toString(),
                                  QStringLiteral("online"), 4000);

        // A second start, headless or not, ends at once and says where the first is.
        for (const QStringList& arguments :
             {QStringList{QStringLiteral("--headless")}, QStringList{}}) {
            QProcess second;
            second.setProcessEnvironment(Environment(sim.LinkPath(), bus.Address()));
            if (arguments.isEmpty()) {
                QProcessEnvironment env = second.processEnvironment();
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
                second.setProcessEnvironment(env);
            }
            second.start(Program(), arguments);
            QVERIFY(second.waitForFinished(10000));
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(QString::fromLocal8Bit(second.readAllStandardError()).trimmed(),
                     QStringLiteral("ardenix: already running without a window (pid %1); use "
                                    "ardenixctl")
                         .arg(program.processId()));
        }

        // Stopped with a level running: its stop goes out before the port closes.
        QVERIFY(
            client.Call(QStringLiteral("StartLevel"), {QStringLiteral("B"), QStringLiteral("up")})
                .type() == QDBusMessage::ReplyMessage);
        QTRY_VERIFY_WITH_TIMEOUT(sim.LogText().contains(QStringLiteral("rx CLV+ 41")), 2000);
        const qsizetype from = sim.Log().size();
        Stop(program);
        QTRY_VERIFY_WITH_TIMEOUT(sim.LogText(from).contains(QStringLiteral("rx CLVS 41")), 2000);
    }

    // The bus name is there from the start, with or without a window: while
    // the mixer is silent (the panel's message up) callers hear the link's
    // state instead of "not running".
    void busNameBeforeTheFirstContact() {
        SessionBus bus;
        QVERIFY(bus.Start(false));
        SimProcess sim;
        QVERIFY(sim.Start({QStringLiteral("--silent")}));
        for (const bool windowless : {true, false}) {
            QProcess program;
            program.setProcessEnvironment(Environment(sim.LinkPath(), bus.Address()));
            if (!windowless) {
                QProcessEnvironment env = program.processEnvironment();
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
                program.setProcessEnvironment(env);
            }
            program.start(Program(),
                          windowless ? QStringList{QStringLiteral("--headless")} : QStringList{});
            QVERIFY(program.waitForStarted(5000));
            BusClient client(bus.Address());
            QTRY_VERIFY_WITH_TIMEOUT(client.NameOwned(), 5000);
            QTest::qWait(2500); // the first contact timed out: the loss is told
            const QString link = client.Property(QStringLiteral("Connection")).toString();
            QVERIFY2(link == QLatin1String("lost") || link == QLatin1String("first-contact"),
                     qPrintable(link));
            const QDBusMessage refused = client.Call(QStringLiteral("SelectInput"), {2});
            QCOMPARE(refused.errorName(), QStringLiteral("org.ardenix.Mixer1.Error.NotConnected"));
            Stop(program);
        }
    }

    // Without a display and without --headless: one line and status 1, no
    // abort. Without a session bus, headless still runs and says so once.
    void withoutADisplayOrABus() {
        QProcess panel;
        Start(panel, QStringLiteral("/nonexistent"), QStringLiteral("unix:path=/nonexistent"), {});
        QVERIFY(panel.waitForFinished(10000));
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(panel.readAllStandardError()).trimmed(),
                 QStringLiteral("ardenix: cannot open a display (DISPLAY and WAYLAND_DISPLAY are "
                                "unset); use --headless to run without one"));

        SimProcess sim;
        QVERIFY(sim.Start());
        QProcess program;
        Start(program, sim.LinkPath(), QStringLiteral("unix:path=/nonexistent"));
        QByteArray seen;
        QTRY_VERIFY_WITH_TIMEOUT(Lines(program, seen)
                                     .join(QLatin1Char('\n'))
                                     .contains(QStringLiteral("ardenix: no session bus")),
                                 5000);
        QTRY_VERIFY_WITH_TIMEOUT(sim.Codes().contains(QStringLiteral("RSCI")), 5000);
        QTest::qWait(500);
        QVERIFY(program.state() == QProcess::Running);
        Stop(program);
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "test_headless.moc"
