// The remote control's announcement through Avahi's D-Bus interface, on a
// private system bus. A minimal stand-in for the Avahi daemon answers there:
// it hands out an entry group and records the calls made on it, as the
// daemon's interface defines them (signatures included).
#include "remote/avahi.h"
#include "tests/support/privatebus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QtTest>

namespace {

const QString groupPath = QStringLiteral("/Client1/EntryGroup1");

// Answers EntryGroupNew on "/" and every call on the entry group.
class FakeAvahi : public QDBusVirtualObject {
public:
    QStringList calls; // "Member signature: arguments"

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QStringList arguments;
        for (const QVariant& argument : message.arguments()) {
            arguments.append(
                argument.canConvert<QDBusArgument>()
                    ? QString::fromLatin1(qdbus_cast<QByteArrayList>(argument).join(','))
                    : argument.toString());
        }
        calls.append(message.member() + QLatin1Char(' ') + message.signature() +
                     QStringLiteral(": ") + arguments.join(QLatin1Char('|')));
        QDBusMessage reply = message.createReply();
        if (message.member() == QLatin1String("EntryGroupNew")) {
            reply << QVariant::fromValue(QDBusObjectPath(groupPath));
        }
        connection.send(reply);
        return true;
    }
};

} // namespace

class TestAvahi : public QObject {
    Q_OBJECT

private slots:
    // Bound to a LAN address with Avahi there: both services in one entry
    // group, committed, and withdrawn when the announcer goes. Loopback
    // binds are not announced.
    void announcesBothServicesAndWithdrawsThem() {
        PrivateBus bus;
        QVERIFY(bus.Start(false));
        QDBusConnection daemon =
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("avahi"));
        QDBusConnection program =
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("program"));
        FakeAvahi avahi;
        QVERIFY(
            daemon.registerVirtualObject(QStringLiteral("/"), &avahi, QDBusConnection::SubPath));
        QVERIFY(daemon.registerService(QStringLiteral("org.freedesktop.Avahi")));

        QStringList said;
        {
            AvahiAnnouncer announcer(program, QStringLiteral("stagebox"), 9470, 9471,
                                     [&said](const QString& line) { said.append(line); });
            announcer.Start();
            QTRY_VERIFY_WITH_TIMEOUT(announcer.Announced(), 5000);
            QCOMPARE(avahi.calls, (QStringList{
                                      QStringLiteral("EntryGroupNew : "),
                                      QStringLiteral("AddService iiussssqaay: -1|-1|0|Ardenix on "
                                                     "stagebox|_http._tcp|||9470|path=/"),
                                      QStringLiteral("AddService iiussssqaay: -1|-1|0|Ardenix on "
                                                     "stagebox|_osc._udp|||9471|"),
                                      QStringLiteral("Commit : "),
                                  }));
        }
        QTRY_COMPARE_WITH_TIMEOUT(avahi.calls.size(), 5, 5000);
        QCOMPARE(avahi.calls.last(), QStringLiteral("Free : "));
        QCOMPARE(said, QStringList());

        QVERIFY(AvahiAnnouncer::AnnouncesOn(QStringLiteral("0.0.0.0")));
        QVERIFY(AvahiAnnouncer::AnnouncesOn(QStringLiteral("192.168.1.20")));
        QVERIFY(AvahiAnnouncer::AnnouncesOn(QStringLiteral("::")));
        QVERIFY(!AvahiAnnouncer::AnnouncesOn(QStringLiteral("127.0.0.1")));
        QVERIFY(!AvahiAnnouncer::AnnouncesOn(QStringLiteral("127.0.0.2")));
        QVERIFY(!AvahiAnnouncer::AnnouncesOn(QStringLiteral("::1")));
        QVERIFY(!AvahiAnnouncer::AnnouncesOn(QStringLiteral("localhost")));
        QDBusConnection::disconnectFromBus(QStringLiteral("program"));
        QDBusConnection::disconnectFromBus(QStringLiteral("avahi"));
    }

    // No Avahi on the bus, or no bus at all: one line, and nothing else.
    void withoutAvahiOneLine() {
        PrivateBus bus;
        QVERIFY(bus.Start(false));
        QDBusConnection program =
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("lonely"));
        for (const QDBusConnection& connection :
             {program, QDBusConnection(QStringLiteral("never-connected"))}) {
            QStringList said;
            AvahiAnnouncer announcer(connection, QStringLiteral("stagebox"), 9470, 9471,
                                     [&said](const QString& line) { said.append(line); });
            announcer.Start();
            QTRY_COMPARE_WITH_TIMEOUT(said.size(), 1, 5000);
            QTest::qWait(100);
            QCOMPARE(said.size(), 1);
            QVERIFY2(said.first().startsWith(
                         QStringLiteral("ardenix: the remote control is not announced")),
                     qPrintable(said.first()));
            QVERIFY(!announcer.Announced());
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("lonely"));
    }
};

QTEST_GUILESS_MAIN(TestAvahi)
#include "test_avahi.moc"
