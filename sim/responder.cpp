#include "sim/responder.h"

#include "sim/levelcode.h"
#include "sim/ranges.h"
#include "sim/replies.h"

#include <cstdio>
#include <optional>

namespace sim {

namespace {

// Stray bytes the "garbage" fault puts before an acknowledgement: neither "A"
// nor "N", some of them outside the printable range.
constexpr std::string_view strayBytes{"\x00\x7F?\xFFz", 5};

// The position of the status byte that the "range" fault spoils, and the value
// it gets: the selected input "7" lies above the accepted "0".."6".
constexpr std::size_t spoiledPosition = 70;
constexpr char spoiledValue = '7';

std::string HexBytes(std::string_view bytes) {
    std::string text;
    for (const char byte : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned char>(byte));
        text += hex;
    }
    return text;
}

bool IsCodeLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-';
}

// A master parameter byte: 0x40 OR master index.
int MasterOf(char parameter) {
    if (parameter == '@') {
        return 0;
    }
    if (parameter == 'A') {
        return 1;
    }
    return -1;
}

// What a valid frame asks for.
struct Interpretation {
    bool accepted = false;
    std::string data;                  // reply data; empty for commands
    std::size_t length = 0;            // the data length this reply must have
    std::optional<CheckedReply> check; // the ranges the data must meet
    bool sceneCodes = false;           // the data is a row of scene codes
};

Interpretation Data(std::string data, std::size_t length, std::optional<CheckedReply> check) {
    Interpretation result;
    result.accepted = true;
    result.data = std::move(data);
    result.length = length;
    result.check = check;
    return result;
}

Interpretation Command() {
    Interpretation result;
    result.accepted = true;
    return result;
}

Interpretation Refused() {
    return {};
}

Interpretation Interpret(MixerModel& model, const std::string& frame) {
    if (frame.size() < 4) {
        return Refused();
    }
    const std::string code = frame.substr(0, 4);
    const std::string parameters = frame.substr(4);
    const bool none = parameters.empty();
    const bool one = parameters.size() == 1;
    const bool two = parameters.size() == 2;
    const char p0 = parameters.empty() ? '\0' : parameters[0];
    const char p1 = parameters.size() < 2 ? '\0' : parameters[1];

    // Requests.
    if (code == "RAST" && none) {
        return Data(RastData(model), 74, CheckedReply::rast);
    }
    if (code.starts_with("RIM") && code[3] >= '1' && code[3] <= '6' && one && p0 == '0') {
        return Data(RimData(model, code[3] - '0'), 40, std::nullopt);
    }
    if (code == "RIL3" && one && p0 == '0') {
        return Data(Ril3Data(model), 18, std::nullopt);
    }
    if (code == "RIL4" && one && p0 == '0') {
        return Data(Ril4Data(model), 63, CheckedReply::ril4);
    }
    if (code == "RSIO" && none) {
        return Data(RsioData(model), 24, CheckedReply::rsio);
    }
    if ((code == "RGFA" || code == "RGFB") && one && p0 == '0') {
        return Data(RgfData(model, code[3] - 'A'), 12, CheckedReply::rgf);
    }
    if (code == "RSCI" && one && IsSceneCode(static_cast<unsigned char>(p0))) {
        return Data(RsciData(model, static_cast<unsigned char>(p0)), 8, CheckedReply::rsci);
    }
    if (code == "RRSA" && none) {
        Interpretation result = Data(RrsaData(model), 4, std::nullopt);
        result.sceneCodes = true;
        return result;
    }

    // Commands.
    if (code == "CRCL" && one && model.RecallScene(static_cast<unsigned char>(p0))) {
        return Command();
    }
    if (code == "CRCS" && two && p0 == '8' &&
        (p1 == noTransportKey || TransportKeyIndex(p1) >= 0)) {
        model.transportCode = p1;
        return Command();
    }
    if ((code == "CLV+" || code == "CLV-") && one && MasterOf(p0) >= 0) {
        Master& master = model.masters[MasterOf(p0)];
        const int direction = code[3] == '+' ? 1 : -1;
        const int next = master.level + direction;
        // The level moves at once and then one step every 100 ms while the
        // motion lasts.
        if (next >= 0 && next <= maxLevelStep) {
            master.level = next;
            master.ramp = (next == 0 || next == maxLevelStep) ? 0 : direction;
        } else {
            master.ramp = 0;
        }
        return Command();
    }
    if (code == "CLVS" && one && MasterOf(p0) >= 0) {
        model.masters[MasterOf(p0)].ramp = 0;
        return Command();
    }
    if (code == "CMUT" && two && MasterOf(p0) >= 0 && MasterOf(p1) >= 0) {
        model.masters[MasterOf(p0)].muted = p1 == 'A';
        return Command();
    }
    if (code == "CSEL" && one && p0 >= '1' && p0 <= '6') {
        model.selectedInput = p0 - '0';
        return Command();
    }
    return Refused();
}

} // namespace

