// bench-cpu: the processor time and resident memory of the real ardenix
// process: while it polls an answering mixer, while it waits for scene
// recalls pressed on its panel, and while it waits at first contact with a
// silent mixer (retransmissions, the time-out, then message 1 waiting for the
// user). Each as a share of one core.
#include "bench/eventwait.h"
#include "bench/options.h"
#include "bench/panelrunner.h"
#include "bench/procstats.h"
#include "bench/simrunner.h"
#include "bench/trafficmarks.h"
#include "bench/xsession.h"
#include "tests/support/panelplaces.h"

#include <cstdio>
#include <optional>

namespace {

using namespace bench;

const QString panelTitle = QStringLiteral("^Ardenix Ver\\.1\\.3$");
const QSize panelSize(684, 187);

// CPU seconds and wall seconds between two readings.
class CpuMeter {
public:
    explicit CpuMeter(pid_t pid) : pid_(pid) {
        startCpu_ = CpuSeconds(pid).value_or(0.0);
        startMs_ = NowMs();
    }
    double CpuUsed() const { return CpuSeconds(pid_).value_or(0.0) - startCpu_; }
    double WallUsed() const { return static_cast<double>(NowMs() - startMs_) / 1000.0; }

private:
    pid_t pid_;
    double startCpu_ = 0;
    qint64 startMs_ = 0;
};

void PrintShare(const char* what, double cpu, double wall) {
    const double percent = wall > 0 ? 100.0 * cpu / wall : 0.0;
    std::printf("%-34s %7.2f s CPU in %7.2f s = %6.3f %% of one core (target < 1 %%: %s)\n", what,
                cpu, wall, percent, percent < 1.0 ? "met" : "NOT met");
}

std::size_t CountFrames(const std::vector<SimLine>& log, std::size_t from, const QString& code) {
    std::size_t n = 0;
    for (std::size_t i = from; i < log.size(); ++i) {
        n += log[i].IsFrame() && log[i].Code() == code ? 1 : 0;
    }
    return n;
}

std::size_t CountStatusReplies(const std::vector<SimLine>& log, std::size_t from) {
    std::size_t n = 0;
    for (std::size_t i = from; i < log.size(); ++i) {
        n += log[i].IsStatusReply() ? 1 : 0;
    }
    return n;
}

std::optional<XWindow> PanelWindow(int timeoutMs) {
    std::optional<XWindow> found;
    PumpUntil(
        [&] {
            for (const XWindow& w : xdo::VisibleWindows(panelTitle)) {
                if (w.geometry.size() == panelSize) {
                    found = w;
                }
            }
            return found.has_value();
        },
        timeoutMs, 100);
    return found;
}

// Polling and scene recalls against an answering mixer.
int OnlinePhases(const QString& binDir, const QStringList& simArguments, bool onX, int seconds,
                 int recallSeconds) {
    SimRunner sim;
    PanelRunner panel;
    if (!sim.Start(binDir, simArguments) ||
        !panel.Start(binDir, sim.LinkPath(),
                     onX ? QStringLiteral("xcb") : QStringLiteral("offscreen"))) {
        std::fprintf(stderr, "bench-cpu: the simulator or the panel did not start\n");
        return 1;
    }
    std::optional<StatusReadMarks> marks;
    PumpUntil(
        [&] {
            marks = FindStatusRead(sim.Log());
            return (marks && marks->firstPoll) || !panel.Running();
        },
        30000, 20);
    if (!marks || !marks->firstPoll) {
        std::fprintf(stderr, "bench-cpu: the panel did not come online (ardenix %s)\n%s\n",
                     qPrintable(panel.ExitDescription()), panel.ErrorOutput().constData());
        return 1;
    }
    Pump(1000);
    const pid_t pid = panel.Pid();
    const long rssStart = ResidentKb(pid).value_or(-1);
    std::printf("resident memory after start-up (online + 1 s): %ld kB\n", rssStart);

    // Polling.
    {
        const std::size_t from = sim.Log().size();
        const CpuMeter meter(pid);
        QList<long> samples;
        const int sampleEvery = std::max(1, seconds / 6);
        for (int s = 0; s < seconds; s += sampleEvery) {
            Pump(1000 * std::min(sampleEvery, seconds - s));
            samples.append(ResidentKb(pid).value_or(-1));
        }
        const double cpu = meter.CpuUsed();
        const double wall = meter.WallUsed();
        PrintShare("online polling:", cpu, wall);
        std::printf("  status polls answered: %zu (%.1f per second); VmRSS samples (kB):",
                    CountStatusReplies(sim.Log(), from),
                    static_cast<double>(CountStatusReplies(sim.Log(), from)) / wall);
        for (const long kb : samples) {
            std::printf(" %ld", kb);
        }
        std::printf("\n");
    }

    // Scene recalls pressed on the panel, one every 1.5 s, each waiting about 750 ms.
    if (onX && recallSeconds > 0) {
        const std::optional<XWindow> window = PanelWindow(10000);
        if (!window) {
            std::fprintf(stderr, "bench-cpu: the panel window was not found\n");
            return 1;
        }
        const std::size_t from = sim.Log().size();
        const CpuMeter meter(pid);
        int presses = 0;
        while (meter.WallUsed() < recallSeconds) {
            const int k = presses % 4;
            const QPoint scene = panelplaces::SceneButton(k);
            xdo::Click(window->id, scene.x(), scene.y());
            ++presses;
            Pump(1500);
        }
        const double cpu = meter.CpuUsed();
        const double wall = meter.WallUsed();
        PrintShare("scene recalls (press every 1.5 s):", cpu, wall);
        std::printf("  scene buttons pressed: %d, CRCL frames at the mixer: %zu, status polls "
                    "answered: %zu\n",
                    presses, CountFrames(sim.Log(), from, QStringLiteral("CRCL")),
                    CountStatusReplies(sim.Log(), from));
        std::printf("  recalls at the mixer:");
        for (std::size_t i = from; i < sim.Log().size(); ++i) {
            if (sim.Log()[i].IsFrame() && sim.Log()[i].Code() == QLatin1String("CRCL")) {
                std::printf(" [%s]", qPrintable(sim.Log()[i].what.mid(3)));
            }
        }
        std::printf("\n");
    } else {
        std::printf("scene recalls: skipped (%s)\n",
                    onX ? "--recall-seconds 0" : "no X display: the presses need xdotool");
    }
    const long rssEnd = ResidentKb(pid).value_or(-1);
    std::printf("resident memory after the long run: %ld kB (%+ld kB since start-up)\n", rssEnd,
                rssEnd - rssStart);
    if (!panel.Running()) {
        std::fprintf(stderr, "bench-cpu: ardenix %s\n", qPrintable(panel.ExitDescription()));
        return 1;
    }
    return 0;
}

// First contact with a silent mixer: three frames, the time-out, message 1 waiting.
int SilentPhase(const QString& binDir, bool onX, int seconds) {
    SimRunner sim;
    PanelRunner panel;
    if (!sim.Start(binDir, {QStringLiteral("--silent")}) ||
        !panel.Start(binDir, sim.LinkPath(),
                     onX ? QStringLiteral("xcb") : QStringLiteral("offscreen"))) {
        std::fprintf(stderr, "bench-cpu: the simulator or the panel did not start\n");
        return 1;
    }
    if (!PumpUntil([&] { return CountFrames(sim.Log(), 0, QStringLiteral("RAST")) > 0; }, 30000,
                   1)) {
        std::fprintf(stderr, "bench-cpu: no first contact\n");
        return 1;
    }
    const CpuMeter meter(panel.Pid());
    Pump(1000 * seconds);
    const double cpu = meter.CpuUsed();
    const double wall = meter.WallUsed();
    PrintShare("first contact, silent mixer:", cpu, wall);
    std::printf("  frames at the mixer:");
    qint64 first = -1;
    for (const SimLine& line : sim.Log()) {
        if (line.IsFrame()) {
            first = first < 0 ? line.simMs : first;
            std::printf(" %s@%lldms", qPrintable(line.Code()),
                        static_cast<long long>(line.simMs - first));
        }
    }
    std::printf(" (then message 1 waits for the user)\n");
    std::printf("  resident memory: %ld kB\n", ResidentKb(panel.Pid()).value_or(-1));
    return panel.Running() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("CPU share and resident memory of ardenix against dorvane-sim."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(
        QStringLiteral("seconds"),
        QStringLiteral("Length of the polling and of the silent first-contact measurement "
                       "(default 60)."),
        QStringLiteral("N"));
    const QCommandLineOption recallOption(
        QStringLiteral("recall-seconds"),
        QStringLiteral("Length of the scene-recall measurement (default: --seconds)."),
        QStringLiteral("N"));
    const QCommandLineOption offscreenOption(
        QStringLiteral("offscreen"),
        QStringLiteral("Run the panel offscreen (no X, so no scene-recall presses)."));
    const QCommandLineOption fastOption(
        QStringLiteral("no-baud-delay"),
        QStringLiteral("Let the simulator answer at once instead of at 38400 baud."));
    const QCommandLineOption converterOption(
        QStringLiteral("converter-latency"),
        QStringLiteral("Let the simulator hand its bytes over as a USB serial converter with "
                       "this latency timer does (an FTDI converter's: 16 ms)."),
        QStringLiteral("MS"));
    parser.addOption(converterOption);
    parser.addOption(secondsOption);
    parser.addOption(recallOption);
    parser.addOption(offscreenOption);
    parser.addOption(fastOption);
    parser.process(app);
    int seconds = 60;
    if (!IntegerOption(parser, secondsOption, 1, 86400, seconds)) {
        return 2;
    }
    int recallSeconds = seconds;
    if (!IntegerOption(parser, recallOption, 0, 86400, recallSeconds)) {
        return 2;
    }
    XSession x;
    bool onX = !parser.isSet(offscreenOption);
    if (onX && !x.Open()) {
        std::printf("no X session (%s): the panel runs offscreen\n", qPrintable(x.Problem()));
        onX = false;
    }
    const QString binDir = BinDirectory();
    QStringList simArguments =
        parser.isSet(fastOption) ? QStringList() : QStringList{QStringLiteral("--baud-delay")};
    if (parser.isSet(converterOption) && !simArguments.isEmpty()) {
        simArguments << QStringLiteral("--converter-latency") << parser.value(converterOption);
    }
    std::printf(
        "bench-cpu: ardenix on %s, dorvane-sim %s, %d s per measurement\n",
        onX ? qPrintable(QStringLiteral("xcb (") + x.Display() + QLatin1Char(')')) : "offscreen",
        simArguments.isEmpty() ? "answering at once" : qPrintable(simArguments.join(' ')), seconds);
    std::fflush(stdout);
    int status = OnlinePhases(binDir, simArguments, onX, seconds, recallSeconds);
    std::fflush(stdout);
    status |= SilentPhase(binDir, onX, seconds);
    return status;
}
