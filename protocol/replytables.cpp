#include "protocol/replytables.h"

#include "protocol/protocol.h"

#include <algorithm>

namespace {

constexpr Byte lowestByte = 0x00;
constexpr Byte highestByte = 0xFF;

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

const std::array<ReplyCheck, replyCheckCount> replyChecks = [] {
    std::array<ReplyCheck, replyCheckCount> checks = StoredReplyChecks();
    ExpandReplyChecks(checks);
    return checks;
}();

void InitProtocolTables(LinkRecord& link, const MixerMirror& mirror) {
    link.synced = mirror.panel;
}
