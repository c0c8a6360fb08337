#include "sim/levelcode.h"

#include <array>

namespace sim {

namespace {

// Step i covers the codes thresholds[i] <= code < thresholds[i + 1].
constexpr std::array<int, 32> thresholds = {48, 49, 50, 52, 54, 56, 58, 59,  60,  61, 63,
                                            66, 68, 69, 70, 71, 73, 76, 78,  79,  81, 82,
                                            84, 86, 88, 89, 90, 91, 94, 100, 108, 119};

} // namespace

std::uint8_t LevelCode(int step) {
    if (step < 0) {
        step = 0;
    }
    if (step > maxLevelStep) {
        step = maxLevelStep;
    }
    return static_cast<std::uint8_t>(thresholds[static_cast<std::size_t>(step)]);
}

int LevelStepOfCode(std::uint8_t code) {
    for (std::size_t i = 0; i + 1 < thresholds.size(); ++i) {
        if (thresholds[i] <= code && code < thresholds[i + 1]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace sim
