// ardenix: the Dorvane remote-control panel.
#include "core/host.h"
#include "core/startup.h"
#include "core/stopsignals.h"
#include "link/link.h"
#include "service/automation.h"

#include <QApplication>

int main(int argc, char* argv[]) {
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
    // Asked to stop by a signal, the program ends as when its window is closed.
    StopSignals stopSignals;
    stopSignals.SetHandler([](int) {
        if (FrmCommLoaded()) {
            UnloadFrmComm();
        }
        host::EndProgram();
    });
    Main();
    int status = 0;
    if (!host::ProgramEnding()) {
        // The mixer on the session bus while the panel runs.
        const automation::Automation automation;
        status = QApplication::exec();
    }
    // Windows unloaded on the way out are deleted once control is back here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
