// The real ardenix executable, stopped by a signal as a session or a terminal
// stops it: it ends at once with exit code 0, and it leaves the port as it
// found it, so that the next start reads the mixer again. Runs with the
// offscreen platform; the simulated mixer stands in for the converter.
#include "simprocess.h"

#include <QtTest>

#include <csignal>

class TestStopSignals : public QObject {
    Q_OBJECT
    QTemporaryDir runtimeDir;

    // Starts ardenix on the simulator's link.
    void StartPanel(QProcess& panel, const SimProcess& sim) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ARDENIX_PORT"), sim.LinkPath());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
        panel.setProcessEnvironment(env);
        panel.setProcessChannelMode(QProcess::ForwardedChannels);
        panel.start(
            QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(QStringLiteral("ardenix")),
            QStringList());
        QVERIFY(panel.waitForStarted(5000));
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
};

QTEST_GUILESS_MAIN(TestStopSignals)
#include "test_stopsignals.moc"
