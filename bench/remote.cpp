// bench-remote: the network remote, measured in-process against dorvane-sim.
// The engine runs here as the program runs it, with the remote's server
// beside it on loopback; the clients run in the same event loop (what they
// take to read a message counts against the server).
//
// 1. Fan-out: from the reply that changed a master's level being applied to
//    the moment the last of 32 WebSocket clients has the change.
// 2. HTTP: from writing a POST /api/v1/SelectInput to the frame's arrival at
//    mixer's side of the line (a relay between the engine and the simulator
//    notes each frame's carriage return).
// 3. OSC: from sending a datagram (/ardenix/master/b/mute) to its frame at the
//    mixer's side of the line; once alone, once with 32 WebSocket clients
//    connected and master A's level moving up and down meanwhile.
//
// Each measure is a function of its own taking the running setup; further
// front-ends add theirs to the list in main().
#include "app/startup.h"
#include "app/wiring.h"
#include "bench/eventwait.h"
#include "bench/linerelay.h"
#include "bench/simrunner.h"
#include "bench/stats.h"
#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "osc/osccodec.h"
#include "osc/oscserver.h"
#include "panel/panel.h"
#include "remote/remoteserver.h"
#include "serial/serial.h"
#include "windows/windows.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The mirror of the mixer and the exchange with it, as the program's main
// owns them.
MixerMirror mirror;
LinkRecord linkRecord;

using bench::PumpUntil;

void Print(const char* name, const std::vector<double>& ms) {
    std::printf("%-34s n=%5zu  p50 %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", name, ms.size(),
                bench::Median(ms), bench::Quantile(ms, 0.99), bench::Maximum(ms));
}

// Notes when a status reply changed master B's level (it runs before the
// server hears the same reply: it subscribed first).
class LevelProbe : public StateObserver {
public:
    qint64 changedAtUs = -1;
    int level = -1;
    void ReplyApplied(RequestKind) override {
        if (mirror.panel.masters[1].level != level) {
            level = mirror.panel.masters[1].level;
            changedAtUs = clock.nsecsElapsed() / 1000;
        }
    }
    QElapsedTimer clock;
};

// The engine online on the simulator, and the server listening.
struct Setup {
    PanelRefresh panel;
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    bench::SimRunner sim;
    bench::Relay relay;
    LevelProbe probe;
    std::unique_ptr<remote::RemoteServer> server;
    std::unique_ptr<osc::OscServer> oscServer;
    QByteArray token = "bench-token-0123456789abcdef";

    bool Start() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        host::SetMsgBoxHandler([](const QString& text, int, const QString&) {
            std::fprintf(stderr, "bench-remote: message: %s\n", qPrintable(text));
            return host::mbOk;
        });
        if (!sim.Start(QCoreApplication::applicationDirPath())) {
            std::fprintf(stderr, "bench-remote: the simulator did not start\n");
            return false;
        }
        if (!relay.Start(sim.LinkPath())) {
            std::fprintf(stderr, "bench-remote: no relay on a pseudo-terminal\n");
            return false;
        }
        qputenv("ARDENIX_PORT", relay.PanelPath().toLocal8Bit());
        qputenv("ARDENIX_REMOTE_TOKEN", token);
        host::SetCommandLineText(QString());
        probe.clock.start();
        Subscribe(probe);
        Main(linkRecord, mirror, connectionMessage);
        if (!PumpUntil([] { return CurrentLinkState() == LinkState::Online; }, 15000)) {
            std::fprintf(stderr, "bench-remote: the mixer did not come online\n");
            return false;
        }
        RemoteSettings settings;
        settings.httpPort = 0;
        server = std::make_unique<remote::RemoteServer>(operations, settings);
        QString error;
        if (!server->Listen(&error)) {
            std::fprintf(stderr, "bench-remote: %s\n", qPrintable(error));
            return false;
        }
        osc::OscSettings oscSettings;
        oscSettings.port = 0;
        oscSettings.maxCommandsPerSecond = 1 << 30; // one sender sends every measured command
        oscServer = std::make_unique<osc::OscServer>(operations, oscSettings);
        if (!oscServer->Listen(&error)) {
            std::fprintf(stderr, "bench-remote: %s\n", qPrintable(error));
            return false;
        }
        return true;
    }
    QUrl WsUrl() const {
        return QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws?token=%2")
                        .arg(server->HttpPort())
                        .arg(QString::fromLatin1(token)));
    }
};

