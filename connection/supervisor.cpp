// The connection's state machine: first contact, the receive step,
// retransmission and time-out, the status poll, reopening, port arrivals and
// power suspend. Everything runs on the thread of the event loop, and no
// handler waits: what a step waits for is checked again after every event
// that may bring it.
#include "connection/supervisor.h"

#include "connection/devicewatch.h"
#include "connection/operations.h"
#include "connection/powerwatch.h"
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
const QString deviceGone = QStringLiteral("the device stopped answering (unplugged?)");

bool IsTrue(Flag flag) {
    return flag == flagTrue;
}

// A status request: "RAST".
bool BuildStatusRequest(LinkRecord& link) {
    return BuildRequest(link, RequestKind::Status, 0, {0, 0});
}

} // namespace

Supervisor::Supervisor(LinkRecord& link, MixerMirror& mirror, CommControls& controls, Events events)
    : link_(link), mirror_(mirror), controls_(controls), events_(events), read_(link) {
    if (events_ == Events::FromControls) {
        controls_.MSComm1.SetOnComm([this](Integer commEvent) { ReceiveStep(commEvent); });
        controls_.Timer1.SetHandler([this] { ReplyTimerTick(); });
        controls_.Timer2.SetHandler([this] { PollTick(); });
        controls_.Timer3.SetHandler([this] { ReopenTick(); });
    }
    recheck_.setSingleShot(true);
    recheck_.setInterval(0);
    QObject::connect(&recheck_, &QTimer::timeout, [this] { Continue(); });
    arrivals_.setSingleShot(true);
    arrivals_.setInterval(0);
    QObject::connect(&arrivals_, &QTimer::timeout, [this] { HandlePendingArrivals(); });
}

Supervisor::~Supervisor() {
    if (events_ == Events::FromControls) {
        controls_.MSComm1.SetOnComm({});
        controls_.Timer1.SetHandler({});
        controls_.Timer2.SetHandler({});
        controls_.Timer3.SetHandler({});
    }
}

void Supervisor::SetFrontEnd(FrontEnd frontEnd) {
    frontEnd_ = std::move(frontEnd);
}

void Supervisor::WatchDevicesAndPower() {
    if (!devices_) {
        devices_ = std::make_unique<DeviceWatch>(DeviceWatch::PortDirectory(),
                                                 DeviceWatch::PortFileName());
        devices_->SetHandler(
            [this](Integer deviceType, const QString&) { DeviceArrival(deviceType); });
    }
    if (!power_) {
        power_ = std::make_unique<PowerWatch>();
        power_->SetSuspendHandler([this] { PowerSuspend(); });
        power_->SetResumeHandler([this] { PowerResume(); });
    }
}

void Supervisor::ReportLoss(const QString& reason) {
    const QString loss = QStringLiteral("lost the mixer on %1: %2")
                             .arg(SerialPort::DevicePath(controls_.MSComm1.CommPort()), reason);
    if (loss != lastLoss_) {
        lastLoss_ = loss;
        Warn(loss);
    }
}

void Supervisor::TellUser(MessageKind kind) {
    if (kind == MessageKind::Connection) {
        // Once per loss: the attempts to reconnect that fail say nothing new.
        if (lossTold_) {
            return;
        }
        lossTold_ = true;
    }
    if (frontEnd_.tellUser) {
        frontEnd_.tellUser(kind);
    }
}

// Closes the port and opens it again, as a first contact needs it: the
// exchange and the change queue start afresh, and only a reply on the new
// link will say that the mixer answers (not what the settings file holds).
void Supervisor::ReopenPort() {
    ClearTrafficLists();
    ResetLinkState(link_);
    ClosePort(controls_);
    programSetup.systemState.deviceResponding = flagFalse;
    programSetup.systemState.portIsOpen = ToFlag(OpenPort(controls_));
}

