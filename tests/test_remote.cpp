// The network remote's HTTP and WebSocket server against the simulated mixer:
// the token, the browser defences and the limits, every method's frames and
// every error's status, the state and its changes over a WebSocket, calls
// over it, a client sending garbage, the client past the limit.
//
// The panel runs in this process as in tests/test_service.cpp, with the
// server beside it; the clients talk to it over loopback from the same
// event loop. Every case runs in a process of its own.
#include "app/startup.h"
#include "app/wiring.h"
#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/remotetoken.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/panel.h"
#include "remote/remoteserver.h"
#include "serial/serial.h"
#include "tests/support/casechildren.h"
#include "tests/support/linkrecord.h"
#include "tests/support/simprocess.h"
#include "tests/support/statuscounter.h"
#include "windows/windows.h"

#include <QFile>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray token = "the-test-token-0123456789abcdefABCDEF";

// An answer read off the wire.
struct Answer {
    int status = 0;
    QByteArray head;
    QByteArray body;
    QJsonObject Json() const { return QJsonDocument::fromJson(body).object(); }
    QString Error() const { return Json().value(QStringLiteral("error")).toString(); }
};

// A WebSocket client that keeps what it is sent.
class WsClient {
public:
    explicit WsClient(const QUrl& url) {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QObject::connect(&socket, &QWebSocket::disconnected, [this] { closed = true; });
        socket.open(url);
    }
    QWebSocket socket;
    QList<QJsonObject> messages;
    bool closed = false;
};

} // namespace

class TestRemote : public QObject {
    Q_OBJECT
    PanelRefresh panel;
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    QTemporaryDir configDir;
    QTemporaryDir runtimeDir; // the single-instance lock of this process alone
    StatusCounter polls;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<remote::RemoteServer> server;

    void StartOnline() {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->Start());
        qputenv("ARDENIX_PORT", sim->LinkPath().toLocal8Bit());
        host::SetCommandLineText(QString());
        Main(linkRecord, mirror, connectionMessage);
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 10000);
        StartServer();
    }
    void StartServer() {
        RemoteSettings settings;
        settings.httpPort = 0;
        server = std::make_unique<remote::RemoteServer>(operations, settings);
        QString error;
        QVERIFY2(server->Listen(&error), qPrintable(error));
        QVERIFY(server->HttpPort() != 0);
    }
    void SimCommand(const QString& command) {
        QCOMPARE(sim->Command(command).left(2), QStringLiteral("ok"));
    }
    void WaitForPolls(int count = 2) {
        const int from = polls.applied;
        QTRY_VERIFY_WITH_TIMEOUT(polls.applied >= from + count, 5000);
    }
    QByteArray HostHeader() const { return "127.0.0.1:" + QByteArray::number(server->HttpPort()); }

    // Sends a raw request (from `source`) and reads the answer until the
    // server ends the connection.
    Answer Raw(const QByteArray& request, const QString& source = QStringLiteral("127.0.0.1"),
               int waitMs = 12000) {
        QTcpSocket socket;
        Answer answer;
        if (!socket.bind(QHostAddress(source))) {
            return answer;
        }
        socket.connectToHost(QHostAddress::LocalHost, server->HttpPort());
        socket.write(request);
        QByteArray data;
        QObject::connect(&socket, &QTcpSocket::readyRead, [&] { data += socket.readAll(); });
        QElapsedTimer clock;
        clock.start();
        while (socket.state() != QAbstractSocket::UnconnectedState && clock.elapsed() < waitMs) {
            QTest::qWait(5);
        }
        data += socket.readAll();
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0) {
            return answer;
        }
        answer.head = data.left(end);
        answer.body = data.mid(end + 4);
        answer.status = data.mid(9, 3).toInt();
        return answer;
    }
    Answer Request(const QByteArray& method, const QByteArray& path, const QByteArray& body = {},
                   const QByteArray& headers = {},
                   const QString& source = QStringLiteral("127.0.0.1")) {
        return Raw(method + ' ' + path + " HTTP/1.1\r\nHost: " + HostHeader() +
                       "\r\nConnection: close\r\n" + headers +
                       "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body,
                   source);
    }
    Answer Call(const QByteArray& method, const QJsonObject& params) {
        return Request("POST", "/api/v1/" + method, QJsonDocument(params).toJson(),
                       "Authorization: Bearer " + token + "\r\n");
    }
    QUrl WsUrl(const QByteArray& given = token) const {
        return QUrl(QStringLiteral("ws://127.0.0.1:%1/api/v1/ws?token=%2")
                        .arg(server->HttpPort())
                        .arg(QString::fromLatin1(given)));
    }
    // The command frames the mixer received while `act` ran, acknowledged.
    QStringList CommandsOf(const std::function<void()>& act) {
        const qsizetype from = sim->Log().size();
        act();
        QElapsedTimer clock;
        clock.start();
        while ((linkRecord.anyChangePending || linkRecord.exchange[sendRecord].busy == flagTrue) &&
               clock.elapsed() < 5000) {
            QTest::qWait(5);
        }
        QTest::qWait(30);
        QStringList codes;
        for (const QString& code : sim->Codes(from)) {
            if (code.startsWith(QLatin1Char('C')) && !codes.contains(code)) {
                codes.append(code);
            }
        }
        return codes;
    }

