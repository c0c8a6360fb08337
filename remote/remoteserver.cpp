#include "remote/remoteserver.h"

#include "connection/controlnames.h"
#include "core/quoted.h"
#include "remote/httprequest.h"
#include "remote/remotecalls.h"
#include "core/remotetoken.h"

#include <QFile>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>

namespace remote {

namespace {

// What is read ahead of a request being answered: a head and a body.
constexpr qint64 readBuffer = http::longestHead + largestBody + 4096;
// A WebSocket client with this much unsent is dropped.
constexpr qint64 droppedAbove = 16 * unsentLimit;
// A connection is closed when a request takes longer than this to arrive
// (counted from the connection, or from the last request), however slowly
// its bytes trickle in.
constexpr int idleMs = 30000;
// Holders of the remote's callers start here, apart from the bus's.
constexpr std::uint64_t firstHolder = std::uint64_t{1} << 40;
const QByteArray apiPrefix = "/api/v1/";
const QByteArray webSocketPath = "/api/v1/ws";
const QByteArray statePath = "/api/v1/state";

QJsonValue JsonOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    default:
        break;
    }
    QJsonArray list;
    if (value.canConvert<QList<int>>() && value.metaType() == QMetaType::fromType<QList<int>>()) {
        for (const int n : value.value<QList<int>>()) {
            list.append(n);
        }
    } else if (value.metaType() == QMetaType::fromType<QList<bool>>()) {
        for (const bool b : value.value<QList<bool>>()) {
            list.append(b);
        }
    }
    return list;
}

// Properties by their bus names as a JSON object keyed in lowerCamelCase.
QJsonObject JsonOf(const QVariantMap& properties) {
    QJsonObject object;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        QString key = it.key();
        if (!key.isEmpty()) {
            key[0] = key[0].toLower();
        }
        object.insert(key, JsonOf(it.value()));
    }
    return object;
}

QByteArray Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject ErrorBody(const QString& name, const QString& message) {
    return QJsonObject{{QStringLiteral("error"), name}, {QStringLiteral("message"), message}};
}

QByteArray PageText() {
    QFile page(QStringLiteral(":/remote/index.html"));
    return page.open(QIODevice::ReadOnly) ? page.readAll() : QByteArray();
}

} // namespace

bool CallBudget::Take(qint64 nowMs) {
    if (lastMs_ >= 0) {
        left_ = std::min<double>(callsPerSecond, left_ + static_cast<double>(nowMs - lastMs_) *
                                                             callsPerSecond / 1000.0);
    }
    lastMs_ = nowMs;
    if (left_ < 1.0) {
        return false;
    }
    left_ -= 1.0;
    return true;
}

// --- One HTTP connection ---------------------------------------------------------

// Reads requests one after another and answers each; an answer that waits for
// a call holds the next request back.
class HttpConnection : public QObject {
public:
    HttpConnection(RemoteServer& server, QTcpSocket* socket) : server_(server), socket_(socket) {
        socket_->setParent(this);
        // What a client sends ahead waits in the system's buffers, not here.
        socket_->setReadBufferSize(readBuffer);
        peer_ = socket_->peerAddress();
        connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::Read);
        // A client that does not read its answers is not answered further
        // until it does.
        connect(socket_, &QTcpSocket::bytesWritten, this, &HttpConnection::Read);
        connect(socket_, &QTcpSocket::disconnected, this, [this] { End(); });
        idle_.setSingleShot(true);
        idle_.setInterval(idleMs);
        connect(&idle_, &QTimer::timeout, this, [this] {
            socket_->abort();
            End();
        });
        idle_.start();
    }

    void Read() {
        while (!answering_ && !ended_ && socket_->bytesAvailable() > 0 &&
               socket_->bytesToWrite() <= unsentLimit) {
            if (!head_) {
                if (!ReadHead()) {
                    return;
                }
            }
            if (head_) {
                if (socket_->bytesAvailable() < head_->bodyLength) {
                    return;
                }
                const QByteArray body = socket_->read(head_->bodyLength);
                const http::RequestHead head = std::exchange(head_, std::nullopt).value();
                idle_.start(); // the next request has its own time
                Route(head, body);
            }
        }
    }

