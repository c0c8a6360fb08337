// The object /org/ardenix/Ardenix: the mixer's controls as methods that press
// the panel's buttons, its mirrored state as read-only properties announced
// with PropertiesChanged, and the desktop's Activate. It follows the mirrored
// state and the link through the observer seam.
//
// One operating call runs at a time. A call that takes time (RecallScene,
// TapTransport, SetLevel) is answered when it ends (a delayed reply), so the
// bus is never held up meanwhile; any other method called before then fails
// with org.ardenix.Mixer1.Error.Busy and changes nothing. When the link goes
// down while a call runs, the call is answered with NotConnected at once,
// even while the panel still shows its message about the lost link.
#pragma once

#include "core/observers.h"
#include "service/levelmotion.h"
#include "service/mixerview.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <optional>

class MixerService : public QObject, public StateObserver, protected QDBusContext {
    Q_OBJECT

public:
    // Announces its property changes on `bus`, where it is to be registered.
    explicit MixerService(const QDBusConnection& bus);
    ~MixerService() override;
    MixerService(const MixerService&) = delete;
    MixerService& operator=(const MixerService&) = delete;

    // The properties as they are now.
    MixerView View() const;

    // org.ardenix.Mixer1, called by its adaptor during a D-Bus call.
    void SelectInput(int input);
    void SetMute(const QString& master, bool muted);
    void RecallScene(const QString& button);
    void PressTransport(const QString& key);
    void ReleaseTransport();
    void TapTransport(const QString& key);
    void StartLevel(const QString& master, const QString& direction);
    void StopLevel(const QString& master);
    int SetLevel(const QString& master, int step);

    // org.freedesktop.Application.
    void Activate(const QVariantMap& platformData);

    // Fails the call under way, whose arguments are not of the types
    // `expected` (a D-Bus signature) that its method takes, with InvalidArgs.
    void RefuseArgumentTypes(const QString& expected);

    // The observer seam.
    void ReplyApplied(RequestKind kind) override;
    void FullReadCompleted() override;
    void LinkStateChanged(LinkState state) override;

private:
    struct Call {
        QString method;                   // for the text of Busy
        std::optional<QDBusMessage> call; // empty once answered
    };
    struct Hold {
        int master;
        bool down;
    };
    // SetLevel: a fresh status first (the mirrored level may be older than
    // the last command or recall), then the button held, then the status
    // that shows where the level stopped.
    enum class LevelPhase { Reading, Holding, Settling };
    struct LevelCall {
        int master;
        int target;
        LevelPhase phase = LevelPhase::Reading;
        std::optional<LevelMotion> motion; // from the press on
    };

    // Fails the call (an error reply) and returns false unless the link is
    // online and no other call runs.
    bool CanOperate();
    bool Fail(const QString& errorName, const QString& text);
    // Fails the call with InvalidArgs.
    void FailArgument(const QString& text);
    // The master named ("A", "B"), or -1 once the call failed.
    int MasterArgument(const QString& master);
    // The transport key named, when it may be pressed now; -1 once the call failed.
    int TransportKeyToPress(const QString& key);
    // Takes the current D-Bus call over as the call under way, answered later.
    void BeginCall();
    // Answers the call under way, unless it was answered already.
    void Answer(const QVariant& result);
    void AnswerError(const QString& errorName, const QString& text);
    // Answers it (when still unanswered) and ends it.
    void FinishCall(const QVariant& result);
    void FailCall(const QString& errorName, const QString& text);
    bool Online() const;

    // One press or release by an instant method, answered when it is done.
    void Press(const std::function<void()>& press);
    void RunSceneRecall(int button);
    void EndTap();
    void StartLevelMotion();
    void ReleaseLevel();
    void EndLevel();
    // Ends SetLevel with an error, letting go of the button when it is held.
    void AbortLevel(const QString& errorName, const QString& text);

    // Sends PropertiesChanged for what differs from the last announcement.
    void Announce();

    QDBusConnection bus_;
    MixerView announced_;
    std::optional<Call> call_; // the operating call under way

    int heldTransportKey_ = -1;     // held by PressTransport or TapTransport
    std::optional<Hold> heldLevel_; // held by StartLevel or SetLevel

    // SetLevel.
    QElapsedTimer clock_;
    std::optional<LevelCall> level_;
    QTimer releaseTimer_;  // lets go of the level button when the plan says
    QTimer levelDeadline_; // each phase ends in time whatever happens
    QTimer tapTimer_;      // lets go of the tapped transport key
};
