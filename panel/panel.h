// What the program may call in the main panel: the panel window with its
// control arrays, its picture list, the level-step lookup, and the design's
// refresh routines that draw the mixer's state on it. PanelRefresh follows
// the observer seam and redraws after every applied reply and full read, and
// shows the link's state as it changes.
#pragma once

#include "core/observers.h"
#include "core/types.h"

#include <QString>

#include <array>
#include <functional>

struct MixerMirror; // core/state.h
struct PanelState;  // core/state.h

class FrmControl; // panel/frmcontrol.h
namespace engine {
class MixerOperations; // connection/operations.h
}

// The operations the panel's buttons and keys act through; set by the
// program's wiring before the panel is shown.
void SetPanelOperations(engine::MixerOperations* operations);
// Those operations; a logic_error when none were given.
engine::MixerOperations& Operations();
// What those operations last sent to the mixer (or had reported by it): what
// the panel compares the mirror with to decide what to draw anew.
const PanelState& LastSentState();
// The mirror of the mixer, as those operations keep it.
const MixerMirror& ReadMirror();

// Where the remote control's web page is, with its token
// (http://HOST:PORT/#token=T); empty while the remote control is off. The
// panel's context menu offers "Remote…" to show it. Set by the program's
// wiring; none set reads as off.
void SetRemoteAddressProvider(std::function<QString()> provider);
// The text of the context menu's entry when the remote control is off.
inline constexpr char remoteOffText[] = "Remote control is off (start with --remote)";

// The main panel, loaded on first touch (its load handler runs then).
FrmControl& frmControl();
bool FrmControlLoaded();
// Brings the panel to the front, when it is loaded: shown, not minimised,
// raised and active.
void RaisePanel();
// What closing the panel does besides: the program's wiring unloads the
// communication window with it (which ends the program).
void SetPanelUnloadHandler(std::function<void()> handler);

// The 46 files of the panel's picture list, list image 1 first: the first 46
// names of assets/bitmaps.txt.
extern const std::array<QString, 46> panelImageFiles;
// Empties the panel's picture list and adds the 46 pictures as images 1 to 46.
void FillPanelImageList();

// The first index i of levelTable with level <= levelTable[i]; 0 when the level
// lies above every entry.
Integer FindLevelStep(const Single& level);

// --- Drawing the mixer's state -------------------------------------------------
// In full (after a full read, at the panel's load).
void RefreshPanel();
// What a status reply changed, by the reply's kind ("RAST" only).
void RefreshFromStatus(Integer kind);
void ShowSelectedInput(Integer index);
void ShowMuting(Integer master);
void ShowRadioButtons(Integer index);
void ShowOverGain(Integer master);
void ShowMugen(Integer master);
// The link's state on the panel, when it is loaded: the indication while the
// link is not online (FrmControl::ShowLinkState).
void ShowLinkState(LinkState state);

// The panel's refresh routines as an observer of the mirrored state and the
// link: the first subscriber, so the panel is drawn before anyone else hears.
class PanelRefresh : public StateObserver {
public:
    void ReplyApplied(RequestKind kind) override { RefreshFromStatus(Value(kind)); }
    void FullReadCompleted() override { RefreshPanel(); }
    void LinkStateChanged(LinkState state) override { ShowLinkState(state); }
    void ControlOperated(OperatedControl control, int index) override;
};
