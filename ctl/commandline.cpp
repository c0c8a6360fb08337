#include "ctl/commandline.h"

#include "service/busnames.h"

#include <array>

namespace ctl {

namespace {

constexpr std::array<const char*, 7> transportKeys{"prev", "next",    "stop", "rewind",
                                                   "play", "forward", "pause"};

Parsed Just(Command command) {
    Request request;
    request.command = command;
    return {request, {}};
}

Parsed Error(const QString& text) {
    return {std::nullopt, text};
}

// A whole number within [low, high].
std::optional<int> Number(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<QString> Master(const QString& text) {
    const QString upper = text.toUpper();
    if (upper == QLatin1String("A") || upper == QLatin1String("B")) {
        return upper;
    }
    return std::nullopt;
}

std::optional<Command> CommandNamed(const QString& name) {
    struct Entry {
        const char* name;
        Command command;
    };
    constexpr std::array<Entry, 8> commands{{{"status", Command::Status},
                                             {"input", Command::Input},
                                             {"mute", Command::Mute},
                                             {"recall", Command::Recall},
                                             {"level", Command::Level},
                                             {"transport", Command::Transport},
                                             {"watch", Command::Watch},
                                             {"remote", Command::Remote}}};
    for (const Entry& entry : commands) {
        if (name == QLatin1String(entry.name)) {
            return entry.command;
        }
    }
    return std::nullopt;
}

// The words after the command, checked against what the command takes.
Parsed Complete(Request request, const QStringList& words) {
    const auto expect = [&words](qsizetype count) { return words.size() == count; };
    switch (request.command) {
    case Command::Status:
    case Command::Watch:
    case Command::Remote:
        if (!expect(0)) {
            return Error(QStringLiteral("%1 takes no arguments")
                             .arg(request.command == Command::Status  ? "status"
                                  : request.command == Command::Watch ? "watch"
                                                                      : "remote"));
        }
        break;
    case Command::Input: {
        const std::optional<int> input = expect(1) ? Number(words[0], 1, 6) : std::nullopt;
        if (!input) {
            return Error(QStringLiteral("input needs one input number, 1..6"));
        }
        request.input = *input;
        break;
    }
    case Command::Mute: {
        const std::optional<QString> master = expect(2) ? Master(words[0]) : std::nullopt;
        if (!master) {
            return Error(QStringLiteral("mute needs a master, A or B, and on, off or toggle"));
        }
        const QString action = words[1].toLower();
        if (action == QLatin1String("on")) {
            request.mute = MuteAction::On;
        } else if (action == QLatin1String("off")) {
            request.mute = MuteAction::Off;
        } else if (action == QLatin1String("toggle")) {
            request.mute = MuteAction::Toggle;
        } else {
            return Error(QStringLiteral("mute needs a master, A or B, and on, off or toggle"));
        }
        request.master = *master;
        break;
    }
    case Command::Recall: {
        const QString button = expect(1) ? words[0].toUpper() : QString();
        if (button.size() != 1 || button[0] < QLatin1Char('A') || button[0] > QLatin1Char('D')) {
            return Error(QStringLiteral("recall needs a scene button, A, B, C or D"));
        }
        request.button = button;
        break;
    }
    case Command::Level: {
        const std::optional<QString> master = expect(2) ? Master(words[0]) : std::nullopt;
        const std::optional<int> step = expect(2) ? Number(words[1], 0, 30) : std::nullopt;
        if (!master || !step) {
            return Error(QStringLiteral("level needs a master, A or B, and a step, 0..30"));
        }
        request.master = *master;
        request.step = *step;
        break;
    }
    case Command::Transport: {
        const QString key = expect(1) ? words[0].toLower() : QString();
        bool known = false;
        for (const char* name : transportKeys) {
            known = known || key == QLatin1String(name);
        }
        if (!known) {
            return Error(QStringLiteral("transport needs a key: prev, next, stop, rewind, play, "
                                        "forward or pause"));
        }
        request.key = key;
        break;
    }
    case Command::Help:
    case Command::Version:
        break;
    }
    if (request.json && request.command != Command::Status && request.command != Command::Watch) {
        return Error(QStringLiteral("--json goes with status and watch only"));
    }
    if (!request.wait && request.command != Command::Watch) {
        return Error(QStringLiteral("--no-wait goes with watch only"));
    }
    if (request.holdMs && request.command != Command::Transport) {
        return Error(QStringLiteral("--hold goes with transport only"));
    }
    return {request, {}};
}

} // namespace

Parsed ParseCommandLine(const QStringList& arguments) {
    Request request;
    std::optional<Command> command;
    QStringList words;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            return Just(Command::Help);
        }
        if (argument == QLatin1String("-V") || argument == QLatin1String("--version")) {
            return Just(Command::Version);
        }
        if (argument == QLatin1String("--json")) {
            request.json = true;
        } else if (argument == QLatin1String("--no-wait")) {
            request.wait = false;
        } else if (argument == QLatin1String("--hold") ||
                   argument.startsWith(QLatin1String("--hold="))) {
            QString value;
            if (argument == QLatin1String("--hold")) {
                if (i + 1 >= arguments.size()) {
                    return Error(QStringLiteral("--hold needs a time in milliseconds"));
                }
                value = arguments[++i];
            } else {
                value = argument.mid(7);
            }
            request.holdMs = Number(value, shortestHoldMs, longestHoldMs);
            if (!request.holdMs) {
                return Error(QStringLiteral("--hold needs a time in milliseconds, %1..%2")
                                 .arg(shortestHoldMs)
                                 .arg(longestHoldMs));
            }
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            return Error(QStringLiteral("unknown option %1").arg(busnames::Quoted(argument)));
        } else if (!command) {
            command = CommandNamed(argument);
            if (!command) {
                return Error(
                    QStringLiteral("unknown command \"%1\"").arg(busnames::Quoted(argument)));
            }
        } else {
            words.append(argument);
        }
    }
    if (!command) {
        return Error(QStringLiteral("no command given"));
    }
    request.command = *command;
    return Complete(request, words);
}

