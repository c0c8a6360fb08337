#include "service/automation.h"

#include "service/adaptors.h"
#include "service/busnames.h"
#include "service/mixerservice.h"

#include <QDBusMessage>

#include <cstdio>

namespace automation {

namespace {

// How long a second start waits for the first to answer.
constexpr int activateTimeoutMs = 3000;

void SayOnce(const QString& what) {
    const QByteArray line = QStringLiteral("ardenix: %1\n").arg(what).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

Automation::Automation(engine::MixerOperations& operations, std::function<void()> raise)
    : bus_(QDBusConnection::sessionBus()) {
    if (!bus_.isConnected()) {
        const QString why = bus_.lastError().message();
        problem_ =
            QStringLiteral("no session bus%1: the mixer is not offered to other programs")
                .arg(why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')'));
        SayOnce(problem_);
        return;
    }
    service_ = std::make_unique<MixerService>(bus_, operations, std::move(raise));
    new Mixer1Adaptor(service_.get());      // owned by the service
    new ApplicationAdaptor(service_.get()); // owned by the service
    if (!bus_.registerObject(busnames::objectPath, service_.get(),
                             QDBusConnection::ExportAdaptors)) {
        problem_ = QStringLiteral("the object %1 cannot be registered on the session bus")
                       .arg(busnames::objectPath);
        SayOnce(problem_);
        service_.reset();
        return;
    }
    if (!bus_.registerService(busnames::service)) {
        problem_ = QStringLiteral("the name %1 is taken on the session bus: the mixer is not "
                                  "offered to other programs")
                       .arg(busnames::service);
        SayOnce(problem_);
        bus_.unregisterObject(busnames::objectPath);
        service_.reset();
        return;
    }
    registered_ = true;
}

Automation::~Automation() {
    if (registered_) {
        bus_.unregisterService(busnames::service);
        bus_.unregisterObject(busnames::objectPath);
    }
}

bool ActivateRunningInstance() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(busnames::service, busnames::objectPath,
                                       busnames::applicationInterface, QStringLiteral("Activate"));
    call.setAutoStartService(false);
    QVariantMap platformData;
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty()) {
        platformData.insert(QStringLiteral("activation-token"), token);
    }
    const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty()) {
        platformData.insert(QStringLiteral("desktop-startup-id"), startupId);
    }
    call << platformData;
    const bool activated =
        bus.call(call, QDBus::Block, activateTimeoutMs).type() == QDBusMessage::ReplyMessage;
    // The bus's own signals to this new connection may still be on their way;
    // QtDBus warns on standard error when it dispatches one while the program
    // ends, and a second start ends silently: a round trip to the bus first.
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    bus.call(ping, QDBus::Block, activateTimeoutMs);
    return activated;
}

} // namespace automation
