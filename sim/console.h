// The console: command lines from standard input, one answer line each on
// standard output. Lines are bounded (a longer line is answered with an error
// and skipped); the end of standard input only ends the console, not the
// simulator.
#pragma once

#include <QSocketNotifier>

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

    Handler handler_;
    std::string pending_;
    bool skipping_ = false; // inside a line that was too long
    std::unique_ptr<QSocketNotifier> readable_;
};

} // namespace sim
