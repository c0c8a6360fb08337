// The loss of the link: the port closed, the flags down, the reply and poll
// timers stopped, the reopen timer started whether or not the message is
// still up, and the user told once per loss.
#include "connection/supervisor.h"
#include "core/state.h"
#include "host/host.h"
#include "serial/serial.h"
#include "tests/support/ptypeer.h"
#include "windows/windows.h"

#include <QtTest>

#include <memory>

class TestConnectionLost : public QObject {
    Q_OBJECT

private slots:
    void lossClosesTellsAndReopens() {
        ResetSharedState();
        PtyPeer mixer;
        qputenv("ARDENIX_PORT", mixer.SlavePath().toLocal8Bit());
        CommControls& form = comm();
        auto supervisor = std::make_unique<connection::Supervisor>(form);
        systemState.portIsOpen = ToFlag(OpenPort(form));
        QCOMPARE(systemState.portIsOpen, flagTrue);
        systemState.deviceResponding = flagTrue;
        ackSeen = flagTrue;
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
        QCOMPARE(systemState.portIsOpen, flagFalse);
        QCOMPARE(systemState.deviceResponding, flagFalse);
        QCOMPARE(ackSeen, flagFalse);
        QVERIFY(!form.MSComm1.PortOpen());
        QVERIFY(!IsPortAlive());

        form.Timer3.SetEnabled(false);
        host::SetMsgBoxHandler({});
        qunsetenv("ARDENIX_PORT");
        supervisor.reset();
        DestroyCommControls();
    }
};

QTEST_MAIN(TestConnectionLost)
#include "test_connectionlost.moc"