private:
    // Parses the head, still unread on the socket (an upgrade leaves it there
    // for the WebSocket server); false when it is not complete yet, or was
    // answered.
    bool ReadHead() {
        const QByteArray data = socket_->peek(http::longestHead + 4);
        http::RequestHead head;
        qsizetype length = 0;
        switch (http::ParseHead(data, &head, &length)) {
        case http::HeadStatus::Incomplete:
            return false;
        case http::HeadStatus::TooLong:
            Finish(431, ErrorBody(remotecalls::invalidArgs, QStringLiteral("the head is too long")),
                   true);
            return false;
        case http::HeadStatus::Malformed:
            Finish(400, ErrorBody(remotecalls::invalidArgs, QStringLiteral("not an HTTP request")),
                   true);
            return false;
        case http::HeadStatus::Complete:
            break;
        }
        if (!Screen(head)) {
            return false;
        }
        if (head.path == webSocketPath && head.method == "GET" &&
            head.Header("upgrade").toLower() == "websocket") {
            Upgrade(head);
            return false;
        }
        socket_->read(length);
        head_ = head;
        return true;
    }

    // The checks made on every request before its body is read: where the
    // browser sent it, where it came from, its length.
    bool Screen(const http::RequestHead& head) {
        if (!http::HostAllowed(head.Header("host"), server_.HostName())) {
            Finish(403,
                   ErrorBody(QStringLiteral("Forbidden"),
                             QStringLiteral("the Host header does not name this machine")),
                   true);
            return false;
        }
        if (head.Has("origin") && !http::SameOrigin(head.Header("origin"), head.Header("host"))) {
            Finish(403,
                   ErrorBody(QStringLiteral("Forbidden"),
                             QStringLiteral("requests from other sites are refused")),
                   true);
            return false;
        }
        if (head.Has("transfer-encoding")) {
            Finish(501,
                   ErrorBody(remotecalls::invalidArgs,
                             QStringLiteral("only bodies with a Content-Length are read")),
                   true);
            return false;
        }
        if (head.bodyLength > largestBody) {
            Finish(413,
                   ErrorBody(remotecalls::invalidArgs,
                             QStringLiteral("the body is larger than 64 KiB")),
                   true);
            return false;
        }
        return true;
    }

    // The token sent: "Authorization: Bearer T", or the query's "token".
    static QByteArray GivenToken(const http::RequestHead& head) {
        const QByteArray authorization = head.Header("authorization");
        if (authorization.toLower().startsWith("bearer ")) {
            return authorization.mid(7).trimmed();
        }
        return http::QueryValue(head.query, "token").value_or(QByteArray());
    }

    // Whether the request may use the API; answered when it may not.
    bool Admitted(const http::RequestHead& head) {
        switch (server_.Admit(peer_, GivenToken(head))) {
        case RemoteServer::Admission::Allowed:
            return true;
        case RemoteServer::Admission::Blocked:
            Finish(429,
                   ErrorBody(QStringLiteral("TooManyRequests"),
                             QStringLiteral("too many wrong tokens; wait a minute")),
                   true);
            return false;
        case RemoteServer::Admission::Missing:
            Finish(401,
                   ErrorBody(QStringLiteral("Unauthorized"),
                             QStringLiteral("the token is missing; `ardenixctl remote` "
                                            "prints the address with it")),
                   true);
            return false;
        case RemoteServer::Admission::Wrong:
            Finish(401, ErrorBody(QStringLiteral("Unauthorized"), QStringLiteral("wrong token")),
                   true);
            return false;
        }
        return false;
    }

    void Upgrade(const http::RequestHead& head) {
        if (!Admitted(head)) {
            return;
        }
        if (!server_.WebSocketRoom()) {
            Finish(503,
                   ErrorBody(QStringLiteral("TooManyClients"),
                             QStringLiteral("32 WebSocket clients are connected")),
                   true);
            return;
        }
        // The socket goes to the WebSocket server with the request unread.
        idle_.stop();
        socket_->disconnect(this);
        socket_->setParent(nullptr);
        socket_->setReadBufferSize(0); // the WebSocket limits its messages itself
        QTcpSocket* socket = std::exchange(socket_, nullptr);
        ended_ = true;
        server_.Upgrade(socket);
        server_.ConnectionEnded(this);
    }

    void Route(const http::RequestHead& head, const QByteArray& body) {
        close_ = head.http10 || head.Header("connection").toLower() == "close";
        const QByteArray& path = head.path;
        if (path == "/" || path == "/index.html") {
            if (head.method != "GET") {
                NotAllowed("GET");
                return;
            }
            Send(200, "text/html; charset=utf-8", PageText());
            return;
        }
        if (!path.startsWith(apiPrefix)) {
            Finish(404, ErrorBody(QStringLiteral("NotFound"), QStringLiteral("no such page")));
            return;
        }
        if (!Admitted(head)) {
            return;
        }
        if (path == statePath) {
            if (head.method != "GET") {
                NotAllowed("GET");
                return;
            }
            Finish(200, JsonOf(PropertyMap(ReadCurrentMixerView(server_.Operations()))));
            return;
        }
        if (path == webSocketPath) {
            Finish(426, ErrorBody(remotecalls::invalidArgs,
                                  QStringLiteral("a WebSocket upgrade is expected here")));
            return;
        }
        const QString method = QString::fromLatin1(path.mid(apiPrefix.size()));
        if (!remotecalls::IsMethod(method)) {
            Finish(404, ErrorBody(remotecalls::unknownMethod,
                                  QStringLiteral("no method \"%1\"").arg(QuotedArgument(method))));
            return;
        }
        if (head.method != "POST") {
            NotAllowed("POST");
            return;
        }
        if (!server_.TakeCall(peer_)) {
            Finish(429, ErrorBody(QStringLiteral("TooManyRequests"),
                                  QStringLiteral("more than 200 calls a second")));
            return;
        }
        const auto params = remotecalls::ParamsOfBody(body);
        if (!params) {
            Finish(400, ErrorBody(remotecalls::invalidArgs,
                                  QStringLiteral("the body is not a JSON object")));
            return;
        }
        answering_ = true;
        const engine::Caller caller{engine::Caller::Kind::Remote, server_.HolderOf(peer_)};
        remotecalls::Run(server_.Operations(), caller, method, *params, this,
                         [this](const remotecalls::Outcome& outcome) {
                             answering_ = false;
                             Finish(remotecalls::HttpStatus(outcome.error),
                                    remotecalls::HttpBody(outcome));
                             // The next request may wait already.
                             QTimer::singleShot(0, this, &HttpConnection::Read);
                         });
    }

    void NotAllowed(const char* allowed) {
        extraHeaders_ = QByteArray("Allow: ") + allowed + "\r\n";
        Finish(405, ErrorBody(QStringLiteral("MethodNotAllowed"),
                              QStringLiteral("use %1").arg(QLatin1String(allowed))));
    }

    void Finish(int status, const QJsonObject& body, bool thenClose = false) {
        close_ = close_ || thenClose;
        Send(status, "application/json", Compact(body));
    }

    void Send(int status, const QByteArray& type, const QByteArray& body) {
        if (socket_ == nullptr || ended_) {
            return;
        }
        QByteArray answer = "HTTP/1.1 " + QByteArray::number(status) + ' ' +
                            http::ReasonPhrase(status) + "\r\nContent-Type: " + type +
                            "\r\nContent-Length: " + QByteArray::number(body.size()) +
                            "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff"
                            "\r\nX-Frame-Options: DENY\r\nReferrer-Policy: no-referrer\r\n" +
                            std::exchange(extraHeaders_, QByteArray());
        answer += close_ ? "Connection: close\r\n\r\n" : "\r\n";
        socket_->write(answer + body);
        if (close_) {
            ended_ = true;
            socket_->disconnectFromHost(); // once what was written is sent
        }
    }

    void End() {
        if (socket_ != nullptr) {
            socket_->disconnect(this);
        }
        ended_ = true;
        server_.ConnectionEnded(this);
    }

    RemoteServer& server_;
    QTcpSocket* socket_; // owned by this connection until an upgrade hands it on
    QHostAddress peer_;
    QTimer idle_;
    std::optional<http::RequestHead> head_; // read, waiting for its body
    QByteArray extraHeaders_;
    bool answering_ = false;
    bool close_ = false;
    bool ended_ = false;
};

