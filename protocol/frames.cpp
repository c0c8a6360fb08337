// The mixer's frames: a four-letter code, up to two parameter bytes (the
// carriage return is added on the line). Commands are built into link.buildBuffer,
// requests into link.sendBuffer, where they wait for TransmitPending.
#include "protocol/protocol.h"

#include <string>
#include <string_view>

namespace {

constexpr int codeLength = 4;
constexpr int paramOffset = 4;

// Parameter bytes of the command frames.
constexpr int masterFlagBits = 0x40;                   // "@" for master A, "A" for master B
constexpr Byte muteOn = 0x41;                          // "A"
constexpr Byte muteOff = 0x40;                         // "@"
constexpr Byte transportPrefix = 0x38;                 // "8"
constexpr Byte transportReleased = 0x30;               // "0"
constexpr std::string_view transportCodes = "8735142"; // key 0..6
constexpr int inputDigitBase = 0x31;                   // input 0..5 gives "1".."6"

// The command codes by kind.
constexpr std::string_view commandCodes[] = {"CRCL", "CRCS", "CLV+", "CLV-",
                                             "CMUT", "CSEL", "CLVS"};

// The request codes; kinds 3 and 5 pick a group of four characters by index.
constexpr std::string_view inputCodeGroups = "RIM1RIM2RIM3RIM4RIM5RIM6RIL3RIL4RIL4RIL4RIL4RIL4RIL4";
constexpr std::string_view masterNameCodeGroups = "RGFARGFBRGF1RGF2RGF3RGF4RGF5RGF6";

// Bytes expected after the acknowledgement, the carriage return included.
constexpr Integer commandReplyLength = 1;
constexpr Integer statusReplyLength = 75;
constexpr Integer inputNameReplyLength = 41;
constexpr Integer inputListShortReplyLength = 19;
constexpr Integer inputListLongReplyLength = 64;
constexpr Integer inputStatusReplyLength = 25;
constexpr Integer masterNameReplyLength = 13;
constexpr Integer sceneNameReplyLength = 9;
constexpr Integer sceneSlotsReplyLength = 5;

constexpr int sceneButtons = 4;

// A value as a byte; a value outside 0..255 is a caller's error, never truncated.
Byte ToByte(int value, const char* what) {
    if (value < 0 || value > 255) {
        throw ProtocolError(std::string(what) + ": value " + std::to_string(value) +
                            " does not fit in a byte");
    }
    return static_cast<Byte>(value);
}

template <std::size_t N> void WriteCode(std::array<Byte, N>& buffer, std::string_view code) {
    for (int i = 0; i < codeLength; ++i) {
        buffer[static_cast<std::size_t>(i)] = static_cast<Byte>(code[static_cast<std::size_t>(i)]);
    }
}

// The index-th group of four characters of `groups`.
std::string_view CodeGroup(std::string_view groups, Integer index, const char* what) {
    const int count = static_cast<int>(groups.size()) / codeLength;
    if (index < 0 || index >= count) {
        throw ProtocolError(std::string(what) + ": index " + std::to_string(index) +
                            " beyond the code list");
    }
    return groups.substr(static_cast<std::size_t>(index) * codeLength, codeLength);
}

Byte MasterByte(Integer master) {
    if (master < 0 || master > 1) {
        throw ProtocolError("master index " + std::to_string(master) + " is not 0 or 1");
    }
    return ToByte(masterFlagBits | master, "master");
}

Byte TransportByte(Integer key) {
    if (key == -1) {
        return transportReleased;
    }
    if (key < 0 || key >= static_cast<int>(transportCodes.size())) {
        throw ProtocolError("transport key " + std::to_string(key) + " has no code");
    }
    return static_cast<Byte>(transportCodes[static_cast<std::size_t>(key)]);
}

Integer InputListReplyLength(std::string_view code) {
    for (std::string_view name : {"RIM1", "RIM2", "RIM3", "RIM4", "RIM5", "RIM6"}) {
        if (code == name) {
            return inputNameReplyLength;
        }
    }
    if (code == "RIL3") {
        return inputListShortReplyLength;
    }
    return inputListLongReplyLength; // "RIL4"
}

} // namespace

