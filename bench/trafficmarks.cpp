#include "bench/trafficmarks.h"

namespace bench {

std::optional<StatusReadMarks> FindStatusRead(const std::vector<SimLine>& log, std::size_t from) {
    StatusReadMarks marks;
    std::size_t i = from;
    while (i < log.size() && !(log[i].IsFrame() && log[i].Code() == QLatin1String("RAST"))) {
        ++i;
    }
    if (i == log.size()) {
        return std::nullopt;
    }
    marks.firstContact = i;
    int sceneRequests = 0;
    bool done = false;
    for (; i < log.size() && !done; ++i) {
        const SimLine& line = log[i];
        if (line.IsFrame()) {
            ++marks.frames;
            marks.frameBytes += line.FrameBytes();
            if (line.Code() == QLatin1String("RSCI")) {
                ++sceneRequests;
            }
        } else if (line.IsReply()) {
            marks.replyBytes += line.ReplyBytes();
            if (sceneRequests == 4) {
                marks.lastReply = i;
                done = true;
            }
        }
    }
    if (!done) {
        return std::nullopt;
    }
    for (; i < log.size(); ++i) {
        if (log[i].IsFrame() && log[i].Code() == QLatin1String("RAST")) {
            marks.firstPoll = i;
            break;
        }
    }
    return marks;
}

} // namespace bench
