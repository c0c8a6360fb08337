// Stores an accepted reply into the state model and tells the observers.
// The receive handler calls this only after CheckReply has held every data
// byte against its range; array indexes taken from the request are checked
// here all the same.
#include "core/observers.h"
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"

namespace {

Text8 NameAt(const LinkRecord& link, std::size_t position) {
    return Text8::FromBytes(link.replyBuffer.data() + position);
}

// "RIL4": six names of eight bytes, input 0 first.
void ApplyInputNames(const LinkRecord& link, MixerMirror& mirror) {
    for (std::size_t k = 0; k < reply::inputNameCount; ++k) {
        mirror.panel.inputs[k].name = NameAt(link, Text8::size * k);
    }
}

// "RSIO": the status digit of each input.
void ApplyInputStatus(const LinkRecord& link, MixerMirror& mirror) {
    for (std::size_t k = 0; k < mirror.panel.inputs.size(); ++k) {
        const Byte digit =
            link.replyBuffer[reply::inputDigitFirstPosition + reply::inputDigitStride * k];
        mirror.panel.inputs[k].status = static_cast<Integer>(digit - reply::digitZero);
    }
}

// "RGFA" / "RGFB": the name of master `index`; no other master exists.
void ApplyMasterName(const LinkRecord& link, MixerMirror& mirror, Integer index) {
    if (index >= 0 && index < static_cast<Integer>(mirror.panel.masters.size())) {
        mirror.panel.masters[static_cast<std::size_t>(index)].name = NameAt(link, 0);
    }
}

// "RSCI": the name of the scene on radio button `index` (A..D).
void ApplySceneName(const LinkRecord& link, MixerMirror& mirror, Integer index) {
    if (index >= 0 && index < static_cast<Integer>(mirror.sceneNames.size())) {
        mirror.sceneNames[static_cast<std::size_t>(index)] = NameAt(link, 0);
    }
}

// "RRSA": the scene code of each radio button, unchanged.
void ApplySceneSlots(const LinkRecord& link) {
    for (std::size_t k = 0; k < programSetup.sceneSetup.sceneNumbers.size(); ++k) {
        programSetup.sceneSetup.sceneNumbers[k] = link.replyBuffer[k];
    }
}

} // namespace

// "RAST": lamps, muting, selected input, recalled scene and the two levels.
void DecodeStatusReply(const LinkRecord& link, MixerMirror& mirror) {
    DecodeFlagByte(mirror.panel, reply::overGainPosition,
                   link.replyBuffer[reply::overGainPosition]);
    DecodeFlagByte(mirror.panel, reply::mugenPosition, link.replyBuffer[reply::mugenPosition]);
    DecodeFlagByte(mirror.panel, reply::mutedPosition, link.replyBuffer[reply::mutedPosition]);
    DecodeCodeByte(mirror.panel, reply::inputPosition, link.replyBuffer[reply::inputPosition]);
    DecodeCodeByte(mirror.panel, reply::recallPosition, link.replyBuffer[reply::recallPosition]);
    DecodeLevelByte(mirror.panel, reply::levelPositionA, link.replyBuffer[reply::levelPositionA]);
    DecodeLevelByte(mirror.panel, reply::levelPositionB, link.replyBuffer[reply::levelPositionB]);
}

bool ApplyReply(LinkRecord& link, MixerMirror& mirror, Integer kind, Integer index) {
    if (kind < 0 || kind >= static_cast<Integer>(link.kindFlags.size())) {
        return false; // no such request: nothing is stored and the exchange goes on
    }
    KindFlags& flags = link.kindFlags[static_cast<std::size_t>(kind)];
    if (kind == commandExchange) { // the answer to a command
        if (link.exchange[replyRecord].length != 0) {
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
        if (link.fullStatusNeeded || link.anyChangePending) {
            flags.requestOutstanding = flagFalse;
            return true;
        }
        DecodeStatusReply(link, mirror);
        statusDecoded = true;
        break;
    case RequestKind::Inputs:
        if (index == reply::inputNamesIndex) {
            ApplyInputNames(link, mirror);
        }
        break;
    case RequestKind::InputStatus:
        ApplyInputStatus(link, mirror);
        break;
    case RequestKind::MasterName:
        ApplyMasterName(link, mirror, index);
        break;
    case RequestKind::SceneName:
        ApplySceneName(link, mirror, index);
        break;
    case RequestKind::SceneSlots:
        ApplySceneSlots(link);
        break;
    default: // "RSTT" carries nothing to store
        break;
    }
    AnnounceReplyApplied(request);
    if (statusDecoded) {
        LogFrame(link, TrafficDirection::Received, reply::statusLength);
    }
    flags.requestOutstanding = flagFalse;
    return true;
}
