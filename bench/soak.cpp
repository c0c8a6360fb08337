// ardenix-soak: the real panel against the simulated mixer for a long time,
// with a fault injected by the mixer every few seconds and random presses on
// the panel (xdotool, like a user's mouse). After every fault the panel must
// poll the mixer again (status requests answered) within 3 s of the fault
// ending, plus the time message 1 stayed open, which the soak closes with
// Return as a user would. Exits non-zero when a recovery failed, the panel
// lost the link without a fault, or a process ended.
#include "bench/eventwait.h"
#include "bench/options.h"
#include "bench/panelrunner.h"
#include "bench/procstats.h"
#include "bench/simrunner.h"
#include "bench/stats.h"
#include "bench/trafficmarks.h"
#include "bench/xsession.h"
#include "tests/support/panelplaces.h"

#include <QDateTime>
#include <QMap>
#include <QRandomGenerator>

#include <cstdio>
#include <optional>

namespace {

using namespace bench;

const QString& panelTitle = panelplaces::title;
const QSize& panelSize = panelplaces::size;
constexpr qint64 recoveryLimitMs = 3000;
// Status requests closer together than this are polls: the one before was accepted.
constexpr qint64 pollEvidenceMs = 400;
// A scene recall holds the status poll for about 750 ms by design, then the
// poll has to come round again: each recall sent during a recovery adds this.
constexpr qint64 recallHoldMs = 1000;
// How long the soak waits for a panel that missed its limit before it gives up.
constexpr qint64 stuckLimitMs = 30000;
// How long a one-shot fault may wait for the frame it spoils.
constexpr qint64 unconsumedLimitMs = 30000;

enum class Fault { silent, nak, garbage, truncate, range, unplug, none };

const char* FaultName(Fault f) {
    switch (f) {
    case Fault::silent:
        return "silent";
    case Fault::nak:
        return "nak";
    case Fault::garbage:
        return "garbage";
    case Fault::truncate:
        return "truncate";
    case Fault::range:
        return "range";
    case Fault::unplug:
        return "unplug";
    case Fault::none:
        break;
    }
    return "no fault (link lost unasked)";
}

// The text in a spoiled reply's fault note.
QString FaultNote(Fault f) {
    switch (f) {
    case Fault::nak:
        return QStringLiteral("(fault: nak");
    case Fault::garbage:
        return QStringLiteral("garbage,");
    case Fault::truncate:
        return QStringLiteral("truncate, no CR");
    case Fault::range:
        return QStringLiteral("(fault: range");
    default:
        return {};
    }
}

struct Episode {
    Fault fault = Fault::none;
    int count = 1;                       // replies the fault spoils (nak N), else 1
    qint64 injectedLocal = 0;            // NowMs when injected
    qint64 holdUntilLocal = 0;           // silent and unplug: when the fault is lifted
    std::size_t logFrom = 0;             // the log from the injection on
    std::optional<std::size_t> endIndex; // recovery is looked for from this log line on
    std::optional<qint64> endSim;        // the fault ended (simulator time)
    qint64 messageOpenMs = 0;            // message 1 open during the episode
    bool failed = false;
    QString detail;
};

struct MessageBox {
    XWindow window;
    qint64 seenLocal = 0;
    qint64 closeAtLocal = 0;
    qint64 lastKeyLocal = -1;
    int keys = 0;
};

class Soak {
public:
    Soak(qint64 durationMs, quint32 seed, bool presses, bool calmRecovery, bool baudDelay,
         bool verbose, bool trace)
        : durationMs_(durationMs), seed_(seed), rng_(seed), presses_(presses),
          calmRecovery_(calmRecovery), baudDelay_(baudDelay), verbose_(verbose || trace),
          trace_(trace) {}

