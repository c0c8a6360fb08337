// The connection supervisor: the first contact with the mixer, the receive
// step, retransmission and time-out, the status poll, reopening after a loss,
// port arrivals and power suspend, and the one way down after a failure.
//
// The program owns one Supervisor. It takes the serial control and the three
// timers and answers their events itself, and it owns the device and power
// watches. It needs no window: what it asks of the program above it goes
// through FrontEnd, and the link's state is told through the observers.
//
// Nothing here waits. The first contact, the reconnection after an arrival
// and the full status read are steps, started by a call that returns at once
// and moved on by replies and time-outs. A port that arrives while one of
// them runs ends it, and the link is made anew once for every arrival that
// came meanwhile, as soon as the event that told of them is handled.
#pragma once

#include "core/kinds.h"
#include "core/types.h"
#include "protocol/fullstatus.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

struct CommControls; // serial/commcontrols.h
struct LinkRecord;   // core/state.h
struct MixerMirror;  // core/state.h
class DeviceWatch;   // connection/devicewatch.h
class PowerWatch;    // connection/powerwatch.h

namespace connection {

struct FrontEnd {
    // Tells the user about the link. Returns at once: the link goes on
    // (reopen attempts, arrivals) while the user reads it. Called once per
    // loss, not once per failed attempt to reconnect.
    std::function<void(MessageKind kind)> tellUser;
    // The link is online again (after the full read): what was told about
    // the loss no longer holds.
    std::function<void()> linkBack;
    // The first contact at start-up is over: the main panel is shown.
    std::function<void()> firstContactOver;
};

// How the link went down: a failure (the user is told), a port that did not
// reopen after an arrival (nothing is said), or a suspend.
enum class LinkDown { Lost, LostQuietly, Suspended };

class Supervisor {
public:
    // Who hands the events of the serial control and the three timers to
    // the supervisor: the controls themselves (the program), or the caller
    // (a test that steps the link one event at a time).
    enum class Events { FromControls, ByHand };

    // Takes the events of `controls` from now on, for as long as it lives.
    // The supervisor works the exchange through `link` and applies the
    // mixer's replies to `mirror`; both outlive it.
    Supervisor(LinkRecord& link, MixerMirror& mirror, CommControls& controls,
               Events events = Events::FromControls);
    ~Supervisor();
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;

    void SetFrontEnd(FrontEnd frontEnd);

    // Opens the port and makes the first contact (Open, then FirstContact).
    void Start();
    // The link is reset and the port opened; the device and power watches
    // start; message 1 when the port does not open.
    void Open();
    // The first contact: a status request, the full read when the mixer
    // answered, then the poll; FrontEnd::firstContactOver when it is over.
    // Returns at once; ignored while a first contact or a read runs.
    void FirstContact();
    // The timers stop, the port closes and the steps under way are given up.
    void Close();
    // Starts the full status read now, as the poll does when it is needed.
    void ReadFullStatus();
    // A first contact, a reconnection or a full read is under way.
    bool Connecting() const { return stage_ != Stage::Idle; }

    // The serial control reported an event (SerialPort::comEvReceive: bytes came).
    void ReceiveStep(Integer commEvent);
    // The reply timer (500 ms): retransmission, and the time-out at the third tick.
    void ReplyTimerTick();
    // The status poll (200 ms).
    void PollTick();
    // The reopen timer (1000 ms) after a loss or a suspend.
    void ReopenTick();
    // A device arrived; only a port (device type 3) counts.
    void DeviceArrival(Integer deviceType);
    // The computer is about to sleep: the link goes down quietly.
    void PowerSuspend();
    // The computer woke up: the reopen timer, running since the suspend,
    // brings the link back.
    void PowerResume();

    // The port stopped answering while a frame was being sent (the link's
    // event): the loss is told on standard error and the link taken down.
    void LinkLostWhileSending();
    // Takes the link down after a failure of the port or of the mixer, tells
    // the user and starts the reopen timer.
    void ConnectionLost();
    // The one way down: closes the port, clears the link's flags, stops the
    // reply timer and the poll, tells the user when asked to (once per
    // loss), and starts the reopen timer.
    void TakeLinkDown(LinkDown why);

    // The watches, once Open started them (null before).
    DeviceWatch* Devices() const { return devices_.get(); }
    PowerWatch* Power() const { return power_.get(); }

private:
    enum class Stage {
        Idle,
        FirstReply, // the first contact's status request is out
        Reading,    // the full status read runs
        LastReply,  // after the read: its last exchange ends
    };
    // What started the steps under way, and what follows them.
    enum class Purpose { Start, Arrival, Poll };

    void WatchDevicesAndPower();
    void ReportLoss(const QString& reason);
    void TellUser(MessageKind kind);
    void ReopenPort();
    bool ReplyWaitOver() const;
    void BeginFirstContact(Purpose purpose);
    void BeginFullRead();
    void Reconnect();
    // Moves the steps under way on as far as the link allows; called after
    // every event that may end what they wait for.
    void Continue();
    void ContinueOnce();
    void StepsOver();
    void AbandonSteps();
    void HandlePendingArrivals();

    LinkRecord& link_;
    MixerMirror& mirror_;
    CommControls& controls_;
    Events events_;
    FrontEnd frontEnd_;
    std::unique_ptr<DeviceWatch> devices_;
    std::unique_ptr<PowerWatch> power_;

    Stage stage_ = Stage::Idle;
    Purpose purpose_ = Purpose::Arrival;
    FullStatusRead read_;
    // The steps look again once the pending events were handled: a frame
    // still waited in the send record, or the link went down meanwhile.
    QTimer recheck_;
    // Ports that arrived while steps ran: handled once, right after the
    // event that told of them.
    bool arrivalPending_ = false;
    QTimer arrivals_;
    bool continuing_ = false;
    bool continueAgain_ = false;
    // The user was told of the loss under way; cleared once online again.
    bool lossTold_ = false;
    // Why the link went down, told on standard error with the device: once,
    // and again only when the reason changes or the link was online between.
    QString lastLoss_;
};

} // namespace connection
