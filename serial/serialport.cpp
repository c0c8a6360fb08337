#include "serial/serialport.h"

#include "core/warn.h"

#include <QFile>
#include <QStringList>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char* const portPathVariable = "ARDENIX_PORT";
const QString devicePrefix = QStringLiteral("/dev/ttyUSB");

// The groups below this number are the system's own (root, and the groups of
// daemons and hardware): nobody is told to join one of them.
constexpr gid_t firstOrdinaryGroup = 100;

// Why the user may not open the device at `path`, and what to do about it.
// Joining the device's group is advised only when that group may read and
// write the device and is no system group; otherwise the package's udev rule
// is what gives the user access. A user already in the group counts as a
// member only after logging in again.
QString NoPermission(const QString& path) {
    const QString udevAdvice = QStringLiteral(
        "install the udev rule of the package (60-ardenix-dorvane.rules) and plug the "
        "converter in again");
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return QStringLiteral("no permission: ") + udevAdvice;
    }
    const struct group* owner = ::getgrgid(info.st_gid);
    const bool groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (owner == nullptr || !groupMayUse || info.st_gid < firstOrdinaryGroup) {
        return QStringLiteral("no permission: ") + udevAdvice;
    }
    const QString group = QString::fromLocal8Bit(owner->gr_name);
    const struct passwd* user = ::getpwuid(::geteuid());
    bool listed = false;
    if (user) {
        listed = user->pw_gid == owner->gr_gid;
        for (char* const* member = owner->gr_mem; *member && !listed; ++member) {
            listed = std::strcmp(*member, user->pw_name) == 0;
        }
    }
    if (listed) {
        return QStringLiteral("no permission: you were added to the group '%1' after this "
                              "session began; log out and in again")
            .arg(group);
    }
    return QStringLiteral("no permission: join the group '%1' (sudo adduser $USER %1) and log "
                          "in again, or %2")
        .arg(group, udevAdvice);
}

// Asks the driver to hand received bytes on at once. An FTDI converter holds
// them for its latency timer (16 ms) otherwise, and every exchange of the
// protocol waits for its reply. A device without the request (a
// pseudo-terminal) keeps what it has.
void AskForLowLatency(int fd) {
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0) {
        return;
    }
    info.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &info);
}

// True when a modem-control line could be set, or the device has no such
// lines (a pseudo-terminal answers ENOTTY), which counts as set.
bool LineSetOrAbsent(QSerialPort& port, bool done) {
    if (done) {
        return true;
    }
    if (port.error() == QSerialPort::UnsupportedOperationError) {
        port.clearError();
        return true;
    }
    return false;
}

} // namespace

SerialPort::SerialPort() {
    QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] { HandleReadyRead(); });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) { HandleError(error); });
}

SerialPort::~SerialPort() {
    onComm_ = nullptr;
    if (port_.isOpen()) {
        port_.close();
    }
}

QString SerialPort::DevicePath(Integer portNumber) {
    const QString overridden = qEnvironmentVariable(portPathVariable);
    if (!overridden.isEmpty()) {
        return overridden;
    }
    if (portNumber < 1) {
        return {};
    }
    return devicePrefix + QString::number(portNumber - 1);
}

bool SerialPort::SetSettings(const QString& settings) {
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) {
        return false;
    }
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0) {
        return false;
    }
    QSerialPort::Parity parity = QSerialPort::NoParity;
    const QString parityText = parts[1].trimmed().toUpper();
    if (parityText == QLatin1String("N")) {
        parity = QSerialPort::NoParity;
    } else if (parityText == QLatin1String("O")) {
        parity = QSerialPort::OddParity;
    } else if (parityText == QLatin1String("E")) {
        parity = QSerialPort::EvenParity;
    } else if (parityText == QLatin1String("M")) {
        parity = QSerialPort::MarkParity;
    } else if (parityText == QLatin1String("S")) {
        parity = QSerialPort::SpaceParity;
    } else {
        return false;
    }
    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8) {
        return false;
    }
    QSerialPort::StopBits stop = QSerialPort::OneStop;
    const QString stopText = parts[3].trimmed();
    if (stopText == QLatin1String("1")) {
        stop = QSerialPort::OneStop;
    } else if (stopText == QLatin1String("1.5")) {
        stop = QSerialPort::OneAndHalfStop;
    } else if (stopText == QLatin1String("2")) {
        stop = QSerialPort::TwoStop;
    } else {
        return false;
    }
    settings_ = settings;
    baud_ = baud;
    parity_ = parity;
    dataBits_ = static_cast<QSerialPort::DataBits>(data);
    stopBits_ = stop;
    if (port_.isOpen()) {
        // Settings changed on an open port take effect at once.
        const bool applied = port_.setBaudRate(baud_) && port_.setParity(parity_) &&
                             port_.setDataBits(dataBits_) && port_.setStopBits(stopBits_);
        return applied;
    }
    return true;
}

bool SerialPort::SetRTSEnable(bool enable) {
    rtsEnable_ = enable;
    return !port_.isOpen() || LineSetOrAbsent(port_, port_.setRequestToSend(enable));
}

bool SerialPort::SetDTREnable(bool enable) {
    dtrEnable_ = enable;
    return !port_.isOpen() || LineSetOrAbsent(port_, port_.setDataTerminalReady(enable));
}

