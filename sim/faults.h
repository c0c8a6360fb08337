// Faults injected into the simulated mixer's replies, set from the command
// line and from the console.
#pragma once

namespace sim {

struct Faults {
    bool silent = false;   // no replies at all; frames are not acted on
    int nakCount = 0;      // answer this many coming frames with "N"
    bool garbage = false;  // stray bytes before the next acknowledgement
    bool truncate = false; // the next reply with a carriage return loses it
    bool range = false;    // one byte out of its range in the next status reply
};

} // namespace sim
