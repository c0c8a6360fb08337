// ardenix: the Dorvane remote-control panel.
#include "app/startup.h"
#include "app/wiring.h"
#include "core/hostfacts.h"
#include "core/stopsignals.h"
#include "host/host.h"
#include "serial/serial.h"
#include "windows/windows.h"

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
    PanelRefresh panel;
    WireLayers(panel);
    Main();
    int status = 0;
    if (!host::ProgramEnding()) {
        status = QApplication::exec();
    }
    // Windows unloaded on the way out are deleted once control is back here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
