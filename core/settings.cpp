#include "core/settings.h"

#include "core/state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace settings {
namespace {

// An open file descriptor, closed when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

ReadResult Failure(int error) {
    return ReadResult{true, error, QString::fromLocal8Bit(std::strerror(error))};
}

// Reads `length` bytes at `offset` into a zero-filled buffer; what lies beyond
// the end of the file stays zero. False (with errno set) on a read error.
bool ReadAt(int fd, off_t offset, std::vector<Byte>& out, std::size_t length) {
    out.assign(length, 0);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd, out.data() + done, length - done, offset + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break; // end of file
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Integer Int16At(const std::vector<Byte>& b, std::size_t offset) {
    return static_cast<Integer>(static_cast<std::uint16_t>(b[offset] | (b[offset + 1] << 8)));
}

std::uint16_t UInt16At(const std::vector<Byte>& b, std::size_t offset) {
    return static_cast<std::uint16_t>(b[offset] | (b[offset + 1] << 8));
}

Single SingleAt(const std::vector<Byte>& b, std::size_t offset) {
    const std::uint32_t bits = static_cast<std::uint32_t>(b[offset]) |
                               (static_cast<std::uint32_t>(b[offset + 1]) << 8) |
                               (static_cast<std::uint32_t>(b[offset + 2]) << 16) |
                               (static_cast<std::uint32_t>(b[offset + 3]) << 24);
    Single value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Opens the file as the program expects it, without ever blocking: read and
// write; created (empty) when no entry of that name exists at all, never
// through a link; read-only where writing is not allowed. -1 with errno set
// when it cannot be opened; errno ENOENT then means "missing, and not to be
// created here" (no right to create it, or a link that leads nowhere).
int OpenSettings(const QByteArray& path) {
    constexpr int common = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    struct stat entry {};
    if (::lstat(path.constData(), &entry) != 0) {
        if (errno != ENOENT) {
            return -1;
        }
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | common, 0644);
        if (fd >= 0) {
            return fd;
        }
        if (errno == EACCES || errno == EROFS || errno == EPERM) {
            errno = ENOENT;
            return -1;
        }
        if (errno != EEXIST) {
            return -1;
        }
        // Made by someone else just now: open it as it is.
    }
    const int fd = ::open(path.constData(), O_RDWR | common);
    if (fd >= 0) {
        return fd;
    }
    if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY) {
        // Not writable here: read it as it is.
        return ::open(path.constData(), O_RDONLY | common);
    }
    return -1;
}

// Reads the four blocks from the open file and closes it.
ReadResult ReadBlocks(int fd);

void StoreSystemBlock(const std::vector<Byte>& fixed, const std::vector<Byte>& text) {
    programSetup.systemState.localeCode = Int16At(fixed, 0);
    programSetup.systemState.deviceResponding = Int16At(fixed, 2);
    programSetup.systemState.portIsOpen = Int16At(fixed, 4);
    programSetup.systemState.reserved = Int16At(fixed, 6);
    programSetup.systemState.text =
        QByteArray(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size()));
    // The text holds single-byte characters: whatever lies beyond the end of
    // the file stays zero and is not part of it.
    const qsizetype nul = programSetup.systemState.text.indexOf('\0');
    if (nul >= 0) {
        programSetup.systemState.text.truncate(nul);
    }
}

void StoreSceneSetup(const std::vector<Byte>& block) {
    for (int k = 0; k < sceneCount; ++k) {
        programSetup.sceneSetup.sceneBlocked[static_cast<std::size_t>(k)] =
            Int16At(block, static_cast<std::size_t>(sceneEntriesOffset + k * sceneEntryBytes +
                                                    sceneBlockedOffset));
    }
    for (int k = 0; k < 4; ++k) {
        programSetup.sceneSetup.sceneNumbers[static_cast<std::size_t>(k)] =
            Int16At(block, static_cast<std::size_t>(sceneNumbersOffset + 2 * k));
    }
}

} // namespace

