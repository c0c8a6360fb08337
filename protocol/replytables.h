// The tables that the reply checks and decoders work from: the accepted byte
// range of every position of every checked reply, the bit masks and the
// thresholds that turn a level code into a fader step. They are filled once at
// start-up by InitProtocolTables (protocol/protocol.h) and never change.
#pragma once

#include "core/state.h"

#include <QByteArray>

#include <array>

// The accepted bytes of one reply: character i of minBytes is the lowest and
// character i of maxBytes the highest allowed value of data byte i.
struct ReplyCheck {
    Integer length = 0; // number of data bytes
    QByteArray minBytes;
    QByteArray maxBytes;
};

// Entries of replyChecks.
constexpr int checkInputNames = 0;  // "RIL4"
constexpr int checkInputStatus = 1; // "RSIO"
constexpr int checkMasterName = 2;  // "RGFA", "RGFB"
constexpr int checkSceneName = 3;   // "RSCI"
constexpr int checkStatus = 4;      // "RAST"
constexpr int replyCheckCount = 5;

// In the stored range strings "!" stands for eight bytes of free text (lowest
// 0, highest 255) and "#" for the byte 0x7F.
constexpr char freeTextMark = '!';
constexpr int freeTextWidth = 8;
constexpr char delMark = '#';
constexpr Byte delByte = 0x7F;

extern std::array<ReplyCheck, replyCheckCount> replyChecks;
extern std::array<Byte, 8> bitMasks;            // bitMasks[b] = 1 << b
extern std::array<Integer, 32> levelThresholds; // level code thresholds of the fader steps

// The range strings as they are stored, before expansion.
std::array<ReplyCheck, replyCheckCount> StoredReplyChecks();

// Sets each entry's length and expands its "!" and "#" marks.
void ExpandReplyChecks(std::array<ReplyCheck, replyCheckCount>& checks);

// True when the data bytes in replyBuffer lie within `check`'s ranges and
// their count is `length`. A byte below its range adds "SMALL ERROR", a byte
// above it "BIG ERROR" at the top of the debug window's first two lists.
bool CheckReplyBytes(const ReplyCheck& check, Integer length);

// The decoders of the "RAST" status bytes. Each takes the position it came
// from and the byte, and writes the field of `state` that position carries;
// a position that carries nothing of its kind leaves `state` unchanged.
void DecodeFlagByte(PanelState& state, Integer position, Byte value);
void DecodeCodeByte(PanelState& state, Integer position, Byte value);
void DecodeLevelByte(PanelState& state, Integer position, Byte value);
