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

void WireLayers(PanelRefresh& panel) {
    SetLinkEvents({&ConnectionLost, &LogFrame});
    connection::SetFrontEnd(
        {[](MessageKind kind) { ShowMessage(kind); }, [] { frmControl().Show(); }});
    SetDebugWindowLoader([] { frmDebug(); });
    SetPanelUnloadHandler(&UnloadFrmComm);
    Subscribe(panel);
}
