// The object /org/ardenix/Ardenix: the mixer's controls as methods that press
// the panel's buttons, its mirrored state as read-only properties announced
// with PropertiesChanged, and the desktop's Activate. It follows the mirrored
// state and the link through the observer seam.
//
// One call that takes time (RecallScene, TapTransport, SetLevel) runs at a
// time; it is answered when it ends (a delayed reply), so the bus is never
// held up meanwhile, and any other method called before then fails with
// org.ardenix.Mixer1.Error.Busy and changes nothing.
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

    // The observer seam.
    void ReplyApplied(RequestKind kind) override;
    void FullReadCompleted() override;
    void LinkStateChanged(LinkState state) override;

private:
    enum class Task { Recall, Tap, Level };
    struct LongCall {
        Task task;
        QDBusMessage call; // answered when the task ends
    };
    struct Hold {
        int master;
        bool down;
    };
    enum class LevelPhase { Holding, Settling };

    // Fails the call (an error reply) and returns false unless the link is
    // online and no long call runs.
    bool CanOperate();
    bool Fail(const QString& errorName, const QString& text);
    // Takes the current call over as the long call, answered later.
    void BeginLongCall(Task task);
    void FinishLongCall(const QVariant& result);
    void FailLongCall(const QString& errorName, const QString& text);
    bool Online() const;

    void RunSceneRecall(int button);
    void EndTap();
    void ReleaseLevel();
    void EndLevel();
    void AbortLevel(const QString& text);

    // Sends PropertiesChanged for what differs from the last announcement.
    void Announce();

    QDBusConnection bus_;
    MixerView announced_;
    std::optional<LongCall> longCall_;

    int heldTransportKey_ = -1;     // held by PressTransport or TapTransport
    std::optional<Hold> heldLevel_; // held by StartLevel or SetLevel

    // SetLevel.
    QElapsedTimer clock_;
    std::optional<LevelMotion> motion_;
    LevelPhase levelPhase_ = LevelPhase::Holding;
    QTimer releaseTimer_;  // lets go of the level button when the plan says
    QTimer levelDeadline_; // the call ends in time whatever happens
    QTimer tapTimer_;      // lets go of the tapped transport key
};
