// bench-startup: from the start of the ardenix process to the panel shown
// after the full status read, against the simulated mixer pacing its replies
// as a 38400 baud line does; beside it the time the same traffic needs on the
// wire alone.
#include "bench/eventwait.h"
#include "bench/options.h"
#include "bench/panelrunner.h"
#include "bench/simrunner.h"
#include "bench/stats.h"
#include "bench/trafficmarks.h"
#include "bench/xsession.h"

#include <cstdio>
#include <optional>

namespace {

using namespace bench;

const QString panelTitle = QStringLiteral("^Ardenix Ver\\.1\\.3$");

struct RunFigures {
    double toContact = 0; // process start -> first RAST at the mixer
    double read = 0;      // first RAST -> last byte of the fourth RSCI reply
    double toReadEnd = 0; // process start -> end of the read
    double toFirstPoll = 0;
    std::optional<double> toWindow; // process start -> panel window visible (X only)
    int frames = 0;
    int frameBytes = 0;
    int replyBytes = 0;
};

bool PanelWindowVisible() {
    for (const XWindow& window : xdo::VisibleWindows(panelTitle)) {
        if (window.geometry.size() == QSize(684, 187)) {
            return true;
        }
    }
    return false;
}

std::optional<RunFigures> OneRun(const QString& binDir, bool onX, const QStringList& simArguments) {
    SimRunner sim;
    if (!sim.Start(binDir, simArguments)) {
        std::fprintf(stderr, "bench-startup: dorvane-sim did not start\n");
        return std::nullopt;
    }
    PanelRunner panel;
    if (!panel.Start(binDir, sim.LinkPath(),
                     onX ? QStringLiteral("xcb") : QStringLiteral("offscreen"))) {
        std::fprintf(stderr, "bench-startup: ardenix did not start\n");
        return std::nullopt;
    }
    std::optional<StatusReadMarks> marks;
    std::optional<qint64> windowAt;
    PumpUntil(
        [&] {
            if (onX && !windowAt && PanelWindowVisible()) {
                windowAt = NowMs();
            }
            marks = FindStatusRead(sim.Log());
            return (marks && marks->firstPoll && (!onX || windowAt)) || !panel.Running();
        },
        30000, onX ? 10 : 5);
    if (!marks || !marks->firstPoll) {
        std::fprintf(stderr,
                     "bench-startup: no complete status read within 30 s (ardenix %s)\n%s\n%s\n",
                     qPrintable(panel.ExitDescription()), qPrintable(sim.LogText()),
                     panel.ErrorOutput().constData());
        return std::nullopt;
    }
    const std::vector<SimLine>& log = sim.Log();
    const double start = static_cast<double>(panel.StartedAtMs());
    const double contact = static_cast<double>(sim.ToLocal(log[marks->firstContact].simMs));
    const SimLine& last = log[marks->lastReply];
    const double readEnd =
        static_cast<double>(sim.ToLocal(last.simMs)) + WireSeconds(last.ReplyBytes()) * 1000.0;
    RunFigures figures;
    figures.toContact = contact - start;
    figures.read = readEnd - contact;
    figures.toReadEnd = readEnd - start;
    figures.toFirstPoll = static_cast<double>(sim.ToLocal(log[*marks->firstPoll].simMs)) - start;
    if (windowAt) {
        figures.toWindow = static_cast<double>(*windowAt) - start;
    }
    figures.frames = marks->frames;
    figures.frameBytes = marks->frameBytes;
    figures.replyBytes = marks->replyBytes;
    panel.Stop();
    sim.Stop();
    return figures;
}

int Run(int runs, bool onX, int converterLatencyMs) {
    QStringList simArguments{QStringLiteral("--baud-delay")};
    if (converterLatencyMs > 0) {
        simArguments << QStringLiteral("--converter-latency")
                     << QString::number(converterLatencyMs);
    }
    const QString binDir = BinDirectory();
    XSession x;
    if (onX && !x.Open()) {
        std::fprintf(stderr, "bench-startup: %s\n", qPrintable(x.Problem()));
        return 1;
    }
    std::printf("bench-startup: %d runs, platform %s%s, dorvane-sim %s\n", runs,
                onX ? "xcb on " : "offscreen", onX ? qPrintable(x.Display()) : "",
                qPrintable(simArguments.join(QLatin1Char(' '))));
    std::printf("%4s %10s %10s %10s %10s %10s %7s %13s\n", "run", "contact", "read", "read end",
                "1st poll", "window", "frames", "bytes out/in");
    std::vector<double> contact, read, readEnd, poll, window, wire, wireIn;
    for (int run = 1; run <= runs; ++run) {
        const std::optional<RunFigures> f = OneRun(binDir, onX, simArguments);
        if (!f) {
            return 1;
        }
        contact.push_back(f->toContact);
        read.push_back(f->read);
        readEnd.push_back(f->toReadEnd);
        poll.push_back(f->toFirstPoll);
        wire.push_back(WireSeconds(f->frameBytes + f->replyBytes) * 1000.0);
        wireIn.push_back(WireSeconds(f->replyBytes) * 1000.0);
        const QString windowText =
            f->toWindow ? QString::number(*f->toWindow, 'f', 1) : QStringLiteral("-");
        if (f->toWindow) {
            window.push_back(*f->toWindow);
        }
        std::printf("%4d %10.1f %10.1f %10.1f %10.1f %10s %7d %6d/%-6d\n", run, f->toContact,
                    f->read, f->toReadEnd, f->toFirstPoll, qPrintable(windowText), f->frames,
                    f->frameBytes, f->replyBytes);
    }
    const double wireMs = Median(wire);
    std::printf("(ms from the start of the process; read = first RAST at the mixer to the last "
                "byte of the fourth RSCI reply)\n\n");
    std::printf("median: first contact %.1f ms, status read %.1f ms, read complete %.1f ms, "
                "first poll %.1f ms",
                Median(contact), Median(read), Median(readEnd), Median(poll));
    if (!window.empty()) {
        std::printf(", window shown %.1f ms", Median(window));
    }
    std::printf("\nthe same traffic on the wire alone (38400 baud, 11 bits per byte): %.1f ms "
                "(frames and replies; the replies alone %.1f ms, which is all the simulator "
                "paces)\n",
                wireMs, Median(wireIn));
    std::printf("ratio status read / wire: %.2f (/ paced replies: %.2f); read complete from "
                "process start / wire: %.2f\n",
                Median(read) / wireMs, Median(read) / Median(wireIn), Median(readEnd) / wireMs);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Start-up to mirror: ardenix against dorvane-sim --baud-delay, repeated."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Number of start-ups (default 5)."),
                                        QStringLiteral("N"));
    const QCommandLineOption xOption(
        QStringLiteral("x11"),
        QStringLiteral("Run the panel on X (the display of $DISPLAY, else a private Xvfb) and "
                       "time the window appearing too (polled with xdotool every 10 ms)."));
    const QCommandLineOption converterOption(
        QStringLiteral("converter-latency"),
        QStringLiteral("The simulator hands reply bytes over as an FTDI converter with this "
                       "latency timer does (16 is the converter's default, 1 its low-latency "
                       "setting); 0 paces them byte by byte (the default)."),
        QStringLiteral("MS"));
    parser.addOption(runsOption);
    parser.addOption(xOption);
    parser.addOption(converterOption);
    parser.process(app);
    int runs = 5;
    int converterLatencyMs = 0;
    if (!IntegerOption(parser, runsOption, 1, 1000, runs) ||
        !IntegerOption(parser, converterOption, 0, 255, converterLatencyMs)) {
        return 2;
    }
    return Run(runs, parser.isSet(xOption), converterLatencyMs);
}