private slots:
    void initTestCase() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        qputenv("ARDENIX_REMOTE_TOKEN", token);
        host::SetMsgBoxHandler([](const QString&, int, const QString&) { return host::mbOk; });
        Subscribe(polls);
    }
    void cleanupTestCase() {
        server.reset();
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The token file is made once, for the user alone, and never trusted
    // through a link or when others may read it; the environment overrides it.
    void tokenFileIsMadeSafely() {
        qunsetenv("ARDENIX_REMOTE_TOKEN");
        const QString path = remotetoken::TokenPath();
        QCOMPARE(path, configDir.filePath(QStringLiteral("ardenix/remote-token")));
        QString problem;
        const auto made = remotetoken::Load(&problem);
        QVERIFY2(made.has_value(), qPrintable(problem));
        QVERIFY2(made->size() >= 22, made->constData()); // at least 128 bits
        for (const char c : *made) {
            QVERIFY(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
        }
        struct stat facts {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &facts), 0);
        QCOMPARE(facts.st_mode & 0777, 0600U);
        QCOMPARE(remotetoken::Load(&problem).value_or(QByteArray()), *made);
        QVERIFY(remotetoken::Matches(*made, *made));
        QVERIFY(!remotetoken::Matches(made->left(made->size() - 1), *made));
        QVERIFY(!remotetoken::Matches(QByteArray(), *made));

        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        QVERIFY(!remotetoken::Load(&problem).has_value());
        QVERIFY2(problem.contains(QStringLiteral("read by other users")), qPrintable(problem));
        QVERIFY(QFile::remove(path));
        const QString elsewhere = configDir.filePath(QStringLiteral("elsewhere"));
        QFile target(elsewhere);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("secret\n");
        target.close();
        QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0600) == 0);
        QVERIFY(QFile::link(elsewhere, path));
        problem.clear();
        QVERIFY(!remotetoken::Load(&problem).has_value());
        QVERIFY2(problem.contains(QStringLiteral("link")), qPrintable(problem));
        qputenv("ARDENIX_REMOTE_TOKEN", token);
        QCOMPARE(remotetoken::Load(&problem).value_or(QByteArray()), token);
        // A server whose token cannot be had does not listen.
        qunsetenv("ARDENIX_REMOTE_TOKEN");
        remote::RemoteServer refused(operations, RemoteSettings{});
        QString error;
        QVERIFY(!refused.Listen(&error));
        QVERIFY2(error.contains(QStringLiteral("link")), qPrintable(error));
    }

    // The [remote] group of ardenix.conf over the defaults; values that do
    // not parse keep theirs and are told.
    void settingsGroup() {
        QVERIFY(QDir(configDir.path()).mkpath(QStringLiteral("ardenix")));
        const QString path = configDir.filePath(QStringLiteral("ardenix/ardenix.conf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[other]\nport=1\n[remote]\nenabled=true\nbind=0.0.0.0\nport=8080\n"
                   "osc-port=9000\nosc-allow=10.0.0.0/8, 192.168.1.0/24\n");
        file.close();
        QStringList problems;
        RemoteSettings read = ReadRemoteSettingsFile(path, &problems);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QVERIFY(read.enabled);
        QCOMPARE(read.bindAddress, QStringLiteral("0.0.0.0"));
        QCOMPARE(read.httpPort, quint16{8080});
        QCOMPARE(read.oscPort, quint16{9000});
        QCOMPARE(read.oscAllow,
                 (QStringList{QStringLiteral("10.0.0.0/8"), QStringLiteral("192.168.1.0/24")}));
        QCOMPARE(ReadRemoteSettings(QString()).httpPort, quint16{8080}); // found in XDG_CONFIG_HOME
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[remote]\nenabled=maybe\nbind=nowhere\nport=70000\nosc-allow=10.0.0.0/99\n");
        file.close();
        problems.clear();
        read = ReadRemoteSettingsFile(path, &problems);
        QCOMPARE(problems.size(), 4);
        QVERIFY(!read.enabled);
        QCOMPARE(read.bindAddress, QStringLiteral("127.0.0.1"));
        QCOMPARE(read.httpPort, quint16{9470});
        QCOMPARE(read.oscAllow, RemoteSettings().oscAllow);
    }

    // Missing, wrong, Bearer and ?token; more than ten wrong tokens block
    // that address a minute, and only that one.
    void tokenRules() {
        StartServer();
        QCOMPARE(Request("GET", "/api/v1/state").status, 401);
        QCOMPARE(Request("GET", "/api/v1/state", {}, "Authorization: Bearer wrong\r\n").status,
                 401);
        const Answer bearer =
            Request("GET", "/api/v1/state", {}, "Authorization: Bearer " + token + "\r\n");
        QCOMPARE(bearer.status, 200);
        QCOMPARE(bearer.Json().value(QStringLiteral("connection")).toString(),
                 QStringLiteral("not-connected"));
        QCOMPARE(bearer.Json().keys().size(), 14);
        QCOMPARE(Request("GET", "/api/v1/state?token=" + token).status, 200);
        // The page needs no token.
        const Answer page = Request("GET", "/");
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("<title>Ardenix"));
        QCOMPARE(Request("GET", "/index.html").status, 200);

        // Ten wrong tokens (one above) are borne.
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(Request("GET", "/api/v1/state?token=wrong" + QByteArray::number(i)).status,
                     401);
        }
        QCOMPARE(Request("GET", "/api/v1/state?token=" + token).status, 200);
        QCOMPARE(Request("GET", "/api/v1/state?token=wrong").status, 401); // the eleventh
        QCOMPARE(Request("GET", "/api/v1/state?token=" + token).status, 429);
        QCOMPARE(Call("SelectInput", {{QStringLiteral("input"), 2}}).status, 429);
        WsClient blocked(WsUrl());
        QTRY_VERIFY_WITH_TIMEOUT(
            blocked.closed || blocked.socket.error() != QAbstractSocket::UnknownSocketError, 5000);
        QVERIFY(blocked.messages.isEmpty());
        // Another address is unaffected.
        QCOMPARE(Request("GET", "/api/v1/state?token=" + token, {}, {}, QStringLiteral("127.0.0.2"))
                     .status,
                 200);
    }

    // Host must name this machine, Origin must be the page's own; no CORS;
    // bodies over 64 KiB are refused before they are read; malformed heads.
    void browserDefencesAndLimits() {
        StartServer();
        const QByteArray port = QByteArray::number(server->HttpPort());
        const auto get = [&](const QByteArray& headers) {
            return Raw("GET /api/v1/state?token=" + token + " HTTP/1.1\r\n" + headers +
                       "Connection: close\r\n\r\n");
        };
        QCOMPARE(get("Host: evil.example:" + port + "\r\n").status, 403);
        QCOMPARE(get("Host: 127.0.0.1.evil.example\r\n").status, 403);
        QCOMPARE(get("").status, 403);
        QCOMPARE(get("Host: localhost:" + port + "\r\n").status, 200);
        QCOMPARE(get("Host: [::1]:" + port + "\r\n").status, 200);
        QCOMPARE(
            get("Host: " + QHostInfo::localHostName().toUtf8() + ".local:" + port + "\r\n").status,
            200);
        QCOMPARE(get("Host: 127.0.0.1:" + port + "\r\nOrigin: http://evil.example\r\n").status,
                 403);
        QCOMPARE(get("Host: 127.0.0.1:" + port + "\r\nOrigin: null\r\n").status, 403);
        const Answer same =
            get("Host: 127.0.0.1:" + port + "\r\nOrigin: http://127.0.0.1:" + port + "\r\n");
        QCOMPARE(same.status, 200);
        QVERIFY(!same.head.toLower().contains("access-control"));

        // The body never comes: the answer does.
        const Answer large =
            Raw("POST /api/v1/SelectInput HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                    "\r\nAuthorization: Bearer " + token + "\r\nContent-Length: 65537\r\n\r\n{",
                QStringLiteral("127.0.0.1"), 3000);
        QCOMPARE(large.status, 413);
        QCOMPARE(Raw("GARBAGE\r\n\r\n").status, 400);
        QCOMPARE(
            Raw("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX: " + QByteArray(20000, 'x') + "\r\n\r\n")
                .status,
            431);
        // Requests one after another on one connection are answered in turn.
        const QByteArray keptOpen = "GET /api/v1/state?token=" + token +
                                    " HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n";
        const Answer both = Raw(keptOpen + "POST /api/v1/Nothing?token=" + token +
                                " HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                "\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
        QCOMPARE(both.status, 200);
        QVERIFY2(both.body.contains("\r\n\r\n{\"error\":\"UnknownMethod\""), both.body);
        // More than 200 calls a second from one address: the excess is slowed.
        QByteArray burst;
        for (int i = 0; i < 300; ++i) {
            burst += "POST /api/v1/SelectInput HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                     "\r\nAuthorization: Bearer " + token + "\r\nContent-Length: 2\r\n" +
                     (i == 299 ? "Connection: close\r\n" : "") + "\r\n{}";
        }
        const Answer burstAnswers = Raw(burst);
        const QByteArray all = burstAnswers.head + "\r\n\r\n" + burstAnswers.body;
        QCOMPARE(all.count("HTTP/1.1 "), 300);
        const qsizetype slowed = all.count("HTTP/1.1 429");
        QVERIFY2(slowed >= 50 && slowed <= 100, qPrintable(QString::number(slowed)));
        QCOMPARE(all.count("HTTP/1.1 400"), 300 - slowed);
        QCOMPARE(Request("GET", "/api/v1/state?token=" + token, {}, {}, QStringLiteral("127.0.0.2"))
                     .status,
                 200);
        // The server still answers.
        QCOMPARE(get("Host: 127.0.0.1:" + port + "\r\n").status, 200);
    }

    // Every method sends its frames; the refusals have their names and statuses.
    void methodsAndErrors() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        const auto firstCode = [this](const QByteArray& method, const QJsonObject& params,
                                      int status = 200) {
            QString code;
            const QStringList codes = CommandsOf([&] {
                const Answer answer = Call(method, params);
                QVERIFY2(answer.status == status, answer.head + answer.body);
            });
            return codes.value(0);
        };
        SimCommand(QStringLiteral("set input 1"));
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set mute B off"));
        SimCommand(QStringLiteral("set level A 10"));
        WaitForPolls();
        QCOMPARE(firstCode("SelectInput", {{QStringLiteral("input"), 4}}), QStringLiteral("CSEL"));
        QCOMPARE(firstCode("SetMute", {{QStringLiteral("master"), QStringLiteral("B")},
                                       {QStringLiteral("muted"), true}}),
                 QStringLiteral("CMUT"));
        QCOMPARE(firstCode("SetMute", {{QStringLiteral("master"), QStringLiteral("B")},
                                       {QStringLiteral("muted"), false}}),
                 QStringLiteral("CMUT"));
        QCOMPARE(firstCode("RecallScene", {{QStringLiteral("scene"), QStringLiteral("C")}}),
                 QStringLiteral("CRCL"));
        QCOMPARE(firstCode("PressTransport", {{QStringLiteral("key"), QStringLiteral("play")}}),
                 QStringLiteral("CRCS"));
        QCOMPARE(firstCode("ReleaseTransport", {}), QStringLiteral("CRCS"));
        QCOMPARE(firstCode("TapTransport", {{QStringLiteral("key"), QStringLiteral("stop")}}),
                 QStringLiteral("CRCS"));
        QVERIFY(firstCode("StartLevel", {{QStringLiteral("master"), QStringLiteral("B")},
                                         {QStringLiteral("direction"), QStringLiteral("up")}})
                    .startsWith(QStringLiteral("CLV")));
        QVERIFY(firstCode("StopLevel", {{QStringLiteral("master"), QStringLiteral("B")}})
                    .startsWith(QStringLiteral("CLV")));
        const Answer level = Call("SetLevel", {{QStringLiteral("master"), QStringLiteral("A")},
                                               {QStringLiteral("level"), 14}});
        QCOMPARE(level.status, 200);
        QVERIFY2(std::abs(level.Json().value(QStringLiteral("reached")).toInt(-99) - 14) <= 1,
                 level.body);
        QCOMPARE(sim->Codes().filter(QStringLiteral("CLV")).isEmpty(), false);

        // A caller that leaves during a tap: the key is let go all the same.
        {
            QTcpSocket leaving;
            leaving.connectToHost(QHostAddress::LocalHost, server->HttpPort());
            const QByteArray body = R"({"key":"play"})";
            leaving.write("POST /api/v1/TapTransport HTTP/1.1\r\nHost: " + HostHeader() +
                          "\r\nAuthorization: Bearer " + token + "\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            QTRY_COMPARE_WITH_TIMEOUT(operations.HeldTransportKey(), 4, 2000);
            leaving.abort();
        }
        QTest::qWait(300);
        QCOMPARE(operations.HeldTransportKey(), -1);

        // Arguments.
        const QByteArray bearer = "Authorization: Bearer " + token + "\r\n";
        QCOMPARE(Request("POST", "/api/v1/SelectInput", "not json", bearer).Error(),
                 QStringLiteral("InvalidArgs"));
        QCOMPARE(Request("POST", "/api/v1/SelectInput", "[1]", bearer).status, 400);
        QCOMPARE(Call("SelectInput", {}).status, 400);
        QCOMPARE(Call("SelectInput", {{QStringLiteral("input"), 7}}).status, 400);
        QCOMPARE(Call("SelectInput", {{QStringLiteral("input"), 2.5}}).status, 400);
        QCOMPARE(Call("SelectInput", {{QStringLiteral("input"), QStringLiteral("2")}}).status, 400);
        QCOMPARE(Call("SetMute", {{QStringLiteral("master"), QStringLiteral("C")},
                                  {QStringLiteral("muted"), true}})
                     .status,
                 400);
        QCOMPARE(Call("SetLevel", {{QStringLiteral("master"), QStringLiteral("A")},
                                   {QStringLiteral("level"), 31}})
                     .Error(),
                 QStringLiteral("InvalidArgs"));
        QCOMPARE(Call("NoSuchMethod", {}).status, 404);
        QCOMPARE(Request("GET", "/api/v1/SelectInput", {}, bearer).status, 405);
        QCOMPARE(Request("POST", "/api/v1/state", {}, bearer).status, 405);

        // Refusals by the mixer's state.
        const Integer code = programSetup.sceneSetup.sceneNumbers[2];
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] =
            flagTrue;
        const Answer locked = Call("RecallScene", {{QStringLiteral("scene"), QStringLiteral("C")}});
        QCOMPARE(locked.status, 423);
        QCOMPARE(locked.Error(), QStringLiteral("SceneLocked"));
        QCOMPARE(locked.Json().value(QStringLiteral("message")).toString(),
                 QStringLiteral("scene C is locked"));
        const Integer onD = programSetup.sceneSetup.sceneNumbers[3];
        programSetup.sceneSetup.sceneNumbers[3] = 0; // button D holds no scene
        const Answer disabled =
            Call("RecallScene", {{QStringLiteral("scene"), QStringLiteral("D")}});
        programSetup.sceneSetup.sceneNumbers[3] = onD;
        QCOMPARE(disabled.status, 409);
        QCOMPARE(disabled.Error(), QStringLiteral("Disabled"));
        SimCommand(QStringLiteral("set mute A on"));
        WaitForPolls();
        const Answer muted =
            Call("StartLevel", {{QStringLiteral("master"), QStringLiteral("A")},
                                {QStringLiteral("direction"), QStringLiteral("up")}});
        QCOMPARE(muted.status, 409);
        QCOMPARE(muted.Error(), QStringLiteral("Muted"));
        QCOMPARE(Call("StartLevel", {{QStringLiteral("master"), QStringLiteral("B")},
                                     {QStringLiteral("direction"), QStringLiteral("up")}})
                     .status,
                 200);
        // Another caller (a WebSocket client) finds the level buttons held.
        WsClient other(WsUrl());
        QTRY_VERIFY_WITH_TIMEOUT(!other.messages.isEmpty(), 5000);
        other.socket.sendTextMessage(QStringLiteral(
            R"({"op":"call","id":7,"method":"StartLevel","params":{"master":"B","direction":"down"}})"));
        QTRY_COMPARE_WITH_TIMEOUT(other.messages.size(), 2, 5000);
        QCOMPARE(other.messages.last().value(QStringLiteral("error")).toString(),
                 QStringLiteral("Busy"));
        QCOMPARE(other.messages.last().value(QStringLiteral("id")).toInt(), 7);
        QCOMPARE(Call("StopLevel", {{QStringLiteral("master"), QStringLiteral("B")}}).status, 200);

        // The mixer goes silent: NotConnected, 409.
        SimCommand(QStringLiteral("silent on"));
        QTRY_VERIFY_WITH_TIMEOUT(CurrentLinkState() != LinkState::Online, 5000);
        const Answer offline = Call("SelectInput", {{QStringLiteral("input"), 2}});
        QCOMPARE(offline.status, 409);
        QCOMPARE(offline.Error(), QStringLiteral("NotConnected"));
    }

    // The state on connecting, the changes after each reply with rising seq,
    // calls answered by id, garbage closing only its sender, the 33rd client
    // refused and a wrong token refused before any state.
    void webSocket() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set input 1"));
        WaitForPolls();
        WsClient first(WsUrl());
        QTRY_COMPARE_WITH_TIMEOUT(first.messages.size(), 1, 5000);
        const QJsonObject state = first.messages.first();
        QCOMPARE(state.value(QStringLiteral("op")).toString(), QStringLiteral("state"));
        const int seq = state.value(QStringLiteral("seq")).toInt();
        QCOMPARE(state.value(QStringLiteral("state"))
                     .toObject()
                     .value(QStringLiteral("selectedInput"))
                     .toInt(),
                 1);

        first.socket.sendTextMessage(QStringLiteral(
            R"({"op":"call","id":"a","method":"SelectInput","params":{"input":5}})"));
        QTRY_VERIFY_WITH_TIMEOUT(
            std::any_of(first.messages.begin(), first.messages.end(),
                        [](const QJsonObject& m) {
                            return m.value(QStringLiteral("op")) == QStringLiteral("changed") &&
                                   m.value(QStringLiteral("changes"))
                                           .toObject()
                                           .value(QStringLiteral("selectedInput"))
                                           .toInt() == 5;
                        }),
            5000);
        int expected = seq;
        bool answered = false;
        for (const QJsonObject& m : first.messages) {
            const QString op = m.value(QStringLiteral("op")).toString();
            if (op == QLatin1String("result")) {
                QCOMPARE(m.value(QStringLiteral("id")).toString(), QStringLiteral("a"));
                answered = true;
            } else {
                QCOMPARE(m.value(QStringLiteral("seq")).toInt(), expected++);
            }
        }
        QVERIFY(answered);
        // The mixer's own change reaches the client too.
        SimCommand(QStringLiteral("set level B 7"));
        QTRY_VERIFY_WITH_TIMEOUT(first.messages.last()
                                     .value(QStringLiteral("changes"))
                                     .toObject()
                                     .contains(QStringLiteral("masterLevels")),
                                 5000);
        QCOMPARE(first.messages.last()
                     .value(QStringLiteral("changes"))
                     .toObject()
                     .value(QStringLiteral("masterLevels"))
                     .toArray()
                     .at(1)
                     .toInt(),
                 7);

        WsClient wrong(WsUrl("wrong"));
        QTRY_VERIFY_WITH_TIMEOUT(
            wrong.closed || wrong.socket.error() != QAbstractSocket::UnknownSocketError, 5000);
        QVERIFY(wrong.messages.isEmpty());

        WsClient garbage(WsUrl());
        QTRY_COMPARE_WITH_TIMEOUT(garbage.messages.size(), 1, 5000);
        garbage.socket.sendTextMessage(QStringLiteral("{{{ not json"));
        QTRY_VERIFY_WITH_TIMEOUT(garbage.closed, 5000);
        QCOMPARE(garbage.socket.closeCode(), QWebSocketProtocol::CloseCodeWrongDatatype);
        WsClient huge(WsUrl());
        QTRY_COMPARE_WITH_TIMEOUT(huge.messages.size(), 1, 5000);
        huge.socket.sendTextMessage(QString(70000, QLatin1Char('x')));
        QTRY_VERIFY_WITH_TIMEOUT(huge.closed, 5000);
        QCOMPARE(huge.socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData);

        // A client calling faster than 200 times a second is slowed; the
        // others are not.
        WsClient fast(WsUrl());
        QTRY_COMPARE_WITH_TIMEOUT(fast.messages.size(), 1, 5000);
        for (int i = 0; i < 300; ++i) {
            fast.socket.sendTextMessage(
                QStringLiteral(R"({"op":"call","id":%1,"method":"Nothing","params":{}})").arg(i));
        }
        QTRY_COMPARE_WITH_TIMEOUT(fast.messages.size(), 301, 10000);
        const auto busyCount =
            std::count_if(fast.messages.begin(), fast.messages.end(), [](const QJsonObject& m) {
                return m.value(QStringLiteral("error")).toString() == QLatin1String("Busy");
            });
        QVERIFY2(busyCount >= 50 && busyCount <= 100, qPrintable(QString::number(busyCount)));
        QCOMPARE(fast.messages.at(1).value(QStringLiteral("error")).toString(),
                 QStringLiteral("UnknownMethod"));
        QCOMPARE(Call("SelectInput", {{QStringLiteral("input"), 5}}).status, 200);
        fast.socket.close();
        QTRY_VERIFY_WITH_TIMEOUT(fast.closed, 5000);

        // Up to 32 clients; the next is refused and the others go on.
        std::vector<std::unique_ptr<WsClient>> more;
        for (int i = 1; i < remote::mostWebSocketClients; ++i) {
            more.push_back(std::make_unique<WsClient>(WsUrl()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(more.begin(), more.end(),
                                             [](const auto& c) { return !c->messages.isEmpty(); }),
                                 10000);
        QCOMPARE(server->WebSocketClients(), remote::mostWebSocketClients);
        WsClient refused(WsUrl());
        QTRY_VERIFY_WITH_TIMEOUT(
            refused.closed || refused.socket.error() != QAbstractSocket::UnknownSocketError, 5000);
        QVERIFY(refused.messages.isEmpty());
        const qsizetype before = first.messages.size();
        SimCommand(QStringLiteral("set level B 9"));
        QTRY_VERIFY_WITH_TIMEOUT(first.messages.size() > before && more.back()->messages.size() > 1,
                                 5000);
        // A client that goes lets go of what it held.
        more.back()->socket.sendTextMessage(QStringLiteral(
            R"({"op":"call","id":1,"method":"PressTransport","params":{"key":"play"}})"));
        QTRY_VERIFY_WITH_TIMEOUT(operations.HeldTransportKey() == 4, 5000);
        more.back()->socket.close();
        QTRY_VERIFY_WITH_TIMEOUT(operations.HeldTransportKey() == -1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(server->WebSocketClients(), remote::mostWebSocketClients - 1,
                                  5000);
    }
};

int main(int argc, char* argv[]) {
    return casechildren::Main<TestRemote>(argc, argv);
}

#include "test_remote.moc"
