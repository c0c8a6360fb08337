// The console's commands: fault injection, the pulled and replugged cable,
// and changes of the model as if someone operated the mixer's front panel.
// Every command line gets exactly one answer line: "ok ...", "error: ..." or,
// for "state", the model as JSON.
#pragma once

#include "sim/faults.h"
#include "sim/model.h"

#include <string>
#include <string_view>

namespace sim {

// What the commands act on.
class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    virtual MixerModel& Model() = 0;
    virtual Faults& InjectedFaults() = 0;
    // Empty on success, else the reason.
    virtual std::string Unplug() = 0;
    virtual std::string Plug() = 0;
    virtual void SetPaced(bool paced) = 0;
    // Called after a command changed the model (a level motion may end).
    virtual void ModelChanged() = 0;
    virtual void Quit() = 0;
};

// The command summary shown by --help and by "help".
std::string_view CommandHelp();

std::string ExecuteCommand(std::string_view line, CommandTarget& target);

} // namespace sim
