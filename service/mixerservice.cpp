#include "service/mixerservice.h"

#include "connection/controlnames.h"
#include "core/hostfacts.h"
#include "core/state.h"
#include "serial/serial.h"
#include "service/busnames.h"

#include <QDBusError>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <array>

namespace {

using engine::CommandResult;

// A tapped transport key is held this long.
constexpr int tapMs = 100;

using controlnames::MasterName;
using controlnames::TransportText;
using engine::LinkOnline;

// The bus's name and text for a refused operation; `what` names the control.
std::pair<QString, QString> ErrorOf(CommandResult result, const QString& what) {
    switch (result) {
    case CommandResult::NotConnected:
        return {busnames::notConnectedError, controlnames::NotConnectedText()};
    case CommandResult::SceneLocked:
        return {busnames::sceneLockedError, controlnames::RefusalText(result, what)};
    case CommandResult::Muted:
        return {busnames::mutedError, controlnames::RefusalText(result, what)};
    case CommandResult::Busy:
        return {busnames::busyError, what};
    case CommandResult::Disabled:
        return {busnames::disabledError, what};
    case CommandResult::Invalid:
        return {QDBusError::errorString(QDBusError::InvalidArgs), what};
    case CommandResult::Done:
        break;
    }
    return {};
}

} // namespace

MixerService::MixerService(const QDBusConnection& bus, engine::MixerOperations& operations,
                           std::function<void()> raise)
    : bus_(bus), operations_(operations), raise_(std::move(raise)) {
    callersGone_.setConnection(bus_);
    callersGone_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&callersGone_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& name) {
                const auto found = holders_.constFind(name);
                if (found == holders_.constEnd()) {
                    return;
                }
                const std::uint64_t holder = *found;
                holders_.erase(found);
                callersGone_.removeWatchedService(name);
                operations_.LetGo(holder);
            });
    announced_ = View();
    Subscribe(*this);
}

MixerService::~MixerService() {
    Unsubscribe(*this);
}

MixerView MixerService::View() const {
    return ReadCurrentMixerView(operations_);
}

// The text of a level operation's refusal: the master itself, or what holds it.
QString MixerService::LevelText(CommandResult result, int master) const {
    return controlnames::LevelText(operations_, result, master);
}

engine::Caller MixerService::CallerNow() {
    const QString name = message().service();
    auto found = holders_.find(name);
    if (found == holders_.end()) {
        found = holders_.insert(name, nextHolder_++);
        callersGone_.addWatchedService(name);
    }
    return engine::Caller{engine::Caller::Kind::Remote, *found};
}

bool MixerService::Accept(CommandResult result, const QString& what) {
    if (result == CommandResult::Done) {
        return true;
    }
    const auto [name, text] = ErrorOf(result, what);
    sendErrorReply(name, text);
    return false;
}

void MixerService::Instant(const std::function<CommandResult()>& operation,
                           const std::function<QString(CommandResult)>& what) {
    setDelayedReply(true);
    const QDBusMessage call = message();
    const std::uint64_t number = nextCall_++;
    underWay_.append({number, call});
    const QPointer<MixerService> self(this);
    const CommandResult result = operation();
    if (!self) {
        return;
    }
    const auto found = std::find_if(
        underWay_.begin(), underWay_.end(),
        [number](const std::pair<std::uint64_t, QDBusMessage>& c) { return c.first == number; });
    if (found == underWay_.end()) {
        return; // answered when the link went down
    }
    underWay_.erase(found);
    if (result == CommandResult::Done && !LinkOnline()) {
        // Sending found the port dead: the link is down, and the caller hears it.
        bus_.send(call.createErrorReply(busnames::notConnectedError, controlnames::LinkLostText()));
        return;
    }
    Reply(call, result, what(result));
}

void MixerService::Reply(const QDBusMessage& call, CommandResult result, const QString& what,
                         const QVariant& value) {
    if (result != CommandResult::Done) {
        const auto [name, text] = ErrorOf(result, what);
        bus_.send(call.createErrorReply(name, text));
    } else {
        bus_.send(value.isValid() ? call.createReply(value) : call.createReply());
    }
}

// --- Arguments -----------------------------------------------------------------

void MixerService::FailArgument(const QString& text) {
    sendErrorReply(QDBusError::errorString(QDBusError::InvalidArgs), text);
}

void MixerService::RefuseArgumentTypes(const QString& expected) {
    FailArgument(QStringLiteral("%1 takes the arguments (%2), not (%3)")
                     .arg(message().member(), expected, message().signature()));
}

int MixerService::MasterArgument(const QString& master) {
    const int m = controlnames::MasterIndex(master);
    if (m < 0) {
        FailArgument(QStringLiteral("no master \"%1\": the masters are A and B")
                         .arg(busnames::Quoted(master)));
    }
    return m;
}

int MixerService::TransportKeyArgument(const QString& key) {
    const int k = controlnames::TransportKeyIndex(key);
    if (k < 0) {
        FailArgument(QStringLiteral("no transport key \"%1\": the keys are %2")
                         .arg(busnames::Quoted(key), controlnames::TransportKeyList()));
    }
    return k;
}

