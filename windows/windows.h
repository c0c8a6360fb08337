// What the program's wiring may call in the host windows: the communication
// window and the debug window (each loaded on first touch), and the program's
// two messages to the user.
#pragma once

#include "core/kinds.h"
#include "core/types.h"

#include <QString>

class FrmComm;  // windows/frmcomm.h
class FrmDebug; // windows/frmdebug.h

// The communication window: loading it opens the port; showing it makes the
// first contact. Unloading it closes the link and ends the program.
FrmComm& frmComm();
bool FrmCommLoaded();
void UnloadFrmComm();

// The debug window; closing it leaves the rest of the program running.
FrmDebug& frmDebug();
bool FrmDebugLoaded();
void UnloadFrmDebug();

// The fader notice or the connection message, modal; returns the button that
// closed it (1 = OK).
Integer ShowMessage(MessageKind kind);
// The text of a message, and the title both carry.
QString MessageText(MessageKind kind);
extern const QString messageTitle;