SettingsLocation FindSettingsFile(const QString& fileName, const QString& programDirectory,
                                  const QString& given) {
    if (!given.isEmpty()) {
        return {given, Access::ReadOnly};
    }
    // Relative folders in the variables are ignored, as the base directory
    // rules say.
    const auto absolute = [](const QString& folder) { return QDir::isAbsolutePath(folder); };
    QStringList folders;
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    folders << (absolute(configHome) ? configHome : QDir::homePath() + QStringLiteral("/.config"));
    QStringList configDirs =
        qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    configDirs.removeIf([&absolute](const QString& folder) { return !absolute(folder); });
    folders << (configDirs.isEmpty() ? QStringList{QStringLiteral("/etc/xdg")} : configDirs);
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(QStringLiteral("ardenix/") + fileName);
        if (QFileInfo::exists(path)) {
            return {path, Access::ReadOnly};
        }
    }
    return {QDir(programDirectory).filePath(fileName),
            InstalledLocation(programDirectory) ? Access::Installed : Access::Own};
}

bool InstalledLocation(const QString& programDirectory) {
    const QString canonical = QFileInfo(programDirectory).canonicalFilePath();
    const QString folder =
        QDir::cleanPath(canonical.isEmpty() ? QDir(programDirectory).absolutePath() : canonical);
    for (const QLatin1String prefix : {QLatin1String("/usr"), QLatin1String("/opt")}) {
        if (folder == prefix || folder.startsWith(prefix + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}

QString GivenFileProblem(const QString& path) {
    const int rawFd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (rawFd < 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    const FileDescriptor fd(rawFd);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("not a regular file");
    }
    return {};
}

ReadResult LoadSettingsFile(const QString& path, Access access) {
    const QByteArray nativePath = QFile::encodeName(path);
    if (access != Access::Own) {
        const int fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            const int error = errno;
            // Beside an installed program a missing file (or a link that
            // leads nowhere) is no error: every block stays zero.
            if (access == Access::Installed && error == ENOENT) {
                return {};
            }
            return Failure(error);
        }
        return ReadBlocks(fd);
    }
    const int rawFd = OpenSettings(nativePath);
    if (rawFd < 0) {
        const int error = errno;
        if (error == ENOENT || error == EACCES || error == EROFS || error == EPERM) {
            // Missing and impossible to create here: every block stays zero.
            struct stat st {};
            if (::stat(nativePath.constData(), &st) != 0) {
                return {};
            }
        }
        return Failure(error);
    }
    return ReadBlocks(rawFd);
}

namespace {

ReadResult ReadBlocks(int rawFd) {
    const FileDescriptor fd(rawFd);
    // Only a regular file is a settings file: a FIFO, a device or anything
    // else in its place is an error like a directory there.
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return Failure(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return ReadResult{true, EINVAL, QStringLiteral("Not a regular file")};
    }

    std::vector<Byte> fixed;
    if (!ReadAt(fd.get(), 0, fixed, systemBlockFixedBytes + 2)) {
        return Failure(errno);
    }
    const std::uint16_t textLength = UInt16At(fixed, systemBlockFixedBytes);
    std::vector<Byte> text;
    if (!ReadAt(fd.get(), systemBlockFixedBytes + 2, text, textLength)) {
        return Failure(errno);
    }
    StoreSystemBlock(fixed, text);

    off_t offset = systemBlockFixedBytes + 2 + textLength;
    std::vector<Byte> block;
    if (!ReadAt(fd.get(), offset, block, setupBlockBytes)) {
        return Failure(errno);
    }
    std::memcpy(programSetup.setupBlock.data(), block.data(), setupBlockBytes);
    offset += setupBlockBytes;

    if (!ReadAt(fd.get(), offset, block, sceneSetupBytes)) {
        return Failure(errno);
    }
    StoreSceneSetup(block);
    offset += sceneSetupBytes;

    for (int i = 0; i < sceneCount; ++i) {
        if (!ReadAt(fd.get(), offset, block, sceneMemoryBytes)) {
            return Failure(errno);
        }
        SceneData& scene = programSetup.scenes[static_cast<std::size_t>(i)];
        scene.masterLevel[0] = SingleAt(block, masterLevelOffsetA);
        scene.masterLevel[1] = SingleAt(block, masterLevelOffsetB);
        offset += sceneMemoryBytes;
    }
    return {};
}

} // namespace

Integer FirstLevelFromDecibels(Single level) {
    if (!std::isfinite(level)) {
        return 0;
    }
    const int savedMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(static_cast<double>(level));
    std::fesetround(savedMode);
    if (rounded < -32768.0 || rounded > 32767.0) {
        return 0;
    }
    return static_cast<Integer>(rounded);
}

} // namespace settings
