#include "osc/oscserver.h"

#include "connection/controlnames.h"
#include "connection/levelmotion.h"
#include "core/hostfacts.h"

#include <QNetworkDatagram>

#include <algorithm>
#include <cmath>

namespace osc {

namespace {

using engine::CommandResult;

// Holders of the OSC senders: a range of their own, apart from the panel's
// and the bus callers'.
constexpr std::uint64_t firstHolder = std::uint64_t{1} << 48;
// Bounds on what unknown senders can make the server keep.
constexpr std::size_t maxUdpPeers = 256;
constexpr std::size_t maxTcpPeers = 64;
// A TCP client that lets this much feedback pile up unread is dropped.
constexpr qint64 maxUnsentBytes = 1024 * 1024;

const QByteArray prefix = QByteArrayLiteral("/ardenix");

QByteArray Lower(const char* name) {
    return QByteArray(name).toLower();
}

Message Scalar(const QByteArray& address, Argument value) {
    return Message{address, {std::move(value)}};
}

Message Text(const QByteArray& address, const QString& text) {
    return Scalar(address, Argument::String(text.toUtf8()));
}

Message Flag(const QByteArray& address, bool on) {
    return Scalar(address, Argument::Int(on ? 1 : 0));
}

// A value argument: an int, a float or T/F. `number` is nullopt without
// any argument; `bad` holds for an argument of another type.
struct Value {
    std::optional<double> number;
    bool isFloat = false;
    bool bad = false;
};

Value ValueOf(const Message& message) {
    if (message.arguments.isEmpty()) {
        return {};
    }
    const Argument& a = message.arguments.first();
    switch (a.type) {
    case Argument::Type::Int:
        return {double(a.i), false, false};
    case Argument::Type::Float:
        if (!std::isfinite(a.f)) {
            return {std::nullopt, false, true};
        }
        return {double(a.f), true, false};
    case Argument::Type::True:
        return {1.0, false, false};
    case Argument::Type::False:
        return {0.0, false, false};
    case Argument::Type::String:
    case Argument::Type::Blob:
    case Argument::Type::Nil:
        break;
    }
    return {std::nullopt, false, true};
}

// A whole number from a value (a float only when it is one).
std::optional<int> WholeNumber(const Value& value) {
    if (!value.number || std::floor(*value.number) != *value.number ||
        std::fabs(*value.number) > 1e6) {
        return std::nullopt;
    }
    return static_cast<int>(*value.number);
}

} // namespace

// --- Settings ----------------------------------------------------------------

QList<Subnet> OscSettings::DefaultAllowList() {
    return {Subnet(QHostAddress(QStringLiteral("127.0.0.0")), 8),
            Subnet(QHostAddress(QHostAddress::LocalHostIPv6), 128)};
}

std::optional<QList<Subnet>> OscSettings::ParseAllowList(const QString& text, QString* error) {
    QList<Subnet> list;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString range = part.trimmed();
        if (!range.contains(QLatin1Char('/'))) {
            const QHostAddress address(range);
            range += address.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("/128")
                                                                         : QStringLiteral("/32");
        }
        const Subnet subnet = QHostAddress::parseSubnet(range);
        if (subnet.first.isNull() || subnet.second < 0) {
            if (error != nullptr) {
                *error = QStringLiteral("\"%1\" is no address range (such as 192.168.1.0/24)")
                             .arg(part.trimmed());
            }
            return std::nullopt;
        }
        list.append(subnet);
    }
    if (list.isEmpty()) {
        if (error != nullptr) {
            *error = QStringLiteral("the list of OSC senders is empty");
        }
        return std::nullopt;
    }
    return list;
}

// --- Feedback ----------------------------------------------------------------

