#include "core/state.h"

#include "core/settings.h"

ProgramSetup programSetup;
TrafficLists trafficLists;

namespace {
// How to load the debug window; set once by the program's wiring.
std::function<void()> loadDebugWindow;
} // namespace

void ResetSharedState() {
    programSetup = ProgramSetup{};
    for (ListBox& list : trafficLists.comm) {
        list.Clear();
    }
    for (ListBox& list : trafficLists.debug) {
        list.Clear();
    }
}

void SetDebugWindowLoader(std::function<void()> load) {
    loadDebugWindow = std::move(load);
}

void ClearTrafficLists() {
    for (ListBox& list : trafficLists.comm) {
        list.Clear();
    }
    if (loadDebugWindow) {
        loadDebugWindow();
    }
    for (ListBox& list : trafficLists.debug) {
        list.Clear();
    }
}

void SetFirstPanelValues(MixerMirror& mirror) {
    PanelState& panel = mirror.panel;
    panel.recall = 0;
    panel.selectedInput = -1;
    panel.transportKey = -1; // no key is held at start
    for (InputEntry& input : panel.inputs) {
        input.name = Text8("");
        input.status = -1;
    }
    for (std::size_t i = 0; i < panel.masters.size(); ++i) {
        MasterSection& master = panel.masters[i];
        master.lamps = {flagTrue, flagTrue};
        master.muted = flagFalse;
        master.name = Text8("");
        master.level = settings::FirstLevelFromDecibels(programSetup.scenes[0].masterLevel[i]);
    }
    panel.masters[0].name = Text8("MASTER A");
    panel.masters[1].name = Text8("MASTER B");
    mirror.sceneNames.fill(Text8(""));
}
