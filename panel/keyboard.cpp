// The panel from the keyboard: the keys of panel/keymap.h work their buttons
// exactly as the mouse does (the button's own press and release, so the same
// handlers and frames), once per press however long the key is held; Tab
// and Shift+Tab move the focus over the buttons in the panel's reading
// order; leaving the window lets go of what the keys hold.
#include "panel/frmcontrol.h"

#include <QKeyEvent>
#include <QPointer>

#include <algorithm>

namespace {

// Shift and the keypad do not change which button a key works; Control,
// Alt and Meta keep the key for other uses.
bool PlainKey(const QKeyEvent& event) {
    constexpr Qt::KeyboardModifiers plain = Qt::ShiftModifier | Qt::KeypadModifier;
    return (event.modifiers() & ~plain) == Qt::NoModifier;
}

// The press and the release of a key share the scan code; the key's code
// may differ between them when a modifier changed meanwhile.
quint32 KeyId(const QKeyEvent& event) {
    return event.nativeScanCode() != 0 ? event.nativeScanCode()
                                       : static_cast<quint32>(event.key()) | 0x80000000u;
}

} // namespace

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
    const quint32 id = KeyId(*event);
    const bool held = std::any_of(heldKeys_.begin(), heldKeys_.end(),
                                  [id](const HeldKey& k) { return k.id == id; });
    if (!entry || (!held && !PlainKey(*event))) {
        ScaledForm::keyPressEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || held) {
        return; // the key's auto-repeat: the button is pressed once
    }
    SSCommand& button = Button(entry->group, entry->index);
    // Held before the press: a press that waits (a scene recall) processes
    // events, and the key's release may come meanwhile.
    heldKeys_.push_back({id, &button});
    const QPointer<FrmControl> self(this);
    if (!button.KeyDown() && self) {
        // Disabled, or held already (by the mouse or Space): nothing.
        std::erase_if(heldKeys_, [id](const HeldKey& k) { return k.id == id; });
    }
}

void FrmControl::keyReleaseEvent(QKeyEvent* event) {
    const quint32 id = KeyId(*event);
    const auto found = std::find_if(heldKeys_.begin(), heldKeys_.end(),
                                    [id](const HeldKey& k) { return k.id == id; });
    if (found == heldKeys_.end()) {
        ScaledForm::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat()) {
        return;
    }
    SSCommand* const button = found->button;
    heldKeys_.erase(found);
    button->KeyUp();
}

void FrmControl::ReleaseHeldKeys() {
    const QPointer<FrmControl> self(this);
    while (self && !heldKeys_.empty()) {
        SSCommand* const button = heldKeys_.front().button;
        heldKeys_.erase(heldKeys_.begin());
        button->KeyUp();
    }
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