QList<Message> FeedbackOf(const MixerView& view, int heldKey) {
    QList<Message> list;
    list.append(Text(prefix + "/connection", view.connection));
    list.append(Flag(prefix + "/connected", view.connection == ConnectionName(LinkState::Online)));
    list.append(Scalar(prefix + "/input", Argument::Int(view.selectedInput)));
    for (int n = 1; n <= engine::inputCount; ++n) {
        const QByteArray base = prefix + "/input/" + QByteArray::number(n);
        list.append(Flag(base + "/selected", view.selectedInput == n));
        list.append(Text(base + "/name", view.inputNames.value(n - 1)));
        list.append(Scalar(base + "/status", Argument::Int(view.inputStatus.value(n - 1, -1))));
    }
    for (int m = 0; m < engine::masterCount; ++m) {
        const QByteArray base = prefix + "/master/" + Lower(controlnames::masters.at(m));
        const int level = view.masterLevels.value(m);
        list.append(Scalar(base + "/level", Argument::Int(level)));
        list.append(Scalar(base + "/level/norm",
                           Argument::Float(float(level) / float(LevelMotion::highestStep))));
        list.append(Flag(base + "/mute", view.masterMuted.value(m)));
        list.append(Flag(base + "/overgain", view.overGain.value(m)));
        list.append(Flag(base + "/mugen", view.mugen.value(m)));
        list.append(Text(base + "/name", view.masterNames.value(m)));
    }
    for (int k = 0; k < engine::sceneButtonCount; ++k) {
        const QByteArray base = prefix + "/scene/" + Lower(controlnames::sceneButtons.at(k));
        list.append(Text(base + "/name", view.sceneNames.value(k)));
        list.append(Flag(base + "/locked", view.sceneLocked.value(k)));
        list.append(Scalar(base + "/code", Argument::Int(view.sceneCodes.value(k))));
    }
    list.append(Text(prefix + "/scene/recalled", view.recalledScene));
    for (int k = 0; k < engine::transportKeyCount; ++k) {
        list.append(Flag(prefix + "/transport/" + controlnames::transportKeys.at(k), heldKey == k));
    }
    return list;
}

// --- The server ----------------------------------------------------------------

OscServer::OscServer(engine::MixerOperations& operations, OscSettings settings)
    : operations_(operations), settings_(std::move(settings)), nextHolder_(firstHolder) {
    clock_.start();
    for (const Message& m : FeedbackOf(ReadCurrentMixerView(operations_), -1)) {
        announced_.append(EncodeMessage(m));
    }
    const int shortest = std::min(settings_.senderLeaseMs, settings_.subscriptionLeaseMs);
    sweep_.setInterval(std::clamp(shortest / 4, 10, 1000));
    connect(&sweep_, &QTimer::timeout, this, &OscServer::Sweep);
    connect(&udp_, &QUdpSocket::readyRead, this, &OscServer::ReadDatagrams);
    connect(&tcp_, &QTcpServer::newConnection, this, &OscServer::AcceptConnections);
    Subscribe(*this);
}

OscServer::~OscServer() {
    Unsubscribe(*this);
    for (const auto& [key, peer] : udpPeers_) {
        operations_.LetGo(peer.holder);
    }
    for (const auto& [socket, peer] : tcpPeers_) {
        operations_.LetGo(peer.holder);
        if (peer.socket) {
            peer.socket->disconnect(this);
            peer.socket->abort();
        }
    }
}

bool OscServer::Listen(QString* error) {
    const auto fail = [this, error](const QString& what) {
        if (error != nullptr) {
            *error = what;
        }
        udp_.close();
        tcp_.close();
        return false;
    };
    // Port 0: UDP picks the port, TCP takes the same one; another program
    // may hold that TCP port, and then both try again.
    constexpr int attempts = 20;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!udp_.bind(settings_.bindAddress, settings_.port)) {
            return fail(QStringLiteral("OSC cannot use UDP port %1 on %2: %3")
                            .arg(settings_.port)
                            .arg(settings_.bindAddress.toString(), udp_.errorString()));
        }
        const quint16 port = udp_.localPort();
        if (tcp_.listen(settings_.bindAddress, port)) {
            port_ = port;
            return true;
        }
        const QString why = tcp_.errorString();
        udp_.close();
        if (settings_.port != 0 || tcp_.serverError() != QAbstractSocket::AddressInUseError) {
            return fail(QStringLiteral("OSC cannot use TCP port %1 on %2: %3")
                            .arg(port)
                            .arg(settings_.bindAddress.toString(), why));
        }
    }
    return fail(QStringLiteral("OSC found no port free for both UDP and TCP"));
}

int OscServer::SubscriberCount() const {
    int count = 0;
    for (const auto& [key, peer] : udpPeers_) {
        count += Live(peer) ? 1 : 0;
    }
    for (const auto& [socket, peer] : tcpPeers_) {
        count += Live(peer) ? 1 : 0;
    }
    return count;
}