    int Run();
    // The faults to draw from (all six by default).
    QList<Fault> faults_{Fault::silent,   Fault::nak,   Fault::garbage,
                         Fault::truncate, Fault::range, Fault::unplug};

private:
    qint64 Random(qint64 low, qint64 high) { return low + rng_.bounded(high - low + 1); }
    bool Fail(const QString& what);
    void WatchMessageBox();
    void StartEpisode(qint64 now);
    void AdvanceEpisode(qint64 now);
    void FinishEpisode(qint64 now, std::optional<qint64> recoveryMs);
    // The time scene recalls sent since the fault ended held the poll.
    qint64 RecallHold(const Episode& e) const;
    void Press(qint64 now);
    void Report(long rssStart, long rssEnd, qint64 ranMs);
    QString Excerpt(std::size_t from) const;

    const qint64 durationMs_;
    const quint32 seed_;
    QRandomGenerator rng_;
    const bool presses_;
    const bool calmRecovery_; // no presses from the end of a fault until the panel polls again
    const bool baudDelay_;
    const bool verbose_;
    const bool trace_;

    SimRunner sim_;
    PanelRunner panel_;
    QString panelWindow_;
    std::optional<Episode> episode_;
    std::optional<MessageBox> box_;
    qint64 nextFaultLocal_ = 0;
    qint64 nextPressLocal_ = 0;
    qint64 nextBoxCheckLocal_ = 0;
    bool transportHeld_ = false;

