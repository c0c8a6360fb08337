#include "remote/remotesettings.h"

#include "core/settings.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QSettings>

#include <optional>

namespace {

const QString configName = QStringLiteral("ardenix.conf");

void Tell(QStringList* problems, const QString& path, const QString& key, const QString& value) {
    if (problems != nullptr) {
        problems->append(QStringLiteral("%1: [remote] %2=%3 is not valid; the default is used")
                             .arg(path, key, value));
    }
}

std::optional<quint16> PortOf(const QString& text) {
    bool ok = false;
    const uint port = text.trimmed().toUInt(&ok);
    if (!ok || port > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

} // namespace

RemoteSettings ReadRemoteSettingsFile(const QString& path, QStringList* problems) {
    RemoteSettings settings;
    if (!QFileInfo(path).isFile()) {
        return settings;
    }
    const QSettings file(path, QSettings::IniFormat);
    const QString group = QStringLiteral("remote/");
    const auto text = [&file, &group](const char* key) {
        const QVariant value = file.value(group + QLatin1String(key));
        // A list (a value with commas) comes back as a list of its parts.
        return value.typeId() == QMetaType::QStringList
                   ? value.toStringList().join(QLatin1Char(','))
                   : value.toString();
    };
    const auto has = [&file, &group](const char* key) {
        return file.contains(group + QLatin1String(key));
    };
    if (has("enabled")) {
        const QString value = text("enabled").trimmed().toLower();
        if (value == QLatin1String("true") || value == QLatin1String("1") ||
            value == QLatin1String("yes")) {
            settings.enabled = true;
        } else if (value == QLatin1String("false") || value == QLatin1String("0") ||
                   value == QLatin1String("no")) {
            settings.enabled = false;
        } else {
            Tell(problems, path, QStringLiteral("enabled"), value);
        }
    }
    if (has("bind")) {
        const QString value = text("bind").trimmed();
        if (QHostAddress(value).isNull()) {
            Tell(problems, path, QStringLiteral("bind"), value);
        } else {
            settings.bindAddress = value;
        }
    }
    if (has("port")) {
        if (const auto port = PortOf(text("port"))) {
            settings.httpPort = *port;
        } else {
            Tell(problems, path, QStringLiteral("port"), text("port"));
        }
    }
    if (has("osc-port")) {
        if (const auto port = PortOf(text("osc-port"))) {
            settings.oscPort = *port;
        } else {
            Tell(problems, path, QStringLiteral("osc-port"), text("osc-port"));
        }
    }
    if (has("osc-allow")) {
        QStringList blocks;
        bool valid = true;
        for (const QString& part : text("osc-allow").split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString block = part.trimmed();
            const auto subnet = QHostAddress::parseSubnet(block);
            valid = valid && !subnet.first.isNull();
            blocks.append(block);
        }
        if (valid && !blocks.isEmpty()) {
            settings.oscAllow = blocks;
        } else {
            Tell(problems, path, QStringLiteral("osc-allow"), text("osc-allow"));
        }
    }
    return settings;
}

RemoteSettings ReadRemoteSettings(const QString& programDirectory, QStringList* problems) {
    const settings::SettingsLocation location =
        settings::FindSettingsFile(configName, programDirectory, QString());
    return ReadRemoteSettingsFile(location.path, problems);
}
