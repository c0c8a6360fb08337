// The network remote's HTTP and WebSocket server: the mixer's state and the
// bus interface's methods as a JSON API, the changes pushed to WebSocket
// clients, and the web page. It runs on the program's one thread, driven by
// events, acts only through the mixer's operations and follows the mirrored
// state through the observer seam, as the session bus does.
//
// Every request but the page's needs the token; requests from a browser must
// name this machine in Host and come from the same origin. The requests are
// read by a small HTTP/1.1 reader of its own, so that a body too large is
// refused before it is read, an answer may wait for a call that takes time,
// and a WebSocket upgrade is checked before it is accepted.
#pragma once

#include "connection/mixerview.h"
#include "connection/operations.h"
#include "core/observers.h"
#include "remote/remotesettings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QUrl>
#include <QWebSocketServer>

#include <cstdint>
#include <memory>
#include <vector>

namespace remote {

class HttpConnection;
class WebSocketClient;

// The limits of what one client may ask.
inline constexpr qsizetype largestBody = 64 * 1024; // a request body or WebSocket message
inline constexpr int mostWebSocketClients = 32;
inline constexpr int mostHttpConnections = 128;
inline constexpr int callsPerSecond = 200;           // beyond it a client is slowed
inline constexpr int wrongTokensAllowed = 10;        // within a minute, from one address
inline constexpr qsizetype unsentLimit = 256 * 1024; // beyond it a client's changes are merged

// Calls a client may make: `callsPerSecond`, in bursts of as many.
class CallBudget {
public:
    bool Take(qint64 nowMs);

private:
    double left_ = callsPerSecond;
    qint64 lastMs_ = -1;
};

class RemoteServer : public QObject, public StateObserver {
public:
    RemoteServer(engine::MixerOperations& operations, const RemoteSettings& settings);
    ~RemoteServer() override;
    RemoteServer(const RemoteServer&) = delete;
    RemoteServer& operator=(const RemoteServer&) = delete;

    // Reads the token and listens on the settings' address and port; false,
    // and `error` says why, when either fails.
    bool Listen(QString* error);
    // The port listened on (the free one picked for port 0).
    quint16 HttpPort() const;
    // The page's address, http://ADDRESS:PORT/ (the host's name for an
    // address that means every interface).
    QUrl Url() const;
    // The token that guards the API (empty before Listen).
    QByteArray Token() const { return token_; }
    int WebSocketClients() const { return static_cast<int>(clients_.size()); }

    // The observer seam.
    void ReplyApplied(RequestKind kind) override;
    void FullReadCompleted() override;
    void LinkStateChanged(LinkState state) override;

    // --- For the connections -------------------------------------------------
    enum class Admission { Allowed, Missing, Wrong, Blocked };
    // Whether a request from `peer` with `given` (the token it sent, empty
    // for none) may use the API; a wrong token is counted against `peer`.
    Admission Admit(const QHostAddress& peer, const QByteArray& given);
    // Whether `peer` may make one more call now.
    bool TakeCall(const QHostAddress& peer);
    // Whether a client with its own budget may make one more call now.
    bool TakeCallFromClient(CallBudget& budget) const;
    std::uint64_t HolderOf(const QHostAddress& peer);
    bool WebSocketRoom() const;
    // Hands an accepted upgrade request (still unread on `socket`) to the
    // WebSocket server.
    void Upgrade(QTcpSocket* socket);
    engine::MixerOperations& Operations() { return operations_; }
    const QString& HostName() const { return hostName_; }
    qint64 NowMs() const { return clock_.elapsed(); }
    void ConnectionEnded(HttpConnection* connection);
    void ClientEnded(WebSocketClient* client);

private:
    struct Failures {
        QList<qint64> times; // of the wrong tokens within the last minute
        qint64 blockedUntil = -1;
    };

    void Accept();
    void AcceptWebSocket();
    void Announce();
    void Prune();

    engine::MixerOperations& operations_;
    RemoteSettings settings_;
    QByteArray token_;
    QString hostName_;
    QElapsedTimer clock_;
    QTcpServer listener_;
    QWebSocketServer webSockets_;
    MixerView announced_;
    std::vector<std::unique_ptr<HttpConnection>> connections_;
    std::vector<std::unique_ptr<WebSocketClient>> clients_;
    // The sockets handed to the WebSocket server, until it hands them back.
    QList<QPointer<QTcpSocket>> upgrading_;
    QHash<QHostAddress, Failures> failures_;
    QHash<QHostAddress, CallBudget> budgets_;
    QHash<QHostAddress, std::uint64_t> holders_;
    std::uint64_t nextHolder_;
};

} // namespace remote
