#include "sim/framer.h"

namespace sim {

std::vector<Frame> Framer::Feed(std::string_view bytes) {
    std::vector<Frame> frames;
    for (const char byte : bytes) {
        if (byte == '\r') {
            Frame frame;
            if (discarding_) {
                frame.overlong = true;
                frame.discarded = discarded_;
            } else {
                frame.bytes = buffer_;
            }
            frames.push_back(std::move(frame));
            Reset();
            continue;
        }
        if (discarding_) {
            ++discarded_;
            continue;
        }
        buffer_.push_back(byte);
        if (buffer_.size() > maxFrameLength) {
            discarding_ = true;
            discarded_ = buffer_.size();
            buffer_.clear();
        }
    }
    return frames;
}

void Framer::Reset() {
    buffer_.clear();
    discarding_ = false;
    discarded_ = 0;
}

} // namespace sim
