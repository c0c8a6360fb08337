// Announces the remote control on the local network (mDNS/DNS-SD) through
// the Avahi daemon's D-Bus interface on the system bus: "_http._tcp" named
// "Ardenix on HOST" on the HTTP port and "_osc._udp" on the OSC port, in one
// entry group that lives as long as this object. Everything is asynchronous;
// without Avahi (or without a system bus) it says so once and does nothing.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

class AvahiAnnouncer : public QObject {
public:
    // `say` takes one line for standard error.
    AvahiAnnouncer(QDBusConnection systemBus, QString hostName, quint16 httpPort, quint16 oscPort,
                   std::function<void(const QString&)> say);
    ~AvahiAnnouncer() override;
    AvahiAnnouncer(const AvahiAnnouncer&) = delete;
    AvahiAnnouncer& operator=(const AvahiAnnouncer&) = delete;

    // Asks Avahi for an entry group, adds both services and commits it.
    void Start();

    // True once Avahi took the services.
    bool Announced() const { return announced_; }

    // Whether a server bound to `bindAddress` is announced: not for a
    // loopback address (no other machine could reach it).
    static bool AnnouncesOn(const QString& bindAddress);

    // The name the HTTP service gets.
    QString ServiceName() const;

private:
    void GroupMade(const QString& path);
    // Sends the next of the steps after EntryGroupNew; the last is Commit.
    void NextStep();
    void Failed(const QString& what);

    QDBusConnection bus_;
    QString hostName_;
    quint16 httpPort_;
    quint16 oscPort_;
    std::function<void(const QString&)> say_;
    QString group_; // the entry group's object path, once made
    int step_ = 0;
    bool announced_ = false;
    bool failed_ = false;
};
