#include "core/stopsignals.h"

#include "core/warn.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The socket pair's ends: the signal handler writes to [0], the loop reads [1].
// Process-wide, as signal dispositions are; -1 while no StopSignals exists.
std::array<int, 2> signalSockets = {-1, -1};

void WriteSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    // Nothing can be done about a full socket here: the signals before are unread yet.
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals() {
    if (signalSockets[0] >= 0) {
        Warn(QStringLiteral("stop signals are caught twice"));
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0,
                     signalSockets.data()) != 0) {
        Warn(QStringLiteral("stop signals not caught (socketpair: %1)")
                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
        signalSockets = {-1, -1};
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(signalSockets[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StopSignals::Read);
    for (std::size_t i = 0; i < caught.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = WriteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(caught[i], &action, &previous_[i]);
    }
}

StopSignals::~StopSignals() {
    if (!notifier_) {
        return;
    }
    for (std::size_t i = 0; i < caught.size(); ++i) {
        ::sigaction(caught[i], &previous_[i], nullptr);
    }
    notifier_.reset();
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets = {-1, -1};
}

void StopSignals::Read() {
    unsigned char byte = 0;
    while (::read(signalSockets[1], &byte, 1) == 1) {
        if (handler_) {
            handler_(byte);
        }
    }
}
