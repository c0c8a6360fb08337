// tools/demo.sh on a machine without a display: it runs the panel on a private
// virtual X server against the simulated mixer, makes a few changes at the
// mixer, writes a screenshot of the panel and the simulator's traffic log,
// prints their paths and stops everything.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

class TestDemo : public QObject {
    Q_OBJECT

private slots:
    void withoutDisplayWritesScreenshotAndLog() {
        QTemporaryDir out;
        QTemporaryDir temp; // the demo's private folder goes in here
        QVERIFY(out.isValid() && temp.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("ARDENIX_BIN_DIR"), qEnvironmentVariable("ARDENIX_BIN_DIR"));
        env.insert(QStringLiteral("ARDENIX_DEMO_OUT"), out.path());
        env.insert(QStringLiteral("TMPDIR"), temp.path());
        QProcess demo;
        demo.setProcessEnvironment(env);
        demo.start(QStringLiteral("bash"), {QStringLiteral(ARDENIX_SOURCE_DIR "/tools/demo.sh")});
        QVERIFY(demo.waitForFinished(150000));
        const QString output = QString::fromLocal8Bit(demo.readAllStandardOutput());
        const QString errors = QString::fromLocal8Bit(demo.readAllStandardError());
        QVERIFY2(demo.exitStatus() == QProcess::NormalExit && demo.exitCode() == 0,
                 qPrintable(output + errors));

        // The paths it printed are the files it wrote.
        const QString screenshot = QDir(out.path()).filePath(QStringLiteral("ardenix-demo.png"));
        const QString log = QDir(out.path()).filePath(QStringLiteral("dorvane-sim.log"));
        QVERIFY2(output.contains(QStringLiteral("screenshot of the panel: ") + screenshot),
                 qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("traffic log of the simulated mixer: ") + log),
                 qPrintable(output));

        // A picture of the panel window: about the panel's size, and not blank.
        const QImage image(screenshot);
        QVERIFY2(!image.isNull(), qPrintable(screenshot));
        QVERIFY2(image.width() >= 500 && image.width() <= 1000 && image.height() >= 120 &&
                     image.height() <= 400,
                 qPrintable(QStringLiteral("%1x%2").arg(image.width()).arg(image.height())));
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                ++counts[image.pixel(x, y)];
            }
        }
        int mostFrequent = 0;
        for (const int count : counts) {
            mostFrequent = std::max(mostFrequent, count);
        }
        QVERIFY2(counts.size() >= 32, qPrintable(QString::number(counts.size())));
        QVERIFY(mostFrequent < image.width() * image.height() * 9 / 10);

        // The traffic log: the panel's status polls, to the simulator's end.
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(file.readAll());
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("(^|\\n)\\d+ rx RAST\\n"))));
        QVERIFY(text.contains(QStringLiteral(" info stopped")));

        // Everything the demo started has stopped: no process names its
        // private folder (the simulator's link, the X server's cookie file).
        const QStringList processes =
            QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
        for (const QString& pid : processes) {
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            if (cmdline.open(QIODevice::ReadOnly)) {
                const QByteArray words = cmdline.readAll().replace('\0', ' ');
                QVERIFY2(!words.contains(QFile::encodeName(temp.path())), words.constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestDemo)
#include "test_demo.moc"
