// The settings file, built byte by byte by the test.
#include "core/settings.h"
#include "core/state.h"
#include "tests/support/linkrecord.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A settings file image with helpers that write values at absolute offsets.
struct FileImage {
    QByteArray bytes;
    int textLength = 0;

    explicit FileImage(const QByteArray& text = QByteArray())
        : textLength(static_cast<int>(text.size())) {
        bytes.fill('\0', settings::systemBlockFixedBytes + 2 + textLength +
                             settings::setupBlockBytes + settings::sceneSetupBytes +
                             settings::sceneMemoryBytes * sceneCount);
        PutInt16(settings::systemBlockFixedBytes, static_cast<Integer>(textLength));
        std::memcpy(bytes.data() + settings::systemBlockFixedBytes + 2, text.constData(),
                    text.size());
    }
    int SceneSetupStart() const {
        return settings::systemBlockFixedBytes + 2 + textLength + settings::setupBlockBytes;
    }
    int SceneMemoryStart(int i) const {
        return SceneSetupStart() + settings::sceneSetupBytes + i * settings::sceneMemoryBytes;
    }
    void PutInt16(int offset, Integer value) {
        bytes[offset] = static_cast<char>(value & 0xFF);
        bytes[offset + 1] = static_cast<char>((value >> 8) & 0xFF);
    }
    void PutSingle(int offset, float value) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, 4);
        for (int i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
        }
    }
    void Write(const QString& path) const {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
};

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString Path() const { return dir.filePath(QStringLiteral("Initial.vqp")); }

