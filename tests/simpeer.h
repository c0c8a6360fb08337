// The simulated mixer as a test's peer: the simulator process with its
// console, and a client on its line that plays the panel's side with plain
// POSIX calls and timeouts.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

namespace simpeer {

// The panel's side of the line: plain POSIX, with timeouts.
class Client {
public:
    Client() = default;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client() { Close(); }

    bool Open(const QString& path, speed_t speed = B38400, bool oddParity = true) {
        Close();
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) {
            return false;
        }
        termios settings{};
        if (::tcgetattr(fd_, &settings) != 0) {
            return false;
        }
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
        settings.c_cflag |= CLOCAL | CREAD | PARENB;
        if (oddParity) {
            settings.c_cflag |= PARODD;
        } else {
            settings.c_cflag &= ~PARODD;
        }
        // A pseudo-terminal drops the parity-enable flag, and the C library then
        // reports the whole setting as failed although the rest took hold: check
        // what the line holds instead.
        ::tcsetattr(fd_, TCSANOW, &settings);
        termios applied{};
        if (::tcgetattr(fd_, &applied) != 0 || ::cfgetospeed(&applied) != speed ||
            ((applied.c_cflag & PARODD) != 0) != oddParity || (applied.c_lflag & ECHO) != 0) {
            return false;
        }
        ::tcflush(fd_, TCIOFLUSH);
        return true;
    }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    int Fd() const { return fd_; }

    bool Write(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }
    // Reads until count bytes came or the time is up.
    QByteArray Read(qsizetype count, int timeoutMs) {
        QByteArray data;
        QElapsedTimer clock;
        clock.start();
        readCalls_ = 0;
        while (data.size() < count) {
            const int left = timeoutMs - static_cast<int>(clock.elapsed());
            if (left <= 0) {
                break;
            }
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, left) <= 0) {
                break;
            }
            if ((entry.revents & POLLIN) == 0) {
                break; // hung up
            }
            char chunk[512];
            const ssize_t n =
                ::read(fd_, chunk, std::min<size_t>(sizeof chunk, size_t(count - data.size())));
            if (n <= 0) {
                break;
            }
            data.append(chunk, n);
            ++readCalls_;
        }
        return data;
    }
    // Sends a frame with its carriage return and reads a reply of count bytes.
    QByteArray Exchange(const QByteArray& frame, qsizetype count, int timeoutMs = 2000) {
        if (!Write(frame + '\r')) {
            return {};
        }
        return Read(count, timeoutMs);
    }
    // The data of an "A" + data + CR reply, or the raw reply when it is not one.
    QByteArray Request(const QByteArray& frame, qsizetype dataBytes) {
        const QByteArray reply = Exchange(frame, dataBytes + 2);
        if (reply.size() == dataBytes + 2 && reply.startsWith('A') && reply.endsWith('\r')) {
            return reply.mid(1, dataBytes);
        }
        return "bad reply: " + reply.toHex(' ');
    }

    // How many reads the last reply took: one per delivery of bytes.
    int ReadCalls() const { return readCalls_; }

private:
    int fd_ = -1;
    int readCalls_ = 0;
};

// One simulator process.
class Sim {
public:
    bool Start(const QString& linkPath, const QStringList& extra = {}) {
        process_.setProgram(QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath("dorvane-sim"));
        process_.setArguments(QStringList{"--link", linkPath} + extra);
        process_.start();
        if (!process_.waitForStarted(5000)) {
            return false;
        }
        link_ = ReadLine();
        return link_ == QFileInfo(linkPath).absoluteFilePath();
    }
    ~Sim() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished(3000);
            }
        }
    }
    const QString& Link() const { return link_; }
    QProcess& Process() { return process_; }

    QString ReadLine(int timeoutMs = 3000) {
        QElapsedTimer clock;
        clock.start();
        while (!process_.canReadLine() && clock.elapsed() < timeoutMs) {
            process_.waitForReadyRead(50);
        }
        return QString::fromLatin1(process_.readLine()).trimmed();
    }
    QString Command(const QString& line) {
        process_.write((line + '\n').toLatin1());
        process_.waitForBytesWritten(1000);
        return ReadLine();
    }
    QJsonObject State() { return QJsonDocument::fromJson(Command("state").toLatin1()).object(); }

    // The traffic log so far.
    QString Log() {
        process_.waitForReadyRead(20);
        log_ += QString::fromLatin1(process_.readAllStandardError());
        return log_;
    }
    bool LogHas(const QRegularExpression& pattern, int timeoutMs = 2000) {
        QElapsedTimer clock;
        clock.start();
        do {
            if (pattern.match(Log()).hasMatch()) {
                return true;
            }
            QTest::qWait(20);
        } while (clock.elapsed() < timeoutMs);
        return false;
    }

private:
    QProcess process_;
    QString link_;
    QString log_;
};

} // namespace simpeer
