// The program's wiring: every call that a lower layer makes upwards goes
// through a seam that the lower layer declares; this sets them all, once,
// before start-up.
#pragma once

#include "connection/operations.h"
#include "panel/panel.h"

namespace connection {
class Supervisor; // connection/supervisor.h
}
namespace host {
class LoneMessage; // host/host.h
}

// The link's events go to the supervisor and the traffic log; the
// supervisor's ended exchanges go to the mixer's operations (`operations`),
// which the panel's buttons act through; the supervisor tells the user in
// `connectionMessage` (a box that does not wait, closed again once the link
// is back) and shows the panel after its first contact; the communication
// window stands for the supervisor; touching the debug window's lists loads
// it; closing the panel unloads the communication window. The panel's
// refresh routines follow the mirrored state first of all observers, then
// the operations (which count what the mixer reports as in step only after
// the panel compared it with what it showed). The caller owns them all for
// as long as the program runs (or wires anew).
void WireLayers(PanelRefresh& panel, connection::Supervisor& supervisor,
                host::LoneMessage& connectionMessage, engine::MixerOperations& operations);

// The same for a program without a window: the supervisor's events and the
// operations as above; every message a panel would show in a box is one line
// on standard error ("ardenix: " and the text), once per loss; in debug mode
// the debug window's lines go to standard error too. No window is ever loaded.
void WireWindowless(connection::Supervisor& supervisor, engine::MixerOperations& operations);
