#include "connection/controlnames.h"

#include "core/hostfacts.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace controlnames {

namespace {

constexpr std::array<const char*, engine::masterCount> masterNames{"A", "B"};
constexpr std::array<const char*, engine::sceneButtonCount> sceneButtonNames{"A", "B", "C", "D"};
constexpr std::array<const char*, engine::transportKeyCount> transportKeyNames{
    "prev", "next", "stop", "rewind", "play", "forward", "pause"};

template <std::size_t N> int IndexOf(const std::array<const char*, N>& names, QStringView name) {
    const auto found = std::find_if(names.begin(), names.end(),
                                    [name](const char* n) { return name == QLatin1String(n); });
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

} // namespace

int MasterIndex(QStringView name) {
    return IndexOf(masterNames, name);
}

int SceneButtonIndex(QStringView name) {
    return IndexOf(sceneButtonNames, name);
}

int TransportKeyIndex(QStringView name) {
    return IndexOf(transportKeyNames, name);
}

QString MasterName(int master) {
    return QString::fromLatin1(masterNames.at(static_cast<std::size_t>(master)));
}

QString SceneButtonName(int button) {
    return QString::fromLatin1(sceneButtonNames.at(static_cast<std::size_t>(button)));
}

QString TransportKeyList() {
    QStringList list;
    for (const char* name : transportKeyNames) {
        list.append(QString::fromLatin1(name));
    }
    return list.join(QStringLiteral(", "));
}

QString TransportText(engine::CommandResult result) {
    return result == engine::CommandResult::Busy
               ? QStringLiteral("a transport key is held by another caller")
               : QStringLiteral("the transport keys are disabled");
}

QString LevelText(const engine::MixerOperations& operations, engine::CommandResult result,
                  int master) {
    if (result != engine::CommandResult::Busy) {
        return MasterName(master);
    }
    const int held = operations.HeldLevelMaster();
    return held >= 0 ? QStringLiteral("the level button of master %1 is held").arg(MasterName(held))
                     : QStringLiteral("a level motion is under way");
}

bool Online() {
    return !host::ProgramEnding() && CurrentLinkState() == LinkState::Online;
}

QString LinkLostText() {
    return host::ProgramEnding() ? QStringLiteral("ardenix is ending")
                                 : QStringLiteral("the link to the mixer was lost");
}

QString NotConnectedText() {
    if (host::ProgramEnding() || CurrentLinkState() == LinkState::Online) {
        return LinkLostText();
    }
    return QStringLiteral("the mixer is not connected");
}

QString RefusalText(engine::CommandResult result, const QString& what) {
    switch (result) {
    case engine::CommandResult::NotConnected:
        return NotConnectedText();
    case engine::CommandResult::SceneLocked:
        return QStringLiteral("scene %1 is locked").arg(what);
    case engine::CommandResult::Muted:
        return QStringLiteral("master %1 is muted").arg(what);
    case engine::CommandResult::Busy:
    case engine::CommandResult::Disabled:
    case engine::CommandResult::Invalid:
    case engine::CommandResult::Done:
        break;
    }
    return what;
}

} // namespace controlnames
