// The shared state of the panel: plain process-wide records that every
// subsystem reads and writes directly (the start-up, the settings file, the
// reply decoder, the panel handlers, the change queue and the link).
// Everything here lives from program start to program end and is touched only
// from the GUI thread.
#pragma once

#include "core/kinds.h"
#include "core/listbox.h"
#include "core/types.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>

// ---------------------------------------------------------------------------
// Records of the mixer's state

// One of the mixer's six inputs.
struct InputEntry {
    Text8 name;
    Integer status = -1; // status digit as reported by the mixer, -1 before the first report
    friend bool operator==(const InputEntry&, const InputEntry&) = default;
};

// Index into MasterSection::lamps.
constexpr int overGain = 0;
constexpr int mugen = 1;

// One of the two master sections.
struct MasterSection {
    Text8 name;
    std::array<Flag, 2> lamps{flagTrue, flagTrue}; // [overGain], [mugen]
    Flag muted = flagFalse;
    Integer level = 0;        // fader step 0..30 shown by the level bar
    Integer pendingSteps = 0; // level steps asked for by the up/down buttons, not yet sent
    friend bool operator==(const MasterSection&, const MasterSection&) = default;
};

// What the panel shows and what the user asked for.
struct PanelState {
    Integer recall = 0;         // scene code selected for recall
    Integer selectedInput = -1; // 0..5, -1 = none
    // 0..6 held, -1 none. It starts at -1: with 0, the first press of key 0
    // would look like no change and never reach the mixer.
    Integer transportKey = -1;
    std::array<InputEntry, 6> inputs{};
    std::array<MasterSection, 2> masters{};
    friend bool operator==(const PanelState&, const PanelState&) = default;
};

// Connection and start-up facts; also the first block of the settings file.
struct SystemState {
    Integer localeCode = 0;
    Flag deviceResponding = flagFalse; // a reply was decoded since the port was last opened
    Flag portIsOpen = flagFalse;       // the serial port is open
    Integer reserved = 0;              // the fourth Integer of the file's system block
    QByteArray text;                   // the block's variable-length text, used by nothing
};

constexpr int sceneCount = 20;
constexpr int firstSceneCode = 49; // scene codes run 49..68
constexpr int lastSceneCode = firstSceneCode + sceneCount - 1;

// Third block of the settings file; the two parts of it that the panel uses.
struct SceneSetup {
    std::array<Flag, sceneCount> sceneBlocked{}; // element = scene code - 49
    std::array<Integer, 4> sceneNumbers{};       // scene codes on radio buttons A..D
};

// One scene memory of the settings file; only the master fader levels are used.
struct SceneData {
    std::array<Single, 2> masterLevel{}; // dB, [0] master A, [1] master B
};

// The font of the panel's six text labels.
struct FontSpec {
    QString name;
    double pointSize = 0;
    bool bold = false;
    int charset = 0;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// ---------------------------------------------------------------------------
// Exchange with the mixer: buffers and records shared by the protocol and the
// serial link.

constexpr int buildBufferSize = 256;
constexpr int sendBufferSize = 256;
constexpr int replyBufferSize = 257;

struct ExchangeRecord {
    Flag busy = flagFalse;
    Integer status = 0; // a LinkResult's value
    Integer length = 0;
    Integer kind = -1; // commandExchange (0), or a RequestKind's value
    Integer index = 0;
    Integer ticks = 0;
};
constexpr int sendRecord = 0;  // exchange[sendRecord]: the frame waiting in sendBuffer
constexpr int replyRecord = 1; // exchange[replyRecord]: the reply that is awaited

struct KindFlags {
    Flag changePending = flagFalse;      // indexed by command kind
    Flag requestOutstanding = flagFalse; // indexed by request kind
};

// ---------------------------------------------------------------------------
// The process-wide variables

extern PanelState panelState;
extern PanelState syncedPanelState;
extern Integer radioPressed;
extern Integer panelSelectedInput;
extern std::array<Text8, 4> sceneNames;
extern SystemState systemState;
extern std::array<Byte, 236> setupBlock;
extern SceneSetup sceneSetup;
extern std::array<SceneData, sceneCount> scenes;
extern FontSpec labelFont;
extern std::array<QString, 31> commandArgs;
extern Flag debugMode;
extern Flag statusLogFilter;
extern Flag panelTimerArmed;
extern Integer timer2Ticks;
extern std::array<Single, 61> levelTable;
extern Integer comPortNumber;

// Protocol bookkeeping.
extern std::array<Byte, buildBufferSize> buildBuffer;
extern std::array<Byte, sendBufferSize> sendBuffer;
extern std::array<Byte, replyBufferSize> replyBuffer;
extern std::array<ExchangeRecord, 2> exchange;
extern std::array<KindFlags, commandKindCount> kindFlags;
// kindFlags by command kind (for changePending) and by request kind (for
// requestOutstanding).
inline KindFlags& FlagsOf(CommandKind kind) {
    return kindFlags[static_cast<std::size_t>(kind)];
}
inline KindFlags& FlagsOf(RequestKind kind) {
    return kindFlags[static_cast<std::size_t>(kind)];
}
extern bool anyChangePending; // a change is marked and not yet acknowledged
extern bool fullStatusNeeded; // a full status read is due
extern bool sequenceRunning;  // the full status read is running

// Link flags.
extern Flag ackSeen;       // the current reply began with "A"
extern Flag nakSeen;       // the current reply was "N"
extern Flag linkSuspended; // the link was taken down by a power suspend

// The traffic lists: List1(0..3) of the communication window and of the debug
// window. Item 2d holds hex lines, 2d + 1 text lines; d = 0 sent, d = 1 received.
// The windows show these lists; they exist whether a window is loaded or not.
extern std::array<ListBox, 4> commLists;
extern std::array<ListBox, 4> debugLists;

// Empties the traffic lists of both windows. The debug window's lists are
// that window's controls: touching them loads the window when it is not
// loaded yet (its load empties them as well), so that what is logged from
// now on stays when it is shown. How to load it, the program's wiring says.
void ClearTrafficLists();
void SetDebugWindowLoader(std::function<void()> load);

// Start-up's first values of panelState and sceneNames (after the settings
// file was read): no scene recalled, no input, both masters named and at
// their stored levels, rounded half to even.
void SetFirstPanelValues();

// Gives every variable above its value at program start (as a fresh process
// has it). Tests use it to start each case from a clean state.
void ResetSharedState();
