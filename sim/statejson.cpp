#include "sim/statejson.h"

#include "sim/levelcode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace sim {

namespace {

QString Text(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString Motion(int ramp) {
    if (ramp > 0) {
        return QStringLiteral("up");
    }
    return ramp < 0 ? QStringLiteral("down") : QStringLiteral("none");
}

} // namespace

std::string StateJson(const MixerModel& model) {
    QJsonArray inputs;
    for (const Input& input : model.inputs) {
        inputs.append(QJsonObject{{"name", Text(input.name)}, {"status", input.status}});
    }
    QJsonArray masters;
    for (const Master& master : model.masters) {
        masters.append(QJsonObject{{"name", Text(master.name)},
                                   {"level", master.level},
                                   {"levelCode", LevelCode(master.level)},
                                   {"muted", master.muted},
                                   {"overGain", master.overGain},
                                   {"mugen", master.mugen},
                                   {"motion", Motion(master.ramp)}});
    }
    QJsonArray sceneSlots;
    QJsonArray names;
    for (const int code : model.sceneSlots) {
        sceneSlots.append(code);
        const Scene* scene = model.SceneOf(code);
        names.append(scene != nullptr ? Text(scene->name) : QString());
    }
    const QJsonObject state{{"inputs", inputs},
                            {"masters", masters},
                            {"selectedInput", model.selectedInput},
                            {"recall", model.recall},
                            {"transportKey", TransportKeyIndex(model.transportCode)},
                            {"transportCode", QString(QChar::fromLatin1(model.transportCode))},
                            {"sceneSlots", sceneSlots},
                            {"sceneNames", names}};
    return QJsonDocument(state).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace sim
