// dorvane-sim: a simulated Dorvane mixer on a pseudo-terminal.
#include "sim/commands.h"
#include "sim/console.h"
#include "sim/simulator.h"
#include "sim/trafficlog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// The write end of the pipe on which the signal handler reports a stop.
int stopPipeWrite = -1;

extern "C" void OnStopSignal(int signal) {
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(stopPipeWrite, &byte, 1);
}

constexpr const char* helpHead =
    "Usage: dorvane-sim [options]\n"
    "A simulated Dorvane mixer on a pseudo-terminal. It prints the path of the\n"
    "link to its line on standard output when it is ready, answers the panel's\n"
    "frames, takes commands on standard input and logs the traffic on standard\n"
    "error. It stops on SIGINT, SIGTERM or SIGHUP and removes its link.\n"
    "Start the panel on it with ARDENIX_PORT=<that path>.\n\n";

constexpr const char* helpConsole =
    "\nStarted in the background of a shell (\"dorvane-sim &\"), it serves the line\n"
    "at once and reads commands only once it is brought to the foreground (fg);\n"
    "with --no-console it never reads standard input.\n";

constexpr const char* helpFrames =
    "\nNumbers are the mixer's: inputs 1..6 (0 or \"none\" = no input), masters A\n"
    "and B, scenes by their codes 49..68 (the byte values \"1\"..\"D\"), levels as\n"
    "fader steps 0..30; \"state\" prints names as the 8-character blank-padded\n"
    "texts the mixer sends.\n"
    "\nFrames answered (anything else, or a wrong parameter, gets \"N\"):\n"
    "  RAST RSIO RRSA; RIM1..RIM6 RIL3 RIL4 RGFA RGFB with the parameter \"0\";\n"
    "  RSCI <scene code>; CRCL <scene code>; CRCS 8 <key 0|8|7|3|5|1|4|2>;\n"
    "  CLV+ CLV- CLVS <@|A>; CMUT <@|A> <@|A>; CSEL <1..6>.\n"
    "CLV+ and CLV- move the level one step at once and one every 100 ms until\n"
    "CLVS or the end of the range.\n";

constexpr const char* helpLog =
    "\nTraffic log on standard error, one line per event, starting with the\n"
    "milliseconds since start:\n"
    "  <ms> rx <CODE> [<hh> ...]     a frame: its code, its parameter bytes in hex\n"
    "  <ms> rx ? <hh> ...            a frame without a four-letter code, all bytes\n"
    "  <ms> rx ? overlong <n> bytes  a frame longer than 64 bytes (answered \"N\")\n"
    "  <ms> tx A | tx A +<n> bytes | tx N | tx none (silent)\n"
    "                                the reply; \"(fault: ...)\" when a fault changed it\n"
    "  <ms> info ... | warning: ... | error: ...\n"
    "A warning names line settings other than 38400 (or 9600) baud, 8 bits, odd\n"
    "parity, raw mode; an error is a fault of the simulator itself.\n";

QString DefaultLinkPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString directory =
        (!runtime.isEmpty() && QFileInfo(runtime).isDir()) ? runtime : QDir::tempPath();
    return QDir(directory).filePath(QStringLiteral("dorvane-sim.tty"));
}

