// What the layers above may call in the device protocol: the frame builders,
// the change queue, the reply checks and decoders, the full status read and
// the traffic log. Each applied reply and each complete full read is told to
// the observers (core/observers.h); the protocol draws nothing itself.
#pragma once

#include "core/kinds.h"
#include "core/state.h"

#include <array>
#include <functional>
#include <stdexcept>

// A programming error of a caller: a value that cannot become a byte, an
// index beyond a code list, a kind outside its range.
class ProtocolError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// --- Frames -----------------------------------------------------------------
// Builds the command frame of `kind` into link.buildBuffer; returns its length (5
// or 6), or 0 for a kind that has no frame. Sets link.exchange[replyRecord].length to 1.
Integer BuildCommand(LinkRecord& link, CommandKind kind, const PanelState& state, Integer index);
// Builds a request frame into link.sendBuffer and marks it ready; False when a
// frame is already waiting.
bool BuildRequest(LinkRecord& link, RequestKind kind, Integer index,
                  const std::array<Byte, 2>& param);

// --- Pending changes ----------------------------------------------------------
void MarkChange(LinkRecord& link, CommandKind kind);
// The mirror's whole panel state counts as what the mixer has (after a full
// read), except the changes still marked for sending.
void CountStateAsSent(LinkRecord& link, const MixerMirror& mirror);
void SendPendingChange(LinkRecord& link, MixerMirror& mirror);
bool BuildPendingCommand(LinkRecord& link, MixerMirror& mirror);
void TransmitPending(LinkRecord& link);

// --- Replies -------------------------------------------------------------------
// What was last sent to the mixer starts as the panel's first values.
void InitProtocolTables(LinkRecord& link, const MixerMirror& mirror);
// `kind` and `index` are the reply record's: commandExchange or a request kind.
bool CheckReply(LinkRecord& link, Integer kind, Integer length, Integer index);
bool ApplyReply(LinkRecord& link, MixerMirror& mirror, Integer kind, Integer index);
// Decodes the status reply in link.replyBuffer into mirror.panel (the part of
// ApplyReply that reads its bytes; no observer is told).
void DecodeStatusReply(const LinkRecord& link, MixerMirror& mirror);
Integer LevelFromCode(Integer code);

// --- Traffic log -------------------------------------------------------------
// The frame in link.sendBuffer (sent) or link.replyBuffer (received), dumped in hex and
// as text into the traffic lists, in debug mode.
void LogFrame(LinkRecord& link, TrafficDirection direction, Integer length);
