// libFuzzer target: any bytes as a reply to any request. The first three
// bytes choose the kind, the index and the data length; the rest is the data.
// A reply that passes the checks must decode into a state that keeps the
// panel's invariants, and nothing outside the reply buffer is ever read.
#include "core/state.h"
#include "protocol/protocol.h"
#include "protocol/replylayout.h"
#include "protocol/replytables.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
// The mirror of the mixer and the exchange with it, as the program's main
// owns them; each input starts from fresh ones.
MixerMirror mirror;
LinkRecord linkRecord;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    ResetSharedState();
    mirror = MixerMirror{};
    linkRecord = LinkRecord{};
    InitProtocolTables(linkRecord, mirror);
    const auto kind = static_cast<Integer>(static_cast<std::int8_t>(data[0]) % 10);
    const auto index = static_cast<Integer>(static_cast<std::int8_t>(data[1]) % 16);
    // Lengths around and beyond the buffer's size, negative ones included.
    const auto length = static_cast<Integer>(static_cast<int>(data[2]) * 2 - 100);
    const std::size_t payload = std::min(size - 3, linkRecord.replyBuffer.size());
    std::memcpy(linkRecord.replyBuffer.data(), data + 3, payload);

    const bool accepted = CheckReply(linkRecord, kind, length, index);
    if (accepted && (length < 0 || length > replyBufferSize)) {
        std::abort();
    }
    if (accepted && kind == Value(RequestKind::Status)) {
        if (length != reply::statusLength) {
            std::abort();
        }
        // The panel's own decoding: every field it reads is fuzzed.
        DecodeStatusReply(linkRecord, mirror);
        if (mirror.panel.selectedInput < -1 || mirror.panel.selectedInput > 5) {
            std::abort();
        }
        for (const MasterSection& master : mirror.panel.masters) {
            if (master.level < 0 || master.level > 30) {
                std::abort();
            }
        }
    }
    if (accepted && kind == Value(RequestKind::InputStatus)) {
        for (int k = 0; k < reply::lowBitsCount; ++k) {
            const Byte value =
                linkRecord.replyBuffer[reply::lowBitsFirstPosition + reply::lowBitsStride * k];
            if ((value & reply::lowBitsMask) > reply::lowBitsHighest) {
                std::abort();
            }
        }
    }
    // Any level code at all gives a fader step.
    const auto code = static_cast<Integer>(data[0] << 8 | data[1]);
    const Integer step = LevelFromCode(code);
    if (step < 0 || step > 30) {
        std::abort();
    }
    return 0;
}