// The reply awaited now was accepted or timed out; or nothing can end the
// wait any more (the link was closed or suspended meanwhile), a port
// arrived, or the program is ending.
bool Supervisor::ReplyWaitOver() const {
    const Integer status = link_.exchange[replyRecord].status;
    return status == Value(LinkResult::Accepted) || status == Value(LinkResult::Timeout) ||
           !IsTrue(programSetup.systemState.portIsOpen) || link_.linkSuspended != flagFalse ||
           arrivalPending_ || host::ProgramEnding();
}

// The first contact after the link was (re)opened: a status request; its
// reply or time-out, then the full status read when the mixer answered,
// follow as steps.
void Supervisor::BeginFirstContact(Purpose purpose) {
    purpose_ = purpose;
    stage_ = Stage::FirstReply;
    // The poll waits until the contact is made: a poll tick after the first
    // reply but before the full read would put a second request on the line
    // in the middle of the connection.
    controls_.Timer2.SetEnabled(false);
    if (IsTrue(programSetup.systemState.portIsOpen)) {
        AnnounceLinkState(LinkState::FirstContact);
    }
    if (BuildStatusRequest(link_)) {
        TransmitPending(link_);
    }
    Continue();
}

void Supervisor::BeginFullRead() {
    stage_ = Stage::Reading;
    AnnounceLinkState(LinkState::Reading);
    read_.Begin(controls_);
}

// A port arrived: close the link, open it again and make the first contact.
void Supervisor::Reconnect() {
    ReopenPort();
    if (!IsTrue(programSetup.systemState.portIsOpen)) {
        // The port did not open: the link is lost, quietly, and the reopen
        // timer keeps trying.
        TakeLinkDown(LinkDown::LostQuietly);
        if (purpose_ == Purpose::Start) {
            StepsOver(); // the panel is shown all the same
        }
        return;
    }
    // A reopened link is no longer suspended: otherwise nothing would be
    // sent or received on it and the first contact would never end.
    link_.linkSuspended = flagFalse;
    DiscardInput(link_, controls_);
    BeginFirstContact(purpose_ == Purpose::Start ? Purpose::Start : Purpose::Arrival);
}

void Supervisor::Continue() {
    // A step may cause an event that asks to continue (a send that finds the
    // port gone takes the link down): it is taken up by this same loop, so
    // the steps never run inside one another.
    if (continuing_) {
        continueAgain_ = true;
        return;
    }
    continuing_ = true;
    do {
        continueAgain_ = false;
        ContinueOnce();
    } while (continueAgain_);
    continuing_ = false;
}

void Supervisor::ContinueOnce() {
    while (stage_ != Stage::Idle) {
        if (host::ProgramEnding()) {
            AbandonSteps();
            return;
        }
        switch (stage_) {
        case Stage::Idle:
            return;
        case Stage::FirstReply:
            if (!ReplyWaitOver()) {
                return;
            }
            if (arrivalPending_ || !IsTrue(programSetup.systemState.deviceResponding)) {
                StepsOver();
                return;
            }
            link_.fullStatusNeeded = true;
            link_.sequenceRunning = true;
            BeginFullRead();
            break;
        case Stage::Reading:
            if (arrivalPending_) {
                // A newer link is to be made: no reply the read waits for would come.
                read_.Abandon(controls_);
                StepsOver();
                return;
            }
            switch (read_.Advance(controls_)) {
            case FullStatusRead::Progress::Waiting:
                return;
            case FullStatusRead::Progress::Settling:
                recheck_.start();
                return;
            case FullStatusRead::Progress::Done:
                AnnounceLinkState(LinkState::Online);
                lastLoss_.clear();
                lossTold_ = false;
                if (frontEnd_.linkBack) {
                    frontEnd_.linkBack();
                }
                if (purpose_ == Purpose::Poll) {
                    StepsOver();
                    return;
                }
                stage_ = Stage::LastReply;
                break;
            }
            break;
        case Stage::LastReply:
            if (!ReplyWaitOver()) {
                return;
            }
            if (!arrivalPending_) {
                link_.exchange[replyRecord].status = 0;
            }
            StepsOver();
            return;
        }
    }
}

