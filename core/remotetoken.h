// The remote control's access token and where its address comes from: the
// token file $XDG_CONFIG_HOME/ardenix/remote-token (made on first use, mode
// 0600, never through a link), ARDENIX_REMOTE_TOKEN overriding it, and the
// bind address and port of the [remote] group of ardenix.conf. The program's
// server and ardenixctl both read them from here.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace remote {

constexpr quint16 defaultHttpPort = 9470;

// The token, or why there is none.
struct TokenResult {
    QString token;
    QString error; // empty when `token` is good
};

// $XDG_CONFIG_HOME/ardenix/remote-token (~/.config when unset or relative).
QString TokenFilePath();

// ARDENIX_REMOTE_TOKEN when set and not empty; otherwise the token file's.
TokenResult CurrentToken();

// The token in `path`, made there when the file is missing (with its folder):
// 256 random bits as URL-safe text, written whole into a new file
// of mode 0600 before it takes the name, so a reader never sees half a token
// and two programs starting together agree on one. A link or anything other
// than a regular file of this user is refused; a file others may read is
// made private first.
TokenResult LoadOrCreateToken(const QString& path);

// True when `given` equals `expected`; the time taken does not depend on
// where they differ.
bool SameToken(QByteArrayView given, QByteArrayView expected);

// Where the remote control listens, as the [remote] group of ardenix.conf
// (found as the settings file is) gives it: keys remote-bind and remote-port.
struct RemotePlace {
    QString bind = QStringLiteral("127.0.0.1");
    quint16 port = defaultHttpPort;
};
RemotePlace ReadRemotePlace(const QString& programDirectory);

// The page's address with its token: http://HOST:PORT/#token=T. A bind to
// every address shows `hostName` (this machine's name); an IPv6 literal is
// bracketed; the token is percent-encoded.
QString PageAddress(const RemotePlace& place, const QString& token, const QString& hostName);

} // namespace remote
