#include "sim/simulator.h"

#include "sim/linecheck.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace sim {

Simulator::Simulator(const TrafficLog& log, std::string linkPath, std::function<void()> quit)
    : log_(log), linkPath_(std::move(linkPath)), quit_(std::move(quit)),
      responder_(model_, faults_, log_),
      transmitter_([this](const std::string& error) { log_.Line("error: " + error); }) {
    levelTimer_.setInterval(levelStepMs);
    QObject::connect(&levelTimer_, &QTimer::timeout, [this] { StepLevels(); });
}

Simulator::~Simulator() {
    if (pty_) {
        Unplug();
    }
}

std::string Simulator::Plug() {
    if (pty_) {
        return "already plugged in";
    }
    std::string error;
    std::optional<PseudoTerminal> pty = PseudoTerminal::Open(error);
    if (!pty) {
        return "no pseudo-terminal: " + error;
    }
    std::optional<DeviceLink> link = DeviceLink::Create(linkPath_, pty->SlavePath(), error);
    if (!link) {
        return "no link: " + error;
    }
    pty_ = std::move(pty);
    link_ = std::move(link);
    framer_.Reset();
    lastLineProblem_.clear();
    transmitter_.Attach(pty_->Master());
    readable_ = std::make_unique<QSocketNotifier>(pty_->Master(), QSocketNotifier::Read);
    QObject::connect(readable_.get(), &QSocketNotifier::activated, [this] { ReadLine(); });
    peers_ = std::make_unique<PeerWatch>(pty_->SlavePath(), [this] { LinePeerGone(); });
    if (!peers_->Watching()) {
        log_.Line("warning: cannot watch " + pty_->SlavePath() +
                  " for the panel closing it; line settings left behind stay");
    }
    log_.Line("info plugged in: " + linkPath_ + " -> " + pty_->SlavePath());
    return {};
}

std::string Simulator::Unplug() {
    if (!pty_) {
        return "not plugged in";
    }
    readable_.reset();
    peers_.reset();
    transmitter_.Attach(-1);
    // The device goes first, then the line hangs up, as with a pulled cable.
    link_.reset();
    pty_.reset();
    framer_.Reset();
    log_.Line("info unplugged");
    return {};
}

// The panel let go of the line, perhaps without putting its settings back
// (a killed panel cannot): the line returns to its first settings, so that the
// next panel opens it as a fresh one.
void Simulator::LinePeerGone() {
    if (pty_ && !pty_->RestoreLineSettings()) {
        log_.Line(std::string("error: cannot restore the line settings: ") + std::strerror(errno));
    }
}

void Simulator::ModelChanged() {
    if (model_.AnyInMotion()) {
        if (!levelTimer_.isActive()) {
            levelTimer_.start();
        }
    } else {
        levelTimer_.stop();
    }
}

void Simulator::Quit() {
    quit_();
}

void Simulator::StepLevels() {
    model_.StepLevels();
    ModelChanged();
}

void Simulator::ReadLine() {
    std::array<char, 512> chunk{};
    const ssize_t n = ::read(pty_->Master(), chunk.data(), chunk.size());
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) {
        // Cannot happen while the simulator holds its own descriptor of the
        // panel's side; if it does, stop listening instead of spinning.
        log_.Line(std::string("error: read from the line failed: ") +
                  (n == 0 ? "end of file" : std::strerror(errno)));
        readable_->setEnabled(false);
        return;
    }
    for (const Frame& frame :
         framer_.Feed(std::string_view(chunk.data(), static_cast<std::size_t>(n)))) {
        CheckLineSettings();
        const Answer answer = responder_.Respond(frame);
        transmitter_.Send(answer.bytes);
    }
    ModelChanged();
}

void Simulator::CheckLineSettings() {
    const std::optional<termios> settings = pty_->LineSettings();
    if (!settings) {
        return;
    }
    const int baud = BaudOf(::cfgetospeed(&*settings));
    transmitter_.SetBaud(baud != 0 ? baud : 38400);
    const std::string problem = LineSettingsProblem(*settings);
    // Warned once per change of the settings, not on every frame.
    if (problem != lastLineProblem_) {
        if (!problem.empty()) {
            log_.Line("warning: line settings: " + problem);
        } else {
            log_.Line("info line settings right again");
        }
        lastLineProblem_ = problem;
    }
}

} // namespace sim
