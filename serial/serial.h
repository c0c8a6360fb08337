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

#include <QList>
#include <QString>
#include <QStringList>

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
    // `length` bytes are in the send or the reply buffer of `link` (the
    // traffic log).
    std::function<void(LinkRecord& link, TrafficDirection direction, Integer length)> frameLogged;
};
void SetLinkEvents(LinkEvents events);

// --- The link --------------------------------------------------------------------
bool OpenPort(CommControls& form);
void ClosePort(CommControls& form);
LinkResult SendFrame(LinkRecord& link, CommControls& form, const Byte* bytes, Integer length);
LinkResult ReceiveReply(LinkRecord& link, CommControls& form,
                        std::array<Byte, replyBufferSize>& buffer, Integer& expectedCount);
void ResetLinkState(LinkRecord& link);
bool IsPortAlive();
// MSComm1.InBufferCount = 0: discards every received byte not yet read, and
// with them what was read of the reply they belonged to.
void DiscardInput(LinkRecord& link, CommControls& form);

// --- Port discovery ----------------------------------------------------------------
// Sets programSetup.comPortNumber from the first FTDI converter (0 when there is none), and
// says on standard error what the user should know of the converters found
// (DiscoveryNotes) unless ARDENIX_PORT names the device.
void FindConverterPort();
// The same number, over the sysfs tree at `sysfsRoot` (tests build their own).
Integer FindConverterPortIn(const QString& sysfsRoot);

// The FTDI converters of a sysfs tree: their ttyUSB numbers in ascending
// order, and the FTDI USB devices ("0403:<product>") that show no serial port.
struct ConverterSurvey {
    QList<int> converters;
    QStringList ftdiWithoutPort;
};
ConverterSurvey SurveyConverters(const QString& sysfsRoot);
// What to tell the user, one line each: several converters (listed with
// their names under <devRoot>/serial/by-id, the one used, how to choose), or
// an FTDI device without a port (another program may hold it). Nothing when
// there is one converter.
QStringList DiscoveryNotes(const ConverterSurvey& survey, const QString& devRoot);
