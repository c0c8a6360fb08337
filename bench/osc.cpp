// bench-osc: the OSC remote in-process against the simulator (the panel's
// engine and the OSC server in this process, dorvane-sim a child on its
// pseudo-terminal, the OSC clients loopback sockets of this process).
//   1. An OSC datagram to the command's frame at the simulator (the frame's
//      line in the simulator's traffic log, as this process reads it).
//   2. A status reply applied (a change made at the mixer's console) to the
//      change's datagram at a subscriber.
//   3. A steady stream of OSC messages for a while: this process's resident
//      memory before and after, and the status polls a second before and
//      during the stream.
// Prints figures only.
#include "app/startup.h"
#include "app/wiring.h"
#include "bench/eventwait.h"
#include "bench/procstats.h"
#include "bench/stats.h"
#include "connection/supervisor.h"
#include "core/hostfacts.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "osc/osccodec.h"
#include "osc/oscserver.h"
#include "panel/panel.h"
#include "serial/serial.h"
#include "tests/support/simprocess.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// The mirror of the mixer and the exchange with it, as the program's main
// owns them.
MixerMirror mirror;
LinkRecord linkRecord;

using bench::NowMs;
using bench::PumpUntil;

double NowPreciseMs() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void Print(const char* name, const std::vector<double>& ms) {
    std::printf("%-34s n=%5zu  p50 %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", name, ms.size(),
                bench::Median(ms), bench::Quantile(ms, 0.99), bench::Maximum(ms));
}

QByteArray Packet(const QByteArray& address, QList<osc::Argument> arguments = {}) {
    return osc::EncodeMessage(osc::Message{address, std::move(arguments)});
}

// The time each master A muting reply is applied that changes what the
// mirror shows (subscribed before the server: it runs first).
class MuteWatch : public StateObserver {
public:
    double changedAt = -1;
    void ReplyApplied(RequestKind) override {
        const bool now = mirror.panel.masters[0].muted == flagTrue;
        if (now != last_) {
            last_ = now;
            changedAt = NowPreciseMs();
        }
    }

private:
    bool last_ = mirror.panel.masters[0].muted == flagTrue;
};

