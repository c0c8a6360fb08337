// What the layers above may call in the serial link: the communication
// window's serial control and its three timers, the link operations (opening
// and closing the port, one frame out byte by byte, one reply in as its bytes
// arrive, the liveness probe), and finding the converter's port. The link
// knows nothing of what a frame means; what it must tell the layers above
// goes through LinkEvents, set by the program's wiring.
#pragma once

#include "core/kinds.h"
#include "core/state.h"
#include "serial/commcontrols.h"

#include <QString>

#include <array>
#include <functional>

// The communication window's serial control and its three timers (reply timer
// Timer1 500 ms, status poll Timer2 200 ms, reopen Timer3 1000 ms). They exist
// from first use to program end; the communication window adopts them when
// it loads.
CommControls& comm();
// Destroys them (closing the port) while the application object still exists;
// the next comm() creates them anew. Called on the way out of main and by tests.
void DestroyCommControls();

// What the link tells the layers above it.
struct LinkEvents {
    // The port stopped answering while a frame was being sent: the link is
    // lost (the connection takes it down).
    std::function<void()> lost;
    // A frame went out, or a complete reply came in, in debug mode: its
    // `length` bytes are in sendBuffer or replyBuffer (the traffic log).
    std::function<void(TrafficDirection direction, Integer length)> frameLogged;
};
void SetLinkEvents(LinkEvents events);

// --- The link --------------------------------------------------------------------
bool OpenPort(CommControls& form);
void ClosePort(CommControls& form);
LinkResult SendFrame(CommControls& form, const Byte* bytes, Integer length);
LinkResult ReceiveReply(CommControls& form, std::array<Byte, replyBufferSize>& buffer,
                        Integer& expectedCount);
void ResetLinkState();
bool IsPortAlive();
// MSComm1.InBufferCount = 0: discards every received byte not yet read.
void DiscardInput(CommControls& form);

// --- Port discovery ----------------------------------------------------------------
// Sets comPortNumber from the first FTDI converter (0 when there is none).
void FindConverterPort();
// The same, over the sysfs tree at `sysfsRoot` (tests build their own).
Integer FindConverterPortIn(const QString& sysfsRoot);
