// The mixer over Open Sound Control: UDP datagrams and SLIP-framed TCP on the
// same port, addresses under /ardenix. Commands act through the mixer's
// operations as a remote caller (one holder per sender: a UDP address and
// port, or a TCP connection); subscribers hear the whole state, then every
// change once the reply that caused it is applied, one scalar per address.
// Everything runs on the program's thread, driven by the sockets' events.
#pragma once

#include "connection/mixerview.h"
#include "connection/operations.h"
#include "core/observers.h"
#include "osc/osccodec.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>

namespace osc {

// A range of sender addresses: "127.0.0.0/8", "::1", "192.168.1.20/32".
using Subnet = QPair<QHostAddress, int>;

struct OscSettings {
    QHostAddress bindAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 9471; // 0: a free port (the same for UDP and TCP)
    QList<Subnet> allow = DefaultAllowList();
    int senderLeaseMs = 10000;       // a command's sender hears the feedback this long
    int subscriptionLeaseMs = 60000; // /ardenix/subscribe lasts this long without a message
    int maxSubscribers = 16;
    int maxCommandsPerSecond = 200; // a sender's excess is dropped
    int tapMs = 100;     // a transport key tapped (sent without a value) is held this long
    int levelTapMs = 50; // a level button pressed for one step is held this long

    static QList<Subnet> DefaultAllowList();
    // "CIDR[,CIDR...]"; nullopt (and `error` says why) when one is no range.
    static std::optional<QList<Subnet>> ParseAllowList(const QString& text, QString* error);
};

// The feedback addresses and their values for a view, in a fixed order;
// `heldKey` is the transport key held (-1 for none).
QList<Message> FeedbackOf(const MixerView& view, int heldKey);

class OscServer : public QObject, public StateObserver {
public:
    OscServer(engine::MixerOperations& operations, OscSettings settings);
    ~OscServer() override;
    OscServer(const OscServer&) = delete;
    OscServer& operator=(const OscServer&) = delete;

    // Binds UDP and TCP; false (and `error` says why) when either fails.
    bool Listen(QString* error);
    quint16 Port() const { return port_; }
    // Senders whose feedback is live now (subscribed, or a command's lease).
    int SubscriberCount() const;

    // One packet from a sender, as the sockets hand it (also for the fuzzer:
    // with no socket bound, answers go nowhere).
    void HandleDatagram(const QHostAddress& from, quint16 fromPort, QByteArrayView packet);

    void ReplyApplied(RequestKind kind) override;
    void FullReadCompleted() override;
    void LinkStateChanged(LinkState state) override;

private:
    struct Peer {
        std::uint64_t holder = 0;
        QHostAddress address;
        quint16 port = 0;         // the UDP sender's port (answers go there)
        quint16 feedbackPort = 0; // where a UDP subscriber hears the feedback
        bool stream = false;      // a TCP connection's
        QPointer<QTcpSocket> socket;
        std::unique_ptr<SlipDecoder> slip;
        bool subscribed = false;    // by /ardenix/subscribe
        qint64 subscribedUntil = 0; // ms on clock_
        qint64 leaseUntil = 0;      // a command's lease
        qint64 lastSeen = 0;        // its last message
        qint64 windowStart = 0;     // the rate window
        int windowCount = 0;
    };
    using PeerKey = QPair<QByteArray, quint16>; // a UDP sender; TCP peers by their socket

    void ReadDatagrams();
    void AcceptConnections();
    void ReadStream(QTcpSocket* socket);
    void DropConnection(QTcpSocket* socket);
    bool Allowed(const QHostAddress& address) const;
    Peer* UdpPeer(const QHostAddress& from, quint16 fromPort);
    void HandlePacket(Peer& peer, QByteArrayView packet);
    void Dispatch(Peer& peer, const Message& message);
    // Sends to the sender (a read's answer, an error, the pong).
    void Answer(Peer& peer, const Message& message);
    void SendFeedback(Peer& peer, const QByteArray& packet);
    void Refuse(Peer& peer, engine::CommandResult result, const QByteArray& address);
    bool Live(const Peer& peer) const;
    // The command's lease (with room among the subscribers); false when full.
    bool Lease(Peer& peer, qint64 until, bool explicitSubscription);
    void SendWholeState(Peer& peer);
    void Announce(bool heldKeyOnly);
    void Sweep();
    void Forget(std::map<PeerKey, Peer>::iterator found);
    void Instant(Peer& peer, const QByteArray& address, engine::CommandResult result);
    engine::Caller CallerOf(const Peer& peer) const;
    Peer* PeerOf(std::uint64_t holder);
    engine::MixerOperations::Completion Later(const Peer& peer, const QByteArray& address);

    engine::MixerOperations& operations_;
    OscSettings settings_;
    QUdpSocket udp_;
    QTcpServer tcp_;
    quint16 port_ = 0;
    std::map<PeerKey, Peer> udpPeers_;
    std::map<QTcpSocket*, Peer> tcpPeers_;
    QList<QByteArray> announced_; // the feedback last announced, in FeedbackOf's order
    QElapsedTimer clock_;
    QTimer sweep_;
    std::uint64_t nextHolder_;
};

} // namespace osc