// --- One WebSocket client ------------------------------------------------------

class WebSocketClient : public QObject {
public:
    WebSocketClient(RemoteServer& server, QWebSocket* socket, QTcpSocket* wire,
                    std::uint64_t holder)
        : server_(server), socket_(socket), wire_(wire), holder_(holder) {
        socket_->setParent(this);
        socket_->setMaxAllowedIncomingMessageSize(static_cast<quint64>(largestBody));
        socket_->setMaxAllowedIncomingFrameSize(static_cast<quint64>(largestBody));
        connect(socket_, &QWebSocket::textMessageReceived, this, &WebSocketClient::Received);
        connect(socket_, &QWebSocket::binaryMessageReceived, this, [this] {
            socket_->close(QWebSocketProtocol::CloseCodeDatatypeNotSupported,
                           QStringLiteral("only text messages"));
        });
        connect(socket_, &QWebSocket::disconnected, this, [this] { server_.ClientEnded(this); });
        if (wire_) {
            connect(wire_, &QTcpSocket::bytesWritten, this, &WebSocketClient::Flush);
        }
    }

    std::uint64_t Holder() const { return holder_; }

    void SendState(const QJsonObject& state) {
        Send(QJsonObject{{QStringLiteral("op"), QStringLiteral("state")},
                         {QStringLiteral("seq"), ++seq_},
                         {QStringLiteral("state"), state}});
    }

