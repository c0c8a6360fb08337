#include "sim/model.h"

#include "sim/levelcode.h"

namespace sim {

namespace {

constexpr std::array<std::string_view, inputCount> inputNames = {"CAM 1", "CAM 2", "PC",
                                                                 "VTR",   "MIC",   "AUX"};
constexpr std::array<int, inputCount> inputStatus = {1, 1, 1, 0, 1, 0};
constexpr std::array<std::string_view, 8> sceneTitles = {"OPENING", "INTERVW", "NEWS",  "CLOSING",
                                                         "BREAK",   "MUSIC",   "PANEL", "CREDITS"};

} // namespace

std::string PadName(std::string_view text) {
    std::string name(text.substr(0, nameLength));
    name.resize(nameLength, ' ');
    return name;
}

bool IsSceneCode(int code) {
    return code >= firstSceneCode && code <= lastSceneCode;
}

int TransportKeyIndex(char code) {
    if (code == noTransportKey) {
        return -1;
    }
    const auto at = transportKeyCodes.find(code);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

MixerModel::MixerModel() {
    for (int i = 0; i < inputCount; ++i) {
        inputs[i].name = PadName(inputNames[i]);
        inputs[i].status = inputStatus[i];
    }
    masters[0].name = PadName("MASTER A");
    masters[1].name = PadName("MASTER B");
    for (int k = 0; k < sceneCount; ++k) {
        Scene& scene = scenes[k];
        if (k < static_cast<int>(sceneTitles.size())) {
            scene.name = PadName(sceneTitles[k]);
        } else {
            scene.name = PadName("SCENE " + std::to_string(k + 1));
        }
        scene.levels = {(12 + 5 * k) % (maxLevelStep + 1),
                        (25 - 3 * k + 3 * maxLevelStep) % (maxLevelStep + 1)};
        scene.muted = {k % 7 == 6, k % 5 == 4};
        scene.input = k % inputCount + 1;
    }
    sceneSlots = {firstSceneCode, firstSceneCode + 1, firstSceneCode + 2, firstSceneCode + 3};
    RecallScene(firstSceneCode);
}

Scene* MixerModel::SceneOf(int code) {
    return IsSceneCode(code) ? &scenes[code - firstSceneCode] : nullptr;
}

const Scene* MixerModel::SceneOf(int code) const {
    return IsSceneCode(code) ? &scenes[code - firstSceneCode] : nullptr;
}

bool MixerModel::RecallScene(int code) {
    const Scene* scene = SceneOf(code);
    if (scene == nullptr) {
        return false;
    }
    for (int m = 0; m < masterCount; ++m) {
        masters[m].level = scene->levels[m];
        masters[m].muted = scene->muted[m];
        masters[m].ramp = 0;
    }
    selectedInput = scene->input;
    recall = code;
    return true;
}

bool MixerModel::StoreScene(int code) {
    Scene* scene = SceneOf(code);
    if (scene == nullptr) {
        return false;
    }
    for (int m = 0; m < masterCount; ++m) {
        scene->levels[m] = masters[m].level;
        scene->muted[m] = masters[m].muted;
    }
    scene->input = selectedInput;
    return true;
}

bool MixerModel::StepLevels() {
    for (Master& master : masters) {
        if (master.ramp == 0) {
            continue;
        }
        const int next = master.level + master.ramp;
        if (next < 0 || next > maxLevelStep) {
            master.ramp = 0;
            continue;
        }
        master.level = next;
        if (next == 0 || next == maxLevelStep) {
            master.ramp = 0;
        }
    }
    return AnyInMotion();
}

bool MixerModel::AnyInMotion() const {
    for (const Master& master : masters) {
        if (master.ramp != 0) {
            return true;
        }
    }
    return false;
}

} // namespace sim
