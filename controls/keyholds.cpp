#include "controls/keyholds.h"

#include "controls/sscommand.h"

#include <QKeyEvent>

#include <algorithm>

KeyHolds::KeyHolds() {
    grace_.setSingleShot(true);
    grace_.setInterval(graceMs);
    grace_.callOnTimeout([this] { LetGoReleased(); });
}

// The press and the release of a key share the scan code; the key's code
// may differ between them when a modifier changed meanwhile.
quint32 KeyHolds::KeyOf(const QKeyEvent& event) {
    return event.nativeScanCode() != 0 ? event.nativeScanCode()
                                       : static_cast<quint32>(event.key()) | 0x80000000u;
}

std::vector<KeyHolds::Hold>::iterator KeyHolds::Find(quint32 key) {
    return std::find_if(holds_.begin(), holds_.end(),
                        [key](const Hold& h) { return h.key == key; });
}

bool KeyHolds::Holds(const QKeyEvent& event) const {
    const quint32 key = KeyOf(event);
    return std::any_of(holds_.begin(), holds_.end(), [key](const Hold& h) { return h.key == key; });
}

bool KeyHolds::Takes(const QKeyEvent& event) const {
    constexpr Qt::KeyboardModifiers plain = Qt::ShiftModifier | Qt::KeypadModifier;
    return Holds(event) || (event.modifiers() & ~plain) == Qt::NoModifier;
}

void KeyHolds::Press(const QKeyEvent& event, SSCommand& button) {
    const quint32 key = KeyOf(event);
    const auto hold = Find(key);
    if (hold != holds_.end()) {
        if (!hold->releasing) {
            return; // held: its repeat
        }
        if (event.isAutoRepeat() || event.timestamp() == hold->releaseStamp) {
            hold->releasing = false; // the release was the repeat's
            return;
        }
        LetGo(key); // released, and pressed again
    } else if (event.isAutoRepeat()) {
        return; // the repeat of a key that holds nothing (disabled, or let go)
    }
    // Held before the press: a press that waits (a scene recall) processes
    // events, and the key's release may come meanwhile.
    holds_.push_back({key, &button, false, 0});
    const QPointer<SSCommand> pressed(&button);
    if (!button.KeyDown() && pressed) {
        // Disabled, or held already (by the mouse or another key): nothing.
        const auto refused = Find(key);
        if (refused != holds_.end() && refused->button == pressed) {
            holds_.erase(refused);
        }
    }
}

bool KeyHolds::Release(const QKeyEvent& event) {
    const auto hold = Find(KeyOf(event));
    if (hold == holds_.end()) {
        return false;
    }
    if (!event.isAutoRepeat() && !hold->releasing) {
        hold->releasing = true;
        hold->releaseStamp = event.timestamp();
        grace_.start();
    }
    return true;
}

void KeyHolds::LetGo(quint32 key) {
    const auto hold = Find(key);
    if (hold == holds_.end()) {
        return;
    }
    const QPointer<SSCommand> button = hold->button;
    holds_.erase(hold);
    if (button) {
        button->KeyUp();
    }
}

void KeyHolds::LetGoReleased() {
    for (;;) {
        const auto released =
            std::find_if(holds_.begin(), holds_.end(), [](const Hold& h) { return h.releasing; });
        if (released == holds_.end()) {
            return;
        }
        LetGo(released->key);
    }
}

void KeyHolds::LetGoAll() {
    grace_.stop();
    while (!holds_.empty()) {
        LetGo(holds_.front().key);
    }
}
