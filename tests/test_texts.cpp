// The program's own texts, each taken from the code that shows it and held
// against its bytes once: the two messages and their title, the
// communication window's captions, and the four error lines of the debug
// lists. Everything else compares with these.
#include "core/state.h"
#include "host/host.h"
#include "protocol/protocol.h"
#include "protocol/replytables.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/ptypeer.h"
#include "windows/frmcomm.h"
#include "windows/windows.h"

#include "app/wiring.h"
#include "connection/supervisor.h"

#include <QtTest>

class TestTexts : public QObject {
    Q_OBJECT
    struct Box {
        QString text;
        int style;
        QString title;
    };
    QList<Box> boxes;
    std::unique_ptr<PtyPeer> mixer;
    PanelRefresh panel;
    // The program's connection and its message box, wired as the program wires them.
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};

    QByteArray ShownBy(MessageKind kind) {
        boxes.clear();
        TellUser(connectionMessage, kind);
        return boxes.size() == 1 ? boxes[0].text.toUtf8() : QByteArray();
    }

private slots:
    void initTestCase() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        ResetEngineState();
        host::SetMsgBoxHandler([this](const QString& text, int style, const QString& title) {
            boxes.append({text, style, title});
            return host::mbOk;
        });
        mixer = std::make_unique<PtyPeer>();
        QVERIFY(mixer->Valid());
        qputenv("ARDENIX_PORT", mixer->SlavePath().toLocal8Bit());
    }
    void cleanupTestCase() {
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        supervisor.reset();
        DestroyCommControls();
    }

    void messagesAndTheirTitle() {
        QCOMPARE(ShownBy(MessageKind::FaderNotice),
                 QByteArray("All virtual faders will be reset to full down positoin."));
        QCOMPARE(boxes[0].style, 64);
        QCOMPARE(boxes[0].title.toUtf8(), QByteArray("Ardenix Ver.1.3"));
        const QByteArray connection = ShownBy(MessageKind::Connection);
        QCOMPARE(connection, QByteArray("Unable to connect to Dorvane.\x0d"
                                        "Please be sure of connection of USB cable and power "
                                        "status of apparatus."));
        QCOMPARE(connection.count('\r'), 1);
        QCOMPARE(connection.count('\n'), 0);
        QCOMPARE(boxes[0].style, 64);
        QCOMPARE(boxes[0].title.toUtf8(), QByteArray("Ardenix Ver.1.3"));
    }

    void communicationWindowCaptions() {
        FrmComm& window = frmComm(); // its load opens the test's line
        QCOMPARE(window.windowTitle().toUtf8(), QByteArray("\xe9\x80\x9a\xe4\xbf\xa1[Dorvane]"));
        QCOMPARE(window.Frame1[0]->title().toUtf8(), QByteArray("Send"));
        QCOMPARE(window.Frame1[1]->title().toUtf8(), QByteArray("Recive"));
        QCOMPARE(window.Command1->text().toUtf8(), QByteArray("OK"));
    }

    void errorLinesOfTheDebugLists() {
        programSetup.debugMode = flagTrue;
        InitProtocolTables(linkRecord, mirror);
        const auto topLines = [] {
            return QByteArrayList{trafficLists.debug[0].List(0).toUtf8(),
                                  trafficLists.debug[1].List(0).toUtf8()};
        };
        // A status byte above its range, then one below it.
        linkRecord.replyBuffer.fill(0x30);
        linkRecord.replyBuffer[0] = 0x41;
        QVERIFY(!CheckReplyBytes(linkRecord, replyChecks[checkStatus], 74));
        QCOMPARE(topLines(), (QByteArrayList{"BIG ERROR", "BIG ERROR"}));
        linkRecord.replyBuffer[0] = 0x2F;
        QVERIFY(!CheckReplyBytes(linkRecord, replyChecks[checkStatus], 74));
        QCOMPARE(topLines(), (QByteArrayList{"SMALL ERROR", "SMALL ERROR"}));

        // A refusal, received by the communication window (its load opened the line).
        frmComm();
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        linkRecord.exchange[replyRecord].busy = flagTrue;
        linkRecord.exchange[replyRecord].length = 1;
        QVERIFY(mixer->Write("N"));
        QTRY_COMPARE(linkRecord.exchange[replyRecord].status, Value(LinkResult::Refused));
        QCOMPARE(topLines(), (QByteArrayList{"NAK_NAK", "NAK_NAK"}));

        // The third reply-timer tick without a reply.
        for (int tick = 0; tick < 3; ++tick) {
            frmComm().Timer1_Timer();
        }
        QCOMPARE(topLines(), (QByteArrayList{"TIMEOUT ERROR", "TIMEOUT ERROR"}));
    }
};

QTEST_MAIN(TestTexts)
#include "test_texts.moc"
