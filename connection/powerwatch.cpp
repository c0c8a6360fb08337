#include "connection/powerwatch.h"

#include "core/warn.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFile>

namespace {
const QString loginService = QStringLiteral("org.freedesktop.login1");
const QString loginPath = QStringLiteral("/org/freedesktop/login1");
const QString loginManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

PowerWatch::PowerWatch() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        SayOnce(QStringLiteral("no system D-Bus (%1): running without power suspend and resume "
                               "notifications")
                    .arg(bus.lastError().message()));
        return;
    }
    // Only logind may say that the machine goes to sleep: naming its service
    // makes the bus deliver, and QtDBus accept, the signal from the current
    // owner of that name alone. Any other process on the system bus can send
    // a signal of that name, and must not take the link down with it.
    listening_ = bus.connect(loginService, loginPath, loginManager,
                             QStringLiteral("PrepareForSleep"), this, SLOT(PrepareForSleep(bool)));
    if (!listening_) {
        SayOnce(QStringLiteral("cannot subscribe to logind's PrepareForSleep (%1): running "
                               "without power suspend and resume notifications")
                    .arg(bus.lastError().message()));
        return;
    }
    TakeSleepLock();
}

PowerWatch::~PowerWatch() = default;

void PowerWatch::SayOnce(const QString& what) {
    if (toldUser_) {
        return;
    }
    toldUser_ = true;
    Warn(what);
}

void PowerWatch::TakeSleepLock() {
    if (!listening_ || lock_.isValid()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(loginService, loginPath, loginManager,
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Ardenix")
         << QStringLiteral("closing the mixer link") << QStringLiteral("delay");
    const unsigned request = ++lockRequest_;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                     [this, request](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                         if (reply.isError()) {
                             SayOnce(QStringLiteral("systemd-logind gave no sleep inhibitor lock "
                                                    "(%1): the link is not closed before a "
                                                    "suspend begins")
                                         .arg(reply.error().message()));
                             return;
                         }
                         if (request == lockRequest_) {
                             lock_ = reply.value();
                         } // a later release or request overrides this one
                     });
}

void PowerWatch::ReleaseSleepLock() {
    ++lockRequest_;
    lock_ = QDBusUnixFileDescriptor();
}

void PowerWatch::PrepareForSleep(bool start) {
    if (start) {
        if (onSuspend_) {
            onSuspend_();
        }
        // The link is closed: the machine may sleep now.
        ReleaseSleepLock();
    } else {
        TakeSleepLock();
        if (onResume_) {
            onResume_();
        }
    }
}
