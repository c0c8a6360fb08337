// What ardenixctl is asked to do: its command line, checked and taken apart.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ctl {

enum class Command { Help, Version, Status, Input, Mute, Recall, Level, Transport, Watch, Remote };
enum class MuteAction { On, Off, Toggle };

struct Request {
    Command command = Command::Help;
    bool json = false; // status, watch: JSON instead of text
    bool wait = true;  // watch: wait for a panel to appear when none runs
    int input = 0;     // input: 1..6
    QString master;    // mute, level: "A" or "B"
    MuteAction mute = MuteAction::On;
    QString button;            // recall: "A".."D"
    int step = 0;              // level: 0..30
    QString key;               // transport: prev, next, stop, rewind, play, forward, pause
    std::optional<int> holdMs; // transport --hold
};

// The request, or what is wrong with the command line.
struct Parsed {
    std::optional<Request> request;
    QString error;
};

// `arguments` without the program's name.
Parsed ParseCommandLine(const QStringList& arguments);

// The text of --help.
QString HelpText();

// Limits of --hold.
constexpr int shortestHoldMs = 1;
constexpr int longestHoldMs = 600000;

} // namespace ctl
