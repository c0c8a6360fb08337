#include "connection/devicewatch.h"

#include "core/warn.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <vector>

namespace {

constexpr char portVariable[] = "ARDENIX_PORT";

// What makes an entry the same entry: its inode and, for a link, where it points.
QString Identity(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    QString identity = QString::number(static_cast<qulonglong>(info.st_ino));
    if (S_ISLNK(info.st_mode)) {
        identity += QStringLiteral("->") + QFile::symLinkTarget(path);
    }
    return identity;
}

// A character device, itself or at the end of its links.
bool IsCharacterDevice(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

DeviceWatch::DeviceWatch(const QString& directory, const QString& portName)
    : directory_(QDir(directory).absolutePath()), portName_(portName) {
    QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged,
                     [this](const QString&) { Rescan(); });
    if (!watcher_.addPath(directory_)) {
        Warn(QStringLiteral("cannot watch %1 for arriving devices").arg(directory_));
    }
    // The entries present now are no arrivals.
    const QDir dir(directory_);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        listing_[name] = Identity(dir.filePath(name));
    }
}

bool DeviceWatch::IsPortEntry(const QString& name) const {
    const bool portName =
        name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")) ||
        name.startsWith(QLatin1String("ttyS")) || (!portName_.isEmpty() && name == portName_);
    return portName && IsCharacterDevice(QDir(directory_).filePath(name));
}

void DeviceWatch::Rescan() {
    const QDir dir(directory_);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    std::map<QString, QString> current;
    std::vector<QString> arrived;
    for (const QString& name : names) {
        const QString identity = Identity(dir.filePath(name));
        const auto known = listing_.find(name);
        if (known == listing_.end() || known->second != identity) {
            arrived.push_back(name);
        }
        current.emplace(name, identity);
    }
    // The listing is brought up to date before anyone hears of the arrivals:
    // a handler may wait for events, and this scan may then run again inside it.
    listing_ = std::move(current);
    if (!handler_) {
        return;
    }
    // One port notification per change of the directory, however many of its
    // nodes and links came at once; every other entry is told as it is.
    QString port;
    std::vector<QString> others;
    for (const QString& name : arrived) {
        if (IsPortEntry(name)) {
            if (port.isEmpty()) {
                port = name;
            }
        } else {
            others.push_back(name);
        }
    }
    const Handler handler = handler_;
    for (const QString& name : others) {
        handler(otherDeviceType, name);
    }
    if (!port.isEmpty()) {
        handler(portDeviceType, port);
    }
}

QString DeviceWatch::PortDirectory() {
    const QString fromEnvironment = qEnvironmentVariable(portVariable);
    if (fromEnvironment.isEmpty()) {
        return QStringLiteral("/dev");
    }
    return QFileInfo(fromEnvironment).absolutePath();
}

QString DeviceWatch::PortFileName() {
    const QString fromEnvironment = qEnvironmentVariable(portVariable);
    return fromEnvironment.isEmpty() ? QString() : QFileInfo(fromEnvironment).fileName();
}
