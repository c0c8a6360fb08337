#include "app/wiring.h"

#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "windows/frmcomm.h"
#include "windows/frmdebug.h"
#include "windows/windows.h"

void WireLayers(PanelRefresh& panel, connection::Supervisor& supervisor,
                host::LoneMessage& connectionMessage, engine::MixerOperations& operations) {
    SetLinkEvents({[&supervisor] { supervisor.LinkLostWhileSending(); }, &LogFrame});
    supervisor.SetFrontEnd({
        [&connectionMessage](MessageKind kind) { TellUser(connectionMessage, kind); },
        [&connectionMessage] { connectionMessage.Close(); },
        [] { frmControl().Show(); },
    });
    SetCommSupervisor(&supervisor);
    SetDebugWindowLoader([] { frmDebug(); });
    SetPanelUnloadHandler(&UnloadFrmComm);
    Subscribe(panel);
    Subscribe(operations);
    engine::SetExchangeEndedHandler([&operations] { operations.ExchangeEnded(); });
    SetPanelOperations(&operations);
}
