// What the other subsystems may call in the application core: the shared
// state, the host services, the window scaling and the debug window.
#pragma once

#include "core/host.h"
#include "core/state.h"

class FrmDebug; // core/frmdebug.h

// The debug window, loaded on first touch.
FrmDebug& frmDebug();
bool FrmDebugLoaded();