// A WebSocket client that notes when it saw master B at each level.
struct Listener {
    QWebSocket socket;
    bool ready = false;
    int level = -1;
    qint64 atUs = -1;
};

// Connects the most WebSocket clients the server takes; empty when they did not connect.
std::vector<std::unique_ptr<Listener>> ConnectListeners(Setup& setup) {
    std::vector<std::unique_ptr<Listener>> clients;
    for (int i = 0; i < remote::mostWebSocketClients; ++i) {
        auto client = std::make_unique<Listener>();
        Listener* l = client.get();
        QObject::connect(&l->socket, &QWebSocket::textMessageReceived,
                         [l, &setup](const QString& text) {
                             const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
                             l->ready = true;
                             const QJsonValue levels = m.value(QStringLiteral("changes"))
                                                           .toObject()
                                                           .value(QStringLiteral("masterLevels"));
                             if (levels.isArray()) {
                                 l->level = levels.toArray().at(1).toInt();
                                 l->atUs = setup.probe.clock.nsecsElapsed() / 1000;
                             }
                         });
        l->socket.open(setup.WsUrl());
        clients.push_back(std::move(client));
    }
    if (!PumpUntil(
            [&] {
                return std::all_of(clients.begin(), clients.end(),
                                   [](const auto& c) { return c->ready; });
            },
            10000)) {
        std::fprintf(stderr, "bench-remote: the WebSocket clients did not connect\n");
        return {};
    }
    return clients;
}

void MeasureFanOut(Setup& setup, int changes) {
    const std::vector<std::unique_ptr<Listener>> clients = ConnectListeners(setup);
    if (clients.empty()) {
        return;
    }
    setup.sim.Command(QStringLiteral("set mute B off"));
    std::vector<double> ms;
    for (int i = 0; i < changes; ++i) {
        const int level = 5 + i % 20;
        if (level == setup.probe.level) {
            continue;
        }
        setup.sim.Command(QStringLiteral("set level B %1").arg(level));
        const bool all = PumpUntil(
            [&] {
                return std::all_of(clients.begin(), clients.end(),
                                   [level](const auto& c) { return c->level == level; });
            },
            3000, 1);
        if (!all || setup.probe.level != level) {
            std::fprintf(stderr, "bench-remote: a change did not reach every client\n");
            continue;
        }
        qint64 last = 0;
        for (const auto& c : clients) {
            last = std::max(last, c->atUs);
        }
        ms.push_back(static_cast<double>(last - setup.probe.changedAtUs) / 1000.0);
    }
    Print("reply applied -> 32 WS clients", ms);
}

void MeasureHttpToFrame(Setup& setup, int calls) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, setup.server->HttpPort());
    if (!PumpUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }, 3000)) {
        std::fprintf(stderr, "bench-remote: no HTTP connection\n");
        return;
    }
    QByteArray answers;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { answers += socket.readAll(); });
    std::vector<double> ms;
    for (int i = 0; i < calls; ++i) {
        const QByteArray body = "{\"input\":" + QByteArray::number(1 + i % 6) + "}";
        const QByteArray request = "POST /api/v1/SelectInput HTTP/1.1\r\nHost: 127.0.0.1:" +
                                   QByteArray::number(setup.server->HttpPort()) +
                                   "\r\nAuthorization: Bearer " + setup.token +
                                   "\r\nContent-Type: application/json\r\nContent-Length: " +
                                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
        answers.clear();
        const bench::Clock::time_point sentAt = bench::Clock::now();
        socket.write(request);
        // The input selected already sends nothing: that call is not counted.
        std::optional<bench::Clock::time_point> at;
        PumpUntil([&] { return (at = setup.relay.CodeAfter("CSEL", sentAt)).has_value(); }, 1000,
                  1);
        PumpUntil([&] { return answers.contains("\r\n\r\n"); }, 2000, 1);
        PumpUntil([] { return bench::ChangesSettled(linkRecord); }, 2000, 1);
        if (at) {
            ms.push_back(std::chrono::duration<double, std::milli>(*at - sentAt).count());
        }
    }
    Print("HTTP POST -> frame at the mixer", ms);
}

