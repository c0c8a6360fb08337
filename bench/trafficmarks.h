// Marks in the simulator's traffic log: the panel's first contact, the end of
// its full status read and its first status poll afterwards.
#pragma once

#include "bench/simrunner.h"

#include <optional>
#include <vector>

namespace bench {

struct StatusReadMarks {
    std::size_t firstContact = 0;         // the first "rx RAST"
    std::size_t lastReply = 0;            // the reply to the fourth "RSCI"
    std::optional<std::size_t> firstPoll; // the next "rx RAST"
    int frames = 0;                       // frames from the first contact to the last reply
    int frameBytes = 0;                   // their bytes on the line, carriage returns included
    int replyBytes = 0;                   // their replies' bytes on the line
};

// The first contact and full status read found from line `from` on; empty
// while the read is not complete in the log.
std::optional<StatusReadMarks> FindStatusRead(const std::vector<SimLine>& log,
                                              std::size_t from = 0);

// Seconds the bytes need on a 38400 baud line at 11 bits per byte.
inline double WireSeconds(int bytes) {
    return static_cast<double>(bytes) * 11.0 / 38400.0;
}

} // namespace bench
