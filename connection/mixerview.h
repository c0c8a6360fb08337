// The mixer as the front-ends show it (the properties of the bus interface
// org.ardenix.Mixer1, and the same model on the network): the value of every
// property, read from the mirrored state, and which properties differ
// between two readings.
#pragma once

#include "core/observers.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

struct MixerMirror; // core/state.h

struct MixerView {
    QString connection;     // Connection: the link's state by name
    QString port;           // Port: the device path in use
    int selectedInput = 0;  // SelectedInput: 1..6, 0 = none
    QStringList inputNames; // InputNames: 6, without the padding blanks
    QList<int> inputStatus; // InputStatus: 6 status digits, -1 before the first report
    QStringList masterNames;
    QList<int> masterLevels; // steps 0..30
    QList<bool> masterMuted;
    QList<bool> overGain;
    QList<bool> mugen;
    QStringList sceneNames;
    QList<int> sceneCodes; // the scene code on each button, 49..68
    QList<bool> sceneLocked;
    QString recalledScene; // "A".."D" for the lit button, "" when none is lit

    friend bool operator==(const MixerView&, const MixerView&) = default;
};

// The name of a link state as Connection shows it.
QString ConnectionName(LinkState state);

// Reads the view from `mirror` and the program's set-up, with the link's
// state and the port path given. The lamps read dark until `lampsReported`
// (the mixer has reported a status), as the panel shows them.
MixerView ReadMixerView(const MixerMirror& mirror, LinkState link, const QString& port,
                        bool lampsReported);

namespace engine {
class MixerOperations;
}
// The view as it is now: the link's state, the port in use, and the lamps
// once `operations` has heard the mixer's status.
MixerView ReadCurrentMixerView(const engine::MixerOperations& operations);

// Every property by its D-Bus name.
QVariantMap PropertyMap(const MixerView& view);

// The properties whose values differ between `before` and `now`, with their
// values in `now`; empty when nothing changed.
QVariantMap ChangedProperties(const MixerView& before, const MixerView& now);
