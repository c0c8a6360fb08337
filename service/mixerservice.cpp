#include "service/mixerservice.h"

#include "core/state.h"
#include "service/busnames.h"
#include "service/panelaccess.h"

#include <QDBusError>
#include <QPointer>

#include <algorithm>
#include <array>

namespace {

// A tapped transport key is held this long.
constexpr int tapMs = 100;
// SetLevel waits this long at most for a fresh status (the polls pause while
// a scene button waits for its recall), lets go of the button at the latest
// this long after the press (a full sweep of 30 steps takes 3 s), and gives
// the mixer this long afterwards to report where the level stopped: the call
// ends within 10 s.
constexpr int readLimitMs = 2000;
constexpr int holdLimitMs = 5500;
constexpr int settleLimitMs = 2000;

const QString notConnectedText = QStringLiteral("the mixer is not connected");
const QString linkLostText = QStringLiteral("the link to the mixer was lost");
const QString endingText = QStringLiteral("ardenix is ending");

constexpr std::array<const char*, 2> masterNames{"A", "B"};
constexpr std::array<const char*, 4> sceneButtonNames{"A", "B", "C", "D"};
// The transport keys in the panel's row, left to right.
constexpr std::array<const char*, 7> transportKeyNames{"prev", "next",    "stop", "rewind",
                                                       "play", "forward", "pause"};

// The index of `name` in `names`, -1 when it is none of them.
template <std::size_t N> int IndexOf(const std::array<const char*, N>& names, const QString& name) {
    const auto found = std::find_if(names.begin(), names.end(),
                                    [&name](const char* n) { return name == QLatin1String(n); });
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

template <std::size_t N> QString ListOf(const std::array<const char*, N>& names) {
    QStringList list;
    for (const char* name : names) {
        list.append(QString::fromLatin1(name));
    }
    return list.join(QStringLiteral(", "));
}

QString MasterName(int master) {
    return QString::fromLatin1(masterNames.at(static_cast<std::size_t>(master)));
}

QString SceneButtonName(int button) {
    return QString::fromLatin1(sceneButtonNames.at(static_cast<std::size_t>(button)));
}

const MasterSection& Master(int master) {
    return panelState.masters.at(static_cast<std::size_t>(master));
}

bool IsSceneCode(Integer code) {
    return code >= firstSceneCode && code <= lastSceneCode;
}

} // namespace

MixerService::MixerService(const QDBusConnection& bus) : bus_(bus) {
    clock_.start();
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setTimerType(Qt::PreciseTimer);
    connect(&releaseTimer_, &QTimer::timeout, this, [this] { ReleaseLevel(); });
    levelDeadline_.setSingleShot(true);
    connect(&levelDeadline_, &QTimer::timeout, this, [this] {
        if (level_ && level_->phase == LevelPhase::Holding) {
            ReleaseLevel();
        } else {
            AbortLevel(busnames::notConnectedError,
                       QStringLiteral("the mixer did not report the level"));
        }
    });
    tapTimer_.setSingleShot(true);
    tapTimer_.setTimerType(Qt::PreciseTimer);
    tapTimer_.setInterval(tapMs);
    connect(&tapTimer_, &QTimer::timeout, this, [this] { EndTap(); });
    announced_ = View();
    Subscribe(*this);
}

MixerService::~MixerService() {
    Unsubscribe(*this);
    // The panel may be gone already: nothing is pressed or let go any more,
    // but a call still waiting hears why it ends.
    if (call_ && call_->call) {
        bus_.send(call_->call->createErrorReply(busnames::notConnectedError, endingText));
    }
}

MixerView MixerService::View() const {
    return ReadMixerView(CurrentLinkState(), panelaccess::PortPath());
}

bool MixerService::Online() const {
    return !panelaccess::ProgramEnding() && panelaccess::PanelLoaded() &&
           CurrentLinkState() == LinkState::Online;
}

bool MixerService::Fail(const QString& errorName, const QString& text) {
    sendErrorReply(errorName, text);
    return false;
}

bool MixerService::CanOperate() {
    if (!Online()) {
        return Fail(busnames::notConnectedError,
                    panelaccess::ProgramEnding() ? endingText : notConnectedText);
    }
    if (call_) {
        return Fail(busnames::busyError,
                    QStringLiteral("another call is under way (%1)").arg(call_->method));
    }
    return true;
}

void MixerService::BeginCall() {
    setDelayedReply(true);
    call_ = Call{message().member(), message()};
}

void MixerService::Answer(const QVariant& result) {
    if (!call_ || !call_->call) {
        return;
    }
    const QDBusMessage reply =
        result.isValid() ? call_->call->createReply(result) : call_->call->createReply();
    call_->call.reset();
    bus_.send(reply);
}

void MixerService::AnswerError(const QString& errorName, const QString& text) {
    if (!call_ || !call_->call) {
        return;
    }
    const QDBusMessage reply = call_->call->createErrorReply(errorName, text);
    call_->call.reset();
    bus_.send(reply);
}

void MixerService::FinishCall(const QVariant& result) {
    Answer(result);
    call_.reset();
}

void MixerService::FailCall(const QString& errorName, const QString& text) {
    AnswerError(errorName, text);
    call_.reset();
}

// The press runs inside the bus's dispatch of the call; should the port turn
// out dead, the panel's message about the lost link keeps it there until the
// user closes it, but the call has its answer as soon as the link is down.
void MixerService::Press(const std::function<void()>& press) {
    BeginCall();
    const QPointer<MixerService> self(this);
    press();
    if (!self) {
        return;
    }
    if (Online()) {
        FinishCall({});
    } else {
        FailCall(busnames::notConnectedError,
                 panelaccess::ProgramEnding() ? endingText : linkLostText);
    }
}

// --- Inputs and muting -------------------------------------------------------

void MixerService::SelectInput(int input) {
    if (input < 1 || input > panelaccess::inputButtonCount) {
        FailArgument(QStringLiteral("no input %1: the inputs are 1..6").arg(input));
        return;
    }
    if (!CanOperate()) {
        return;
    }
    Press([input] { panelaccess::PressInputButton(input - 1); });
}

void MixerService::SetMute(const QString& master, bool muted) {
    const int m = MasterArgument(master);
    if (m < 0) {
        return;
    }
    if (!CanOperate()) {
        return;
    }
    if ((Master(m).muted != flagFalse) != muted) {
        Press([m] { panelaccess::PressMuteButton(m); });
    }
}

// --- Scenes ------------------------------------------------------------------

void MixerService::RecallScene(const QString& button) {
    const int k = IndexOf(sceneButtonNames, button);
    if (k < 0) {
        FailArgument(QStringLiteral("no scene button \"%1\": the buttons are A, B, C and D")
                         .arg(busnames::Quoted(button)));
        return;
    }
    if (!CanOperate()) {
        return;
    }
    if (panelaccess::RecallWaitRunning()) {
        Fail(busnames::busyError, QStringLiteral("a scene recall is under way"));
        return;
    }
    const Integer code = sceneSetup.sceneNumbers.at(static_cast<std::size_t>(k));
    if (!IsSceneCode(code)) {
        Fail(busnames::disabledError,
             QStringLiteral("scene button %1 holds no scene").arg(SceneButtonName(k)));
        return;
    }
    if (sceneSetup.sceneBlocked.at(static_cast<std::size_t>(code - firstSceneCode)) != flagFalse) {
        Fail(busnames::sceneLockedError,
             QStringLiteral("scene %1 is locked").arg(SceneButtonName(k)));
        return;
    }
    BeginCall();
    // The press waits for the mixer's recall, processing events: it runs from
    // the event loop, not inside the bus's dispatch of this call.
    QTimer::singleShot(0, this, [this, k] { RunSceneRecall(k); });
}

void MixerService::RunSceneRecall(int button) {
    if (!Online()) {
        FailCall(busnames::notConnectedError,
                 panelaccess::ProgramEnding() ? endingText : linkLostText);
        return;
    }
    const QPointer<MixerService> self(this);
    panelaccess::PressSceneButton(button);
    if (!self) {
        return;
    }
    if (panelaccess::ProgramEnding()) {
        FailCall(busnames::notConnectedError, endingText);
    } else if (!Online()) {
        FailCall(busnames::notConnectedError, linkLostText);
    } else {
        FinishCall({});
    }
}

// --- Arguments -----------------------------------------------------------------

void MixerService::FailArgument(const QString& text) {
    Fail(QDBusError::errorString(QDBusError::InvalidArgs), text);
}

void MixerService::RefuseArgumentTypes(const QString& expected) {
    FailArgument(QStringLiteral("%1 takes the arguments (%2), not (%3)")
                     .arg(message().member(), expected, message().signature()));
}

int MixerService::MasterArgument(const QString& master) {
    const int m = IndexOf(masterNames, master);
    if (m < 0) {
        FailArgument(QStringLiteral("no master \"%1\": the masters are A and B")
                         .arg(busnames::Quoted(master)));
    }
    return m;
}

int MixerService::TransportKeyToPress(const QString& key) {
    const int k = IndexOf(transportKeyNames, key);
    if (k < 0) {
        FailArgument(QStringLiteral("no transport key \"%1\": the keys are %2")
                         .arg(busnames::Quoted(key), ListOf(transportKeyNames)));
        return -1;
    }
    if (!CanOperate()) {
        return -1;
    }
    if (!panelaccess::TransportKeyEnabled(k)) {
        Fail(busnames::disabledError, QStringLiteral("the transport keys are disabled"));
        return -1;
    }
    return k;
}

// --- Transport keys ----------------------------------------------------------

void MixerService::PressTransport(const QString& key) {
    const int k = TransportKeyToPress(key);
    if (k < 0) {
        return;
    }
    heldTransportKey_ = k;
    Press([k] { panelaccess::PressTransportKey(k); });
}

// Lets go of whichever key is held; with none held, nothing is sent.
void MixerService::ReleaseTransport() {
    if (!CanOperate()) {
        return;
    }
    const int key = std::max(heldTransportKey_, 0);
    heldTransportKey_ = -1;
    Press([key] { panelaccess::ReleaseTransportKey(key); });
}

void MixerService::TapTransport(const QString& key) {
    const int k = TransportKeyToPress(key);
    if (k < 0) {
        return;
    }
    BeginCall();
    heldTransportKey_ = k;
    tapTimer_.start();
    panelaccess::PressTransportKey(k);
}

void MixerService::EndTap() {
    if (panelaccess::ProgramEnding()) {
        FailCall(busnames::notConnectedError, endingText);
        return;
    }
    const int key = std::max(heldTransportKey_, 0);
    heldTransportKey_ = -1;
    const QPointer<MixerService> self(this);
    panelaccess::ReleaseTransportKey(key);
    if (!self) {
        return;
    }
    if (!Online()) {
        FailCall(busnames::notConnectedError, linkLostText);
    } else {
        FinishCall({});
    }
}

// --- Levels ------------------------------------------------------------------

void MixerService::StartLevel(const QString& master, const QString& direction) {
    const int m = MasterArgument(master);
    if (m < 0) {
        return;
    }
    if (direction != QLatin1String("up") && direction != QLatin1String("down")) {
        FailArgument(
            QStringLiteral("no direction \"%1\": up or down").arg(busnames::Quoted(direction)));
        return;
    }
    if (!CanOperate()) {
        return;
    }
    const bool down = direction == QLatin1String("down");
    if (heldLevel_) {
        if (heldLevel_->master == m && heldLevel_->down == down) {
            return; // held already
        }
        // The panel follows one level motion at a time.
        Fail(busnames::busyError, QStringLiteral("the level button of master %1 is held")
                                      .arg(MasterName(heldLevel_->master)));
        return;
    }
    if (!panelaccess::LevelButtonsEnabled(m)) {
        Fail(busnames::mutedError, QStringLiteral("master %1 is muted").arg(MasterName(m)));
        return;
    }
    heldLevel_ = Hold{m, down};
    Press([m, down] { panelaccess::PressLevelButton(m, down); });
}

// Lets go of the master's level button when StartLevel holds it; otherwise
// nothing is held there and nothing is sent.
void MixerService::StopLevel(const QString& master) {
    const int m = MasterArgument(master);
    if (m < 0) {
        return;
    }
    if (!CanOperate()) {
        return;
    }
    if (heldLevel_ && heldLevel_->master == m) {
        const bool down = heldLevel_->down;
        heldLevel_.reset();
        Press([m, down] { panelaccess::ReleaseLevelButton(m, down); });
    }
}

int MixerService::SetLevel(const QString& master, int step) {
    const int m = MasterArgument(master);
    if (m < 0) {
        return 0;
    }
    if (step < LevelMotion::lowestStep || step > LevelMotion::highestStep) {
        FailArgument(QStringLiteral("no step %1: the steps are 0..30").arg(step));
        return 0;
    }
    if (!CanOperate()) {
        return 0;
    }
    if (heldLevel_) {
        Fail(busnames::busyError, QStringLiteral("the level button of master %1 is held")
                                      .arg(MasterName(heldLevel_->master)));
        return 0;
    }
    if (!panelaccess::LevelButtonsEnabled(m)) {
        Fail(busnames::mutedError, QStringLiteral("master %1 is muted").arg(MasterName(m)));
        return 0;
    }
    BeginCall();
    level_ = LevelCall{m, step, LevelPhase::Reading, std::nullopt};
    levelDeadline_.start(readLimitMs);
    return 0; // the answer comes when the level has stopped
}

// A fresh status has come: the level is known, the button is pressed.
void MixerService::StartLevelMotion() {
    if (!level_ || level_->phase != LevelPhase::Reading) {
        return;
    }
    if (!Online()) {
        AbortLevel(busnames::notConnectedError, linkLostText);
        return;
    }
    const int m = level_->master;
    if (!panelaccess::LevelButtonsEnabled(m)) {
        AbortLevel(busnames::mutedError, QStringLiteral("master %1 is muted").arg(MasterName(m)));
        return;
    }
    const int from = Master(m).level;
    if (from == level_->target) {
        levelDeadline_.stop();
        level_.reset();
        FinishCall(from); // there already: nothing is pressed
        return;
    }
    const qint64 now = clock_.elapsed();
    const LevelMotion& motion = level_->motion.emplace(from, level_->target, now);
    level_->phase = LevelPhase::Holding;
    const bool down = motion.Down();
    heldLevel_ = Hold{m, down};
    releaseTimer_.start(static_cast<int>(std::max<qint64>(0, motion.ReleaseAtMs() - now)));
    levelDeadline_.start(holdLimitMs);
    panelaccess::PressLevelButton(m, down);
}

void MixerService::ReleaseLevel() {
    if (!level_ || level_->phase != LevelPhase::Holding || !heldLevel_) {
        return;
    }
    const Hold hold = *heldLevel_;
    releaseTimer_.stop();
    level_->phase = LevelPhase::Settling;
    levelDeadline_.start(settleLimitMs);
    panelaccess::ReleaseLevelButton(hold.master, hold.down);
}

// The first status applied after the release shows where the level stopped.
void MixerService::EndLevel() {
    const int level = level_ ? Master(level_->master).level : 0;
    releaseTimer_.stop();
    levelDeadline_.stop();
    level_.reset();
    heldLevel_.reset();
    FinishCall(level);
}

void MixerService::AbortLevel(const QString& errorName, const QString& text) {
    if (!level_) {
        return;
    }
    const std::optional<Hold> held =
        level_->phase == LevelPhase::Holding ? heldLevel_ : std::optional<Hold>();
    releaseTimer_.stop();
    levelDeadline_.stop();
    level_.reset();
    heldLevel_.reset();
    FailCall(errorName, text);
    if (held && !panelaccess::ProgramEnding()) {
        panelaccess::ReleaseLevelButton(held->master, held->down);
    }
}

// --- The desktop -------------------------------------------------------------

void MixerService::Activate(const QVariantMap& platformData) {
    // A launcher's activation token lets the window take the focus on Wayland.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (!token.isEmpty()) {
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    }
    panelaccess::RaisePanel();
}

