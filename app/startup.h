// The start-up procedure of the program.
#pragma once

#include <QString>

struct LinkRecord;  // core/state.h
struct MixerMirror; // core/state.h
namespace connection {
class Supervisor; // connection/supervisor.h
}
namespace host {
class LoneMessage; // host/host.h
}

// Runs start-up: refuses a second instance, reads the command line and the
// settings file, gives the mirror (`mirror`) its first values, finds the
// converter's port, prepares the panel, fills the protocol tables (`link`) and
// shows the communication window (and the debug window in debug mode). A box
// that start-up shows (the fader notice, a settings file error) goes in
// `message` and does not wait: Main returns, and start-up goes on once the
// user closed it; a stop meanwhile ends it there. The program then runs on
// the events of its windows. Without a window (`windowless`, the program's
// supervisor), no window is loaded: the supervisor opens the port and makes
// the first contact itself.
void Main(LinkRecord& link, MixerMirror& mirror, host::LoneMessage& message,
          connection::Supervisor* windowless = nullptr);

// Reads the settings file `fileName` into the shared state: the file given on
// the command line, or the first found of the user's, the system's and the
// program's (settings::FindSettingsFile). An error ends the reading; the
// text of its box is returned (its number, a carriage return and its
// description), empty when the file was read.
QString ReadSettingsFile(const QString& fileName);
// The settings file given on the command line (--settings); empty for none.
// The program checks such a file first (GivenSettingsFileProblem): one that
// cannot be read ends it with status 1 and one line on standard error.
void SetSettingsFileOption(const QString& path);
// Why a file named on the command line cannot be read (missing, unreadable,
// not a regular file), naming it, without "ardenix: " and the line's end;
// empty when it can be read.
QString GivenSettingsFileProblem(const QString& path);