int CountRast(const SimProcess& sim, qsizetype from) {
    return static_cast<int>(sim.Codes(from).count(QStringLiteral("RAST")));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption commandsOption(QStringLiteral("commands"),
                                            QStringLiteral("Commands to time."),
                                            QStringLiteral("N"), QStringLiteral("1000"));
    const QCommandLineOption changesOption(QStringLiteral("changes"),
                                           QStringLiteral("Mixer changes to time."),
                                           QStringLiteral("N"), QStringLiteral("100"));
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Length of the steady stream."),
                                           QStringLiteral("S"), QStringLiteral("60"));
    const QCommandLineOption rateOption(QStringLiteral("rate"),
                                        QStringLiteral("Messages a second in the stream."),
                                        QStringLiteral("N"), QStringLiteral("500"));
    parser.addOptions({commandsOption, changesOption, secondsOption, rateOption});
    parser.addHelpOption();
    parser.process(app);
    const int commands = parser.value(commandsOption).toInt();
    const int changes = parser.value(changesOption).toInt();
    const int seconds = parser.value(secondsOption).toInt();
    const int rate = parser.value(rateOption).toInt();
    if (qEnvironmentVariableIsEmpty("ARDENIX_BIN_DIR")) {
        qputenv("ARDENIX_BIN_DIR", QCoreApplication::applicationDirPath().toLocal8Bit());
    }

    // The program's engine, wired as the program wires it.
    PanelRefresh panel;
    connection::Supervisor supervisor(linkRecord, mirror, comm());
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    WireLayers(panel, supervisor, connectionMessage, operations);
    QTemporaryDir runtimeDir;
    qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    host::SetMsgBoxHandler([](const QString& text, int, const QString&) {
        std::fprintf(stderr, "bench-osc: message box: %s\n", qPrintable(text));
        return host::mbOk;
    });
    SimProcess sim;
    if (!sim.Start()) {
        std::fprintf(stderr, "bench-osc: the simulator did not start\n");
        return 1;
    }
    qputenv("ARDENIX_PORT", sim.LinkPath().toLocal8Bit());
    host::SetCommandLineText(QString());
    Main(linkRecord, mirror, connectionMessage);
    if (!PumpUntil([] { return CurrentLinkState() == LinkState::Online; }, 10000)) {
        std::fprintf(stderr, "bench-osc: the mixer did not come online\n");
        return 1;
    }
    sim.Command(QStringLiteral("set mute A off"));
    PumpUntil([] { return mirror.panel.masters[0].muted != flagTrue; }, 3000);
    MuteWatch muteWatch;
    Subscribe(muteWatch);
    osc::OscSettings settings;
    settings.port = 0;
    settings.maxCommandsPerSecond = 1 << 30; // the stream below comes from one sender per part
    osc::OscServer server(operations, settings);
    QString error;
    if (!server.Listen(&error)) {
        std::fprintf(stderr, "bench-osc: %s\n", qPrintable(error));
        return 1;
    }
    const QHostAddress loopback(QHostAddress::LocalHost);
    const quint16 port = server.Port();

    // 1. Datagram to frame: master B's muting, on and off in turn.
    {
        QUdpSocket sender;
        sender.bind(loopback, 0);
        QObject::connect(&sender, &QUdpSocket::readyRead, [&sender] {
            while (sender.hasPendingDatagrams()) {
                sender.receiveDatagram();
            }
        });
        std::vector<double> ms;
        bool on = true;
        for (int k = 0; k < commands; ++k) {
            PumpUntil([] { return bench::ChangesSettled(linkRecord); }, 2000, 1);
            const qsizetype from = sim.Log().size();
            const double sent = NowPreciseMs();
            sender.writeDatagram(Packet("/ardenix/master/b/mute", {osc::Argument::Int(on ? 1 : 0)}),
                                 loopback, port);
            double seen = -1;
            PumpUntil(
                [&] {
                    if (sim.Codes(from).contains(QStringLiteral("CMUT"))) {
                        seen = NowPreciseMs();
                    }
                    return seen >= 0;
                },
                3000, 1);
            if (seen >= 0) {
                ms.push_back(seen - sent);
            }
            on = !on;
        }
        Print("datagram -> frame at the mixer", ms);
    }

    // 2. Reply applied to the subscriber's datagram.
    {
        QUdpSocket subscriber;
        subscriber.bind(loopback, 0);
        double heardAt = -1;
        QObject::connect(&subscriber, &QUdpSocket::readyRead, [&] {
            while (subscriber.hasPendingDatagrams()) {
                const QNetworkDatagram d = subscriber.receiveDatagram();
                const auto messages = osc::DecodePacket(d.data());
                if (messages && !messages->isEmpty() &&
                    messages->first().address == "/ardenix/master/a/mute") {
                    heardAt = NowPreciseMs();
                }
            }
        });
        subscriber.writeDatagram(Packet("/ardenix/subscribe"), loopback, port);
        bench::Pump(300);
        std::vector<double> ms;
        bool on = true;
        for (int k = 0; k < changes; ++k) {
            heardAt = -1;
            muteWatch.changedAt = -1;
            sim.Command(on ? QStringLiteral("set mute A on") : QStringLiteral("set mute A off"));
            PumpUntil([&] { return heardAt >= 0 && muteWatch.changedAt >= 0; }, 3000, 1);
            if (heardAt >= 0 && muteWatch.changedAt >= 0) {
                ms.push_back(heardAt - muteWatch.changedAt);
            }
            on = !on;
            if (k % 20 == 19) {
                subscriber.writeDatagram(Packet("/ardenix/subscribe"), loopback, port);
            }
        }
        Print("reply applied -> OSC subscriber", ms);
    }

    // 3. A steady stream: reads, pings and a subscription's renewals from
    // five senders, every millisecond a few.
    {
        std::vector<std::unique_ptr<QUdpSocket>> senders;
        for (int k = 0; k < 5; ++k) {
            senders.push_back(std::make_unique<QUdpSocket>());
            QUdpSocket* s = senders.back().get();
            s->bind(loopback, 0);
            QObject::connect(s, &QUdpSocket::readyRead, [s] {
                while (s->hasPendingDatagrams()) {
                    s->receiveDatagram();
                }
            });
        }
        const QList<QByteArray> packets{Packet("/ardenix/ping"), Packet("/ardenix/master/a/level"),
                                        Packet("/ardenix/input/3/name"),
                                        Packet("/ardenix/scene/recalled"),
                                        Packet("/ardenix/subscribe")};
        const qsizetype idleFrom = sim.Log().size();
        const qint64 idleStart = NowMs();
        bench::Pump(5000);
        const double idleRast = CountRast(sim, idleFrom) * 1000.0 / double(NowMs() - idleStart);
        const long rssBefore = bench::ResidentKb(getpid()).value_or(-1);
        const qsizetype streamFrom = sim.Log().size();
        const qint64 start = NowMs();
        long sent = 0;
        long rssPeak = rssBefore;
        while (NowMs() - start < qint64(seconds) * 1000) {
            const long due = static_cast<long>((NowMs() - start) * rate / 1000);
            while (sent < due) {
                QUdpSocket& s = *senders[static_cast<std::size_t>(sent % 5)];
                s.writeDatagram(packets[static_cast<qsizetype>((sent / 5) % packets.size())],
                                loopback, port);
                ++sent;
            }
            bench::Pump(2);
            if (sent % 5000 == 0) {
                rssPeak = std::max(rssPeak, bench::ResidentKb(getpid()).value_or(-1));
            }
        }
        const double streamRast = CountRast(sim, streamFrom) * 1000.0 / double(NowMs() - start);
        bench::Pump(500);
        const long rssAfter = bench::ResidentKb(getpid()).value_or(-1);
        std::printf("stream: %ld messages in %d s (%d a second)\n", sent, seconds, rate);
        std::printf("resident memory: before %ld kB, after %ld kB, change %+ld kB, peak %ld kB\n",
                    rssBefore, rssAfter, rssAfter - rssBefore, rssPeak);
        std::printf("status polls (RAST): %.2f a second idle, %.2f a second during the stream\n",
                    idleRast, streamRast);
    }
    host::EndProgram();
    // The lock goes before its runtime folder does.
    host::ReleaseInstanceLock();
    return 0;
}
