// What the program's wiring may call in the host windows: the communication
// window and the debug window (each loaded on first touch), and the program's
// two messages to the user.
#pragma once

#include "core/kinds.h"
#include "core/types.h"

#include <QString>

#include <functional>

class FrmComm;  // windows/frmcomm.h
class FrmDebug; // windows/frmdebug.h
namespace connection {
class Supervisor; // connection/supervisor.h
}
namespace host {
class LoneMessage; // host/host.h
}

// The supervisor whose traffic and link the communication window stands
// for: its load opens the link, its first showing makes the first contact,
// its unloading closes the link. Set by the program's wiring.
void SetCommSupervisor(connection::Supervisor* supervisor);

// The communication window: loading it opens the port; showing it makes the
// first contact. Unloading it closes the link and ends the program.
FrmComm& frmComm();
bool FrmCommLoaded();
void UnloadFrmComm();

// The debug window; closing it leaves the rest of the program running.
FrmDebug& frmDebug();
bool FrmDebugLoaded();
void UnloadFrmDebug();

// A message in `box`, without waiting: the box stays up while the program
// goes on, and a message already up is not shown twice. `closed` runs once
// the user closed it (start-up goes on from there after the fader notice).
void TellUser(host::LoneMessage& box, MessageKind kind, std::function<void()> closed = {});
// The text of a message, and the title both carry.
QString MessageText(MessageKind kind);
extern const QString messageTitle;
