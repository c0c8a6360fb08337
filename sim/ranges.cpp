#include "sim/ranges.h"

#include <cstdio>
#include <span>

namespace sim {

namespace {

struct Span {
    std::size_t first;
    std::size_t last;
    std::uint8_t lowest;
    std::uint8_t highest;
};

// Accepted ranges per reply, positions from 0, values inclusive; the spans of
// a reply cover every one of its data bytes.
constexpr Span ril4Spans[] = {
    {0, 47, 0x00, 0xFF}, // six input names of 8 bytes
    {48, 53, 0x30, 0x3F}, {54, 54, 0x40, 0x5C}, {55, 55, 0x20, 0x7E}, {56, 56, 0x2E, 0x4A},
    {57, 57, 0x30, 0x6C}, {58, 58, 0x20, 0x7E}, {59, 59, 0x2E, 0x4A}, {60, 60, 0x30, 0x6C},
    {61, 61, 0x30, 0x49}, {62, 62, 0x30, 0x6C},
};
constexpr Span rsioSpans[] = {
    {0, 0, 0x30, 0x7A},   {1, 1, 0x40, 0x4F},   {2, 2, 0x30, 0x7A},   {3, 3, 0x40, 0x4F},
    {4, 4, 0x30, 0x7A},   {5, 5, 0x40, 0x4F},   {6, 6, 0x30, 0x7A},   {7, 7, 0x40, 0x4F},
    {8, 8, 0x30, 0x7A},   {9, 9, 0x40, 0x4F},   {10, 10, 0x30, 0x7A}, {11, 11, 0x40, 0x4F},
    {12, 12, 0x30, 0x7A}, {13, 14, 0x40, 0x4F}, {15, 15, 0x40, 0x4B}, {16, 21, 0x30, 0x37},
    {22, 22, 0x30, 0x7A}, {23, 23, 0x30, 0x33},
};
constexpr Span rgfSpans[] = {
    {0, 7, 0x00, 0xFF}, // master name
    {8, 8, 0x40, 0x7F}, {9, 9, 0x40, 0x43}, {10, 10, 0x40, 0x7F}, {11, 11, 0x40, 0x47},
};
constexpr Span rsciSpans[] = {
    {0, 7, 0x00, 0xFF}, // scene name
};
constexpr Span rastSpans[] = {
    {0, 23, 0x30, 0x40},  {24, 24, 0x40, 0x7F}, {25, 25, 0x40, 0x43}, {26, 26, 0x40, 0x7F},
    {27, 27, 0x40, 0x43}, {28, 28, 0x40, 0x7F}, {29, 29, 0x40, 0x43}, {30, 30, 0x40, 0x7F},
    {31, 31, 0x40, 0x4F}, {32, 32, 0x40, 0x7F}, {33, 33, 0x40, 0x4F}, {34, 34, 0x40, 0x47},
    {35, 38, 0x40, 0x7F}, {39, 39, 0x40, 0x4F}, {40, 63, 0x30, 0x76}, {64, 64, 0x40, 0x7F},
    {65, 65, 0x40, 0x43}, {66, 67, 0x40, 0x7F}, {68, 68, 0x40, 0x43}, {69, 69, 0x40, 0x7F},
    {70, 70, 0x30, 0x36}, {71, 71, 0x30, 0x44}, {72, 72, 0x40, 0x7F}, {73, 73, 0x30, 0x40},
};
std::span<const Span> SpansOf(CheckedReply reply) {
    switch (reply) {
    case CheckedReply::ril4:
        return ril4Spans;
    case CheckedReply::rsio:
        return rsioSpans;
    case CheckedReply::rgf:
        return rgfSpans;
    case CheckedReply::rsci:
        return rsciSpans;
    case CheckedReply::rast:
        break;
    }
    return rastSpans;
}

std::string Hex(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

} // namespace

std::size_t CheckedLength(CheckedReply reply) {
    return SpansOf(reply).back().last + 1;
}

std::optional<RangeViolation> CheckReplyData(CheckedReply reply, std::string_view data) {
    const std::size_t expected = CheckedLength(reply);
    if (data.size() != expected) {
        RangeViolation violation;
        violation.position = data.size();
        violation.what =
            std::to_string(data.size()) + " data bytes instead of " + std::to_string(expected);
        return violation;
    }
    for (const Span& span : SpansOf(reply)) {
        for (std::size_t i = span.first; i <= span.last; ++i) {
            const auto value = static_cast<std::uint8_t>(data[i]);
            if (value < span.lowest || value > span.highest) {
                return RangeViolation{i, value, span.lowest, span.highest,
                                      "byte " + std::to_string(i) + " = " + Hex(value) +
                                          " outside " + Hex(span.lowest) + ".." +
                                          Hex(span.highest)};
            }
        }
    }
    // The status bytes of the input/output report carry a value whose low three
    // bits never exceed 4.
    if (reply == CheckedReply::rsio) {
        for (std::size_t i = 1; i <= 13; i += 2) {
            const auto value = static_cast<std::uint8_t>(data[i]);
            if ((value & 7) > 4) {
                return RangeViolation{i, value, 0x40, 0x4C,
                                      "byte " + std::to_string(i) + " = " + Hex(value) +
                                          " has low bits above 4"};
            }
        }
    }
    return std::nullopt;
}

} // namespace sim
