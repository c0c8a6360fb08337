// The settings file "Initial.vqp": four blocks read once at start-up into
// the program's set-up (programSetup: systemState, setupBlock, sceneSetup
// and scenes). Nothing is ever written back.
//
// Layout (little-endian; Integers and flags 2 bytes, Singles 4 bytes):
//   system block       localeCode, deviceResponding, portIsOpen, one unused
//                      Integer, then a text: a 2-byte count and its characters
//   setup block        236 bytes, read by nothing
//   scene setup block  780 bytes: 128-byte text, two Integers, 20 scene entries
//                      of 32 bytes (scene codes 49..68; the flag at offset 30
//                      of an entry locks its scene), sceneNumbers at 772
//   scene memories     20 records of 4816 bytes; eight 48-byte channel records
//                      from offset 4432, the channel level a Single at offset
//                      12 of each, channels 0 and 1 being masters A and B
// Reading beyond the end of the file leaves zeros.
#pragma once

#include "core/types.h"

#include <QString>

namespace settings {

constexpr int systemBlockFixedBytes = 8;
constexpr int setupBlockBytes = 236;
constexpr int sceneSetupBytes = 780;
constexpr int sceneEntriesOffset = 132;
constexpr int sceneEntryBytes = 32;
constexpr int sceneBlockedOffset = 30; // within a scene entry
constexpr int sceneNumbersOffset = 772;
constexpr int sceneMemoryBytes = 4816;
constexpr int masterLevelOffsetA = 4444; // within a scene memory
constexpr int masterLevelOffsetB = 4492;

struct ReadResult {
    bool failed = false; // an error ended the reading; the blocks hold what was read so far
    int errorNumber = 0; // the system's error number
    QString description; // the system's description of it
};

// Reads the four blocks from `path`. A missing file is created empty where the
// directory allows it (never the target of a link); a file or directory that
// is not writable is read read-only; a missing file that cannot be created, or
// a link that leads nowhere, leaves all blocks zero. Only other errors (an
// unreadable file, a directory, FIFO, device or socket in its place, a read
// error) are reported as failed. Opening never blocks.
// How the file is opened: as the program's own file (read and write, created
// when missing); as the file beside an installed program (only read, and a
// missing one leaves all blocks zero: an installed program never writes into
// its installation folder); or only read (a user's or the system's file, or
// the one given on the command line: never created, never written, a missing
// one an error).
enum class Access { Own, Installed, ReadOnly };
ReadResult LoadSettingsFile(const QString& path, Access access = Access::Own);

// Where the settings file is read from.
struct SettingsLocation {
    QString path;
    Access access = Access::Own;
};
// The file given on the command line when there is one; otherwise the first
// that exists of $XDG_CONFIG_HOME/ardenix/<fileName> (~/.config when unset)
// and <dir>/ardenix/<fileName> for each folder of $XDG_CONFIG_DIRS (/etc/xdg
// when unset), read only; otherwise <fileName> in the program's directory,
// the program's own file, or only read where the program is installed
// (InstalledLocation).
SettingsLocation FindSettingsFile(const QString& fileName, const QString& programDirectory,
                                  const QString& given);

// True when `programDirectory` lies under one of the system's installation
// prefixes (/usr, which holds /usr/local, and /opt), links resolved: a
// program there is installed, not run from a build folder or a user's copy.
bool InstalledLocation(const QString& programDirectory);

// Why the settings file named on the command line cannot be read: empty when
// it can be opened for reading and is a regular file; otherwise the system's
// description of the error, or "not a regular file".
QString GivenFileProblem(const QString& path);

// The first level of a master section from its stored fader level in dB:
// rounded to the nearest integer, halves to the even neighbour; 0 for a value
// that is not finite or lies outside the Integer range.
Integer FirstLevelFromDecibels(Single level);

} // namespace settings
