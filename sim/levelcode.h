// Level codes: the mixer reports a master level (fader step 0..30) as one byte
// whose value lies in the step's interval of the threshold table.
#pragma once

#include <cstdint>

namespace sim {

inline constexpr int maxLevelStep = 30;

// The code the mixer sends for a fader step (clamped to 0..30): the lowest
// code of the step's interval.
std::uint8_t LevelCode(int step);

// The step a code stands for, or -1 when the code lies in no interval.
int LevelStepOfCode(std::uint8_t code);

} // namespace sim
