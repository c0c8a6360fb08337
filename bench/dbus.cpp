// bench-dbus: the panel's session-bus service, measured from outside. The real
// ardenix (offscreen) runs on a private session bus; between it and
// dorvane-sim sits a relay on a pseudo-terminal that passes every byte on and
// notes when each frame's carriage return reaches the mixer's side.
//
// 1. From a method call (SetMute and SelectInput in turn) to the carriage
//    return of its frame at the relay: median and 99th percentile. The
//    simulator answers at once (no wire time).
// 2. SetLevel against the simulator's paced replies (--baud-delay): the
//    error (where the mixer's level stopped minus the target) and the time of
//    the call, over random targets.
#include "bench/eventwait.h"
#include "bench/linerelay.h"
#include "bench/options.h"
#include "bench/panelrunner.h"
#include "bench/simrunner.h"
#include "bench/stats.h"
#include "tests/support/privatebus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using bench::Clock;

const QString service = QStringLiteral("org.ardenix.Ardenix");
const QString path = QStringLiteral("/org/ardenix/Ardenix");
const QString mixer = QStringLiteral("org.ardenix.Mixer1");

using bench::Frame;
using bench::Relay;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

QDBusMessage Call(QDBusConnection& bus, const QString& method, const QVariantList& arguments,
                  int timeoutMs = 20000) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, mixer, method);
    call.setArguments(arguments);
    call.setAutoStartService(false);
    return bus.call(call, QDBus::Block, timeoutMs);
}

QJsonObject SimState(bench::SimRunner& sim) {
    return QJsonDocument::fromJson(sim.Command(QStringLiteral("state")).toUtf8()).object();
}

void PrintSeries(const char* name, const std::vector<double>& ms) {
    std::printf("%-24s n=%5zu  median %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", name, ms.size(),
                bench::Median(ms), bench::Quantile(ms, 0.99), bench::Maximum(ms));
}

// For reference: the round trip of a property read, answered by the panel's
// event loop as the methods are, but without touching the panel or the line.
void MeasureRoundTrips(QDBusConnection& bus, int calls) {
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        QDBusMessage get = QDBusMessage::createMethodCall(
            service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << mixer << QStringLiteral("SelectedInput");
        const Clock::time_point start = Clock::now();
        bus.call(get, QDBus::Block, 5000);
        ms.push_back(Milliseconds(Clock::now() - start));
        bench::Pump(2);
    }
    PrintSeries("property read (reference)", ms);
}

// Calls that each send one frame, and the time to its carriage return.
bool MeasureCalls(QDBusConnection& bus, Relay& relay, bench::SimRunner& sim, int calls) {
    sim.Command(QStringLiteral("baud-delay off"));
    sim.Command(QStringLiteral("set input 1"));
    sim.Command(QStringLiteral("set mute A off"));
    bench::Pump(600);
    std::vector<double> all;
    std::vector<double> mute;
    std::vector<double> input;
    bool muted = false;
    int selected = 1;
    QRandomGenerator pause(7);
    relay.Forget();
    for (int i = 0; i < calls; ++i) {
        QString method;
        QVariantList arguments;
        QByteArray frame;
        if (i % 2 == 0) {
            muted = !muted;
            method = QStringLiteral("SetMute");
            arguments = {QStringLiteral("A"), muted};
            frame = muted ? "CMUT 40 41" : "CMUT 40 40";
        } else {
            selected = selected % 6 + 1;
            method = QStringLiteral("SelectInput");
            arguments = {selected};
            frame = "CSEL " + QByteArray::number(0x30 + selected, 16).toUpper();
        }
        const Clock::time_point start = Clock::now();
        const QDBusMessage reply = Call(bus, method, arguments);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "bench-dbus: call %d (%s) failed: %s\n", i, qPrintable(method),
                         qPrintable(reply.errorMessage()));
            return false;
        }
        std::optional<Clock::time_point> at;
        bench::PumpUntil([&] { return (at = relay.FrameAfter(frame, start)).has_value(); }, 2000,
                         1);
        if (!at) {
            std::fprintf(stderr, "bench-dbus: call %d (%s) sent no %s\n", i, qPrintable(method),
                         frame.constData());
            return false;
        }
        const double ms = Milliseconds(*at - start);
        all.push_back(ms);
        (i % 2 == 0 ? mute : input).push_back(ms);
        // The acknowledgement and, now and then, a status poll between calls.
        bench::Pump(15 + static_cast<int>(pause.bounded(20)));
    }
    std::printf("bench-dbus: %d calls, from the call to its frame's carriage return at the "
                "mixer's side (pseudo-terminal relay, no wire time)\n",
                calls);
    PrintSeries("SetMute", mute);
    PrintSeries("SelectInput", input);
    PrintSeries("all calls", all);
    std::printf("frames sent again by the reply timer: %d\n", relay.Repeats());
    MeasureRoundTrips(bus, calls);
    const double p99 = bench::Quantile(all, 0.99);
    std::printf("target p99 < 5 ms: %s\n", p99 < 5.0 ? "met" : "NOT met");
    return true;
}

