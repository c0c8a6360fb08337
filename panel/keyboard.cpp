// The panel from the keyboard: the keys of panel/keymap.h work their buttons
// exactly as the mouse does (the button's own press and release, so the same
// handlers and frames), once per press however long the key is held; Tab
// and Shift+Tab move the focus over the buttons in the panel's reading
// order; leaving the window lets go of what the keys hold.
#include "panel/frmcontrol.h"

#include <QKeyEvent>

SSCommand& FrmControl::Button(ButtonGroup group, int index) {
    const auto at = static_cast<std::size_t>(index);
    switch (group) {
    case ButtonGroup::Input:
        return SSCommand1.at(at);
    case ButtonGroup::Transport:
        return SSCommand2.at(at);
    case ButtonGroup::Mute:
        return SSCommand3.at(at);
    case ButtonGroup::Level:
        return SSCommand4.at(at);
    case ButtonGroup::Scene:
        break;
    }
    return SSCommand5.at(at);
}

// Reading order: the inputs as numbered, the transport keys left to right,
// each master's level up, level down and muting, the scenes A to D.
void FrmControl::SetUpKeyboard() {
    std::vector<QWidget*> order;
    for (SSCommand& button : SSCommand1) {
        order.push_back(&button);
    }
    for (SSCommand& button : SSCommand2) {
        order.push_back(&button);
    }
    for (std::size_t m = 0; m < 2; ++m) {
        order.push_back(&SSCommand4[2 * m]);
        order.push_back(&SSCommand4[2 * m + 1]);
        order.push_back(&SSCommand3[m]);
    }
    for (SSCommand& button : SSCommand5) {
        order.push_back(&button);
    }
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void FrmControl::keyPressEvent(QKeyEvent* event) {
    const std::optional<PanelKey> entry = FindPanelKey(event->key());
    if (!entry || !keyHolds_.Takes(*event)) {
        ScaledForm::keyPressEvent(event);
        return;
    }
    event->accept();
    keyHolds_.Press(*event, Button(entry->group, entry->index));
}

void FrmControl::keyReleaseEvent(QKeyEvent* event) {
    if (!keyHolds_.Release(*event)) {
        ScaledForm::keyReleaseEvent(event);
        return;
    }
    event->accept();
}

void FrmControl::ReleaseHeldKeys() {
    keyHolds_.LetGoAll();
}

// A window that is no longer active gets no key releases: what the keys
// hold is let go at once.
bool FrmControl::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) {
        ReleaseHeldKeys();
    }
    return ScaledForm::event(event);
}

void FrmControl::hideEvent(QHideEvent* event) {
    ReleaseHeldKeys();
    ScaledForm::hideEvent(event);
}