QString HelpText() {
    return QStringLiteral(
        "Usage: ardenixctl COMMAND [ARGUMENT]... [OPTION]...\n"
        "Operates and watches the Dorvane mixer through the running ardenix panel,\n"
        "over the session bus (org.ardenix.Ardenix). Each command acts as the\n"
        "matching press on the panel.\n"
        "\n"
        "Commands:\n"
        "  status [--json]          the mixer and the link as the panel shows them\n"
        "  input N                  select input N (1..6)\n"
        "  mute A|B on|off|toggle   mute or unmute a master\n"
        "  recall A|B|C|D           recall the scene on a scene button\n"
        "  level A|B STEP           move a master's level to STEP (0..30); prints the\n"
        "                           step reached\n"
        "  transport KEY [--hold MS]\n"
        "                           press a transport key (prev, next, stop, rewind,\n"
        "                           play, forward, pause) and let it go after about\n"
        "                           100 ms, or after MS milliseconds\n"
        "  watch [--json] [--no-wait]\n"
        "                           the current values, then one line for each change\n"
        "                           until interrupted; waits for the panel to start\n"
        "                           when it is not running\n"
        "  remote                   the address of the remote control's web page with\n"
        "                           its access token (and a QR code for a phone when\n"
        "                           qrencode is installed and the output is a terminal);\n"
        "                           makes the token when there is none yet\n"
        "\n"
        "Options:\n"
        "  --json                   status, watch: JSON, one object per line\n"
        "  --no-wait                watch: fail at once when the panel is not running\n"
        "  --hold <MS>              transport: hold the key MS milliseconds (1..600000)\n"
        "  -h, --help               show this help and exit\n"
        "  -V, --version            show the version and exit\n"
        "\n"
        "Exit status: 0 on success, 1 when the panel reports a failure or is not\n"
        "running, 2 on a usage error.\n");
}

} // namespace ctl
