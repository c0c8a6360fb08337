// The link record of a test program. The program's main owns its own and
// hands it to the supervisor and the operations; a test program owns this one
// for its whole run and hands it to what it builds.
#pragma once

#include "core/state.h"

inline LinkRecord linkRecord;

// The process-wide records and the test's link record, as at program start.
inline void ResetEngineState() {
    ResetSharedState();
    linkRecord = LinkRecord{};
}