    // New values; merged with those not sent yet while the client is slow.
    void Changed(const QJsonObject& changes) {
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            pending_.insert(it.key(), it.value());
        }
        Flush();
    }

    void Flush() {
        if (pending_.isEmpty() || (wire_ && wire_->bytesToWrite() > unsentLimit)) {
            return;
        }
        Send(QJsonObject{{QStringLiteral("op"), QStringLiteral("changed")},
                         {QStringLiteral("seq"), ++seq_},
                         {QStringLiteral("changes"), std::exchange(pending_, {})}});
    }

private:
    void Send(const QJsonObject& message) {
        if (wire_ && wire_->bytesToWrite() > droppedAbove) {
            // It has not read for long, yet goes on calling: it is dropped.
            socket_->abort();
            return;
        }
        socket_->sendTextMessage(QString::fromUtf8(Compact(message)));
    }

    void Received(const QString& text) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            socket_->close(QWebSocketProtocol::CloseCodeWrongDatatype,
                           QStringLiteral("a message is a JSON object"));
            return;
        }
        const QJsonObject message = document.object();
        const QJsonValue id = message.value(QStringLiteral("id"));
        const auto refuse = [this, id](const QString& name, const QString& why) {
            Send(QJsonObject{{QStringLiteral("op"), QStringLiteral("error")},
                             {QStringLiteral("id"), id},
                             {QStringLiteral("error"), name},
                             {QStringLiteral("message"), why}});
        };
        if (message.value(QStringLiteral("op")).toString() != QLatin1String("call")) {
            refuse(remotecalls::invalidArgs, QStringLiteral("the only op a client sends is call"));
            return;
        }
        if (!server_.TakeCallFromClient(budget_)) {
            refuse(engine::ResultName(engine::CommandResult::Busy),
                   QStringLiteral("more than 200 calls a second"));
            return;
        }
        const QJsonValue params = message.value(QStringLiteral("params"));
        if (!params.isUndefined() && !params.isNull() && !params.isObject()) {
            refuse(remotecalls::invalidArgs, QStringLiteral("params must be a JSON object"));
            return;
        }
        const engine::Caller caller{engine::Caller::Kind::Remote, holder_};
        remotecalls::Run(server_.Operations(), caller,
                         message.value(QStringLiteral("method")).toString(), params.toObject(),
                         this, [this, id, refuse](const remotecalls::Outcome& outcome) {
                             if (outcome.error.isEmpty()) {
                                 Send(QJsonObject{{QStringLiteral("op"), QStringLiteral("result")},
                                                  {QStringLiteral("id"), id},
                                                  {QStringLiteral("result"), outcome.result}});
                             } else {
                                 refuse(outcome.error, outcome.message);
                             }
                         });
    }

    RemoteServer& server_;
    QWebSocket* socket_;
    QPointer<QTcpSocket> wire_; // the connection under it, to see how much is unsent
    std::uint64_t holder_;
    qint64 seq_ = 0;
    QJsonObject pending_;
    CallBudget budget_;
};

