// Stores an accepted reply into the state model and tells the observers.
// The receive handler calls this only after CheckReply has held every data
// byte against its range; array indexes taken from the request are checked
// here all the same.
#include "core/observers.h"
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"

namespace {

Text8 NameAt(std::size_t position) {
    return Text8::FromBytes(replyBuffer.data() + position);
}

// "RIL4": six names of eight bytes, input 0 first.
void ApplyInputNames() {
    for (std::size_t k = 0; k < reply::inputNameCount; ++k) {
        panelState.inputs[k].name = NameAt(Text8::size * k);
    }
}

// "RSIO": the status digit of each input.
void ApplyInputStatus() {
    for (std::size_t k = 0; k < panelState.inputs.size(); ++k) {
        const Byte digit =
            replyBuffer[reply::inputDigitFirstPosition + reply::inputDigitStride * k];
        panelState.inputs[k].status = static_cast<Integer>(digit - reply::digitZero);
    }
}

// "RGFA" / "RGFB": the name of master `index`; no other master exists.
void ApplyMasterName(Integer index) {
    if (index >= 0 && index < static_cast<Integer>(panelState.masters.size())) {
        panelState.masters[static_cast<std::size_t>(index)].name = NameAt(0);
    }
}

// "RSCI": the name of the scene on radio button `index` (A..D).
void ApplySceneName(Integer index) {
    if (index >= 0 && index < static_cast<Integer>(sceneNames.size())) {
        sceneNames[static_cast<std::size_t>(index)] = NameAt(0);
    }
}

// "RRSA": the scene code of each radio button, unchanged.
void ApplySceneSlots() {
    for (std::size_t k = 0; k < sceneSetup.sceneNumbers.size(); ++k) {
        sceneSetup.sceneNumbers[k] = replyBuffer[k];
    }
}

} // namespace

// "RAST": lamps, muting, selected input, recalled scene and the two levels.
void DecodeStatusReply() {
    DecodeFlagByte(panelState, reply::overGainPosition, replyBuffer[reply::overGainPosition]);
    DecodeFlagByte(panelState, reply::mugenPosition, replyBuffer[reply::mugenPosition]);
    DecodeFlagByte(panelState, reply::mutedPosition, replyBuffer[reply::mutedPosition]);
    DecodeCodeByte(panelState, reply::inputPosition, replyBuffer[reply::inputPosition]);
    DecodeCodeByte(panelState, reply::recallPosition, replyBuffer[reply::recallPosition]);
    DecodeLevelByte(panelState, reply::levelPositionA, replyBuffer[reply::levelPositionA]);
    DecodeLevelByte(panelState, reply::levelPositionB, replyBuffer[reply::levelPositionB]);
}

bool ApplyReply(Integer kind, Integer index) {
    if (kind < 0 || kind >= static_cast<Integer>(kindFlags.size())) {
        return false; // no such request: nothing is stored and the exchange goes on
    }
    KindFlags& flags = kindFlags[static_cast<std::size_t>(kind)];
    if (kind == commandExchange) { // the answer to a command
        if (exchange[replyRecord].length != 0) {
            return false;
        }
        flags.requestOutstanding = flagFalse;
        return true;
    }
    const auto request = static_cast<RequestKind>(kind);
    bool statusDecoded = false;
    switch (request) {
    case RequestKind::Status:
        // The status is not applied while a full read is due or a change is
        // unacknowledged: it would overwrite what the user just asked for.
        if (fullStatusNeeded || anyChangePending) {
            flags.requestOutstanding = flagFalse;
            return true;
        }
        DecodeStatusReply();
        statusDecoded = true;
        break;
    case RequestKind::Inputs:
        if (index == reply::inputNamesIndex) {
            ApplyInputNames();
        }
        break;
    case RequestKind::InputStatus:
        ApplyInputStatus();
        break;
    case RequestKind::MasterName:
        ApplyMasterName(index);
        break;
    case RequestKind::SceneName:
        ApplySceneName(index);
        break;
    case RequestKind::SceneSlots:
        ApplySceneSlots();
        break;
    default: // "RSTT" carries nothing to store
        break;
    }
    AnnounceReplyApplied(request);
    if (statusDecoded) {
        LogFrame(TrafficDirection::Received, reply::statusLength);
    }
    flags.requestOutstanding = flagFalse;
    return true;
}