QString SerialPort::OpenFailureReason(const QString& path) const {
    switch (port_.error()) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no such device");
    case QSerialPort::PermissionError: {
        // The one error stands for a refused permission and for a port that
        // another program holds (its lock file, or the exclusive open).
        const QByteArray native = path.toLocal8Bit();
        if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
            return NoPermission(path);
        }
        return QStringLiteral("in use by another program");
    }
    default:
        return port_.errorString();
    }
}

bool SerialPort::SetPortOpen(bool open) {
    if (!open) {
        if (port_.isOpen()) {
            port_.close();
        }
        closeQueued_ = false;
        return true;
    }

    const QString path = DevicePath(commPort_);
    if (path.isEmpty()) {
        ReportOpenFailure(QStringLiteral("number %1").arg(commPort_),
                          QStringLiteral("no such device (no converter was found)"));
        return false;
    }
    if (port_.isOpen()) {
        ReportOpenFailure(path, QStringLiteral("the port is already open"));
        return false;
    }
    struct stat info {};
    const QByteArray native = path.toLocal8Bit();
    if (::stat(native.constData(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            ReportOpenFailure(path, QStringLiteral("no such device"));
        } else if (error == EACCES) {
            ReportOpenFailure(path, NoPermission(path));
        } else {
            ReportOpenFailure(path, QString::fromLocal8Bit(std::strerror(error)));
        }
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        ReportOpenFailure(path, QStringLiteral("it is a directory, not a serial device"));
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        ReportOpenFailure(path, QStringLiteral("it is a regular file, not a serial device"));
        return false;
    }
    if (!S_ISCHR(info.st_mode)) {
        ReportOpenFailure(path, QStringLiteral("it is not a serial device"));
        return false;
    }

    // The line settings go in before the opening: a pseudo-terminal refuses a
    // parity change on an open port, but opens with it set beforehand.
    port_.setPortName(path);
    port_.setBaudRate(baud_);
    port_.setParity(parity_);
    port_.setDataBits(dataBits_);
    port_.setStopBits(stopBits_);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        ReportOpenFailure(path, OpenFailureReason(path));
        return false;
    }
    if (!LineSetOrAbsent(port_, port_.setRequestToSend(rtsEnable_))) {
        const QString reason = QStringLiteral("cannot set the RTS line: ") + port_.errorString();
        port_.close();
        ReportOpenFailure(path, reason);
        return false;
    }
    if (!LineSetOrAbsent(port_, port_.setDataTerminalReady(dtrEnable_))) {
        const QString reason = QStringLiteral("cannot set the DTR line: ") + port_.errorString();
        port_.close();
        ReportOpenFailure(path, reason);
        return false;
    }
    closeQueued_ = false;
    ++openCount_;
    lastFailure_.clear(); // a later failure is news again
    AskForLowLatency(static_cast<int>(port_.handle()));
    return true;
}

void SerialPort::ReportOpenFailure(const QString& path, const QString& reason) {
    // Told once, and again only when the reason changes: the reopen timer
    // tries every second while the cable is out.
    const QString failure = QStringLiteral("cannot open serial port %1: %2").arg(path, reason);
    if (failure != lastFailure_) {
        lastFailure_ = failure;
        Warn(failure);
    }
}

bool SerialPort::DiscardInput() {
    if (!port_.isOpen()) {
        return false;
    }
    return port_.clear(QSerialPort::Input);
}

qint64 SerialPort::InBufferCount() const {
    return port_.isOpen() ? port_.bytesAvailable() : 0;
}

QByteArray SerialPort::Input() {
    if (!port_.isOpen()) {
        return {};
    }
    return inputLen_ > 0 ? port_.read(inputLen_) : port_.readAll();
}

bool SerialPort::Output(Byte value) {
    if (!port_.isOpen()) {
        return false;
    }
    const char one = static_cast<char>(value);
    if (port_.write(&one, 1) != 1) {
        return false;
    }
    return port_.flush();
}

int SerialPort::CommID() const {
    return port_.isOpen() ? static_cast<int>(port_.handle()) : -1;
}

bool SerialPort::IsAlive() const {
    if (!port_.isOpen()) {
        return false;
    }
    const int fd = static_cast<int>(port_.handle());
    if (fd < 0) {
        return false;
    }
    termios attributes{};
    if (::tcgetattr(fd, &attributes) != 0 && (errno == EIO || errno == EBADF)) {
        return false;
    }
    pollfd probe{fd, 0, 0};
    if (::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return false;
    }
    return true;
}

void SerialPort::HandleError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) {
        return;
    }
    // After a hang-up the port keeps reporting read errors. Close it once
    // control is back in the event loop; the link notices the loss at its next
    // probe and takes the connection down there.
    if (closeQueued_ || !port_.isOpen() || IsAlive()) {
        return;
    }
    closeQueued_ = true;
    const int opening = openCount_;
    QTimer::singleShot(0, &port_, [this, opening] {
        closeQueued_ = false;
        if (opening == openCount_ && port_.isOpen()) {
            port_.close();
        }
    });
}

void SerialPort::HandleReadyRead() {
    if (!onComm_ || rThreshold_ <= 0 || port_.bytesAvailable() < rThreshold_) {
        return;
    }
    onComm_(comEvReceive);
}
