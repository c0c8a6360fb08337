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

// The JSON text in ASCII only: the console answers one printable line, so
// every other character (names in the mixer's code page can hold any byte)
// goes as a \uXXXX escape, which can only stand inside a string.
std::string AsciiOnly(const QByteArray& json) {
    std::string text;
    text.reserve(static_cast<std::size_t>(json.size()));
    for (const QChar c : QString::fromUtf8(json)) {
        const char16_t unit = c.unicode();
        if (unit >= 0x20 && unit < 0x7F) {
            text += static_cast<char>(unit);
        } else {
            text +=
                QStringLiteral("\\u%1").arg(unsigned(unit), 4, 16, QLatin1Char('0')).toStdString();
        }
    }
    return text;
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
    return AsciiOnly(QJsonDocument(state).toJson(QJsonDocument::Compact));
}

} // namespace sim
