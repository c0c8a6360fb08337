// The mirror of the mixer and the link record of a test program. The
// program's main owns its own and hands them to the supervisor and the
// operations; a test program owns these for its whole run and hands them to
// what it builds.
#pragma once

#include "core/state.h"

inline MixerMirror mirror;
inline LinkRecord linkRecord;

// The process-wide records and the test's mirror and link record, as at
// program start.
inline void ResetEngineState() {
    ResetSharedState();
    mirror = MixerMirror{};
    linkRecord = LinkRecord{};
}
