#include "core/hostfacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringList>

#include <memory>
#include <optional>

namespace host {
namespace {
std::optional<QString> commandLineOverride;
std::optional<QString> programDirectoryOverride;
std::unique_ptr<QLockFile> instanceLock; // held until the process ends
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

void SetCommandLineText(const QString& text) { commandLineOverride = text; }

QString ProgramDirectory() {
    if (programDirectoryOverride) {
        return *programDirectoryOverride;
    }
    return QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath();
}

void SetProgramDirectory(const QString& directory) { programDirectoryOverride = directory; }

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

bool PreviousInstanceRunning() {
    if (instanceLock) {
        return false; // this process holds it already
    }
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::tempPath();
    }
    auto lock = std::make_unique<QLockFile>(QDir(dir).filePath(QStringLiteral("ardenix.lock")));
    lock->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
    if (!lock->tryLock(0)) {
        // tryLock removes a lock whose owner died and retries; a live owner remains.
        return lock->error() == QLockFile::LockFailedError;
    }
    instanceLock = std::move(lock);
    return false;
}

void ProcessPendingEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void WaitUntil(const std::function<bool()>& done) {
    while (!done()) {
        ProcessPendingEvents();
    }
}

bool UserLocaleIsJapanese() { return QLocale::system().language() == QLocale::Japanese; }

} // namespace host
