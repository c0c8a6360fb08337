#include "ctl/interruption.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace ctl {

namespace {

// [0] written by the signal handler, [1] read by the event loop.
std::array<int, 2> sockets{-1, -1};

void WriteSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(sockets[0], &byte, 1);
    errno = saved;
}

} // namespace

Interruption::Interruption(std::function<void(int)> handler) : handler_(std::move(handler)) {
    if (sockets[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets.data()) != 0) {
        return; // the signals keep their default action
    }
    notifier_ = std::make_unique<QSocketNotifier>(sockets[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &Interruption::Read);
    for (std::size_t i = 0; i < caught.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = WriteSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(caught[i], &action, &previous_[i]);
    }
}

Interruption::~Interruption() {
    if (!notifier_) {
        return;
    }
    for (std::size_t i = 0; i < caught.size(); ++i) {
        ::sigaction(caught[i], &previous_[i], nullptr);
    }
    notifier_.reset();
    ::close(sockets[0]);
    ::close(sockets[1]);
    sockets = {-1, -1};
}

void Interruption::Read() {
    unsigned char byte = 0;
    while (::read(sockets[1], &byte, 1) == 1) {
        if (handler_) {
            handler_(byte);
        }
    }
}

} // namespace ctl
