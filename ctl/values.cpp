#include "ctl/values.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QJsonArray>

namespace ctl {

namespace {

QString Quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString Text(const QJsonValue& value, bool inList) {
    switch (value.type()) {
    case QJsonValue::String:
        return inList || value.toString().isEmpty() ? Quoted(value.toString()) : value.toString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(value.toInteger());
    case QJsonValue::Array: {
        QStringList elements;
        for (const QJsonValue& element : value.toArray()) {
            elements.append(Text(element, true));
        }
        return elements.join(QLatin1Char(' '));
    }
    default:
        return QStringLiteral("?");
    }
}

} // namespace

const QStringList& PropertyNames() {
    static const QStringList names{
        QStringLiteral("Connection"),    QStringLiteral("Port"),
        QStringLiteral("SelectedInput"), QStringLiteral("InputNames"),
        QStringLiteral("InputStatus"),   QStringLiteral("MasterNames"),
        QStringLiteral("MasterLevels"),  QStringLiteral("MasterMuted"),
        QStringLiteral("OverGain"),      QStringLiteral("Mugen"),
        QStringLiteral("SceneNames"),    QStringLiteral("SceneCodes"),
        QStringLiteral("SceneLocked"),   QStringLiteral("RecalledScene")};
    return names;
}

QJsonValue ToJson(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
        return ToJson(value.value<QDBusVariant>().variant());
    }
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        QJsonArray array;
        if (argument.currentType() == QDBusArgument::ArrayType) {
            argument.beginArray();
            while (!argument.atEnd()) {
                array.append(ToJson(argument.asVariant()));
            }
            argument.endArray();
        }
        return array;
    }
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QStringList:
        return QJsonArray::fromStringList(value.toStringList());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return value.toLongLong();
    default:
        return QJsonValue(value.toString());
    }
}

QJsonObject ToJson(const QVariantMap& properties) {
    QJsonObject object;
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        object.insert(it.key(), ToJson(it.value()));
    }
    return object;
}

QString TextLine(const QString& name, const QJsonValue& value, int nameWidth) {
    return name.leftJustified(nameWidth) + QLatin1Char(' ') + Text(value, false);
}

QString StatusText(const QJsonObject& properties) {
    QString text;
    for (const QString& name : PropertyNames()) {
        if (properties.contains(name)) {
            text += TextLine(name, properties.value(name), 13) + QLatin1Char('\n');
        }
    }
    return text;
}

} // namespace ctl