bool WatchStopSignals(QCoreApplication& app) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    stopPipeWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
    // Answers to a reader that went away must not end the simulator.
    std::signal(SIGPIPE, SIG_IGN);
    auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, fd = fds[0]] {
        unsigned char byte = 0;
        while (::read(fd, &byte, 1) > 0) {
        }
        app.quit();
    });
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dorvane-sim"));

    QCommandLineParser parser;
    const QCommandLineOption linkOption(QStringLiteral("link"),
                                        QStringLiteral("Path of the link to the line (default "
                                                       "$XDG_RUNTIME_DIR/dorvane-sim.tty)."),
                                        QStringLiteral("PATH"), DefaultLinkPath());
    const QCommandLineOption baudOption(
        QStringLiteral("baud-delay"),
        QStringLiteral("Pace every reply byte as on the real line (11 bits per byte)."));
    const QCommandLineOption converterOption(
        QStringLiteral("converter-latency"),
        QStringLiteral("With --baud-delay: hand the reply bytes over as a USB serial converter "
                       "does, in packets of up to 62 bytes at least every MS milliseconds (its "
                       "latency timer; an FTDI converter's is 16 ms)."),
        QStringLiteral("MS"));
    const QCommandLineOption silentOption(QStringLiteral("silent"),
                                          QStringLiteral("Start silent: answer nothing."));
    const QCommandLineOption nakOption(QStringLiteral("nak"),
                                       QStringLiteral("Answer the first N frames with \"N\"."),
                                       QStringLiteral("N"));
    const QCommandLineOption noConsoleOption(
        QStringLiteral("no-console"),
        QStringLiteral("Take no commands: never read standard input (for scripts)."));
    const QCommandLineOption versionOption({QStringLiteral("V"), QStringLiteral("version")},
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    parser.addOption(linkOption);
    parser.addOption(baudOption);
    parser.addOption(converterOption);
    parser.addOption(silentOption);
    parser.addOption(nakOption);
    parser.addOption(noConsoleOption);
    parser.addOption(versionOption);
    parser.addOption(helpOption);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "dorvane-sim: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOption)) {
        std::string text = helpHead;
        text += parser.helpText().section(QLatin1Char('\n'), 2).toStdString();
        text += "\n";
        text += sim::CommandHelp();
        text += helpConsole;
        text += helpFrames;
        text += helpLog;
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("dorvane-sim %s\n", DORVANE_SIM_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "dorvane-sim: unexpected argument \"%s\" (see --help)\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    // In the background of a shell whose terminal stops background writers
    // (stty tostop), the log and the answers must not stop the mixer either.
    std::signal(SIGTTOU, SIG_IGN);

    const sim::TrafficLog log;
    const std::string linkPath =
        QFileInfo(parser.value(linkOption)).absoluteFilePath().toStdString();
    sim::Simulator simulator(log, linkPath, [] { QCoreApplication::quit(); });
    if (parser.isSet(nakOption)) {
        bool ok = false;
        const int count = parser.value(nakOption).toInt(&ok);
        if (!ok || count < 0 || count > 10000) {
            std::fprintf(stderr, "dorvane-sim: --nak needs a count 0..10000\n");
            return 2;
        }
        simulator.InjectedFaults().nakCount = count;
    }
    simulator.InjectedFaults().silent = parser.isSet(silentOption);
    simulator.SetPaced(parser.isSet(baudOption));
    if (parser.isSet(converterOption)) {
        bool ok = false;
        const int latency = parser.value(converterOption).toInt(&ok);
        if (!ok || latency < 1 || latency > 255) {
            std::fprintf(stderr, "dorvane-sim: --converter-latency needs 1..255 ms\n");
            return 2;
        }
        if (!parser.isSet(baudOption)) {
            std::fprintf(stderr, "dorvane-sim: --converter-latency goes with --baud-delay\n");
            return 2;
        }
        simulator.SetConverterLatency(latency);
    }

    if (!WatchStopSignals(app)) {
        std::fprintf(stderr, "dorvane-sim: no signal pipe\n");
        return 1;
    }
    const std::string failure = simulator.Plug();
    if (!failure.empty()) {
        std::fprintf(stderr, "dorvane-sim: %s\n", failure.c_str());
        return 1;
    }
    std::optional<sim::Console> console;
    if (!parser.isSet(noConsoleOption)) {
        // A read of the terminal from its background fails (EIO) instead of
        // stopping the process; the console then waits for the foreground.
        std::signal(SIGTTIN, SIG_IGN);
        console.emplace(
            [&simulator](std::string_view line) { return sim::ExecuteCommand(line, simulator); });
    }
    sim::WriteOutputLine(simulator.LinkPath());
    const int status = app.exec();
    simulator.Unplug(); // removes the link
    log.Line("info stopped");
    return status;
}
