#include "core/state.h"

#include "core/settings.h"

PanelState panelState;
PanelState syncedPanelState;
Integer radioPressed = 0;
Integer panelSelectedInput = -1;
std::array<Text8, 4> sceneNames;
SystemState systemState;
std::array<Byte, 236> setupBlock{};
SceneSetup sceneSetup;
std::array<SceneData, sceneCount> scenes{};
FontSpec labelFont;
std::array<QString, 31> commandArgs;
Flag debugMode = flagFalse;
Flag statusLogFilter = flagFalse;
Flag panelTimerArmed = flagFalse;
Integer timer2Ticks = 0;
std::array<Single, 61> levelTable{};
Integer comPortNumber = 0;

std::array<Byte, buildBufferSize> buildBuffer{};
std::array<Byte, sendBufferSize> sendBuffer{};
std::array<Byte, replyBufferSize> replyBuffer{};
std::array<ExchangeRecord, 2> exchange{};
std::array<KindFlags, commandKindCount> kindFlags{};
bool anyChangePending = false;
bool fullStatusNeeded = false;
bool sequenceRunning = false;

Flag ackSeen = flagFalse;
Flag nakSeen = flagFalse;
Flag linkSuspended = flagFalse;

std::array<ListBox, 4> commLists;
std::array<ListBox, 4> debugLists;

void ResetSharedState() {
    panelState = PanelState{};
    syncedPanelState = PanelState{};
    radioPressed = 0;
    panelSelectedInput = -1;
    sceneNames.fill(Text8());
    systemState = SystemState{};
    setupBlock.fill(0);
    sceneSetup = SceneSetup{};
    scenes.fill(SceneData{});
    labelFont = FontSpec{};
    commandArgs.fill(QString());
    debugMode = flagFalse;
    statusLogFilter = flagFalse;
    panelTimerArmed = flagFalse;
    timer2Ticks = 0;
    levelTable.fill(0.0f);
    comPortNumber = 0;
    buildBuffer.fill(0);
    sendBuffer.fill(0);
    replyBuffer.fill(0);
    exchange.fill(ExchangeRecord{});
    kindFlags.fill(KindFlags{});
    anyChangePending = false;
    fullStatusNeeded = false;
    sequenceRunning = false;
    ackSeen = flagFalse;
    nakSeen = flagFalse;
    linkSuspended = flagFalse;
    for (ListBox& list : commLists) {
        list.Clear();
    }
    for (ListBox& list : debugLists) {
        list.Clear();
    }
}

namespace {
std::function<void()> loadDebugWindow;
} // namespace

void SetDebugWindowLoader(std::function<void()> load) {
    loadDebugWindow = std::move(load);
}

void ClearTrafficLists() {
    for (ListBox& list : commLists) {
        list.Clear();
    }
    if (loadDebugWindow) {
        loadDebugWindow();
    }
    for (ListBox& list : debugLists) {
        list.Clear();
    }
}

void SetFirstPanelValues() {
    panelState.recall = 0;
    panelState.selectedInput = -1;
    panelState.transportKey = -1; // no key is held at start
    panelSelectedInput = -1;
    radioPressed = 0;
    for (InputEntry& input : panelState.inputs) {
        input.name = Text8("");
        input.status = -1;
    }
    for (std::size_t i = 0; i < panelState.masters.size(); ++i) {
        MasterSection& master = panelState.masters[i];
        master.lamps = {flagTrue, flagTrue};
        master.muted = flagFalse;
        master.name = Text8("");
        master.level = settings::FirstLevelFromDecibels(scenes[0].masterLevel[i]);
    }
    panelState.masters[0].name = Text8("MASTER A");
    panelState.masters[1].name = Text8("MASTER B");
    sceneNames.fill(Text8(""));
}