// --- The observer seam ---------------------------------------------------------
// These run inside the protocol's and the link's handlers: nothing is pressed
// or let go from here, only planned for the event loop.

void MixerService::ReplyApplied(RequestKind kind) {
    if (kind == RequestKind::Status && level_) {
        const qint64 now = clock_.elapsed();
        switch (level_->phase) {
        case LevelPhase::Reading:
            QTimer::singleShot(0, this, [this] { StartLevelMotion(); });
            break;
        case LevelPhase::Holding: {
            const bool reached = level_->motion->Observe(Master(level_->master).level, now);
            const qint64 wait =
                reached ? 0 : std::max<qint64>(0, level_->motion->ReleaseAtMs() - now);
            releaseTimer_.start(static_cast<int>(wait));
            break;
        }
        case LevelPhase::Settling:
            EndLevel();
            break;
        }
    }
    Announce();
}

void MixerService::FullReadCompleted() {
    Announce();
}

void MixerService::LinkStateChanged(LinkState state) {
    Announce();
    if (state == LinkState::Online) {
        return;
    }
    // The call under way hears it at once; a level motion lets go of its
    // button from the event loop.
    AnswerError(busnames::notConnectedError, linkLostText);
    if (level_) {
        QTimer::singleShot(0, this, [this] {
            if (CurrentLinkState() != LinkState::Online) {
                AbortLevel(busnames::notConnectedError, linkLostText);
            }
        });
    }
}

void MixerService::Announce() {
    const MixerView now = View();
    const QVariantMap changed = ChangedProperties(announced_, now);
    announced_ = now;
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        busnames::objectPath, busnames::propertiesInterface, QStringLiteral("PropertiesChanged"));
    signal << busnames::mixerInterface << changed << QStringList();
    bus_.send(signal);
}
