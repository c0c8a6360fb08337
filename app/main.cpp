// ardenix: the Dorvane remote-control panel.
#include "app/options.h"
#include "app/startup.h"
#include "app/wiring.h"
#include "connection/supervisor.h"
#include "core/hostfacts.h"
#include "core/stopsignals.h"
#include "host/host.h"
#include "panel/panel.h"
#include "serial/serial.h"
#include "service/automation.h"
#include "windows/windows.h"

#include <QApplication>
#include <QFile>

#include <cstdio>

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
    if (!options.port.isEmpty()) {
        qputenv("ARDENIX_PORT", QFile::encodeName(options.port));
    }
    SetSettingsFileOption(options.settings);
    // The design's words: the arguments that are no options, joined with blanks.
    host::SetCommandLineText(options.words.join(QLatin1Char(' ')));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ardenix"));
    // A second start ends at once, without a message, once the running
    // instance was asked to bring its panel to the front.
    if (host::PreviousInstanceRunning()) {
        automation::ActivateRunningInstance();
        return 0;
    }
    // The serial control and the communication timers go before the application object.
    struct CommControlsOwner {
        ~CommControlsOwner() { DestroyCommControls(); }
    } commControlsOwner;
    engine::MixerOperations operations;
    // Asked to stop by a signal, the program ends as when its window is
    // closed, once what is held at the mixer (a level running, a key down)
    // was let go.
    StopSignals stopSignals;
    bool stopping = false;
    stopSignals.SetHandler([&operations, &stopping](int) {
        if (stopping) {
            return;
        }
        stopping = true;
        operations.LetGoEverything([] {
            if (FrmCommLoaded()) {
                UnloadFrmComm();
            }
            host::EndProgram();
        });
    });
    // The connection: the port, the timers and the watches; it tells the
    // user of a loss in a box that does not stop it.
    connection::Supervisor supervisor(comm());
    host::LoneMessage connectionMessage;
    PanelRefresh panel;
    WireLayers(panel, supervisor, connectionMessage, operations);
    // The mixer on the session bus from the start, so that callers and a
    // second start find the program while it makes the first contact.
    const automation::Automation automation(operations, &RaisePanel);
    Main();
    int status = 0;
    if (!host::ProgramEnding()) {
        status = QApplication::exec();
    }
    // Windows unloaded on the way out are deleted once control is back here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
