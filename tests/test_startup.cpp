// Start-up: the command line, the settings file and the first values, and the
// single instance between two real processes.
#include "app/options.h"
#include "app/startup.h"
#include "core/settings.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "panel/panel.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "windows/windows.h"

#include "app/wiring.h"
#include "connection/supervisor.h"

#include <QtTest>

#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

class TestStartup : public QObject {
    Q_OBJECT
    PanelRefresh panel;
    // The program's connection and its message box, wired as the program wires them.
    std::unique_ptr<connection::Supervisor> supervisor;
    host::LoneMessage connectionMessage;
    engine::MixerOperations operations{linkRecord, mirror};
    QTemporaryDir programDir;
    QTemporaryDir runtimeDir;
    QList<QPair<QString, QString>> boxes; // text, title

    void RunMain(const QString& commandLine) {
        ResetEngineState();
        boxes.clear();
        host::SetCommandLineText(commandLine);
        Main(linkRecord, mirror, connectionMessage);
    }

private slots:
    // The windows that start-up loaded go before the application does.
    // The lock goes before its folder does (the folder is removed with the
    // test object, the lock only at the process's end otherwise).
    void cleanupTestCase() {
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        host::ReleaseInstanceLock();
        QVERIFY(!QFileInfo::exists(runtimeDir.filePath(QStringLiteral("ardenix.lock"))));
    }

    void initTestCase() {
        supervisor = std::make_unique<connection::Supervisor>(linkRecord, mirror, comm());
        WireLayers(panel, *supervisor, connectionMessage, operations);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
        host::SetProgramDirectory(programDir.path());
        host::SetMsgBoxHandler([this](const QString& text, int, const QString& title) {
            // No mixer here: the communication window's connection message
            // is not what these cases look at.
            if (text != MessageText(MessageKind::Connection)) {
                boxes.append({text, title});
            }
            return host::mbOk;
        });
    }

