// ardenixctl: operates and watches the Dorvane mixer through the running
// ardenix panel, over the session bus.
#include "core/remoteaddress.h"
#include "core/remotetoken.h"
#include "core/stopsignals.h"
#include "ctl/commandline.h"
#include "ctl/mixerclient.h"
#include "ctl/values.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

using namespace ctl;

constexpr int success = 0;
constexpr int failure = 1;
constexpr int usageError = 2;

// The longest a call may take: SetLevel ends within 10 s, a scene recall
// waits about 750 ms.
constexpr int callTimeoutMs = 15000;

void Print(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// One line on standard error.
void Say(const QString& what) {
    const QByteArray line = QStringLiteral("ardenixctl: %1\n").arg(what).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
}

int Failure(const QString& what) {
    Say(what);
    return failure;
}

int Report(const Outcome& outcome) {
    return outcome.ok ? success : Failure(outcome.error);
}

int Status(MixerClient& client, bool json) {
    const Outcome outcome = client.Properties();
    if (!outcome.ok) {
        return Failure(outcome.error);
    }
    const QJsonObject properties = ToJson(outcome.values.value(0).toMap());
    if (json) {
        Print(QString::fromUtf8(QJsonDocument(properties).toJson(QJsonDocument::Compact)) +
              QLatin1Char('\n'));
    } else {
        Print(StatusText(properties));
    }
    return success;
}

int Mute(MixerClient& client, const Request& request) {
    bool muted = request.mute == MuteAction::On;
    if (request.mute == MuteAction::Toggle) {
        const Outcome now = client.Property(QStringLiteral("MasterMuted"));
        if (!now.ok) {
            return Failure(now.error);
        }
        const QJsonArray flags = ToJson(now.values.value(0)).toArray();
        const qsizetype m = request.master == QLatin1String("A") ? 0 : 1;
        if (flags.size() <= m) {
            return Failure(
                QStringLiteral("ardenix reported no muting for master %1").arg(request.master));
        }
        muted = !flags.at(m).toBool();
    }
    return Report(client.Call(QStringLiteral("SetMute"), {request.master, muted}, callTimeoutMs));
}

int Level(MixerClient& client, const Request& request) {
    const Outcome outcome =
        client.Call(QStringLiteral("SetLevel"), {request.master, request.step}, callTimeoutMs);
    if (!outcome.ok) {
        return Failure(outcome.error);
    }
    Print(QString::number(outcome.values.value(0).toInt()) + QLatin1Char('\n'));
    return success;
}

// Holds the key for the time asked; an interruption lets it go at once.
int HoldTransport(MixerClient& client, const Request& request) {
    const Outcome pressed =
        client.Call(QStringLiteral("PressTransport"), {request.key}, callTimeoutMs);
    if (!pressed.ok) {
        return Failure(pressed.error);
    }
    QEventLoop loop;
    bool interrupted = false;
    StopSignals interruption;
    interruption.SetHandler([&loop, &interrupted](int) {
        interrupted = true;
        loop.quit();
    });
    QTimer::singleShot(*request.holdMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const Outcome released = client.Call(QStringLiteral("ReleaseTransport"), {}, callTimeoutMs);
    if (!released.ok) {
        return Failure(released.error);
    }
    return interrupted ? Failure(QStringLiteral("interrupted: the key was let go early")) : success;
}

// Prints the service's properties, then each PropertiesChanged, until
// interrupted or the panel ends. With no panel running it waits for one, or
// fails at once when told not to wait.
class Watcher : public QObject {
    Q_OBJECT

public:
    Watcher(MixerClient& client, const Request& request)
        : client_(client), json_(request.json), wait_(request.wait) {}

    int Run() {
        // Listen first, then look: no change falls between the two.
        if (!client_.Bus().connect(serviceName, objectPath, propertiesInterface,
                                   QStringLiteral("PropertiesChanged"), this,
                                   SLOT(Changed(QDBusMessage)))) {
            return Failure(QStringLiteral("ardenix is not running (no session bus)"));
        }
        QDBusServiceWatcher watcher(serviceName, client_.Bus(),
                                    QDBusServiceWatcher::WatchForRegistration |
                                        QDBusServiceWatcher::WatchForUnregistration);
        connect(&watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { Begin(); });
        connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            if (begun_) {
                Stop(Failure(QStringLiteral("ardenix has ended")));
            }
        });
        if (client_.ServiceRunning()) {
            Begin();
        } else if (!wait_) {
            return Failure(QStringLiteral("ardenix is not running"));
        } else {
            Say(QStringLiteral("waiting for ardenix to start"));
        }
        StopSignals interruption;
        interruption.SetHandler([this](int) { Stop(success); });
        if (!stopped_) {
            loop_.exec();
        }
        return status_;
    }

private slots:
    void Changed(const QDBusMessage& signal) {
        const QList<QVariant> arguments = signal.arguments();
        if (!begun_ || arguments.size() < 2 || arguments[0].toString() != mixerInterface) {
            return;
        }
        PrintValues(ToJson(qdbus_cast<QVariantMap>(arguments[1])));
    }

private:
    // The current values, once the panel is there.
    void Begin() {
        if (begun_) {
            return;
        }
        const Outcome outcome = client_.Properties();
        if (!outcome.ok) {
            Stop(Failure(outcome.error));
            return;
        }
        begun_ = true;
        PrintValues(ToJson(outcome.values.value(0).toMap()));
    }

    void PrintValues(const QJsonObject& values) {
        if (json_) {
            Print(QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact)) +
                  QLatin1Char('\n'));
            return;
        }
        QString lines;
        for (const QString& name : PropertyNames()) {
            if (values.contains(name)) {
                lines += TextLine(name, values.value(name)) + QLatin1Char('\n');
            }
        }
        Print(lines);
    }

    void Stop(int status) {
        status_ = status;
        stopped_ = true;
        loop_.quit();
    }

    MixerClient& client_;
    bool json_;
    bool wait_;
    bool begun_ = false;
    bool stopped_ = false;
    QEventLoop loop_;
    int status_ = success;
};

