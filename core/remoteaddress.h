// The address of the remote control's web page with its token, as
// ardenixctl remote and the panel's "Remote…" show it: host and port from
// the [remote] group of ardenix.conf (found as the settings file is).
#pragma once

#include <QString>

namespace remoteaddress {

// Where the remote control listens as ardenix.conf's [remote] group says:
// keys bind and port, the defaults where a key is missing or unusable.
struct Place {
    QString bind = QStringLiteral("127.0.0.1");
    quint16 port = 9470;
};
Place ReadPlace(const QString& programDirectory);

// http://HOST:PORT/#token=T. A bind to every address (0.0.0.0, ::) shows
// `hostName`, this machine's name; an IPv6 literal is bracketed; the token
// is percent-encoded.
QString PageAddress(const Place& place, const QString& token, const QString& hostName);

} // namespace remoteaddress
