#include "sim/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace sim {

namespace {

// How often the console looks whether it got the terminal's foreground back.
constexpr int foregroundCheckMs = 250;

// A terminal that is this process's controlling terminal: reading it is
// subject to job control. (tcgetpgrp fails with ENOTTY on any other terminal.)
bool InputIsControllingTerminal() {
    return ::isatty(STDIN_FILENO) == 1 && ::tcgetpgrp(STDIN_FILENO) >= 0;
}

} // namespace

bool InTerminalBackground() {
    if (::isatty(STDIN_FILENO) != 1) {
        return false;
    }
    const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
    return foreground >= 0 && foreground != ::getpgrp();
}

void WriteOutputLine(std::string_view line) {
    std::string text;
    text.reserve(line.size() + 1);
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        text += (byte >= 0x20 && byte < 0x7F) ? c : '?';
    }
    text += '\n';
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // nobody reads the answers any more
        }
        done += static_cast<std::size_t>(n);
    }
}

Console::Console(Handler handler) : handler_(std::move(handler)) {
    if (::fcntl(STDIN_FILENO, F_GETFL) < 0) {
        return; // no standard input at all
    }
    readable_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(readable_.get(), &QSocketNotifier::activated, [this] { ReadInput(); });
    foregroundCheck_.setInterval(foregroundCheckMs);
    QObject::connect(&foregroundCheck_, &QTimer::timeout, [this] { CheckForeground(); });
    if (InTerminalBackground()) {
        WaitForForeground();
    }
}

void Console::WaitForForeground() {
    readable_->setEnabled(false);
    if (!foregroundCheck_.isActive()) {
        foregroundCheck_.start();
    }
}

void Console::CheckForeground() {
    if (!InTerminalBackground()) {
        foregroundCheck_.stop();
        readable_->setEnabled(true);
    }
}

void Console::ReadInput() {
    // Input typed for the shell or for the job in the foreground is not ours.
    if (InTerminalBackground()) {
        WaitForForeground();
        return;
    }
    // One read per notification: the input is readable, so it does not block
    // (standard input stays in blocking mode, as the shell that shares it
    // expects).
    std::array<char, 1024> chunk{};
    const ssize_t n = ::read(STDIN_FILENO, chunk.data(), chunk.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (n < 0 && errno == EIO && InputIsControllingTerminal()) {
        // Sent to the background between the check and the read: the terminal
        // refused the read (SIGTTIN is ignored). Not now, later.
        WaitForForeground();
        return;
    }
    if (n <= 0) {
        // End of input (or an input that cannot be read): the simulator
        // goes on serving the line; a last unterminated line still counts.
        if (!pending_.empty() && !skipping_) {
            Dispatch(pending_);
        }
        pending_.clear();
        readable_->setEnabled(false);
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        const char c = chunk[static_cast<std::size_t>(i)];
        if (c == '\n') {
            if (skipping_) {
                WriteOutputLine("error: command line longer than " +
                                std::to_string(maxCommandLength) + " characters");
            } else {
                Dispatch(pending_);
            }
            pending_.clear();
            skipping_ = false;
            continue;
        }
        if (skipping_) {
            continue;
        }
        pending_ += c;
        if (pending_.size() > maxCommandLength) {
            pending_.clear();
            skipping_ = true;
        }
    }
}

void Console::Dispatch(std::string_view line) {
    WriteOutputLine(handler_(line));
}

} // namespace sim
