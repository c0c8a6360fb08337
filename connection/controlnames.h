// The names by which callers outside the panel (the session bus, the network
// remote) name the mixer's controls, each list in the order of the
// operations' indexes, and the texts that tell why an operation was refused.
// Masters are "A" and "B", scene buttons "A" to "D", transport keys the
// panel's row left to right.
#pragma once

#include "connection/operations.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <array>
#include <cstddef>

namespace controlnames {

inline constexpr std::array<const char*, engine::masterCount> masters{"A", "B"};
inline constexpr std::array<const char*, engine::sceneButtonCount> sceneButtons{"A", "B", "C", "D"};
// The transport keys in the panel's row, left to right.
inline constexpr std::array<const char*, engine::transportKeyCount> transportKeys{
    "prev", "next", "stop", "rewind", "play", "forward", "pause"};

// The index of `name` in `names`, -1 when it is none of them.
template <std::size_t N> int IndexOf(const std::array<const char*, N>& names, const QString& name) {
    const auto found = std::find_if(names.begin(), names.end(),
                                    [&name](const char* n) { return name == QLatin1String(n); });
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

// The name at `index` (in range).
template <std::size_t N> QString NameOf(const std::array<const char*, N>& names, int index) {
    return QString::fromLatin1(names.at(static_cast<std::size_t>(index)));
}

// The names as a list for a message: "prev, next, ...".
template <std::size_t N> QString ListOf(const std::array<const char*, N>& names) {
    QStringList list;
    for (const char* name : names) {
        list.append(QString::fromLatin1(name));
    }
    return list.join(QStringLiteral(", "));
}

// The index of the named control, -1 when the name is none of them.
int MasterIndex(QStringView name);
int SceneButtonIndex(QStringView name);
int TransportKeyIndex(QStringView name);

// The name of a control by its index (which must be in range).
QString MasterName(int master);
QString SceneButtonName(int button);

// The transport keys' names, "prev, next, ..." for a message.
QString TransportKeyList();

// Why a transport key operation was refused.
QString TransportText(engine::CommandResult result);
// Why a level operation on `master` was refused: the master itself, or what
// holds the level buttons.
QString LevelText(const engine::MixerOperations& operations, engine::CommandResult result,
                  int master);

// The text of NotConnected: the program ends, the link was lost, or it is not
// connected.
QString NotConnectedText();
// The text once an operation that was handed on found the line dead.
QString LinkLostText();
// The text of a refusal other than NotConnected: `what` names the control (a
// master for Muted, a scene button for SceneLocked) or is the text itself.
QString RefusalText(engine::CommandResult result, const QString& what);

} // namespace controlnames
