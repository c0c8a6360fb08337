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

QString ReadSettingsFile(const QString& fileName) {
    const settings::SettingsLocation where =
        settings::FindSettingsFile(fileName, host::ProgramDirectory(), givenSettingsFile);
    if (programSetup.debugMode == flagTrue) {
        Warn(QStringLiteral("settings file: %1").arg(where.path));
    }
    const settings::ReadResult result = settings::LoadSettingsFile(where.path, where.access);
    if (!result.failed) {
        return {};
    }
    return QString::number(result.errorNumber) + QLatin1Char('\r') + result.description;
}

namespace {

// Steps 4 to 13, once the settings file was read (and its error box closed).
void StartWithSettings(LinkRecord& link, MixerMirror& mirror, connection::Supervisor* windowless) {
    // A stop asked for while a box was open ends start-up there: nothing
    // after it runs, and the port is never opened.
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

// Step 3 and what follows, once the command line's box (if any) was closed.
void StartWithCommandLine(LinkRecord& link, MixerMirror& mirror, host::LoneMessage& message,
                          connection::Supervisor* windowless) {
    if (host::ProgramEnding()) {
        return;
    }
    // 3. The settings file; an error is shown, and start-up goes on once its
    // box is closed.
    const QString error = ReadSettingsFile(QStringLiteral("Initial.vqp"));
    if (error.isEmpty()) {
        StartWithSettings(link, mirror, windowless);
        return;
    }
    message.Show(error, host::mbOkOnly, host::ApplicationTitle(),
                 [&link, &mirror, windowless] { StartWithSettings(link, mirror, windowless); });
}

} // namespace

void Main(LinkRecord& link, MixerMirror& mirror, host::LoneMessage& message,
          connection::Supervisor* windowless) {
    // 1. A second instance ends at once, without a message.
    if (host::PreviousInstanceRunning()) {
        host::EndProgram();
        return;
    }

    // 2. The command line: one debug word, or the fader notice for two words
    // or more; start-up goes on once its box is closed.
    const Integer words = SplitCommandLine();
    if (words >= 2) {
        TellUser(message, MessageKind::FaderNotice, [&link, &mirror, &message, windowless] {
            StartWithCommandLine(link, mirror, message, windowless);
        });
        return;
    }
    programSetup.debugMode =
        words == 1 ? ToFlag(IsDebugWord(programSetup.commandArgs[0])) : flagFalse;
    StartWithCommandLine(link, mirror, message, windowless);
}
