#include "app/wiring.h"

#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "core/warn.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "windows/frmcomm.h"
#include "windows/frmdebug.h"
#include "windows/windows.h"

#include <array>

namespace {

void WireOperations(engine::MixerOperations& operations) {
    Subscribe(operations);
    engine::SetExchangeEndedHandler([&operations] { operations.ExchangeEnded(); });
}

// A box's text as one line: its line breaks become blanks.
QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

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
    WireOperations(operations);
    SetPanelOperations(&operations);
}

void WireWindowless(connection::Supervisor& supervisor, engine::MixerOperations& operations) {
    SetLinkEvents({[&supervisor] { supervisor.LinkLostWhileSending(); }, &LogFrame});
    host::SetMsgBoxHandler([](const QString& text, int, const QString&) {
        Warn(OneLine(text));
        return host::mbOk;
    });
    supervisor.SetFrontEnd({
        [](MessageKind kind) { Warn(OneLine(MessageText(kind))); },
        {},
        {},
    });
    // The debug window's lists are kept without a window; in debug mode
    // what they get goes to standard error as well.
    SetDebugWindowLoader([] {});
    static constexpr std::array<const char*, 4> listNames{"sent", "sent text", "received",
                                                          "received text"};
    for (std::size_t i = 0; i < trafficLists.debug.size(); ++i) {
        trafficLists.debug[i].SetView([i](ListBox::Change change, const QString& line) {
            if (change != ListBox::Change::Cleared && programSetup.debugMode == flagTrue) {
                Warn(QStringLiteral("%1: %2").arg(QLatin1String(listNames[i]), line));
            }
        });
    }
    WireOperations(operations);
}
