// The OSC remote against the simulated mixer: the codec's packets and SLIP
// frames, every command address, reads, subscriptions with the whole state
// and the mixer's own changes, the lease of a command's sender, refusals,
// the allow list, the limits, malformed packets, and TCP with SLIP.
//
// The panel and the OSC server run in this process (started as the program
// starts them); the clients are sockets on the loopback addresses. Every
// case runs in a process of its own: run with a case's name, this program
// runs that case; run without arguments, it runs each case in a child.
#include "app/startup.h"
#include "app/wiring.h"
#include "connection/supervisor.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "osc/osccodec.h"
#include "osc/oscserver.h"
#include "panel/panel.h"
#include "serial/serial.h"
#include "tests/support/casechildren.h"
#include "tests/support/linkrecord.h"
#include "tests/support/simprocess.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

using osc::Argument;
using osc::Message;

Message Msg(const QByteArray& address, QList<Argument> arguments = {}) {
    return Message{address, std::move(arguments)};
}

// An OSC client on a loopback address: what it sends, what it heard.
class Client {
public:
    explicit Client(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost)) {
        bound = socket.bind(address, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram d = socket.receiveDatagram();
                if (const auto messages = osc::DecodePacket(d.data())) {
                    heard += *messages;
                } else {
                    ++undecodable;
                }
            }
        });
    }
    void Send(quint16 port, const Message& message) { SendRaw(port, osc::EncodeMessage(message)); }
    void SendRaw(quint16 port, const QByteArray& bytes) {
        socket.writeDatagram(bytes, QHostAddress(QHostAddress::LocalHost), port);
    }
    quint16 Port() const { return socket.localPort(); }
    // The messages heard at `address`.
    QList<Message> At(const QByteArray& address) const {
        QList<Message> found;
        for (const Message& m : heard) {
            if (m.address == address) {
                found.append(m);
            }
        }
        return found;
    }
    bool Heard(const Message& message) const { return heard.contains(message); }

    QUdpSocket socket;
    bool bound = false;
    QList<Message> heard;
    int undecodable = 0;
};

Argument I(int value) {
    return Argument::Int(value);
}
Argument S(const char* text) {
    return Argument::String(QByteArray(text));
}

} // namespace

class TestOsc : public QObject {
    Q_OBJECT
    PanelRefresh panel;
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    QTemporaryDir runtimeDir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<osc::OscServer> server;
    quint16 port = 0;

