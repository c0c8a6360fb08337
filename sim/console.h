// The console: command lines from standard input, one answer line each on
// standard output. Lines are bounded (a longer line is answered with an error
// and skipped); the end of standard input only ends the console, not the
// simulator.
//
// Standard input is read only while reading it is allowed: when it is the
// controlling terminal and the simulator runs in the terminal's background
// (started with "&" in an interactive shell), the console waits until the
// simulator is brought to the foreground and serves the line meanwhile. A read
// refused by the terminal all the same (EIO, with SIGTTIN ignored) means "not
// now" as well.
#pragma once

#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace sim {

inline constexpr std::size_t maxCommandLength = 512;

// Writes one line to standard output at once (the line gets its newline;
// characters outside the printable range become "?").
void WriteOutputLine(std::string_view line);

class Console {
public:
    using Handler = std::function<std::string(std::string_view line)>;

    explicit Console(Handler handler);
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

private:
    void ReadInput();
    void Dispatch(std::string_view line);
    // Stops watching standard input and looks again now and then whether the
    // simulator got the terminal's foreground.
    void WaitForForeground();
    void CheckForeground();

    Handler handler_;
    std::string pending_;
    bool skipping_ = false; // inside a line that was too long
    std::unique_ptr<QSocketNotifier> readable_;
    QTimer foregroundCheck_;
};

// True when standard input is this process's controlling terminal and the
// process is not in the terminal's foreground process group: a read would stop
// it (SIGTTIN) or fail.
bool InTerminalBackground();

} // namespace sim
