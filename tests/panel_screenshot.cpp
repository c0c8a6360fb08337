// panel-screenshot: opens the main panel with a plausible mixer state and
// saves a picture of its client area, e.g. under Xvfb:
//   xvfb-run -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb build/bin/panel-screenshot out.png
// The link is online, or in the state given with --link (not-connected,
// first-contact, reading, online, lost, suspended). QT_SCALE_FACTOR=2 gives
// the picture at twice the resolution.
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "protocol/protocol.h"
#include "tests/support/panelwiring.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {
std::optional<LinkState> LinkStateNamed(const QString& name) {
    const std::array<std::pair<const char*, LinkState>, 6> states{{
        {"not-connected", LinkState::NotConnected},
        {"first-contact", LinkState::FirstContact},
        {"reading", LinkState::Reading},
        {"online", LinkState::Online},
        {"lost", LinkState::Lost},
        {"suspended", LinkState::Suspended},
    }};
    for (const auto& [known, state] : states) {
        if (name == QLatin1String(known)) {
            return state;
        }
    }
    return std::nullopt;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QStringList arguments = QApplication::arguments().mid(1);
    std::optional<LinkState> link = LinkState::Online;
    if (arguments.size() == 3 && arguments[0] == QLatin1String("--link")) {
        link = LinkStateNamed(arguments[1]);
        arguments = arguments.mid(2);
    }
    if (arguments.size() != 1 || !link) {
        std::fprintf(stderr, "usage: panel-screenshot [--link STATE] FILE.png\n"
                             "STATE: not-connected, first-contact, reading, online, lost, "
                             "suspended\n");
        return 2;
    }
    const QString output = arguments[0];
    programSetup.labelFont = FontSpec{QStringLiteral("Arial"), 8, true, 0};
    programSetup.systemState.localeCode = 1;
    programSetup.systemState.deviceResponding = flagTrue;
    const std::array<const char*, 6> names{"Camera 1", "Camera 2", "  PC  ", "Mic", "Video", "Aux"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        mirror.panel.inputs[i].name = Text8(names[i]);
        mirror.panel.inputs[i].status = 0;
    }
    mirror.panel.masters[0].name = Text8("MASTER A");
    mirror.panel.masters[1].name = Text8("MASTER B");
    programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
    mirror.sceneNames = {Text8("Opening"), Text8("Talk"), Text8("Demo"), Text8("Closing")};

    // The panel reads the mirror through the operations, as in the program.
    PanelWiring wiring;
    FrmControl& panel = frmControl();
    // What a status poll would report: input 2 selected, scene B recalled,
    // master A at step 22 and over its gain, master B muted at step 9.
    mirror.panel.selectedInput = 1;
    mirror.panel.recall = 50;
    mirror.panel.masters[0].level = 22;
    mirror.panel.masters[0].lamps = {flagTrue, flagFalse};
    mirror.panel.masters[1].level = 9;
    mirror.panel.masters[1].lamps = {flagFalse, flagTrue};
    mirror.panel.masters[1].muted = flagTrue;
    RefreshFromStatus(Value(RequestKind::Status));
    // The link's state as the connection announces it, to the panel's refresh routines.
    AnnounceLinkState(LinkState::FirstContact);
    AnnounceLinkState(*link);
    panel.Show();

    int status = 1;
    QTimer::singleShot(500, &app, [&] {
        if (panel.grab().save(output)) {
            std::printf("%s: %dx%d\n", qPrintable(output), panel.width(), panel.height());
            status = 0;
        }
        host::EndProgram();
    });
    QApplication::exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
