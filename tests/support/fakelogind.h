// logind's Manager.Inhibit on the test's private bus: hands out the read end
// of a pipe as the inhibitor lock and keeps the write end, so a test can see
// whether every holder has closed its lock (the write end then reports an error).
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QStringList>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <vector>

class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    FakeLogind() = default;
    ~FakeLogind() override {
        for (int fd : writeEnds_) {
            ::close(fd);
        }
        if (registered_) {
            QDBusConnection::disconnectFromBus(connectionName());
        }
    }
    FakeLogind(const FakeLogind&) = delete;
    FakeLogind& operator=(const FakeLogind&) = delete;

    static QString connectionName() { return QStringLiteral("fake-logind"); }

    bool Register() {
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SystemBus, connectionName());
        registered_ = bus.isConnected() &&
                      bus.registerObject(QStringLiteral("/org/freedesktop/login1"), this,
                                         QDBusConnection::ExportAllSlots) &&
                      bus.registerService(QStringLiteral("org.freedesktop.login1"));
        return registered_;
    }

    // Sends PrepareForSleep from logind's own connection, as logind does.
    bool SendPrepareForSleep(bool start) const {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << start;
        return registered_ && QDBusConnection(connectionName()).send(signal);
    }

    // The arguments of every Inhibit call, joined with "|".
    QStringList calls;

    // Number of locks handed out that somebody still holds.
    int LocksHeld() const {
        int held = 0;
        for (int fd : writeEnds_) {
            pollfd p{fd, 0, 0};
            if (::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP)) != 0) {
                continue;
            }
            ++held;
        }
        return held;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        calls.append(QStringList{what, who, why, mode}.join(QLatin1Char('|')));
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return {};
        }
        writeEnds_.push_back(fds[1]);
        QDBusUnixFileDescriptor lock(fds[0]); // takes a copy
        ::close(fds[0]);
        return lock;
    }

private:
    std::vector<int> writeEnds_;
    bool registered_ = false;
};
