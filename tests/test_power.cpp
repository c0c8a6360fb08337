// Power notifications over a private bus that stands in for the system bus:
// logind's PrepareForSleep sent by dbus-send reaches the watch as suspend and
// resume, and the sleep inhibitor lock is held, given back and taken again.
// Without a bus, or without logind, the program says so once and goes on.
#include "connection/powerwatch.h"
#include "tests/support/fakelogind.h"
#include "tests/support/privatebus.h"

#include <QtTest>

class TestPower : public QObject {
    Q_OBJECT
    PrivateBus bus;

    // Runs this test program as a child in `mode`, with the given bus address.
    static QPair<QByteArray, QByteArray> RunChild(const QString& mode, const QString& address,
                                                  int& exitCode) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {mode});
        child.waitForFinished(20000);
        exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
        return {child.readAllStandardOutput(), child.readAllStandardError()};
    }

private slots:
    void initTestCase() { QVERIFY(bus.Start()); }

    void suspendThenResume() {
        FakeLogind logind;
        QVERIFY(logind.Register());
        QStringList events;
        PowerWatch watch;
        QVERIFY(watch.Listening());
        bool lockHeldInSuspend = false;
        watch.SetSuspendHandler([&] {
            events.append(QStringLiteral("suspend"));
            lockHeldInSuspend = watch.HoldsSleepLock();
        });
        watch.SetResumeHandler([&] { events.append(QStringLiteral("resume")); });

        // The lock is taken at once, with the delay mode.
        QTRY_VERIFY_WITH_TIMEOUT(watch.HoldsSleepLock(), 10000);
        QCOMPARE(logind.calls.size(), 1);
        QCOMPARE(logind.calls[0], QStringLiteral("sleep|Ardenix|closing the mixer link|delay"));
        QCOMPARE(logind.LocksHeld(), 1);

        QVERIFY(logind.SendPrepareForSleep(true));
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList{QStringLiteral("suspend")}, 10000);
        // The machine waited for the suspend handler, and may sleep after it.
        QVERIFY(lockHeldInSuspend);
        QVERIFY(!watch.HoldsSleepLock());
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 0, 5000);

        QVERIFY(logind.SendPrepareForSleep(false));
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 2, 10000);
        QCOMPARE(events, (QStringList{QStringLiteral("suspend"), QStringLiteral("resume")}));
        QTRY_VERIFY_WITH_TIMEOUT(watch.HoldsSleepLock(), 10000);
        QCOMPARE(logind.calls.size(), 2);
        QCOMPARE(logind.LocksHeld(), 1);

        // A release before logind answered: the late answer is not kept.
        watch.ReleaseSleepLock();
        watch.TakeSleepLock();
        watch.ReleaseSleepLock();
        QTRY_COMPARE_WITH_TIMEOUT(logind.calls.size(), 3, 10000);
        QTest::qWait(100);
        QVERIFY(!watch.HoldsSleepLock());
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 0, 5000);
    }

    // Any process on the system bus can send a signal named PrepareForSleep:
    // only the one from logind (the owner of its name) counts.
    void onlyLogindMaySuspend() {
        FakeLogind logind;
        QVERIFY(logind.Register());
        PowerWatch watch;
        QVERIFY(watch.Listening());
        QStringList events;
        watch.SetSuspendHandler([&] { events.append(QStringLiteral("suspend")); });
        watch.SetResumeHandler([&] { events.append(QStringLiteral("resume")); });
        QTRY_VERIFY_WITH_TIMEOUT(watch.HoldsSleepLock(), 10000);

        QVERIFY(bus.SendSpoofedPrepareForSleep(true));
        QVERIFY(bus.SendSpoofedPrepareForSleep(false));
        QVERIFY(logind.SendPrepareForSleep(true));
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty(), 10000);
        // The spoofed signals went out first and would have arrived by now.
        QTest::qWait(300);
        QCOMPARE(events, QStringList{QStringLiteral("suspend")});
        QVERIFY(bus.SendSpoofedPrepareForSleep(false));
        QTest::qWait(300);
        QCOMPARE(events, QStringList{QStringLiteral("suspend")});
        QVERIFY(!watch.HoldsSleepLock()); // nobody woke it up
    }

    void withoutLogindOrBus() {
        int exitCode = 0;
        // A bus without logind: one line on stderr however often the lock is asked for.
        auto [out, err] = RunChild(QStringLiteral("--child"), bus.Address(), exitCode);
        QCOMPARE(exitCode, 0);
        QCOMPARE(out.trimmed(), QByteArray("listening"));
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains("logind"), err.constData());

        // No bus at all.
        QTemporaryDir none;
        const QString nowhere =
            QStringLiteral("unix:path=") + none.filePath(QStringLiteral("no-bus"));
        std::tie(out, err) = RunChild(QStringLiteral("--child"), nowhere, exitCode);
        QCOMPARE(exitCode, 0);
        QCOMPARE(out.trimmed(), QByteArray("deaf"));
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains("D-Bus"), err.constData());
    }
};

// The child: a watch that asks for the lock again and again, then says
// whether it listens.
int RunChild(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    PowerWatch watch;
    for (int i = 0; i < 3; ++i) {
        watch.TakeSleepLock();
        QTest::qWait(300);
        watch.ReleaseSleepLock();
    }
    std::printf("%s\n", watch.Listening() ? "listening" : "deaf");
    return 0;
}

int main(int argc, char* argv[]) {
    if (argc == 2 && qstrcmp(argv[1], "--child") == 0) {
        return RunChild(argc, argv);
    }
    QCoreApplication app(argc, argv);
    TestPower test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_power.moc"
