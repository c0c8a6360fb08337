#include "app/networkremote.h"

#include "core/hostfacts.h"
#include "core/remoteaddress.h"
#include "osc/oscserver.h"
#include "remote/avahi.h"
#include "remote/remoteserver.h"
#include "remote/remotesettings.h"

#include <QDBusConnection>
#include <QHostAddress>
#include <QSysInfo>

struct NetworkRemote::Parts {
    RemoteSettings settings;
    std::unique_ptr<remote::RemoteServer> web;
    std::unique_ptr<osc::OscServer> osc;
    std::unique_ptr<AvahiAnnouncer> announcer;
};

NetworkRemote::NetworkRemote(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
NetworkRemote::~NetworkRemote() = default;

std::unique_ptr<NetworkRemote>
NetworkRemote::Start(engine::MixerOperations& operations, const ProgramOptions& options,
                     const std::function<void(const QString&)>& say) {
    QStringList problems;
    RemoteSettings settings = ReadRemoteSettings(host::ProgramDirectory(), &problems);
    // The command line wins over the file.
    settings.enabled = settings.enabled || options.remote;
    if (options.remoteBind) {
        settings.bindAddress = *options.remoteBind;
    }
    if (options.remotePort) {
        settings.httpPort = *options.remotePort;
    }
    if (options.oscPort) {
        settings.oscPort = *options.oscPort;
    }
    if (options.oscAllow) {
        settings.oscAllow = options.oscAllow->split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    if (!settings.enabled) {
        return nullptr;
    }
    for (const QString& problem : problems) {
        say(problem);
    }
    const auto refuse = [&say](const QString& why) {
        say(QStringLiteral("the remote is off: %1").arg(why));
        return nullptr;
    };
    const QHostAddress bind(settings.bindAddress);
    if (bind.isNull()) {
        return refuse(
            QStringLiteral("\"%1\" is no address to listen on").arg(settings.bindAddress));
    }
    osc::OscSettings oscSettings;
    oscSettings.bindAddress = bind;
    oscSettings.port = settings.oscPort;
    QString error;
    const auto allow =
        osc::OscSettings::ParseAllowList(settings.oscAllow.join(QLatin1Char(',')), &error);
    if (!allow) {
        return refuse(error);
    }
    oscSettings.allow = *allow;

    auto parts = std::make_unique<Parts>();
    parts->settings = settings;
    parts->web = std::make_unique<remote::RemoteServer>(operations, settings);
    if (!parts->web->Listen(&error)) {
        return refuse(error);
    }
    parts->osc = std::make_unique<osc::OscServer>(operations, oscSettings);
    if (!parts->osc->Listen(&error)) {
        return refuse(error);
    }
    say(QStringLiteral("remote on %1 and OSC udp/tcp %2")
            .arg(parts->web->Url().toString())
            .arg(parts->osc->Port()));
    if (AvahiAnnouncer::AnnouncesOn(settings.bindAddress)) {
        parts->announcer = std::make_unique<AvahiAnnouncer>(
            QDBusConnection::systemBus(), QSysInfo::machineHostName(), parts->web->HttpPort(),
            parts->osc->Port(), say);
        parts->announcer->Start();
    }
    return std::unique_ptr<NetworkRemote>(new NetworkRemote(std::move(parts)));
}

QString NetworkRemote::PageAddress() const {
    return remoteaddress::PageAddress({parts_->settings.bindAddress, parts_->web->HttpPort()},
                                      QString::fromLatin1(parts_->web->Token()),
                                      QSysInfo::machineHostName());
}
