// The names front-ends give the mixer's controls (the bus interface, the
// network remote): masters, scene buttons and transport keys, each list in
// the order of the operations' indexes.
#pragma once

#include "connection/operations.h"

#include <QLatin1String>
#include <QString>
#include <QStringList>

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

} // namespace controlnames
