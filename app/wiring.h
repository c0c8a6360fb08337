// The program's wiring: every call that a lower layer makes upwards goes
// through a seam that the lower layer declares; this sets them all, once,
// before start-up.
#pragma once

#include "connection/operations.h"
#include "panel/panel.h"

// The link's events go to the connection and the traffic log; the
// connection's ended exchanges go to the mixer's operations (`operations`),
// which the panel's buttons act through; the connection tells the user
// through the message boxes and shows the panel after its first contact;
// touching the debug window's lists loads it; closing the panel unloads the
// communication window. The panel's refresh routines follow the mirrored
// state first of all observers, then the operations (which count what the
// mixer reports as in step only after the panel compared it with what it
// showed). The caller owns both for as long as the program runs.
void WireLayers(PanelRefresh& panel, engine::MixerOperations& operations);
