// What the other subsystems may call in the main panel: the panel window with
// its control arrays (the refresh routines draw on them), its picture list and
// the level-step lookup.
#pragma once

#include "core/types.h"

#include <QString>

#include <array>

class FrmControl; // panel/frmcontrol.h

// The main panel, loaded on first touch (its load handler runs then).
FrmControl& frmControl();
bool FrmControlLoaded();

// The 46 files of the panel's picture list, list image 1 first: the first 46
// names of assets/bitmaps.txt.
extern const std::array<QString, 46> panelImageFiles;
// Empties the panel's picture list and adds the 46 pictures as images 1 to 46.
void FillPanelImageList();

// The first index i of levelTable with level <= levelTable[i]; 0 when the level
// lies above every entry.
Integer FindLevelStep(const Single& level);
