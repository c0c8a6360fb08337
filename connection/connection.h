// The connection supervisor: the first contact with the mixer, the receive
// step, retransmission and time-out, the status poll, reopening after a loss,
// port arrivals and power suspend, and the one way down after a failure. The
// communication window's handlers (windows/frmcomm.h) forward here; nothing
// here knows a window. What the connection asks of the program above it
// goes through FrontEnd, set by the program's wiring.
#pragma once

#include "core/kinds.h"
#include "core/types.h"

#include <functional>

namespace connection {

struct FrontEnd {
    // Shows a message to the user and returns once it is closed (modal).
    std::function<void(MessageKind kind)> tellUser;
    // The first contact at start-up is over: the main panel is shown.
    std::function<void()> firstContactOver;
};
void SetFrontEnd(FrontEnd frontEnd);

// The communication window loads: the link is reset and the port opened;
// message 1 when it does not open.
void OpenAtStart();
// The communication window became active: the first contact, the full read
// when the mixer answered, then the poll, and the panel is shown.
void FirstContactAtStart();
// The serial control reported an event (SerialPort::comEvReceive: bytes came).
void ReceiveStep(Integer commEvent);
// The reply timer (500 ms): retransmission, and the time-out at the third tick.
void ReplyTimerTick();
// The status poll (200 ms).
void PollTick();
// The reopen timer (1000 ms) after a loss or a suspend.
void ReopenTick();
// A device arrived; only a port (device type 3) counts. One that arrives
// while a connection is being made is handled once that one's wait ends.
void DeviceArrival(Integer deviceType);
// The computer is about to sleep: the link goes down quietly.
void PowerSuspend();
// The computer woke up: the reopen timer, running since the suspend, brings
// the link back.
void PowerResume();
// The communication window unloads: the timers stop and the port closes.
void Close();

// How the link went down: a failure (the user is told), a port that did not
// reopen after an arrival (nothing is said), or a suspend.
enum class LinkDown { Lost, LostQuietly, Suspended };
// The one way down: closes the port, clears the link's flags, stops the reply
// timer and the poll, tells the user when asked to, and starts the reopen timer.
void TakeLinkDown(LinkDown why);

} // namespace connection

// Takes the link down after a failure of the port or of the mixer, tells the
// user and starts the reopen timer.
void ConnectionLost();
