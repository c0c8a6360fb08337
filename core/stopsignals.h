// The signals that ask a program to stop (SIGTERM from the session or
// service manager, SIGINT from a terminal, SIGHUP when the terminal goes):
// each is turned into a call of the handler from the event loop, so that the
// program ends the way closing its window ends it, with the port closed and
// its line settings and lock file given back. The signal handler only writes
// the signal's number into a socket pair; the loop reads it there.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <functional>
#include <memory>

class StopSignals : public QObject {
    Q_OBJECT

public:
    StopSignals();
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Called with the signal's number, once per signal received.
    void SetHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

    // True when the signals are caught (the socket pair could be made).
    bool Catching() const { return notifier_ != nullptr; }

private:
    void Read();

    static constexpr std::array<int, 3> caught = {SIGTERM, SIGINT, SIGHUP};
    std::array<struct sigaction, caught.size()> previous_{};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> handler_;
};