    QStringList failures_;
    QMap<QString, int> faultsInjected_;
    QMap<QString, std::vector<double>> recoveries_;
    int messagesShown_ = 0;
    int messagesClosed_ = 0;
    qint64 messagesOpenMs_ = 0;
    QMap<QString, int> pressCounts_;
    QMap<QString, int> timeoutsAfterOneReply_;
    bool aborted_ = false;
};

bool Soak::Fail(const QString& what) {
    failures_.append(what);
    std::printf("FAILURE: %s\n", qPrintable(what));
    std::fflush(stdout);
    return false;
}

QString Soak::Excerpt(std::size_t from) const {
    const std::size_t size = sim_.Log().size();
    const std::size_t start = size - from > 80 ? size - 80 : from;
    return sim_.LogText(start);
}

// Message 1 shares the panel's title: any other size is the message box.
// While it is open, the user reads it and presses Return after a moment.
void Soak::WatchMessageBox() {
    const qint64 now = NowMs();
    if (now < nextBoxCheckLocal_) {
        return;
    }
    nextBoxCheckLocal_ = now + (episode_ || box_ ? 150 : 1000);
    std::optional<XWindow> found;
    for (const XWindow& w : xdo::VisibleWindows(panelTitle)) {
        if (w.geometry.size() == panelSize) {
            panelWindow_ = w.id;
        } else if (w.geometry.width() > 0) {
            found = w;
        }
    }
    if (box_ && (!found || found->id != box_->window.id)) {
        const qint64 open = now - box_->seenLocal;
        messagesOpenMs_ += open;
        ++messagesClosed_;
        if (episode_) {
            episode_->messageOpenMs += open;
        }
        box_.reset();
    }
    if (found && !box_) {
        ++messagesShown_;
        if (episode_ && (episode_->fault == Fault::garbage || episode_->fault == Fault::truncate ||
                         episode_->fault == Fault::range)) {
            // One spoiled reply is answered by a retransmission; a time-out
            // after it is worth a note (it is not a failed recovery).
            ++timeoutsAfterOneReply_[QString::fromLatin1(FaultName(episode_->fault))];
        }
        box_ = MessageBox{*found, now, now + Random(300, 1200)};
        if (!episode_) {
            // The link went down with no fault injected: that is a failure in
            // itself, and the panel must still come back.
            Episode lost;
            lost.injectedLocal = now;
            lost.logFrom = sim_.Log().size();
            lost.endIndex = lost.logFrom;
            lost.endSim = sim_.ToSim(now);
            episode_ = lost;
            Fail(QStringLiteral("message 1 appeared at %1 ms (simulator time) with no fault "
                                "injected\n%2")
                     .arg(sim_.ToSim(now))
                     .arg(Excerpt(lost.logFrom > 40 ? lost.logFrom - 40 : 0)));
            episode_->failed = true;
        }
    }
    if (box_ && now >= box_->closeAtLocal &&
        (box_->lastKeyLocal < 0 || now - box_->lastKeyLocal > 1500)) {
        // The user brings the box to the front and presses Return.
        xdo::Run({QStringLiteral("windowfocus"), QStringLiteral("--sync"), box_->window.id});
        if (box_->keys % 2 == 0) {
            xdo::Run({QStringLiteral("key"), QStringLiteral("Return")});
        } else {
            xdo::Run({QStringLiteral("key"), QStringLiteral("--window"), box_->window.id,
                      QStringLiteral("Return")});
        }
        ++box_->keys;
        box_->lastKeyLocal = now;
        nextBoxCheckLocal_ = now + 100;
    }
}

void Soak::StartEpisode(qint64 now) {
    Episode e;
    e.fault = faults_[static_cast<qsizetype>(rng_.bounded(static_cast<quint32>(faults_.size())))];
    e.injectedLocal = now;
    e.logFrom = sim_.Log().size();
    QString command = QString::fromLatin1(FaultName(e.fault));
    switch (e.fault) {
    case Fault::silent:
        command = QStringLiteral("silent on");
        e.holdUntilLocal = now + Random(500, 4000);
        break;
    case Fault::unplug:
        e.holdUntilLocal = now + Random(1000, 4000);
        break;
    case Fault::nak:
        e.count = static_cast<int>(Random(1, 5));
        command = QStringLiteral("nak %1").arg(e.count);
        break;
    default:
        break;
    }
    const QString answer = sim_.Command(command);
    if (!answer.startsWith(QLatin1String("ok"))) {
        Fail(QStringLiteral("the simulator refused \"%1\": %2").arg(command, answer));
        aborted_ = true;
        return;
    }
    ++faultsInjected_[QString::fromLatin1(FaultName(e.fault))];
    e.detail = command;
    episode_ = e;
}

void Soak::AdvanceEpisode(qint64 now) {
    Episode& e = *episode_;
    const std::vector<SimLine>& log = sim_.Log();
    if (!e.endSim) {
        if (e.fault == Fault::silent || e.fault == Fault::unplug) {
            if (now >= e.holdUntilLocal) {
                const qint64 before = NowMs();
                const QString command = e.fault == Fault::silent ? QStringLiteral("silent off")
                                                                 : QStringLiteral("plug");
                const QString answer = sim_.Command(command);
                if (!answer.startsWith(QLatin1String("ok"))) {
                    Fail(QStringLiteral("the simulator refused \"%1\": %2").arg(command, answer));
                    aborted_ = true;
                    return;
                }
                e.endSim = sim_.ToSim(before);
                e.endIndex = log.size();
                e.detail += QStringLiteral(" for %1 ms").arg(before - e.injectedLocal);
            }
        } else {
            // A one-shot fault ends with the last reply it spoils.
            const QString note = FaultNote(e.fault);
            int spoiled = 0;
            for (std::size_t i = e.logFrom; i < log.size(); ++i) {
                if (log[i].IsReply() && log[i].what.contains(note) && ++spoiled == e.count) {
                    e.endSim = log[i].simMs;
                    e.endIndex = i + 1;
                    break;
                }
            }
            if (!e.endSim && now - e.injectedLocal > unconsumedLimitMs) {
                Fail(QStringLiteral("\"%1\": the panel sent no frame for the fault to spoil "
                                    "within %2 s\n%3")
                         .arg(e.detail)
                         .arg(unconsumedLimitMs / 1000)
                         .arg(Excerpt(e.logFrom)));
                aborted_ = true;
            }
        }
        return;
    }
    // Back online: the panel polls again. A status request answered and the
    // next status request sent within 400 ms: the reply was accepted (a
    // rejected or unanswered request is only sent again on the reply timer's
    // next tick, 500 ms after the last).
    std::optional<std::size_t> previous;
    for (std::size_t i = *e.endIndex; i < log.size(); ++i) {
        if (!log[i].IsFrame() || log[i].Code() != QLatin1String("RAST")) {
            continue;
        }
        if (previous && log[i].simMs - log[*previous].simMs < pollEvidenceMs) {
            FinishEpisode(now, log[i].simMs - *e.endSim);
            return;
        }
        previous.reset();
        if (i + 1 < log.size() && log[i + 1].IsStatusReply() && log[i].simMs >= *e.endSim) {
            previous = i;
        }
    }
    const qint64 openNow = box_ ? now - box_->seenLocal : 0;
    const qint64 allowed = recoveryLimitMs + e.messageOpenMs + openNow + RecallHold(e);
    const qint64 since = sim_.ToSim(now) - *e.endSim;
    if (!e.failed && !box_ && since > allowed) {
        e.failed = true;
        Fail(QStringLiteral("after \"%1\" the panel was not polling again %2 ms after the "
                            "fault ended (message 1 open %3 ms)\n%4")
                 .arg(e.detail)
                 .arg(since)
                 .arg(e.messageOpenMs)
                 .arg(Excerpt(e.logFrom)));
    }
    if (since > allowed + stuckLimitMs) {
        Fail(QStringLiteral("after \"%1\" the panel stayed offline for %2 s: soak stopped")
                 .arg(e.detail)
                 .arg(since / 1000));
        aborted_ = true;
    }
}

qint64 Soak::RecallHold(const Episode& e) const {
    qint64 hold = 0;
    if (e.endIndex) {
        const auto& log = sim_.Log();
        for (std::size_t i = *e.endIndex; i < log.size(); ++i) {
            if (log[i].IsFrame() && log[i].Code() == QLatin1String("CRCL")) {
                hold += recallHoldMs;
            }
        }
    }
    return hold;
}

void Soak::FinishEpisode(qint64 now, std::optional<qint64> recoveryMs) {
    Episode& e = *episode_;
    const qint64 allowed = recoveryLimitMs + e.messageOpenMs + RecallHold(e);
    if (recoveryMs) {
        recoveries_[QString::fromLatin1(FaultName(e.fault))].push_back(
            static_cast<double>(*recoveryMs));
        if (*recoveryMs > allowed && !e.failed) {
            e.failed = true;
            Fail(QStringLiteral("after \"%1\" the panel polled again only %2 ms after the fault "
                                "ended (allowed %3 ms)\n%4")
                     .arg(e.detail)
                     .arg(*recoveryMs)
                     .arg(allowed)
                     .arg(Excerpt(e.logFrom)));
        }
    }
    if (verbose_) {
        std::printf("%8lld ms  %-30s back in %5lld ms (message 1 open %lld ms)%s\n",
                    static_cast<long long>(sim_.ToSim(e.injectedLocal)), qPrintable(e.detail),
                    static_cast<long long>(recoveryMs.value_or(-1)),
                    static_cast<long long>(e.messageOpenMs), e.failed ? "  FAILED" : "");
        if (trace_) {
            std::printf("%s\n", qPrintable(sim_.LogText(e.logFrom)));
        }
        std::fflush(stdout);
    }
    episode_.reset();
    nextFaultLocal_ = now + Random(2000, 6000);
}

// One random user action on the panel's controls (client-area positions).
void Soak::Press(qint64 now) {
    if (panelWindow_.isEmpty()) {
        return;
    }
    if (transportHeld_) {
        xdo::ButtonUp(panelWindow_);
        transportHeld_ = false;
        nextPressLocal_ = now + Random(300, 1500);
        return;
    }
    const int group = static_cast<int>(rng_.bounded(4));
    if (group == 0) {
        const int k = static_cast<int>(rng_.bounded(6));
        const QPoint input = panelplaces::InputButton(k);
        xdo::Click(panelWindow_, input.x(), input.y());
        ++pressCounts_[QStringLiteral("input")];
    } else if (group == 1) {
        const QPoint mute = panelplaces::MuteButton(rng_.bounded(2));
        xdo::Click(panelWindow_, mute.x(), mute.y());
        ++pressCounts_[QStringLiteral("mute")];
    } else if (group == 2) {
        const int k = static_cast<int>(rng_.bounded(7));
        const QPoint key = panelplaces::TransportKey(k);
        xdo::ButtonDown(panelWindow_, key.x(), key.y());
        transportHeld_ = true;
        ++pressCounts_[QStringLiteral("transport")];
        nextPressLocal_ = now + Random(100, 400);
        return;
    } else {
        const int k = static_cast<int>(rng_.bounded(4));
        const QPoint scene = panelplaces::SceneButton(k);
        xdo::Click(panelWindow_, scene.x(), scene.y());
        ++pressCounts_[QStringLiteral("scene")];
    }
    nextPressLocal_ = now + Random(300, 1500);
}

int Soak::Run() {
    const QString binDir = BinDirectory();
    const QStringList simArguments =
        baudDelay_ ? QStringList{QStringLiteral("--baud-delay")} : QStringList();
    if (!sim_.Start(binDir, simArguments)) {
        std::fprintf(stderr, "ardenix-soak: dorvane-sim did not start\n");
        return 1;
    }
    if (!panel_.Start(binDir, sim_.LinkPath(), QStringLiteral("xcb"))) {
        std::fprintf(stderr, "ardenix-soak: ardenix did not start\n");
        return 1;
    }
    std::optional<StatusReadMarks> marks;
    PumpUntil(
        [&] {
            marks = FindStatusRead(sim_.Log());
            return (marks && marks->firstPoll) || !panel_.Running();
        },
        30000, 20);
    if (!marks || !marks->firstPoll) {
        std::fprintf(stderr, "ardenix-soak: the panel did not come online (ardenix %s)\n%s\n",
                     qPrintable(panel_.ExitDescription()), panel_.ErrorOutput().constData());
        return 1;
    }
    PumpUntil(
        [&] {
            WatchMessageBox();
            return !panelWindow_.isEmpty();
        },
        10000, 50);
    if (panelWindow_.isEmpty()) {
        std::fprintf(stderr, "ardenix-soak: the panel window was not found\n");
        return 1;
    }
    Pump(500);
    const pid_t pid = panel_.Pid();
    const long rssStart = ResidentKb(pid).value_or(-1);
    const qint64 start = NowMs();
    const qint64 end = start + durationMs_;
    nextFaultLocal_ = start + Random(1000, 3000);
    nextPressLocal_ = start + Random(200, 1000);
    qint64 nextProgress = start + 60000;
    std::printf("ardenix-soak: %lld s, seed %u, presses %s, dorvane-sim %s\n",
                static_cast<long long>(durationMs_ / 1000), seed_, presses_ ? "by xdotool" : "off",
                baudDelay_ ? "--baud-delay" : "answering at once");
    std::fflush(stdout);

    while (!aborted_) {
        Pump(20);
        const qint64 now = NowMs();
        if (!panel_.Running()) {
            Fail(QStringLiteral("ardenix %1\n%2\n%3")
                     .arg(panel_.ExitDescription(), Excerpt(0),
                          QString::fromLocal8Bit(panel_.ErrorOutput())));
            aborted_ = true;
            break;
        }
        if (!sim_.Running()) {
            Fail(QStringLiteral("dorvane-sim ended"));
            aborted_ = true;
            break;
        }
        WatchMessageBox();
        if (episode_) {
            AdvanceEpisode(now);
        } else if (now >= end) {
            break;
        } else if (now >= nextFaultLocal_) {
            StartEpisode(now);
        }
        const bool recovering = episode_ && episode_->endSim.has_value();
        if (presses_ && !box_ && !(calmRecovery_ && recovering && !transportHeld_) &&
            now >= nextPressLocal_ && now < end) {
            Press(now);
        }
        if (now >= nextProgress) {
            nextProgress += 60000;
            int injected = 0;
            for (const int n : faultsInjected_) {
                injected += n;
            }
            std::printf("  %3lld min: %d faults, %lld failures, VmRSS %ld kB\n",
                        static_cast<long long>((now - start) / 60000), injected,
                        static_cast<long long>(failures_.size()), ResidentKb(pid).value_or(-1));
            std::fflush(stdout);
        }
    }
    if (transportHeld_) {
        xdo::ButtonUp(panelWindow_);
    }
    const long rssEnd = panel_.Running() ? ResidentKb(pid).value_or(-1) : -1;
    Report(rssStart, rssEnd, NowMs() - start);
    return failures_.isEmpty() ? 0 : 1;
}

void Soak::Report(long rssStart, long rssEnd, qint64 ranMs) {
    const std::vector<SimLine>& log = sim_.Log();
    QMap<QString, int> frames;
    int statusAnswered = 0;
    int simErrors = 0;
    for (const SimLine& line : log) {
        if (line.IsFrame()) {
            ++frames[line.Code()];
        }
        statusAnswered += line.IsStatusReply() ? 1 : 0;
        simErrors += line.what.startsWith(QLatin1String("error:")) ? 1 : 0;
    }
    int injected = 0;
    QStringList perKind;
    for (auto it = faultsInjected_.cbegin(); it != faultsInjected_.cend(); ++it) {
        injected += it.value();
        perKind.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    }
    int recovered = 0;
    for (const auto& times : recoveries_) {
        recovered += static_cast<int>(times.size());
    }
    std::printf("\nran %.1f s\n", static_cast<double>(ranMs) / 1000.0);
    std::printf("faults injected: %d (%s)\n", injected,
                qPrintable(perKind.join(QStringLiteral(", "))));
    std::printf("recoveries: %d, failures: %lld\n", recovered,
                static_cast<long long>(failures_.size()));
    std::printf("time from the end of the fault to the panel polling again (ms):\n");
    for (auto it = recoveries_.cbegin(); it != recoveries_.cend(); ++it) {
        std::printf("  %-28s n=%3zu  median %6.0f  max %6.0f\n", qPrintable(it.key()),
                    it.value().size(), Median(it.value()), Maximum(it.value()));
    }
    std::printf("message 1: shown %d, closed %d, open %lld ms in all\n", messagesShown_,
                messagesClosed_, static_cast<long long>(messagesOpenMs_));
    QStringList notes;
    for (auto it = timeoutsAfterOneReply_.cbegin(); it != timeoutsAfterOneReply_.cend(); ++it) {
        notes.append(QStringLiteral("%1 %2 of %3")
                         .arg(it.key())
                         .arg(it.value())
                         .arg(faultsInjected_.value(it.key())));
    }
    std::printf("note: message 1 after a single spoiled reply (retransmission expected): %s\n",
                notes.isEmpty() ? "none" : qPrintable(notes.join(QStringLiteral(", "))));
    QStringList presses;
    for (auto it = pressCounts_.cbegin(); it != pressCounts_.cend(); ++it) {
        presses.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    }
    std::printf("presses: %s\n",
                presses_ ? qPrintable(presses.join(QStringLiteral(", "))) : "none (switched off)");
    QStringList codes;
    int total = 0;
    for (auto it = frames.cbegin(); it != frames.cend(); ++it) {
        total += it.value();
        codes.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    }
    std::printf("frames at the mixer: %d (%s); answered status requests (tx A +74 bytes): %d\n",
                total, qPrintable(codes.join(QStringLiteral(", "))), statusAnswered);
    std::printf("full status reads started (RIM1): %d\n", frames.value(QStringLiteral("RIM1")));
    std::printf("simulator errors in its log: %d\n", simErrors);
    std::printf("ardenix VmRSS: %ld kB at start, %ld kB at the end (%+ld kB)\n", rssStart, rssEnd,
                rssEnd - rssStart);
    std::printf("result: %s\n", failures_.isEmpty() ? "PASS" : "FAIL");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Soak: ardenix against dorvane-sim with random faults and presses."));
    parser.addHelpOption();
    const QCommandLineOption minutesOption(QStringLiteral("minutes"),
                                           QStringLiteral("Length in minutes (default 30)."),
                                           QStringLiteral("N"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Length in seconds (short runs)."),
                                           QStringLiteral("N"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the random faults and presses."),
                                        QStringLiteral("N"));
    const QCommandLineOption noPressOption(QStringLiteral("no-presses"),
                                           QStringLiteral("Inject faults only."));
    const QCommandLineOption faultsOption(
        QStringLiteral("faults"),
        QStringLiteral("The faults to inject, separated by commas (default "
                       "silent,nak,garbage,truncate,range,unplug)."),
        QStringLiteral("LIST"));
    const QCommandLineOption calmOption(
        QStringLiteral("calm-recovery"),
        QStringLiteral("No presses from the end of a fault until the panel polls again (so no "
                       "press meets a full status read)."));
    const QCommandLineOption baudOption(
        QStringLiteral("baud-delay"),
        QStringLiteral("Let the simulator pace its replies as a 38400 baud line."));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
                                           QStringLiteral("One line per fault."));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("One line per fault and the traffic from its injection to the recovery."));
    parser.addOption(minutesOption);
    parser.addOption(secondsOption);
    parser.addOption(seedOption);
    parser.addOption(noPressOption);
    parser.addOption(faultsOption);
    parser.addOption(calmOption);
    parser.addOption(baudOption);
    parser.addOption(verboseOption);
    parser.addOption(traceOption);
    parser.process(app);
    int minutes = 30;
    int seconds = 0;
    int seed = static_cast<int>(QDateTime::currentMSecsSinceEpoch() % 1000000);
    if (!IntegerOption(parser, minutesOption, 1, 100000, minutes) ||
        !IntegerOption(parser, secondsOption, 1, 100000000, seconds) ||
        !IntegerOption(parser, seedOption, 0, 1000000000, seed)) {
        return 2;
    }
    const qint64 durationMs = 1000 * (seconds > 0 ? qint64(seconds) : 60 * qint64(minutes));
    // The panel runs on X, so message 1 can be closed like a user closes it.
    XSession x;
    if (!x.Open()) {
        std::printf("ardenix-soak: skipped: %s (message 1 can only be closed on X)\n",
                    qPrintable(x.Problem()));
        return 77;
    }
    Soak soak(durationMs, static_cast<quint32>(seed), !parser.isSet(noPressOption),
              parser.isSet(calmOption), parser.isSet(baudOption), parser.isSet(verboseOption),
              parser.isSet(traceOption));
    if (parser.isSet(faultsOption)) {
        soak.faults_.clear();
        for (const QString& name : parser.value(faultsOption).split(QLatin1Char(','))) {
            bool known = false;
            for (const Fault f : {Fault::silent, Fault::nak, Fault::garbage, Fault::truncate,
                                  Fault::range, Fault::unplug}) {
                if (name.trimmed() == QLatin1String(FaultName(f))) {
                    soak.faults_.append(f);
                    known = true;
                }
            }
            if (!known) {
                std::fprintf(stderr, "--faults: unknown fault \"%s\"\n", qPrintable(name));
                return 2;
            }
        }
    }
    return soak.Run();
}
