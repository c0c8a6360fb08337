// A private D-Bus daemon for tests, standing in for the system bus: its own
// permissive configuration (anyone may own any name and send or receive
// anything), its socket in a temporary directory, and DBUS_SYSTEM_BUS_ADDRESS
// pointed at it. Start it before anything in the process touches the system bus.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class PrivateBus {
public:
    PrivateBus() = default;
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    ~PrivateBus() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.kill();
            daemon_.waitForFinished(5000);
        }
    }

    // Starts the daemon and sets DBUS_SYSTEM_BUS_ADDRESS; false when it cannot run.
    bool Start() {
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
  <type>system</type>
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
                .arg(dir_.filePath(QStringLiteral("bus")))
                .toUtf8());
        f.close();
        daemon_.setProgram(QStringLiteral("dbus-daemon"));
        daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                              QStringLiteral("--print-address=1"), QStringLiteral("--nopidfile")});
        daemon_.setProcessChannelMode(QProcess::SeparateChannels);
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
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toLatin1());
        return true;
    }

    const QString& Address() const { return address_; }

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
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};
