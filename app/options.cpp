#include "app/options.h"

#include <QCommandLineParser>

namespace {

const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                    QStringLiteral("Print this summary and exit."));
const QCommandLineOption versionOption({QStringLiteral("V"), QStringLiteral("version")},
                                       QStringLiteral("Print the version and exit."));
const QCommandLineOption
    portOption(QStringLiteral("port"),
               QStringLiteral("Open this device instead of the converter found (as ARDENIX_PORT)."),
               QStringLiteral("PATH"));
const QCommandLineOption
    settingsOption(QStringLiteral("settings"),
                   QStringLiteral("Read this settings file instead of looking for Initial.vqp."),
                   QStringLiteral("FILE"));

const QCommandLineOption
    headlessOption(QStringLiteral("headless"),
                   QStringLiteral("Run without a window: the mixer on the session bus only."));

const QCommandLineOption remoteOption(QStringLiteral("remote"),
                                      QStringLiteral("Offer the mixer on the network."));
const QCommandLineOption remoteBindOption(QStringLiteral("remote-bind"),
                                          QStringLiteral("The address the remote listens on."),
                                          QStringLiteral("ADDR"));
const QCommandLineOption remotePortOption(QStringLiteral("remote-port"),
                                          QStringLiteral("The remote's HTTP and WebSocket port."),
                                          QStringLiteral("N"));
const QCommandLineOption oscPortOption(QStringLiteral("osc-port"),
                                       QStringLiteral("The remote's OSC port (UDP and TCP)."),
                                       QStringLiteral("N"));
const QCommandLineOption oscAllowOption(QStringLiteral("osc-allow"),
                                        QStringLiteral("The senders OSC serves."),
                                        QStringLiteral("CIDR[,CIDR...]"));

// A port number 0..65535 (0: a free one), or nothing.
std::optional<quint16> PortNumber(const QString& text) {
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(value);
}

} // namespace

ProgramOptions ParseProgramOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions({helpOption, versionOption, portOption, settingsOption, headlessOption,
                       remoteOption, remoteBindOption, remotePortOption, oscPortOption,
                       oscAllowOption});
    ProgramOptions options;
    if (!parser.parse(QStringList{QStringLiteral("ardenix")} + arguments)) {
        options.action = ProgramOptions::Action::UsageError;
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(helpOption)) {
        options.action = ProgramOptions::Action::Help;
    } else if (parser.isSet(versionOption)) {
        options.action = ProgramOptions::Action::Version;
    }
    options.port = parser.value(portOption);
    options.settings = parser.value(settingsOption);
    options.headless = parser.isSet(headlessOption);
    options.remote = parser.isSet(remoteOption);
    if (parser.isSet(remoteBindOption)) {
        options.remoteBind = parser.value(remoteBindOption);
    }
    if (parser.isSet(oscAllowOption)) {
        options.oscAllow = parser.value(oscAllowOption);
    }
    for (const auto& [option, target] : {std::pair{&remotePortOption, &options.remotePort},
                                         std::pair{&oscPortOption, &options.oscPort}}) {
        if (!parser.isSet(*option)) {
            continue;
        }
        *target = PortNumber(parser.value(*option));
        if (!*target) {
            options.action = ProgramOptions::Action::UsageError;
            options.error = QStringLiteral("--%1 needs a port number 0..65535, not \"%2\".")
                                .arg(option->names().constFirst(), parser.value(*option).left(40));
            return options;
        }
    }
    options.words = parser.positionalArguments();
    if (parser.isSet(portOption) && options.port.isEmpty()) {
        options.action = ProgramOptions::Action::UsageError;
        options.error = QStringLiteral("--port needs the path of a device.");
    } else if (parser.isSet(settingsOption) && options.settings.isEmpty()) {
        options.action = ProgramOptions::Action::UsageError;
        options.error = QStringLiteral("--settings needs the path of a file.");
    }
    return options;
}

QString VersionText() {
    return QStringLiteral("ardenix " ARDENIX_VERSION "\n");
}

QString HelpText() {
    return QStringLiteral(
        "Usage: ardenix [OPTION]... [WORD]\n"
        "The remote-control panel for the Dorvane audio/video mixer, on its USB\n"
        "serial converter.\n"
        "\n"
        "Options:\n"
        "  -h, --help         Print this summary and exit.\n"
        "  -V, --version      Print the version and exit.\n"
        "  --port <PATH>      Open this device instead of the converter found (as\n"
        "                     ARDENIX_PORT).\n"
        "  --settings <FILE>  Read this settings file instead of looking for\n"
        "                     Initial.vqp.\n"
        "  --headless         Run without a window and without a display: the mixer\n"
        "                     is offered on the session bus (ardenixctl), messages\n"
        "                     go to standard error.\n"
        "  --remote           Offer the mixer on the network: HTTP/WebSocket (a web\n"
        "                     page for phones and tablets) and OSC.\n"
        "  --remote-bind <ADDR>\n"
        "                     The address the remote listens on (default 127.0.0.1).\n"
        "  --remote-port <N>  The HTTP and WebSocket port (default 9470; 0: a free one).\n"
        "  --osc-port <N>     The OSC port, UDP and TCP (default 9471; 0: a free one).\n"
        "  --osc-allow <CIDR[,CIDR...]>\n"
        "                     The senders OSC serves (default the loopback addresses).\n"
        "\n"
        "Words:\n"
        "  (none)             Normal start.\n"
        "  d, D               Debug mode: the communication and debug windows show\n"
        "                     every frame as a hex dump.\n"
        "  1d, 1D             Debug mode on port 1 (/dev/ttyUSB0) at 9600 baud.\n"
        "  two or more words  The fader notice; the words have no other effect.\n"
        "\n"
        "Initial.vqp is looked up in $XDG_CONFIG_HOME/ardenix (~/.config/ardenix),\n"
        "in ardenix/ under each of $XDG_CONFIG_DIRS (/etc/xdg), then in the program's\n"
        "folder; the first found is read, and nothing is ever written to it.\n"
        "A second start brings the running panel to the front and exits.\n"
        "Without --headless a display is needed (DISPLAY or WAYLAND_DISPLAY).\n");
}
