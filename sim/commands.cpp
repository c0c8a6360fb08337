#include "sim/commands.h"

#include "sim/levelcode.h"
#include "sim/statejson.h"

#include <charconv>
#include <optional>

namespace sim {

namespace {

constexpr int maxNakCount = 10000;
constexpr std::string_view hexDigits = "0123456789ABCDEF";

std::string_view TrimmedLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return text;
}

std::string_view Trimmed(std::string_view text) {
    text = TrimmedLeft(text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Splits off the next word; the rest stays in text.
std::string_view NextWord(std::string_view& text) {
    text = TrimmedLeft(text);
    std::size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') {
        ++end;
    }
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

std::optional<int> Number(std::string_view word, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < lowest ||
        value > highest) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> MasterWord(std::string_view word) {
    if (word == "A" || word == "a") {
        return 0;
    }
    if (word == "B" || word == "b") {
        return 1;
    }
    return std::nullopt;
}

std::optional<bool> Switch(std::string_view word) {
    if (word == "on") {
        return true;
    }
    if (word == "off") {
        return false;
    }
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// A name of 1..8 bytes, typed as printable characters; "\xHH" stands for the
// byte HH (any byte, so that names in the mixer's code page can be set) and
// "\\" for one backslash. Any other backslash is a backslash.
std::optional<std::string> Name(std::string_view text) {
    text = Trimmed(text);
    std::string name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c < 0x20 || c > 0x7E) {
            return std::nullopt;
        }
        if (c == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            ++i;
        } else if (c == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
                   HexDigit(text[i + 2]) >= 0 && HexDigit(text[i + 3]) >= 0) {
            name += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
            continue;
        }
        name += c;
    }
    if (name.empty() || name.size() > static_cast<std::size_t>(nameLength)) {
        return std::nullopt;
    }
    return PadName(name);
}

char MasterLetter(int master) {
    return master == 0 ? 'A' : 'B';
}

// A name as the console answers it: bytes that are no printable characters,
// and the backslash, written as they are typed.
std::string Quoted(const std::string& name) {
    std::string text = "\"";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            text += "\\\\";
        } else if (byte < 0x20 || byte > 0x7E) {
            text += "\\x";
            text += hexDigits[byte >> 4];
            text += hexDigits[byte & 0x0F];
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string Error(std::string_view text) {
    return "error: " + std::string(text);
}

std::string SetCommand(std::string_view rest, CommandTarget& target) {
    MixerModel& model = target.Model();
    const std::string_view what = NextWord(rest);
    if (what == "level") {
        const auto master = MasterWord(NextWord(rest));
        const auto level = Number(NextWord(rest), 0, maxLevelStep);
        if (!master || !level || !Trimmed(rest).empty()) {
            return Error("usage: set level A|B 0..30");
        }
        model.masters[*master].level = *level;
        model.masters[*master].ramp = 0;
        return "ok level " + std::string(1, MasterLetter(*master)) + " " + std::to_string(*level);
    }
    if (what == "mute" || what == "overgain" || what == "mugen") {
        const auto master = MasterWord(NextWord(rest));
        const auto on = Switch(NextWord(rest));
        if (!master || !on || !Trimmed(rest).empty()) {
            return Error("usage: set " + std::string(what) + " A|B on|off");
        }
        Master& section = model.masters[*master];
        bool& field = what == "mute" ? section.muted
                                     : (what == "overgain" ? section.overGain : section.mugen);
        field = *on;
        return "ok " + std::string(what) + " " + MasterLetter(*master) + (*on ? " on" : " off");
    }
    if (what == "input") {
        const std::string_view word = NextWord(rest);
        const auto input = word == "none" ? std::optional<int>(0) : Number(word, 1, inputCount);
        if (!input || !Trimmed(rest).empty()) {
            return Error("usage: set input 1..6|none");
        }
        model.selectedInput = *input;
        return "ok input " + (*input == 0 ? std::string("none") : std::to_string(*input));
    }
    if (what == "input-name") {
        const auto input = Number(NextWord(rest), 1, inputCount);
        const auto name = Name(rest);
        if (!input || !name) {
            return Error("usage: set input-name 1..6 NAME (1 to 8 printable characters)");
        }
        model.inputs[*input - 1].name = *name;
        return "ok input-name " + std::to_string(*input) + " " + Quoted(*name);
    }
    if (what == "input-status") {
        const auto input = Number(NextWord(rest), 1, inputCount);
        const auto status = Number(NextWord(rest), 0, 9);
        if (!input || !status || !Trimmed(rest).empty()) {
            return Error("usage: set input-status 1..6 0..9");
        }
        model.inputs[*input - 1].status = *status;
        return "ok input-status " + std::to_string(*input) + " " + std::to_string(*status);
    }
    if (what == "master-name") {
        const auto master = MasterWord(NextWord(rest));
        const auto name = Name(rest);
        if (!master || !name) {
            return Error("usage: set master-name A|B NAME (1 to 8 printable characters)");
        }
        model.masters[*master].name = *name;
        return "ok master-name " + std::string(1, MasterLetter(*master)) + " " + Quoted(*name);
    }
    if (what == "scene-name") {
        const auto code = Number(NextWord(rest), firstSceneCode, lastSceneCode);
        const auto name = Name(rest);
        if (!code || !name) {
            return Error("usage: set scene-name 49..68 NAME (1 to 8 printable characters)");
        }
        model.SceneOf(*code)->name = *name;
        return "ok scene-name " + std::to_string(*code) + " " + Quoted(*name);
    }
    if (what == "slot") {
        const std::string_view slot = NextWord(rest);
        const auto code = Number(NextWord(rest), firstSceneCode, lastSceneCode);
        if (slot.size() != 1 || slot[0] < 'A' || slot[0] > 'D' || !code || !Trimmed(rest).empty()) {
            return Error("usage: set slot A..D 49..68");
        }
        model.sceneSlots[slot[0] - 'A'] = *code;
        return "ok slot " + std::string(slot) + " " + std::to_string(*code);
    }
    if (what == "recall") {
        const auto code = Number(NextWord(rest), firstSceneCode, lastSceneCode);
        if (!code || !Trimmed(rest).empty()) {
            return Error("usage: set recall 49..68");
        }
        model.RecallScene(*code);
        return "ok recall " + std::to_string(*code);
    }
    if (what == "transport") {
        const std::string_view word = NextWord(rest);
        const bool none = word == "none";
        const bool key = word.size() == 1 && TransportKeyIndex(word[0]) >= 0;
        if ((!none && !key) || !Trimmed(rest).empty()) {
            return Error("usage: set transport 8|7|3|5|1|4|2|none");
        }
        model.transportCode = none ? noTransportKey : word[0];
        return "ok transport " + std::string(word);
    }
    return Error("unknown setting \"" + std::string(what) + "\" (see help)");
}

} // namespace

std::string_view CommandHelp() {
    return "Commands on standard input (one answer line each, \"ok ...\" or \"error: ...\"):\n"
           "  state                      the model as one line of JSON\n"
           "  silent on|off              answer nothing (frames are not acted on)\n"
           "  nak N                      answer the next N frames with \"N\"\n"
           "  garbage                    stray bytes before the next acknowledgement\n"
           "  truncate                   drop the carriage return of the next reply\n"
           "  range                      one out-of-range byte in the next RAST reply\n"
           "  unplug                     close the pseudo-terminal and remove the link\n"
           "  plug                       a new pseudo-terminal behind the same link\n"
           "  baud-delay on|off          pace the replies as on a 38400 baud line\n"
           "  set level A|B 0..30        set a master level (stops its motion)\n"
           "  set mute A|B on|off        mute or unmute a master\n"
           "  set overgain A|B on|off    the over-gain lamp of a master\n"
           "  set mugen A|B on|off       the mugen lamp of a master\n"
           "  set input 1..6|none        select an input\n"
           "  set input-name 1..6 NAME   rename an input (1 to 8 characters)\n"
           "  set input-status 1..6 0..9 an input's status digit\n"
           "  set master-name A|B NAME   rename a master section\n"
           "  set scene-name 49..68 NAME rename a scene\n"
           "                             (in a NAME, \\xHH is the byte HH, \\\\ a backslash)\n"
           "  set slot A..D 49..68       put a scene on a radio button\n"
           "  set recall 49..68          recall a scene (its levels, muting, input)\n"
           "  set transport KEY|none     hold a transport key (8 7 3 5 1 4 2)\n"
           "  store 49..68               store the levels, muting and input in a scene\n"
           "  help                       this list on one line\n"
           "  quit                       stop the simulator\n";
}

std::string ExecuteCommand(std::string_view line, CommandTarget& target) {
    std::string_view rest = Trimmed(line);
    const std::string_view command = NextWord(rest);
    Faults& faults = target.InjectedFaults();
    std::string answer;
    if (command.empty()) {
        return Error("empty command (see help)");
    }
    if (command == "state") {
        return Trimmed(rest).empty() ? StateJson(target.Model()) : Error("usage: state");
    }
    if (command == "help") {
        std::string text(CommandHelp());
        for (char& c : text) {
            if (c == '\n') {
                c = ';';
            }
        }
        return "ok " + text;
    }
    if (command == "silent" || command == "baud-delay") {
        const auto on = Switch(NextWord(rest));
        if (!on || !Trimmed(rest).empty()) {
            return Error("usage: " + std::string(command) + " on|off");
        }
        if (command == "silent") {
            faults.silent = *on;
        } else {
            target.SetPaced(*on);
        }
        return "ok " + std::string(command) + (*on ? " on" : " off");
    }
    if (command == "nak") {
        const auto count = Number(NextWord(rest), 0, maxNakCount);
        if (!count || !Trimmed(rest).empty()) {
            return Error("usage: nak 0.." + std::to_string(maxNakCount));
        }
        faults.nakCount = *count;
        return "ok nak " + std::to_string(*count);
    }
    if (command == "garbage" || command == "truncate" || command == "range") {
        if (!Trimmed(rest).empty()) {
            return Error("usage: " + std::string(command));
        }
        bool& fault = command == "garbage"
                          ? faults.garbage
                          : (command == "truncate" ? faults.truncate : faults.range);
        fault = true;
        return "ok " + std::string(command);
    }
    if (command == "unplug" || command == "plug") {
        if (!Trimmed(rest).empty()) {
            return Error("usage: " + std::string(command));
        }
        const std::string failure = command == "unplug" ? target.Unplug() : target.Plug();
        return failure.empty() ? "ok " + std::string(command) : Error(failure);
    }
    if (command == "set") {
        answer = SetCommand(rest, target);
        target.ModelChanged();
        return answer;
    }
    if (command == "store") {
        const auto code = Number(NextWord(rest), firstSceneCode, lastSceneCode);
        if (!code || !Trimmed(rest).empty()) {
            return Error("usage: store 49..68");
        }
        target.Model().StoreScene(*code);
        return "ok store " + std::to_string(*code);
    }
    if (command == "quit") {
        target.Quit();
        return "ok quit";
    }
    return Error("unknown command \"" + std::string(command) + "\" (see help)");
}

} // namespace sim