private slots:
    void init() {
        ResetEngineState();
        QFile::remove(Path());
    }

    void missingFileIsCreatedEmpty() {
        const auto result = settings::LoadSettingsFile(Path());
        QVERIFY(!result.failed);
        QVERIFY(QFileInfo::exists(Path()));
        QCOMPARE(QFileInfo(Path()).size(), qint64(0));
        QCOMPARE(programSetup.scenes[0].masterLevel[0], 0.0f);
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[3], Integer(0));
        QCOMPARE(programSetup.systemState.deviceResponding, Integer(0));
    }

    void valuesLandAtTheirOffsets() {
        FileImage image(QByteArray("Dorvane setup"));
        image.PutInt16(0, 1041);
        image.PutInt16(2, -1);
        image.PutInt16(4, -1);
        const int setup = image.SceneSetupStart();
        // Scene code 50 is locked: entry 1, flag at offset 30 of the entry.
        image.PutInt16(setup + settings::sceneEntriesOffset + 1 * settings::sceneEntryBytes + 30,
                       -1);
        image.PutInt16(setup + settings::sceneEntriesOffset + 19 * settings::sceneEntryBytes + 30,
                       7);
        // A neighbouring Integer of the entry must not be taken for the flag.
        image.PutInt16(setup + settings::sceneEntriesOffset + 2 * settings::sceneEntryBytes + 28,
                       -1);
        for (int k = 0; k < 4; ++k) {
            image.PutInt16(setup + settings::sceneNumbersOffset + 2 * k,
                           static_cast<Integer>(49 + 3 * k));
        }
        image.PutSingle(image.SceneMemoryStart(0) + 4444, 7.5f);
        image.PutSingle(image.SceneMemoryStart(0) + 4492, -12.25f);
        image.PutSingle(image.SceneMemoryStart(19) + 4444, 3.0f);
        image.Write(Path());

        QVERIFY(!settings::LoadSettingsFile(Path()).failed);
        QCOMPARE(programSetup.systemState.localeCode, Integer(1041));
        QCOMPARE(programSetup.systemState.deviceResponding, flagTrue);
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        QCOMPARE(programSetup.systemState.text, QByteArray("Dorvane setup"));
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[0], Integer(0));
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[1], flagTrue);
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[2], Integer(0));
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[19], Integer(7));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[0], Integer(49));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[3], Integer(58));
        QCOMPARE(programSetup.scenes[0].masterLevel[0], 7.5f);
        QCOMPARE(programSetup.scenes[0].masterLevel[1], -12.25f);
        QCOMPARE(programSetup.scenes[19].masterLevel[0], 3.0f);
        QCOMPARE(programSetup.scenes[1].masterLevel[0], 0.0f);
    }

    void shortFilesLeaveZeros() {
        FileImage image;
        const int setup = image.SceneSetupStart();
        image.PutInt16(setup + settings::sceneNumbersOffset, 52);
        image.PutSingle(image.SceneMemoryStart(0) + 4444, 5.0f);
        // Only the first three blocks.
        QByteArray three = image.bytes.left(image.SceneMemoryStart(0));
        FileImage cut;
        cut.bytes = three;
        cut.Write(Path());
        QVERIFY(!settings::LoadSettingsFile(Path()).failed);
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[0], Integer(52));
        QCOMPARE(programSetup.scenes[0].masterLevel[0], 0.0f);

        // A file cut in the middle of master A's Single: the missing bytes are zero.
        ResetEngineState();
        cut.bytes = image.bytes.left(image.SceneMemoryStart(0) + 4444 + 3);
        cut.Write(Path());
        QVERIFY(!settings::LoadSettingsFile(Path()).failed);
        std::uint32_t bits;
        const float five = 5.0f;
        std::memcpy(&bits, &five, 4);
        bits &= 0x00FFFFFFu;
        float expected;
        std::memcpy(&expected, &bits, 4);
        QCOMPARE(programSetup.scenes[0].masterLevel[0], expected);

        // A text count that runs past the end: nothing after it is read.
        ResetEngineState();
        cut.bytes = QByteArray("\x01\x00\x00\x00\x00\x00\x00\x00\xff\xff"
                               "abc",
                               13);
        cut.Write(Path());
        QVERIFY(!settings::LoadSettingsFile(Path()).failed);
        QCOMPARE(programSetup.systemState.localeCode, Integer(1));
        QCOMPARE(programSetup.systemState.text, QByteArray("abc"));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[0], Integer(0));
    }

    void hugeFileReadsOnlyTheBlocks() {
        FileImage image;
        image.PutSingle(image.SceneMemoryStart(0) + 4492, 9.0f);
        image.bytes.append(QByteArray(2 * 1024 * 1024, '\x7f'));
        image.Write(Path());
        QVERIFY(!settings::LoadSettingsFile(Path()).failed);
        QCOMPARE(programSetup.scenes[0].masterLevel[1], 9.0f);
    }

    void firstLevelRoundsHalfToEven() {
        QCOMPARE(settings::FirstLevelFromDecibels(12.5f), Integer(12));
        QCOMPARE(settings::FirstLevelFromDecibels(13.5f), Integer(14));
        QCOMPARE(settings::FirstLevelFromDecibels(7.5f), Integer(8));
        QCOMPARE(settings::FirstLevelFromDecibels(-2.5f), Integer(-2));
        QCOMPARE(settings::FirstLevelFromDecibels(-2.6f), Integer(-3));
        QCOMPARE(settings::FirstLevelFromDecibels(std::numeric_limits<float>::quiet_NaN()),
                 Integer(0));
        QCOMPARE(settings::FirstLevelFromDecibels(std::numeric_limits<float>::infinity()),
                 Integer(0));
        QCOMPARE(settings::FirstLevelFromDecibels(40000.0f), Integer(0));
        QCOMPARE(settings::FirstLevelFromDecibels(-32768.4f), Integer(-32768));
    }

    void aDirectoryInItsPlaceIsAnError() {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Initial.vqp")));
        const auto result = settings::LoadSettingsFile(Path());
        QDir(dir.path()).rmdir(QStringLiteral("Initial.vqp"));
        QVERIFY(result.failed);
        QCOMPARE(result.errorNumber, EISDIR);
        QVERIFY(!result.description.isEmpty());
    }

    // Anything but a regular file in the file's place is an error, told at
    // once: opening never waits for a FIFO's writer. The checks run in a child
    // that an alarm ends should the reading block after all.
    void nothingButARegularFileIsRead() {
        QTemporaryDir place; // open to the unprivileged child too
        QVERIFY(::chmod(place.path().toLocal8Bit().constData(), 0755) == 0);
        const QString fifo = place.filePath(QStringLiteral("fifo.vqp"));
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0444), 0);
        const QString device = place.filePath(QStringLiteral("device.vqp"));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), device));
        for (const QString& path : {fifo, device}) {
            for (const bool unprivileged : {false, true}) {
                const auto check = [&] {
                    ::alarm(5);
                    const auto r = settings::LoadSettingsFile(path);
                    return r.failed && r.errorNumber == EINVAL &&
                                   r.description == QLatin1String("Not a regular file")
                               ? 0
                               : 1;
                };
                const int status = unprivileged ? AsUnprivileged(check) : InChild(check);
                QVERIFY2(status == 0,
                         qPrintable(path + QStringLiteral(" status ") + QString::number(status)));
            }
        }
    }

    // A link whose target does not exist is not followed to create the target:
    // the blocks stay zero and nothing is made. A link to a file is read.
    void linksAreNeverFollowedToCreate() {
        const QString target = dir.filePath(QStringLiteral("elsewhere.vqp"));
        QVERIFY(QFile::link(target, Path()));
        const auto dangling = settings::LoadSettingsFile(Path());
        QVERIFY(!dangling.failed);
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[1], Integer(0));

        FileImage image;
        image.PutInt16(image.SceneSetupStart() + settings::sceneNumbersOffset + 2, 61);
        image.Write(target);
        const auto linked = settings::LoadSettingsFile(Path());
        QVERIFY(!linked.failed);
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[1], Integer(61));
        QFile::remove(Path());
    }

    // Where the file is looked for: the file given, then the user's folder,
    // then each system folder, then the program's directory.
    void searchOrder() {
        QTemporaryDir home;
        QTemporaryDir systemA;
        QTemporaryDir systemB;
        QTemporaryDir program;
        const auto put = [](const QString& folder) {
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/ardenix")));
            QFile f(folder + QStringLiteral("/ardenix/Initial.vqp"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", (QStringLiteral("relative/ignored:") + systemA.path() +
                                    QLatin1Char(':') + systemB.path())
                                       .toLocal8Bit());
        const auto found = [&program](const QString& given = QString()) {
            return settings::FindSettingsFile(QStringLiteral("Initial.vqp"), program.path(), given);
        };
        // Nothing anywhere: the program's own file.
        QCOMPARE(found().path, program.filePath(QStringLiteral("Initial.vqp")));
        QVERIFY(found().access == settings::Access::Own);
        put(systemB.path());
        QCOMPARE(found().path, systemB.filePath(QStringLiteral("ardenix/Initial.vqp")));
        QVERIFY(found().access == settings::Access::ReadOnly);
        put(systemA.path());
        QCOMPARE(found().path, systemA.filePath(QStringLiteral("ardenix/Initial.vqp")));
        put(home.path());
        QCOMPARE(found().path, home.filePath(QStringLiteral("ardenix/Initial.vqp")));
        QCOMPARE(found(QStringLiteral("/some/where.vqp")).path, QStringLiteral("/some/where.vqp"));
        QVERIFY(found(QStringLiteral("/some/where.vqp")).access == settings::Access::ReadOnly);
        // Unset, the variables stand for ~/.config and /etc/xdg.
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
        const QString defaultHome =
            QDir::homePath() + QStringLiteral("/.config/ardenix/Initial.vqp");
        const QString expected = QFileInfo::exists(defaultHome) ? defaultHome
                                 : QFileInfo::exists(QStringLiteral("/etc/xdg/ardenix/Initial.vqp"))
                                     ? QStringLiteral("/etc/xdg/ardenix/Initial.vqp")
                                     : program.filePath(QStringLiteral("Initial.vqp"));
        QCOMPARE(found().path, expected);
    }

    // A file that is not the program's own is only read: a missing one is an
    // error and is not made, a read-only one is read, and nothing is written.
    void readOnlyAccessNeverWrites() {
        const QString missing = dir.filePath(QStringLiteral("given.vqp"));
        const auto none = settings::LoadSettingsFile(missing, settings::Access::ReadOnly);
        QVERIFY(none.failed);
        QCOMPARE(none.errorNumber, ENOENT);
        QVERIFY(!QFileInfo::exists(missing));

        FileImage image;
        image.PutInt16(image.SceneSetupStart() + settings::sceneEntriesOffset +
                           settings::sceneEntryBytes * 1 + settings::sceneBlockedOffset,
                       -1);
        image.Write(missing);
        QCOMPARE(::chmod(QFile::encodeName(missing).constData(), 0444), 0);
        const QDateTime before = QFileInfo(missing).lastModified();
        const auto read = settings::LoadSettingsFile(missing, settings::Access::ReadOnly);
        QVERIFY(!read.failed);
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[1], Integer(-1)); // scene code 50 is locked
        QCOMPARE(QFileInfo(missing).lastModified(), before);
        QFile f(missing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), image.bytes);
    }

    static int InChild(const std::function<int()>& check) {
        const pid_t pid = fork();
        if (pid == 0) {
            _exit(check());
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
    }

    // Runs `check` in a child process that has given up root, so that the file
    // permissions below apply as they do for a user. Returns the child's status.
    static int AsUnprivileged(const std::function<int()>& check) {
        const pid_t pid = fork();
        if (pid == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(90);
            }
            _exit(check());
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
    }

    void readOnlyPlacesAreReadWithoutAnError() {
        QTemporaryDir ro;
        chmod(ro.path().toLocal8Bit().constData(), 0755);
        const QString path = ro.filePath(QStringLiteral("Initial.vqp"));
        FileImage image;
        image.PutInt16(image.SceneSetupStart() + settings::sceneNumbersOffset + 2, 61);
        image.Write(path);
        chmod(path.toLocal8Bit().constData(), 0444);
        chmod(ro.path().toLocal8Bit().constData(), 0555);

        // A read-only file in a read-only directory is read.
        QCOMPARE(AsUnprivileged([&] {
                     const auto r = settings::LoadSettingsFile(path);
                     return r.failed ? 1 : (programSetup.sceneSetup.sceneNumbers[1] == 61 ? 0 : 2);
                 }),
                 0);
        // A missing file in a read-only directory: zeros, no error, nothing created.
        const QString missing = ro.filePath(QStringLiteral("Other.vqp"));
        QCOMPARE(AsUnprivileged([&] {
                     const auto r = settings::LoadSettingsFile(missing);
                     return r.failed ? 1 : (programSetup.sceneSetup.sceneNumbers[1] == 0 ? 0 : 2);
                 }),
                 0);
        QVERIFY(!QFileInfo::exists(missing));
        // An unreadable file is an error that is reported.
        chmod(path.toLocal8Bit().constData(), 0000);
        QCOMPARE(AsUnprivileged([&] {
                     const auto r = settings::LoadSettingsFile(path);
                     return r.failed && r.errorNumber == EACCES ? 0 : 1;
                 }),
                 0);
        chmod(ro.path().toLocal8Bit().constData(), 0755);
    }

    // An installed program (under /usr or /opt) reads a file beside it but
    // never makes one there; from any other folder it makes its own as before.
    void installedProgramNeverWritesBesideItself() {
        for (const char* installed :
             {"/usr/lib/ardenix", "/usr/local/lib/ardenix", "/opt/ardenix", "/usr"}) {
            QVERIFY2(settings::InstalledLocation(QString::fromLatin1(installed)), installed);
        }
        QTemporaryDir build;
        QVERIFY(!settings::InstalledLocation(build.path()));
        QVERIFY(!settings::InstalledLocation(QStringLiteral("/usrlocal/ardenix")));
        QVERIFY(!settings::InstalledLocation(QStringLiteral("/home/user/opt/ardenix")));
        // A link from elsewhere into /usr counts as installed.
        QVERIFY(QFile::link(QStringLiteral("/usr/lib"), build.filePath(QStringLiteral("lib"))));
        QVERIFY(settings::InstalledLocation(build.filePath(QStringLiteral("lib"))));

        QTemporaryDir emptyConfig;
        qputenv("XDG_CONFIG_HOME", emptyConfig.path().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", emptyConfig.path().toLocal8Bit());
        const settings::SettingsLocation installed = settings::FindSettingsFile(
            QStringLiteral("Initial.vqp"), QStringLiteral("/usr/lib/ardenix"), QString());
        const settings::SettingsLocation own =
            settings::FindSettingsFile(QStringLiteral("Initial.vqp"), dir.path(), QString());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
        QCOMPARE(installed.path, QStringLiteral("/usr/lib/ardenix/Initial.vqp"));
        QVERIFY(installed.access == settings::Access::Installed);
        QCOMPARE(own.path, Path());
        QVERIFY(own.access == settings::Access::Own);

        // Opened as an installed program's: a missing file is no error and is
        // not made; a file there is read.
        const auto none = settings::LoadSettingsFile(Path(), settings::Access::Installed);
        QVERIFY(!none.failed);
        QVERIFY(!QFileInfo::exists(Path()));
        FileImage image;
        image.PutInt16(image.SceneSetupStart() + settings::sceneNumbersOffset + 2, 61);
        image.Write(Path());
        const auto read = settings::LoadSettingsFile(Path(), settings::Access::Installed);
        QVERIFY(!read.failed);
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[1], Integer(61));
        // The program's own file in a build folder is still made when missing.
        QFile::remove(Path());
        QVERIFY(!settings::LoadSettingsFile(own.path, own.access).failed);
        QVERIFY(QFileInfo::exists(Path()));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
