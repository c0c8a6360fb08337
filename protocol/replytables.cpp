#include "protocol/replytables.h"

#include "protocol/protocol.h"

#include <algorithm>

std::array<ReplyCheck, replyCheckCount> replyChecks{};
std::array<Byte, 8> bitMasks{};
std::array<Integer, 32> levelThresholds{};

namespace {

constexpr Byte lowestByte = 0x00;
constexpr Byte highestByte = 0xFF;

// The level code at which each fader step 0..30 begins; the last entry ends step 30.
constexpr std::array<Integer, 32> storedLevelThresholds = {
    48, 49, 50, 52, 54, 56, 58, 59, 60, 61, 63, 66, 68, 69,  70,  71,
    73, 76, 78, 79, 81, 82, 84, 86, 88, 89, 90, 91, 94, 100, 108, 119};

// The fader levels in dB: a coarse start, then steps of 1 dB from -24 to -6,
// steps of 0.5 dB from -5 to +9, and +10.
void FillLevelTable() {
    constexpr std::array<Single, 12> coarse = {-99.0f, -70.0f, -60.0f, -55.0f, -50.0f, -45.0f,
                                               -40.0f, -35.0f, -32.5f, -30.0f, -27.5f, -25.0f};
    std::size_t i = 0;
    for (const Single level : coarse) {
        levelTable[i++] = level;
    }
    for (int db = -24; db <= -6; ++db) {
        levelTable[i++] = static_cast<Single>(db);
    }
    for (int halfDb = -10; halfDb <= 18; ++halfDb) {
        levelTable[i++] = static_cast<Single>(halfDb) / 2.0f;
    }
    levelTable[i] = 10.0f;
}

// Overwrites up to `width` characters from `position` with `value`, never
// past the end of the text.
void Overwrite(QByteArray& text, qsizetype position, qsizetype width, Byte value) {
    const qsizetype end = std::min(text.size(), position + width);
    for (qsizetype p = position; p < end; ++p) {
        text[p] = static_cast<char>(value);
    }
}

void ExpandMarks(QByteArray& text, Byte freeTextValue) {
    for (qsizetype p = text.indexOf(freeTextMark); p >= 0; p = text.indexOf(freeTextMark)) {
        Overwrite(text, p, freeTextWidth, freeTextValue);
    }
    for (qsizetype p = text.indexOf(delMark); p >= 0; p = text.indexOf(delMark)) {
        Overwrite(text, p, 1, delByte);
    }
}

} // namespace

std::array<ReplyCheck, replyCheckCount> StoredReplyChecks() {
    const QByteArray freeNames(48, freeTextMark);
    std::array<ReplyCheck, replyCheckCount> checks{};
    checks[checkInputNames] = {0, freeNames + "000000@ .0 .000", freeNames + "??????\\~Jl~JlIl"};
    checks[checkInputStatus] = {0, "0@0@0@0@0@0@0@@@00000000", "zOzOzOzOzOzOzOOK777777z3"};
    checks[checkMasterName] = {0, "!!!!!!!!@@@@", "!!!!!!!!#C#G"};
    checks[checkSceneName] = {0, "!!!!!!!!", "!!!!!!!!"};
    checks[checkStatus] = {
        0, "000000000000000000000000@@@@@@@@@@@@@@@@000000000000000000000000@@@@@@00@0",
        "@@@@@@@@@@@@@@@@@@@@@@@@#C#C#C#O#OG####Ovvvvvvvvvvvvvvvvvvvvvvvv#C##C#6D#@"};
    return checks;
}

void ExpandReplyChecks(std::array<ReplyCheck, replyCheckCount>& checks) {
    for (ReplyCheck& check : checks) {
        check.length = static_cast<Integer>(check.minBytes.size());
        ExpandMarks(check.minBytes, lowestByte);
        ExpandMarks(check.maxBytes, highestByte);
    }
}

void InitProtocolTables() {
    syncedPanelState = panelState;
    for (std::size_t bit = 0; bit < bitMasks.size(); ++bit) {
        bitMasks[bit] = static_cast<Byte>(1u << bit);
    }
    FillLevelTable();
    replyChecks = StoredReplyChecks();
    ExpandReplyChecks(replyChecks);
    levelThresholds = storedLevelThresholds;
}