void MeasureOscToFrame(Setup& setup, int commands, const char* name) {
    QUdpSocket sender;
    sender.bind(QHostAddress::LocalHost, 0);
    QObject::connect(&sender, &QUdpSocket::readyRead, [&sender] {
        while (sender.hasPendingDatagrams()) {
            sender.receiveDatagram(); // the feedback a command's sender hears
        }
    });
    std::vector<double> ms;
    bool on = true;
    for (int k = 0; k < commands; ++k) {
        PumpUntil([] { return bench::ChangesSettled(linkRecord); }, 2000, 1);
        const QByteArray packet = osc::EncodeMessage(
            osc::Message{"/ardenix/master/b/mute", {osc::Argument::Int(on ? 1 : 0)}});
        const bench::Clock::time_point sentAt = bench::Clock::now();
        sender.writeDatagram(packet, QHostAddress::LocalHost, setup.oscServer->Port());
        std::optional<bench::Clock::time_point> at;
        PumpUntil([&] { return (at = setup.relay.CodeAfter("CMUT", sentAt)).has_value(); }, 1000,
                  1);
        if (at) {
            ms.push_back(std::chrono::duration<double, std::milli>(*at - sentAt).count());
        }
        on = !on;
    }
    Print(name, ms);
}

// The same with 32 WebSocket clients connected and master A's level moving:
// its level button held up and down in turn by a caller of its own.
void MeasureOscUnderLoad(Setup& setup, int commands) {
    const std::vector<std::unique_ptr<Listener>> clients = ConnectListeners(setup);
    if (clients.empty()) {
        return;
    }
    setup.sim.Command(QStringLiteral("set mute A off"));
    const engine::Caller mover{engine::Caller::Kind::Remote, 7};
    bool up = true;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        setup.operations.ReleaseLevel(mover, 0);
        setup.operations.PressLevel(mover, 0, !up);
        up = !up;
    });
    setup.operations.PressLevel(mover, 0, false);
    turn.start(1500);
    MeasureOscToFrame(setup, commands, "OSC -> frame, 32 WS + level moving");
    turn.stop();
    setup.operations.LetGo(mover.holder);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The network remote's latencies."));
    parser.addHelpOption();
    const QCommandLineOption countOption(QStringLiteral("count"),
                                         QStringLiteral("Measurements per figure (default 300)."),
                                         QStringLiteral("N"));
    parser.addOption(countOption);
    parser.process(app);
    bool ok = true;
    const int count = parser.isSet(countOption) ? parser.value(countOption).toInt(&ok) : 300;
    if (!ok || count < 2 || count > 100000) {
        std::fprintf(stderr, "--count needs a number 2..100000\n");
        return 2;
    }
    int status = 1;
    {
        Setup setup;
        if (setup.Start()) {
            MeasureFanOut(setup, count);
            MeasureHttpToFrame(setup, count);
            MeasureOscToFrame(setup, count, "OSC datagram -> frame at the mixer");
            MeasureOscUnderLoad(setup, count);
            status = 0;
        }
        setup.oscServer.reset();
        setup.server.reset();
        Unsubscribe(setup.probe);
        std::fflush(stdout);
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return status;
}
