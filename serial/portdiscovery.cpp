// Finding the mixer's converter: the first ttyUSB device, in ascending number,
// that belongs to an FTDI USB device (vendor 0403) or is bound to the ftdi_sio
// driver. Its number N gives programSetup.comPortNumber N + 1.
#include "core/state.h"
#include "serial/serial.h"

#include "core/warn.h"

#include <QDir>
#include <QDirIterator>
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

ConverterSurvey SurveyConverters(const QString& sysfsRoot) {
    ConverterSurvey survey;
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
            survey.converters.append(number);
        }
    }
    // FTDI USB devices that show no serial port at all: some other driver
    // (a braille display's, typically) has taken them.
    const QDir usbDevices(QDir(sysfsRoot).filePath(QStringLiteral("bus/usb/devices")));
    for (const QString& name : usbDevices.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        const QString device = usbDevices.filePath(name);
        if (ReadAttribute(device + QStringLiteral("/idVendor"))
                .compare(QLatin1String(ftdiVendorId), Qt::CaseInsensitive) != 0) {
            continue;
        }
        QDirIterator below(device, {QStringLiteral("ttyUSB*")}, QDir::AllEntries | QDir::System,
                           QDirIterator::Subdirectories);
        if (!below.hasNext()) {
            survey.ftdiWithoutPort.append(QStringLiteral("%1:%2").arg(
                QLatin1String(ftdiVendorId), ReadAttribute(device + QStringLiteral("/idProduct"))));
        }
    }
    return survey;
}

QStringList DiscoveryNotes(const ConverterSurvey& survey, const QString& devRoot) {
    QStringList notes;
    if (survey.converters.size() > 1) {
        // The stable names udev gives each converter, by the port they lead to.
        std::map<QString, QString> byId;
        const QDir ids(QDir(devRoot).filePath(QStringLiteral("serial/by-id")));
        for (const QString& id :
             ids.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)) {
            byId[QFileInfo(QFile::symLinkTarget(ids.filePath(id))).fileName()] = ids.filePath(id);
        }
        QStringList listed;
        for (const int number : survey.converters) {
            const QString name = QStringLiteral("ttyUSB%1").arg(number);
            const auto id = byId.find(name);
            listed << QDir(devRoot).filePath(name) +
                          (id != byId.end() ? QStringLiteral(" (%1)").arg(id->second) : QString());
        }
        notes << QStringLiteral("found %1 FTDI converters: %2; using %3 (choose another with "
                                "--port PATH)")
                     .arg(survey.converters.size())
                     .arg(listed.join(QStringLiteral(", ")),
                          QDir(devRoot).filePath(
                              QStringLiteral("ttyUSB%1").arg(survey.converters.first())));
    } else if (survey.converters.isEmpty() && !survey.ftdiWithoutPort.isEmpty()) {
        notes << QStringLiteral("an FTDI USB device (%1) is present but shows no serial port: "
                                "another program, typically brltty, may have claimed it; check "
                                "with 'lsusb' and 'journalctl -b | grep -i brltty', then remove "
                                "brltty (sudo apt remove brltty) or keep it off the converter")
                     .arg(survey.ftdiWithoutPort.join(QStringLiteral(", ")));
    }
    return notes;
}

Integer FindConverterPortIn(const QString& sysfsRoot) {
    const ConverterSurvey survey = SurveyConverters(sysfsRoot);
    return survey.converters.isEmpty() ? Integer(0)
                                       : static_cast<Integer>(survey.converters.first() + 1);
}

void FindConverterPort() {
    const ConverterSurvey survey = SurveyConverters(QStringLiteral("/sys"));
    programSetup.comPortNumber = survey.converters.isEmpty()
                                     ? Integer(0)
                                     : static_cast<Integer>(survey.converters.first() + 1);
    // With a device named by the user, what was found here does not matter.
    if (qEnvironmentVariableIsEmpty("ARDENIX_PORT")) {
        for (const QString& note : DiscoveryNotes(survey, QStringLiteral("/dev"))) {
            Warn(note);
        }
    }
}