Integer BuildCommand(LinkRecord& link, CommandKind kind, const PanelState& state, Integer index) {
    link.buildBuffer.fill(0);
    if (kind < CommandKind::Recall || kind > CommandKind::LevelStop) {
        return 0;
    }
    // Every parameter is worked out before anything is written, so a value
    // that cannot be sent leaves no half-built frame behind.
    std::array<Byte, 2> params{};
    Integer length = codeLength + 1;
    switch (kind) {
    case CommandKind::Recall:
        params[0] = ToByte(state.recall, "scene code");
        break;
    case CommandKind::Transport:
        params[0] = transportPrefix;
        params[1] = TransportByte(state.transportKey);
        length = codeLength + 2;
        break;
    case CommandKind::LevelUp:
    case CommandKind::LevelDown:
    case CommandKind::LevelStop:
        params[0] = MasterByte(index);
        break;
    case CommandKind::Mute:
        params[0] = MasterByte(index);
        params[1] =
            state.masters[static_cast<std::size_t>(index)].muted == flagTrue ? muteOn : muteOff;
        length = codeLength + 2;
        break;
    case CommandKind::Select:
        params[0] = ToByte(state.selectedInput + inputDigitBase, "selected input");
        break;
    default:
        break;
    }
    WriteCode(link.buildBuffer, commandCodes[static_cast<std::size_t>(kind)]);
    for (int i = 0; i < length - codeLength; ++i) {
        link.buildBuffer[static_cast<std::size_t>(paramOffset + i)] =
            params[static_cast<std::size_t>(i)];
    }
    link.exchange[replyRecord].length = commandReplyLength;
    return length;
}

bool BuildRequest(LinkRecord& link, RequestKind kind, Integer index,
                  const std::array<Byte, 2>& param) {
    if (link.exchange[sendRecord].busy == flagTrue) {
        return false;
    }
    // Work out the frame first: a request that cannot be built changes nothing.
    std::string_view code;
    bool hasParam = false;
    Byte paramByte = 0;
    bool setsReplyLength = true;
    Integer replyLength = 0;
    switch (kind) {
    case RequestKind::Status:
        code = "RAST";
        replyLength = statusReplyLength;
        break;
    case RequestKind::Stt:
        code = "RSTT";
        hasParam = true;
        paramByte = param[0];
        setsReplyLength = false; // the mixer's answer to it has no known length
        break;
    case RequestKind::Inputs:
        code = CodeGroup(inputCodeGroups, index, "input request");
        hasParam = true;
        paramByte = param[0];
        replyLength = InputListReplyLength(code);
        break;
    case RequestKind::InputStatus:
        code = "RSIO";
        replyLength = inputStatusReplyLength;
        break;
    case RequestKind::MasterName:
        code = CodeGroup(masterNameCodeGroups, index, "master name request");
        hasParam = true;
        paramByte = param[0];
        replyLength = masterNameReplyLength;
        break;
    case RequestKind::SceneName:
        if (index < 0 || index >= sceneButtons) {
            throw ProtocolError("scene name request: index " + std::to_string(index) +
                                " is not a scene button");
        }
        code = "RSCI";
        hasParam = true;
        paramByte = ToByte(programSetup.sceneSetup.sceneNumbers[static_cast<std::size_t>(index)],
                           "scene code");
        replyLength = sceneNameReplyLength;
        break;
    case RequestKind::SceneSlots:
        code = "RRSA";
        replyLength = sceneSlotsReplyLength;
        break;
    default:
        throw ProtocolError("request kind " + std::to_string(Value(kind)) + " does not exist");
    }

    link.sendBuffer.fill(0);
    WriteCode(link.sendBuffer, code);
    if (hasParam) {
        link.sendBuffer[paramOffset] = paramByte;
    }
    link.exchange[sendRecord].length = static_cast<Integer>(codeLength + (hasParam ? 1 : 0));
    if (setsReplyLength) {
        link.exchange[replyRecord].length = replyLength;
    }
    link.FlagsOf(kind).requestOutstanding = flagTrue;
    link.exchange[sendRecord].kind = Value(kind);
    link.exchange[sendRecord].index = index;
    link.exchange[sendRecord].busy = flagTrue;
    if (kind != RequestKind::Status && programSetup.debugMode == flagTrue) {
        LogFrame(link, TrafficDirection::Sent,
                 static_cast<Integer>(link.exchange[sendRecord].length + 1));
    }
    return true;
}
