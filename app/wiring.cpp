#include "app/wiring.h"

#include "connection/connection.h"
#include "core/observers.h"
#include "core/state.h"
#include "panel/frmcontrol.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "windows/frmcomm.h"
#include "windows/frmdebug.h"
#include "windows/windows.h"

namespace {

void WireOperations(engine::MixerOperations& operations) {
    Subscribe(operations);
    engine::SetExchangeEndedHandler([&operations] { operations.ExchangeEnded(); });
}

} // namespace

void WireLayers(PanelRefresh& panel, engine::MixerOperations& operations) {
    SetLinkEvents({&connection::LinkLostWhileSending, &LogFrame});
    connection::SetFrontEnd(
        {[](MessageKind kind) { ShowMessage(kind); }, [] { frmControl().Show(); }});
    SetDebugWindowLoader([] { frmDebug(); });
    SetPanelUnloadHandler(&UnloadFrmComm);
    Subscribe(panel);
    WireOperations(operations);
    SetPanelOperations(&operations);
}
