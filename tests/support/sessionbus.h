// A private session bus for tests: "dbus-daemon --session" listening on a
// socket in a temporary directory, and DBUS_SESSION_BUS_ADDRESS pointed at
// it. Start it before anything in the process touches the session bus; the
// programs the test starts afterwards inherit it.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

class SessionBus {
public:
    SessionBus() = default;
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    ~SessionBus() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }

    // Starts the daemon; with `setEnvironment` also points this process's
    // DBUS_SESSION_BUS_ADDRESS at it. False when it cannot run.
    bool Start(bool setEnvironment = true) {
        if (!dir_.isValid()) {
            return false;
        }
        daemon_.setProgram(QStringLiteral("dbus-daemon"));
        daemon_.setArguments(
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
             QStringLiteral("--print-address=1"),
             QStringLiteral("--address=unix:path=") + dir_.filePath(QStringLiteral("bus"))});
        daemon_.setProcessChannelMode(QProcess::SeparateChannels);
        daemon_.setStandardErrorFile(QProcess::nullDevice());
        daemon_.start();
        if (!daemon_.waitForStarted(5000)) {
            return false;
        }
        while (!daemon_.canReadLine()) {
            if (!daemon_.waitForReadyRead(5000)) {
                return false;
            }
        }
        address_ = QString::fromLatin1(daemon_.readLine()).trimmed();
        if (address_.isEmpty()) {
            return false;
        }
        if (setEnvironment) {
            qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toLatin1());
        }
        return true;
    }

    const QString& Address() const { return address_; }

    // The environment of a program started on this bus.
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        return env;
    }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};
