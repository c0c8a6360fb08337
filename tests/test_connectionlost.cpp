// The loss of the link: the port closed, the flags down, the reply and poll
// timers stopped, the user told once, and the reopen timer started only after
// the message was closed.
#include "connection/connection.h"
#include "core/state.h"
#include "host/host.h"
#include "serial/serial.h"
#include "tests/support/ptypeer.h"
#include "windows/windows.h"

#include <QtTest>

class TestConnectionLost : public QObject {
    Q_OBJECT

private slots:
    void lossClosesTellsAndReopens() {
        ResetSharedState();
        PtyPeer mixer;
        qputenv("ARDENIX_PORT", mixer.SlavePath().toLocal8Bit());
        CommControls& form = comm();
        systemState.portIsOpen = ToFlag(OpenPort(form));
        QCOMPARE(systemState.portIsOpen, flagTrue);
        systemState.deviceResponding = flagTrue;
        ackSeen = flagTrue;
        form.Timer1.SetEnabled(true);
        form.Timer2.SetEnabled(true);

        QStringList shown;
        QStringList titles;
        QList<int> styles;
        // While the message is up nothing of the link runs, not even the reopen timer.
        bool linkQuietDuringMessage = false;
        connection::SetFrontEnd({[](MessageKind kind) { ShowMessage(kind); }, {}});
        host::SetMsgBoxHandler([&](const QString& text, int style, const QString& title) {
            shown.append(text);
            titles.append(title);
            styles.append(style);
            linkQuietDuringMessage = !form.Timer1.Enabled() && !form.Timer2.Enabled() &&
                                     !form.Timer3.Enabled() && !form.MSComm1.PortOpen();
            return host::mbOk;
        });
        ConnectionLost();
        QCOMPARE(shown, QStringList{MessageText(MessageKind::Connection)});
        QCOMPARE(titles, QStringList{QStringLiteral("Ardenix Ver.1.3")});
        QCOMPARE(styles, QList<int>{host::mbInformation});
        QVERIFY(linkQuietDuringMessage);
        QVERIFY(form.Timer3.Enabled());
        QCOMPARE(systemState.portIsOpen, flagFalse);
        QCOMPARE(systemState.deviceResponding, flagFalse);
        QCOMPARE(ackSeen, flagFalse);
        QVERIFY(!form.MSComm1.PortOpen());
        QVERIFY(!IsPortAlive());

        form.Timer3.SetEnabled(false);
        host::SetMsgBoxHandler({});
        qunsetenv("ARDENIX_PORT");
        DestroyCommControls();
    }
};

QTEST_MAIN(TestConnectionLost)
#include "test_connectionlost.moc"
