// The names under which the panel offers the mixer on the session bus. Scripts
// and programs outside the project rely on them: they never change.
#pragma once

#include "core/quoted.h"

#include <QString>
#include <QStringView>

namespace busnames {

inline const QString service = QStringLiteral("org.ardenix.Ardenix");
inline const QString objectPath = QStringLiteral("/org/ardenix/Ardenix");
inline const QString mixerInterface = QStringLiteral("org.ardenix.Mixer1");
inline const QString applicationInterface = QStringLiteral("org.freedesktop.Application");
inline const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// The errors of org.ardenix.Mixer1 (bad arguments give
// org.freedesktop.DBus.Error.InvalidArgs).
inline const QString notConnectedError = QStringLiteral("org.ardenix.Mixer1.Error.NotConnected");
inline const QString sceneLockedError = QStringLiteral("org.ardenix.Mixer1.Error.SceneLocked");
inline const QString mutedError = QStringLiteral("org.ardenix.Mixer1.Error.Muted");
inline const QString busyError = QStringLiteral("org.ardenix.Mixer1.Error.Busy");
inline const QString disabledError = QStringLiteral("org.ardenix.Mixer1.Error.Disabled");

// A caller's argument as an error text quotes it (at most 40 characters).
inline QString Quoted(QStringView argument) {
    return QuotedArgument(argument);
}

} // namespace busnames
