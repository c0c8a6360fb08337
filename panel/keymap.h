// The panel's keys: which key works which button. The same table gives the
// key handler its map and each button's tooltip its key, so the two never
// disagree (README, "Working the panel from the keyboard").
#pragma once

#include <Qt>

#include <array>
#include <optional>

// The panel's groups of picture buttons, by their design names.
enum class ButtonGroup {
    Input,     // SSCommand1, inputs 1..6 as numbered on the panel
    Transport, // SSCommand2, prev .. pause left to right
    Mute,      // SSCommand3, MASTER A and B
    Level,     // SSCommand4, index 2m + (1 for down)
    Scene,     // SSCommand5, scene buttons A..D
};

struct PanelKey {
    Qt::Key key;
    ButtonGroup group;
    int index;
    const char* name; // as the key's cap shows it
    bool held;        // the button acts while the key is held
};

inline constexpr std::array<PanelKey, 23> panelKeys{{
    {Qt::Key_1, ButtonGroup::Input, 0, "1", false},
    {Qt::Key_2, ButtonGroup::Input, 1, "2", false},
    {Qt::Key_3, ButtonGroup::Input, 2, "3", false},
    {Qt::Key_4, ButtonGroup::Input, 3, "4", false},
    {Qt::Key_5, ButtonGroup::Input, 4, "5", false},
    {Qt::Key_6, ButtonGroup::Input, 5, "6", false},
    {Qt::Key_F1, ButtonGroup::Scene, 0, "F1", false},
    {Qt::Key_F2, ButtonGroup::Scene, 1, "F2", false},
    {Qt::Key_F3, ButtonGroup::Scene, 2, "F3", false},
    {Qt::Key_F4, ButtonGroup::Scene, 3, "F4", false},
    {Qt::Key_Q, ButtonGroup::Transport, 0, "Q", true},
    {Qt::Key_W, ButtonGroup::Transport, 1, "W", true},
    {Qt::Key_E, ButtonGroup::Transport, 2, "E", true},
    {Qt::Key_R, ButtonGroup::Transport, 3, "R", true},
    {Qt::Key_T, ButtonGroup::Transport, 4, "T", true},
    {Qt::Key_Y, ButtonGroup::Transport, 5, "Y", true},
    {Qt::Key_U, ButtonGroup::Transport, 6, "U", true},
    {Qt::Key_Up, ButtonGroup::Level, 0, "Up", true},
    {Qt::Key_Down, ButtonGroup::Level, 1, "Down", true},
    {Qt::Key_PageUp, ButtonGroup::Level, 2, "Page Up", true},
    {Qt::Key_PageDown, ButtonGroup::Level, 3, "Page Down", true},
    {Qt::Key_M, ButtonGroup::Mute, 0, "M", false},
    {Qt::Key_N, ButtonGroup::Mute, 1, "N", false},
}};

// The entry of a key; none when the key works no button.
constexpr std::optional<PanelKey> FindPanelKey(int key) {
    for (const PanelKey& entry : panelKeys) {
        if (entry.key == key) {
            return entry;
        }
    }
    return std::nullopt;
}

// The entry of a button; none when no key works it.
constexpr std::optional<PanelKey> KeyOfButton(ButtonGroup group, int index) {
    for (const PanelKey& entry : panelKeys) {
        if (entry.group == group && entry.index == index) {
            return entry;
        }
    }
    return std::nullopt;
}
