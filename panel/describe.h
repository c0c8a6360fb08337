// What a screen reader hears of the panel, and what the tooltips say. The
// names carry the state the panel shows ("Input 2, Camera 2, selected",
// "MASTER A mute, on", "Scene B, Talk, recalled"; the level bars add
// "17 of 30" themselves); the refresh routines call these as they redraw,
// so the names change with the pictures. The same state is in the screen
// reader's states: the inputs and scenes are radio buttons, checked while
// lit; the muting buttons toggle buttons, checked and pressed while on; the
// lamps indicators, checked while on; the panel is a window. The mixer's
// names are said without their blanks. Each button's tooltip names its key.
#pragma once

#include "core/observers.h"

class FrmControl; // panel/frmcontrol.h

// Roles, the names that never change and the tooltips: once, when the
// panel's controls are placed.
void DescribeFixedParts(FrmControl& form);
void DescribeInputs(FrmControl& form);
void DescribeMuting(FrmControl& form, int master);
void DescribeScene(FrmControl& form, int button, bool recalled);
void DescribeLamps(FrmControl& form, int master);
void DescribeLink(FrmControl& form, LinkState state);

// The names of the masters and of the transport keys as the panel says them.
QString MasterName(int master);
QString TransportName(int key);
