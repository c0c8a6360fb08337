// The change queue: panel actions become command frames on a real
// pseudo-terminal, the test reading them on the mixer's side.
#include "core/hostfacts.h"
#include "core/state.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/ptypeer.h"

#include "app/startup.h"
#include "connection/supervisor.h"

#include <QtTest>

class TestPending : public QObject {
    Q_OBJECT
    QList<MessageKind> shownMessages; // what the code under test told the user
    std::unique_ptr<PtyPeer> mixer;
    std::unique_ptr<connection::Supervisor> supervisor;

    // What reached the line since the last look.
    QByteArray Line() { return mixer->ReadFor(150); }

    // The level button handlers: a press resets both counts and steps one,
    // a release steps it once more.
    void PressLevel(Integer master, bool up) {
        mirror.panel.masters[0].pendingSteps = 0;
        mirror.panel.masters[1].pendingSteps = 0;
        mirror.panel.masters[static_cast<std::size_t>(master)].pendingSteps = up ? 1 : -1;
        MarkChange(linkRecord, up ? CommandKind::LevelUp : CommandKind::LevelDown);
        SendPendingChange(linkRecord, mirror);
    }
    void ReleaseLevel(Integer master, bool up) {
        mirror.panel.masters[static_cast<std::size_t>(master)].pendingSteps += up ? 1 : -1;
        MarkChange(linkRecord, CommandKind::LevelStop);
        SendPendingChange(linkRecord, mirror);
    }
    // The mixer acknowledges; the exchange is over.
    void Acknowledge() {
        linkRecord.exchange[replyRecord].busy = flagFalse;
        linkRecord.exchange[sendRecord].busy = flagFalse;
    }

private slots:
    // A lost link shows message 1; here it is recorded instead of blocking.
    void initTestCase() {}
    void init() {
        ResetEngineState();
        host::SetCommandLineText(QString());
        mixer = std::make_unique<PtyPeer>();
        QVERIFY(mixer->Valid());
        qputenv("ARDENIX_PORT", mixer->SlavePath().toLocal8Bit());
        programSetup.systemState.portIsOpen = ToFlag(OpenPort(comm()));
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        // The link reports its loss to the connection, which tells the user;
        // the receive step is taken by hand.
        supervisor = std::make_unique<connection::Supervisor>(
            linkRecord, mirror, comm(), connection::Supervisor::Events::ByHand);
        SetLinkEvents({[this] { supervisor->LinkLostWhileSending(); }, &LogFrame});
        supervisor->SetFrontEnd({[this](MessageKind kind) { shownMessages << kind; }, {}, {}});
    }
    void cleanup() {
        supervisor.reset();
        DestroyCommControls();
        mixer.reset();
        qunsetenv("ARDENIX_PORT");
    }

