#include "link/frmcomm.h"

#include "core/core.h"
#include "core/frmdebug.h"
#include "core/observers.h"
#include "core/state.h"
#include "core/twipsgeometry.h"
#include "link/commcontrols.h"
#include "link/link.h"
#include "panel/frmcontrol.h"
#include "panel/panel.h"
#include "protocol/protocol.h"

namespace {
host::FormSlot<FrmComm> frmCommSlot;

// Counts the (re)connections of the link: a wait that sees it change knows
// that the exchange it waited for was replaced by a newer one.
unsigned linkEpoch = 0;

const QString timeoutErrorLine = QStringLiteral("TIMEOUT ERROR");

struct Place {
    int left, top, width, height;
};
constexpr int clientWidth = 8205;
constexpr int clientHeight = 6150;
constexpr std::array<Place, 2> framePlaces{{
    {120, 60, 7965, 2760},
    {120, 2880, 7965, 2640},
}};
// Inside the frames: the hex column on the left, the text column on the right.
constexpr std::array<Place, 4> labelPlaces{{
    {150, 270, 4275, 195},
    {4860, 270, 1395, 195},
    {150, 270, 4275, 195},
    {4860, 270, 1395, 195},
}};
constexpr std::array<Place, 4> listPlaces{{
    {120, 495, 4575, 2130},
    {4800, 495, 3045, 2130},
    {120, 495, 4575, 2010},
    {4800, 495, 3045, 2010},
}};
constexpr Place okPlace{6870, 5640, 1215, 375};

void PlaceControl(QWidget& widget, const Place& p) {
    host::PlaceInTwips(widget, p.left, p.top, p.width, p.height);
}

// Empties this window's lists and the debug window's. Touching the debug
// window loads it (hidden) when it is not loaded yet, as any control touched
// does: the lines logged from now on stay when start-up shows it.
void ClearTrafficLists() {
    for (ListBox& list : commLists) {
        list.Clear();
    }
    frmDebug();
    for (ListBox& list : debugLists) {
        list.Clear();
    }
}

bool IsTrue(Flag flag) {
    return flag == flagTrue;
}

// Marks a connection under way for as long as it lives.
class Connecting {
public:
    explicit Connecting(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
    ~Connecting() { flag_ = previous_; }
    Connecting(const Connecting&) = delete;
    Connecting& operator=(const Connecting&) = delete;

private:
    bool& flag_;
    bool previous_;
};

// A status request: "RAST".
bool BuildStatusRequest() {
    return BuildRequest(requestStatus, 0, {0, 0});
}

} // namespace

FrmComm& frmComm() {
    return frmCommSlot();
}
bool FrmCommLoaded() {
    return frmCommSlot.IsLoaded();
}
void UnloadFrmComm() {
    frmCommSlot.Unload();
}

FrmComm::FrmComm() {
    setWindowTitle(QStringLiteral("通信[Dorvane]"));
    host::SizeClientInTwips(*this, clientWidth, clientHeight);
    Frame1[0] = new QGroupBox(QStringLiteral("Send"), this);
    Frame1[1] = new QGroupBox(QStringLiteral("Recive"), this);
    for (std::size_t f = 0; f < Frame1.size(); ++f) {
        PlaceControl(*Frame1[f], framePlaces[f]);
    }
    for (std::size_t i = 0; i < List1.size(); ++i) {
        QGroupBox* const frame = Frame1[i / 2];
        Label2[i] = new QLabel(QStringLiteral("Label2"), frame);
        PlaceControl(*Label2[i], labelPlaces[i]);
        List1[i] = new QListWidget(frame);
        PlaceControl(*List1[i], listPlaces[i]);
        mirrors_[i] = std::make_unique<ListMirror>(commLists[i], *List1[i]);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(*Command1, okPlace);
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    devices_ =
        std::make_unique<DeviceWatch>(DeviceWatch::PortDirectory(), DeviceWatch::PortFileName());
    devices_->SetHandler([this](Integer deviceType, const QString& name) {
        SysInfo1_DeviceArrival(deviceType, 0, name, 0);
    });
    power_ = std::make_unique<PowerWatch>();
    power_->SetSuspendHandler([this] { SysInfo1_PowerSuspend(); });
    power_->SetResumeHandler([this] { SysInfo1_PowerResume(); });
}

FrmComm::~FrmComm() = default;

void FrmComm::Form_Load() {
    // The serial control and the timers become this window's.
    CommControls& controls = comm();
    controls.MSComm1.SetOnComm([this](Integer commEvent) { MSComm1_OnComm(commEvent); });
    controls.Timer1.SetHandler([this] { Timer1_Timer(); });
    controls.Timer2.SetHandler([this] { Timer2_Timer(); });
    controls.Timer3.SetHandler([this] { Timer3_Timer(); });

    SetTopLeftTwips(0, 0);
    ClearTrafficLists();
    ResetLinkState();
    ++linkEpoch;
    ClosePort(controls);
    // Only a reply on this link says that the mixer answers: what the
    // settings file holds for it counts for nothing here.
    systemState.deviceResponding = flagFalse;
    systemState.portIsOpen = ToFlag(OpenPort(controls));
    if (!IsTrue(systemState.portIsOpen)) {
        ShowMessage(1);
    }
    DiscardInput(controls);
}

// Waits, processing events, until the reply awaited now is accepted (-1) or
// timed out (-3). The wait also ends when nothing can end it any more: the
// link was closed or suspended meanwhile (the reply can no longer come and no
// timer runs for it), a device arrival inside the wait reconnected the link
// (its own first contact is over when the wait looks again), or the program
// is ending. True when the link is still the one the wait began on.
bool FrmComm::WaitForReply() {
    const unsigned epoch = linkEpoch;
    host::WaitUntil([this, epoch] {
        const Integer status = exchange[replyRecord].status;
        return status == linkAccepted || status == linkTimeout || !IsTrue(systemState.portIsOpen) ||
               linkSuspended != flagFalse || linkEpoch != epoch || arrivalPending_ ||
               host::ProgramEnding();
    });
    return linkEpoch == epoch && !host::ProgramEnding();
}

// The first contact after the link was (re)opened: a status request, its
// reply or time-out, then the full status read when the mixer answered.
// A port arriving meanwhile ends it early (the caller reconnects then).
// False when the program is ending.
bool FrmComm::MakeFirstContact() {
    const Connecting connecting(connecting_);
    if (IsTrue(systemState.portIsOpen)) {
        AnnounceLinkState(LinkState::FirstContact);
    }
    if (BuildStatusRequest()) {
        TransmitPending();
    }
    const bool sameLink = !IsTrue(systemState.portIsOpen) || WaitForReply();
    if (host::ProgramEnding()) {
        return false;
    }
    if (arrivalPending_) {
        return true;
    }
    if (sameLink && IsTrue(systemState.deviceResponding)) {
        fullStatusNeeded = true;
        sequenceRunning = true;
        AnnounceLinkState(LinkState::Reading);
        if (!ReadFullStatus([this] { return arrivalPending_; })) {
            return !host::ProgramEnding();
        }
        AnnounceLinkState(LinkState::Online);
        WaitForReply();
        if (host::ProgramEnding()) {
            return false;
        }
        if (arrivalPending_) {
            return true;
        }
        exchange[replyRecord].status = 0;
    }
    return true;
}

void FrmComm::Form_Activate() {
    setVisible(IsTrue(debugMode));
    if (!MakeFirstContact()) {
        return;
    }
    HandlePendingArrivals();
    if (host::ProgramEnding()) {
        return;
    }
    comm().Timer2.SetEnabled(true);
    frmControl().Show();
}

void FrmComm::Form_Unload() {
    CommControls& controls = comm();
    controls.Timer1.SetEnabled(false);
    controls.Timer2.SetEnabled(false);
    if (IsTrue(systemState.portIsOpen)) {
        ClosePort(controls);
    }
    // Nothing of this window runs any more: the timers and the serial control
    // lose their handlers, the lists their views.
    controls.Timer3.SetEnabled(false);
    controls.Timer1.SetHandler({});
    controls.Timer2.SetHandler({});
    controls.Timer3.SetHandler({});
    controls.MSComm1.SetOnComm({});
    devices_->SetHandler({});
    power_->SetSuspendHandler({});
    power_->SetResumeHandler({});
    for (auto& mirror : mirrors_) {
        mirror->Detach();
    }
    host::EndProgram();
}

void FrmComm::Command1_Click() {
    UnloadFrmComm();
}

void FrmComm::MSComm1_OnComm(Integer commEvent) {
    if (linkSuspended != flagFalse) {
        return;
    }
    if (commEvent != comEvReceive) {
        return;
    }
    ExchangeRecord& reply = exchange[replyRecord];
    if (!IsTrue(reply.busy)) {
        return; // the bytes wait in the buffer until the next send clears it
    }
    const Integer r = ReceiveReply(comm(), replyBuffer, reply.length);
    if (r == linkDead) {
        reply.status = linkDead;
        reply.busy = flagFalse;
    } else if (r == linkRefused) {
        reply.status = linkRefused;
        reply.busy = flagFalse;
    } else if (r == linkAccepted) {
        if (CheckReply(reply.kind, reply.length, reply.index)) {
            reply.status = linkAccepted;
            reply.ticks = 0;
            systemState.deviceResponding = flagTrue;
            if (ApplyReply(reply.kind, reply.index)) {
                reply.busy = flagFalse;
            }
            comm().Timer1.SetEnabled(false);
        } else {
            // A reply that fails the checks is retransmitted by the reply
            // timer. The receive step counted the expected bytes down to the
            // data bytes when the reply completed: the answer to the
            // retransmission is as long as this one, so the count goes back.
            ++reply.length;
        }
    }
}

void FrmComm::Timer1_Timer() {
    CommControls& controls = comm();
    if (!IsPortAlive()) {
        ConnectionLost();
        return;
    }
    if (linkSuspended != flagFalse) {
        return;
    }
    ExchangeRecord& reply = exchange[replyRecord];
    ++reply.ticks;
    if (reply.ticks < 3) {
        // Retransmission of the frame still in the send buffer.
        DiscardInput(controls);
        reply.busy = flagFalse;
        exchange[sendRecord].busy = flagTrue;
        ackSeen = flagFalse;
        nakSeen = flagFalse;
        TransmitPending();
        return;
    }
    // The third tick: the time-out.
    reply.status = linkTimeout;
    reply.ticks = 0;
    DiscardInput(controls);
    reply.busy = flagFalse;
    exchange[sendRecord].busy = flagFalse;
    controls.Timer1.SetEnabled(false);
    controls.Timer2.SetEnabled(false);
    ConnectionLost();
    ackSeen = flagFalse;
    nakSeen = flagFalse;
    if (IsTrue(debugMode)) {
        debugLists[0].InsertItem(timeoutErrorLine);
        debugLists[1].InsertItem(timeoutErrorLine);
    }
}

void FrmComm::Timer2_Timer() {
    if (IsTrue(exchange[replyRecord].busy) || IsTrue(exchange[sendRecord].busy)) {
        return;
    }
    if (fullStatusNeeded) {
        {
            const Connecting connecting(connecting_);
            AnnounceLinkState(LinkState::Reading);
            if (ReadFullStatus([this] { return arrivalPending_; })) {
                AnnounceLinkState(LinkState::Online);
            }
        }
        HandlePendingArrivals();
    } else if (!sequenceRunning) {
        if (BuildStatusRequest()) {
            TransmitPending();
        }
    }
}

void FrmComm::Timer3_Timer() {
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
        SysInfo1_DeviceArrival(DeviceWatch::portDeviceType, 0, QString(), 0);
    }
}

void FrmComm::SysInfo1_DeviceArrival(Integer deviceType, Integer, const QString&, Integer) {
    if (deviceType != DeviceWatch::portDeviceType) {
        return;
    }
    arrivalPending_ = true;
    if (connecting_) {
        return; // the connection under way stops waiting and reconnects after it
    }
    HandlePendingArrivals();
}

// However many ports arrived during a connection, the link is made anew once
// for them all; arrivals during that reconnection are handled by the next
// turn of this loop, not inside it.
void FrmComm::HandlePendingArrivals() {
    while (arrivalPending_ && !host::ProgramEnding()) {
        arrivalPending_ = false;
        Reconnect();
    }
}

// A port arrived: close the link, open it again and make the first contact.
void FrmComm::Reconnect() {
    const Connecting connecting(connecting_);
    CommControls& controls = comm();
    ClearTrafficLists();
    ResetLinkState();
    ++linkEpoch;
    ClosePort(controls);
    systemState.deviceResponding = flagFalse; // nothing has answered on the new link yet
    systemState.portIsOpen = ToFlag(OpenPort(controls));
    if (!IsTrue(systemState.portIsOpen)) {
        // The port did not open: the link is lost, quietly, and the reopen
        // timer keeps trying.
        TakeLinkDown(LinkDownNotice::Quiet);
        return;
    }
    // A reopened link is no longer suspended: otherwise nothing would be
    // sent or received on it and the first contact would never end.
    linkSuspended = flagFalse;
    DiscardInput(controls);
    if (!MakeFirstContact() || arrivalPending_) {
        return;
    }
    controls.Timer2.SetEnabled(true);
}

void FrmComm::SysInfo1_PowerSuspend() {
    CommControls& controls = comm();
    linkSuspended = flagTrue;
    controls.Timer1.SetEnabled(false);
    controls.Timer2.SetEnabled(false);
    controls.MSComm1.SetPortOpen(false);
    DiscardInput(controls);
    ackSeen = flagFalse;
    nakSeen = flagFalse;
    systemState.deviceResponding = flagFalse;
    if (IsTrue(systemState.portIsOpen)) {
        systemState.portIsOpen = flagFalse;
        ClosePort(controls);
    }
    ResetLinkState();
    ++linkEpoch;
    controls.Timer1.SetEnabled(false);
    controls.Timer2.SetEnabled(false);
    controls.Timer3.SetEnabled(true);
    AnnounceLinkState(LinkState::Suspended);
}

// The computer woke up: the reopen timer, running since the suspend, brings
// the link back.
void FrmComm::SysInfo1_PowerResume() {}