bool OscServer::Allowed(const QHostAddress& address) const {
    QHostAddress plain = address;
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped) {
        plain = QHostAddress(v4);
    }
    return std::any_of(settings_.allow.begin(), settings_.allow.end(),
                       [&plain](const Subnet& s) { return plain.isInSubnet(s); });
}

// --- Receiving -------------------------------------------------------------------

void OscServer::ReadDatagrams() {
    while (udp_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp_.receiveDatagram();
        if (datagram.isValid()) {
            HandleDatagram(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()),
                           datagram.data());
        }
    }
}

OscServer::Peer* OscServer::UdpPeer(const QHostAddress& from, quint16 fromPort) {
    const PeerKey key(from.toString().toLatin1(), fromPort);
    auto found = udpPeers_.find(key);
    if (found == udpPeers_.end()) {
        if (udpPeers_.size() >= maxUdpPeers) {
            return nullptr;
        }
        Peer peer;
        peer.holder = nextHolder_++;
        peer.address = from;
        peer.port = fromPort;
        peer.feedbackPort = fromPort;
        found = udpPeers_.emplace(key, std::move(peer)).first;
        sweep_.start();
    }
    return &found->second;
}

void OscServer::HandleDatagram(const QHostAddress& from, quint16 fromPort, QByteArrayView packet) {
    if (!Allowed(from)) {
        return;
    }
    // A malformed packet is dropped before it may create a sender.
    const std::optional<QList<Message>> messages = DecodePacket(packet);
    if (!messages) {
        return;
    }
    Peer* peer = UdpPeer(from, fromPort);
    if (peer == nullptr) {
        return;
    }
    for (const Message& message : *messages) {
        Dispatch(*peer, message);
    }
}

void OscServer::AcceptConnections() {
    while (QTcpSocket* socket = tcp_.nextPendingConnection()) {
        if (!Allowed(socket->peerAddress()) || tcpPeers_.size() >= maxTcpPeers) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        Peer peer;
        peer.holder = nextHolder_++;
        peer.address = socket->peerAddress();
        peer.stream = true;
        peer.socket = socket;
        peer.slip = std::make_unique<SlipDecoder>();
        tcpPeers_.emplace(socket, std::move(peer));
        sweep_.start();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { ReadStream(socket); });
        // Queued: a connection is never forgotten while one of its messages is handled.
        connect(
            socket, &QTcpSocket::disconnected, this, [this, socket] { DropConnection(socket); },
            Qt::QueuedConnection);
    }
}

void OscServer::ReadStream(QTcpSocket* socket) {
    const auto found = tcpPeers_.find(socket);
    if (found == tcpPeers_.end()) {
        return;
    }
    Peer& peer = found->second;
    const QList<QByteArray> frames = peer.slip->Feed(socket->readAll());
    if (peer.slip->Broken()) {
        socket->disconnect(this);
        socket->abort();
        QTimer::singleShot(0, this, [this, socket] { DropConnection(socket); });
        return;
    }
    for (const QByteArray& frame : frames) {
        if (const std::optional<QList<Message>> messages = DecodePacket(frame)) {
            for (const Message& message : *messages) {
                Dispatch(peer, message);
            }
        }
    }
}

void OscServer::DropConnection(QTcpSocket* socket) {
    const auto found = tcpPeers_.find(socket);
    if (found == tcpPeers_.end()) {
        return;
    }
    const std::uint64_t holder = found->second.holder;
    tcpPeers_.erase(found);
    socket->deleteLater();
    operations_.LetGo(holder);
    Announce(true);
}

// --- Sending ---------------------------------------------------------------------

void OscServer::SendFeedback(Peer& peer, const QByteArray& packet) {
    if (peer.stream) {
        if (!peer.socket || peer.socket->state() != QAbstractSocket::ConnectedState) {
            return;
        }
        peer.socket->write(SlipEncode(packet));
        if (peer.socket->bytesToWrite() > maxUnsentBytes) {
            // It does not read its feedback: it goes, the others go on.
            QTcpSocket* socket = peer.socket;
            socket->disconnect(this);
            socket->abort();
            QTimer::singleShot(0, this, [this, socket] { DropConnection(socket); });
        }
        return;
    }
    if (udp_.state() == QAbstractSocket::BoundState) {
        udp_.writeDatagram(packet, peer.address, peer.feedbackPort);
    }
}

