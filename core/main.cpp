// ardenix: the Dorvane remote-control panel.
#include "core/host.h"
#include "core/startup.h"
#include "core/stopsignals.h"
#include "link/link.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ardenix"));
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
        status = QApplication::exec();
    }
    // Windows unloaded on the way out are deleted once control is back here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
