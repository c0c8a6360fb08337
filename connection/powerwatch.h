// Power suspend and resume notifications: systemd-logind's PrepareForSleep
// signal on the system bus (true: the computer is about to sleep; false: it
// has woken up). While the link is up a "delay" sleep inhibitor lock is held,
// so that the machine waits until the link has been closed; it is given back
// once the suspend handler has run and taken again on resume. Without a system
// bus, or without logind, the program runs without these and says so once.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>

class PowerWatch : public QObject {
    Q_OBJECT

public:
    PowerWatch();
    ~PowerWatch() override;
    PowerWatch(const PowerWatch&) = delete;
    PowerWatch& operator=(const PowerWatch&) = delete;

    void SetSuspendHandler(std::function<void()> handler) { onSuspend_ = std::move(handler); }
    void SetResumeHandler(std::function<void()> handler) { onResume_ = std::move(handler); }

    // True when the notifications are subscribed on a system bus.
    bool Listening() const { return listening_; }

    // Asks logind for the sleep inhibitor lock (answered later, without waiting).
    void TakeSleepLock();
    // Gives the lock back (closes its descriptor); forgets a request under way.
    void ReleaseSleepLock();
    bool HoldsSleepLock() const { return lock_.isValid(); }

private slots:
    // Connected by name: QtDBus has no other way to connect a bus signal.
    void PrepareForSleep(bool start);

private:
    void SayOnce(const QString& what);

    bool listening_ = false;
    bool toldUser_ = false;
    unsigned lockRequest_ = 0; // numbers the lock requests; only the latest counts
    QDBusUnixFileDescriptor lock_;
    std::function<void()> onSuspend_;
    std::function<void()> onResume_;
};
