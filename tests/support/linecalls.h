// What a test program asks of its terminal devices: the modem-line requests
// (TIOCMBIS, TIOCMBIC, TIOCMSET) and the line settings handed to tcsetattr,
// recorded per descriptor and then passed on to the C library. Defining the
// two functions in the test program puts them in front of the C library's for
// every caller, QSerialPort included. Include this header in one source file
// of a test program only.
#pragma once

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstdarg>
#include <vector>

struct LineCall {
    int fd = -1;
    unsigned long request = 0; // TIOCMBIS, TIOCMBIC, TIOCMSET; 0 for tcsetattr
    int bits = 0;              // the modem lines named by the request
    termios settings{};        // what tcsetattr was given
};

inline std::vector<LineCall>& LineCalls() {
    static std::vector<LineCall> calls;
    return calls;
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* const argument = va_arg(arguments, void*);
    va_end(arguments);
    if ((request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET) && argument) {
        LineCalls().push_back({fd, request, *static_cast<const int*>(argument), {}});
    }
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto next = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    return next(fd, request, argument);
}

extern "C" int tcsetattr(int fd, int when, const termios* settings) noexcept {
    if (settings) {
        LineCalls().push_back({fd, 0, 0, *settings});
    }
    using TcSetAttr = int (*)(int, int, const termios*);
    static const auto next = reinterpret_cast<TcSetAttr>(::dlsym(RTLD_NEXT, "tcsetattr"));
    return next(fd, when, settings);
}
