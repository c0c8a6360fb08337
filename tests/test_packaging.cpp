// What an installation and the Debian package hold: the layout of
// "cmake --install" into a staging folder, the package that cpack builds, and
// manual pages that document exactly the options the programs take.
// Each case runs as a ctest entry of its own (test_packaging_<case>).
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <map>

namespace {

const QString appId = QStringLiteral("org.ardenix.Ardenix");
const QString version = QStringLiteral(ARDENIX_VERSION);
const QList<int> iconSizes{16, 22, 24, 32, 48, 64, 128, 256};
constexpr int bitmapCount = 67;

QString SourcePath(const QString& relative) {
    return QDir(QStringLiteral(ARDENIX_SOURCE_DIR)).filePath(relative);
}
QString BinPath(const QString& program) {
    return QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(program);
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
Run Execute(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
            int timeoutMs = 120000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        run.err = "did not finish: " + program.toLocal8Bit();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The options of a manual page's OPTIONS section: long name -> short letter
// (empty when it has none). `mentioned` gets every long option named anywhere
// in the page.
std::map<QString, QString> ManPageOptions(const QString& path, QSet<QString>* mentioned) {
    QString text = QString::fromUtf8(ReadAll(path));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    const QRegularExpression longOption(QStringLiteral("--([a-z][a-z-]*)"));
    for (const auto& match : longOption.globalMatch(text)) {
        mentioned->insert(match.captured(1));
    }
    std::map<QString, QString> options;
    const qsizetype start = text.indexOf(QStringLiteral("\n.SH OPTIONS\n"));
    if (start < 0) {
        return options;
    }
    const qsizetype end = text.indexOf(QStringLiteral("\n.SH "), start + 1);
    const QString section = text.mid(start, end < 0 ? -1 : end - start);
    // Option lines follow ".TP": ".B --silent", ".BI --link " PATH"",
    // ".BR -V ", " --version".
    const QRegularExpression item(
        QStringLiteral("\\n\\.TP\\n\\.B[IR]? (?:-([A-Za-z]) \", \" )?--([a-z][a-z-]*)"));
    for (const auto& match : item.globalMatch(section)) {
        options[match.captured(2)] = match.captured(1);
    }
    return options;
}

// The options that a --help text lists in its option lines
// ("  -V, --version   ...", "  --link <PATH>   ...").
std::map<QString, QString> HelpOptions(const QByteArray& help) {
    std::map<QString, QString> options;
    const QRegularExpression line(QStringLiteral("^  (?:-([A-Za-z]), )?--([a-z][a-z-]*)"),
                                  QRegularExpression::MultilineOption);
    for (const auto& match : line.globalMatch(QString::fromUtf8(help))) {
        options[match.captured(2)] = match.captured(1);
    }
    return options;
}

QString Describe(const std::map<QString, QString>& options) {
    QStringList words;
    for (const auto& [name, letter] : options) {
        words << (letter.isEmpty() ? QString() : QLatin1Char('-') + letter + QLatin1Char('/')) +
                     QStringLiteral("--") + name;
    }
    return words.join(QLatin1Char(' '));
}

// Whether an ELF file still carries its symbol table or debug sections.
bool Unstripped(const QString& path) {
    const Run sections = Execute(QStringLiteral("readelf"), {QStringLiteral("-S"), path});
    return sections.exitCode != 0 || sections.out.contains(".symtab") ||
           sections.out.contains(".debug_");
}

} // namespace

class TestPackaging : public QObject {
    Q_OBJECT

    // Checks a tree with the prefix /usr at `root`: installed or unpacked.
    void CheckTree(const QString& root, bool stripped) {
        const QDir usr(QDir(root).filePath(QStringLiteral("usr")));
        // The program alone in lib/ardenix, its bitmaps (the same on every
        // architecture) in share/ardenix, the launcher link in bin.
        const QFileInfo program(usr.filePath(QStringLiteral("lib/ardenix/ardenix")));
        QVERIFY2(program.isFile() && program.isExecutable(), qPrintable(program.filePath()));
        QCOMPARE(QDir(program.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("ardenix")});
        const QStringList bitmaps = QDir(usr.filePath(QStringLiteral("share/ardenix")))
                                        .entryList({QStringLiteral("*.bmp")}, QDir::Files);
        // Each bitmap with its two variants for finer screens (name@2x.bmp, name@3x.bmp).
        QCOMPARE(bitmaps.filter(QStringLiteral("@")).size(), 2 * bitmapCount);
        QCOMPARE(bitmaps.size() - bitmaps.filter(QStringLiteral("@")).size(), bitmapCount);
        const QStringList built =
            QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).entryList({QStringLiteral("*.bmp")});
        QCOMPARE(bitmaps, built);
        // A relative link, so that it holds under any prefix and DESTDIR.
        const QFileInfo link(usr.filePath(QStringLiteral("bin/ardenix")));
        QVERIFY(link.isSymLink());
        char target[256] = {};
        const ssize_t length =
            ::readlink(QFile::encodeName(link.filePath()).constData(), target, sizeof target - 1);
        QCOMPARE(QByteArray(target, std::max<ssize_t>(length, 0)),
                 QByteArray("../lib/ardenix/ardenix"));
        QCOMPARE(link.canonicalFilePath(), program.canonicalFilePath());
        const QFileInfo sim(usr.filePath(QStringLiteral("bin/dorvane-sim")));
        QVERIFY(sim.isFile() && sim.isExecutable() && !sim.isSymLink());
        if (stripped) {
            QVERIFY(!Unstripped(program.filePath()));
            QVERIFY(!Unstripped(sim.filePath()));
        }
        const Run simVersion = Execute(sim.filePath(), {QStringLiteral("--version")});
        QCOMPARE(simVersion.exitCode, 0);
        QCOMPARE(QString::fromUtf8(simVersion.out), "dorvane-sim " + version + "\n");
        // The session-bus client beside the launcher link, and the interface
        // it speaks where D-Bus tools look for it.
        const QFileInfo ctl(usr.filePath(QStringLiteral("bin/ardenixctl")));
        QVERIFY(ctl.isFile() && ctl.isExecutable() && !ctl.isSymLink());
        if (stripped) {
            QVERIFY(!Unstripped(ctl.filePath()));
        }
        const Run ctlVersion = Execute(ctl.filePath(), {QStringLiteral("--version")});
        QCOMPARE(ctlVersion.exitCode, 0);
        QCOMPARE(QString::fromUtf8(ctlVersion.out), "ardenixctl " + version + "\n");
        const QByteArray interfaceXml =
            ReadAll(usr.filePath(QStringLiteral("share/dbus-1/interfaces/org.ardenix.Mixer1.xml")));
        QCOMPARE(interfaceXml,
                 ReadAll(SourcePath(QStringLiteral("service/org.ardenix.Mixer1.xml"))));
        QVERIFY(interfaceXml.contains("<interface name=\"org.ardenix.Mixer1\">"));

        // The desktop entry and the metainfo under the application id.
        const QString desktop =
            QString::fromUtf8(ReadAll(usr.filePath("share/applications/" + appId + ".desktop")));
        QVERIFY(desktop.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY(desktop.contains("\nIcon=" + appId + "\n"));
        QVERIFY(desktop.contains(QStringLiteral("\nExec=ardenix\n")));
        QVERIFY(
            !QFileInfo::exists(usr.filePath(QStringLiteral("share/applications/ardenix.desktop"))));
        QFile metainfo(usr.filePath("share/metainfo/" + appId + ".metainfo.xml"));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&metainfo);
        QString id;
        QString launchable;
        QString license;
        QString newestRelease;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) {
                continue;
            }
            if (xml.name() == QLatin1String("id")) {
                id = xml.readElementText();
            } else if (xml.name() == QLatin1String("launchable")) {
                launchable = xml.readElementText();
            } else if (xml.name() == QLatin1String("project_license")) {
                license = xml.readElementText();
            } else if (xml.name() == QLatin1String("release") && newestRelease.isEmpty()) {
                newestRelease = xml.attributes().value(QLatin1String("version")).toString();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(id, appId);
        QCOMPARE(launchable, appId + ".desktop");
        QCOMPARE(license, QStringLiteral("GPL-3.0-or-later"));
        QCOMPARE(newestRelease, version); // a new version needs its release entry

        // The icon at every size, square and drawn; the scalable one is SVG.
        for (const int size : iconSizes) {
            const QString path =
                usr.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + appId +
                             QStringLiteral(".png"));
            const QImage icon(path);
            QVERIFY2(!icon.isNull(), qPrintable(path));
            QCOMPARE(icon.size(), QSize(size, size));
            int opaque = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    opaque += qAlpha(icon.pixel(x, y)) == 255 ? 1 : 0;
                }
            }
            QVERIFY2(opaque > size * size / 2, qPrintable(path));
        }
        QFile svg(usr.filePath("share/icons/hicolor/scalable/apps/" + appId + ".svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QXmlStreamReader svgXml(&svg);
        QVERIFY(svgXml.readNextStartElement());
        QCOMPARE(svgXml.name(), QLatin1String("svg"));
        while (!svgXml.atEnd()) {
            svgXml.readNext();
        }
        QVERIFY2(!svgXml.hasError(), qPrintable(svgXml.errorString()));

        // The manual pages, compressed, of this version.
        for (const QString& page : {QStringLiteral("ardenix"), QStringLiteral("ardenixctl"),
                                    QStringLiteral("dorvane-sim")}) {
            const QString path = usr.filePath("share/man/man1/" + page + ".1.gz");
            const Run unpacked = Execute(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
            QCOMPARE(unpacked.exitCode, 0);
            QVERIFY2(unpacked.out.startsWith(".TH " + page.toUpper().toUtf8() + " 1 "),
                     qPrintable(path));
            QVERIFY(unpacked.out.contains("\"Ardenix " + version.toUtf8() + "\""));
        }

        // The udev rule, with the latency timer line left to the administrator.
        const QByteArray rule =
            ReadAll(usr.filePath(QStringLiteral("lib/udev/rules.d/60-ardenix-dorvane.rules")));
        QVERIFY(rule.contains("\nSUBSYSTEM==\"tty\", ATTRS{idVendor}==\"0403\", TAG+=\"uaccess\""));
        QVERIFY(rule.contains("\n#ACTION==\"add\", SUBSYSTEM==\"usb-serial\""));
        QVERIFY(rule.contains("ATTR{latency_timer}=\"1\""));

        // The user service: the program without a window, started again on failure.
        const QByteArray service =
            ReadAll(usr.filePath(QStringLiteral("lib/systemd/user/ardenix.service")));
        QVERIFY(service.contains("\nExecStart=ardenix --headless\n"));
        QVERIFY(service.contains("\nRestart=on-failure\n"));

        // The copyright file.
        const QByteArray copyright =
            ReadAll(usr.filePath(QStringLiteral("share/doc/ardenix/copyright")));
        QVERIFY(copyright.contains("License: GPL-3.0-or-later"));
        QVERIFY(copyright.contains("/usr/share/common-licenses/GPL-3"));

        // The changelog, compressed, its newest entry this version.
        const Run changelog =
            Execute(QStringLiteral("gzip"),
                    {QStringLiteral("-dc"),
                     usr.filePath(QStringLiteral("share/doc/ardenix/changelog.gz"))});
        QCOMPARE(changelog.exitCode, 0);
        QVERIFY2(changelog.out.startsWith("ardenix (" + version.toUtf8() + ") "),
                 changelog.out.left(80).constData());
    }

    // The program installed in `root` finds its bitmaps: it draws its panel
    // without a complaint about a missing picture.
    void InstalledProgramFindsItsBitmaps(const QString& root) {
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.path());
        env.insert(QStringLiteral("ARDENIX_PORT"), runtime.filePath(QStringLiteral("none")));
        QProcess panel;
        panel.setProcessEnvironment(env);
        panel.start(QDir(root).filePath(QStringLiteral("usr/bin/ardenix")), {});
        QVERIFY(panel.waitForStarted(5000));
        QTest::qWait(3000);
        QCOMPARE(panel.state(), QProcess::Running);
        panel.kill();
        panel.waitForFinished(5000);
        const QByteArray told = panel.readAllStandardError();
        QVERIFY2(!told.contains("cannot load the picture"), told.constData());
    }

private slots:
    void licenseIsTheGpl3() {
        const QByteArray license = ReadAll(SourcePath(QStringLiteral("LICENSE")));
        QVERIFY(license.contains("GNU GENERAL PUBLIC LICENSE"));
        QVERIFY(license.contains("Version 3, 29 June 2007"));
        QVERIFY(license.contains("END OF TERMS AND CONDITIONS"));
        QVERIFY(ReadAll(SourcePath(QStringLiteral("README.md"))).contains("GPL-3.0-or-later"));
    }

    void installLayout() {
        QTemporaryDir stage;
        QVERIFY(stage.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), stage.path());
        const Run install = Execute(QStringLiteral("cmake"),
                                    {QStringLiteral("--install"), QStringLiteral(ARDENIX_BUILD_DIR),
                                     QStringLiteral("--prefix"), QStringLiteral("/usr")},
                                    env);
        QVERIFY2(install.exitCode == 0, install.err.constData());
        CheckTree(stage.path(), false);
        InstalledProgramFindsItsBitmaps(stage.path());
        // Nothing lands outside the prefix.
        QCOMPARE(QDir(stage.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("usr")});
    }

    void debianPackage() {
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const Run cpack =
            Execute(QStringLiteral("cpack"),
                    {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                     QStringLiteral(ARDENIX_BUILD_DIR "/CPackConfig.cmake"), QStringLiteral("-B"),
                     work.path()});
        QVERIFY2(cpack.exitCode == 0, (cpack.out + cpack.err).constData());
        const Run arch = Execute(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
        QCOMPARE(arch.exitCode, 0);
        const QString name =
            QStringLiteral("ardenix_%1_%2.deb").arg(version, QString::fromUtf8(arch.out.trimmed()));
        const QString deb = QDir(work.path()).filePath(name);
        QVERIFY2(QFileInfo(deb).isFile(), qPrintable(name));

        const Run fields = Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb});
        QCOMPARE(fields.exitCode, 0);
        const QString control = QString::fromUtf8(fields.out);
        QVERIFY(control.contains(QStringLiteral("\nPackage: ardenix\n")) ||
                control.startsWith(QStringLiteral("Package: ardenix\n")));
        QVERIFY(control.contains("\nVersion: " + version + "\n"));
        // The dependencies found by the shared-library scan.
        const QRegularExpression depends(QStringLiteral("\\nDepends: ([^\\n]*)\\n"));
        const QString dependencies = depends.match(control).captured(1);
        for (const char* library : {"libc6", "libstdc++6", "libqt6core6", "libqt6gui6",
                                    "libqt6widgets6", "libqt6serialport6", "libqt6dbus6"}) {
            QVERIFY2(dependencies.contains(QLatin1String(library) + QLatin1String(" (>= ")),
                     qPrintable(dependencies));
        }
        QVERIFY(
            control.contains(QRegularExpression(QStringLiteral("\\nMaintainer: .+ <.+@.+>\\n"))));

        const Run unpack =
            Execute(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, work.filePath("root")});
        QCOMPARE(unpack.exitCode, 0);
        CheckTree(work.filePath(QStringLiteral("root")), true);
        // Everything under /usr.
        QCOMPARE(QDir(work.filePath(QStringLiteral("root")))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("usr")});

        // After installing, udev applies the rule at once, where it runs.
        const Run scripts = Execute(QStringLiteral("dpkg-deb"),
                                    {QStringLiteral("-e"), deb, work.filePath("control")});
        QCOMPARE(scripts.exitCode, 0);
        const QFileInfo postinst(work.filePath(QStringLiteral("control/postinst")));
        QVERIFY(postinst.isFile() && postinst.isExecutable());
        const QByteArray script = ReadAll(postinst.filePath());
        QVERIFY(script.startsWith("#!/bin/sh\n"));
        QVERIFY(script.contains("command -v udevadm"));
        QVERIFY(script.contains("udevadm control --reload || true"));
        QVERIFY(script.contains("udevadm trigger --subsystem-match=tty --action=add || true"));
        QCOMPARE(
            Execute(QStringLiteral("sh"), {QStringLiteral("-n"), postinst.filePath()}).exitCode, 0);

        // lintian finds no error, and the programs are hardened.
        const Run lintian =
            Execute(QStringLiteral("lintian"),
                    {QStringLiteral("--pedantic"), QStringLiteral("--display-info"), deb});
        QVERIFY2(lintian.exitCode >= 0, lintian.err.constData());
        const QString findings = QString::fromUtf8(lintian.out);
        qInfo().noquote() << "lintian --pedantic:\n" + findings;
        QVERIFY2(!findings.contains(QRegularExpression(QStringLiteral("^E: "),
                                                       QRegularExpression::MultilineOption)),
                 qPrintable(findings));
        QVERIFY2(!findings.contains(QStringLiteral(" hardening-")), qPrintable(findings));
        const QDir root(work.filePath(QStringLiteral("root/usr")));
        for (const QString& program :
             {QStringLiteral("lib/ardenix/ardenix"), QStringLiteral("bin/ardenixctl"),
              QStringLiteral("bin/dorvane-sim")}) {
            const QString path = root.filePath(program);
            const Run elf =
                Execute(QStringLiteral("readelf"),
                        {QStringLiteral("-W"), QStringLiteral("-h"), QStringLiteral("-l"),
                         QStringLiteral("-d"), QStringLiteral("--dyn-syms"), path});
            QCOMPARE(elf.exitCode, 0);
            QVERIFY2(elf.out.contains("DYN (Position-Independent Executable file)"),
                     qPrintable(program)); // PIE
            QVERIFY2(elf.out.contains("GNU_RELRO"), qPrintable(program));
            QVERIFY2(elf.out.contains("(FLAGS)") && elf.out.contains("BIND_NOW"),
                     qPrintable(program));
            QVERIFY2(elf.out.contains("__stack_chk_fail"), qPrintable(program));
        }
        const Run panelSymbols = Execute(QStringLiteral("readelf"),
                                         {QStringLiteral("-W"), QStringLiteral("--dyn-syms"),
                                          root.filePath(QStringLiteral("lib/ardenix/ardenix"))});
        QVERIFY(panelSymbols.out.contains("_chk@")); // fortified calls
        QVERIFY2(!findings.contains(QStringLiteral("image-file-in-usr-lib")), qPrintable(findings));
    }

    void manPagesMatchTheOptions() {
        // dorvane-sim: the page and --help name the same options.
        const Run help =
            Execute(BinPath(QStringLiteral("dorvane-sim")), {QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        const std::map<QString, QString> simHelp = HelpOptions(help.out);
        QVERIFY(simHelp.count(QStringLiteral("link")) == 1);
        QSet<QString> mentioned;
        const std::map<QString, QString> simPage =
            ManPageOptions(SourcePath(QStringLiteral("packaging/man/dorvane-sim.1")), &mentioned);
        QVERIFY2(simPage == simHelp,
                 qPrintable("page: " + Describe(simPage) + "\nhelp: " + Describe(simHelp)));
        for (const QString& name : mentioned) {
            QVERIFY2(simHelp.count(name) == 1, qPrintable("--" + name));
        }

        // ardenixctl: the page and --help name the same options.
        const Run ctlHelp =
            Execute(BinPath(QStringLiteral("ardenixctl")), {QStringLiteral("--help")});
        QCOMPARE(ctlHelp.exitCode, 0);
        const std::map<QString, QString> ctlOptions = HelpOptions(ctlHelp.out);
        QVERIFY(ctlOptions.count(QStringLiteral("json")) == 1 &&
                ctlOptions.count(QStringLiteral("hold")) == 1);
        mentioned.clear();
        const std::map<QString, QString> ctlPage =
            ManPageOptions(SourcePath(QStringLiteral("packaging/man/ardenixctl.1")), &mentioned);
        QVERIFY2(ctlPage == ctlOptions,
                 qPrintable("page: " + Describe(ctlPage) + "\nhelp: " + Describe(ctlOptions)));
        for (const QString& name : mentioned) {
            QVERIFY2(ctlOptions.count(name) == 1, qPrintable("--" + name));
        }

        // ardenix: the options its --help lists.
        const Run panelHelp =
            Execute(BinPath(QStringLiteral("ardenix")), {QStringLiteral("--help")});
        QCOMPARE(panelHelp.exitCode, 0);
        const std::map<QString, QString> panelOptions = HelpOptions(panelHelp.out);
        QVERIFY(panelOptions.count(QStringLiteral("settings")) == 1);
        mentioned.clear();
        const std::map<QString, QString> panelPage =
            ManPageOptions(SourcePath(QStringLiteral("packaging/man/ardenix.1")), &mentioned);
        QVERIFY2(panelPage == panelOptions, qPrintable("page: " + Describe(panelPage) +
                                                       "\nprogram: " + Describe(panelOptions)));
        // Other programs' options the page quotes.
        // udevadm control --reload; systemctl --user enable --now ardenix
        const QSet<QString> foreign{QStringLiteral("reload"), QStringLiteral("user"),
                                    QStringLiteral("now")};
        for (const QString& name : mentioned) {
            QVERIFY2(panelOptions.count(name) == 1 || foreign.contains(name),
                     qPrintable("--" + name));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackaging)
#include "test_packaging.moc"
