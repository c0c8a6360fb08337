// The two interfaces of /org/ardenix/Ardenix as QtDBus exports them: each
// call and property read is handed to the MixerService that owns the adaptor.
// The interface's description is service/org.ardenix.Mixer1.xml, which the
// build hands to the bus as it stands (service/interfacexml.h); the
// slots and properties here match it (tested).
//
// A call whose arguments are of other types than its method takes matches
// none of the typed slots; QtDBus then hands it to the slot of that name
// that takes only the message, which refuses it with InvalidArgs.
#pragma once

#include "service/interfacexml.h"
#include "service/mixerservice.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QList>
#include <QStringList>
#include <QVariantMap>

// Fails `call`, which has other argument types than its method on `adaptor`
// takes, with InvalidArgs naming the types it takes.
void RefuseTypes(MixerService& service, const QDBusAbstractAdaptor& adaptor,
                 const QDBusMessage& call);

class Mixer1Adaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ardenix.Mixer1")
    Q_CLASSINFO("D-Bus Introspection", ARDENIX_MIXER1_INTERFACE_XML)
    Q_PROPERTY(QString Connection READ Connection)
    Q_PROPERTY(QString Port READ Port)
    Q_PROPERTY(int SelectedInput READ SelectedInput)
    Q_PROPERTY(QStringList InputNames READ InputNames)
    Q_PROPERTY(QList<int> InputStatus READ InputStatus)
    Q_PROPERTY(QStringList MasterNames READ MasterNames)
    Q_PROPERTY(QList<int> MasterLevels READ MasterLevels)
    Q_PROPERTY(QList<bool> MasterMuted READ MasterMuted)
    Q_PROPERTY(QList<bool> OverGain READ OverGain)
    Q_PROPERTY(QList<bool> Mugen READ Mugen)
    Q_PROPERTY(QStringList SceneNames READ SceneNames)
    Q_PROPERTY(QList<int> SceneCodes READ SceneCodes)
    Q_PROPERTY(QList<bool> SceneLocked READ SceneLocked)
    Q_PROPERTY(QString RecalledScene READ RecalledScene)

public:
    explicit Mixer1Adaptor(MixerService* service);

    QString Connection() const { return service_.View().connection; }
    QString Port() const { return service_.View().port; }
    int SelectedInput() const { return service_.View().selectedInput; }
    QStringList InputNames() const { return service_.View().inputNames; }
    QList<int> InputStatus() const { return service_.View().inputStatus; }
    QStringList MasterNames() const { return service_.View().masterNames; }
    QList<int> MasterLevels() const { return service_.View().masterLevels; }
    QList<bool> MasterMuted() const { return service_.View().masterMuted; }
    QList<bool> OverGain() const { return service_.View().overGain; }
    QList<bool> Mugen() const { return service_.View().mugen; }
    QStringList SceneNames() const { return service_.View().sceneNames; }
    QList<int> SceneCodes() const { return service_.View().sceneCodes; }
    QList<bool> SceneLocked() const { return service_.View().sceneLocked; }
    QString RecalledScene() const { return service_.View().recalledScene; }

public slots:
    void SelectInput(int input) { service_.SelectInput(input); }
    void SetMute(const QString& master, bool muted) { service_.SetMute(master, muted); }
    void RecallScene(const QString& button) { service_.RecallScene(button); }
    void PressTransport(const QString& key) { service_.PressTransport(key); }
    void TapTransport(const QString& key) { service_.TapTransport(key); }
    void StartLevel(const QString& master, const QString& direction) {
        service_.StartLevel(master, direction);
    }
    void StopLevel(const QString& master) { service_.StopLevel(master); }
    int SetLevel(const QString& master, int step) { return service_.SetLevel(master, step); }

    // ReleaseTransport takes no arguments: its one slot takes every call of
    // that name (a slot without arguments would never see the others).
    void ReleaseTransport(const QDBusMessage& call);

    // The calls with arguments of other types.
    void SelectInput(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void SetMute(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void RecallScene(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void PressTransport(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void TapTransport(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void StartLevel(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void StopLevel(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }
    void SetLevel(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }

private:
    MixerService& service_;
};

// org.freedesktop.Application: what a desktop (and a second start) uses to
// bring the running program to the front.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
    Q_CLASSINFO("D-Bus Introspection", ARDENIX_APPLICATION_INTERFACE_XML)

public:
    explicit ApplicationAdaptor(MixerService* service);

public slots:
    void Activate(const QVariantMap& platform_data) { service_.Activate(platform_data); }
    void Activate(const QDBusMessage& call) { RefuseTypes(service_, *this, call); }

private:
    MixerService& service_;
};