    // The simulator, the panel online on it and the OSC server listening.
    void StartOnline(osc::OscSettings settings = {}) {
        sim = std::make_unique<SimProcess>();
        QVERIFY(sim->Start());
        qputenv("ARDENIX_PORT", sim->LinkPath().toLocal8Bit());
        host::SetCommandLineText(QString());
        Main(linkRecord, mirror, connectionMessage);
        QVERIFY(!host::ProgramEnding());
        QTRY_COMPARE_WITH_TIMEOUT(CurrentLinkState(), LinkState::Online, 10000);
        settings.port = 0;
        server = std::make_unique<osc::OscServer>(operations, settings);
        QString error;
        QVERIFY2(server->Listen(&error), qPrintable(error));
        port = server->Port();
        QVERIFY(port != 0);
    }
    void SimCommand(const QString& command) {
        QCOMPARE(sim->Command(command).left(2), QStringLiteral("ok"));
    }
    // The transport key the mixer has held (its index in the panel's row), -1 for none.
    int SimKey() { return sim->State()[QLatin1String("transportKey")].toInt(); }
    QJsonObject Master(int m) {
        return sim->State()[QLatin1String("masters")].toArray()[m].toObject();
    }

private slots:
    void initTestCase() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        host::SetMsgBoxHandler([](const QString&, int, const QString&) { return host::mbOk; });
    }

    void cleanupTestCase() {
        server.reset();
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Padding, every argument type, nested bundles, and any truncation or
    // corruption refused as a whole; SLIP both ways.
    void codecPacketsAndFrames() {
        // Each part pads to four bytes, with at least one zero after a string.
        QCOMPARE(osc::EncodeMessage(Msg("/abc")).size(), 4 + 4 + 4);
        QCOMPARE(osc::EncodeMessage(Msg("/ab")).size(), 4 + 4);
        QCOMPARE(osc::EncodeMessage(Msg("/abcdefg", {S("xyz")})).size(), 12 + 4 + 4);
        QCOMPARE(osc::EncodeMessage(Msg("/a", {Argument::Blob("12345")})).size(), 4 + 4 + 4 + 8);
        const Message all =
            Msg("/ardenix/all",
                {I(-7), Argument::Float(0.25f), S("name"), Argument::Blob(QByteArray("\0\1\2", 3)),
                 Argument::Bool(true), Argument::Bool(false), Argument{}});
        const QByteArray bytes = osc::EncodeMessage(all);
        QCOMPARE(osc::DecodePacket(bytes), std::optional(QList<Message>{all}));
        // A message without type tags, as old senders send it.
        QCOMPARE(osc::DecodePacket(QByteArray("/ab\0", 4)),
                 std::optional(QList<Message>{Msg("/ab")}));
        // Bundles, nested, flattened in order.
        const QByteArray inner = osc::EncodeBundle({osc::EncodeMessage(Msg("/b", {I(2)}))});
        const QByteArray bundle = osc::EncodeBundle({osc::EncodeMessage(Msg("/a")), inner, bytes});
        QCOMPARE(osc::DecodePacket(bundle),
                 std::optional(QList<Message>{Msg("/a"), Msg("/b", {I(2)}), all}));
        // Every shorter piece is refused, and never read beyond: this runs
        // on copies that end where the piece ends.
        // A piece cut at a part's end may be a shorter valid packet (a
        // message without its type tags, a bundle with fewer elements),
        // never one with all of the whole's contents.
        const auto contents = [](const QList<Message>& messages) {
            qsizetype n = 0;
            for (const Message& m : messages) {
                n += 1 + m.arguments.size();
            }
            return n;
        };
        for (const QByteArray& whole : {bytes, bundle}) {
            const qsizetype full = contents(*osc::DecodePacket(whole));
            for (qsizetype n = 0; n < whole.size(); ++n) {
                const auto decoded = osc::DecodePacket(whole.left(n));
                QVERIFY2(!decoded || contents(*decoded) < full, qPrintable(QString::number(n)));
            }
        }
        const auto refused = [](const QByteArray& packet) { return !osc::DecodePacket(packet); };
        QVERIFY(refused(QByteArray("ab\0\0", 4)));                        // no leading slash
        QVERIFY(refused(QByteArray("/a\0\0,x\0\0", 8)));                  // unknown type
        QVERIFY(refused(QByteArray("/a\0\0,i\0\0\0\0\0\1\0\0\0\0", 16))); // bytes left over
        QVERIFY(refused(QByteArray("/a\0x,\0\0\0", 8)));                  // padding not zero
        QVERIFY(refused(QByteArray("/a\0\0,b\0\0\x7f\xff\xff\xff", 12))); // blob past the end
        QByteArray lying = bundle;
        lying[16] = '\x10'; // the first element claims more than there is
        QVERIFY(refused(lying));
        QByteArray deep = osc::EncodeMessage(Msg("/x"));
        for (int k = 0; k <= osc::maxBundleDepth; ++k) {
            deep = osc::EncodeBundle({deep});
        }
        QVERIFY(refused(deep));

        // SLIP: special bytes escaped, END END tolerated, split anywhere.
        const QByteArray special("\xC0\xDB/x\xDB\xDC", 6);
        const QByteArray framed = osc::SlipEncode(special) + osc::SlipEncode("abcd");
        QCOMPARE(framed.count('\xC0'), 4);
        osc::SlipDecoder decoder;
        QList<QByteArray> frames;
        for (const char c : framed) {
            frames += decoder.Feed(QByteArrayView(&c, 1));
        }
        QCOMPARE(frames, (QList<QByteArray>{special, "abcd"}));
        QVERIFY(!decoder.Broken());
        osc::SlipDecoder big(16);
        QVERIFY(big.Feed(QByteArray(17, 'a')).isEmpty());
        QVERIFY(big.Broken());
        osc::SlipDecoder badEscape;
        QVERIFY(badEscape.Feed(QByteArray("\xDB\x01\xC0", 3)).isEmpty());
        QVERIFY(badEscape.Broken());
        // The allow list's ranges.
        QString error;
        QVERIFY(osc::OscSettings::ParseAllowList(QStringLiteral("10.0.0.0/8, ::1"), &error));
        QVERIFY(!osc::OscSettings::ParseAllowList(QStringLiteral("10.0.0.0/8,nonsense"), &error));
        QVERIFY(error.contains(QLatin1String("nonsense")));
    }

    // Each command address acts on the mixer; reads answer the sender; a
    // refused command answers with the engine's reason.
    void everyCommandAndRead() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set mute B off"));
        SimCommand(QStringLiteral("set level A 10"));
        SimCommand(QStringLiteral("set input 1"));
        Client c;
        QVERIFY(c.bound);
        c.Send(port, Msg("/ardenix/ping"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Heard(Msg("/ardenix/pong")), 3000);

        c.Send(port, Msg("/ardenix/input", {I(3)}));
        QTRY_COMPARE_WITH_TIMEOUT(sim->State()[QLatin1String("selectedInput")].toInt(), 3, 3000);
        c.Send(port, Msg("/ardenix/input/5/select", {Argument::Float(1)}));
        QTRY_COMPARE_WITH_TIMEOUT(sim->State()[QLatin1String("selectedInput")].toInt(), 5, 3000);
        // A button's release (a false value) does nothing.
        c.Send(port, Msg("/ardenix/input/2/select", {I(0)}));
        c.Send(port, Msg("/ardenix/master/b/mute", {Argument::Bool(true)}));
        QTRY_VERIFY_WITH_TIMEOUT(Master(1)[QLatin1String("muted")].toBool(), 3000);
        QCOMPARE(sim->State()[QLatin1String("selectedInput")].toInt(), 5);
        c.Send(port, Msg("/ardenix/master/b/mute/toggle"));
        QTRY_VERIFY_WITH_TIMEOUT(!Master(1)[QLatin1String("muted")].toBool(), 3000);

        // A level motion stops within one step of its target (as the bus's
        // SetLevel does); a step up or down moves exactly one.
        const auto settledLevel = [this] {
            QElapsedTimer clock;
            clock.start();
            while ((operations.HoldsAnything() ||
                    mirror.panel.masters[0].level != Master(0)[QLatin1String("level")].toInt()) &&
                   clock.elapsed() < 5000) {
                QTest::qWait(20);
            }
            return operations.HoldsAnything() ? -1 : int(mirror.panel.masters[0].level);
        };
        c.Send(port, Msg("/ardenix/master/a/level", {I(14)}));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(Master(0)[QLatin1String("level")].toInt() - 14) <= 1, 5000);
        QVERIFY(settledLevel() >= 0);
        c.Send(port, Msg("/ardenix/master/a/level", {Argument::Float(0.7f)})); // step 21
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(Master(0)[QLatin1String("level")].toInt() - 21) <= 1, 5000);
        const int level = settledLevel();
        QVERIFY(level >= 20 && level <= 22);
        c.Send(port, Msg("/ardenix/master/a/level/up"));
        QTRY_COMPARE_WITH_TIMEOUT(Master(0)[QLatin1String("level")].toInt(), level + 1, 5000);
        QCOMPARE(settledLevel(), level + 1);
        c.Send(port, Msg("/ardenix/master/a/level/down"));
        QTRY_COMPARE_WITH_TIMEOUT(Master(0)[QLatin1String("level")].toInt(), level, 5000);
        QTest::qWait(300);
        QCOMPARE(settledLevel(), level); // one step, not more

        const int slotB = sim->State()[QLatin1String("sceneSlots")].toArray()[1].toInt();
        qsizetype from = sim->Log().size();
        c.Send(port, Msg("/ardenix/scene/b/recall"));
        QTRY_VERIFY_WITH_TIMEOUT(
            sim->FrameTexts(from).contains(QStringLiteral("CRCL %1").arg(slotB)) ||
                sim->Codes(from).contains(QStringLiteral("CRCL")),
            3000);
        QTRY_COMPARE_WITH_TIMEOUT(sim->State()[QLatin1String("recall")].toInt(), slotB, 5000);

        c.Send(port, Msg("/ardenix/transport/play", {I(1)}));
        QTRY_COMPARE_WITH_TIMEOUT(SimKey(), 4, 3000);
        c.Send(port, Msg("/ardenix/transport/play", {I(0)}));
        QTRY_COMPARE_WITH_TIMEOUT(SimKey(), -1, 3000);
        from = sim->Log().size();
        c.Send(port, Msg("/ardenix/transport/rewind"));
        QTRY_VERIFY_WITH_TIMEOUT(sim->Codes(from).count(QStringLiteral("CRCS")) >= 2, 3000);

        // Reads: the value, to the sender.
        QTest::qWait(500); // the recall's rest ends
        c.heard.clear();
        c.Send(port, Msg("/ardenix/master/a/level"));
        c.Send(port, Msg("/ardenix/input/5/selected"));
        c.Send(port, Msg("/ardenix/scene/recalled"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Heard(Msg("/ardenix/master/a/level", {I(level)})), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!c.At("/ardenix/scene/recalled").isEmpty(), 3000);
        QVERIFY(c.Heard(Msg("/ardenix/input/5/selected", {I(1)})));
        QCOMPARE(c.At("/ardenix/scene/recalled").first().arguments, QList<Argument>{S("B")});

        // Refusals: the reason and the address, to the sender.
        SimCommand(QStringLiteral("set mute A on"));
        QTRY_COMPARE_WITH_TIMEOUT(mirror.panel.masters[0].muted, flagTrue, 3000);
        const Integer code = programSetup.sceneSetup.sceneNumbers[2];
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] =
            flagTrue;
        from = sim->Log().size();
        c.Send(port, Msg("/ardenix/master/a/level/up"));
        c.Send(port, Msg("/ardenix/scene/c/recall"));
        c.Send(port, Msg("/ardenix/input", {I(9)}));
        c.Send(port, Msg("/ardenix/master/x/mute", {I(1)}));
        c.Send(port, Msg("/ardenix/input", {S("three")}));
        const auto error = [](const char* name, const char* address) {
            return Msg("/ardenix/error", {S(name), S(address)});
        };
        QTRY_VERIFY_WITH_TIMEOUT(c.Heard(error("Muted", "/ardenix/master/a/level/up")), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(c.Heard(error("SceneLocked", "/ardenix/scene/c/recall")), 3000);
        QVERIFY(c.Heard(error("InvalidArgs", "/ardenix/input")));
        QVERIFY(c.Heard(error("InvalidArgs", "/ardenix/master/x/mute")));
        QCOMPARE(c.At("/ardenix/error").size(), 5);
        QTest::qWait(200);
        for (const QString& f : sim->Codes(from)) {
            QVERIFY2(!f.startsWith(QLatin1Char('C')), qPrintable(sim->LogText(from)));
        }
        // Without the link, a command is refused as not connected.
        SimCommand(QStringLiteral("silent on"));
        QTRY_VERIFY_WITH_TIMEOUT(CurrentLinkState() != LinkState::Online, 10000);
        c.Send(port, Msg("/ardenix/input", {I(2)}));
        QTRY_VERIFY_WITH_TIMEOUT(c.Heard(error("NotConnected", "/ardenix/input")), 3000);
    }

    // /ardenix/subscribe: the whole state at once, then the mixer's own
    // changes at the port asked for. A command's sender hears the changes
    // for its lease; a held key is let go when that ends.
    void subscriptionsAndLeases() {
        osc::OscSettings settings;
        settings.senderLeaseMs = 1500;
        StartOnline(settings);
        SimCommand(QStringLiteral("set mute A off"));
        SimCommand(QStringLiteral("set input 2"));
        QTRY_COMPARE_WITH_TIMEOUT(mirror.panel.selectedInput, 1, 3000);
        Client sender;
        Client listener;
        sender.Send(port, Msg("/ardenix/subscribe", {I(listener.Port())}));
        const qsizetype whole = osc::FeedbackOf(ReadCurrentMixerView(operations), -1).size();
        QTRY_COMPARE_WITH_TIMEOUT(listener.heard.size(), whole, 3000);
        QVERIFY(sender.heard.isEmpty());
        QVERIFY(listener.Heard(Msg("/ardenix/input", {I(2)})));
        QVERIFY(listener.Heard(Msg("/ardenix/connected", {I(1)})));
        QVERIFY(listener.Heard(Msg("/ardenix/master/a/mute", {I(0)})));
        QVERIFY(listener.Heard(Msg("/ardenix/transport/play", {I(0)})));
        listener.heard.clear();
        SimCommand(QStringLiteral("set mute A on"));
        QTRY_VERIFY_WITH_TIMEOUT(listener.Heard(Msg("/ardenix/master/a/mute", {I(1)})), 3000);
        QTest::qWait(300);
        QCOMPARE(listener.heard.size(), 1); // only what changed, once

        // A command's sender: the whole state, its own change, then silence
        // once its lease ends; what it held is let go then.
        Client deck;
        deck.Send(port, Msg("/ardenix/input/4/select"));
        QTRY_VERIFY_WITH_TIMEOUT(deck.Heard(Msg("/ardenix/input/4/selected", {I(1)})), 3000);
        QVERIFY(deck.heard.size() > whole);
        QCOMPARE(server->SubscriberCount(), 2);
        deck.Send(port, Msg("/ardenix/transport/stop", {I(1)}));
        QTRY_COMPARE_WITH_TIMEOUT(SimKey(), 2, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(deck.Heard(Msg("/ardenix/transport/stop", {I(1)})), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(SimKey(), -1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(listener.Heard(Msg("/ardenix/transport/stop", {I(0)})), 3000);
        QCOMPARE(server->SubscriberCount(), 1);
        deck.heard.clear();
        SimCommand(QStringLiteral("set mute A off"));
        QTRY_VERIFY_WITH_TIMEOUT(listener.Heard(Msg("/ardenix/master/a/mute", {I(0)})), 3000);
        QTest::qWait(200);
        QVERIFY(deck.heard.isEmpty());
        // Unsubscribed: nothing more.
        sender.Send(port, Msg("/ardenix/unsubscribe"));
        QTRY_COMPARE_WITH_TIMEOUT(server->SubscriberCount(), 0, 3000);
        listener.heard.clear();
        SimCommand(QStringLiteral("set mute A on"));
        QTRY_COMPARE_WITH_TIMEOUT(mirror.panel.masters[0].muted, flagTrue, 3000);
        QTest::qWait(200);
        QVERIFY(listener.heard.isEmpty());
    }

    // Senders outside the allow list are ignored; malformed packets and a
    // flood change nothing for the others; the 17th subscriber is refused.
    void allowListLimitsAndGarbage() {
        osc::OscSettings settings;
        settings.allow = {osc::Subnet(QHostAddress(QStringLiteral("127.0.0.1")), 32)};
        StartOnline(settings);
        SimCommand(QStringLiteral("set input 1"));
        Client stranger(QHostAddress(QStringLiteral("127.0.0.2")));
        QVERIFY(stranger.bound);
        stranger.Send(port, Msg("/ardenix/ping"));
        stranger.Send(port, Msg("/ardenix/input", {I(6)}));
        Client c;
        for (const QByteArray& junk :
             {QByteArray("/ardenix/ping"), QByteArray("/ardenix/input\0\0,i\0\0\0\0", 20),
              QByteArray("#bundle\0\0\0\0\0\0\0\0\1\0\0\0\x08", 20), QByteArray(4, '\xff'),
              QByteArray()}) {
            c.SendRaw(port, junk);
        }
        QTest::qWait(300);
        QVERIFY(stranger.heard.isEmpty());
        QVERIFY(c.heard.isEmpty());
        QCOMPARE(sim->State()[QLatin1String("selectedInput")].toInt(), 1);
        QCOMPARE(server->SubscriberCount(), 0);
        // A flood: its excess over 200 a second is dropped.
        for (int k = 0; k < 400; ++k) {
            c.Send(port, Msg("/ardenix/ping"));
            if (k % 50 == 49) {
                QTest::qWait(2); // the receiving buffers drain
            }
        }
        QTest::qWait(500);
        const qsizetype pongs = c.At("/ardenix/pong").size();
        QVERIFY2(pongs >= 100 && pongs <= 200, qPrintable(QString::number(pongs)));

        std::vector<std::unique_ptr<Client>> subscribers;
        for (int k = 0; k < 17; ++k) {
            subscribers.push_back(std::make_unique<Client>());
            subscribers.back()->Send(port, Msg("/ardenix/subscribe"));
            QTRY_VERIFY_WITH_TIMEOUT(!subscribers.back()->heard.isEmpty(), 3000);
        }
        QCOMPARE(server->SubscriberCount(), 16);
        QCOMPARE(subscribers.back()->heard,
                 (QList<Message>{Msg("/ardenix/error", {S("Busy"), S("/ardenix/subscribe")})}));
        SimCommand(QStringLiteral("set input 6"));
        for (int k = 0; k < 16; ++k) {
            QTRY_VERIFY_WITH_TIMEOUT(
                subscribers[k]->Heard(Msg("/ardenix/input/6/selected", {I(1)})), 3000);
        }
        QVERIFY(!subscribers.back()->Heard(Msg("/ardenix/input/6/selected", {I(1)})));
        // The refused one still sends commands, without feedback.
        subscribers.back()->Send(port, Msg("/ardenix/input", {I(3)}));
        QTRY_COMPARE_WITH_TIMEOUT(sim->State()[QLatin1String("selectedInput")].toInt(), 3, 3000);
        QCOMPARE(server->SubscriberCount(), 16);
    }

    // TCP: SLIP frames both ways, a bundle, the feedback on the same
    // connection; a closed connection lets go of what it held; an oversized
    // frame ends only that connection.
    void tcpWithSlip() {
        StartOnline();
        if (QTest::currentTestFailed()) {
            return;
        }
        SimCommand(QStringLiteral("set input 1"));
        QTcpSocket tcp;
        tcp.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        QVERIFY(tcp.waitForConnected(3000));
        QList<Message> heard;
        osc::SlipDecoder frames;
        QObject::connect(&tcp, &QTcpSocket::readyRead, [&] {
            for (const QByteArray& f : frames.Feed(tcp.readAll())) {
                if (const auto m = osc::DecodePacket(f)) {
                    heard += *m;
                }
            }
        });
        const QByteArray bundle =
            osc::EncodeBundle({osc::EncodeMessage(Msg("/ardenix/ping")),
                               osc::EncodeMessage(Msg("/ardenix/subscribe"))});
        // Split in two writes, with an extra END between frames.
        const QByteArray stream =
            osc::SlipEncode(bundle) +
            osc::SlipEncode(osc::EncodeMessage(Msg("/ardenix/input", {I(4)})));
        tcp.write(stream.left(7));
        tcp.flush();
        QTest::qWait(50);
        tcp.write(stream.mid(7));
        QTRY_COMPARE_WITH_TIMEOUT(sim->State()[QLatin1String("selectedInput")].toInt(), 4, 3000);
        QVERIFY(!heard.isEmpty());
        QCOMPARE(heard.first(), Msg("/ardenix/pong"));
        QTRY_VERIFY_WITH_TIMEOUT(heard.contains(Msg("/ardenix/input/4/selected", {I(1)})), 3000);
        tcp.write(osc::SlipEncode(osc::EncodeMessage(Msg("/ardenix/transport/forward", {I(1)}))));
        QTRY_COMPARE_WITH_TIMEOUT(SimKey(), 5, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(heard.contains(Msg("/ardenix/transport/forward", {I(1)})), 3000);
        tcp.disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(SimKey(), -1, 3000);

        QTcpSocket big;
        big.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        QVERIFY(big.waitForConnected(3000));
        big.write(QByteArray(1, osc::slipEnd) + QByteArray(70 * 1024, 'a'));
        QTRY_COMPARE_WITH_TIMEOUT(big.state(), QAbstractSocket::UnconnectedState, 3000);
        Client c;
        c.Send(port, Msg("/ardenix/ping"));
        QTRY_VERIFY_WITH_TIMEOUT(c.Heard(Msg("/ardenix/pong")), 3000);
    }
};

int main(int argc, char* argv[]) {
    return casechildren::Main<TestOsc>(argc, argv);
}

#include "test_osc.moc"
