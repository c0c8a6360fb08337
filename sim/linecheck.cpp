#include "sim/linecheck.h"

namespace sim {

int BaudOf(speed_t speed) {
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

std::string LineSettingsProblem(const termios& settings) {
    std::string problem;
    const auto add = [&problem](const std::string& text) {
        problem += problem.empty() ? "" : ", ";
        problem += text;
    };
    const speed_t out = ::cfgetospeed(&settings);
    const speed_t in = ::cfgetispeed(&settings);
    if (out != B38400 && out != B9600) {
        const int baud = BaudOf(out);
        add("speed " + (baud != 0 ? std::to_string(baud) : std::string("unknown")) +
            " baud instead of 38400 (or 9600)");
    } else if (in != out && in != B0) {
        add("input speed differs from output speed");
    }
    if ((settings.c_cflag & CSIZE) != CS8) {
        add("character size not 8 bits");
    }
    if ((settings.c_cflag & PARODD) == 0) {
        add("parity not odd");
    }
    if ((settings.c_cflag & CSTOPB) != 0) {
        add("2 stop bits instead of 1");
    }
    if ((settings.c_lflag & (ICANON | ECHO)) != 0) {
        add("not in raw mode (canonical input or echo on)");
    }
    return problem;
}

} // namespace sim
