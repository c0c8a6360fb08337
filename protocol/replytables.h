// The tables that the reply checks and decoders work from: the accepted byte
// range of every position of every checked reply, the bit masks, the
// thresholds that turn a level code into a fader step and the fader levels in
// dB. They are fixed: the ranges are expanded once, before main, and
// everything else is built by the compiler.
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

// The ranges, expanded (the stored strings with their marks replaced).
extern const std::array<ReplyCheck, replyCheckCount> replyChecks;

// bitMasks[b] = 1 << b
inline constexpr std::array<Byte, 8> bitMasks = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

// The level code at which each fader step 0..30 begins; the last entry ends step 30.
inline constexpr std::array<Integer, 32> levelThresholds = {
    48, 49, 50, 52, 54, 56, 58, 59, 60, 61, 63, 66, 68, 69,  70,  71,
    73, 76, 78, 79, 81, 82, 84, 86, 88, 89, 90, 91, 94, 100, 108, 119};

// The fader levels in dB: a coarse start, then steps of 1 dB from -24 to -6,
// steps of 0.5 dB from -5 to +9, and +10.
inline constexpr std::array<Single, 61> levelTable = [] {
    std::array<Single, 61> table{};
    constexpr std::array<Single, 12> coarse = {-99.0f, -70.0f, -60.0f, -55.0f, -50.0f, -45.0f,
                                               -40.0f, -35.0f, -32.5f, -30.0f, -27.5f, -25.0f};
    std::size_t i = 0;
    for (const Single level : coarse) {
        table[i++] = level;
    }
    for (int db = -24; db <= -6; ++db) {
        table[i++] = static_cast<Single>(db);
    }
    for (int halfDb = -10; halfDb <= 18; ++halfDb) {
        table[i++] = static_cast<Single>(halfDb) / 2.0f;
    }
    table[i] = 10.0f;
    return table;
}();

// The range strings as they are stored, before expansion.
std::array<ReplyCheck, replyCheckCount> StoredReplyChecks();

// Sets each entry's length and expands its "!" and "#" marks.
void ExpandReplyChecks(std::array<ReplyCheck, replyCheckCount>& checks);

// True when the data bytes in link.replyBuffer lie within `check`'s ranges and
// their count is `length`. A byte below its range adds "SMALL ERROR", a byte
// above it "BIG ERROR" at the top of the debug window's first two lists.
bool CheckReplyBytes(const LinkRecord& link, const ReplyCheck& check, Integer length);

// The decoders of the "RAST" status bytes. Each takes the position it came
// from and the byte, and writes the field of `state` that position carries;
// a position that carries nothing of its kind leaves `state` unchanged.
void DecodeFlagByte(PanelState& state, Integer position, Byte value);
void DecodeCodeByte(PanelState& state, Integer position, Byte value);
void DecodeLevelByte(PanelState& state, Integer position, Byte value);
