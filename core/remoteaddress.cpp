#include "core/remoteaddress.h"

#include "core/settings.h"

#include <QFileInfo>
#include <QSettings>
#include <QUrl>

namespace remoteaddress {

Place ReadPlace(const QString& programDirectory) {
    Place place;
    const settings::SettingsLocation location =
        settings::FindSettingsFile(QStringLiteral("ardenix.conf"), programDirectory, {});
    if (!QFileInfo(location.path).isFile()) {
        return place;
    }
    QSettings file(location.path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("remote"));
    const QString bind = file.value(QStringLiteral("bind")).toString().trimmed();
    if (!bind.isEmpty()) {
        place.bind = bind;
    }
    bool ok = false;
    const uint port = file.value(QStringLiteral("port")).toString().trimmed().toUInt(&ok);
    if (ok && port <= 65535) {
        place.port = static_cast<quint16>(port);
    }
    return place;
}

QString PageAddress(const Place& place, const QString& token, const QString& hostName) {
    QString host = place.bind;
    if (host == QLatin1String("0.0.0.0") || host == QLatin1String("::") ||
        host == QLatin1String("[::]")) {
        host = hostName;
    } else if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['))) {
        host = QLatin1Char('[') + host + QLatin1Char(']');
    }
    return QStringLiteral("http://%1:%2/#token=%3")
        .arg(host)
        .arg(place.port)
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(token)));
}

} // namespace remoteaddress
