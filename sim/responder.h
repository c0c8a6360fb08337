// The mixer's side of one exchange: a frame from the panel in, the reply out.
// Commands act on the model; requests report it. Every reply is checked
// against the accepted ranges before it is handed out.
#pragma once

#include "sim/faults.h"
#include "sim/framer.h"
#include "sim/model.h"
#include "sim/trafficlog.h"

#include <string>

namespace sim {

struct Answer {
    std::string bytes; // what goes on the line; empty: no reply
};

class Responder {
public:
    Responder(MixerModel& model, Faults& faults, const TrafficLog& log);
    // Logs the frame and the reply, acts on the frame and returns the reply.
    Answer Respond(const Frame& frame);

private:
    MixerModel& model_;
    Faults& faults_;
    const TrafficLog& log_;
};

// The log text of a received frame ("rx CMUT 40 41").
std::string DescribeFrame(const Frame& frame);

} // namespace sim
