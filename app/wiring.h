// The program's wiring: every call that a lower layer makes upwards goes
// through a seam that the lower layer declares; this sets them all, once,
// before start-up.
#pragma once

#include "panel/panel.h"

// The link's events go to the connection and the traffic log; the connection
// tells the user through the message boxes and shows the panel after its
// first contact; touching the debug window's lists loads it; closing the
// panel unloads the communication window; the panel's refresh routines
// follow the mirrored state, first of all observers (`panel`, which the
// caller owns for as long as the program runs).
void WireLayers(PanelRefresh& panel);
