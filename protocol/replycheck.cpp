// Whether a complete reply may be applied, and the decoders of the status
// bytes. Every data byte is held against its range before anything is stored.
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"

namespace {

const QString smallErrorLine = QStringLiteral("SMALL ERROR");
const QString bigErrorLine = QStringLiteral("BIG ERROR");

// The protocol's error lines go to the top of the debug window's first two lists.
void AddErrorLine(const QString& line) {
    trafficLists.debug[0].InsertItem(line);
    trafficLists.debug[1].InsertItem(line);
}

// The check entry for a reply, or -1 when the reply has no range table.
int CheckEntryFor(RequestKind kind, Integer index) {
    switch (kind) {
    case RequestKind::Status:
        return checkStatus;
    case RequestKind::Inputs:
        return index == reply::inputNamesIndex ? checkInputNames : -1;
    case RequestKind::InputStatus:
        return checkInputStatus;
    case RequestKind::MasterName:
        return checkMasterName;
    case RequestKind::SceneName:
        return checkSceneName;
    default:
        return -1;
    }
}

// "RSIO": the odd positions 1..13 carry a value whose low three bits do not exceed 4.
bool InputStatusLowBitsValid(const LinkRecord& link) {
    for (int k = 0; k < reply::lowBitsCount; ++k) {
        const Byte value = link.replyBuffer[reply::lowBitsFirstPosition + reply::lowBitsStride * k];
        if ((value & reply::lowBitsMask) > reply::lowBitsHighest) {
            return false;
        }
    }
    return true;
}

bool FlagFromMask(Byte value, Byte mask) {
    return (value & mask) != 0;
}

} // namespace

bool CheckReplyBytes(const LinkRecord& link, const ReplyCheck& check, Integer length) {
    if (check.length != length) {
        return false;
    }
    // A table shorter than its own length, or longer than the reply buffer,
    // cannot vouch for the bytes.
    if (length < 0 || length > replyBufferSize || check.minBytes.size() < length ||
        check.maxBytes.size() < length) {
        return false;
    }
    for (Integer i = 0; i < length; ++i) {
        const Byte value = link.replyBuffer[static_cast<std::size_t>(i)];
        if (value < static_cast<Byte>(check.minBytes[i])) {
            AddErrorLine(smallErrorLine);
            return false;
        }
        if (static_cast<Byte>(check.maxBytes[i]) < value) {
            AddErrorLine(bigErrorLine);
            return false;
        }
    }
    return true;
}

bool CheckReply(LinkRecord& link, Integer kind, Integer length, Integer index) {
    if (length < 0 || length > replyBufferSize) {
        return false;
    }
    if (kind == commandExchange) { // a command was answered, which carries no data
        if (length != 0) {
            return false;
        }
        link.anyChangePending = false;
        return true;
    }
    if (kind < Value(RequestKind::Status) || kind > Value(RequestKind::SceneSlots)) {
        return false; // no request of this kind exists
    }
    const auto request = static_cast<RequestKind>(kind);
    if (request == RequestKind::SceneSlots) {
        // "RRSA" has no range table, but its four scene codes are stored:
        // a reply of another length would store stale bytes.
        return length == reply::sceneSlotsLength;
    }
    const int entry = CheckEntryFor(request, index);
    if (entry < 0) {
        return true; // paced by the series only; nothing of it is stored
    }
    if (!CheckReplyBytes(link, replyChecks[static_cast<std::size_t>(entry)], length)) {
        return false;
    }
    if (request == RequestKind::InputStatus && !InputStatusLowBitsValid(link)) {
        return false;
    }
    return true;
}

Integer LevelFromCode(Integer code) {
    for (std::size_t i = 0; i + 1 < levelThresholds.size(); ++i) {
        if (levelThresholds[i] <= code && code < levelThresholds[i + 1]) {
            return static_cast<Integer>(i);
        }
    }
    return 0;
}

void DecodeFlagByte(PanelState& state, Integer position, Byte value) {
    for (std::size_t i = 0; i < state.masters.size(); ++i) {
        MasterSection& master = state.masters[i];
        switch (position) {
        case reply::overGainPosition:
            master.lamps[overGain] = ToFlag(FlagFromMask(value, bitMasks[reply::lampFirstBit + i]));
            break;
        case reply::mugenPosition:
            master.lamps[mugen] = ToFlag(FlagFromMask(value, bitMasks[reply::lampFirstBit + i]));
            break;
        case reply::mutedPosition:
            master.muted = ToFlag(FlagFromMask(value, bitMasks[reply::mutedFirstBit + i]));
            break;
        default:
            return;
        }
    }
}

void DecodeCodeByte(PanelState& state, Integer position, Byte value) {
    if (position == reply::inputPosition) {
        // Only "0".."6" name an input (or none); the range check lets nothing else through.
        if (value == reply::noInputCode) {
            state.selectedInput = -1;
        } else if (value >= reply::firstInputCode &&
                   value < reply::firstInputCode + static_cast<int>(state.inputs.size())) {
            state.selectedInput = static_cast<Integer>(value - reply::firstInputCode);
        }
    } else if (position == reply::recallPosition) {
        state.recall = value;
    }
}

void DecodeLevelByte(PanelState& state, Integer position, Byte value) {
    if (position != reply::levelPositionA && position != reply::levelPositionB) {
        return;
    }
    const auto master = static_cast<std::size_t>(position - reply::levelPositionA);
    state.masters[master].level = LevelFromCode(value);
}
