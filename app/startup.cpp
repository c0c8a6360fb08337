#include "app/startup.h"

#include "connection/supervisor.h"
#include "core/commandline.h"
#include "core/hostfacts.h"
#include "core/settings.h"
#include "core/state.h"
#include "core/warn.h"
#include "host/host.h"
#include "panel/panel.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "windows/frmcomm.h"
#include "windows/frmdebug.h"
#include "windows/windows.h"

#include <QDir>

namespace {
QString givenSettingsFile; // --settings
} // namespace

QString GivenSettingsFileProblem(const QString& path) {
    const QString problem = settings::GivenFileProblem(path);
    if (problem.isEmpty()) {
        return {};
    }
    return QStringLiteral("cannot read the settings file %1: %2").arg(path, problem);
}

void SetSettingsFileOption(const QString& path) {
    givenSettingsFile = path;
}

void ReadSettingsFile(const QString& fileName) {
    const settings::SettingsLocation where =
        settings::FindSettingsFile(fileName, host::ProgramDirectory(), givenSettingsFile);
    if (programSetup.debugMode == flagTrue) {
        Warn(QStringLiteral("settings file: %1").arg(where.path));
    }
    const settings::ReadResult result = settings::LoadSettingsFile(where.path, where.access);
    if (result.failed) {
        host::MsgBox(QString::number(result.errorNumber) + QLatin1Char('\r') + result.description,
                     host::mbOkOnly, host::ApplicationTitle());
    }
}

void Main(LinkRecord& link, MixerMirror& mirror, connection::Supervisor* windowless) {
    // 1. A second instance ends at once, without a message.
    if (host::PreviousInstanceRunning()) {
        host::EndProgram();
        return;
    }

    // 2. The command line: one debug word, or the fader notice for two words or more.
    const Integer words = SplitCommandLine();
    if (words == 0) {
        programSetup.debugMode = flagFalse;
    } else if (words == 1) {
        programSetup.debugMode = ToFlag(IsDebugWord(programSetup.commandArgs[0]));
    } else {
        ShowMessage(MessageKind::FaderNotice);
    }
    // A stop asked for while a box was open ends start-up there: nothing
    // after it runs, and the port is never opened.
    if (host::ProgramEnding()) {
        return;
    }

    // 3. The settings file.
    ReadSettingsFile(QStringLiteral("Initial.vqp"));
    if (host::ProgramEnding()) {
        return;
    }

    // 4, 5. First values of the panel state and the scene names.
    SetFirstPanelValues(mirror);

    // 6, 7. Locale and label font.
    programSetup.systemState.localeCode = GetLocaleCode();
    programSetup.labelFont = LabelFontFor(programSetup.systemState.localeCode);

    // 8. The converter's port.
    FindConverterPort();

    // 9. The panel's picture list (touching the panel loads it).
    if (windowless == nullptr) {
        FillPanelImageList();
    }

    // 10. The reply tables.
    InitProtocolTables(link, mirror);

    // Without a window the supervisor itself opens the port and reads the
    // mixer; the boxes are lines on standard error.
    if (windowless != nullptr) {
        windowless->Start();
        return;
    }

    // 11. The communication window: it opens the port, reads the mixer and
    // shows the panel. A stop while its load shows message 1 unloads it
    // again; showing it then does nothing.
    frmComm().Show();
    if (host::ProgramEnding()) {
        return;
    }

    // 12. The debug window, in debug mode.
    if (programSetup.debugMode == flagTrue) {
        frmDebug().Show();
    }

    // 13. Return: the program runs on the events of its windows.
}
