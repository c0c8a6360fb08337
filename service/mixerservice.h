// The object /org/ardenix/Ardenix: the mixer's operations as methods, its
// mirrored state as read-only properties announced with PropertiesChanged,
// and the desktop's Activate. It acts through the mixer's operations
// (connection/operations.h) and follows the mirrored state and the link
// through the observer seam; it knows no window.
//
// Any number of callers may call at once: each call is answered as soon as
// its operation is handed to the change queue, or, for a call that takes
// time (RecallScene, TapTransport, SetLevel), when it ends (a delayed reply),
// so the bus is never held up. What a caller holds (a transport key, a level
// button, a level motion) is let go when it leaves the bus.
#pragma once

#include "connection/operations.h"
#include "core/observers.h"
#include "connection/mixerview.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QVariantMap>

#include <cstdint>
#include <functional>

class MixerService : public QObject, public StateObserver, protected QDBusContext {
    Q_OBJECT

public:
    // Announces its property changes on `bus`, where it is to be registered;
    // `raise` brings the program's window to the front (none without one).
    MixerService(const QDBusConnection& bus, engine::MixerOperations& operations,
                 std::function<void()> raise);
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
    // The caller of the call under way, as a holder of what it presses.
    engine::Caller CallerNow();
    // Answers the call under way with the error for `result` (anything but
    // Done); true when it was Done.
    bool Accept(engine::CommandResult result, const QString& what);
    void FailArgument(const QString& text);
    // The master named ("A", "B"), or -1 once the call failed.
    int MasterArgument(const QString& master);
    // The transport key named; -1 once the call failed.
    int TransportKeyArgument(const QString& key);
    // Runs an instant operation for the call under way and answers it: done,
    // unless the link went down with it. Should the loss be told to the user
    // while the operation runs, the call hears it at once.
    void Instant(const std::function<engine::CommandResult()>& operation,
                 const std::function<QString(engine::CommandResult)>& what);
    QString LevelText(engine::CommandResult result, int master) const;
    // Sends the answer to a delayed call.
    void Reply(const QDBusMessage& call, engine::CommandResult result, const QString& what,
               const QVariant& value = {});
    // Sends PropertiesChanged for what differs from the last announcement.
    void Announce();

    QDBusConnection bus_;
    engine::MixerOperations& operations_;
    std::function<void()> raise_;
    MixerView announced_;
    QHash<QString, std::uint64_t> holders_; // unique bus names of callers
    // Instant calls whose operation runs, by a number of their own.
    QList<std::pair<std::uint64_t, QDBusMessage>> underWay_;
    std::uint64_t nextCall_ = 0;
    std::uint64_t nextHolder_ = 1000;
    QDBusServiceWatcher callersGone_;
};