bool MeasureSetLevel(QDBusConnection& bus, bench::SimRunner& sim, int targets, quint32 seed) {
    sim.Command(QStringLiteral("baud-delay on"));
    sim.Command(QStringLiteral("set mute A off"));
    bench::Pump(600);
    QRandomGenerator random(seed);
    std::vector<double> times;
    std::map<int, int> errors; // error in steps -> count
    int worst = 0;
    int unlike = 0; // reached differs from the mixer's level
    for (int i = 0; i < targets; ++i) {
        const int target = static_cast<int>(random.bounded(31));
        const int from = SimState(sim)[QLatin1String("masters")]
                             .toArray()[0]
                             .toObject()[QLatin1String("level")]
                             .toInt();
        const Clock::time_point start = Clock::now();
        const QDBusMessage reply =
            Call(bus, QStringLiteral("SetLevel"), {QStringLiteral("A"), target});
        const double ms = Milliseconds(Clock::now() - start);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::fprintf(stderr, "bench-dbus: SetLevel %d failed: %s\n", target,
                         qPrintable(reply.errorMessage()));
            return false;
        }
        const int reached = reply.arguments().value(0).toInt();
        const int level = SimState(sim)[QLatin1String("masters")]
                              .toArray()[0]
                              .toObject()[QLatin1String("level")]
                              .toInt();
        const int error = level - target;
        ++errors[error];
        worst = std::max(worst, std::abs(error));
        unlike += reached != level ? 1 : 0;
        times.push_back(ms);
        std::printf(
            "  SetLevel A %2d (from %2d): returned %2d, mixer at %2d, error %+d, %6.0f ms\n",
            target, from, reached, level, error, ms);
    }
    std::printf("bench-dbus: SetLevel over %d random targets (seed %u) against --baud-delay\n",
                targets, seed);
    for (const auto& [error, count] : errors) {
        std::printf("  error %+d steps: %d\n", error, count);
    }
    std::printf("  largest error %d step(s); returned step differs from the mixer's: %d\n", worst,
                unlike);
    PrintSeries("SetLevel time", times);
    std::printf("target within one step and 10 s: %s\n",
                worst <= 1 && bench::Maximum(times) < 10000 ? "met" : "NOT met");
    return true;
}

int Run(int calls, int targets, quint32 seed) {
    const QString binDir = bench::BinDirectory();
    SessionBus bus;
    if (!bus.Start()) {
        std::fprintf(stderr, "bench-dbus: no dbus-daemon\n");
        return 1;
    }
    bench::SimRunner sim;
    if (!sim.Start(binDir)) {
        std::fprintf(stderr, "bench-dbus: dorvane-sim did not start\n");
        return 1;
    }
    Relay relay;
    if (!relay.Start(sim.LinkPath())) {
        std::fprintf(stderr, "bench-dbus: the relay did not start\n");
        return 1;
    }
    bench::PanelRunner panel;
    if (!panel.Start(binDir, relay.PanelPath(), QStringLiteral("offscreen"))) {
        std::fprintf(stderr, "bench-dbus: ardenix did not start\n");
        return 1;
    }
    QDBusConnection client = QDBusConnection::sessionBus();
    const bool online = bench::PumpUntil(
        [&] {
            QDBusMessage get = QDBusMessage::createMethodCall(
                service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Get"));
            get << mixer << QStringLiteral("Connection");
            const QDBusMessage reply = client.call(get, QDBus::Block, 1000);
            return reply.type() == QDBusMessage::ReplyMessage &&
                   reply.arguments().value(0).value<QDBusVariant>().variant().toString() ==
                       QLatin1String("online");
        },
        20000, 100);
    if (!online) {
        std::fprintf(stderr,
                     "bench-dbus: the panel did not come online on the bus (ardenix %s)\n%s\n",
                     qPrintable(panel.ExitDescription()), panel.ErrorOutput().constData());
        return 1;
    }
    const bool measured =
        MeasureCalls(client, relay, sim, calls) && MeasureSetLevel(client, sim, targets, seed);
    panel.Stop();
    return measured ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The session-bus service: call to frame, and SetLevel's accuracy, against dorvane-sim."));
    parser.addHelpOption();
    const QCommandLineOption callsOption(QStringLiteral("calls"),
                                         QStringLiteral("Number of timed calls (default 1000)."),
                                         QStringLiteral("N"));
    const QCommandLineOption targetsOption(
        QStringLiteral("targets"), QStringLiteral("Number of SetLevel targets (default 50)."),
        QStringLiteral("N"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the random targets (default 1)."),
                                        QStringLiteral("N"));
    parser.addOption(callsOption);
    parser.addOption(targetsOption);
    parser.addOption(seedOption);
    parser.process(app);
    int calls = 1000;
    int targets = 50;
    int seed = 1;
    if (!bench::IntegerOption(parser, callsOption, 2, 1000000, calls) ||
        !bench::IntegerOption(parser, targetsOption, 1, 10000, targets) ||
        !bench::IntegerOption(parser, seedOption, 0, 1 << 30, seed)) {
        return 2;
    }
    const int status = Run(calls, targets, static_cast<quint32>(seed));
    std::fflush(stdout);
    return status;
}
