// Replies written into the test's link record as the mixer would send them.
#pragma once

#include "protocol/replylayout.h"
#include "protocol/replytables.h"
#include "tests/support/linkrecord.h"

// Fills linkRecord.replyBuffer with the lowest accepted byte of every position of `check`.
inline void FillWithLowest(const ReplyCheck& check) {
    linkRecord.replyBuffer.fill(0);
    for (int i = 0; i < check.length; ++i) {
        linkRecord.replyBuffer[static_cast<std::size_t>(i)] = static_cast<Byte>(check.minBytes[i]);
    }
}

// A plausible "RAST" reply: every byte at its lowest accepted value, with the
// bytes that the panel decodes set as given.
inline void FillStatus(Byte overGainFlags, Byte mugenFlags, Byte mutedFlags, Byte input,
                       Byte recall, Byte levelA, Byte levelB) {
    FillWithLowest(replyChecks[checkStatus]);
    linkRecord.replyBuffer[reply::overGainPosition] = overGainFlags;
    linkRecord.replyBuffer[reply::mugenPosition] = mugenFlags;
    linkRecord.replyBuffer[reply::mutedPosition] = mutedFlags;
    linkRecord.replyBuffer[reply::inputPosition] = input;
    linkRecord.replyBuffer[reply::recallPosition] = recall;
    linkRecord.replyBuffer[reply::levelPositionA] = levelA;
    linkRecord.replyBuffer[reply::levelPositionB] = levelB;
}
