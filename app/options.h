// The program's command line, GNU style, around the design's words: options
// start with "-" (-h/--help, -V/--version, --port PATH, --settings FILE,
// --headless, --remote and its --remote-bind, --remote-port, --osc-port,
// --osc-allow); the
// other words keep their meaning (d, D, 1d, 1D; two or more words show the
// fader notice). Parsed before any window system is touched.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

struct ProgramOptions {
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::Run;
    QString port;          // --port: the device to open instead of the converter found
    QString settings;      // --settings: the settings file to read
    bool headless = false; // --headless: the engine and the bus service, no window
    // The network remote: each set only when given (the [remote] group of
    // ardenix.conf gives the rest).
    bool remote = false;               // --remote
    std::optional<QString> remoteBind; // --remote-bind ADDR
    std::optional<quint16> remotePort; // --remote-port N
    std::optional<quint16> oscPort;    // --osc-port N
    std::optional<QString> oscAllow;   // --osc-allow CIDR[,CIDR...]
    QStringList words;                 // the words that are no options, in order
    QString error;                     // for UsageError: one line saying what is wrong
};

// `arguments` are the program's arguments without its own name.
ProgramOptions ParseProgramOptions(const QStringList& arguments);

// What --help prints, and --version.
QString HelpText();
QString VersionText();
