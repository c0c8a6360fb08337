#include "remote/avahi.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QHostAddress>

namespace {

const QString avahiService = QStringLiteral("org.freedesktop.Avahi");
const QString serverInterface = QStringLiteral("org.freedesktop.Avahi.Server");
const QString groupInterface = QStringLiteral("org.freedesktop.Avahi.EntryGroup");
constexpr int anyInterface = -1; // AVAHI_IF_UNSPEC
constexpr int anyProtocol = -1;  // AVAHI_PROTO_UNSPEC

} // namespace

AvahiAnnouncer::AvahiAnnouncer(QDBusConnection systemBus, QString hostName, quint16 httpPort,
                               quint16 oscPort, std::function<void(const QString&)> say)
    : bus_(std::move(systemBus)), hostName_(std::move(hostName)), httpPort_(httpPort),
      oscPort_(oscPort), say_(std::move(say)) {
    qDBusRegisterMetaType<QList<QByteArray>>(); // the TXT records, "aay"
}

AvahiAnnouncer::~AvahiAnnouncer() {
    if (!group_.isEmpty() && bus_.isConnected()) {
        // Withdraws the services; no answer is awaited.
        bus_.send(QDBusMessage::createMethodCall(avahiService, group_, groupInterface,
                                                 QStringLiteral("Free")));
    }
}

bool AvahiAnnouncer::AnnouncesOn(const QString& bindAddress) {
    if (bindAddress.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    const QHostAddress address(bindAddress);
    return !address.isNull() && !address.isLoopback();
}

QString AvahiAnnouncer::ServiceName() const {
    return QStringLiteral("Ardenix on %1").arg(hostName_);
}

void AvahiAnnouncer::Start() {
    if (!bus_.isConnected()) {
        Failed(QStringLiteral("no system bus"));
        return;
    }
    const QDBusMessage call = QDBusMessage::createMethodCall(
        avahiService, QStringLiteral("/"), serverInterface, QStringLiteral("EntryGroupNew"));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                if (reply.isError()) {
                    Failed(reply.error().message());
                    return;
                }
                GroupMade(reply.value().path());
            });
}

void AvahiAnnouncer::GroupMade(const QString& path) {
    group_ = path;
    step_ = 0;
    NextStep();
}

void AvahiAnnouncer::NextStep() {
    QDBusMessage call;
    const auto addService = [this](const QString& name, const QString& type, quint16 port,
                                   const QList<QByteArray>& text) {
        QDBusMessage add = QDBusMessage::createMethodCall(avahiService, group_, groupInterface,
                                                          QStringLiteral("AddService"));
        // Each argument with its exact D-Bus type: i i u s s s s q aay.
        add << anyInterface << anyProtocol << QVariant::fromValue(0U) << name << type << QString()
            << QString() << QVariant::fromValue(port) << QVariant::fromValue(text);
        return add;
    };
    switch (step_) {
    case 0:
        call = addService(ServiceName(), QStringLiteral("_http._tcp"), httpPort_,
                          {QByteArrayLiteral("path=/")});
        break;
    case 1:
        call = addService(ServiceName(), QStringLiteral("_osc._udp"), oscPort_, {});
        break;
    default:
        call = QDBusMessage::createMethodCall(avahiService, group_, groupInterface,
                                              QStringLiteral("Commit"));
        break;
    }
    const bool last = step_ >= 2;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, last](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                if (finished->isError()) {
                    Failed(finished->error().message());
                    return;
                }
                if (last) {
                    announced_ = true;
                    return;
                }
                ++step_;
                NextStep();
            });
}

void AvahiAnnouncer::Failed(const QString& what) {
    if (failed_) {
        return;
    }
    failed_ = true;
    say_(QStringLiteral("ardenix: the remote control is not announced on the network (mDNS): "
                        "Avahi is not available (%1)")
             .arg(what));
}
