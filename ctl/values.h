// The mixer's properties as ardenixctl prints them: every value received
// from the bus becomes a JSON value (a string, a number, a boolean or an array
// of those), printed as JSON or as a line of text.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

namespace ctl {

// The interface's properties in its order.
const QStringList& PropertyNames();

// A value as QtDBus hands it over (arrays of numbers and booleans still
// marshalled) as JSON.
QJsonValue ToJson(const QVariant& value);
QJsonObject ToJson(const QVariantMap& properties);

// "Name value": strings as they are, in a list each in double quotes;
// numbers; true and false; list elements separated by a blank.
QString TextLine(const QString& name, const QJsonValue& value, int nameWidth = 0);

// The text of `status`: one line per property, in the interface's order.
QString StatusText(const QJsonObject& properties);

} // namespace ctl
