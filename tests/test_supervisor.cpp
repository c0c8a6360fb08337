// The connection supervisor against the simulated mixer on its pseudo-terminal:
// start-up, a missing port, a silent mixer, refusals, faulty replies, the
// cable pulled and plugged back, device arrivals, and a power suspend and
// resume over a private bus standing in for the system bus. What went on the
// wire is taken from the simulator's traffic log.
//
// Every case runs in a process of its own (the end of the program is final
// within a process): run with a case's name, this program runs that case;
// run without arguments, it runs each case in a child of its own.
#include "app/startup.h"
#include "core/observers.h"
#include "core/state.h"
#include "panel/frmcontrol.h"
#include "panel/panel.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/casechildren.h"
#include "tests/support/fakelogind.h"
#include "tests/support/linkrecord.h"
#include "tests/support/privatebus.h"
#include "tests/support/programcopy.h"
#include "tests/support/simprocess.h"
#include "tests/support/stderrcapture.h"
#include "windows/frmcomm.h"
#include "windows/frmdebug.h"
#include "windows/windows.h"

#include "app/wiring.h"
#include "connection/supervisor.h"
#include "host/host.h"
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>

#include <QtTest>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>

#include <unistd.h>

namespace {

// The size of the main thread's stack as the kernel has mapped it: it grows
// with the deepest use and never shrinks.
qint64 StackKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmStk:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

// Points the link at `path` to `target` in one step, as udev re-points a
// device link.
bool Relink(const QString& path, const QString& target) {
    const QByteArray temporary = QFile::encodeName(path + QStringLiteral(".new"));
    ::unlink(temporary.constData());
    return ::symlink(QFile::encodeName(target).constData(), temporary.constData()) == 0 &&
           ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0;
}

// The message boxes of the program, open or not, and those of them on the screen.
QList<QMessageBox*> MessageBoxes(bool openOnly) {
    QList<QMessageBox*> boxes;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && (!openOnly || box->isVisible())) {
            boxes.append(box);
        }
    }
    return boxes;
}
QList<QMessageBox*> OpenBoxes() {
    return MessageBoxes(true);
}

// Bounds around the reply timer's 500 ms, wide enough for a loaded machine.
constexpr qint64 retryMinMs = 350;
constexpr qint64 retryMaxMs = 900;

} // namespace

// What the observer seam told: the link's states and the applied replies.
class Recorder : public StateObserver {
public:
    QList<LinkState> states;
    QList<RequestKind> replies;
    int fullReads = 0;
    void ReplyApplied(RequestKind kind) override { replies.append(kind); }
    void FullReadCompleted() override { ++fullReads; }
    void LinkStateChanged(LinkState state) override { states.append(state); }
};

class TestSupervisor : public QObject {
    Q_OBJECT
    Recorder told;
    PanelRefresh panel;
    // The program's connection and its message box, wired as the program wires them.
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    QTemporaryDir runtimeDir;
    QElapsedTimer clock;
    QList<qint64> messageTimes; // when message 1 was shown, on `clock`
    QStringList messageTexts;

    // Start-up returns at once; the first contact goes on by itself and
    // shows the panel once it is over.
    void RunMain(const QString& commandLine) {
        host::SetCommandLineText(commandLine);
        clock.start();
        Main(linkRecord, mirror, connectionMessage);
        QVERIFY(QTest::qWaitFor(
            [] {
                return host::ProgramEnding() || (FrmControlLoaded() && frmControl().isVisible());
            },
            15000));
    }

    bool Online() const {
        return programSetup.systemState.portIsOpen == flagTrue &&
               programSetup.systemState.deviceResponding == flagTrue;
    }

