// The line between the panel and the simulator, cut open for benchmarks: a
// relay on a pseudo-terminal that passes every byte on and notes when each
// frame's carriage return reaches the mixer's side.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace bench {

using Clock = std::chrono::steady_clock;

// A frame as it reached the mixer's side, and when its carriage return did.
struct Frame {
    QByteArray text; // "CSEL 34": the code and the parameter bytes in hex
    Clock::time_point at;
};

// The line between the panel and the simulator, cut open: the panel opens
// the slave of a pseudo-terminal, the relay copies from its master to the
// simulator's line and back, in a thread of its own.
class Relay {
public:
    Relay() = default;
    ~Relay() { Stop(); }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    bool Start(const QString& mixerLine) {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            return false;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        termios raw{};
        ::tcgetattr(master_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(master_, TCSANOW, &raw);
        mixer_ = ::open(QFile::encodeName(mixerLine).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (mixer_ < 0) {
            return false;
        }
        termios line{};
        ::tcgetattr(mixer_, &line);
        ::cfmakeraw(&line);
        ::cfsetispeed(&line, B38400);
        ::cfsetospeed(&line, B38400);
        line.c_cflag |= CLOCAL | CREAD | PARENB | PARODD;
        ::tcsetattr(mixer_, TCSANOW, &line);
        thread_ = std::thread([this] { Run(); });
        return true;
    }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        for (int* fd : {&mixer_, &master_, &slave_}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }
    const QString& PanelPath() const { return slavePath_; }

    // The first frame `text` whose carriage return came at or after `from`.
    std::optional<Clock::time_point> FrameAfter(const QByteArray& text, Clock::time_point from) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const Frame& frame : frames_) {
            if (frame.at >= from && frame.text == text) {
                return frame.at;
            }
        }
        return std::nullopt;
    }
    // The first frame starting with `code` ("CSEL") whose carriage return came
    // at or after `from`.
    std::optional<Clock::time_point> CodeAfter(const QByteArray& code, Clock::time_point from) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const Frame& frame : frames_) {
            if (frame.at >= from && frame.text.startsWith(code)) {
                return frame.at;
            }
        }
        return std::nullopt;
    }
    // Command frames that came again right after themselves: sent again by
    // the panel's reply timer (nothing else goes on the line meanwhile).
    int Repeats() {
        const std::lock_guard<std::mutex> lock(mutex_);
        int repeats = 0;
        for (std::size_t i = 1; i < frames_.size(); ++i) {
            if (frames_[i].text.startsWith('C') && frames_[i].text == frames_[i - 1].text) {
                ++repeats;
            }
        }
        return repeats;
    }
    void Forget() {
        const std::lock_guard<std::mutex> lock(mutex_);
        frames_.clear();
    }

private:
    void Run() {
        QByteArray pending;
        while (!stop_) {
            std::array<pollfd, 2> fds{{{master_, POLLIN, 0}, {mixer_, POLLIN, 0}}};
            if (::poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            std::array<char, 512> buffer{};
            if ((fds[0].revents & POLLIN) != 0) {
                const ssize_t n = ::read(master_, buffer.data(), buffer.size());
                const Clock::time_point at = Clock::now();
                if (n > 0) {
                    WriteAll(mixer_, buffer.data(), n);
                    for (ssize_t i = 0; i < n; ++i) {
                        if (buffer[static_cast<std::size_t>(i)] == '\r') {
                            Note(pending, at);
                            pending.clear();
                        } else {
                            pending.append(buffer[static_cast<std::size_t>(i)]);
                        }
                    }
                }
            }
            if ((fds[1].revents & POLLIN) != 0) {
                const ssize_t n = ::read(mixer_, buffer.data(), buffer.size());
                if (n > 0) {
                    WriteAll(master_, buffer.data(), n);
                }
            }
        }
    }
    static void WriteAll(int fd, const char* data, ssize_t count) {
        ssize_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(fd, data + done, static_cast<std::size_t>(count - done));
            if (n < 0 && errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 10);
                continue;
            }
            if (n <= 0) {
                return;
            }
            done += n;
        }
    }
    void Note(const QByteArray& frame, Clock::time_point at) {
        QByteArray text = frame.left(4);
        if (frame.size() > 4) {
            text += ' ' + frame.mid(4).toHex(' ').toUpper();
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back({text, at});
    }

    int master_ = -1;
    int slave_ = -1;
    int mixer_ = -1;
    QString slavePath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Frame> frames_;
};

} // namespace bench