// The steps under way are over: ports that arrived meanwhile are handled
// now, by one reconnection for them all; otherwise the poll runs, and at
// start-up the panel is shown.
void Supervisor::StepsOver() {
    stage_ = Stage::Idle;
    recheck_.stop();
    if (host::ProgramEnding()) {
        return;
    }
    if (arrivalPending_) {
        arrivals_.start();
        return;
    }
    if (purpose_ == Purpose::Arrival) {
        controls_.Timer2.SetEnabled(true);
    } else if (purpose_ == Purpose::Start) {
        purpose_ = Purpose::Arrival;
        controls_.Timer2.SetEnabled(true);
        if (frontEnd_.firstContactOver) {
            frontEnd_.firstContactOver();
        }
    }
}

void Supervisor::AbandonSteps() {
    read_.Abandon(controls_);
    stage_ = Stage::Idle;
    recheck_.stop();
}

// However many ports arrived during the steps, the link is made anew once
// for them all; arrivals during that reconnection are handled after it.
void Supervisor::HandlePendingArrivals() {
    if (!arrivalPending_ || host::ProgramEnding()) {
        return;
    }
    if (Connecting()) {
        AbandonSteps();
    }
    arrivalPending_ = false;
    Reconnect();
}

void Supervisor::Start() {
    Open();
    FirstContact();
}

void Supervisor::Open() {
    WatchDevicesAndPower();
    ReopenPort();
    if (!IsTrue(programSetup.systemState.portIsOpen)) {
        TellUser(MessageKind::Connection);
    }
    DiscardInput(link_, controls_);
}

void Supervisor::FirstContact() {
    if (Connecting() || host::ProgramEnding()) {
        return;
    }
    BeginFirstContact(Purpose::Start);
}

void Supervisor::ReadFullStatus() {
    if (Connecting()) {
        return;
    }
    purpose_ = Purpose::Poll;
    BeginFullRead();
    Continue();
}