// --- The server -------------------------------------------------------------------

RemoteServer::RemoteServer(engine::MixerOperations& operations, const RemoteSettings& settings)
    : operations_(operations), settings_(settings), hostName_(QHostInfo::localHostName()),
      webSockets_(QStringLiteral("ardenix"), QWebSocketServer::NonSecureMode),
      nextHolder_(firstHolder) {
    clock_.start();
    listener_.setMaxPendingConnections(mostHttpConnections);
    connect(&listener_, &QTcpServer::newConnection, this, &RemoteServer::Accept);
    connect(&webSockets_, &QWebSocketServer::newConnection, this, &RemoteServer::AcceptWebSocket);
    announced_ = ReadCurrentMixerView(operations_);
    Subscribe(*this);
}

RemoteServer::~RemoteServer() {
    Unsubscribe(*this);
    for (const auto& client : clients_) {
        operations_.LetGo(client->Holder());
    }
}

bool RemoteServer::Listen(QString* error) {
    QString problem;
    const auto token = remotetoken::Load(&problem);
    if (!token) {
        *error = QStringLiteral("the remote's token: %1").arg(problem);
        return false;
    }
    token_ = *token;
    const QHostAddress address(settings_.bindAddress);
    if (address.isNull()) {
        *error = QStringLiteral("%1 is not an address to listen on").arg(settings_.bindAddress);
        return false;
    }
    if (!listener_.listen(address, settings_.httpPort)) {
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(settings_.bindAddress)
                     .arg(settings_.httpPort)
                     .arg(listener_.errorString());
        return false;
    }
    return true;
}

quint16 RemoteServer::HttpPort() const {
    return listener_.serverPort();
}

QUrl RemoteServer::Url() const {
    const QHostAddress address(settings_.bindAddress);
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 ||
        address == QHostAddress::Any) {
        url.setHost(hostName_);
    } else {
        url.setHost(address.toString());
    }
    url.setPort(HttpPort());
    url.setPath(QStringLiteral("/"));
    return url;
}

