// Finding the converter's port over sysfs trees that each case builds itself:
// class/tty entries that link into a device tree with USB devices, drivers
// and vendor ids laid out as the kernel lays them out.
#include "serial/serial.h"

#include <QtTest>

#include <unistd.h>

namespace {

// A fake /sys under a temporary directory.
class FakeSysfs {
public:
    FakeSysfs() { QVERIFY(dir_.isValid()); }
    QString Root() const { return dir_.path(); }
    QString Path(const QString& relative) const { return dir_.filePath(relative); }

    void MakeDir(const QString& relative) const { QVERIFY(QDir().mkpath(Path(relative))); }
    void Write(const QString& relative, const QByteArray& content) const {
        QFile f(Path(relative));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    void Link(const QString& target, const QString& relative) const {
        QVERIFY(QFile::link(target, Path(relative)));
    }

    // A USB device with `vendor` (empty: no idVendor file) carrying one
    // usb-serial port ttyUSB<n>, bound to `driver` (empty: no driver link),
    // listed in class/tty. Laid out as the kernel does:
    //   devices/usb1/1-<n>/idVendor
    //   devices/usb1/1-<n>/1-<n>:1.0/ttyUSB<n>/driver -> bus/usb-serial/drivers/<driver>
    //   devices/usb1/1-<n>/1-<n>:1.0/ttyUSB<n>/tty/ttyUSB<n>/device -> ../../../ttyUSB<n>
    //   class/tty/ttyUSB<n> -> ../../devices/.../tty/ttyUSB<n>
    void AddUsbSerial(int n, const QByteArray& vendor, const QString& driver,
                      bool deviceLink = true) const {
        const QString name = QStringLiteral("ttyUSB%1").arg(n);
        const QString usb = QStringLiteral("devices/usb1/1-%1").arg(n);
        const QString port = usb + QStringLiteral("/1-%1:1.0/").arg(n) + name;
        const QString tty = port + QStringLiteral("/tty/") + name;
        MakeDir(tty);
        if (!vendor.isEmpty()) {
            Write(usb + QStringLiteral("/idVendor"), vendor + "\n");
        }
        if (!driver.isEmpty()) {
            MakeDir(QStringLiteral("bus/usb-serial/drivers/") + driver);
            Link(Path(QStringLiteral("bus/usb-serial/drivers/") + driver),
                 port + QStringLiteral("/driver"));
        }
        if (deviceLink) {
            Link(QStringLiteral("../../../") + name, tty + QStringLiteral("/device"));
        }
        MakeDir(QStringLiteral("class/tty"));
        Link(QStringLiteral("../../") + tty, QStringLiteral("class/tty/") + name);
    }

    // A serial port that is no USB device at all (ttyS<n>).
    void AddPlatformSerial(const QString& name) const {
        const QString tty = QStringLiteral("devices/platform/serial8250/tty/") + name;
        MakeDir(tty);
        Link(QStringLiteral("../.."), tty + QStringLiteral("/device"));
        MakeDir(QStringLiteral("class/tty"));
        Link(QStringLiteral("../../") + tty, QStringLiteral("class/tty/") + name);
    }

private:
    QTemporaryDir dir_;
};

} // namespace

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void noConverter() {
        {
            FakeSysfs sys; // no class/tty at all
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(0));
        }
        {
            FakeSysfs sys; // serial ports, none of them USB
            sys.AddPlatformSerial(QStringLiteral("ttyS0"));
            sys.AddPlatformSerial(QStringLiteral("ttyS1"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(0));
        }
        {
            FakeSysfs sys; // a USB serial port of another make
            sys.AddUsbSerial(0, "067b", QStringLiteral("pl2303"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(0));
        }
        QCOMPARE(FindConverterPortIn(QStringLiteral("/nonexistent/sysfs")), Integer(0));
    }

    void firstConverterDecides() {
        {
            FakeSysfs sys;
            sys.AddUsbSerial(3, "0403", QStringLiteral("ftdi_sio"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(4));
        }
        {
            FakeSysfs sys; // two converters: the lower number wins
            sys.AddUsbSerial(5, "0403", QStringLiteral("ftdi_sio"));
            sys.AddUsbSerial(1, "0403", QStringLiteral("ftdi_sio"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(2));
        }
        {
            FakeSysfs sys; // ascending by number, not by name: ttyUSB2 before ttyUSB10
            sys.AddUsbSerial(10, "0403", QStringLiteral("ftdi_sio"));
            sys.AddUsbSerial(2, "0403", QStringLiteral("ftdi_sio"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(3));
        }
        {
            FakeSysfs sys; // another make on ttyUSB0, the converter on ttyUSB1
            sys.AddUsbSerial(0, "10c4", QStringLiteral("cp210x"));
            sys.AddUsbSerial(1, "0403", QStringLiteral("ftdi_sio"));
            sys.AddPlatformSerial(QStringLiteral("ttyS0"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(2));
        }
        {
            FakeSysfs sys; // the FTDI vendor under another driver still counts
            sys.AddUsbSerial(7, "0403", QStringLiteral("usbserial_generic"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(8));
        }
    }

    void driverOrVendorIsEnough() {
        {
            FakeSysfs sys; // bound to ftdi_sio, no idVendor anywhere above it
            sys.AddUsbSerial(4, QByteArray(), QStringLiteral("ftdi_sio"));
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(5));
        }
        {
            FakeSysfs sys; // FTDI vendor, no driver bound
            sys.AddUsbSerial(0, "0403", QString());
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(1));
        }
        {
            FakeSysfs sys; // neither: not taken
            sys.AddUsbSerial(0, QByteArray(), QString());
            QCOMPARE(FindConverterPortIn(sys.Root()), Integer(0));
        }
    }

    void oddEntriesAreSkipped() {
        FakeSysfs sys;
        // ttyUSB0: its device link is missing.
        sys.AddUsbSerial(0, "0403", QStringLiteral("ftdi_sio"), false);
        // ttyUSB1: the vendor id cannot be read (a directory in its place),
        // no driver.
        sys.AddUsbSerial(1, QByteArray(), QString());
        sys.MakeDir(QStringLiteral("devices/usb1/1-1/idVendor"));
        // ttyUSB2: the vendor id is a dangling link, the driver link dangles too.
        sys.AddUsbSerial(2, QByteArray(), QString());
        sys.Link(sys.Path(QStringLiteral("nowhere/idVendor")),
                 QStringLiteral("devices/usb1/1-2/idVendor"));
        sys.Link(sys.Path(QStringLiteral("nowhere/ftdi_sio")),
                 QStringLiteral("devices/usb1/1-2/1-2:1.0/ttyUSB2/driver"));
        // Names that look like converters but carry no number, or more than
        // the name: each is an FTDI device, and none of them is taken.
        for (const char* odd : {"ttyUSB", "ttyUSBx", "ttyUSB-1", "ttyUSB3a", "xttyUSB4"}) {
            const QString name = QString::fromLatin1(odd);
            const QString dev = QStringLiteral("devices/odd/") + name;
            sys.MakeDir(dev + QStringLiteral("/tty"));
            sys.Write(QStringLiteral("devices/odd/idVendor"), "0403\n");
            sys.Link(sys.Path(dev), dev + QStringLiteral("/tty/device"));
            sys.Link(sys.Path(dev + QStringLiteral("/tty")), QStringLiteral("class/tty/") + name);
        }
        // A plain file in class/tty.
        sys.Write(QStringLiteral("class/tty/ttyUSB5"), "not a device\n");
        QCOMPARE(FindConverterPortIn(sys.Root()), Integer(0));

        // Without read permission (only meaningful for a user that permissions bind).
        if (geteuid() != 0) {
            FakeSysfs locked;
            locked.AddUsbSerial(0, "0403", QString());
            QFile(locked.Path(QStringLiteral("devices/usb1/1-0/idVendor"))).setPermissions({});
            QCOMPARE(FindConverterPortIn(locked.Root()), Integer(0));
        }

        // The first good converter after all of these is still found.
        sys.AddUsbSerial(6, "0403", QStringLiteral("ftdi_sio"));
        QCOMPARE(FindConverterPortIn(sys.Root()), Integer(7));
    }
};

QTEST_GUILESS_MAIN(TestDiscovery)
#include "test_discovery.moc"
