#include "remote/remotecalls.h"

#include "connection/controlnames.h"
#include "connection/levelmotion.h"
#include "core/quoted.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QPointer>
#include <QTimer>

#include <array>
#include <cmath>
#include <limits>

namespace remotecalls {

namespace {

using engine::CommandResult;

// A tapped transport key is held this long.
constexpr int tapMs = 100;

// A method and the names of its arguments.
struct Method {
    const char* name;
    std::array<const char*, 2> arguments; // nullptr where there are fewer
};

const std::array<Method, 9> methods{{
    {"SelectInput", {"input", nullptr}},
    {"SetMute", {"master", "muted"}},
    {"RecallScene", {"scene", nullptr}},
    {"PressTransport", {"key", nullptr}},
    {"ReleaseTransport", {nullptr, nullptr}},
    {"TapTransport", {"key", nullptr}},
    {"StartLevel", {"master", "direction"}},
    {"StopLevel", {"master", nullptr}},
    {"SetLevel", {"master", "level"}},
}};

const Method* FindMethod(const QString& name) {
    for (const Method& method : methods) {
        if (name == QLatin1String(method.name)) {
            return &method;
        }
    }
    return nullptr;
}

Outcome Success(const QJsonObject& result = {}) {
    return Outcome{QString(), QString(), result};
}

Outcome Invalid(const QString& text) {
    return Outcome{invalidArgs, text, {}};
}

// The outcome of an operation's result; `what` names the control (or is the
// text of a Busy or Disabled refusal).
Outcome OutcomeOf(CommandResult result, const QString& what) {
    if (result == CommandResult::Done) {
        return Success();
    }
    if (result == CommandResult::Invalid) {
        return Invalid(what);
    }
    return Outcome{engine::ResultName(result), controlnames::RefusalText(result, what), {}};
}

// The call's arguments, each read once and checked; the first fault is kept.
class Arguments {
public:
    Arguments(const Method& method, const QJsonObject& params) : params_(params) {
        for (auto it = params.begin(); it != params.end(); ++it) {
            bool known = false;
            for (const char* name : method.arguments) {
                known = known || (name != nullptr && it.key() == QLatin1String(name));
            }
            if (!known) {
                Fail(QStringLiteral("%1 takes no argument \"%2\"")
                         .arg(QLatin1String(method.name), QuotedArgument(it.key())));
                return;
            }
        }
    }
    bool Failed() const { return !fault_.isEmpty(); }
    const QString& Fault() const { return fault_; }

    std::optional<int> Integer(const char* name, int lowest, int highest, const QString& range) {
        const QJsonValue value = Value(name);
        if (!value.isDouble()) {
            Missing(name, QStringLiteral("a number"));
            return std::nullopt;
        }
        const double number = value.toDouble();
        if (!std::isfinite(number) || number != std::floor(number) || number < lowest ||
            number > highest) {
            Fail(QStringLiteral("no %1 %2: %3")
                     .arg(QLatin1String(name), QuotedArgument(QString::number(number, 'g', 17)),
                          range));
            return std::nullopt;
        }
        return static_cast<int>(number);
    }
    std::optional<bool> Boolean(const char* name) {
        const QJsonValue value = Value(name);
        if (!value.isBool()) {
            Missing(name, QStringLiteral("true or false"));
            return std::nullopt;
        }
        return value.toBool();
    }
    // The index of a name among a control's names (`index` gives -1 for none).
    template <class Index>
    std::optional<int> Name(const char* name, Index index, const QString& names) {
        const QJsonValue value = Value(name);
        if (!value.isString()) {
            Missing(name, QStringLiteral("a text"));
            return std::nullopt;
        }
        const int found = index(value.toString());
        if (found < 0) {
            Fail(QStringLiteral("no %1 \"%2\": %3")
                     .arg(QLatin1String(name), QuotedArgument(value.toString()), names));
            return std::nullopt;
        }
        return found;
    }

private:
    QJsonValue Value(const char* name) const {
        return Failed() ? QJsonValue(QJsonValue::Undefined) : params_.value(QLatin1String(name));
    }
    void Missing(const char* name, const QString& kind) {
        Fail(QStringLiteral("\"%1\" must be %2").arg(QLatin1String(name), kind));
    }
    void Fail(const QString& text) {
        if (fault_.isEmpty()) {
            fault_ = text;
        }
    }

