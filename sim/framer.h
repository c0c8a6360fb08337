// Cuts the bytes arriving from the panel into frames: everything up to a
// carriage return is one frame. The buffer is bounded: a frame that grows past
// maxFrameLength bytes without a carriage return is discarded up to the next
// carriage return and reported as one overlong frame.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::size_t maxFrameLength = 64;

struct Frame {
    std::string bytes;         // without the carriage return; empty for an overlong frame
    bool overlong = false;     // the frame was longer than maxFrameLength
    std::size_t discarded = 0; // bytes thrown away for an overlong frame
};

class Framer {
public:
    // Adds the bytes and returns the frames they complete, in order.
    std::vector<Frame> Feed(std::string_view bytes);
    // Bytes held for a frame not yet complete (never above maxFrameLength).
    std::size_t Pending() const { return buffer_.size(); }
    void Reset();

private:
    std::string buffer_;
    bool discarding_ = false;
    std::size_t discarded_ = 0;
};

} // namespace sim
