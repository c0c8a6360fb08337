// The real ardenix executable, stopped by a signal as a session or a terminal
// stops it: it ends at once with exit code 0, and it leaves the port as it
// found it, so that the next start reads the mixer again. Runs with the
// offscreen platform; the simulated mixer stands in for the converter.
#include "tests/support/programcopy.h"
#include "tests/support/simprocess.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uid_t nobody = 65534;
} // namespace

class TestStopSignals : public QObject {
    Q_OBJECT
    QTemporaryDir runtimeDir;

    // Starts ardenix on the port path (the simulator's link, or a path where
    // there is nothing), from the build or from another program directory.
    void StartPanel(QProcess& panel, const QString& port, const QStringList& arguments = {},
                    const QString& executable = QString()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ARDENIX_PORT"), port);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
        panel.setProcessEnvironment(env);
        panel.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        panel.start(
            executable.isEmpty()
                ? QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(QStringLiteral("ardenix"))
                : executable,
            arguments);
        QVERIFY(panel.waitForStarted(5000));
    }
    void StartPanel(QProcess& panel, const SimProcess& sim) { StartPanel(panel, sim.LinkPath()); }

    // Waits until the panel's standard error holds `text`.
    static bool WaitForStderr(QProcess& panel, const QByteArray& text, QByteArray& seen) {
        QElapsedTimer clock;
        clock.start();
        while (!seen.contains(text) && clock.elapsed() < 10000) {
            QTest::qWait(20);
            seen += panel.readAllStandardError();
        }
        return seen.contains(text);
    }

    // Sends the signal and checks that the program ended by itself, at once.
    static void Stop(QProcess& panel, int signal) {
        QCOMPARE(::kill(static_cast<pid_t>(panel.processId()), signal), 0);
        QTRY_VERIFY_WITH_TIMEOUT(panel.state() == QProcess::NotRunning, 5000);
        QCOMPARE(panel.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.exitCode(), 0);
    }

private slots:
    void initTestCase() { QVERIFY(runtimeDir.isValid()); }

