// The line settings the panel must make on its port: 38400 baud (9600 in the
// panel's test mode), 8 data bits, odd parity. A pseudo-terminal keeps the
// speed and the odd-parity flag it is given, but the kernel always reports 8
// data bits and clears the parity-enable flag on it, so on this line only the
// speed and the odd-parity flag tell a wrongly set port.
#pragma once

#include <termios.h>

#include <string>

namespace sim {

// Bits per second of a termios speed; 0 when unknown.
int BaudOf(speed_t speed);

// A description of what is wrong with the settings; empty when they are right.
std::string LineSettingsProblem(const termios& settings);

} // namespace sim
