// The names by which callers outside the panel (the session bus, the network
// remote) name the mixer's controls, and the texts that tell why an operation
// was refused. Masters are "A" and "B", scene buttons "A" to "D", transport
// keys the panel's row left to right.
#pragma once

#include "connection/operations.h"

#include <QString>
#include <QStringView>

namespace controlnames {

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

// The link is online and the program is not ending.
bool Online();
// The text of NotConnected: the program ends, the link was lost, or it is not
// connected.
QString NotConnectedText();
// The text once an operation that was handed on found the line dead.
QString LinkLostText();
// The text of a refusal other than NotConnected: `what` names the control (a
// master for Muted, a scene button for SceneLocked) or is the text itself.
QString RefusalText(engine::CommandResult result, const QString& what);

} // namespace controlnames