    // Starts the program on a simulator and waits until the full status read is over.
    void StartOnline(SimProcess& sim, const QString& commandLine = QString()) {
        QVERIFY(sim.Start());
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        RunMain(commandLine);
        QVERIFY(Online());
        QVERIFY(FindSequence(sim.Codes(), fullReadCodes) >= 0);
        QVERIFY(messageTexts.isEmpty());
    }

private slots:
    void initTestCase() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        Subscribe(told);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        host::SetMsgBoxHandler([this](const QString& text, int, const QString&) {
            messageTimes.append(clock.elapsed());
            messageTexts.append(text);
            return host::mbOk;
        });
    }

    // The windows still loaded go before the application does.
    void cleanupTestCase() {
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void startupWithTheMixer() {
        SimProcess sim;
        StartOnline(sim);
        // The panel is shown once the status was read.
        QVERIFY(FrmControlLoaded() && frmControl().isVisible());
        QVERIFY(FrmCommLoaded() && !frmComm().isVisible());
        QVERIFY(!FrmDebugLoaded() || !frmDebug().isVisible()); // never shown outside debug mode

        QTest::qWait(1500);
        const QList<SimLogLine> frames = sim.Frames();
        const QStringList codes = sim.Codes();
        // One RAST, the full read, then nothing but RAST polls.
        QCOMPARE(codes.mid(0, 1 + fullReadCodes.size()),
                 QStringList{QStringLiteral("RAST")} + fullReadCodes);
        const QList<SimLogLine> polls = frames.mid(1 + fullReadCodes.size());
        QVERIFY2(polls.size() >= 4 && polls.size() <= 9, qPrintable(sim.LogText()));
        for (qsizetype i = 0; i < polls.size(); ++i) {
            QCOMPARE(polls[i].Code(), QStringLiteral("RAST"));
            if (i > 0) {
                const qint64 gap = polls[i].ms - polls[i - 1].ms;
                QVERIFY2(gap >= 150 && gap <= 600, qPrintable(sim.LogText()));
            }
        }
        QVERIFY(messageTexts.isEmpty());
        // The observers heard the link come up and every reply of the read.
        QCOMPARE(told.states, (QList<LinkState>{LinkState::FirstContact, LinkState::Reading,
                                                LinkState::Online}));
        QCOMPARE(told.fullReads, 1);
        QCOMPARE(told.replies.count(RequestKind::Inputs), 8);
        QCOMPARE(told.replies.count(RequestKind::SceneName), 4);
        QVERIFY(told.replies.count(RequestKind::Status) >= 2);

        // Unloading the window closes the link and ends the program.
        UnloadFrmComm();
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue); // as it was: the program is over
        QVERIFY(host::ProgramEnding());
        QVERIFY(!comm().Timer1.Enabled() && !comm().Timer2.Enabled());
        const qsizetype sent = sim.Frames().size();
        QTest::qWait(600);
        QCOMPARE(sim.Frames().size(), sent);
    }

    void noPortAtStart() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("dorvane"));
        qputenv("ARDENIX_PORT", link.toLocal8Bit());
        RunMain(QString());
        QCOMPARE(messageTexts, QStringList{MessageText(MessageKind::Connection)});
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QVERIFY(FrmControlLoaded() && frmControl().isVisible());
        // No reopen attempts: nothing but a port's arrival leaves this state.
        QTest::qWait(2500);
        QCOMPARE(messageTexts.size(), 1);
        QVERIFY(!comm().Timer3.Enabled());
        QCOMPARE(CurrentLinkState(), LinkState::NotConnected);
        QVERIFY(told.states.isEmpty());

        // The mixer's line appears where the port was looked for.
        SimProcess sim(link);
        QVERIFY(sim.Start());
        QTRY_VERIFY_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(), fullReadCodes) == 1, 10000);
        QCOMPARE(sim.Codes().first(), QStringLiteral("RAST"));
        QCOMPARE(messageTexts.size(), 1);
        QCOMPARE(told.states, (QList<LinkState>{LinkState::FirstContact, LinkState::Reading,
                                                LinkState::Online}));
    }

    void silentMixer() {
        SimProcess sim;
        QVERIFY(sim.Start({QStringLiteral("--silent")}));
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        RunMain(QString());
        // The first contact times out, and the panel is shown.
        QCOMPARE(messageTexts, QStringList{MessageText(MessageKind::Connection)});
        QVERIFY(frmControl().isVisible());
        QList<SimLogLine> frames = sim.Frames();
        QVERIFY2(frames.size() >= 3, qPrintable(sim.LogText()));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(frames[i].Code(), QStringLiteral("RAST"));
        }
        // Frames at about 0, 0.5 and 1.0 s; the message at about 1.5 s.
        for (int i = 1; i < 3; ++i) {
            const qint64 gap = frames[i].ms - frames[i - 1].ms;
            QVERIFY2(gap >= retryMinMs && gap <= retryMaxMs, qPrintable(sim.LogText()));
        }
        QVERIFY2(messageTimes[0] >= 1200 && messageTimes[0] <= 3000,
                 qPrintable(QString::number(messageTimes[0])));
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);

        // Reopened within about a second, the first contact starts again...
        QTRY_VERIFY_WITH_TIMEOUT(sim.Frames().size() >= 4, 5000);
        frames = sim.Frames();
        const qint64 reopenGap = frames[3].ms - frames[2].ms;
        QVERIFY2(reopenGap >= 900 && reopenGap <= 2500, qPrintable(sim.LogText()));
        // ...and times out again: the same loss goes on, and the user, told
        // of it once, is not told again for a failed attempt.
        QTRY_COMPARE_WITH_TIMEOUT(told.states.count(LinkState::Lost), 2, 5000);
        QCOMPARE(sim.Frames().size(), 6);
        QCOMPARE(messageTexts.size(), 1);

        // The mixer speaks again: the next reopen reads it and polling goes on.
        QCOMPARE(sim.Command(QStringLiteral("silent off")), QStringLiteral("ok silent off"));
        const qsizetype from = sim.Log().size();
        QTRY_VERIFY_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) >= 0,
                                 10000);
        QTest::qWait(600);
        QVERIFY(sim.Codes(from).endsWith(QStringLiteral("RAST")));
        QCOMPARE(messageTexts.size(), 1);
    }

    void refusalsEndInTimeout() {
        // The mixer refuses the first three frames: the first contact times out.
        SimProcess sim;
        QVERIFY(sim.Start({QStringLiteral("--nak"), QStringLiteral("3")}));
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        RunMain(QStringLiteral("d"));
        QCOMPARE(messageTexts, QStringList{MessageText(MessageKind::Connection)});
        QVERIFY(messageTimes[0] >= 1200 && messageTimes[0] <= 3000);
        // In debug mode: the time-out line on top of both debug lists, the
        // refusals below it, and both windows visible.
        QCOMPARE(trafficLists.debug[0].List(0), QStringLiteral("TIMEOUT ERROR"));
        QCOMPARE(trafficLists.debug[1].List(0), QStringLiteral("TIMEOUT ERROR"));
        QCOMPARE(trafficLists.debug[0].Lines().count(QStringLiteral("NAK_NAK")), 3);
        QVERIFY(frmComm().isVisible());
        QVERIFY(FrmDebugLoaded() && frmDebug().isVisible());
        // The same frame three times, each refused, about half a second apart.
        const QList<SimLogLine> lines = sim.Log();
        QList<SimLogLine> refused;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i].IsFrame() && lines[i + 1].what.startsWith(QLatin1String("tx N"))) {
                refused.append(lines[i]);
            }
        }
        QCOMPARE(refused.size(), 3);
        for (int i = 1; i < 3; ++i) {
            QCOMPARE(refused[i].what, QStringLiteral("rx RAST"));
            const qint64 gap = refused[i].ms - refused[i - 1].ms;
            QVERIFY2(gap >= retryMinMs && gap <= retryMaxMs, qPrintable(sim.LogText()));
        }
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);

        // Reopened a second later: a new first contact and a full read.
        qsizetype from = sim.Log().size();
        QTRY_VERIFY2_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) == 1,
                                  qPrintable(sim.LogText()), 10000);
        QCOMPARE(messageTexts.size(), 1);

        // Online, one refusal is answered by the next frame, and nothing is lost.
        QTest::qWait(300);
        from = sim.Log().size();
        QCOMPARE(sim.Command(QStringLiteral("nak 1")), QStringLiteral("ok nak 1"));
        QTest::qWait(1500);
        QVERIFY(sim.LogText(from).contains(QStringLiteral("tx N")));
        QVERIFY(Online());
        QCOMPARE(messageTexts.size(), 1);
        QVERIFY(sim.Codes(from).endsWith(QStringLiteral("RAST")));

        // A mixer that refuses everything while online: the time-out follows.
        QCOMPARE(sim.Command(QStringLiteral("nak 1000")), QStringLiteral("ok nak 1000"));
        QTRY_COMPARE_WITH_TIMEOUT(messageTexts.size(), 2, 5000);
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QCOMPARE(sim.Command(QStringLiteral("nak 0")), QStringLiteral("ok nak 0"));
        from = sim.Log().size();
        QTRY_VERIFY_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) >= 0,
                                 10000);
    }

    void faultyRepliesAreRetransmitted() {
        SimProcess sim;
        StartOnline(sim);
        for (const char* fault : {"garbage", "truncate", "range"}) {
            const qsizetype from = sim.Log().size();
            QCOMPARE(sim.Command(QString::fromLatin1(fault)),
                     QStringLiteral("ok ") + QLatin1String(fault));
            // Past the time-out of three reply ticks: the retransmission was
            // answered and accepted, the link never went down.
            QTest::qWait(2500);
            // Still online, no message; the cut or spoilt reply was sent again.
            QVERIFY2(Online(), fault);
            QVERIFY2(messageTexts.isEmpty(), fault);
            const QString log = sim.LogText(from);
            QVERIFY2(log.contains(QStringLiteral("fault")), qPrintable(log));
            if (qstrcmp(fault, "garbage") != 0) {
                const QList<SimLogLine> frames = sim.Frames(from);
                bool retransmitted = false;
                for (qsizetype i = 1; i < frames.size(); ++i) {
                    const qint64 gap = frames[i].ms - frames[i - 1].ms;
                    retransmitted = retransmitted || (gap >= retryMinMs && gap <= retryMaxMs);
                }
                QVERIFY2(retransmitted, qPrintable(log));
            }
        }
    }

    // Presses while the full status read waits for a reply: each command goes
    // out at once, the request it displaced is asked again, and the series
    // ends complete instead of waiting for a reply that cannot come.
    void pressesDuringTheFullRead() {
        SimProcess sim;
        QVERIFY(sim.Start({QStringLiteral("--baud-delay")}));
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        RunMain(QString());
        QVERIFY(Online());
        QTest::qWait(300);

        // Each press lands while the reply to the request named is awaited.
        struct Press {
            Integer kind;
            Integer index;
            std::function<void()> act;
            bool done = false;
        };
        Integer button = 1;
        Integer shift = 0;
        Single x = 0;
        Single y = 0;
        std::array<Press, 2> presses{{
            {Value(RequestKind::Inputs), 2,
             [&] { frmControl().SSCommand3_MouseDown(0, button, shift, x, y); }},
            {Value(RequestKind::SceneName), 2,
             [&] { frmControl().SSCommand1_MouseDown(3, button, shift, x, y); }},
        }};
        QTimer presser;
        presser.setInterval(0);
        connect(&presser, &QTimer::timeout, this, [&presses] {
            const ExchangeRecord& reply = linkRecord.exchange[replyRecord];
            for (Press& press : presses) {
                if (!press.done && linkRecord.sequenceRunning && reply.busy == flagTrue &&
                    reply.kind == press.kind && reply.index == press.index) {
                    press.done = true;
                    press.act();
                }
            }
        });
        // Should the series stall, the watchdog lets its waits go every few
        // seconds, so that the case fails instead of hanging.
        bool stalled = false;
        QTimer watchdog;
        connect(&watchdog, &QTimer::timeout, this, [&stalled] {
            stalled = true;
            for (KindFlags& flags : linkRecord.kindFlags) {
                flags.requestOutstanding = flagFalse;
            }
        });

        const qsizetype from = sim.Log().size();
        presser.start();
        watchdog.start(6000);
        linkRecord.fullStatusNeeded = true; // the next poll tick reads the whole status
        QTRY_VERIFY_WITH_TIMEOUT(presses[0].done && presses[1].done &&
                                     !linkRecord.fullStatusNeeded && !linkRecord.sequenceRunning,
                                 20000);
        watchdog.stop();
        presser.stop();
        QVERIFY2(!stalled, qPrintable(sim.LogText(from)));

        // Without the commands and their retransmissions, the series is whole.
        QStringList requests;
        for (const QString& code : sim.Codes(from)) {
            if (!code.startsWith(QLatin1Char('C')) &&
                (requests.isEmpty() || requests.last() != code || code == QLatin1String("RSCI"))) {
                requests.append(code);
            }
        }
        QVERIFY2(FindSequence(requests, fullReadCodes) >= 0, qPrintable(sim.LogText(from)));
        // The presses keep their turn: one frame on the line at a time, so
        // they go once the read has the line no more.
        QTRY_VERIFY2_WITH_TIMEOUT(sim.Codes(from).contains(QStringLiteral("CMUT")) &&
                                      sim.Codes(from).contains(QStringLiteral("CSEL")),
                                  qPrintable(sim.LogText(from)), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!linkRecord.anyChangePending, 3000);

        // Both changes reached the mixer, and the polls go on with the link up.
        const QJsonObject state =
            QJsonDocument::fromJson(sim.Command(QStringLiteral("state")).toUtf8()).object();
        QCOMPARE(state[QLatin1String("masters")]
                     .toArray()[0]
                     .toObject()[QLatin1String("muted")]
                     .toBool(),
                 true);
        QCOMPARE(state[QLatin1String("selectedInput")].toInt(), 4);
        const qsizetype after = sim.Log().size();
        QTest::qWait(800);
        QVERIFY(sim.Codes(after).count(QStringLiteral("RAST")) >= 2);
        QVERIFY(Online());
        QVERIFY(messageTexts.isEmpty());
        QCOMPARE(mirror.panel.masters[0].muted, flagTrue);
    }

    void unplugAndPlugBack() {
        SimProcess sim;
        StartOnline(sim);
        QTest::qWait(300);
        QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
        QTRY_COMPARE_WITH_TIMEOUT(messageTexts.size(), 1, 3000);
        QCOMPARE(messageTexts[0], MessageText(MessageKind::Connection));
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QCOMPARE(programSetup.systemState.deviceResponding, flagFalse);
        QVERIFY(comm().Timer3.Enabled());
        QCOMPARE(told.states.last(), LinkState::Lost);
        // The reopen attempts fail silently while the cable is out.
        QTest::qWait(2200);
        QCOMPARE(messageTexts.size(), 1);

        const qsizetype from = sim.Log().size();
        QCOMPARE(sim.Command(QStringLiteral("plug")), QStringLiteral("ok plug"));
        QTRY_VERIFY_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) == 1,
                                 10000);
        QCOMPARE(sim.Codes(from).first(), QStringLiteral("RAST"));
        QTest::qWait(600);
        QVERIFY(sim.Codes(from).endsWith(QStringLiteral("RAST")));
        QCOMPARE(messageTexts.size(), 1);
        QCOMPARE(told.states.mid(told.states.size() - 4),
                 (QList<LinkState>{LinkState::Lost, LinkState::FirstContact, LinkState::Reading,
                                   LinkState::Online}));
    }

    void deviceArrivalsWhileOnline() {
        SimProcess sim;
        StartOnline(sim);
        QTest::qWait(300);
        // Something that is no port: nothing changes.
        qsizetype from = sim.Log().size();
        {
            QFile foo(QDir(sim.Directory()).filePath(QStringLiteral("foo")));
            QVERIFY(foo.open(QIODevice::WriteOnly));
        }
        QTest::qWait(700);
        QCOMPARE(sim.Codes(from).count(QStringLiteral("RIM1")), 0);
        QVERIFY(sim.Codes(from).count(QStringLiteral("RAST")) >= 2);

        // A port arrives (any port): the link is closed, reopened and read again.
        from = sim.Log().size();
        QVERIFY(QFile::link(QStringLiteral("/dev/null"),
                            QDir(sim.Directory()).filePath(QStringLiteral("ttyUSB9"))));
        QTRY_VERIFY_WITH_TIMEOUT(FindSequence(sim.Codes(from), fullReadCodes) >= 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(Online(), 5000);
        QVERIFY(messageTexts.isEmpty());

        // An arrival told while the link is still marked suspended reopens it
        // for good: the first contact ends and the link works.
        frmComm().SysInfo1_PowerSuspend();
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        from = sim.Log().size();
        frmComm().SysInfo1_DeviceArrival(3, 0, QString(), 0);
        QCOMPARE(linkRecord.linkSuspended, flagFalse);
        QTRY_VERIFY_WITH_TIMEOUT(CurrentLinkState() == LinkState::Online, 5000);
        QVERIFY(Online());
        QVERIFY(FindSequence(sim.Codes(from), fullReadCodes) >= 0);
        QVERIFY(messageTexts.isEmpty());
    }

    // A storm of port arrivals (a flapping converter, a udev rule gone wild):
    // arrivals never nest inside one another, so the stack stays as it was,
    // and once the storm is over the panel is online with a full read.
    void stormOfArrivals() {
        SimProcess sim;
        StartOnline(sim);
        QTest::qWait(300);
        const qint64 stackBefore = StackKilobytes();
        QVERIFY(stackBefore > 0);

        const qsizetype from = sim.Log().size();
        const QByteArray directory = QFile::encodeName(sim.Directory());
        constexpr int arrivals = 50000;
        std::atomic<bool> done{false};
        qint64 stormMs = 0;
        std::thread storm([&directory, &done, &stormMs] {
            const QByteArray link = directory + "/ttyUSB9";
            const QByteArray temporary = directory + "/.storm";
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < arrivals; ++i) {
                ::unlink(temporary.constData());
                if (::symlink(i % 2 != 0 ? "/dev/null" : "/dev/zero", temporary.constData()) == 0) {
                    ::rename(temporary.constData(), link.constData());
                }
            }
            stormMs = clock.elapsed();
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 30000);
        storm.join();
        qInfo("%d arrivals in %lld ms", arrivals, stormMs);

        // The reconnections end online, after a full read, and the polls go on.
        QTRY_VERIFY2_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) >= 0,
                                  qPrintable(sim.LogText(from)), 20000);
        const qsizetype after = sim.Log().size();
        QTest::qWait(600);
        QVERIFY(Online());
        QVERIFY(!linkRecord.sequenceRunning);
        QVERIFY(sim.Codes(after).count(QStringLiteral("RAST")) >= 2);
        qInfo("%lld reconnections began a full read",
              static_cast<long long>(sim.Codes(from).count(QStringLiteral("RIM1"))));
        const qint64 stackAfter = StackKilobytes();
        qInfo("main stack %lld kB before the storm, %lld kB after", stackBefore, stackAfter);
        QVERIFY2(stackAfter - stackBefore < 256, qPrintable(QString::number(stackAfter)));
        QVERIFY(messageTexts.isEmpty());
    }

    // A port arrives while online, but the node cannot be opened as a port:
    // the link is lost without a word, the reopen timer keeps trying, and
    // the link comes back with the node.
    void arrivalWhoseReopeningFails() {
        SimProcess sim;
        StartOnline(sim);
        QTest::qWait(300);
        const QString line = QFile::symLinkTarget(sim.LinkPath());
        // Should the arrival's handler never return, the case ends here.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout,
                [] { qFatal("the arrival's handler did not return"); });
        watchdog.start(20000);
        QVERIFY(Relink(sim.LinkPath(), QStringLiteral("/dev/null")));
        QTRY_VERIFY_WITH_TIMEOUT(
            programSetup.systemState.portIsOpen == flagFalse && comm().Timer3.Enabled(), 5000);
        QCOMPARE(programSetup.systemState.deviceResponding, flagFalse);
        QVERIFY(!comm().Timer1.Enabled() && !comm().Timer2.Enabled());
        QVERIFY(!linkRecord.sequenceRunning);
        QVERIFY(messageTexts.isEmpty());

        const qsizetype from = sim.Log().size();
        QVERIFY(Relink(sim.LinkPath(), line));
        QTRY_VERIFY_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) >= 0,
                                 10000);
        QVERIFY(messageTexts.isEmpty());
    }

    // A settings file written while the mixer was connected says that the
    // mixer answers; without a port that counts for nothing: start-up shows
    // message 1 and the panel, and reads nothing.
    void settingsFileSayingTheMixerAnswers() {
        ProgramCopy program;
        QVERIFY(program.Valid());
        // The system block of a file written while the mixer answered.
        QVERIFY(program.WriteSettings(QByteArray::fromHex("0100FFFFFFFF00000000")));
        host::SetProgramDirectory(program.Directory());
        QTemporaryDir nowhere;
        qputenv("ARDENIX_PORT", nowhere.filePath(QStringLiteral("none")).toLocal8Bit());
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { qFatal("start-up did not return"); });
        watchdog.start(15000);
        RunMain(QString());
        watchdog.stop();
        QCOMPARE(messageTexts, QStringList{MessageText(MessageKind::Connection)});
        QVERIFY(frmControl().isVisible());
        QCOMPARE(programSetup.systemState.deviceResponding, flagFalse);
        QVERIFY(!linkRecord.sequenceRunning);
        UnloadFrmComm();
        QVERIFY(host::ProgramEnding());
    }

    // Pressing the scene that is already recalled sends nothing, and the
    // panel goes on following the mixer.
    void pressingTheLitSceneAgain() {
        SimProcess sim;
        StartOnline(sim);
        Integer button = 1;
        Integer shift = 0;
        Single x = 0;
        Single y = 0;
        FrmControl& panel = frmControl();
        const Integer code = programSetup.sceneSetup.sceneNumbers[0];
        if (mirror.panel.recall != code) {
            panel.SSCommand5_MouseDown(0, button, shift, x, y);
        }
        QTRY_COMPARE_WITH_TIMEOUT(mirror.panel.recall, code, 2000);
        QTest::qWait(500);
        qsizetype from = sim.Log().size();
        panel.SSCommand5_MouseDown(0, button, shift, x, y); // lit: no frame
        QVERIFY2(!sim.Codes(from).contains(QStringLiteral("CRCL")), qPrintable(sim.LogText(from)));

        QCOMPARE(sim.Command(QStringLiteral("set mute A on")).left(2), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(mirror.panel.masters[0].muted, flagTrue, 1000);
        QCOMPARE(panel.SSCommand3[0].PictureName(), QStringLiteral("Muting_on_press.bmp"));
        from = sim.Log().size();
        panel.SSCommand3_MouseDown(0, button, shift, x, y);
        QTRY_VERIFY_WITH_TIMEOUT(sim.LogText(from).contains(QStringLiteral("rx CMUT 40 40")), 2000);
    }

    // A loss that lasts: it is told on standard error once, with the device
    // and the reason, and so is the failing reopening, however many attempts
    // the reopen timer makes; the next loss after the link came back is news.
    void aLongLossIsToldOnce() {
        SimProcess sim;
        StartOnline(sim);
        QTest::qWait(300);
        const QString device = sim.LinkPath();
        {
            StderrCapture capture;
            QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
            QTRY_COMPARE_WITH_TIMEOUT(messageTexts.size(), 1, 3000);
            QTest::qWait(10000); // about ten reopen attempts
            const QString told = capture.Text();
            QCOMPARE(told.count(QStringLiteral("lost the mixer on ") + device), 1);
            QCOMPARE(told.count(QStringLiteral("cannot open serial port ") + device), 1);
            QCOMPARE(told.count(QLatin1Char('\n')), 2);
        }
        QCOMPARE(sim.Command(QStringLiteral("plug")), QStringLiteral("ok plug"));
        QTRY_VERIFY_WITH_TIMEOUT(Online() && CurrentLinkState() == LinkState::Online, 10000);
        StderrCapture capture;
        QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
        QTRY_COMPARE_WITH_TIMEOUT(messageTexts.size(), 2, 3000);
        QTest::qWait(1500);
        QCOMPARE(capture.Text().count(QStringLiteral("lost the mixer on ") + device), 1);
    }

    // The mixer silent at start-up: the connection message is up (the real
    // box, which nobody clicks), the reopen attempts go on behind it without
    // a second box, and once the mixer answers the link is online within two
    // seconds and the box has closed itself. A loss while online does the same.
    void recoveryWithTheBoxOpen() {
        host::SetMsgBoxHandler({});
        SimProcess sim;
        QVERIFY(sim.Start({QStringLiteral("--silent")}));
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        RunMain(QString());
        const QList<QMessageBox*> boxes = OpenBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0]->windowTitle(), QStringLiteral("Ardenix Ver.1.3"));
        QCOMPARE(
            boxes[0]->text(),
            MessageText(MessageKind::Connection).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        QCOMPARE(boxes[0]->icon(), QMessageBox::Information);
        QVERIFY(!boxes[0]->isModal());
        // Behind the box the link is reopened and times out again: one box still.
        QTRY_COMPARE_WITH_TIMEOUT(told.states.count(LinkState::Lost), 2, 5000);
        QCOMPARE(OpenBoxes().size(), 1);

        QCOMPARE(sim.Command(QStringLiteral("silent off")), QStringLiteral("ok silent off"));
        QElapsedTimer answering;
        answering.start();
        QVERIFY(QTest::qWaitFor([] { return CurrentLinkState() == LinkState::Online; }, 10000));
        QVERIFY2(answering.elapsed() <= 2000, qPrintable(sim.LogText()));
        QVERIFY(OpenBoxes().isEmpty());

        // A loss while online: the box again, and gone once the cable is back.
        QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
        QTRY_COMPARE_WITH_TIMEOUT(OpenBoxes().size(), 1, 3000);
        QCOMPARE(sim.Command(QStringLiteral("plug")), QStringLiteral("ok plug"));
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 5000);
        QVERIFY(OpenBoxes().isEmpty());
        QVERIFY(Online());
    }

    // Losses and recoveries one after the other: never more than one box on
    // the screen, none left at the end, and no closed boxes piling up.
    void manyLossesOneBox() {
        host::SetMsgBoxHandler({});
        SimProcess sim;
        StartOnline(sim);
        qsizetype most = 0;
        qsizetype mostKept = 0;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, this, [&most, &mostKept] {
            most = std::max(most, OpenBoxes().size());
            mostKept = std::max(mostKept, MessageBoxes(false).size());
        });
        sampler.start(5);
        constexpr int cycles = 20;
        for (int cycle = 0; cycle < cycles; ++cycle) {
            QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
            QTRY_VERIFY_WITH_TIMEOUT(
                CurrentLinkState() == LinkState::Lost && OpenBoxes().size() == 1, 5000);
            QCOMPARE(sim.Command(QStringLiteral("plug")), QStringLiteral("ok plug"));
            QTRY_VERIFY2_WITH_TIMEOUT(CurrentLinkState() == LinkState::Online,
                                      qPrintable(QStringLiteral("cycle %1").arg(cycle)), 5000);
        }
        sampler.stop();
        QCOMPARE(most, 1);
        QCOMPARE(mostKept, 1);
        QVERIFY(OpenBoxes().isEmpty());
        QVERIFY(Online());
    }

    void suspendAndResume() {
        PrivateBus bus;
        QVERIFY(bus.Start());
        FakeLogind logind;
        QVERIFY(logind.Register());
        SimProcess sim;
        StartOnline(sim);
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 1, 5000);
        QTest::qWait(300);

        QVERIFY(logind.SendPrepareForSleep(true));
        QTRY_COMPARE_WITH_TIMEOUT(linkRecord.linkSuspended, flagTrue, 5000);
        QCOMPARE(CurrentLinkState(), LinkState::Suspended);
        // The port really is closed, and nothing goes on the line.
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QVERIFY(!comm().MSComm1.PortOpen());
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 0, 5000);
        QTest::qWait(50); // a frame under way may still be logged
        const qsizetype from = sim.Log().size();
        QTest::qWait(500);
        QCOMPARE(sim.Frames(from).size(), 0);

        QVERIFY(logind.SendPrepareForSleep(false));
        // The reopen timer brings the link back: a new first contact and a full read.
        QTRY_VERIFY_WITH_TIMEOUT(Online() && FindSequence(sim.Codes(from), fullReadCodes) == 1,
                                 10000);
        QCOMPARE(sim.Codes(from).first(), QStringLiteral("RAST"));
        QCOMPARE(linkRecord.linkSuspended, flagFalse);
        QTRY_COMPARE_WITH_TIMEOUT(logind.LocksHeld(), 1, 5000);
        QVERIFY(messageTexts.isEmpty()); // a suspend tells the user nothing
    }
};

int main(int argc, char* argv[]) {
    return casechildren::Main<TestSupervisor>(argc, argv);
}

#include "test_supervisor.moc"
