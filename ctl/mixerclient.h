// The running panel's service as ardenixctl reaches it on the session bus.
#pragma once

#include "service/busnames.h"

#include <QDBusConnection>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace ctl {

// The service's names, as the service itself spells them.
inline const QString& serviceName = busnames::service;
using busnames::mixerInterface;
using busnames::objectPath;
using busnames::propertiesInterface;

// The outcome of a call: its return values, or what went wrong in words fit
// for the user ("the mixer is not connected", "ardenix is not running").
struct Outcome {
    bool ok = false;
    QVariantList values;
    QString error;
};

class MixerClient {
public:
    MixerClient();
    // The connection is closed while the application still exists.
    ~MixerClient();
    MixerClient(const MixerClient&) = delete;
    MixerClient& operator=(const MixerClient&) = delete;

    QDBusConnection& Bus() { return bus_; }
    // True when the name is on the bus.
    bool ServiceRunning();

    // A method of org.ardenix.Mixer1.
    Outcome Call(const QString& method, const QVariantList& arguments, int timeoutMs);
    // Every property (values[0] is a QVariantMap).
    Outcome Properties();
    // One property (values[0]).
    Outcome Property(const QString& name);

private:
    Outcome Send(const QString& interface, const QString& method, const QVariantList& arguments,
                 int timeoutMs);

    QDBusConnection bus_;
};

} // namespace ctl
