#include "connection/mixerview.h"

#include "connection/operations.h"
#include "core/state.h"
#include "serial/serial.h"

#include <array>

namespace {

constexpr std::array<const char*, 4> buttonLetters{"A", "B", "C", "D"};

bool IsSceneCode(Integer code) {
    return code >= firstSceneCode && code <= lastSceneCode;
}

bool SceneIsLocked(Integer code) {
    return IsSceneCode(code) &&
           programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] !=
               flagFalse;
}

// The button the panel lights: the first whose scene is the one recalled.
QString RecalledButton(const MixerMirror& mirror) {
    if (!IsSceneCode(mirror.panel.recall)) {
        return {};
    }
    for (std::size_t k = 0; k < programSetup.sceneSetup.sceneNumbers.size(); ++k) {
        if (programSetup.sceneSetup.sceneNumbers[k] == mirror.panel.recall) {
            return QString::fromLatin1(buttonLetters.at(k));
        }
    }
    return {};
}

// One property of the interface: its name, its value and whether two views
// agree on it.
struct Property {
    const char* name;
    QVariant (*value)(const MixerView&);
    bool (*same)(const MixerView&, const MixerView&);
};

template <auto Field> constexpr Property Describe(const char* name) {
    return {name, [](const MixerView& v) { return QVariant::fromValue(v.*Field); },
            [](const MixerView& a, const MixerView& b) { return a.*Field == b.*Field; }};
}

// In the order of the interface.
constexpr std::array<Property, 14> properties{
    Describe<&MixerView::connection>("Connection"),
    Describe<&MixerView::port>("Port"),
    Describe<&MixerView::selectedInput>("SelectedInput"),
    Describe<&MixerView::inputNames>("InputNames"),
    Describe<&MixerView::inputStatus>("InputStatus"),
    Describe<&MixerView::masterNames>("MasterNames"),
    Describe<&MixerView::masterLevels>("MasterLevels"),
    Describe<&MixerView::masterMuted>("MasterMuted"),
    Describe<&MixerView::overGain>("OverGain"),
    Describe<&MixerView::mugen>("Mugen"),
    Describe<&MixerView::sceneNames>("SceneNames"),
    Describe<&MixerView::sceneCodes>("SceneCodes"),
    Describe<&MixerView::sceneLocked>("SceneLocked"),
    Describe<&MixerView::recalledScene>("RecalledScene"),
};

} // namespace

QString ConnectionName(LinkState state) {
    switch (state) {
    case LinkState::NotConnected:
        return QStringLiteral("not-connected");
    case LinkState::FirstContact:
        return QStringLiteral("first-contact");
    case LinkState::Reading:
        return QStringLiteral("reading");
    case LinkState::Online:
        return QStringLiteral("online");
    case LinkState::Lost:
        return QStringLiteral("lost");
    case LinkState::Suspended:
        return QStringLiteral("suspended");
    }
    return QStringLiteral("not-connected");
}

MixerView ReadMixerView(const MixerMirror& mirror, LinkState link, const QString& port,
                        bool lampsReported) {
    MixerView view;
    view.connection = ConnectionName(link);
    view.port = port;
    const Integer selected = mirror.panel.selectedInput;
    view.selectedInput =
        selected >= 0 && selected < static_cast<Integer>(mirror.panel.inputs.size()) ? selected + 1
                                                                                     : 0;
    for (const InputEntry& input : mirror.panel.inputs) {
        view.inputNames.append(input.name.Trimmed());
        view.inputStatus.append(input.status);
    }
    for (const MasterSection& master : mirror.panel.masters) {
        view.masterNames.append(master.name.Trimmed());
        view.masterLevels.append(master.level);
        view.masterMuted.append(master.muted != flagFalse);
        view.overGain.append(lampsReported && master.lamps[overGain] == flagTrue);
        view.mugen.append(lampsReported && master.lamps[mugen] == flagTrue);
    }
    for (std::size_t k = 0; k < mirror.sceneNames.size(); ++k) {
        const Integer code = programSetup.sceneSetup.sceneNumbers[k];
        view.sceneNames.append(mirror.sceneNames[k].Trimmed());
        view.sceneCodes.append(code);
        view.sceneLocked.append(SceneIsLocked(code));
    }
    view.recalledScene = RecalledButton(mirror);
    return view;
}

QVariantMap PropertyMap(const MixerView& view) {
    QVariantMap map;
    for (const Property& property : properties) {
        map.insert(QString::fromLatin1(property.name), property.value(view));
    }
    return map;
}

QVariantMap ChangedProperties(const MixerView& before, const MixerView& now) {
    QVariantMap changed;
    for (const Property& property : properties) {
        if (!property.same(before, now)) {
            changed.insert(QString::fromLatin1(property.name), property.value(now));
        }
    }
    return changed;
}

MixerView ReadCurrentMixerView(const engine::MixerOperations& operations) {
    return ReadMixerView(operations.Mirror(), CurrentLinkState(),
                         SerialPort::DevicePath(comm().MSComm1.CommPort()),
                         operations.StatusReported());
}
