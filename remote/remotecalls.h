// The remote's calls: a method of the bus interface org.ardenix.Mixer1 by its
// name, with its arguments as a JSON object of named values, run through the
// mixer's operations exactly as the bus runs it. HTTP and the WebSocket both
// call through here.
#pragma once

#include "connection/operations.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace remotecalls {

// What became of a call.
struct Outcome {
    QString error;      // empty when it succeeded; else the error's name
    QString message;    // why, for a person
    QJsonObject result; // what it returns ({} when nothing)
};
using Answer = std::function<void(const Outcome&)>;

// The error of a method that does not exist.
inline const QString unknownMethod = QStringLiteral("UnknownMethod");
// The error of arguments that are missing, of the wrong type or out of range.
inline const QString invalidArgs = QStringLiteral("InvalidArgs");

// Whether `method` is one of the interface's methods.
bool IsMethod(const QString& method);

// Runs `method` with `params` for `caller`; `answer` hears once what became
// of it: at once, or when a call that takes time ends (RecallScene,
// TapTransport, SetLevel) — unless `context` is gone by then.
void Run(engine::MixerOperations& operations, const engine::Caller& caller, const QString& method,
         const QJsonObject& params, QObject* context, Answer answer);

// The arguments in an HTTP request's body: a JSON object (an empty body
// being none); nothing when the body is anything else.
std::optional<QJsonObject> ParamsOfBody(const QByteArray& body);

// The HTTP status of an outcome's error (200 for none).
int HttpStatus(const QString& error);

// An outcome as the JSON object HTTP answers with: the result, or
// {"error":..., "message":...}.
QJsonObject HttpBody(const Outcome& outcome);

} // namespace remotecalls
