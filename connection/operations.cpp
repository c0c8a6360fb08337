#include "connection/operations.h"

#include "core/hostfacts.h"
#include "core/state.h"
#include "protocol/protocol.h"
#include "serial/serial.h"

#include <algorithm>

namespace engine {
namespace {

constexpr Integer maxPendingSteps = 42;
constexpr Integer topLevel = 30;
// The mixer recalls a scene in about 750 ms; the poll rests meanwhile.
constexpr int recallWaitMs = 750;
// The status poll's period: a change held back for the line lets a poll go
// first when none went for this long.
constexpr qint64 pollPeriodMs = 200;
// SetLevel waits this long at most for a fresh status (the polls rest while a
// scene is recalled), lets go of the button at the latest this long after
// the press (a full sweep of 30 steps takes 3 s), and gives the mixer this
// long afterwards to report where the level stopped: it ends within 10 s.
constexpr int readLimitMs = 2000;
constexpr int holdLimitMs = 5500;
constexpr int settleLimitMs = 2000;

// Who hears that the exchange on the line ended (the operations' ExchangeEnded);
// set once by the program's wiring, as the supervisor that tells it knows no
// operations.
std::function<void()> exchangeEndedHandler;

MasterSection& Master(MixerMirror& mirror, int master) {
    return mirror.panel.masters.at(static_cast<std::size_t>(master));
}

bool IsSceneCode(Integer code) {
    return code >= firstSceneCode && code <= lastSceneCode;
}

bool AnyChangeMarked(const LinkRecord& link) {
    return std::any_of(link.kindFlags.begin(), link.kindFlags.end(),
                       [](const KindFlags& f) { return f.changePending == flagTrue; });
}

} // namespace

bool LinkOnline() {
    return !host::ProgramEnding() && CurrentLinkState() == LinkState::Online;
}

QString ResultName(CommandResult result) {
    switch (result) {
    case CommandResult::Done:
        return QStringLiteral("Done");
    case CommandResult::NotConnected:
        return QStringLiteral("NotConnected");
    case CommandResult::SceneLocked:
        return QStringLiteral("SceneLocked");
    case CommandResult::Muted:
        return QStringLiteral("Muted");
    case CommandResult::Busy:
        return QStringLiteral("Busy");
    case CommandResult::Disabled:
        return QStringLiteral("Disabled");
    case CommandResult::Invalid:
        break;
    }
    return QStringLiteral("InvalidArgs");
}

void SetExchangeEndedHandler(std::function<void()> handler) {
    exchangeEndedHandler = std::move(handler);
}

void TellExchangeEnded() {
    if (exchangeEndedHandler) {
        exchangeEndedHandler();
    }
}

MixerOperations::MixerOperations(LinkRecord& link, MixerMirror& mirror)
    : link_(link), mirror_(mirror) {
    clock_.start();
    recallTimer_.setSingleShot(true);
    recallTimer_.setInterval(recallWaitMs);
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setTimerType(Qt::PreciseTimer);
    motionDeadline_.setSingleShot(true);
    letGoLimit_.setSingleShot(true);
    connect(&releaseTimer_, &QTimer::timeout, this, [this] { ReleaseMotion(); });
    connect(&motionDeadline_, &QTimer::timeout, this, [this] {
        if (motion_ && motion_->phase == MotionPhase::Holding) {
            ReleaseMotion();
        } else {
            EndMotion(CommandResult::NotConnected);
        }
    });
    connect(&letGoLimit_, &QTimer::timeout, this, [this] {
        if (const auto then = std::exchange(afterLetGo_, {})) {
            then();
        }
    });
}

MixerOperations::~MixerOperations() = default;

CommandResult MixerOperations::Refusal(const Caller& caller) const {
    if (caller.kind == Caller::Kind::Remote && !LinkOnline()) {
        return CommandResult::NotConnected;
    }
    return CommandResult::Done;
}

bool MixerOperations::WireFree() const {
    return link_.exchange[sendRecord].busy != flagTrue &&
           link_.exchange[replyRecord].busy != flagTrue;
}

// A change goes on the line at once when nothing else is there; otherwise it
// stays marked (a later change of the same kind only updates what it sends)
// and goes when the exchange on the line ends. While the full read runs, its
// requests keep the line: the change goes once the link is online.
void MixerOperations::Transmit() {
    if (WireFree() && !link_.sequenceRunning) {
        SendPendingChange(link_, mirror_);
    } else {
        owed_ = true;
    }
}

void MixerOperations::ExchangeEnded() {
    const bool statusEnded = link_.exchange[replyRecord].kind == Value(RequestKind::Status);
    if (statusEnded) {
        lastStatusAt_ = clock_.elapsed();
    }
    if (CurrentLinkState() == LinkState::Online) {
        SendOwed(statusEnded);
    }
    CheckLetGoDone();
}

void MixerOperations::SendOwed(bool statusJustEnded) {
    while (owed_ && WireFree() && !link_.sequenceRunning) {
        // A stream of changes must not starve the poll: it keeps its turn.
        const bool pollDue = !statusJustEnded && LinkOnline() && comm().Timer2.Enabled() &&
                             !link_.fullStatusNeeded &&
                             clock_.elapsed() - lastStatusAt_ >= pollPeriodMs;
        if (pollDue) {
            if (BuildRequest(link_, RequestKind::Status, 0, {0, 0})) {
                TransmitPending(link_);
            }
            return;
        }
        SendPendingChange(link_, mirror_);
        owed_ = AnyChangeMarked(link_);
    }
}

// --- Inputs and muting -------------------------------------------------------

CommandResult MixerOperations::SelectInput(const Caller& caller, int input) {
    if (input < 0 || input >= inputCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    SelectedInputShown(input);
    AnnounceControlOperated(OperatedControl::Input, input);
    if (input != mirror_.panel.selectedInput) {
        mirror_.panel.selectedInput = input;
        MarkChange(link_, CommandKind::Select);
        Transmit();
    }
    return CommandResult::Done;
}

// The transport keys act for an input the mixer reported, or with none selected.
void MixerOperations::SelectedInputShown(Integer index) {
    if (programSetup.systemState.deviceResponding != flagTrue) {
        return;
    }
    transportEnabled_ = index < 0 || index >= inputCount ||
                        mirror_.panel.inputs[static_cast<std::size_t>(index)].status != -1;
}

CommandResult MixerOperations::SetMute(const Caller& caller, int master, bool muted) {
    if (master < 0 || master >= masterCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if ((Master(mirror_, master).muted != flagFalse) == muted) {
        return CommandResult::Done;
    }
    return ToggleMute(caller, master);
}

CommandResult MixerOperations::ToggleMute(const Caller& caller, int master) {
    if (master < 0 || master >= masterCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    MasterSection& section = Master(mirror_, master);
    section.muted = NotFlag(section.muted);
    AnnounceControlOperated(OperatedControl::Muting, master);
    MarkChange(link_, CommandKind::Mute);
    Transmit();
    return CommandResult::Done;
}

const PanelState& MixerOperations::LastSent() const {
    return link_.synced;
}

const MixerMirror& MixerOperations::Mirror() const {
    return mirror_;
}

void MixerOperations::ShowFirstLevels(const std::array<Integer, 2>& levels) {
    for (std::size_t i = 0; i < levels.size(); ++i) {
        mirror_.panel.masters[i].level = levels[i];
    }
}

bool MixerOperations::LevelEnabled(int master) const {
    return master >= 0 && master < masterCount && Master(mirror_, master).muted == flagFalse;
}

// --- Transport keys ----------------------------------------------------------

CommandResult MixerOperations::PressTransport(const Caller& caller, int key) {
    if (key < 0 || key >= transportKeyCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if (caller.kind == Caller::Kind::Remote && !transportEnabled_) {
        return CommandResult::Disabled;
    }
    if (transport_ && transport_->holder != caller.holder) {
        return CommandResult::Busy;
    }
    transport_ = TransportHold{caller.holder, key};
    mirror_.panel.transportKey = key;
    MarkChange(link_, CommandKind::Transport);
    Transmit();
    return CommandResult::Done;
}

CommandResult MixerOperations::ReleaseTransport(const Caller& caller) {
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if (transport_ && transport_->holder != caller.holder) {
        return CommandResult::Busy;
    }
    // The panel's release goes out as the design has it, held or not; any
    // other caller with nothing held sends nothing.
    if (!transport_ && caller.kind != Caller::Kind::Panel) {
        return CommandResult::Done;
    }
    transport_.reset();
    mirror_.panel.transportKey = -1;
    MarkChange(link_, CommandKind::Transport);
    Transmit();
    return CommandResult::Done;
}

// --- Level buttons -----------------------------------------------------------

CommandResult MixerOperations::PressLevel(const Caller& caller, int master, bool down) {
    if (master < 0 || master >= masterCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if (level_) {
        const bool same =
            level_->holder == caller.holder && level_->master == master && level_->down == down;
        return same && caller.kind == Caller::Kind::Remote ? CommandResult::Done
                                                           : CommandResult::Busy;
    }
    if (motion_) {
        return CommandResult::Busy;
    }
    if (!LevelEnabled(master)) {
        return CommandResult::Muted;
    }
    level_ = LevelHold{caller.holder, master, down};
    PressLevelButton(master, down);
    return CommandResult::Done;
}

CommandResult MixerOperations::ReleaseLevel(const Caller& caller, int master) {
    if (master < 0 || master >= masterCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if (motion_ && motion_->master == master && motion_->holder == caller.holder) {
        // A level motion stopped early: it answers with the step reached.
        if (motion_->phase == MotionPhase::Holding) {
            ReleaseMotion();
        } else if (motion_->phase == MotionPhase::Reading) {
            EndMotion(CommandResult::Done);
        }
        return CommandResult::Done;
    }
    if (!level_ || level_->master != master || level_->holder != caller.holder) {
        // Nothing of this caller's is held there: nothing is sent. (The
        // panel's second level key, refused while the first was held, ends here.)
        return level_ && caller.kind == Caller::Kind::Panel ? CommandResult::Busy
                                                            : CommandResult::Done;
    }
    const bool down = level_->down;
    level_.reset();
    ReleaseLevelButton(master, down);
    return CommandResult::Done;
}

// A press starts the level motion of the master, up or down; the release
// stops it. Either counts a step asked for and marks its command.
void MixerOperations::PressLevelButton(int master, bool down) {
    mirror_.panel.masters[0].pendingSteps = 0;
    mirror_.panel.masters[1].pendingSteps = 0;
    StepLevelButton(master, down, CommandKind::LevelUp, CommandKind::LevelDown);
}

void MixerOperations::ReleaseLevelButton(int master, bool down) {
    StepLevelButton(master, down, CommandKind::LevelStop, CommandKind::LevelStop);
}

void MixerOperations::StepLevelButton(int master, bool down, CommandKind up, CommandKind downKind) {
    MasterSection& section = Master(mirror_, master);
    if (!down) {
        if (section.level <= topLevel && section.pendingSteps <= maxPendingSteps) {
            ++section.pendingSteps;
            MarkChange(link_, up);
        }
    } else if (section.level >= 0 && section.pendingSteps >= -maxPendingSteps) {
        --section.pendingSteps;
        MarkChange(link_, downKind);
    }
    Transmit();
    comm().Timer2.SetEnabled(true);
}

// --- Scenes ------------------------------------------------------------------

CommandResult MixerOperations::RecallScene(const Caller& caller, int button, Completion done) {
    if (button < 0 || button >= sceneButtonCount) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if (recallWaiting_) {
        return CommandResult::Busy;
    }
    const Integer code = programSetup.sceneSetup.sceneNumbers.at(static_cast<std::size_t>(button));
    if (!IsSceneCode(code)) {
        return CommandResult::Disabled;
    }
    if (programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] !=
        0) {
        return CommandResult::SceneLocked;
    }
    mirror_.panel.recall = code;
    AnnounceControlOperated(OperatedControl::Scene, button);
    if (caller.kind == Caller::Kind::Remote) {
        // A caller asking for a recall means it, to set the mixer back to the
        // scene: the recall is sent even when the scene is the one lit.
        link_.synced.recall = 0;
    }
    comm().Timer2.SetEnabled(false);
    MarkChange(link_, CommandKind::Recall);
    Transmit();
    recallWaiting_ = true;
    const bool remote = caller.kind == Caller::Kind::Remote;
    disconnect(&recallTimer_, nullptr, this, nullptr);
    connect(&recallTimer_, &QTimer::timeout, this, [this, remote, done = std::move(done)] {
        EndRecallWait();
        if (done) {
            done(remote && !LinkOnline() ? CommandResult::NotConnected : CommandResult::Done);
        }
    });
    recallTimer_.start();
    return CommandResult::Done;
}

void MixerOperations::EndRecallWait() {
    recallWaiting_ = false;
    if (!host::ProgramEnding()) {
        comm().Timer2.SetEnabled(true);
    }
}

// --- Level motions -----------------------------------------------------------

CommandResult MixerOperations::SetLevel(const Caller& caller, int master, int step,
                                        LevelCompletion reached) {
    if (master < 0 || master >= masterCount || step < LevelMotion::lowestStep ||
        step > LevelMotion::highestStep) {
        return CommandResult::Invalid;
    }
    if (const CommandResult r = Refusal(caller); r != CommandResult::Done) {
        return r;
    }
    if (level_ || motion_) {
        return CommandResult::Busy;
    }
    if (!LevelEnabled(master)) {
        return CommandResult::Muted;
    }
    motion_ =
        Motion{caller.holder, master, step, MotionPhase::Reading, std::nullopt, std::move(reached)};
    motionDeadline_.start(readLimitMs);
    return CommandResult::Done;
}

// A fresh status has come: the level is known, the button is pressed.
void MixerOperations::StartMotion() {
    if (!motion_ || motion_->phase != MotionPhase::Reading) {
        return;
    }
    if (!LinkOnline()) {
        EndMotion(CommandResult::NotConnected);
        return;
    }
    const int m = motion_->master;
    if (!LevelEnabled(m)) {
        EndMotion(CommandResult::Muted);
        return;
    }
    if (Master(mirror_, m).level == motion_->target) {
        EndMotion(CommandResult::Done); // there already: nothing is pressed
        return;
    }
    const qint64 now = clock_.elapsed();
    const LevelMotion& plan = motion_->plan.emplace(Master(mirror_, m).level, motion_->target, now);
    motion_->phase = MotionPhase::Holding;
    level_ = LevelHold{motion_->holder, m, plan.Down()};
    releaseTimer_.start(static_cast<int>(std::max<qint64>(0, plan.ReleaseAtMs() - now)));
    motionDeadline_.start(holdLimitMs);
    PressLevelButton(m, plan.Down());
}

void MixerOperations::ReleaseMotion() {
    if (!motion_ || motion_->phase != MotionPhase::Holding || !level_) {
        return;
    }
    const LevelHold hold = *level_;
    level_.reset();
    releaseTimer_.stop();
    motion_->phase = MotionPhase::Settling;
    motionDeadline_.start(settleLimitMs);
    ReleaseLevelButton(hold.master, hold.down);
}

// Ends the motion with `result`, letting go of the button when it is held.
void MixerOperations::EndMotion(CommandResult result) {
    if (!motion_) {
        return;
    }
    Motion ended = std::move(*motion_);
    motion_.reset();
    releaseTimer_.stop();
    motionDeadline_.stop();
    if (ended.phase == MotionPhase::Holding && level_) {
        const LevelHold hold = *level_;
        level_.reset();
        if (!host::ProgramEnding()) {
            ReleaseLevelButton(hold.master, hold.down);
        }
    }
    if (ended.reached) {
        ended.reached(result, Master(mirror_, ended.master).level);
    }
}

// --- Holders -----------------------------------------------------------------

bool MixerOperations::HoldsAnything() const {
    return transport_ || level_ || motion_;
}

void MixerOperations::LetGo(std::uint64_t holder) {
    if (motion_ && motion_->holder == holder) {
        motion_->reached = {};
        EndMotion(CommandResult::NotConnected);
    }
    if (level_ && level_->holder == holder) {
        const LevelHold hold = *level_;
        level_.reset();
        ReleaseLevelButton(hold.master, hold.down);
    }
    if (transport_ && transport_->holder == holder) {
        transport_.reset();
        mirror_.panel.transportKey = -1;
        MarkChange(link_, CommandKind::Transport);
        Transmit();
    }
}

void MixerOperations::LetGoEverything(std::function<void()> then, int limitMs) {
    if (!HoldsAnything()) {
        then();
        return;
    }
    if (motion_) {
        LetGo(motion_->holder);
    }
    if (level_) {
        LetGo(level_->holder);
    }
    if (transport_) {
        LetGo(transport_->holder);
    }
    afterLetGo_ = std::move(then);
    letGoLimit_.start(limitMs);
    CheckLetGoDone();
}

void MixerOperations::CheckLetGoDone() {
    if (!afterLetGo_ || owed_ || !WireFree()) {
        return;
    }
    letGoLimit_.stop();
    std::exchange(afterLetGo_, {})();
}

// --- The observer seam ---------------------------------------------------------
// These run inside the reply's handling: a motion's press or release is only
// planned from here, for the event loop.

void MixerOperations::ReplyApplied(RequestKind kind) {
    if (kind != RequestKind::Status) {
        return;
    }
    statusReported_ = true;
    // What the mixer reports is what it has: nothing of it needs sending.
    for (std::size_t i = 0; i < mirror_.panel.masters.size(); ++i) {
        link_.synced.masters[i].lamps = mirror_.panel.masters[i].lamps;
        link_.synced.masters[i].muted = mirror_.panel.masters[i].muted;
    }
    link_.synced.recall = mirror_.panel.recall;
    link_.synced.selectedInput = mirror_.panel.selectedInput;
    SelectedInputShown(mirror_.panel.selectedInput);
    if (!motion_) {
        return;
    }
    switch (motion_->phase) {
    case MotionPhase::Reading:
        QTimer::singleShot(0, this, [this] { StartMotion(); });
        break;
    case MotionPhase::Holding: {
        const qint64 now = clock_.elapsed();
        const bool reached = motion_->plan->Observe(Master(mirror_, motion_->master).level, now);
        releaseTimer_.start(static_cast<int>(
            reached ? 0 : std::max<qint64>(0, motion_->plan->ReleaseAtMs() - now)));
        break;
    }
    case MotionPhase::Settling:
        EndMotion(CommandResult::Done);
        break;
    }
}

void MixerOperations::FullReadCompleted() {
    CountStateAsSent(link_, mirror_);
    SelectedInputShown(mirror_.panel.selectedInput);
}

void MixerOperations::LinkStateChanged(LinkState state) {
    if (state == LinkState::Online) {
        // What was asked while the link was being made goes from the event
        // loop, once the connection's own step is over.
        QTimer::singleShot(0, this, [this] {
            if (CurrentLinkState() == LinkState::Online) {
                SendOwed(false);
            }
        });
        return;
    }
    if (motion_) {
        QTimer::singleShot(0, this, [this] {
            if (!LinkOnline()) {
                EndMotion(CommandResult::NotConnected);
            }
        });
    }
}

} // namespace engine
