// Who has the panel's side of the line open. The simulator keeps its own
// descriptor of that side; every other opening and closing of the device is
// seen through inotify. When the last other opener goes, however it went
// (a clean close or a killed process), the handler runs: the simulator then
// puts the line settings back, so that the next opening finds the line as a
// fresh one.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>

namespace sim {

class PeerWatch {
public:
    // Watches `devicePath`; `lastPeerGone` runs when no other opener remains.
    PeerWatch(const std::string& devicePath, std::function<void()> lastPeerGone);
    ~PeerWatch();
    PeerWatch(const PeerWatch&) = delete;
    PeerWatch& operator=(const PeerWatch&) = delete;

    bool Watching() const { return notifier_ != nullptr; }

private:
    void ReadEvents();

    int fd_ = -1;
    int peers_ = 0; // openings by others not closed yet
    std::function<void()> lastPeerGone_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace sim
