// The mixer's operations: the one way every front-end (the panel's buttons
// and keys, the session bus, a network remote, a program without a window)
// acts on the mixer. Each call takes plain values, changes what the panel
// asks of the mixer (mirror.panel) and hands the change to the change queue; it
// answers at once with what became of it.
//
// One frame is on the line at a time: a change asked for while a frame waits
// for its acknowledgement is sent once that exchange ends. Asked again before
// then, the same kind of change is sent once, with the latest value. The
// status poll keeps its turn between the changes.
//
// A held control (a transport key, a level button, a level motion) belongs to
// the caller that pressed it: only that caller lets it go, and what a caller
// holds is let go when it leaves (LetGo). One level button is held at a time,
// as with the one mouse: a second one is refused until the first is let go.
#pragma once

#include "connection/levelmotion.h"
#include "core/observers.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>

struct LinkRecord;  // core/state.h
struct MixerMirror; // core/state.h
struct PanelState;  // core/state.h

namespace engine {

enum class CommandResult {
    Done,         // handed to the change queue (or nothing needed sending)
    NotConnected, // the link is not online
    SceneLocked,  // the scene on that button is locked
    Muted,        // the master is muted: its level buttons do nothing
    Busy,         // another caller holds the control, or a recall is under way
    Disabled,     // the control does not act now (the transport keys; a button without a scene)
    Invalid,      // an argument out of range
};

// A short name of a result, for messages.
QString ResultName(CommandResult result);

// The link is online and the program is not ending: a remote caller may act.
bool LinkOnline();

// Who asks. The panel acts as the design has its buttons act (whatever the
// link's state; the lit scene's button sends nothing); any other caller is a
// remote one: it needs the link online, and its recall is always sent.
struct Caller {
    enum class Kind { Panel, Remote };
    Kind kind = Kind::Remote;
    std::uint64_t holder = 0; // who holds what it presses; distinct per caller
};
inline constexpr Caller panelCaller{Caller::Kind::Panel, 1};

constexpr int inputCount = 6;
constexpr int masterCount = 2;
constexpr int transportKeyCount = 7;
constexpr int sceneButtonCount = 4;

class MixerOperations : public QObject, public StateObserver {
public:
    // The status poll it rests and restarts is the communication controls'
    // (comm(), which outlives every caller of these operations); the frames go
    // through `link`, and what is asked is written into `mirror`; both
    // outlive the operations.
    MixerOperations(LinkRecord& link, MixerMirror& mirror);
    ~MixerOperations() override;
    MixerOperations(const MixerOperations&) = delete;
    MixerOperations& operator=(const MixerOperations&) = delete;

    // --- Operations (inputs 0..5, masters 0..1, keys 0..6, buttons 0..3) ---
    CommandResult SelectInput(const Caller& caller, int input);
    CommandResult SetMute(const Caller& caller, int master, bool muted);
    CommandResult ToggleMute(const Caller& caller, int master);
    // A transport key held until ReleaseTransport by the same caller.
    CommandResult PressTransport(const Caller& caller, int key);
    CommandResult ReleaseTransport(const Caller& caller);
    // A level button (up, or down) held until ReleaseLevel by the same caller.
    CommandResult PressLevel(const Caller& caller, int master, bool down);
    CommandResult ReleaseLevel(const Caller& caller, int master);
    // Recalls the scene on a button; the poll rests for the mixer's recall
    // time and `done` hears when it is over (not called unless Done).
    using Completion = std::function<void(CommandResult result)>;
    CommandResult RecallScene(const Caller& caller, int button, Completion done);
    // Moves a master's level to `step` (0..30) by holding its up or down
    // button; `reached` hears the step where the level stopped (not called
    // unless Done). ReleaseLevel of that master ends it early.
    using LevelCompletion = std::function<void(CommandResult result, int reached)>;
    CommandResult SetLevel(const Caller& caller, int master, int step, LevelCompletion reached);

    // Lets go of whatever `holder` holds (it left).
    void LetGo(std::uint64_t holder);
    // Lets go of everything anyone holds, and calls `then` once the mixer has
    // acknowledged those frames, or after at most `limitMs`.
    void LetGoEverything(std::function<void()> then, int limitMs = 300);

    // --- What the operations find now ---
    bool TransportEnabled() const { return transportEnabled_; }
    bool LevelEnabled(int master) const;
    bool RecallWaitRunning() const { return recallWaiting_; }
    bool HoldsAnything() const;
    // The mixer has reported a status since the program started: its lamps are known.
    bool StatusReported() const { return statusReported_; }
    // The key held, -1 for none; the master whose level button is held, -1.
    int HeldTransportKey() const { return transport_ ? transport_->key : -1; }
    int HeldLevelMaster() const { return level_ ? level_->master : -1; }
    // What was last sent to the mixer, or reported by it.
    const PanelState& LastSent() const;
    // The mirror of the mixer, for the front-ends to read.
    const MixerMirror& Mirror() const;
    // The panel's load shows the masters at these levels (steps 0..30) until
    // the mixer reports its own; nothing is sent.
    void ShowFirstLevels(const std::array<Integer, 2>& levels);

    // The exchange on the line ended (its reply was accepted): a change held
    // back for it goes now. The connection calls this.
    void ExchangeEnded();

    // The observer seam: the mixer's report keeps what was last sent in step,
    // and paces a level motion.
    void ReplyApplied(RequestKind kind) override;
    void FullReadCompleted() override;
    void LinkStateChanged(LinkState state) override;

private:
    LinkRecord& link_;
    MixerMirror& mirror_;

    struct TransportHold {
        std::uint64_t holder;
        int key;
    };
    struct LevelHold {
        std::uint64_t holder;
        int master;
        bool down;
    };
    // SetLevel: a fresh status first (the mirror may be older than the last
    // command or recall), then the button held, then the status that shows
    // where the level stopped.
    enum class MotionPhase { Reading, Holding, Settling };
    struct Motion {
        std::uint64_t holder;
        int master;
        int target;
        MotionPhase phase = MotionPhase::Reading;
        std::optional<LevelMotion> plan; // from the press on
        LevelCompletion reached;
    };

    CommandResult Refusal(const Caller& caller) const;
    // Sends the marked change now, or once the exchange on the line ends.
    void Transmit();
    void SendOwed(bool statusJustEnded);
    bool WireFree() const;
    void PressLevelButton(int master, bool down);
    void ReleaseLevelButton(int master, bool down);
    void StepLevelButton(int master, bool down, CommandKind up, CommandKind downKind);
    void EndRecallWait();
    void StartMotion();
    void ReleaseMotion();
    void EndMotion(CommandResult result);
    void SelectedInputShown(Integer index);
    void CheckLetGoDone();

    bool owed_ = false; // a change was marked while the line was busy, and waits for it
    bool transportEnabled_ = true;
    bool recallWaiting_ = false;
    bool statusReported_ = false;
    std::optional<TransportHold> transport_;
    std::optional<LevelHold> level_;
    std::optional<Motion> motion_;
    QElapsedTimer clock_;
    qint64 lastStatusAt_ = 0; // when the last status exchange ended
    QTimer recallTimer_;
    QTimer releaseTimer_;   // lets go of the motion's button when the plan says
    QTimer motionDeadline_; // each phase of a motion ends in time
    QTimer letGoLimit_;
    std::function<void()> afterLetGo_;
};

// The connection tells the operations that an exchange ended (set by the
// program's wiring; nothing happens while none is set).
void SetExchangeEndedHandler(std::function<void()> handler);
void TellExchangeEnded();

} // namespace engine
