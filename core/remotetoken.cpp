#include "core/remotetoken.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace remotetoken {

namespace {

constexpr qsizetype longestToken = 1024;

// A file descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QString ErrorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray NewToken() {
    std::array<quint32, 6> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()),
                           static_cast<qsizetype>(sizeof(words)));
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// Reads the token from an existing file; nothing when it is missing (errno
// ENOENT) or not to be trusted (`problem` says why).
std::optional<QByteArray> ReadExisting(const QString& path, QString* problem, bool* missing) {
    *missing = false;
    const QByteArray name = QFile::encodeName(path);
    const Descriptor file(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        const int error = errno;
        if (error == ENOENT) {
            *missing = true;
        } else if (error == ELOOP) {
            *problem = QStringLiteral("%1 is a symbolic link; a link is not followed").arg(path);
        } else {
            *problem = QStringLiteral("%1: %2").arg(path, ErrorText(error));
        }
        return std::nullopt;
    }
    struct stat facts {};
    if (::fstat(file.get(), &facts) != 0) {
        *problem = QStringLiteral("%1: %2").arg(path, ErrorText(errno));
        return std::nullopt;
    }
    if (!S_ISREG(facts.st_mode)) {
        *problem = QStringLiteral("%1 is not a regular file").arg(path);
        return std::nullopt;
    }
    if ((facts.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *problem = QStringLiteral("%1 may be read by other users (mode %2); chmod 600 it")
                       .arg(path)
                       .arg(facts.st_mode & 0777, 3, 8, QLatin1Char('0'));
        return std::nullopt;
    }
    if (facts.st_uid != ::getuid()) {
        *problem = QStringLiteral("%1 belongs to another user").arg(path);
        return std::nullopt;
    }
    QByteArray text(longestToken + 1, '\0');
    const ssize_t got = ::read(file.get(), text.data(), static_cast<size_t>(text.size()));
    if (got < 0) {
        *problem = QStringLiteral("%1: %2").arg(path, ErrorText(errno));
        return std::nullopt;
    }
    text.truncate(got);
    text = text.trimmed();
    if (text.isEmpty() || text.size() > longestToken) {
        *problem = QStringLiteral("%1 holds no token; remove it to have a new one made").arg(path);
        return std::nullopt;
    }
    return text;
}

// Writes a new token to a file of its own beside `path` and links it there:
// the token file appears whole, or not at all when another made it first.
bool Create(const QString& path, QString* problem) {
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        *problem = QStringLiteral("cannot make the folder %1").arg(directory);
        return false;
    }
    const QByteArray token = NewToken() + '\n';
    const QByteArray target = QFile::encodeName(path);
    const QByteArray draft =
        target + ".new-" + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    {
        const Descriptor file(
            ::open(draft.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.get() < 0) {
            *problem = QStringLiteral("cannot create %1: %2").arg(path, ErrorText(errno));
            return false;
        }
        if (::write(file.get(), token.constData(), static_cast<size_t>(token.size())) !=
                token.size() ||
            ::fsync(file.get()) != 0) {
            *problem = QStringLiteral("cannot write %1: %2").arg(path, ErrorText(errno));
            ::unlink(draft.constData());
            return false;
        }
    }
    const bool linked = ::link(draft.constData(), target.constData()) == 0;
    const int error = errno;
    ::unlink(draft.constData());
    if (!linked && error != EEXIST) {
        *problem = QStringLiteral("cannot create %1: %2").arg(path, ErrorText(error));
        return false;
    }
    return true;
}

} // namespace

QString TokenPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/ardenix/remote-token");
}

std::optional<QByteArray> Load(QString* problem) {
    const QByteArray given = qgetenv("ARDENIX_REMOTE_TOKEN").trimmed();
    if (!given.isEmpty()) {
        return given;
    }
    const QString path = TokenPath();
    bool missing = false;
    if (auto token = ReadExisting(path, problem, &missing)) {
        return token;
    }
    if (!missing || !Create(path, problem)) {
        return std::nullopt;
    }
    return ReadExisting(path, problem, &missing);
}

bool Matches(const QByteArray& given, const QByteArray& token) {
    // Every byte of the given text is looked at, whatever the token's length.
    unsigned difference = given.size() == token.size() ? 0U : 1U;
    const qsizetype length = token.size();
    for (qsizetype i = 0; i < given.size(); ++i) {
        const char expected = length > 0 ? token.at(i % length) : '\0';
        difference |= static_cast<unsigned>(static_cast<unsigned char>(given.at(i)) ^
                                            static_cast<unsigned char>(expected));
    }
    return difference == 0 && length > 0;
}

} // namespace remotetoken
