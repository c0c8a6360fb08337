#include "core/remotetoken.h"

#include "core/settings.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSettings>
#include <QUrl>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace remote {

namespace {

constexpr int tokenBytes = 32;
constexpr int shortestToken = 22; // 128 bits as URL-safe text
constexpr qint64 longestTokenFile = 4096;

QString SystemError(const QString& what, const QString& path, int error) {
    return QStringLiteral("%1 %2: %3")
        .arg(what, path, QString::fromLocal8Bit(std::strerror(error)));
}

// A file descriptor that closes itself.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

bool UrlSafe(const QByteArray& text) {
    if (text.size() < shortestToken) {
        return false;
    }
    for (const char c : text) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

QByteArray NewToken() {
    std::array<quint32, tokenBytes / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), tokenBytes);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

enum class ReadOutcome { Read, Missing, Failed };

struct ReadAttempt {
    ReadOutcome outcome = ReadOutcome::Failed;
    QByteArray token;
    QString error;
};

ReadAttempt ReadTokenFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    FileDescriptor fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT) {
            return {ReadOutcome::Missing, {}, {}};
        }
        if (error == ELOOP) {
            return {
                ReadOutcome::Failed, {}, QStringLiteral("the token file %1 is a link").arg(path)};
        }
        return {ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot read"), path, error)};
    }
    struct stat facts {};
    if (::fstat(fd.get(), &facts) != 0) {
        return {ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot read"), path, errno)};
    }
    if (!S_ISREG(facts.st_mode) || facts.st_uid != ::geteuid()) {
        return {ReadOutcome::Failed,
                {},
                QStringLiteral("the token file %1 is not a regular file of this user").arg(path)};
    }
    if ((facts.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::fchmod(fd.get(), S_IRUSR | S_IWUSR) != 0) {
        return {ReadOutcome::Failed,
                {},
                SystemError(QStringLiteral("cannot make private"), path, errno)};
    }
    if (facts.st_size > longestTokenFile) {
        return {ReadOutcome::Failed, {}, QStringLiteral("the token file %1 is too long").arg(path)};
    }
    QByteArray content(static_cast<qsizetype>(facts.st_size), '\0');
    qsizetype got = 0;
    while (got < content.size()) {
        const ssize_t n =
            ::read(fd.get(), content.data() + got, static_cast<std::size_t>(content.size() - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return {
                ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot read"), path, errno)};
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    content.truncate(got);
    const QByteArray token = content.trimmed();
    if (!UrlSafe(token)) {
        return {ReadOutcome::Failed,
                {},
                QStringLiteral("the token file %1 holds no usable token (at least %2 characters of "
                               "A-Z, a-z, 0-9, - and _); remove it to have a new one made")
                    .arg(path)
                    .arg(shortestToken)};
    }
    return {ReadOutcome::Read, token, {}};
}

// Writes a new token into a private temporary file beside `path`, then gives
// it the name unless another program got there first.
ReadAttempt CreateTokenFile(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return {ReadOutcome::Failed, {}, QStringLiteral("cannot make the folder %1").arg(folder)};
    }
    QByteArray pattern = QFile::encodeName(path) + ".XXXXXX";
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC)); // mode 0600
    if (fd.get() < 0) {
        return {
            ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot write"), folder, errno)};
    }
    const QByteArray token = NewToken();
    const QByteArray line = token + '\n';
    qsizetype put = 0;
    while (put < line.size()) {
        const ssize_t n =
            ::write(fd.get(), line.constData() + put, static_cast<std::size_t>(line.size() - put));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = errno;
            ::unlink(pattern.constData());
            return {
                ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot write"), path, error)};
        }
        put += n;
    }
    if (::fsync(fd.get()) != 0) {
        const int error = errno;
        ::unlink(pattern.constData());
        return {ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot write"), path, error)};
    }
    const int linked = ::link(pattern.constData(), QFile::encodeName(path).constData());
    const int error = errno;
    ::unlink(pattern.constData());
    if (linked == 0) {
        return {ReadOutcome::Read, token, {}};
    }
    if (error == EEXIST) {
        return ReadTokenFile(path); // made by another program meanwhile
    }
    return {ReadOutcome::Failed, {}, SystemError(QStringLiteral("cannot write"), path, error)};
}

} // namespace

QString TokenFilePath() {
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString folder = QDir::isAbsolutePath(configHome)
                               ? configHome
                               : QDir::homePath() + QStringLiteral("/.config");
    return QDir(folder).filePath(QStringLiteral("ardenix/remote-token"));
}

TokenResult CurrentToken() {
    const QString given = qEnvironmentVariable("ARDENIX_REMOTE_TOKEN");
    if (!given.isEmpty()) {
        return {given, {}};
    }
    return LoadOrCreateToken(TokenFilePath());
}

TokenResult LoadOrCreateToken(const QString& path) {
    ReadAttempt attempt = ReadTokenFile(path);
    if (attempt.outcome == ReadOutcome::Missing) {
        attempt = CreateTokenFile(path);
    }
    if (attempt.outcome != ReadOutcome::Read) {
        return {{}, attempt.error};
    }
    return {QString::fromLatin1(attempt.token), {}};
}

bool SameToken(QByteArrayView given, QByteArrayView expected) {
    // Every byte of the expected token is looked at whatever the given one holds.
    unsigned difference = given.size() == expected.size() ? 0U : 1U;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const auto mine = static_cast<unsigned char>(expected[i]);
        const auto theirs = i < given.size() ? static_cast<unsigned char>(given[i])
                                             : static_cast<unsigned char>(~mine);
        difference |= static_cast<unsigned>(mine ^ theirs);
    }
    return difference == 0U && !expected.isEmpty();
}

RemotePlace ReadRemotePlace(const QString& programDirectory) {
    RemotePlace place;
    const settings::SettingsLocation location =
        settings::FindSettingsFile(QStringLiteral("ardenix.conf"), programDirectory, {});
    if (!QFileInfo(location.path).isFile()) {
        return place;
    }
    QSettings file(location.path, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("remote"));
    const QString bind = file.value(QStringLiteral("remote-bind")).toString().trimmed();
    if (!bind.isEmpty()) {
        place.bind = bind;
    }
    bool ok = false;
    const uint port = file.value(QStringLiteral("remote-port")).toString().trimmed().toUInt(&ok);
    if (ok && port <= 65535) {
        place.port = static_cast<quint16>(port);
    }
    return place;
}

QString PageAddress(const RemotePlace& place, const QString& token, const QString& hostName) {
    QString host = place.bind;
    if (host == QLatin1String("0.0.0.0") || host == QLatin1String("::") ||
        host == QLatin1String("[::]") || host == QLatin1String("*")) {
        host = hostName;
    } else if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('['))) {
        host = QLatin1Char('[') + host + QLatin1Char(']');
    }
    return QStringLiteral("http://%1:%2/#token=%3")
        .arg(host)
        .arg(place.port)
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(token)));
}

} // namespace remote
