// The engine's state: the records of the mixer's state, the exchange with
// it, what the program was started with and the traffic lists. Everything
// here lives from program start to program end and is touched only from the
// GUI thread.
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
// The engine's state, in four records

// The mirror of the mixer: what it reported of itself (names, levels, mutes,
// lamps, inputs, the recalled scene) and what its operators asked of it that
// has not been reported back yet. The reply decoders and the operations
// write it; the front-ends only read it (MixerOperations::Mirror).
struct MixerMirror {
    PanelState panel;
    std::array<Text8, 4> sceneNames; // of the scenes on radio buttons A..D
};

// The exchange with the mixer: the frame buffers, the send and reply records,
// the marked changes and outstanding requests, what the mixer was last sent,
// and the link's flags. The link, the frame builders, the change queue, the
// reply checks, the full read, the supervisor and the operations share it.
struct LinkRecord {
    std::array<Byte, buildBufferSize> buildBuffer{};
    std::array<Byte, sendBufferSize> sendBuffer{};
    std::array<Byte, replyBufferSize> replyBuffer{};
    std::array<ExchangeRecord, 2> exchange{};
    // By command kind (for changePending) and by request kind (for
    // requestOutstanding); FlagsOf picks the entry.
    std::array<KindFlags, commandKindCount> kindFlags{};
    PanelState synced;              // the panel state as last sent to or reported by the mixer
    bool anyChangePending = false;  // a change is marked and not yet acknowledged
    bool fullStatusNeeded = false;  // a full status read is due
    bool sequenceRunning = false;   // the full status read is running
    Flag ackSeen = flagFalse;       // the current reply began with "A"
    Flag nakSeen = flagFalse;       // the current reply was "N"
    Flag linkSuspended = flagFalse; // the link was taken down by a power suspend
    Integer receivedCount = 0;      // the receive buffer's count as last read for a reply

    KindFlags& FlagsOf(CommandKind kind) { return kindFlags[static_cast<std::size_t>(kind)]; }
    KindFlags& FlagsOf(RequestKind kind) { return kindFlags[static_cast<std::size_t>(kind)]; }
};

// What the program was started with: the settings file's blocks, the command
// line's words, the converter's port number and the debug switches; and the
// connection facts the file's first block carries (systemState).
struct ProgramSetup {
    SystemState systemState;
    std::array<Byte, 236> setupBlock{};
    SceneSetup sceneSetup;
    std::array<SceneData, sceneCount> scenes{};
    FontSpec labelFont;
    std::array<QString, 31> commandArgs;
    Integer comPortNumber = 0;
    Flag debugMode = flagFalse;
    Flag statusLogFilter = flagFalse;
};

// The traffic lists: List1(0..3) of the communication window (comm) and of
// the debug window (debug). Item 2d holds hex lines, 2d + 1 text lines; d = 0
// sent, d = 1 received. The windows show these lists; they exist whether a
// window is loaded or not.
struct TrafficLists {
    std::array<ListBox, 4> comm;
    std::array<ListBox, 4> debug;
};

// The mirror and the link record are the program's: main owns them and
// hands them to the supervisor and the operations, which pass them on to the
// link and the protocol; front-ends read the mirror through the operations.
// The set-up and the traffic lists have one instance each, process-wide: the
// settings file's reader, the start-up, the panel's drawing routines and the
// windows' handlers are free functions called with no context of their own,
// and all of them run on the GUI thread.
extern ProgramSetup programSetup;
extern TrafficLists trafficLists;

// Empties the traffic lists of both windows. The debug window's lists are
// that window's controls: touching them loads the window when it is not
// loaded yet (its load empties them as well), so that what is logged from
// now on stays when it is shown. How to load it, the program's wiring says.
void ClearTrafficLists();
void SetDebugWindowLoader(std::function<void()> load);

// Start-up's first values of the mirror (after the settings file was read):
// no scene recalled, no input, both masters named and at their stored
// levels, rounded half to even.
void SetFirstPanelValues(MixerMirror& mirror);

// Gives the two process-wide records their values at program start (as a
// fresh process has them). Tests use it to start each case from a clean state.
void ResetSharedState();