void RemoteServer::Accept() {
    while (QTcpSocket* socket = listener_.nextPendingConnection()) {
        if (connections_.size() >= static_cast<std::size_t>(mostHttpConnections)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connections_.push_back(std::make_unique<HttpConnection>(*this, socket));
        // Bytes may have come with the connection.
        HttpConnection* connection = connections_.back().get();
        QTimer::singleShot(0, connection, &HttpConnection::Read);
    }
}

void RemoteServer::ConnectionEnded(HttpConnection* connection) {
    const auto found = std::find_if(connections_.begin(), connections_.end(),
                                    [connection](const auto& c) { return c.get() == connection; });
    if (found != connections_.end()) {
        found->release()->deleteLater(); // it may be on the stack now
        connections_.erase(found);
    }
}

RemoteServer::Admission RemoteServer::Admit(const QHostAddress& peer, const QByteArray& given) {
    const qint64 now = NowMs();
    Failures& failures = failures_[peer];
    if (failures.blockedUntil > now) {
        return Admission::Blocked;
    }
    if (given.isEmpty()) {
        return Admission::Missing;
    }
    if (remotetoken::Matches(given, token_)) {
        return Admission::Allowed;
    }
    failures.times.removeIf([now](qint64 t) { return now - t >= 60000; });
    failures.times.append(now);
    if (failures.times.size() > wrongTokensAllowed) {
        failures.blockedUntil = now + 60000;
        failures.times.clear();
    }
    Prune();
    return Admission::Wrong;
}

bool RemoteServer::TakeCall(const QHostAddress& peer) {
    const bool taken = budgets_[peer].Take(NowMs());
    Prune();
    return taken;
}

bool RemoteServer::TakeCallFromClient(CallBudget& budget) const {
    return budget.Take(NowMs());
}

std::uint64_t RemoteServer::HolderOf(const QHostAddress& peer) {
    auto found = holders_.find(peer);
    if (found == holders_.end()) {
        found = holders_.insert(peer, nextHolder_++);
    }
    return *found;
}

// The tables kept per address stay small: entries that no longer matter go.
void RemoteServer::Prune() {
    constexpr qsizetype most = 1024;
    const qint64 now = NowMs();
    if (failures_.size() > most) {
        failures_.removeIf([now](const auto& entry) {
            return entry.value().blockedUntil <= now &&
                   (entry.value().times.isEmpty() || now - entry.value().times.last() >= 60000);
        });
    }
    if (budgets_.size() > most) {
        budgets_.clear(); // each starts again with a full second's calls
    }
}

bool RemoteServer::WebSocketRoom() const {
    const auto upgrading = std::count_if(upgrading_.begin(), upgrading_.end(),
                                         [](const auto& s) { return !s.isNull(); });
    return static_cast<qsizetype>(clients_.size()) + upgrading < mostWebSocketClients;
}

void RemoteServer::Upgrade(QTcpSocket* socket) {
    upgrading_.removeIf([](const auto& s) { return s.isNull(); });
    upgrading_.append(socket);
    webSockets_.handleConnection(socket);
}

void RemoteServer::AcceptWebSocket() {
    while (QWebSocket* socket = webSockets_.nextPendingConnection()) {
        // The connection under it, found by its ends.
        QTcpSocket* wire = nullptr;
        for (const QPointer<QTcpSocket>& s : upgrading_) {
            if (s && s->peerAddress() == socket->peerAddress() &&
                s->peerPort() == socket->peerPort()) {
                wire = s;
            }
        }
        upgrading_.removeIf([wire](const auto& s) { return s.isNull() || s == wire; });
        if (static_cast<int>(clients_.size()) >= mostWebSocketClients) {
            socket->close(static_cast<QWebSocketProtocol::CloseCode>(1013), // try again later
                          QStringLiteral("32 clients are connected"));
            socket->deleteLater();
            continue;
        }
        clients_.push_back(std::make_unique<WebSocketClient>(*this, socket, wire, nextHolder_++));
        clients_.back()->SendState(JsonOf(PropertyMap(ReadCurrentMixerView(operations_))));
    }
}

void RemoteServer::ClientEnded(WebSocketClient* client) {
    const auto found = std::find_if(clients_.begin(), clients_.end(),
                                    [client](const auto& c) { return c.get() == client; });
    if (found != clients_.end()) {
        operations_.LetGo(client->Holder());
        found->release()->deleteLater();
        clients_.erase(found);
    }
}

// --- The observer seam -------------------------------------------------------------

void RemoteServer::ReplyApplied(RequestKind) {
    Announce();
}

void RemoteServer::FullReadCompleted() {
    Announce();
}

void RemoteServer::LinkStateChanged(LinkState) {
    Announce();
}

void RemoteServer::Announce() {
    const MixerView now = ReadCurrentMixerView(operations_);
    const QVariantMap changed = ChangedProperties(announced_, now);
    announced_ = now;
    if (changed.isEmpty() || clients_.empty()) {
        return;
    }
    const QJsonObject changes = JsonOf(changed);
    for (const auto& client : clients_) {
        client->Changed(changes);
    }
}

} // namespace remote
