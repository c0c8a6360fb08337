// The byte ranges that a panel accepts in the mixer's replies. Every reply the
// simulator builds is checked against them before it goes on the line, so a
// fault in the simulated mixer's model shows up here and not in the panel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// The replies whose contents have accepted ranges.
enum class CheckedReply { ril4, rsio, rgf, rsci, rast };

struct RangeViolation {
    std::size_t position = 0; // byte position in the data, or the data length on a length fault
    std::uint8_t value = 0;
    std::uint8_t lowest = 0;
    std::uint8_t highest = 0;
    std::string what; // a readable description
};

// The number of data bytes of the reply.
std::size_t CheckedLength(CheckedReply reply);

// Checks the data bytes (without the acknowledgement and the carriage return).
// Empty when the data is acceptable.
std::optional<RangeViolation> CheckReplyData(CheckedReply reply, std::string_view data);

} // namespace sim
