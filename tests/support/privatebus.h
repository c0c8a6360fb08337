// A private D-Bus daemon for tests, standing in for the system bus or the
// user's session bus: its own permissive configuration (anyone may own any
// name and send or receive anything), its socket in a temporary directory,
// and the bus address variable pointed at it. Start it before anything in the
// process touches that bus; the programs the test starts inherit it.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

class PrivateBus {
public:
    // The bus it stands in for: the system bus (DBUS_SYSTEM_BUS_ADDRESS) or
    // the user's session bus (DBUS_SESSION_BUS_ADDRESS).
    enum class Kind { System, Session };

    explicit PrivateBus(Kind kind = Kind::System) : kind_(kind) {}
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    ~PrivateBus() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }

    // Starts the daemon; with `setEnvironment` also points this process's bus
    // address variable at it. False when it cannot run.
    bool Start(bool setEnvironment = true) {
        if (!dir_.isValid()) {
            return false;
        }
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly)) {
            return false;
        }
        f.write(
            QStringLiteral(
                R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>%2</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow send_type="signal"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
  </policy>
</busconfig>
)")
                .arg(dir_.filePath(QStringLiteral("bus")),
                     kind_ == Kind::System ? QStringLiteral("system") : QStringLiteral("session"))
                .toUtf8());
        f.close();
        daemon_.setProgram(QStringLiteral("dbus-daemon"));
        daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                              QStringLiteral("--print-address=1"), QStringLiteral("--nopidfile")});
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
            qputenv(Variable().toLatin1().constData(), address_.toLatin1());
        }
        return true;
    }

    const QString& Address() const { return address_; }

    // The environment of a program started on this bus.
    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(Variable(), address_);
        return env;
    }

    // Sends a PrepareForSleep signal from another process, as any local user
    // can: it does not come from logind (FakeLogind sends the real one).
    bool SendSpoofedPrepareForSleep(bool start) const {
        QProcess send;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
        send.setProcessEnvironment(env);
        send.start(QStringLiteral("dbus-send"),
                   {QStringLiteral("--system"), QStringLiteral("--type=signal"),
                    QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager.PrepareForSleep"),
                    start ? QStringLiteral("boolean:true") : QStringLiteral("boolean:false")});
        return send.waitForFinished(10000) && send.exitStatus() == QProcess::NormalExit &&
               send.exitCode() == 0;
    }

private:
    QString Variable() const {
        return kind_ == Kind::System ? QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS")
                                     : QStringLiteral("DBUS_SESSION_BUS_ADDRESS");
    }

    Kind kind_;
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};

// A private session bus: the user's bus for the programs a test starts.
class SessionBus : public PrivateBus {
public:
    SessionBus() : PrivateBus(Kind::Session) {}
};
