// A client of the panel's session-bus service inside a test process: a
// connection of its own to the bus, and calls whose answers arrive while the
// test keeps the event loop running (the service may run in the same
// thread, so nothing here blocks it).
#pragma once

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QObject>
#include <QtTest>

class BusClient : public QObject {
    Q_OBJECT

public:
    static inline const QString service = QStringLiteral("org.ardenix.Ardenix");
    static inline const QString path = QStringLiteral("/org/ardenix/Ardenix");
    static inline const QString mixer = QStringLiteral("org.ardenix.Mixer1");
    static inline const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");

    // Each client is a connection of its own: several may call at once, and
    // one that goes leaves the bus with its unique name.
    explicit BusClient(const QString& address)
        : connectionName_(QStringLiteral("test-client-%1").arg(NextNumber())),
          connection_(QDBusConnection::connectToBus(address, connectionName_)) {
        clock_.start();
    }
    ~BusClient() override { QDBusConnection::disconnectFromBus(connectionName_); }
    BusClient(const BusClient&) = delete;
    BusClient& operator=(const BusClient&) = delete;

    bool Connected() const { return connection_.isConnected(); }
    QDBusConnection& Connection() { return connection_; }

    // Starts a call without waiting for its answer.
    QDBusPendingCall Start(const QString& method, const QVariantList& arguments = {},
                           const QString& interface = mixer) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
        call.setArguments(arguments);
        call.setAutoStartService(false);
        return connection_.asyncCall(call, 20000);
    }
    // Waits for its answer, processing events.
    static QDBusMessage Wait(const QDBusPendingCall& pending, int timeoutMs = 15000) {
        QElapsedTimer clock;
        clock.start();
        while (!pending.isFinished() && clock.elapsed() < timeoutMs) {
            QTest::qWait(1);
        }
        return pending.isFinished() ? pending.reply() : QDBusMessage();
    }
    QDBusMessage Call(const QString& method, const QVariantList& arguments = {},
                      const QString& interface = mixer) {
        return Wait(Start(method, arguments, interface));
    }

    // Every property of org.ardenix.Mixer1; arrays of numbers and booleans
    // still marshalled (see IntList and BoolList).
    QVariantMap Properties() {
        const QDBusMessage reply = Call(QStringLiteral("GetAll"), {mixer}, properties);
        return reply.type() == QDBusMessage::ReplyMessage
                   ? qdbus_cast<QVariantMap>(reply.arguments().value(0))
                   : QVariantMap();
    }
    QVariant Property(const QString& name) {
        const QDBusMessage reply = Call(QStringLiteral("Get"), {mixer, name}, properties);
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    static QList<int> IntList(const QVariant& value) { return qdbus_cast<QList<int>>(value); }
    static QList<bool> BoolList(const QVariant& value) { return qdbus_cast<QList<bool>>(value); }

    QString Introspect() {
        const QDBusMessage reply = Call(QStringLiteral("Introspect"), {},
                                        QStringLiteral("org.freedesktop.DBus.Introspectable"));
        return reply.arguments().value(0).toString();
    }

    bool NameOwned() {
        const QDBusReply<bool> owned = connection_.interface()->isServiceRegistered(service);
        return owned.isValid() && owned.value();
    }

    // The PropertiesChanged announcements heard since Listen().
    struct Announcement {
        qint64 ms; // on this client's clock
        QVariantMap changed;
    };
    QList<Announcement> announcements;

    bool Listen() {
        return connection_.connect(service, path, properties, QStringLiteral("PropertiesChanged"),
                                   this, SLOT(Changed(QDBusMessage)));
    }
    qint64 Now() const { return clock_.elapsed(); }

private slots:
    void Changed(const QDBusMessage& signal) {
        if (signal.arguments().value(0).toString() == mixer) {
            announcements.append(
                {clock_.elapsed(), qdbus_cast<QVariantMap>(signal.arguments().value(1))});
        }
    }

private:
    static int NextNumber() {
        static int number = 0; // connections are never named twice in a process
        return ++number;
    }
    QString connectionName_;
    QDBusConnection connection_;
    QElapsedTimer clock_;
};
