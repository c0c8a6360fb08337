// Finding the mixer's converter: the first ttyUSB device, in ascending number,
// that belongs to an FTDI USB device (vendor 0403) or is bound to the ftdi_sio
// driver. Its number N gives comPortNumber N + 1.
#include "core/state.h"
#include "serial/serial.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <map>

namespace {

constexpr char ftdiVendorId[] = "0403";
constexpr char ftdiDriver[] = "ftdi_sio";

QString ReadAttribute(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLatin1(file.read(64)).trimmed();
}

// True when the tty's device is an FTDI converter: bound to the FTDI driver,
// or the nearest USB device above it (the first directory with an idVendor)
// has the FTDI vendor id.
bool IsFtdiConverter(const QString& ttyEntry, const QString& root) {
    const QString device = QFileInfo(ttyEntry + QStringLiteral("/device")).canonicalFilePath();
    if (device.isEmpty()) {
        return false;
    }
    const QString driver = QFileInfo(device + QStringLiteral("/driver")).canonicalFilePath();
    if (!driver.isEmpty() && QFileInfo(driver).fileName() == QLatin1String(ftdiDriver)) {
        return true;
    }
    const QString top = QFileInfo(root).canonicalFilePath();
    QDir dir(device);
    for (int depth = 0; depth < 32; ++depth) {
        const QString vendor = dir.filePath(QStringLiteral("idVendor"));
        if (QFileInfo::exists(vendor)) {
            return ReadAttribute(vendor).compare(QLatin1String(ftdiVendorId),
                                                 Qt::CaseInsensitive) == 0;
        }
        if (dir.absolutePath() == top || !dir.cdUp()) {
            break;
        }
    }
    return false;
}

} // namespace

Integer FindConverterPortIn(const QString& sysfsRoot) {
    const QString ttyClass = QDir(sysfsRoot).filePath(QStringLiteral("class/tty"));
    static const QRegularExpression usbName(QStringLiteral("^ttyUSB([0-9]{1,4})$"));
    std::map<int, QString> candidates; // ascending N
    const QStringList entries =
        QDir(ttyClass).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& name : entries) {
        const QRegularExpressionMatch match = usbName.match(name);
        if (match.hasMatch()) {
            candidates.emplace(match.captured(1).toInt(), QDir(ttyClass).filePath(name));
        }
    }
    for (const auto& [number, path] : candidates) {
        if (number < 32767 && IsFtdiConverter(path, sysfsRoot)) {
            return static_cast<Integer>(number + 1);
        }
    }
    return 0;
}

void FindConverterPort() {
    comPortNumber = FindConverterPortIn(QStringLiteral("/sys"));
}