void OscServer::Answer(Peer& peer, const Message& message) {
    if (peer.stream) {
        SendFeedback(peer, EncodeMessage(message));
    } else if (udp_.state() == QAbstractSocket::BoundState) {
        udp_.writeDatagram(EncodeMessage(message), peer.address, peer.port);
    }
}

void OscServer::Refuse(Peer& peer, CommandResult result, const QByteArray& address) {
    Answer(peer, Message{prefix + "/error",
                         {Argument::String(engine::ResultName(result).toUtf8()),
                          Argument::String(address)}});
}

// --- Subscriptions -----------------------------------------------------------------

bool OscServer::Live(const Peer& peer) const {
    const qint64 now = clock_.elapsed();
    return (peer.subscribed && now < peer.subscribedUntil) || now < peer.leaseUntil;
}

bool OscServer::Lease(Peer& peer, qint64 until, bool explicitSubscription) {
    const bool wasLive = Live(peer);
    if (!wasLive && SubscriberCount() >= settings_.maxSubscribers) {
        return false;
    }
    if (explicitSubscription) {
        peer.subscribed = true;
        peer.subscribedUntil = until;
    } else {
        peer.leaseUntil = std::max(peer.leaseUntil, until);
    }
    if (!wasLive || explicitSubscription) {
        SendWholeState(peer);
    }
    return true;
}

// What was last announced: a subscriber then hears every change from there.
void OscServer::SendWholeState(Peer& peer) {
    for (const QByteArray& message : announced_) {
        SendFeedback(peer, message);
    }
}

void OscServer::Announce(bool heldKeyOnly) {
    const QList<Message> now =
        FeedbackOf(ReadCurrentMixerView(operations_), operations_.HeldTransportKey());
    const QByteArray transport = prefix + "/transport/";
    QList<QByteArray> changed;
    for (qsizetype k = 0; k < now.size() && k < announced_.size(); ++k) {
        if (heldKeyOnly && !now[k].address.startsWith(transport)) {
            continue;
        }
        QByteArray bytes = EncodeMessage(now[k]);
        if (bytes != announced_[k]) {
            announced_[k] = bytes;
            changed.append(std::move(bytes));
        }
    }
    if (changed.isEmpty()) {
        return;
    }
    const auto send = [this, &changed](Peer& peer) {
        if (Live(peer)) {
            for (const QByteArray& message : changed) {
                SendFeedback(peer, message);
            }
        }
    };
    for (auto& [key, peer] : udpPeers_) {
        send(peer);
    }
    for (auto& [socket, peer] : tcpPeers_) {
        send(peer);
    }
}

void OscServer::ReplyApplied(RequestKind) {
    Announce(false);
}

void OscServer::FullReadCompleted() {
    Announce(false);
}

void OscServer::LinkStateChanged(LinkState) {
    Announce(false);
}

// A UDP sender goes once it is silent and hears no feedback: what it held is let go.
void OscServer::Sweep() {
    const qint64 now = clock_.elapsed();
    bool letGo = false;
    for (auto it = udpPeers_.begin(); it != udpPeers_.end();) {
        const Peer& peer = it->second;
        if (!Live(peer) && now - peer.lastSeen >= settings_.senderLeaseMs) {
            operations_.LetGo(peer.holder);
            letGo = true;
            it = udpPeers_.erase(it);
        } else {
            ++it;
        }
    }
    if (udpPeers_.empty() && tcpPeers_.empty()) {
        sweep_.stop();
    }
    if (letGo) {
        Announce(true);
    }
}

// --- Commands ----------------------------------------------------------------------

engine::Caller OscServer::CallerOf(const Peer& peer) const {
    return engine::Caller{engine::Caller::Kind::Remote, peer.holder};
}

OscServer::Peer* OscServer::PeerOf(std::uint64_t holder) {
    for (auto& [key, peer] : udpPeers_) {
        if (peer.holder == holder) {
            return &peer;
        }
    }
    for (auto& [socket, peer] : tcpPeers_) {
        if (peer.holder == holder) {
            return &peer;
        }
    }
    return nullptr;
}

