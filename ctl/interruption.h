// SIGINT, SIGTERM and SIGHUP turned into a call from the event loop, so that
// ardenixctl can let go of a held key or end a watch cleanly. The signal
// handler only writes the signal's number into a socket pair.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <functional>
#include <memory>

namespace ctl {

class Interruption : public QObject {
    Q_OBJECT

public:
    // Catches the signals while it exists; `handler` runs once per signal.
    explicit Interruption(std::function<void(int)> handler);
    ~Interruption() override;
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

private:
    void Read();

    static constexpr std::array<int, 3> caught{SIGINT, SIGTERM, SIGHUP};
    std::function<void(int)> handler_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, caught.size()> previous_{};
};

} // namespace ctl
