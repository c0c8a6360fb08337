#include "core/hostfacts.h"

#include "core/warn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <optional>

namespace host {
namespace {
// What tests give instead of the process's command line and folder.
std::optional<QString> commandLineOverride;
std::optional<QString> programDirectoryOverride;
// One instance per user: the lock belongs to the process, held until it ends.
std::unique_ptr<QLockFile> instanceLock;
} // namespace

QString CommandLineText() {
    if (commandLineOverride) {
        return *commandLineOverride;
    }
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty()) {
        args.removeFirst(); // the program's own path
    }
    return args.join(QLatin1Char(' '));
}

void SetCommandLineText(const QString& text) {
    commandLineOverride = text;
}

QString ProgramDirectory() {
    if (programDirectoryOverride) {
        return *programDirectoryOverride;
    }
    return QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath();
}

void SetProgramDirectory(const QString& directory) {
    programDirectoryOverride = directory;
}

QString PictureDirectory() {
    const QString program = QDir::cleanPath(ProgramDirectory());
    if (program.endsWith(QLatin1String("/lib/ardenix"))) {
        const QString shared =
            program.chopped(QStringLiteral("lib/ardenix").size()) + QStringLiteral("share/ardenix");
        if (QFileInfo(shared).isDir()) {
            return shared;
        }
    }
    return program;
}

QString FindFileNoCase(const QString& directory, const QString& name) {
    if (name.isEmpty()) {
        return {};
    }
    const QDir dir(directory);
    if (QFileInfo(dir.filePath(name)).isFile()) {
        return dir.filePath(name);
    }
    const QStringList entries = dir.entryList(QDir::Files | QDir::Readable);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return dir.filePath(entry);
        }
    }
    return {};
}

namespace {

// A folder that no other user can write to: a real directory (not a link)
// owned by this user, without write permission for group or others.
bool IsPrivateFolder(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The per-user runtime folder in the temporary folder, as Qt makes it when
// XDG_RUNTIME_DIR is unset: created with mode 0700 when missing.
QString TemporaryRuntimeFolder() {
    const struct passwd* user = ::getpwuid(::geteuid());
    const QString name = user ? QFile::decodeName(user->pw_name) : QString::number(::geteuid());
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("runtime-") + name);
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    return path;
}

// The user's own folder in the cache folder, created with mode 0700 when missing.
QString CacheRuntimeFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        return {};
    }
    QDir().mkpath(cache);
    const QString own = QDir(cache).filePath(QStringLiteral("ardenix"));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return own;
}

// The folders for the lock, best first, each made only when it is asked
// for: XDG_RUNTIME_DIR, the per-user runtime folder in the temporary folder,
// the user's folder in the cache.
const std::array<QString (*)(), 3> lockFolders = {
    [] { return qEnvironmentVariable("XDG_RUNTIME_DIR"); },
    TemporaryRuntimeFolder,
    CacheRuntimeFolder,
};

} // namespace

namespace {
// Whether the process `pid` was started without a window: its command line
// holds --headless.
bool RunsWindowless(qint64 pid) {
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!commandLine.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QList<QByteArray> words = commandLine.readAll().split('\0');
    return words.contains(QByteArrayLiteral("--headless"));
}
} // namespace

bool PreviousInstanceRunning() {
    return TakeInstanceLock().has_value();
}

std::optional<OtherInstance> TakeInstanceLock() {
    if (instanceLock) {
        return std::nullopt; // this process holds it already
    }
    // The lock is only trusted in a folder that no other user can write to:
    // elsewhere anyone could plant a lock that keeps the program from starting.
    for (const auto& candidate : lockFolders) {
        const QString folder = candidate();
        if (folder.isEmpty() || !IsPrivateFolder(folder)) {
            continue;
        }
        auto lock =
            std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("ardenix.lock")));
        lock->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
        if (lock->tryLock(0)) {
            instanceLock = std::move(lock);
            return std::nullopt;
        }
        // tryLock removes a lock whose owner died and retries; a live owner remains.
        if (lock->error() == QLockFile::LockFailedError) {
            OtherInstance other;
            QString host;
            QString application;
            if (lock->getLockInfo(&other.pid, &host, &application)) {
                other.windowless = RunsWindowless(other.pid);
            }
            return other;
        }
        // The folder does not take the lock file: try the next one.
    }
    Warn(QStringLiteral("no private folder for the single-instance lock; a second start is not "
                        "refused"));
    return std::nullopt;
}

void ReleaseInstanceLock() {
    instanceLock.reset();
}

namespace {
// The program is ending: a fact of the process, asked by every layer.
bool ending = false;
} // namespace

bool ProgramEnding() {
    return ending;
}

void MarkProgramEnding() {
    ending = true;
}

bool UserLocaleIsJapanese() {
    return QLocale::system().language() == QLocale::Japanese;
}

} // namespace host
