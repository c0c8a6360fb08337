// The model as one line of JSON, for the console's "state" command.
#pragma once

#include "sim/model.h"

#include <string>

namespace sim {

// {"inputs":[{"name","status"}x6],
//  "masters":[{"name","level","levelCode","muted","overGain","mugen","motion"}x2],
//  "selectedInput":0..6 (0 = none), "recall":scene code, "transportKey":-1..6,
//  "transportCode":"0".."8", "sceneSlots":[4 codes], "sceneNames":[4 names]}
// Names are the 8-character texts as the mixer sends them, blank-padded;
// "motion" is "up", "down" or "none".
std::string StateJson(const MixerModel& model);

} // namespace sim