    void markChange() {
        MarkChange(linkRecord, CommandKind::Reserved);
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Reserved).changePending, flagTrue);
        QVERIFY(linkRecord.anyChangePending);
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 MarkChange(linkRecord, static_cast<CommandKind>(8)));
        QVERIFY_THROWS_EXCEPTION(ProtocolError,
                                 MarkChange(linkRecord, static_cast<CommandKind>(-1)));
        // The reserved kind never becomes a frame.
        QVERIFY(!BuildPendingCommand(linkRecord, mirror));
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Reserved).changePending, flagFalse);
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        QVERIFY(!BuildPendingCommand(linkRecord, mirror)); // nothing marked
    }

    // No key is held at start: the first press of key 0 reaches the mixer.
    void firstPressOfTransportKeyZero() {
        SetFirstPanelValues(mirror);
        linkRecord.synced = mirror.panel;
        mirror.panel.transportKey = 0;
        MarkChange(linkRecord, CommandKind::Transport);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CRCS88\r"));
        Acknowledge();
        mirror.panel.transportKey = -1;
        MarkChange(linkRecord, CommandKind::Transport);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CRCS80\r"));
    }

    void levelButtons() {
        // MASTER A at the top: no CLV+, both counts 0; the release still stops.
        mirror.panel.masters[0].level = 30;
        PressLevel(0, true);
        QCOMPARE(Line(), QByteArray());
        QCOMPARE(mirror.panel.masters[0].pendingSteps, Integer(0));
        QCOMPARE(mirror.panel.masters[1].pendingSteps, Integer(0));
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        ReleaseLevel(0, true);
        QCOMPARE(Line(), QByteArray("CLVS@\r"));
        QCOMPARE(linkRecord.exchange[replyRecord].busy, flagTrue);
        QCOMPARE(linkRecord.exchange[replyRecord].kind, Integer(0));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(1));
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        Acknowledge();

        // MASTER B at 12: CLV+ "A", its count +1 -> 0; the release sends CLVS
        // "A" and leaves the count at +1.
        mirror.panel.masters[1].level = 12;
        PressLevel(1, true);
        QCOMPARE(Line(), QByteArray("CLV+A\r"));
        QCOMPARE(mirror.panel.masters[1].pendingSteps, Integer(0));
        Acknowledge();
        ReleaseLevel(1, true);
        QCOMPARE(Line(), QByteArray("CLVSA\r"));
        QCOMPARE(mirror.panel.masters[1].pendingSteps, Integer(1));
        QCOMPARE(linkRecord.synced, mirror.panel);
        Acknowledge();

        // Down at the bottom: nothing; down from 5: CLV- "@", count -1 -> 0.
        mirror.panel.masters[0].level = 0;
        PressLevel(0, false);
        QCOMPARE(Line(), QByteArray());
        QCOMPARE(mirror.panel.masters[0].pendingSteps, Integer(0));
        mirror.panel.masters[0].level = 5;
        PressLevel(0, false);
        QCOMPARE(Line(), QByteArray("CLV-@\r"));
        QCOMPARE(mirror.panel.masters[0].pendingSteps, Integer(0));
    }

    void mutingAndOrder() {
        // Both masters muted before one call: CMUT for A now, B with the next call.
        mirror.panel.masters[0].muted = flagTrue;
        MarkChange(linkRecord, CommandKind::Mute);
        mirror.panel.masters[1].muted = flagTrue;
        MarkChange(linkRecord, CommandKind::Mute);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CMUT@A\r"));
        Acknowledge();
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CMUTAA\r"));
        QCOMPARE(linkRecord.synced, mirror.panel);
        Acknowledge();
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray());

        // Transport key and muting both marked: CRCS first, CMUT next.
        mirror.panel.transportKey = 3;
        MarkChange(linkRecord, CommandKind::Transport);
        mirror.panel.masters[0].muted = flagFalse;
        MarkChange(linkRecord, CommandKind::Mute);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CRCS85\r"));
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Mute).changePending, flagTrue);
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Transport).changePending, flagFalse);
        Acknowledge();
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CMUT@@\r"));
        Acknowledge();

        // The lowest kind wins: recall before everything.
        mirror.panel.recall = 52;
        mirror.panel.transportKey = -1;
        MarkChange(linkRecord, CommandKind::LevelStop);
        MarkChange(linkRecord, CommandKind::Transport);
        MarkChange(linkRecord, CommandKind::Recall);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CRCL4\r"));
        Acknowledge();
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CRCS80\r"));
        Acknowledge();
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CLVS@\r"));
    }

    void inputSelectionAndSuppression() {
        mirror.panel.selectedInput = 2;
        MarkChange(linkRecord, CommandKind::Select);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CSEL3\r"));
        Acknowledge();
        linkRecord.anyChangePending = false; // the acknowledgement passed the reply check

        // The same input again: no frame, but the bytes waiting from the mixer
        // are thrown away and the tick count restarts all the same.
        QVERIFY(mixer->Write("stale"));
        QTRY_COMPARE(comm().MSComm1.InBufferCount(), qint64(5));
        linkRecord.exchange[replyRecord].ticks = 2;
        const std::array<Byte, sendBufferSize> sent = linkRecord.sendBuffer;
        MarkChange(linkRecord, CommandKind::Select);
        QVERIFY(!BuildPendingCommand(linkRecord, mirror));
        QCOMPARE(comm().MSComm1.InBufferCount(), qint64(0));
        QCOMPARE(linkRecord.exchange[replyRecord].ticks, Integer(0));
        // Nothing else is marked and no command waits for its acknowledgement:
        // no change is pending, so the status replies are applied again.
        QVERIFY(!linkRecord.anyChangePending);
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        QVERIFY(linkRecord.sendBuffer == sent);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray());
    }

    // A suppressed change keeps a change pending while another kind is still
    // marked, or while a command still waits for its acknowledgement.
    void suppressionKeepsOtherChangesPending() {
        mirror.panel.selectedInput = 1;
        linkRecord.synced.selectedInput = 1; // the mixer has it already
        mirror.panel.masters[1].muted = flagTrue;
        MarkChange(linkRecord, CommandKind::Mute);
        MarkChange(linkRecord, CommandKind::Select);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CMUTAA\r"));
        // The muting's acknowledgement is still awaited when the suppressed
        // input selection is handled.
        QCOMPARE(linkRecord.exchange[replyRecord].busy, flagTrue);
        QVERIFY(!BuildPendingCommand(linkRecord, mirror));
        QVERIFY(linkRecord.anyChangePending);
        Acknowledge();

        // Two kinds marked, the first of them suppressed: the second is still to go.
        MarkChange(linkRecord, CommandKind::Select);
        MarkChange(linkRecord, CommandKind::LevelStop);
        QVERIFY(!BuildPendingCommand(linkRecord, mirror));
        QVERIFY(linkRecord.anyChangePending);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CLVS@\r"));
    }

    void transmitOnADeadPort() {
        mirror.panel.masters[0].muted = flagTrue;
        MarkChange(linkRecord, CommandKind::Mute);
        QVERIFY(BuildPendingCommand(linkRecord, mirror));
        mixer->CloseMaster();
        TransmitPending(linkRecord);
        // The frame stays marked and the link is down.
        QCOMPARE(linkRecord.exchange[sendRecord].status, Value(LinkResult::Dead));
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagTrue);
        QCOMPARE(linkRecord.exchange[replyRecord].busy, flagFalse);
        QCOMPARE(programSetup.systemState.portIsOpen, flagFalse);
        TransmitPending(linkRecord);
        QCOMPARE(linkRecord.exchange[sendRecord].status, Value(LinkResult::Dead));
    }

    // Bytes thrown away take what was read of their reply with them: a press
    // while a status reply has begun sends its command, and the command's own
    // acknowledgement is then accepted (it used to be read as the rest of the
    // abandoned reply, and the reply timer sent the command a second time).
    void aCommandAfterAnAbandonedReplyHasItsAcknowledgementAccepted() {
        QVERIFY(BuildRequest(linkRecord, RequestKind::Status, 0, {0, 0}));
        TransmitPending(linkRecord);
        QCOMPARE(Line(), QByteArray("RAST\r"));
        QVERIFY(mixer->Write("A"));
        QTRY_COMPARE(comm().MSComm1.InBufferCount(), qint64(1));
        supervisor->ReceiveStep(SerialPort::comEvReceive);
        QCOMPARE(linkRecord.ackSeen, flagTrue); // the reply began; its data is on the way

        mirror.panel.selectedInput = 2;
        MarkChange(linkRecord, CommandKind::Select);
        SendPendingChange(linkRecord, mirror);
        QCOMPARE(Line(), QByteArray("CSEL3\r"));
        QCOMPARE(linkRecord.exchange[replyRecord].kind, commandExchange);
        QVERIFY(mixer->Write("A\r"));
        QTRY_COMPARE(comm().MSComm1.InBufferCount(), qint64(2));
        supervisor->ReceiveStep(SerialPort::comEvReceive);
        QCOMPARE(linkRecord.exchange[replyRecord].status, Value(LinkResult::Accepted));
        QCOMPARE(linkRecord.exchange[replyRecord].busy, flagFalse);
        QCOMPARE(linkRecord.ackSeen, flagFalse);
    }

    void requestsGoThroughTheSameStep() {
        QVERIFY(BuildRequest(linkRecord, RequestKind::SceneSlots, 0, {0, 0}));
        linkRecord.exchange[sendRecord].index = 3;
        TransmitPending(linkRecord);
        QCOMPARE(Line(), QByteArray("RRSA\r"));
        QCOMPARE(linkRecord.exchange[replyRecord].kind, Value(RequestKind::SceneSlots));
        QCOMPARE(linkRecord.exchange[replyRecord].index, Integer(3));
        QCOMPARE(linkRecord.exchange[replyRecord].length, Integer(5));
        QCOMPARE(linkRecord.exchange[replyRecord].busy, flagTrue);
        QCOMPARE(linkRecord.exchange[sendRecord].busy, flagFalse);
        // Nothing marked: nothing sent.
        TransmitPending(linkRecord);
        QCOMPARE(Line(), QByteArray());
    }
};

QTEST_MAIN(TestPending)
#include "test_pending.moc"
