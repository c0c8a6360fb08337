// What the other subsystems may call in the serial link and connection
// subsystem: the link operations, the communication window's serial control
// and timers, port discovery, the user messages and the loss of the link.
#pragma once

#include "core/state.h"

#include <QString>

#include <array>

struct CommControls; // link/commcontrols.h: MSComm1 and Timer1..Timer3 of frmComm
class FrmComm;       // link/frmcomm.h

// The communication window's serial control and its three timers (reply timer
// Timer1 500 ms, status poll Timer2 200 ms, reopen Timer3 1000 ms). They exist
// from first use to program end; frmComm adopts them when it loads.
CommControls& comm();
// Destroys them (closing the port) while the application object still exists;
// the next comm() creates them anew. Called on the way out of main and by tests.
void DestroyCommControls();

// The communication window, loaded on first touch.
FrmComm& frmComm();
bool FrmCommLoaded();
// Unloads the communication window, which closes the link and ends the program.
void UnloadFrmComm();

// --- Serial link ---------------------------------------------------------------
bool OpenPort(CommControls& form);
void ClosePort(CommControls& form);
Integer SendFrame(CommControls& form, const Byte* bytes, Integer length);
Integer ReceiveReply(CommControls& form, std::array<Byte, replyBufferSize>& buffer,
                     Integer& expectedCount);
void ResetLinkState();
bool IsPortAlive();
// MSComm1.InBufferCount = 0: discards every received byte not yet read.
void DiscardInput(CommControls& form);

// --- Connection --------------------------------------------------------------
// Takes the link down after a failure, tells the user and starts the reopen timer.
void ConnectionLost();
// The same step, with or without telling the user (a reopening after a port's
// arrival that fails says nothing).
enum class LinkDownNotice { TellUser, Quiet };
void TakeLinkDown(LinkDownNotice notice);

// --- Port discovery -----------------------------------------------------------
// Sets comPortNumber from the first FTDI converter (0 when there is none).
void FindConverterPort();
// The same, over the sysfs tree at `sysfsRoot` (tests build their own).
Integer FindConverterPortIn(const QString& sysfsRoot);

// --- User messages ------------------------------------------------------------
// 0: the fader notice; 1: the connection message. Returns the button (1 = OK).
Integer ShowMessage(Integer kind);
extern const QString messageTitle;
QString MessageText(Integer kind);
