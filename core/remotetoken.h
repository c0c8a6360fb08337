// The secret that guards the remote's HTTP and WebSocket: URL-safe text of
// 192 random bits in $XDG_CONFIG_HOME/ardenix/remote-token (~/.config when
// unset), made on first use, readable by the user alone;
// ARDENIX_REMOTE_TOKEN in the environment overrides it.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace remotetoken {

// The file that holds the token.
QString TokenPath();

// The token in use: the environment's, or the file's (created when missing).
// Nothing, and `problem` says why, when the file cannot be made or is not
// safe to trust: a link, not a regular file, readable by group or others,
// empty.
std::optional<QByteArray> Load(QString* problem);

// Whether `given` equals `token`, in a time that does not depend on where
// they differ.
bool Matches(const QByteArray& given, const QByteArray& token);

} // namespace remotetoken