// An operation's answer: a refusal goes back to the sender; an operation
// that found the link dead while sending is refused as the bus refuses it.
void OscServer::Instant(Peer& peer, const QByteArray& address, CommandResult result) {
    if (result == CommandResult::Done && !engine::LinkOnline()) {
        result = CommandResult::NotConnected;
    }
    if (result != CommandResult::Done) {
        Refuse(peer, result, address);
    }
}

// A later answer (a recall, a level motion) to a sender that may be gone.
engine::MixerOperations::Completion OscServer::Later(const Peer& peer, const QByteArray& address) {
    const QPointer<OscServer> self(this);
    const std::uint64_t holder = peer.holder;
    return [self, holder, address](CommandResult result) {
        if (!self || result == CommandResult::Done) {
            return;
        }
        if (Peer* p = self->PeerOf(holder)) {
            self->Refuse(*p, result, address);
        }
    };
}

void OscServer::Dispatch(Peer& peer, const Message& message) {
    const qint64 now = clock_.elapsed();
    if (now - peer.windowStart >= 1000) {
        peer.windowStart = now;
        peer.windowCount = 0;
    }
    if (++peer.windowCount > settings_.maxCommandsPerSecond) {
        return; // its excess is dropped
    }
    peer.lastSeen = now;
    if (peer.subscribed && now < peer.subscribedUntil) {
        peer.subscribedUntil = now + settings_.subscriptionLeaseMs;
    }
    if (now < peer.leaseUntil) {
        peer.leaseUntil = now + settings_.senderLeaseMs;
    }

    const QByteArray& address = message.address;
    const QList<QByteArray> parts = address.split('/'); // "", "ardenix", ...
    const qsizetype count = parts.size();
    const QByteArray at = count > 1 ? parts[1] : QByteArray();
    const Value value = ValueOf(message);
    const auto invalid = [&] { Refuse(peer, CommandResult::Invalid, address); };
    if (at != "ardenix" || count < 3) {
        invalid();
        return;
    }
    const QByteArray what = parts[2];

    // A state address without a value is a read, answered to the sender.
    const auto read = [&] {
        if (!message.arguments.isEmpty()) {
            invalid();
            return;
        }
        for (const Message& m :
             FeedbackOf(ReadCurrentMixerView(operations_), operations_.HeldTransportKey())) {
            if (m.address == address) {
                Answer(peer, m);
                return;
            }
        }
        invalid();
    };
    // A command: its sender hears the feedback for a while.
    const auto command = [&] { Lease(peer, now + settings_.senderLeaseMs, false); };
    // A trigger acts without a value or on a true one; false is a button's release.
    const auto triggered = [&] {
        if (value.bad) {
            invalid();
            return false;
        }
        return !value.number || *value.number != 0;
    };
    const engine::Caller caller = CallerOf(peer);

    if (what == "ping" && count == 3) {
        Answer(peer, Message{prefix + "/pong", {}});
        return;
    }
    if (what == "subscribe" && count == 3) {
        if (!peer.stream && !message.arguments.isEmpty()) {
            const std::optional<int> port = WholeNumber(value);
            if (!port || *port < 1 || *port > 65535) {
                invalid();
                return;
            }
            peer.feedbackPort = static_cast<quint16>(*port);
        }
        if (!Lease(peer, now + settings_.subscriptionLeaseMs, true)) {
            Refuse(peer, CommandResult::Busy, address);
        }
        return;
    }
    if (what == "unsubscribe" && count == 3) {
        peer.subscribed = false;
        peer.leaseUntil = 0;
        peer.feedbackPort = peer.port;
        operations_.LetGo(peer.holder);
        Announce(true);
        return;
    }
    if ((what == "connection" || what == "connected") && count == 3) {
        read();
        return;
    }

    if (what == "input") {
        if (count == 3) {
            if (message.arguments.isEmpty()) {
                read();
                return;
            }
            const std::optional<int> n = WholeNumber(value);
            if (!n || *n < 1 || *n > engine::inputCount) {
                invalid();
                return;
            }
            command();
            Instant(peer, address, operations_.SelectInput(caller, *n - 1));
            return;
        }
        const bool known = count == 5 && parts[3].size() == 1 && parts[3][0] >= '1' &&
                           parts[3][0] <= char('0' + engine::inputCount);
        if (known && parts[4] == "select") {
            if (triggered()) {
                command();
                Instant(peer, address, operations_.SelectInput(caller, parts[3][0] - '1'));
            }
            return;
        }
        if (known && (parts[4] == "selected" || parts[4] == "name" || parts[4] == "status")) {
            read();
            return;
        }
        invalid();
        return;
    }

    if (what == "master" && count >= 5) {
        const int m =
            controlnames::IndexOf(controlnames::masters, QString::fromLatin1(parts[3]).toUpper());
        if (m < 0 || parts[3] != parts[3].toLower()) {
            invalid();
            return;
        }
        const QByteArray control = parts[4];
        if (control == "level" && count == 5) {
            if (message.arguments.isEmpty()) {
                read();
                return;
            }
            std::optional<int> step;
            if (value.isFloat && *value.number >= 0.0 && *value.number <= 1.0) {
                step = static_cast<int>(std::lround(*value.number * LevelMotion::highestStep));
            } else if (!value.isFloat && !value.bad &&
                       message.arguments.first().type == Argument::Type::Int) {
                step = WholeNumber(value);
            }
            if (!step || *step < LevelMotion::lowestStep || *step > LevelMotion::highestStep) {
                invalid();
                return;
            }
            command();
            const auto later = Later(peer, address);
            Instant(peer, address,
                    operations_.SetLevel(caller, m, *step,
                                         [later](CommandResult result, int) { later(result); }));
            return;
        }
        if (control == "level" && count == 6 && (parts[5] == "up" || parts[5] == "down")) {
            if (!triggered()) {
                return;
            }
            command();
            // One step: the level button pressed and let go within the mixer's
            // repeat time (it moves one step at the press, and one more every
            // 100 ms while held).
            const bool down = parts[5] == "down";
            const CommandResult pressed = operations_.PressLevel(caller, m, down);
            Instant(peer, address, pressed);
            if (pressed == CommandResult::Done) {
                const std::uint64_t holder = peer.holder;
                QTimer::singleShot(settings_.levelTapMs, this, [this, holder, m] {
                    operations_.ReleaseLevel(engine::Caller{engine::Caller::Kind::Remote, holder},
                                             m);
                });
            }
            return;
        }
        if (control == "mute" && count == 5) {
            if (message.arguments.isEmpty()) {
                read();
                return;
            }
            if (value.bad) {
                invalid();
                return;
            }
            command();
            Instant(peer, address, operations_.SetMute(caller, m, *value.number != 0));
            return;
        }
        if (control == "mute" && count == 6 && parts[5] == "toggle") {
            if (triggered()) {
                command();
                Instant(peer, address, operations_.ToggleMute(caller, m));
            }
            return;
        }
        if (count == 5 || (count == 6 && control == "level" && parts[5] == "norm")) {
            read();
            return;
        }
        invalid();
        return;
    }

    if (what == "scene" && count >= 4) {
        if (count == 4 && parts[3] == "recalled") {
            read();
            return;
        }
        const int k = controlnames::IndexOf(controlnames::sceneButtons,
                                            QString::fromLatin1(parts[3]).toUpper());
        if (k < 0 || parts[3] != parts[3].toLower() || count != 5) {
            invalid();
            return;
        }
        if (parts[4] == "recall") {
            if (triggered()) {
                command();
                Instant(peer, address, operations_.RecallScene(caller, k, Later(peer, address)));
            }
            return;
        }
        read();
        return;
    }

    if (what == "transport" && count == 4) {
        const int key =
            controlnames::IndexOf(controlnames::transportKeys, QString::fromLatin1(parts[3]));
        if (key < 0 || value.bad) {
            invalid();
            return;
        }
        command();
        if (!value.number) {
            // A tap: pressed, and let go a moment later.
            const CommandResult pressed = operations_.PressTransport(caller, key);
            Instant(peer, address, pressed);
            if (pressed == CommandResult::Done) {
                const std::uint64_t holder = peer.holder;
                QTimer::singleShot(settings_.tapMs, this, [this, holder] {
                    operations_.ReleaseTransport(
                        engine::Caller{engine::Caller::Kind::Remote, holder});
                    Announce(true);
                });
            }
        } else if (*value.number != 0) {
            Instant(peer, address, operations_.PressTransport(caller, key));
        } else {
            Instant(peer, address, operations_.ReleaseTransport(caller));
        }
        Announce(true);
        return;
    }
    invalid();
}

} // namespace osc
