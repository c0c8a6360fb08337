#include "service/panelaccess.h"

#include "core/hostfacts.h"
#include "panel/frmcontrol.h"
#include "panel/panel.h"
#include "serial/serial.h"

#include <cstddef>

namespace panelaccess {

namespace {

// A press as the mouse reports it: the left button, no shift key, at the
// control's corner (the handlers do not look at the position).
struct MouseArguments {
    Integer button = 1;
    Integer shift = 0;
    Single x = 0;
    Single y = 0;
};

template <std::size_t N> SSCommand& Control(std::array<SSCommand, N>& controls, int index) {
    return controls.at(static_cast<std::size_t>(index));
}

Integer LevelButtonIndex(int master, bool down) {
    return static_cast<Integer>(2 * master + (down ? 1 : 0));
}

} // namespace

bool PanelLoaded() {
    return FrmControlLoaded();
}

bool ProgramEnding() {
    return host::ProgramEnding();
}

void PressInputButton(int input) {
    MouseArguments m;
    frmControl().SSCommand1_MouseDown(static_cast<Integer>(input), m.button, m.shift, m.x, m.y);
}

void PressTransportKey(int key) {
    MouseArguments m;
    frmControl().SSCommand2_MouseDown(static_cast<Integer>(key), m.button, m.shift, m.x, m.y);
}

void ReleaseTransportKey(int key) {
    MouseArguments m;
    frmControl().SSCommand2_MouseUp(static_cast<Integer>(key), m.button, m.shift, m.x, m.y);
}

void PressMuteButton(int master) {
    MouseArguments m;
    frmControl().SSCommand3_MouseDown(static_cast<Integer>(master), m.button, m.shift, m.x, m.y);
}

void PressLevelButton(int master, bool down) {
    MouseArguments m;
    frmControl().SSCommand4_MouseDown(LevelButtonIndex(master, down), m.button, m.shift, m.x, m.y);
}

void ReleaseLevelButton(int master, bool down) {
    MouseArguments m;
    frmControl().SSCommand4_MouseUp(LevelButtonIndex(master, down), m.button, m.shift, m.x, m.y);
}

void PressSceneButton(int button) {
    MouseArguments m;
    frmControl().SSCommand5_MouseDown(static_cast<Integer>(button), m.button, m.shift, m.x, m.y);
}

bool TransportKeyEnabled(int key) {
    return Control(frmControl().SSCommand2, key).Enabled();
}

bool LevelButtonsEnabled(int master) {
    FrmControl& panel = frmControl();
    return Control(panel.SSCommand4, LevelButtonIndex(master, false)).Enabled() &&
           Control(panel.SSCommand4, LevelButtonIndex(master, true)).Enabled();
}

bool RecallWaitRunning() {
    return FrmControlLoaded() && frmControl().RecallWaitRunning();
}

QString PortPath() {
    return SerialPort::DevicePath(comm().MSComm1.CommPort());
}

void RaisePanel() {
    if (!FrmControlLoaded()) {
        return;
    }
    FrmControl& panel = frmControl();
    panel.setWindowState((panel.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    panel.show();
    panel.raise();
    panel.activateWindow();
}

} // namespace panelaccess