// --- Inputs and muting -------------------------------------------------------

void MixerService::SelectInput(int input) {
    if (input < 1 || input > engine::inputCount) {
        FailArgument(QStringLiteral("no input %1: the inputs are 1..6").arg(input));
        return;
    }
    const engine::Caller caller = CallerNow();
    Instant([this, caller, input] { return operations_.SelectInput(caller, input - 1); },
            [](CommandResult) { return QString(); });
}

void MixerService::SetMute(const QString& master, bool muted) {
    const int m = MasterArgument(master);
    if (m < 0) {
        return;
    }
    const engine::Caller caller = CallerNow();
    Instant([this, caller, m, muted] { return operations_.SetMute(caller, m, muted); },
            [m](CommandResult) { return MasterName(m); });
}

// --- Scenes ------------------------------------------------------------------

void MixerService::RecallScene(const QString& button) {
    const int k = controlnames::SceneButtonIndex(button);
    if (k < 0) {
        FailArgument(QStringLiteral("no scene button \"%1\": the buttons are A, B, C and D")
                         .arg(busnames::Quoted(button)));
        return;
    }
    const QString name = controlnames::SceneButtonName(k);
    const QDBusMessage call = message();
    const QPointer<MixerService> self(this);
    const CommandResult result =
        operations_.RecallScene(CallerNow(), k, [self, call, name](CommandResult done) {
            if (self) {
                self->Reply(call, done, name);
            }
        });
    if (result == CommandResult::Busy) {
        sendErrorReply(busnames::busyError, QStringLiteral("a scene recall is under way"));
        return;
    }
    if (result == CommandResult::Disabled) {
        sendErrorReply(busnames::disabledError,
                       QStringLiteral("scene button %1 holds no scene").arg(name));
        return;
    }
    if (Accept(result, name)) {
        setDelayedReply(true);
    }
}

// --- Transport keys ----------------------------------------------------------

void MixerService::PressTransport(const QString& key) {
    const int k = TransportKeyArgument(key);
    if (k < 0) {
        return;
    }
    const engine::Caller caller = CallerNow();
    Instant([this, caller, k] { return operations_.PressTransport(caller, k); }, &TransportText);
}

// Lets go of the key this caller holds; with none held, nothing is sent.
void MixerService::ReleaseTransport() {
    const engine::Caller caller = CallerNow();
    Instant([this, caller] { return operations_.ReleaseTransport(caller); }, &TransportText);
}

void MixerService::TapTransport(const QString& key) {
    const int k = TransportKeyArgument(key);
    if (k < 0) {
        return;
    }
    const engine::Caller caller = CallerNow();
    const CommandResult result = operations_.PressTransport(caller, k);
    if (!Accept(result, TransportText(result))) {
        return;
    }
    setDelayedReply(true);
    const QDBusMessage call = message();
    QTimer::singleShot(tapMs, this, [this, call, caller] {
        const CommandResult released = operations_.ReleaseTransport(caller);
        Reply(call, released, TransportText(released));
    });
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
    const engine::Caller caller = CallerNow();
    const bool down = direction == QLatin1String("down");
    Instant([this, caller, m, down] { return operations_.PressLevel(caller, m, down); },
            [this, m](CommandResult result) { return LevelText(result, m); });
}

// Lets go of the master's level button when this caller holds it (or ends its
// SetLevel there); otherwise nothing is held there and nothing is sent.
void MixerService::StopLevel(const QString& master) {
    const int m = MasterArgument(master);
    if (m < 0) {
        return;
    }
    const engine::Caller caller = CallerNow();
    Instant([this, caller, m] { return operations_.ReleaseLevel(caller, m); },
            [this, m](CommandResult result) { return LevelText(result, m); });
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
    const QDBusMessage call = message();
    const QPointer<MixerService> self(this);
    const QString name = MasterName(m);
    const CommandResult result = operations_.SetLevel(
        CallerNow(), m, step, [self, call, name](CommandResult done, int reached) {
            if (self) {
                self->Reply(call, done,
                            done == CommandResult::NotConnected && LinkOnline()
                                ? QStringLiteral("the mixer did not report the level")
                                : name,
                            reached);
            }
        });
    if (Accept(result, LevelText(result, m))) {
        setDelayedReply(true); // the answer comes when the level has stopped
    }
    return 0;
}

// --- The desktop -------------------------------------------------------------

void MixerService::Activate(const QVariantMap& platformData) {
    // A launcher's activation token lets the window take the focus on Wayland.
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (!token.isEmpty()) {
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
    }
    if (raise_) {
        raise_();
    }
}

// --- The observer seam ---------------------------------------------------------

void MixerService::ReplyApplied(RequestKind) {
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
    // The instant calls under way hear it at once, even while the user is
    // still being told of the loss.
    for (const auto& [number, call] : std::exchange(underWay_, {})) {
        bus_.send(call.createErrorReply(busnames::notConnectedError, controlnames::LinkLostText()));
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
