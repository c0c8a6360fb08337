// The mixer's side of a pseudo-terminal pair, for the link tests: the program
// opens the slave path as its serial port, the test reads and writes the
// master side.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer {
public:
    PtyPeer() {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        termios raw{};
        ::tcgetattr(master_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(master_, TCSANOW, &raw);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPeer() {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Valid() const { return master_ >= 0; }
    const QString& SlavePath() const { return slavePath_; }

    bool Write(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
            if (n < 0 && errno == EAGAIN) {
                pollfd p{master_, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += n;
        }
        return true;
    }

    // What the program has written, read until `count` bytes came or the time
    // ran out.
    QByteArray Read(qsizetype count, int timeoutMs = 2000) {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < count && clock.elapsed() < timeoutMs) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buffer[512];
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n > 0) {
                    got.append(buffer, n);
                }
            }
        }
        return got;
    }
    // One frame: the bytes up to and including the next carriage return, read
    // one at a time so nothing after it is taken; empty when none came in time.
    QByteArray ReadFrame(int timeoutMs = 2000) {
        QByteArray frame;
        QElapsedTimer clock;
        clock.start();
        while (!frame.endsWith('\r')) {
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0) {
                return {};
            }
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) > 0 && (p.revents & POLLIN)) {
                char byte = 0;
                if (::read(master_, &byte, 1) == 1) {
                    frame.append(byte);
                }
            }
        }
        return frame;
    }
    // Everything that arrives within `ms` milliseconds.
    QByteArray ReadFor(int ms) { return Read(1 << 20, ms); }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};