// The page's address with the token, and where qrencode is installed and the
// address goes to a terminal, its QR code below it.
int Remote() {
    QString problem;
    const std::optional<QByteArray> token = remotetoken::Load(&problem);
    if (!token) {
        return Failure(problem);
    }
    const QString address =
        remoteaddress::PageAddress(remoteaddress::ReadPlace(QCoreApplication::applicationDirPath()),
                                   QString::fromUtf8(*token), QSysInfo::machineHostName());
    Print(address + QLatin1Char('\n'));
    const QString qrencode = QStandardPaths::findExecutable(QStringLiteral("qrencode"));
    if (qrencode.isEmpty() || ::isatty(STDOUT_FILENO) == 0) {
        return success;
    }
    QProcess drawing;
    drawing.start(qrencode, {QStringLiteral("-t"), QStringLiteral("UTF8"), QStringLiteral("-o"),
                             QStringLiteral("-"), address});
    if (drawing.waitForFinished(callTimeoutMs) && drawing.exitStatus() == QProcess::NormalExit &&
        drawing.exitCode() == 0) {
        Print(QString::fromUtf8(drawing.readAllStandardOutput()));
    }
    return success;
}

int Run(const Request& request) {
    if (request.command == Command::Remote) {
        return Remote(); // needs no bus
    }
    MixerClient client;
    switch (request.command) {
    case Command::Help:
        Print(HelpText());
        return success;
    case Command::Version:
        Print(QStringLiteral("ardenixctl %1\n").arg(QStringLiteral(ARDENIXCTL_VERSION)));
        return success;
    case Command::Status:
        return Status(client, request.json);
    case Command::Input:
        return Report(client.Call(QStringLiteral("SelectInput"), {request.input}, callTimeoutMs));
    case Command::Mute:
        return Mute(client, request);
    case Command::Recall:
        return Report(client.Call(QStringLiteral("RecallScene"), {request.button}, callTimeoutMs));
    case Command::Level:
        return Level(client, request);
    case Command::Transport:
        if (request.holdMs) {
            return HoldTransport(client, request);
        }
        return Report(client.Call(QStringLiteral("TapTransport"), {request.key}, callTimeoutMs));
    case Command::Watch: {
        Watcher watcher(client, request);
        return watcher.Run();
    }
    case Command::Remote:
        break;
    }
    return usageError;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const Parsed parsed = ParseCommandLine(arguments);
    if (!parsed.request) {
        const QByteArray text = QStringLiteral("ardenixctl: %1\nTry 'ardenixctl --help'.\n")
                                    .arg(parsed.error)
                                    .toLocal8Bit();
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        return usageError;
    }
    return Run(*parsed.request);
}

#include "main.moc"
