// Where and whether the network remote listens: the [remote] group of
// ardenix.conf (found as the settings file is found), which the command line
// overrides.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

struct RemoteSettings {
    bool enabled = false;
    QString bindAddress = QStringLiteral("127.0.0.1");
    quint16 httpPort = 9470; // HTTP and WebSocket; 0 picks a free port
    quint16 oscPort = 9471;  // OSC over UDP and TCP; 0 picks a free port
    // The senders OSC serves, as CIDR blocks.
    QStringList oscAllow{QStringLiteral("127.0.0.0/8"), QStringLiteral("::1/128")};
};

// The [remote] group of the INI file at `path` over the defaults: enabled,
// bind, port, osc-port, osc-allow (a comma-separated list). A key whose value
// does not parse keeps its default, and `problems` hears of it.
RemoteSettings ReadRemoteSettingsFile(const QString& path, QStringList* problems = nullptr);

// The [remote] group of the first ardenix.conf that exists where the settings
// file is searched for (programDirectory as for the settings file); the
// defaults when there is none.
RemoteSettings ReadRemoteSettings(const QString& programDirectory, QStringList* problems = nullptr);
