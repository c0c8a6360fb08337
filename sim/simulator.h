// The simulated mixer on its pseudo-terminal: reads the panel's frames,
// answers them, moves the master levels while a level motion lasts, and plugs
// and unplugs its cable on command.
#pragma once

#include "sim/commands.h"
#include "sim/faults.h"
#include "sim/framer.h"
#include "sim/model.h"
#include "sim/peerwatch.h"
#include "sim/pty.h"
#include "sim/responder.h"
#include "sim/trafficlog.h"
#include "sim/transmitter.h"

#include <QSocketNotifier>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sim {

inline constexpr int levelStepMs = 100;

class Simulator final : public CommandTarget {
public:
    Simulator(const TrafficLog& log, std::string linkPath, std::function<void()> quit);
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;
    ~Simulator() override;

    const std::string& LinkPath() const { return linkPath_; }

    // CommandTarget
    MixerModel& Model() override { return model_; }
    Faults& InjectedFaults() override { return faults_; }
    std::string Unplug() override;
    std::string Plug() override;
    void SetPaced(bool paced) override { transmitter_.SetPaced(paced); }
    void SetConverterLatency(int ms) { transmitter_.SetConverterLatency(ms); }
    void ModelChanged() override;
    void Quit() override;

private:
    void ReadLine();
    void CheckLineSettings();
    void StepLevels();
    void LinePeerGone();

    const TrafficLog& log_;
    std::string linkPath_;
    std::function<void()> quit_;
    MixerModel model_;
    Faults faults_;
    Responder responder_;
    Framer framer_;
    Transmitter transmitter_;
    QTimer levelTimer_;
    std::string lastLineProblem_;
    // Declared last: destroyed first, the link before the pseudo-terminal.
    std::optional<PseudoTerminal> pty_;
    std::optional<DeviceLink> link_;
    std::unique_ptr<QSocketNotifier> readable_;
    std::unique_ptr<PeerWatch> peers_;
};

} // namespace sim