    const QJsonObject& params_;
    QString fault_;
};

int DirectionIndex(QStringView name) {
    return name == QLatin1String("up") ? 0 : name == QLatin1String("down") ? 1 : -1;
}

const QString masterList = QStringLiteral("the masters are A and B");

// Runs an operation that answers at once: done, unless sending found the
// line dead (the link went down with it).
void Instant(CommandResult result, const QString& what, const Answer& answer) {
    if (result == CommandResult::Done && !engine::LinkOnline()) {
        answer(Outcome{
            engine::ResultName(CommandResult::NotConnected), controlnames::LinkLostText(), {}});
        return;
    }
    answer(OutcomeOf(result, what));
}

} // namespace

bool IsMethod(const QString& method) {
    return FindMethod(method) != nullptr;
}

void Run(engine::MixerOperations& operations, const engine::Caller& caller,
         const QString& methodName, const QJsonObject& params, QObject* context, Answer answer) {
    const Method* method = FindMethod(methodName);
    if (method == nullptr) {
        answer(Outcome{
            unknownMethod, QStringLiteral("no method \"%1\"").arg(QuotedArgument(methodName)), {}});
        return;
    }
    Arguments args(*method, params);
    const QString name = QLatin1String(method->name);
    const QString keyList = QStringLiteral("the keys are ") + controlnames::TransportKeyList();
    // Whether the caller is still there to hear a late answer (no context: always).
    const auto there = [alive = QPointer<QObject>(context), watched = context != nullptr] {
        return !watched || !alive.isNull();
    };

    if (name == QLatin1String("SelectInput")) {
        const auto input =
            args.Integer("input", 1, engine::inputCount, QStringLiteral("the inputs are 1..6"));
        if (!input) {
            answer(Invalid(args.Fault()));
            return;
        }
        Instant(operations.SelectInput(caller, *input - 1), QString(), answer);
    } else if (name == QLatin1String("SetMute")) {
        const auto master = args.Name("master", controlnames::MasterIndex, masterList);
        const auto muted = args.Boolean("muted");
        if (args.Failed()) {
            answer(Invalid(args.Fault()));
            return;
        }
        Instant(operations.SetMute(caller, *master, *muted), controlnames::MasterName(*master),
                answer);
    } else if (name == QLatin1String("RecallScene")) {
        const auto button = args.Name("scene", controlnames::SceneButtonIndex,
                                      QStringLiteral("the scenes are A, B, C and D"));
        if (!button) {
            answer(Invalid(args.Fault()));
            return;
        }
        const QString scene = controlnames::SceneButtonName(*button);
        const CommandResult result =
            operations.RecallScene(caller, *button, [there, answer, scene](CommandResult done) {
                if (there()) {
                    answer(OutcomeOf(done, scene));
                }
            });
        if (result == CommandResult::Busy) {
            answer(OutcomeOf(result, QStringLiteral("a scene recall is under way")));
        } else if (result == CommandResult::Disabled) {
            answer(OutcomeOf(result, QStringLiteral("scene button %1 holds no scene").arg(scene)));
        } else if (result != CommandResult::Done) {
            answer(OutcomeOf(result, scene));
        }
    } else if (name == QLatin1String("PressTransport") || name == QLatin1String("TapTransport")) {
        const auto key = args.Name("key", controlnames::TransportKeyIndex, keyList);
        if (!key) {
            answer(Invalid(args.Fault()));
            return;
        }
        const CommandResult pressed = operations.PressTransport(caller, *key);
        if (name == QLatin1String("PressTransport") || pressed != CommandResult::Done) {
            Instant(pressed, controlnames::TransportText(pressed), answer);
            return;
        }
        // The key is let go even when the caller has gone meanwhile.
        QTimer::singleShot(tapMs, &operations, [&operations, caller, answer, there] {
            const CommandResult released = operations.ReleaseTransport(caller);
            if (there()) {
                answer(OutcomeOf(released, controlnames::TransportText(released)));
            }
        });
    } else if (name == QLatin1String("ReleaseTransport")) {
        if (args.Failed()) {
            answer(Invalid(args.Fault()));
            return;
        }
        const CommandResult released = operations.ReleaseTransport(caller);
        Instant(released, controlnames::TransportText(released), answer);
    } else if (name == QLatin1String("StartLevel")) {
        const auto master = args.Name("master", controlnames::MasterIndex, masterList);
        const auto direction = args.Name("direction", DirectionIndex, QStringLiteral("up or down"));
        if (args.Failed()) {
            answer(Invalid(args.Fault()));
            return;
        }
        const CommandResult result = operations.PressLevel(caller, *master, *direction == 1);
        Instant(result, controlnames::LevelText(operations, result, *master), answer);
    } else if (name == QLatin1String("StopLevel")) {
        const auto master = args.Name("master", controlnames::MasterIndex, masterList);
        if (!master) {
            answer(Invalid(args.Fault()));
            return;
        }
        const CommandResult result = operations.ReleaseLevel(caller, *master);
        Instant(result, controlnames::LevelText(operations, result, *master), answer);
    } else if (name == QLatin1String("SetLevel")) {
        const auto master = args.Name("master", controlnames::MasterIndex, masterList);
        const auto level = args.Integer("level", LevelMotion::lowestStep, LevelMotion::highestStep,
                                        QStringLiteral("the steps are 0..30"));
        if (args.Failed()) {
            answer(Invalid(args.Fault()));
            return;
        }
        const QString masterName = controlnames::MasterName(*master);
        const CommandResult result = operations.SetLevel(
            caller, *master, *level, [there, answer, masterName](CommandResult done, int reached) {
                if (!there()) {
                    return;
                }
                if (done == CommandResult::Done) {
                    answer(Success(QJsonObject{{QStringLiteral("reached"), reached}}));
                } else {
                    answer(
                        OutcomeOf(done, done == CommandResult::NotConnected && engine::LinkOnline()
                                            ? QStringLiteral("the mixer did not report the level")
                                            : masterName));
                }
            });
        if (result != CommandResult::Done) {
            answer(OutcomeOf(result, controlnames::LevelText(operations, result, *master)));
        }
    }
}

std::optional<QJsonObject> ParamsOfBody(const QByteArray& body) {
    if (body.trimmed().isEmpty()) {
        return QJsonObject();
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

int HttpStatus(const QString& error) {
    if (error.isEmpty()) {
        return 200;
    }
    if (error == invalidArgs) {
        return 400;
    }
    if (error == unknownMethod) {
        return 404;
    }
    if (error == engine::ResultName(CommandResult::SceneLocked)) {
        return 423;
    }
    return 409; // NotConnected, Muted, Busy, Disabled
}

QJsonObject HttpBody(const Outcome& outcome) {
    if (outcome.error.isEmpty()) {
        return outcome.result;
    }
    return QJsonObject{{QStringLiteral("error"), outcome.error},
                       {QStringLiteral("message"), outcome.message}};
}

} // namespace remotecalls