std::string DescribeFrame(const Frame& frame) {
    if (frame.overlong) {
        return "rx ? overlong " + std::to_string(frame.discarded) + " bytes";
    }
    const std::string& bytes = frame.bytes;
    bool named = bytes.size() >= 4;
    for (std::size_t i = 0; named && i < 4; ++i) {
        named = IsCodeLetter(bytes[i]);
    }
    if (!named) {
        return "rx ?" + (bytes.empty() ? std::string(" (empty)") : HexBytes(bytes));
    }
    return "rx " + bytes.substr(0, 4) + HexBytes(std::string_view(bytes).substr(4));
}

Responder::Responder(MixerModel& model, Faults& faults, const TrafficLog& log)
    : model_(model), faults_(faults), log_(log) {}

Answer Responder::Respond(const Frame& frame) {
    log_.Line(DescribeFrame(frame));
    if (faults_.silent) {
        log_.Line("tx none (silent)");
        return {};
    }
    std::string reply;
    std::string text;
    std::string fault;
    if (faults_.nakCount > 0) {
        --faults_.nakCount;
        reply = "N";
        text = "N";
        fault = "nak, " + std::to_string(faults_.nakCount) + " more";
    } else {
        const Interpretation result = frame.overlong ? Refused() : Interpret(model_, frame.bytes);
        if (!result.accepted) {
            reply = "N";
            text = "N";
        } else {
            std::string data = result.data;
            if (data.size() != result.length) {
                log_.Line("error: reply to " + frame.bytes.substr(0, 4) + " has " +
                          std::to_string(data.size()) + " data bytes instead of " +
                          std::to_string(result.length));
            }
            if (result.check) {
                if (const auto violation = CheckReplyData(*result.check, data)) {
                    log_.Line("error: reply to " + frame.bytes.substr(0, 4) +
                              " fails its range check: " + violation->what);
                }
            }
            if (result.sceneCodes) {
                for (const char c : data) {
                    if (!IsSceneCode(static_cast<unsigned char>(c))) {
                        log_.Line("error: reply to " + frame.bytes.substr(0, 4) +
                                  " holds a byte that is no scene code");
                    }
                }
            }
            if (faults_.range && result.check == CheckedReply::rast) {
                faults_.range = false;
                data[spoiledPosition] = spoiledValue;
                const auto violation = CheckReplyData(CheckedReply::rast, data);
                fault = "range, " + (violation ? violation->what : std::string("not caught"));
                if (!violation) {
                    log_.Line("error: the spoiled status passes the range check");
                }
            }
            reply = "A" + data + "\r";
            text = data.empty() ? "A" : "A +" + std::to_string(data.size()) + " bytes";
        }
    }
    if (faults_.truncate && reply.ends_with('\r')) {
        faults_.truncate = false;
        reply.pop_back();
        fault += fault.empty() ? "" : "; ";
        fault += "truncate, no CR";
    }
    if (faults_.garbage) {
        faults_.garbage = false;
        reply.insert(0, strayBytes);
        fault += fault.empty() ? "" : "; ";
        fault += "garbage," + HexBytes(strayBytes) + " first";
    }
    log_.Line("tx " + text + (fault.empty() ? "" : " (fault: " + fault + ")"));
    return Answer{reply};
}

} // namespace sim
