// The connection's state machine: first contact, the receive step,
// retransmission and time-out, the status poll, reopening, port arrivals and
// power suspend. Everything runs on the GUI thread; the waits process events,
// so receive events and timer ticks run inside them.
#include "connection/connection.h"

#include "connection/operations.h"
#include "core/hostfacts.h"
#include "core/observers.h"
#include "core/state.h"
#include "core/warn.h"
#include "protocol/protocol.h"
#include "serial/serial.h"

namespace connection {
namespace {

constexpr Integer portDeviceType = 3;
const QString timeoutErrorLine = QStringLiteral("TIMEOUT ERROR");

FrontEnd frontEnd;

// A first contact or a full status read is under way: a port that arrives
// meanwhile is remembered, ends the wait under way and is handled once after
// it, so arrivals never nest inside one another.
bool connecting = false;
bool arrivalPending = false;

bool IsTrue(Flag flag) {
    return flag == flagTrue;
}

// Marks a connection under way for as long as it lives.
class Connecting {
public:
    Connecting() : previous_(connecting) { connecting = true; }
    ~Connecting() { connecting = previous_; }
    Connecting(const Connecting&) = delete;
    Connecting& operator=(const Connecting&) = delete;

private:
    bool previous_;
};

// Why the link went down, told on standard error with the device: once, and
// again only when the reason changes or the link was online in between.
QString lastLoss;

void ReportLoss(const QString& reason) {
    const QString loss = QStringLiteral("lost the mixer on %1: %2")
                             .arg(SerialPort::DevicePath(comm().MSComm1.CommPort()), reason);
    if (loss != lastLoss) {
        lastLoss = loss;
        Warn(loss);
    }
}

const QString deviceGone = QStringLiteral("the device stopped answering (unplugged?)");

void TellUser(MessageKind kind) {
    if (frontEnd.tellUser) {
        frontEnd.tellUser(kind);
    }
}

// A status request: "RAST".
bool BuildStatusRequest() {
    return BuildRequest(RequestKind::Status, 0, {0, 0});
}

// Closes the port and opens it again, as a first contact needs it: the
// exchange and the change queue start afresh, and only a reply on the new
// link will say that the mixer answers (not what the settings file holds).
void ReopenPort() {
    CommControls& controls = comm();
    ClearTrafficLists();
    ResetLinkState();
    ClosePort(controls);
    systemState.deviceResponding = flagFalse;
    systemState.portIsOpen = ToFlag(OpenPort(controls));
}

// Waits, processing events, until the reply awaited now is accepted or timed
// out. The wait also ends when nothing can end it any more (the link was
// closed or suspended meanwhile), when a port arrived, or when the program is
// ending.
void WaitForReply() {
    host::WaitUntil([] {
        const Integer status = exchange[replyRecord].status;
        return status == Value(LinkResult::Accepted) || status == Value(LinkResult::Timeout) ||
               !IsTrue(systemState.portIsOpen) || linkSuspended != flagFalse || arrivalPending ||
               host::ProgramEnding();
    });
}

// The full status read, told to the observers; false when it gave up (a
// port arrived, or the program is ending).
bool ReadTheFullStatus() {
    AnnounceLinkState(LinkState::Reading);
    if (!ReadFullStatus([] { return arrivalPending; })) {
        return false;
    }
    AnnounceLinkState(LinkState::Online);
    lastLoss.clear();
    return true;
}

// The first contact after the link was (re)opened: a status request, its
// reply or time-out, then the full status read when the mixer answered.
// A port arriving meanwhile ends it early (the caller reconnects then).
// False when the program is ending.
bool MakeFirstContact() {
    const Connecting under;
    // The poll waits until the contact is made: a poll tick after the first
    // reply but before the full read would put a second request on the line
    // in the middle of the connection (the poll may still run after a loss
    // inside an earlier first contact).
    comm().Timer2.SetEnabled(false);
    if (IsTrue(systemState.portIsOpen)) {
        AnnounceLinkState(LinkState::FirstContact);
    }
    if (BuildStatusRequest()) {
        TransmitPending();
    }
    if (IsTrue(systemState.portIsOpen)) {
        WaitForReply();
    }
    if (host::ProgramEnding()) {
        return false;
    }
    if (arrivalPending || !IsTrue(systemState.deviceResponding)) {
        return true;
    }
    fullStatusNeeded = true;
    sequenceRunning = true;
    if (!ReadTheFullStatus()) {
        return !host::ProgramEnding();
    }
    WaitForReply();
    if (host::ProgramEnding()) {
        return false;
    }
    if (!arrivalPending) {
        exchange[replyRecord].status = 0;
    }
    return true;
}

// A port arrived: close the link, open it again and make the first contact.
void Reconnect() {
    const Connecting under;
    ReopenPort();
    if (!IsTrue(systemState.portIsOpen)) {
        // The port did not open: the link is lost, quietly, and the reopen
        // timer keeps trying.
        TakeLinkDown(LinkDown::LostQuietly);
        return;
    }
    // A reopened link is no longer suspended: otherwise nothing would be
    // sent or received on it and the first contact would never end.
    linkSuspended = flagFalse;
    DiscardInput(comm());
    if (!MakeFirstContact() || arrivalPending) {
        return;
    }
    comm().Timer2.SetEnabled(true);
}

// However many ports arrived during a connection, the link is made anew once
// for them all; arrivals during that reconnection are handled by the next
// turn of this loop, not inside it.
void HandlePendingArrivals() {
    while (arrivalPending && !host::ProgramEnding()) {
        arrivalPending = false;
        Reconnect();
    }
}

} // namespace

void SetFrontEnd(FrontEnd given) {
    frontEnd = std::move(given);
}

void OpenAtStart() {
    ReopenPort();
    if (!IsTrue(systemState.portIsOpen)) {
        TellUser(MessageKind::Connection);
    }
    DiscardInput(comm());
}

void FirstContactAtStart() {
    if (!MakeFirstContact()) {
        return;
    }
    HandlePendingArrivals();
    if (host::ProgramEnding()) {
        return;
    }
    comm().Timer2.SetEnabled(true);
    if (frontEnd.firstContactOver) {
        frontEnd.firstContactOver();
    }
}

void ReceiveStep(Integer commEvent) {
    if (linkSuspended != flagFalse || commEvent != SerialPort::comEvReceive) {
        return;
    }
    ExchangeRecord& reply = exchange[replyRecord];
    if (!IsTrue(reply.busy)) {
        return; // the bytes wait in the buffer until the next send clears it
    }
    const LinkResult r = ReceiveReply(comm(), replyBuffer, reply.length);
    if (r == LinkResult::Dead || r == LinkResult::Refused) {
        reply.status = Value(r);
        reply.busy = flagFalse;
    } else if (r == LinkResult::Accepted) {
        if (CheckReply(reply.kind, reply.length, reply.index)) {
            reply.status = Value(LinkResult::Accepted);
            reply.ticks = 0;
            systemState.deviceResponding = flagTrue;
            if (ApplyReply(reply.kind, reply.index)) {
                reply.busy = flagFalse;
            }
            comm().Timer1.SetEnabled(false);
            if (!IsTrue(reply.busy)) {
                engine::TellExchangeEnded(); // the line is free for what waits
            }
        } else {
            // A reply that fails the checks is retransmitted by the reply
            // timer. The receive step counted the expected bytes down to the
            // data bytes when the reply completed: the answer to the
            // retransmission is as long as this one, so the count goes back.
            ++reply.length;
        }
    }
}

void ReplyTimerTick() {
    if (!IsPortAlive()) {
        ReportLoss(deviceGone);
        ConnectionLost();
        return;
    }
    if (linkSuspended != flagFalse) {
        return;
    }
    CommControls& controls = comm();
    ExchangeRecord& reply = exchange[replyRecord];
    ++reply.ticks;
    if (reply.ticks < 3) {
        // Retransmission of the frame still in the send buffer; the reply
        // is read afresh (discarding the input forgets what was read of it).
        DiscardInput(controls);
        reply.busy = flagFalse;
        exchange[sendRecord].busy = flagTrue;
        TransmitPending();
        return;
    }
    // The third tick: the time-out.
    reply.status = Value(LinkResult::Timeout);
    reply.ticks = 0;
    DiscardInput(controls);
    reply.busy = flagFalse;
    exchange[sendRecord].busy = flagFalse;
    ReportLoss(QStringLiteral("no valid reply to three transmissions"));
    ConnectionLost();
    if (IsTrue(debugMode)) {
        debugLists[0].InsertItem(timeoutErrorLine);
        debugLists[1].InsertItem(timeoutErrorLine);
    }
}

void PollTick() {
    if (IsTrue(exchange[replyRecord].busy) || IsTrue(exchange[sendRecord].busy)) {
        return;
    }
    if (fullStatusNeeded) {
        {
            const Connecting under;
            ReadTheFullStatus();
        }
        HandlePendingArrivals();
    } else if (!sequenceRunning) {
        if (BuildStatusRequest()) {
            TransmitPending();
        }
    }
}

void ReopenTick() {
    if (IsTrue(systemState.deviceResponding)) {
        return;
    }
    CommControls& controls = comm();
    // An open port cannot be opened again: the attempt fails like any other.
    if (controls.MSComm1.PortOpen() || !controls.MSComm1.SetPortOpen(true)) {
        return; // the next tick tries again
    }
    if (controls.MSComm1.CommID() != -1) {
        linkSuspended = flagFalse;
        controls.Timer3.SetEnabled(false);
        DeviceArrival(portDeviceType);
    }
}

void DeviceArrival(Integer deviceType) {
    if (deviceType != portDeviceType) {
        return;
    }
    arrivalPending = true;
    if (connecting) {
        return; // the connection under way stops waiting and reconnects after it
    }
    HandlePendingArrivals();
}

void PowerSuspend() {
    linkSuspended = flagTrue;
    TakeLinkDown(LinkDown::Suspended);
    ResetLinkState();
}

void PowerResume() {}

void Close() {
    CommControls& controls = comm();
    controls.Timer1.SetEnabled(false);
    controls.Timer2.SetEnabled(false);
    if (IsTrue(systemState.portIsOpen)) {
        ClosePort(controls);
    }
    controls.Timer3.SetEnabled(false);
}

void LinkLostWhileSending() {
    ReportLoss(deviceGone);
    ConnectionLost();
}

void TakeLinkDown(LinkDown why) {
    CommControls& controls = comm();
    controls.MSComm1.SetPortOpen(false);
    ackSeen = flagFalse;
    nakSeen = flagFalse;
    systemState.deviceResponding = flagFalse;
    if (systemState.portIsOpen != flagFalse) {
        systemState.portIsOpen = flagFalse;
        ClosePort(controls);
    }
    controls.Timer1.SetEnabled(false);
    controls.Timer2.SetEnabled(false);
    AnnounceLinkState(why == LinkDown::Suspended ? LinkState::Suspended : LinkState::Lost);
    // The user is told that the mixer cannot be reached; the reopen timer
    // starts its attempts once the message is closed.
    if (why == LinkDown::Lost) {
        TellUser(MessageKind::Connection);
    }
    controls.Timer3.SetEnabled(true);
}

} // namespace connection

void ConnectionLost() {
    connection::TakeLinkDown(connection::LinkDown::Lost);
}
