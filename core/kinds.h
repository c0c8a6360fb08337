// Names for the numbers that cross the program's layers: the kinds of
// command and request, the two messages, the traffic directions and the
// link's result codes. Each value is the protocol's own number; the records
// that hold one keep the 16-bit Integer (Value() gives it).
#pragma once

#include "core/types.h"

// The change commands, in the order in which a marked change wins.
enum class CommandKind : Integer {
    Recall = 0,    // "CRCL": scene recall
    Transport = 1, // "CRCS": transport key held or released
    LevelUp = 2,   // "CLV+": start raising a master level
    LevelDown = 3, // "CLV-": start lowering a master level
    Mute = 4,      // "CMUT": muting of a master
    Select = 5,    // "CSEL": input selection
    LevelStop = 6, // "CLVS": stop a master's level motion
    Reserved = 7,  // never built
};
constexpr int commandKindCount = 8;

// The status requests. An exchange record's kind is one of these, or 0 for a
// change command (commandExchange).
enum class RequestKind : Integer {
    Status = 1,      // "RAST"
    Stt = 2,         // "RSTT"
    Inputs = 3,      // "RIM1".."RIM6", "RIL3", "RIL4"
    InputStatus = 4, // "RSIO"
    MasterName = 5,  // "RGFA", "RGFB", "RGF1".."RGF6"
    SceneName = 6,   // "RSCI"
    SceneSlots = 7,  // "RRSA"
};
constexpr Integer commandExchange = 0;

// The program's two messages to the user.
enum class MessageKind : Integer {
    FaderNotice = 0, // "All virtual faders will be reset to full down positoin."
    Connection = 1,  // "Unable to connect to Dorvane." ...
};

// Frames sent and received, as the traffic log lists them.
enum class TrafficDirection : Integer { Sent = 0, Received = 1 };

// Results of the link, in ExchangeRecord::status and as results.
enum class LinkResult : Integer {
    Ok = 0,        // sent, or nothing yet
    Accepted = -1, // reply complete and accepted
    Refused = -2,  // NAK
    Timeout = -3,  // no valid reply by the third reply-timer tick
    Dead = -9,     // link dead or port not open
};

// The protocol's number of a kind or code.
template <class Kind> constexpr Integer Value(Kind kind) {
    return static_cast<Integer>(kind);
}