    void debugModeFromTheCommandLine() {
        RunMain(QString());
        QCOMPARE(programSetup.debugMode, flagFalse);
        QVERIFY(boxes.isEmpty());
        for (const char* word : {"d", "D", "1d", "1D"}) {
            RunMain(QString::fromLatin1(word));
            QCOMPARE(programSetup.debugMode, flagTrue);
        }
        RunMain(QStringLiteral("x"));
        QCOMPARE(programSetup.debugMode, flagFalse);
        QVERIFY(boxes.isEmpty());
        // Two words: the fader notice, and no debug mode.
        RunMain(QStringLiteral("d x"));
        QCOMPARE(programSetup.debugMode, flagFalse);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].first, MessageText(MessageKind::FaderNotice));
        QCOMPARE(boxes[0].second, QStringLiteral("Ardenix Ver.1.3"));
    }

    void firstValuesAfterTheSettingsFile() {
        // Master A 12.5 dB, master B 13.5 dB in scene memory 0.
        QByteArray bytes(10 + 236 + 780 + 4816, '\0');
        const int scene0 = 10 + 236 + 780;
        const float a = 12.5f;
        const float b = 13.5f;
        std::memcpy(bytes.data() + scene0 + 4444, &a, 4);
        std::memcpy(bytes.data() + scene0 + 4492, &b, 4);
        QFile f(QDir(programDir.path()).filePath(QStringLiteral("Initial.vqp")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();

        // Steps 3 to 5 of start-up: the stored levels, rounded half to even.
        ResetEngineState();
        ReadSettingsFile(QStringLiteral("Initial.vqp"));
        SetFirstPanelValues(mirror);
        QCOMPARE(mirror.panel.masters[0].level, Integer(12));
        QCOMPARE(mirror.panel.masters[1].level, Integer(14));

        // The whole start-up gives the other first values. (The levels shown
        // are the panel load's to decide, and it runs once per process: the
        // panel's own tests look at them.)
        RunMain(QString());
        QCOMPARE(mirror.panel.masters[0].name.ToQString(), QStringLiteral("MASTER A"));
        QCOMPARE(mirror.panel.masters[1].name.ToQString(), QStringLiteral("MASTER B"));
        QCOMPARE(mirror.panel.masters[0].lamps[overGain], flagTrue);
        QCOMPARE(mirror.panel.masters[1].muted, flagFalse);
        QCOMPARE(mirror.panel.selectedInput, Integer(-1));
        QCOMPARE(frmControl().panelSelectedInput, Integer(-1));
        QCOMPARE(mirror.sceneNames[2].ToQString(), QStringLiteral("        "));
        QVERIFY(programSetup.systemState.localeCode == 1 ||
                programSetup.systemState.localeCode == 81);
        QCOMPARE(programSetup.labelFont.bold, true);
        QVERIFY(boxes.isEmpty());
        f.remove();
    }

    void settingsErrorShowsTheBoxAndGoesOn() {
        QDir(programDir.path()).mkdir(QStringLiteral("Initial.vqp"));
        RunMain(QString());
        QDir(programDir.path()).rmdir(QStringLiteral("Initial.vqp"));
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].first.startsWith(QString::number(EISDIR) + QLatin1Char('\r')));
        QVERIFY(boxes[0].first.size() > 4);
        QCOMPARE(boxes[0].second, host::ApplicationTitle());
        // Start-up went on: the first values are there.
        QCOMPARE(mirror.panel.masters[1].name.ToQString(), QStringLiteral("MASTER B"));
    }

    // The single-instance lock lives only in a folder that no other user can
    // write to. With XDG_RUNTIME_DIR unset, a lock planted in the shared
    // temporary folder (naming a live process, or a link that leads nowhere)
    // does not keep the program from starting; with XDG_RUNTIME_DIR unusable,
    // a private folder still holds the lock and a second start ends at once.
    void lockOnlyInAPrivateFolder() {
        const QString binary = qEnvironmentVariable("ARDENIX_BIN_DIR") + QStringLiteral("/ardenix");
        QTemporaryDir shared; // stands in for /tmp: anyone may write there
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 01777) == 0);
        QFile planted(QDir(shared.path()).filePath(QStringLiteral("ardenix.lock")));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.write(QByteArray::number(QCoreApplication::applicationPid()) + "\nardenix\nhost\n");
        planted.close();
        QVERIFY(QFile::link(shared.filePath(QStringLiteral("nowhere")),
                            shared.filePath(QStringLiteral("runtime-elsewhere"))));

        struct Setting {
            const char* what;
            std::optional<QString> runtimeDir;
        };
        const Setting settings[] = {
            {"XDG_RUNTIME_DIR unset", std::nullopt},
            {"XDG_RUNTIME_DIR writable by all", shared.path()},
            {"XDG_RUNTIME_DIR not a folder", planted.fileName()},
        };
        for (const Setting& setting : settings) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            if (setting.runtimeDir) {
                env.insert(QStringLiteral("XDG_RUNTIME_DIR"), *setting.runtimeDir);
            }
            env.insert(QStringLiteral("TMPDIR"), shared.path());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("ARDENIX_PORT"), shared.filePath(QStringLiteral("none")));
            QProcess first;
            first.setProcessEnvironment(env);
            first.start(binary, {});
            QVERIFY(first.waitForStarted());
            QTest::qWait(1500);
            QVERIFY2(first.state() == QProcess::Running, setting.what);

            QProcess second;
            second.setProcessEnvironment(env);
            second.start(binary, {});
            QVERIFY2(second.waitForFinished(10000), setting.what);
            QCOMPARE(second.exitStatus(), QProcess::NormalExit);
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(first.state(), QProcess::Running);
            first.kill();
            first.waitForFinished(5000);
        }
        // The planted lock is still there, untouched and unused.
        QVERIFY(QFile::exists(planted.fileName()));
    }

    // The options, and the design's words beside them.
    void commandLineOptionsAndWords() {
        using Action = ProgramOptions::Action;
        struct Case {
            QStringList arguments;
            Action action;
            QStringList words;
            QString port;
            QString settings;
        };
        const Case cases[] = {
            {{}, Action::Run, {}, {}, {}},
            {{QStringLiteral("d")}, Action::Run, {QStringLiteral("d")}, {}, {}},
            {{QStringLiteral("1D")}, Action::Run, {QStringLiteral("1D")}, {}, {}},
            {{QStringLiteral("d"), QStringLiteral("x")},
             Action::Run,
             {QStringLiteral("d"), QStringLiteral("x")},
             {},
             {}},
            {{QString()}, Action::Run, {QString()}, {}, {}},
            {{QStringLiteral("--port"), QStringLiteral("/dev/ttyUSB3"), QStringLiteral("1d")},
             Action::Run,
             {QStringLiteral("1d")},
             QStringLiteral("/dev/ttyUSB3"),
             {}},
            {{QStringLiteral("--settings=/tmp/a.vqp"), QStringLiteral("D")},
             Action::Run,
             {QStringLiteral("D")},
             {},
             QStringLiteral("/tmp/a.vqp")},
            {{QStringLiteral("--"), QStringLiteral("-d")},
             Action::Run,
             {QStringLiteral("-d")},
             {},
             {}},
            {{QStringLiteral("-h")}, Action::Help, {}, {}, {}},
            {{QStringLiteral("--help"), QStringLiteral("d")},
             Action::Help,
             {QStringLiteral("d")},
             {},
             {}},
            {{QStringLiteral("-V")}, Action::Version, {}, {}, {}},
            {{QStringLiteral("--version")}, Action::Version, {}, {}, {}},
            {{QStringLiteral("--bogus")}, Action::UsageError, {}, {}, {}},
            {{QStringLiteral("-d")}, Action::UsageError, {}, {}, {}},
            {{QStringLiteral("--port")}, Action::UsageError, {}, {}, {}},
            {{QStringLiteral("--settings="), QStringLiteral("d")}, Action::UsageError, {}, {}, {}},
        };
        for (const Case& c : cases) {
            const ProgramOptions options = ParseProgramOptions(c.arguments);
            const QByteArray what = c.arguments.join(QLatin1Char('|')).toLocal8Bit();
            QVERIFY2(options.action == c.action, what.constData());
            if (c.action == Action::UsageError) {
                QVERIFY2(!options.error.isEmpty() && !options.error.contains(QLatin1Char('\n')),
                         what.constData());
                continue;
            }
            QCOMPARE(options.words, c.words);
            QCOMPARE(options.port, c.port);
            QCOMPARE(options.settings, c.settings);
        }
    }

    // The real program: help and version need no display, a wrong option is
    // one line and status 2.
    void commandLineOfTheProgram() {
        const QString binary = qEnvironmentVariable("ARDENIX_BIN_DIR") + QStringLiteral("/ardenix");
        const auto run = [&binary](const QStringList& arguments, QByteArray& out, QByteArray& err) {
            QProcess program;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
            env.remove(QStringLiteral("DISPLAY"));
            program.setProcessEnvironment(env);
            program.start(binary, arguments);
            program.waitForFinished(10000);
            out = program.readAllStandardOutput();
            err = program.readAllStandardError();
            return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        };
        QByteArray out;
        QByteArray err;
        for (const char* help : {"--help", "-h"}) {
            QCOMPARE(run({QString::fromLatin1(help)}, out, err), 0);
            for (const char* option :
                 {"-h, --help", "-V, --version", "--port <PATH>", "--settings <FILE>", "1d, 1D"}) {
                QVERIFY2(out.contains(option), out.constData());
            }
            QVERIFY(err.isEmpty());
        }
        for (const char* version : {"--version", "-V"}) {
            QCOMPARE(run({QString::fromLatin1(version)}, out, err), 0);
            QCOMPARE(out, QByteArray("ardenix 1.3\n"));
        }
        for (const QStringList& wrong : {QStringList{QStringLiteral("--bogus")},
                                         QStringList{QStringLiteral("-x"), QStringLiteral("d")},
                                         QStringList{QStringLiteral("--port")}}) {
            QCOMPARE(run(wrong, out, err), 2);
            QVERIFY(out.isEmpty());
            QCOMPARE(err.count('\n'), 1);
            QVERIFY2(err.startsWith("ardenix: "), err.constData());
        }
    }

    // The user's settings file is found before the program's; a scene locked
    // in it does nothing when pressed, and no file is made in the program's
    // directory.
    void usersSettingsFileComesFirst() {
        QTemporaryDir config;
        QVERIFY(QDir().mkpath(config.filePath(QStringLiteral("ardenix"))));
        QByteArray bytes(10 + 236 + 780, '\0');
        const int sceneSetupAt = 10 + 236;
        bytes[sceneSetupAt + 132 + 32 * 1 + 30] = char(0xFF); // scene code 50 locked
        bytes[sceneSetupAt + 132 + 32 * 1 + 31] = char(0xFF);
        bytes[sceneSetupAt + 772] = 50; // on radio button A
        QFile user(config.filePath(QStringLiteral("ardenix/Initial.vqp")));
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write(bytes);
        user.close();
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        QFile::remove(QDir(programDir.path()).filePath(QStringLiteral("Initial.vqp")));

        RunMain(QString());
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(boxes.isEmpty());
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[1], Integer(-1));
        QCOMPARE(programSetup.sceneSetup.sceneNumbers[0], Integer(50));
        QVERIFY(
            !QFileInfo::exists(QDir(programDir.path()).filePath(QStringLiteral("Initial.vqp"))));
        const Integer recall = mirror.panel.recall;
        const QString picture = frmControl().SSCommand5[0].PictureName();
        Integer button = 1;
        Integer shift = 0;
        Single x = 0;
        Single y = 0;
        frmControl().SSCommand5_MouseDown(0, button, shift, x, y);
        QCOMPARE(mirror.panel.recall, recall);
        QCOMPARE(frmControl().SSCommand5[0].PictureName(), picture);
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Recall).changePending, flagFalse);

        // Given on the command line, another file wins.
        QTemporaryDir elsewhere;
        QFile given(elsewhere.filePath(QStringLiteral("mine.vqp")));
        QVERIFY(given.open(QIODevice::WriteOnly));
        given.close();
        SetSettingsFileOption(given.fileName());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        RunMain(QString());
        SetSettingsFileOption(QString());
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(programSetup.sceneSetup.sceneBlocked[1], Integer(0));
    }

    // A settings file named on the command line that cannot be read ends the
    // program at once: one line naming the file and the reason, status 1, and
    // no window system touched (there is no display to touch).
    void givenSettingsFileThatCannotBeRead() {
        const QString binary = qEnvironmentVariable("ARDENIX_BIN_DIR") + QStringLiteral("/ardenix");
        QTemporaryDir files;
        QVERIFY(::chmod(QFile::encodeName(files.path()).constData(), 0755) == 0);
        const QString missing = files.filePath(QStringLiteral("missing.vqp"));
        const QString folder = files.filePath(QStringLiteral("folder.vqp"));
        const QString fifo = files.filePath(QStringLiteral("fifo.vqp"));
        const QString secret = files.filePath(QStringLiteral("secret.vqp"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        QFile secretFile(secret);
        QVERIFY(secretFile.open(QIODevice::WriteOnly));
        secretFile.close();
        QVERIFY(::chmod(QFile::encodeName(secret).constData(), 0600) == 0);
        struct Case {
            QString path;
            QString reason;
            bool unprivileged;
        };
        const Case cases[] = {
            {missing, QStringLiteral("No such file or directory"), false},
            {folder, QStringLiteral("not a regular file"), false},
            {fifo, QStringLiteral("not a regular file"), false},
            {secret, QStringLiteral("Permission denied"), true},
        };
        for (const Case& c : cases) {
            if (c.unprivileged && ::geteuid() != 0) {
                continue; // the file is this user's own: readable
            }
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            env.remove(QStringLiteral("DISPLAY"));
            env.remove(QStringLiteral("WAYLAND_DISPLAY"));
            QProcess run;
            run.setProcessEnvironment(env);
            if (c.unprivileged) {
                run.setChildProcessModifier([] {
                    if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
                        ::_exit(90);
                    }
                });
            }
            run.start(binary, {QStringLiteral("--settings"), c.path});
            QVERIFY2(run.waitForFinished(10000), qPrintable(c.path));
            QCOMPARE(run.exitStatus(), QProcess::NormalExit);
            QCOMPARE(QString::fromLocal8Bit(run.readAllStandardError()),
                     QStringLiteral("ardenix: cannot read the settings file %1: %2\n")
                         .arg(c.path, c.reason));
            QCOMPARE(run.exitCode(), 1);
            QCOMPARE(run.readAllStandardOutput(), QByteArray());
        }
        QVERIFY(!QFileInfo::exists(missing));
    }

    void secondInstanceEndsSilently() {
        const QString binary = qEnvironmentVariable("ARDENIX_BIN_DIR") + QStringLiteral("/ardenix");
        QVERIFY2(QFileInfo::exists(binary), qPrintable(binary));
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("ARDENIX_PORT"), runtime.filePath(QStringLiteral("none")));

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(binary, {});
        QVERIFY(first.waitForStarted());
        // The first instance holds the lock once its lock file exists.
        QTRY_VERIFY_WITH_TIMEOUT(
            QFileInfo::exists(runtime.filePath(QStringLiteral("ardenix.lock"))), 10000);

        QProcess second;
        second.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        second.start(binary, {});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardOutput().isEmpty());
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(first.state(), QProcess::Running);

        // A lock left by a dead process is taken over.
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QProcess third;
        third.setProcessEnvironment(env);
        third.start(binary, {});
        QVERIFY(third.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        third.waitForFinished(5000);
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
