// The simulated mixer's own state: what its front panel shows and what its
// replies report. Numbers are the mixer's: inputs 1..6 (0 = none), masters
// 0 = A and 1 = B, scenes by their codes 49..68, levels as fader steps 0..30.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace sim {

inline constexpr int inputCount = 6;
inline constexpr int masterCount = 2;
inline constexpr int sceneCount = 20;
inline constexpr int firstSceneCode = 49;
inline constexpr int lastSceneCode = firstSceneCode + sceneCount - 1;
inline constexpr int slotCount = 4;
inline constexpr int nameLength = 8;
inline constexpr char noTransportKey = '0';
// The transport keys as the mixer numbers them on the line, in the order of
// the panel's seven keys.
inline constexpr std::string_view transportKeyCodes = "8735142";

struct Input {
    std::string name; // always nameLength characters, blank-padded
    int status = 0;   // status digit 0..9
};

struct Master {
    std::string name;
    int level = 0; // fader step 0..30
    bool muted = false;
    bool overGain = false;
    bool mugen = false;
    int ramp = 0; // +1 rising, -1 falling, 0 still
};

struct Scene {
    std::string name;
    std::array<int, masterCount> levels{};
    std::array<bool, masterCount> muted{};
    int input = 0; // 0 none, 1..6
};

struct MixerModel {
    MixerModel();

    std::array<Input, inputCount> inputs;
    std::array<Master, masterCount> masters;
    std::array<Scene, sceneCount> scenes;
    std::array<int, slotCount> sceneSlots{}; // scene codes on the radio buttons A..D
    int selectedInput = 0;              // 0 none, 1..6
    int recall = 0;                     // scene code last recalled; '0' (0x30) none
    char transportCode = noTransportKey;

    // Recalls a stored scene: its levels, muting and input; stops every level
    // motion. False for a code outside 49..68.
    bool RecallScene(int code);
    // Stores the present levels, muting and input into a scene.
    bool StoreScene(int code);
    Scene* SceneOf(int code);
    const Scene* SceneOf(int code) const;

    // Moves every master in motion one step; a master that reaches the end of
    // the range stops. True while any master is still in motion.
    bool StepLevels();
    bool AnyInMotion() const;
};

// A text of exactly nameLength characters: padded with blanks, cut when longer.
std::string PadName(std::string_view text);

bool IsSceneCode(int code);

// The panel's key index (0..6) of a transport code, -1 for none or unknown.
int TransportKeyIndex(char code);

} // namespace sim