void Supervisor::ReceiveStep(Integer commEvent) {
    if (link_.linkSuspended != flagFalse || commEvent != SerialPort::comEvReceive) {
        return;
    }
    ExchangeRecord& reply = link_.exchange[replyRecord];
    if (!IsTrue(reply.busy)) {
        return; // the bytes wait in the buffer until the next send clears it
    }
    const LinkResult r = ReceiveReply(link_, controls_, link_.replyBuffer, reply.length);
    if (r == LinkResult::Dead || r == LinkResult::Refused) {
        reply.status = Value(r);
        reply.busy = flagFalse;
    } else if (r == LinkResult::Accepted) {
        if (CheckReply(link_, reply.kind, reply.length, reply.index)) {
            reply.status = Value(LinkResult::Accepted);
            reply.ticks = 0;
            programSetup.systemState.deviceResponding = flagTrue;
            if (ApplyReply(link_, mirror_, reply.kind, reply.index)) {
                reply.busy = flagFalse;
            }
            controls_.Timer1.SetEnabled(false);
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
    } else {
        return; // nothing complete yet
    }
    Continue();
}

void Supervisor::ReplyTimerTick() {
    if (!IsPortAlive()) {
        ReportLoss(deviceGone);
        ConnectionLost();
        Continue();
        return;
    }
    if (link_.linkSuspended != flagFalse) {
        return;
    }
    ExchangeRecord& reply = link_.exchange[replyRecord];
    ++reply.ticks;
    if (reply.ticks < 3) {
        // Retransmission of the frame still in the send buffer; the reply
        // is read afresh (discarding the input forgets what was read of it).
        DiscardInput(link_, controls_);
        reply.busy = flagFalse;
        link_.exchange[sendRecord].busy = flagTrue;
        TransmitPending(link_);
        return;
    }
    // The third tick: the time-out.
    reply.status = Value(LinkResult::Timeout);
    reply.ticks = 0;
    DiscardInput(link_, controls_);
    reply.busy = flagFalse;
    link_.exchange[sendRecord].busy = flagFalse;
    ReportLoss(QStringLiteral("no valid reply to three transmissions"));
    ConnectionLost();
    if (IsTrue(programSetup.debugMode)) {
        trafficLists.debug[0].InsertItem(timeoutErrorLine);
        trafficLists.debug[1].InsertItem(timeoutErrorLine);
    }
    Continue();
}

void Supervisor::PollTick() {
    if (IsTrue(link_.exchange[replyRecord].busy) || IsTrue(link_.exchange[sendRecord].busy)) {
        return;
    }
    if (link_.fullStatusNeeded) {
        ReadFullStatus();
    } else if (!link_.sequenceRunning) {
        if (BuildStatusRequest(link_)) {
            TransmitPending(link_);
        }
    }
}

void Supervisor::ReopenTick() {
    if (IsTrue(programSetup.systemState.deviceResponding)) {
        return;
    }
    // An open port cannot be opened again: the attempt fails like any other.
    if (controls_.MSComm1.PortOpen() || !controls_.MSComm1.SetPortOpen(true)) {
        return; // the next tick tries again
    }
    if (controls_.MSComm1.CommID() != -1) {
        link_.linkSuspended = flagFalse;
        controls_.Timer3.SetEnabled(false);
        DeviceArrival(portDeviceType);
    }
}

void Supervisor::DeviceArrival(Integer deviceType) {
    if (deviceType != portDeviceType) {
        return;
    }
    arrivalPending_ = true;
    if (Connecting()) {
        // The steps under way end, and the link is made anew, once this
        // event (and any other arrival told with it) has been handled.
        arrivals_.start();
        return;
    }
    HandlePendingArrivals();
}

void Supervisor::PowerSuspend() {
    link_.linkSuspended = flagTrue;
    TakeLinkDown(LinkDown::Suspended);
    ResetLinkState(link_);
    Continue();
}

void Supervisor::PowerResume() {}

void Supervisor::Close() {
    AbandonSteps();
    arrivals_.stop();
    arrivalPending_ = false;
    // No arrival or suspend reaches a closed link.
    devices_.reset();
    power_.reset();
    controls_.Timer1.SetEnabled(false);
    controls_.Timer2.SetEnabled(false);
    if (IsTrue(programSetup.systemState.portIsOpen)) {
        ClosePort(controls_);
    }
    controls_.Timer3.SetEnabled(false);
}

void Supervisor::LinkLostWhileSending() {
    ReportLoss(deviceGone);
    ConnectionLost();
}

void Supervisor::ConnectionLost() {
    TakeLinkDown(LinkDown::Lost);
}

void Supervisor::TakeLinkDown(LinkDown why) {
    controls_.MSComm1.SetPortOpen(false);
    link_.ackSeen = flagFalse;
    link_.nakSeen = flagFalse;
    programSetup.systemState.deviceResponding = flagFalse;
    if (programSetup.systemState.portIsOpen != flagFalse) {
        programSetup.systemState.portIsOpen = flagFalse;
        ClosePort(controls_);
    }
    controls_.Timer1.SetEnabled(false);
    controls_.Timer2.SetEnabled(false);
    AnnounceLinkState(why == LinkDown::Suspended ? LinkState::Suspended : LinkState::Lost);
    // The reopen timer starts its attempts at once; the user is told (once
    // per loss) without waiting for the message to be read.
    controls_.Timer3.SetEnabled(true);
    if (why == LinkDown::Lost) {
        TellUser(MessageKind::Connection);
    }
    // A step waiting on the link sees it closed once the event that took it
    // down has been handled.
    if (Connecting()) {
        recheck_.start();
    }
}

} // namespace connection
