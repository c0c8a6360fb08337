#include "connection/controlnames.h"

#include "core/hostfacts.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace controlnames {

int MasterIndex(QStringView name) {
    return IndexOf(masters, name.toString());
}

int SceneButtonIndex(QStringView name) {
    return IndexOf(sceneButtons, name.toString());
}

int TransportKeyIndex(QStringView name) {
    return IndexOf(transportKeys, name.toString());
}

QString MasterName(int master) {
    return NameOf(masters, master);
}

QString SceneButtonName(int button) {
    return NameOf(sceneButtons, button);
}

QString TransportKeyList() {
    return ListOf(transportKeys);
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
