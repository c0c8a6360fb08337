// ardenix: the Dorvane remote-control panel, or (--headless) the same engine
// and its session-bus service without a window.
#include "app/networkremote.h"
#include "app/options.h"
#include "app/startup.h"
#include "app/wiring.h"
#include "connection/operations.h"
#include "connection/supervisor.h"
#include "core/hostfacts.h"
#include "core/stopsignals.h"
#include "core/warn.h"
#include "host/host.h"
#include "panel/panel.h"
#include "serial/serial.h"
#include "service/automation.h"
#include "windows/windows.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

// A window needs a display; without one Qt would abort with a riddle.
bool DisplayMissing() {
    return qEnvironmentVariableIsEmpty("DISPLAY") &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[]) {
    // The command line is read before anything touches the window system, so
    // --help and --version work without a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const ProgramOptions options = ParseProgramOptions(arguments);
    switch (options.action) {
    case ProgramOptions::Action::Help:
        std::fputs(HelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case ProgramOptions::Action::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case ProgramOptions::Action::UsageError:
        std::fprintf(stderr, "ardenix: %s (try 'ardenix --help')\n",
                     options.error.toLocal8Bit().constData());
        return 2;
    case ProgramOptions::Action::Run:
        break;
    }
    const bool windowless = options.headless;
    if (!windowless && DisplayMissing()) {
        Warn(QStringLiteral("cannot open a display (DISPLAY and WAYLAND_DISPLAY are unset); use "
                            "--headless to run without one"));
        return 1;
    }
    // A settings file named on the command line must be there to be read.
    if (!options.settings.isEmpty()) {
        const QString problem = GivenSettingsFileProblem(options.settings);
        if (!problem.isEmpty()) {
            Warn(problem);
            return 1;
        }
    }
    if (!options.port.isEmpty()) {
        qputenv("ARDENIX_PORT", QFile::encodeName(options.port));
    }
    SetSettingsFileOption(options.settings);
    // The design's words: the arguments that are no options, joined with blanks.
    host::SetCommandLineText(options.words.join(QLatin1Char(' ')));

    // Without a window the program never touches a window system.
    const std::unique_ptr<QCoreApplication> app =
        windowless ? std::make_unique<QCoreApplication>(argc, argv)
                   : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ardenix"));
    // A second start ends at once: a panel asks the running instance to
    // bring its panel to the front; one that runs without a window says so.
    if (const std::optional<host::OtherInstance> other = host::TakeInstanceLock()) {
        if (other->windowless) {
            Warn(QStringLiteral("already running without a window (pid %1); use ardenixctl")
                     .arg(other->pid));
        } else if (!windowless) {
            automation::ActivateRunningInstance();
        }
        return 0;
    }
    // The mirror of the mixer and the exchange with it, for as long as
    // anything may use them.
    MixerMirror mirror;
    LinkRecord link;
    // The serial control and the communication timers go before the application object.
    struct CommControlsOwner {
        ~CommControlsOwner() { DestroyCommControls(); }
    } commControlsOwner;
    engine::MixerOperations operations{link, mirror};
    // The connection: the port, the timers and the watches.
    connection::Supervisor supervisor(link, mirror, comm());
    // Asked to stop by a signal, the program ends as when its window is
    // closed, once what is held at the mixer (a level running, a key down)
    // was let go.
    StopSignals stopSignals;
    bool stopping = false;
    stopSignals.SetHandler([&operations, &supervisor, &stopping, windowless](int) {
        if (stopping) {
            return;
        }
        stopping = true;
        operations.LetGoEverything([&supervisor, windowless] {
            if (windowless) {
                supervisor.Close();
            } else if (FrmCommLoaded()) {
                UnloadFrmComm();
            }
            host::EndProgram();
        });
    });
    // A panel tells the user of a loss in a box that does not stop the link;
    // start-up's boxes go there too, and start-up goes on once they close.
    host::LoneMessage connectionMessage;
    PanelRefresh panel;
    if (windowless) {
        WireWindowless(supervisor, operations);
    } else {
        WireLayers(panel, supervisor, connectionMessage, operations);
    }
    // The mixer on the session bus from the start, so that callers and a
    // second start find the program while it makes the first contact.
    const automation::Automation automation(operations,
                                            windowless ? std::function<void()>() : &RaisePanel);
    // The network remote, when it is switched on; the panel shows its address.
    const std::unique_ptr<NetworkRemote> network = NetworkRemote::Start(operations, options, &Warn);
    if (!windowless) {
        SetRemoteAddressProvider(
            [&network] { return network ? network->PageAddress() : QString(); });
    }
    Main(link, mirror, connectionMessage, windowless ? &supervisor : nullptr);
    int status = 0;
    if (!host::ProgramEnding()) {
        status = QCoreApplication::exec();
    }
    // Windows unloaded on the way out are deleted once control is back here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
