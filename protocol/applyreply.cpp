// Stores an accepted reply into the state model and lets the panel follow it.
// The receive handler calls this only after CheckReply has held every data
// byte against its range; array indexes taken from the request are checked
// here all the same.
#include "core/observers.h"
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"

namespace {

constexpr Integer receivedDirection = 1;

Text8 NameAt(std::size_t position) {
    return Text8::FromBytes(replyBuffer.data() + position);
}

// "RAST": lamps, muting, selected input, recalled scene and the two levels.
void ApplyStatus() {
    DecodeFlagByte(panelState, reply::overGainPosition, replyBuffer[reply::overGainPosition]);
    DecodeFlagByte(panelState, reply::mugenPosition, replyBuffer[reply::mugenPosition]);
    DecodeFlagByte(panelState, reply::mutedPosition, replyBuffer[reply::mutedPosition]);
    DecodeCodeByte(panelState, reply::inputPosition, replyBuffer[reply::inputPosition]);
    DecodeCodeByte(panelState, reply::recallPosition, replyBuffer[reply::recallPosition]);
    DecodeLevelByte(panelState, reply::levelPositionA, replyBuffer[reply::levelPositionA]);
    DecodeLevelByte(panelState, reply::levelPositionB, replyBuffer[reply::levelPositionB]);
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

bool ApplyReply(Integer kind, Integer index) {
    if (kind < 0 || kind >= static_cast<Integer>(kindFlags.size())) {
        return false; // no such request: nothing is stored and the exchange goes on
    }
    bool statusDecoded = false;
    switch (kind) {
    case kindRecall: // kind 0, the answer to a command
        if (exchange[replyRecord].length != 0) {
            return false;
        }
        break;
    case requestStatus:
        // The status is not applied while a full read is due or a change is
        // unacknowledged: it would overwrite what the user just asked for.
        if (fullStatusNeeded || anyChangePending) {
            kindFlags[static_cast<std::size_t>(kind)].requestOutstanding = flagFalse;
            return true;
        }
        ApplyStatus();
        statusDecoded = true;
        break;
    case requestInputs:
        if (index == reply::inputNamesIndex) {
            ApplyInputNames();
        }
        break;
    case requestInputStatus:
        ApplyInputStatus();
        break;
    case requestMasterName:
        ApplyMasterName(index);
        break;
    case requestSceneName:
        ApplySceneName(index);
        break;
    case requestSceneSlots:
        ApplySceneSlots();
        break;
    default: // "RSTT" and the reserved kind carry nothing to store
        break;
    }
    RefreshFromStatus(kind);
    if (kind != kindRecall) {
        AnnounceReplyApplied(static_cast<RequestKind>(kind));
    }
    if (statusDecoded && debugMode == flagTrue) {
        LogFrame(receivedDirection, reply::statusLength);
    }
    kindFlags[static_cast<std::size_t>(kind)].requestOutstanding = flagFalse;
    return true;
}
