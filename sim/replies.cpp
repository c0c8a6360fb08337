#include "sim/replies.h"

#include "sim/levelcode.h"

namespace sim {

namespace {

char Byte(int value) {
    return static_cast<char>(static_cast<unsigned char>(value));
}

char Digit(int value) {
    return Byte('0' + value);
}

// A level code for the channel levels the panel does not show: a fixed spread
// of steps, so the status looks like a working mixer's.
char SpreadLevel(int position) {
    return Byte(LevelCode((position * 7) % (maxLevelStep + 1)));
}

} // namespace

std::string RastData(const MixerModel& model) {
    std::string data(74, '@');
    for (int i = 0; i <= 23; ++i) {
        data[i] = '0';
    }
    int overGain = 0x40;
    int mugen = 0x40;
    int muted = 0x40;
    for (int m = 0; m < masterCount; ++m) {
        const Master& master = model.masters[m];
        if (master.overGain) {
            overGain |= 4 << m;
        }
        if (master.mugen) {
            mugen |= 4 << m;
        }
        if (master.muted) {
            muted |= 1 << m;
        }
    }
    data[31] = Byte(overGain);
    data[33] = Byte(mugen);
    for (int i = 40; i <= 63; ++i) {
        data[i] = SpreadLevel(i);
    }
    data[56] = Byte(LevelCode(model.masters[0].level));
    data[57] = Byte(LevelCode(model.masters[1].level));
    data[68] = Byte(muted);
    data[70] = Digit(model.selectedInput);
    data[71] = Byte(model.recall);
    data[73] = '0';
    return data;
}

std::string RimData(const MixerModel& model, int input) {
    const Input& entry = model.inputs[input - 1];
    std::string data = entry.name;
    data += Digit(entry.status);
    data.append(31, '0');
    return data;
}

std::string Ril3Data(const MixerModel& model) {
    return model.masters[0].name + model.masters[1].name + "00";
}

std::string Ril4Data(const MixerModel& model) {
    std::string data;
    for (const Input& input : model.inputs) {
        data += input.name;
    }
    for (const Input& input : model.inputs) {
        data += Digit(input.status);
    }
    data += "@ .0 .000";
    return data;
}

std::string RsioData(const MixerModel& model) {
    std::string data = "0@0@0@0@0@0@0@@@00000000";
    for (int k = 0; k < inputCount; ++k) {
        data[2 + 2 * k] = Digit(model.inputs[k].status);
    }
    return data;
}

std::string RgfData(const MixerModel& model, int master) {
    return model.masters[master].name + "@@@@";
}

std::string RsciData(const MixerModel& model, int code) {
    const Scene* scene = model.SceneOf(code);
    return scene != nullptr ? scene->name : PadName("");
}

std::string RrsaData(const MixerModel& model) {
    std::string data;
    for (const int code : model.sceneSlots) {
        data += Byte(code);
    }
    return data;
}

} // namespace sim
