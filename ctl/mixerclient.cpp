#include "ctl/mixerclient.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>

#include <functional>

namespace ctl {

namespace {

constexpr int propertiesTimeoutMs = 5000;

const QString notRunning = QStringLiteral("ardenix is not running");

// The user's words for an error reply. A call left without an answer was
// either too slow or outlived the panel: `stillRunning` tells which.
QString Describe(const QDBusMessage& reply, const std::function<bool()>& stillRunning) {
    const QString name = reply.errorName();
    if (name == QDBusError::errorString(QDBusError::ServiceUnknown) ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return notRunning;
    }
    if (name == QDBusError::errorString(QDBusError::NoReply) ||
        name == QDBusError::errorString(QDBusError::Timeout) ||
        name == QDBusError::errorString(QDBusError::TimedOut)) {
        return stillRunning() ? QStringLiteral("ardenix did not answer in time")
                              : QStringLiteral("ardenix has ended");
    }
    if (name == QDBusError::errorString(QDBusError::Disconnected)) {
        return QStringLiteral("%1 (no session bus)").arg(notRunning);
    }
    const QString message = reply.errorMessage();
    return message.isEmpty() ? name : message;
}

} // namespace

namespace {
const QString connectionName = QStringLiteral("ardenixctl");
} // namespace

MixerClient::MixerClient()
    : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)) {}

// The bus's own signals to a new connection (NameAcquired) may still be on
// their way after a quick call; QtDBus dispatches them in a thread of its own
// and warns on standard error when that happens while the program ends. A
// round trip to the bus first lets them all be dispatched.
MixerClient::~MixerClient() {
    if (bus_.isConnected()) {
        const QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        bus_.call(ping, QDBus::Block, 1000);
    }
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(connectionName);
}

bool MixerClient::ServiceRunning() {
    if (!bus_.isConnected() || bus_.interface() == nullptr) {
        return false;
    }
    const QDBusReply<bool> registered = bus_.interface()->isServiceRegistered(serviceName);
    return registered.isValid() && registered.value();
}

Outcome MixerClient::Send(const QString& interface, const QString& method,
                          const QVariantList& arguments, int timeoutMs) {
    if (!bus_.isConnected()) {
        return {false, {}, QStringLiteral("%1 (no session bus)").arg(notRunning)};
    }
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, interface, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    const QDBusMessage reply = bus_.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return {false, {}, Describe(reply, [this] { return ServiceRunning(); })};
    }
    return {true, reply.arguments(), {}};
}

Outcome MixerClient::Call(const QString& method, const QVariantList& arguments, int timeoutMs) {
    return Send(mixerInterface, method, arguments, timeoutMs);
}

Outcome MixerClient::Properties() {
    Outcome outcome =
        Send(propertiesInterface, QStringLiteral("GetAll"), {mixerInterface}, propertiesTimeoutMs);
    if (outcome.ok) {
        const QVariant map = outcome.values.value(0);
        outcome.values = {QVariant::fromValue(qdbus_cast<QVariantMap>(map))};
    }
    return outcome;
}

Outcome MixerClient::Property(const QString& name) {
    Outcome outcome = Send(propertiesInterface, QStringLiteral("Get"), {mixerInterface, name},
                           propertiesTimeoutMs);
    if (outcome.ok) {
        outcome.values = {outcome.values.value(0).value<QDBusVariant>().variant()};
    }
    return outcome;
}

} // namespace ctl
