// The loss of the link: the port closed, the flags down, the reply and poll
// timers stopped, the reopen timer started whether or not the message is
// still up, and the user told once per loss; and the supervisor alone, with
// no window, against the simulated mixer.
#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/ptypeer.h"
#include "tests/support/simprocess.h"
#include "windows/windows.h"

#include <QtTest>

#include <memory>

class TestConnectionLost : public QObject {
    Q_OBJECT

private slots:
    void lossClosesTellsAndReopens() {
        ResetEngineState();
        PtyPeer mixer;
        qputenv("ARDENIX_PORT", mixer.SlavePath().toLocal8Bit());
        CommControls& form = comm();
        auto supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, form);
        programSetup.systemState.portIsOpen = ToFlag(OpenPort(form));
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        programSetup.systemState.deviceResponding = flagTrue;
        linkRecord.ackSeen = flagTrue;
        form.Timer1.SetEnabled(true);
        form.Timer2.SetEnabled(true);

        QStringList shown;
        QStringList titles;
        QList<int> styles;
        // While the message is up the link is down, and the reopen timer
        // already runs: the message does not hold up the reconnection.
        bool reopeningDuringMessage = false;
        host::LoneMessage box;
        supervisor->SetFrontEnd({[&box](MessageKind kind) { TellUser(box, kind); }, {}, {}});
        host::SetMsgBoxHandler([&](const QString& text, int style, const QString& title) {
            shown.append(text);
            titles.append(title);
            styles.append(style);
            reopeningDuringMessage = !form.Timer1.Enabled() && !form.Timer2.Enabled() &&
                                     form.Timer3.Enabled() && !form.MSComm1.PortOpen();
            return host::mbOk;
        });
        supervisor->ConnectionLost();
        QCOMPARE(shown, QStringList{MessageText(MessageKind::Connection)});
        QCOMPARE(titles, QStringList{QStringLiteral("Ardenix Ver.1.3")});
        QCOMPARE(styles, QList<int>{host::mbInformation});
        QVERIFY(reopeningDuringMessage);
        // The same loss going on (a reopening whose first contact fails)
        // tells nothing new.
        supervisor->ConnectionLost();
        QCOMPARE(shown.size(), 1);
        QVERIFY(form.Timer3.Enabled());
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        QCOMPARE(programSetup.systemState.deviceResponding, flagFalse);
        QCOMPARE(linkRecord.ackSeen, flagFalse);
        QVERIFY(!form.MSComm1.PortOpen());
        QVERIFY(!IsPortAlive());

        form.Timer3.SetEnabled(false);
        host::SetMsgBoxHandler({});
        qunsetenv("ARDENIX_PORT");
        supervisor.reset();
        DestroyCommControls();
    }

    // The supervisor with no window, told nothing but through its front-end
    // (as a front-end without a screen writes one line per message). Start
    // returns at once; a mixer silent from the start is told once, however
    // many reopen attempts fail; the attempts go on by themselves; once the
    // mixer answers the link is online and the message withdrawn; the next
    // loss is news again.
    void toldOncePerLossWithoutAWindow() {
        ResetEngineState();
        SetFirstPanelValues(mirror);
        InitProtocolTables(linkRecord, mirror);
        SimProcess sim;
        QVERIFY(sim.Start({QStringLiteral("--silent")}));
        qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
        auto supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        SetLinkEvents({[&supervisor] { supervisor->LinkLostWhileSending(); }, {}});
        int told = 0;
        int withdrawn = 0;
        int contactsOver = 0;
        supervisor->SetFrontEnd(
            {[&told](MessageKind kind) { told += kind == MessageKind::Connection; },
             [&withdrawn] { ++withdrawn; }, [&contactsOver] { ++contactsOver; }});

        supervisor->Start();
        QCOMPARE(CurrentLinkState(), LinkState::FirstContact);
        QCOMPARE(contactsOver, 0);
        QTRY_COMPARE_WITH_TIMEOUT(contactsOver, 1, 5000);
        QCOMPARE(told, 1);
        // Two more attempts, each three unanswered frames: nothing new told.
        QTRY_VERIFY_WITH_TIMEOUT(sim.Frames().size() >= 9, 10000);
        QCOMPARE(told, 1);
        QCOMPARE(withdrawn, 0);

        QCOMPARE(sim.Command(QStringLiteral("silent off")), QStringLiteral("ok silent off"));
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 5000);
        QCOMPARE(programSetup.systemState.deviceResponding, flagTrue);
        QCOMPARE(withdrawn, 1);
        QCOMPARE(told, 1);
        QCOMPARE(contactsOver, 1);

        QCOMPARE(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
        QTRY_COMPARE_WITH_TIMEOUT(told, 2, 3000);
        QCOMPARE(CurrentLinkState(), LinkState::Lost);

        supervisor->Close();
        SetLinkEvents({});
        supervisor.reset();
        qunsetenv("ARDENIX_PORT");
        DestroyCommControls();
    }
};

QTEST_MAIN(TestConnectionLost)
#include "test_connectionlost.moc"
