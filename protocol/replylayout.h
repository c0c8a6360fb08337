// Where the mixer puts what in its status replies: byte positions in
// link.replyBuffer (data bytes only, counted from 0) and the byte values that carry
// a meaning of their own.
#pragma once

#include "core/types.h"

namespace reply {

// --- "RAST", the periodic status (74 data bytes) ------------------------------
constexpr Integer statusLength = 74;
constexpr Integer overGainPosition = 31; // 0x40 OR flags; bit 2 MASTER A, bit 3 MASTER B
constexpr Integer mugenPosition = 33;    // 0x40 OR flags; bit 2 MASTER A, bit 3 MASTER B
constexpr Integer levelPositionA = 56;   // level code of MASTER A, 0x30..0x76
constexpr Integer levelPositionB = 57;   // level code of MASTER B
constexpr Integer mutedPosition = 68;    // 0x40 OR flags; bit 0 MASTER A, bit 1 MASTER B
constexpr Integer inputPosition = 70;    // "0" no input, "1".."6" input 0..5
constexpr Integer recallPosition = 71;   // scene code "0".."D", kept as it is

// The first bit of the lamp flags: bit (lampFirstBit + i) belongs to master i.
constexpr int lampFirstBit = 2;
// The first bit of the muting flags: bit (mutedFirstBit + i) belongs to master i.
constexpr int mutedFirstBit = 0;

constexpr Byte noInputCode = '0';    // byte 70: no input selected
constexpr Byte firstInputCode = '1'; // byte 70: input 0; "6" is input 5

// --- "RIL4", the input names (63 data bytes) -----------------------------------
constexpr Integer inputNamesLength = 63;
constexpr int inputNameCount = 6; // six names of 8 bytes each from position 0, input 0 first

// --- "RSIO", the input status (24 data bytes) ----------------------------------
constexpr Integer inputStatusLength = 24;
constexpr int inputDigitFirstPosition = 2; // the digit of input k is at 2 + 2k
constexpr int inputDigitStride = 2;
constexpr Byte digitZero = '0';
// Positions 1, 3, .., 13 carry a value whose low three bits must not exceed 4.
constexpr int lowBitsFirstPosition = 1;
constexpr int lowBitsStride = 2;
constexpr int lowBitsCount = 7;
constexpr Byte lowBitsMask = 0x07;
constexpr Byte lowBitsHighest = 4;

// --- "RGFA" / "RGFB", the master names (12 data bytes) ---------------------------
constexpr Integer masterNameLength = 12; // the name is at positions 0..7

// --- "RSCI", the scene name (8 data bytes) ---------------------------------------
constexpr Integer sceneNameLength = 8; // the name is at positions 0..7

// --- "RRSA", the scene codes of the radio buttons (4 data bytes) -----------------
constexpr Integer sceneSlotsLength = 4; // position k: the scene code of button A..D

// Request index of "RIL4" within request kind 3 (the only one of the eight
// input replies whose content is kept).
constexpr Integer inputNamesIndex = 7;

} // namespace reply
