// A window-system timer as the design's handlers use it: an interval in
// milliseconds, an Enabled switch, and a tick handler that runs about once per
// interval while enabled. Enabling a timer that already runs does not restart
// its interval.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace host {

class Timer {
public:
    explicit Timer(int intervalMs);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void SetEnabled(bool enabled);
    bool Enabled() const { return timer_.isActive(); }
    int Interval() const { return timer_.interval(); }

    // The tick handler. The window that owns the timer sets it when it loads.
    void SetHandler(std::function<void()> handler) { handler_ = std::move(handler); }

private:
    QTimer timer_;
    std::function<void()> handler_;
};

} // namespace host
