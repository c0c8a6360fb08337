// Facts of the running program that the window system provides and that need
// no window: the command-line text, the program's directory, the
// previous-instance test, file lookup by case-insensitive name, and waiting by
// processing pending events.
#pragma once

#include <QString>

#include <optional>

namespace host {

// The program's arguments joined with single blanks, in order. Tests may set it.
QString CommandLineText();
void SetCommandLineText(const QString& text);

// The directory that holds the running executable (links resolved). Tests and
// tools may point it elsewhere.
QString ProgramDirectory();
void SetProgramDirectory(const QString& directory);
// The directory of the program's bitmaps: for a program installed as
// <prefix>/lib/ardenix/ardenix, <prefix>/share/ardenix when that exists (they
// are the same on every architecture); otherwise the program's directory (a
// build folder, a user's copy).
QString PictureDirectory();

// The path of the file called `name` in `directory`, matched without regard to
// letter case; an exact match wins. Empty when there is none.
QString FindFileNoCase(const QString& directory, const QString& name);

// True when another instance holds the program's lock, "ardenix.lock" in the
// user's private runtime folder: $XDG_RUNTIME_DIR, or when that is unset or
// unusable a per-user folder of mode 0700 ("runtime-<user>" in the temporary
// folder, else "ardenix" in the user's cache folder); a folder that another
// user can write to is never used. Otherwise this process takes the lock and
// keeps it until it ends; a lock left by a dead process is taken over.
bool PreviousInstanceRunning();
// The same, telling of the other instance when one holds the lock: its
// process and whether it runs without a window (started with --headless);
// empty when this process holds the lock now (or no private folder takes it).
struct OtherInstance {
    qint64 pid = 0;
    bool windowless = false;
};
std::optional<OtherInstance> TakeInstanceLock();
// Lets go of the single-instance lock (its file is removed) before the
// process ends, for a caller that removes the lock's folder itself.
void ReleaseInstanceLock();

// True once the program is ending: nothing more is shown or started.
bool ProgramEnding();
// Marks the program as ending (the host layer's EndProgram does, with the
// windows closed).
void MarkProgramEnding();

// The user's locale is Japanese.
bool UserLocaleIsJapanese();

} // namespace host