    // Online, in the first contact with a silent mixer, and with message 1
    // open: each time the signal ends the program, and a new start finds the
    // port usable and reads the mixer in full.
    void signalsEndTheProgramAndGiveThePortBack() {
        SimProcess sim;
        QVERIFY(sim.Start());
        struct Moment {
            const char* what;
            int signal;
            bool silent;
            int waitMs;
        };
        const Moment moments[] = {
            {"online", SIGTERM, false, 0},
            {"online again", SIGINT, false, 0},
            {"first contact with a silent mixer", SIGHUP, true, 300},
            {"message 1 open", SIGTERM, true, 2500},
        };
        for (const Moment& moment : moments) {
            QProcess panel;
            if (moment.silent) {
                QCOMPARE(sim.Command(QStringLiteral("silent on")), QStringLiteral("ok silent on"));
            }
            qsizetype from = sim.Log().size();
            StartPanel(panel, sim);
            if (!moment.silent) {
                QTRY_VERIFY2_WITH_TIMEOUT(FindSequence(sim.Codes(from), fullReadCodes) >= 0 &&
                                              sim.Codes(from).endsWith(QStringLiteral("RAST")),
                                          qPrintable(QString::fromLatin1(moment.what)), 10000);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!sim.Codes(from).isEmpty(), 10000);
                QTest::qWait(moment.waitMs);
            }
            Stop(panel, moment.signal);
            if (QTest::currentTestFailed()) {
                qWarning("while %s:\n%s", moment.what, qPrintable(sim.LogText(from)));
                return;
            }
            // Nothing more goes on the line.
            from = sim.Log().size();
            QTest::qWait(400);
            QCOMPARE(sim.Frames(from).size(), 0);
            if (moment.silent) {
                QCOMPARE(sim.Command(QStringLiteral("silent off")),
                         QStringLiteral("ok silent off"));
            }
        }
        // The port was given back as found: the next start reads the mixer.
        QProcess panel;
        const qsizetype from = sim.Log().size();
        StartPanel(panel, sim);
        QTRY_VERIFY_WITH_TIMEOUT(FindSequence(sim.Codes(from), fullReadCodes) >= 0, 10000);
        Stop(panel, SIGTERM);
    }

    // No port at start: message 1 is open while the communication window
    // loads. A stop signal then ends the program as closing the box and the
    // window would, with exit code 0, for every signal that asks for a stop.
    void signalWhileMessageOneIsOpenAtStartUp() {
        QTemporaryDir nowhere;
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            QProcess panel;
            StartPanel(panel, nowhere.filePath(QStringLiteral("no-converter")));
            QByteArray seen;
            QVERIFY(WaitForStderr(panel, "cannot open serial port", seen));
            QTest::qWait(300); // message 1 is up by now
            Stop(panel, signal);
        }
    }

    // A stop during a box that start-up shows before the port is opened (the
    // fader notice for two words; the settings file's error box) ends
    // start-up there: the port is never opened, nothing goes on the line.
    void signalDuringAStartUpBoxGoesNoFurther() {
        SimProcess sim;
        QVERIFY(sim.Start());
        ProgramCopy program;
        QVERIFY(program.Valid());
        QVERIFY(QDir().mkdir(program.SettingsPath())); // a directory in the file's place
        struct Box {
            const char* what;
            QStringList arguments;
            QString executable;
        };
        const Box boxes[] = {
            {"the fader notice", {QStringLiteral("d"), QStringLiteral("x")}, QString()},
            {"the settings file's error", {}, program.Executable()},
        };
        for (const Box& box : boxes) {
            const qsizetype from = sim.Log().size();
            QProcess panel;
            StartPanel(panel, sim.LinkPath(), box.arguments, box.executable);
            QTest::qWait(1500);
            QVERIFY2(panel.state() == QProcess::Running, box.what); // held by the box
            Stop(panel, SIGTERM);
            QTest::qWait(300);
            QVERIFY2(sim.Frames(from).isEmpty(), qPrintable(sim.LogText(from)));
        }
    }

    // Start-up never blocks on what lies under the settings file's name: a
    // read-only FIFO there is an error like a directory, and a stop signal
    // during its box ends the program.
    // The panel runs as a user without root's rights here, so the FIFO's
    // permissions apply to it as they do on a desktop.
    void aFifoInPlaceOfTheSettingsFile() {
        ProgramCopy program;
        QVERIFY(program.Valid());
        QCOMPARE(::mkfifo(QFile::encodeName(program.SettingsPath()).constData(), 0444), 0);
        QTemporaryDir runtime;
        const bool root = ::geteuid() == 0;
        if (root) {
            QCOMPARE(::chmod(QFile::encodeName(program.Directory()).constData(), 0755), 0);
            QCOMPARE(::chown(QFile::encodeName(runtime.path()).constData(), nobody, nobody), 0);
        }
        QProcess panel;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ARDENIX_PORT"), runtime.filePath(QStringLiteral("none")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        panel.setProcessEnvironment(env);
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        if (root) {
            panel.setChildProcessModifier([] {
                if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) {
                    ::_exit(90);
                }
            });
        }
        panel.start(program.Executable(), {});
        QVERIFY(panel.waitForStarted(5000));
        QTest::qWait(1500);
        QCOMPARE(panel.state(), QProcess::Running); // at the error box, not stopped
        Stop(panel, SIGTERM);
    }

    // A panel killed outright cannot give the line its settings back; the
    // simulated mixer does it when its peer is gone, so the next start reads
    // the mixer in full.
    void aKilledPanelLeavesTheLineUsable() {
        SimProcess sim;
        QVERIFY(sim.Start());
        for (int start = 0; start < 2; ++start) {
            QProcess panel;
            const qsizetype from = sim.Log().size();
            StartPanel(panel, sim);
            QTRY_VERIFY2_WITH_TIMEOUT(FindSequence(sim.Codes(from), fullReadCodes) >= 0,
                                      qPrintable(sim.LogText(from)), 10000);
            panel.kill();
            QVERIFY(panel.waitForFinished(5000));
        }
    }
};

QTEST_GUILESS_MAIN(TestStopSignals)
#include "test_stopsignals.moc"
