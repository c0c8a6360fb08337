// Device arrivals in a real directory: links to pseudo-terminal slaves that
// appear or are pointed elsewhere arrive as ports, other entries do not.
#include "connection/devicewatch.h"

#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace {

// A pseudo-terminal master held open for the test; its slave is a real tty.
class Pty {
public:
    Pty() {
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (fd_ >= 0 && ::grantpt(fd_) == 0 && ::unlockpt(fd_) == 0) {
            slave_ = QString::fromLocal8Bit(::ptsname(fd_));
        }
    }
    ~Pty() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const QString& Slave() const { return slave_; }

private:
    int fd_ = -1;
    QString slave_;
};

using Arrival = std::pair<Integer, QString>;

} // namespace

class TestDeviceWatch : public QObject {
    Q_OBJECT

private slots:
    void arrivalsOfPorts() {
        QTemporaryDir dir;
        const Pty first;
        const Pty second;
        QVERIFY(!first.Slave().isEmpty() && !second.Slave().isEmpty());
        const QString link = dir.filePath(QStringLiteral("mixer"));
        // An entry already there when the watch starts is no arrival.
        QVERIFY(QFile::link(first.Slave(), dir.filePath(QStringLiteral("ttyUSB9"))));

        DeviceWatch watch(dir.path(), QStringLiteral("mixer"));
        QVERIFY(watch.Watching());
        std::vector<Arrival> arrivals;
        watch.SetHandler(
            [&](Integer type, const QString& name) { arrivals.emplace_back(type, name); });

        // A new link to a pty slave under the port's own name.
        QVERIFY(QFile::link(first.Slave(), link));
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), std::size_t(1), 5000);
        QCOMPARE(arrivals[0], Arrival(3, QStringLiteral("mixer")));

        // The link pointed at another slave: a new arrival.
        const QString fresh = dir.filePath(QStringLiteral(".mixer.new"));
        QVERIFY(QFile::link(second.Slave(), fresh));
        QVERIFY(::rename(QFile::encodeName(fresh).constData(),
                         QFile::encodeName(link).constData()) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(
            std::count(arrivals.begin(), arrivals.end(), Arrival(3, QStringLiteral("mixer"))) == 2,
            5000);

        // A regular file named foo, and one named like a port: no port arrives.
        arrivals.clear();
        for (const char* name : {"foo", "ttyUSB3"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // A link to a pty slave under an unrelated name is no port either.
        QVERIFY(QFile::link(first.Slave(), dir.filePath(QStringLiteral("printer"))));
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), std::size_t(3), 5000);
        for (const Arrival& a : arrivals) {
            QCOMPARE(a.first, DeviceWatch::otherDeviceType);
        }

        // Removing the port's link tells nothing; bringing it back is an arrival.
        arrivals.clear();
        QVERIFY(QFile::remove(link));
        QTest::qWait(200);
        QVERIFY(arrivals.empty());
        QVERIFY(QFile::link(second.Slave(), link));
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), std::size_t(1), 5000);
        QCOMPARE(arrivals[0], Arrival(3, QStringLiteral("mixer")));

        // A link named like a port that leads to no device is no port.
        arrivals.clear();
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")),
                            dir.filePath(QStringLiteral("ttyACM0"))));
        QTRY_COMPARE_WITH_TIMEOUT(arrivals.size(), std::size_t(1), 5000);
        QCOMPARE(arrivals[0], Arrival(0, QStringLiteral("ttyACM0")));
    }

    void directoryOfThePort() {
        qputenv("ARDENIX_PORT", "/tmp/some/where/dorvane");
        QCOMPARE(DeviceWatch::PortDirectory(), QStringLiteral("/tmp/some/where"));
        QCOMPARE(DeviceWatch::PortFileName(), QStringLiteral("dorvane"));
        qunsetenv("ARDENIX_PORT");
        QCOMPARE(DeviceWatch::PortDirectory(), QStringLiteral("/dev"));
        QVERIFY(DeviceWatch::PortFileName().isEmpty());
        // A directory that does not exist cannot be watched, and nothing breaks.
        DeviceWatch missing(QStringLiteral("/nonexistent/dir"), QString());
        QVERIFY(!missing.Watching());
    }
};

QTEST_GUILESS_MAIN(TestDeviceWatch)
#include "test_devicewatch.moc"
