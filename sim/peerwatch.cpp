#include "sim/peerwatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace sim {

PeerWatch::PeerWatch(const std::string& devicePath, std::function<void()> lastPeerGone)
    : lastPeerGone_(std::move(lastPeerGone)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    if (::inotify_add_watch(fd_, devicePath.c_str(), IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) <
        0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ReadEvents(); });
}

PeerWatch::~PeerWatch() {
    notifier_.reset();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void PeerWatch::ReadEvents() {
    // Events are read in batches; only the count after the whole batch
    // decides, so a close followed at once by a new opening is no departure.
    alignas(inotify_event) std::array<char, 4096> buffer{};
    bool closed = false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            if ((event.mask & IN_OPEN) != 0) {
                ++peers_;
            }
            if ((event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) != 0) {
                --peers_;
                closed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    if (peers_ < 0) {
        peers_ = 0; // someone had it open before the watch began
    }
    if (closed && peers_ == 0 && lastPeerGone_) {
        lastPeerGone_();
    }
}

} // namespace sim
