// The remote control's address and token as a user gets them: ardenixctl
// remote run as a separate process on a private configuration folder, and
// what it says of a token file it must not trust.
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QtTest>

#include <sys/stat.h>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// ardenixctl remote with `configHome` as $XDG_CONFIG_HOME and `token` (when
// not empty) as ARDENIX_REMOTE_TOKEN.
Run CtlRemote(const QString& configHome, const QString& token = {}) {
    QProcess ctl;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.remove(QStringLiteral("ARDENIX_REMOTE_TOKEN"));
    if (!token.isEmpty()) {
        env.insert(QStringLiteral("ARDENIX_REMOTE_TOKEN"), token);
    }
    ctl.setProcessEnvironment(env);
    ctl.start(QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(QStringLiteral("ardenixctl")),
              {QStringLiteral("remote")});
    Run run;
    if (!ctl.waitForFinished(20000) || ctl.exitStatus() != QProcess::NormalExit) {
        ctl.kill();
        ctl.waitForFinished(5000);
        return run;
    }
    run.exitCode = ctl.exitCode();
    run.out = QString::fromUtf8(ctl.readAllStandardOutput());
    run.err = QString::fromUtf8(ctl.readAllStandardError());
    return run;
}

void WriteFile(const QString& path, const QByteArray& content) {
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

mode_t ModeOf(const QString& path) {
    struct stat facts {};
    return ::lstat(QFile::encodeName(path).constData(), &facts) == 0 ? (facts.st_mode & 07777) : 0;
}

} // namespace

class TestRemoteAccess : public QObject {
    Q_OBJECT

private slots:
    // The first run makes a private token file and prints the default
    // address with it; the next run prints the same; the environment and
    // the [remote] group change what is printed.
    void ctlRemotePrintsTheAddressWithTheToken() {
        const QTemporaryDir config;
        const QString tokenFile = config.filePath(QStringLiteral("ardenix/remote-token"));

        const Run first = CtlRemote(config.path());
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(first.err, QString());
        const QRegularExpression address(
            QStringLiteral("^http://127\\.0\\.0\\.1:9470/#token=([A-Za-z0-9_-]{22,})\\n$"));
        const QRegularExpressionMatch match = address.match(first.out);
        QVERIFY2(match.hasMatch(), qPrintable(first.out));
        const QString token = match.captured(1);
        QCOMPARE(ModeOf(tokenFile), mode_t{0600});
        QFile stored(tokenFile);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(stored.readAll().trimmed()), token);

        QCOMPARE(CtlRemote(config.path()).out, first.out);

        const Run given = CtlRemote(config.path(), QStringLiteral("stage&door"));
        QCOMPARE(given.out, QStringLiteral("http://127.0.0.1:9470/#token=stage%26door\n"));

        const QString conf = config.filePath(QStringLiteral("ardenix/ardenix.conf"));
        WriteFile(conf, "[remote]\nbind=0.0.0.0\nport=8123\n");
        QCOMPARE(
            CtlRemote(config.path()).out,
            QStringLiteral("http://%1:8123/#token=%2\n").arg(QSysInfo::machineHostName(), token));
        WriteFile(conf, "[remote]\nbind=fd00::17\nport=not-a-port\n");
        QCOMPARE(CtlRemote(config.path()).out,
                 QStringLiteral("http://[fd00::17]:9470/#token=%1\n").arg(token));
    }

    // A link in the token file's place is never followed, and a token file
    // others may read or one without a token is not used: ardenixctl says why
    // and prints no address.
    void anUntrustedTokenFileGivesNoAddress() {
        const QTemporaryDir config;
        const QString tokenFile = config.filePath(QStringLiteral("ardenix/remote-token"));
        const QString target = config.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(config.filePath(QStringLiteral("ardenix"))));
        QVERIFY(QFile::link(target, tokenFile));
        const auto expectRefusal = [&config](const QString& why) {
            const Run run = CtlRemote(config.path());
            QCOMPARE(run.exitCode, 1);
            QCOMPARE(run.out, QString());
            QVERIFY2(run.err.startsWith(QStringLiteral("ardenixctl: ")) && run.err.contains(why),
                     qPrintable(run.err));
        };
        expectRefusal(QStringLiteral("link"));
        QVERIFY(!QFileInfo::exists(target));
        QVERIFY(QFile::remove(tokenFile));

        WriteFile(tokenFile, "0123456789abcdefABCDEF_-xy\n");
        QVERIFY(::chmod(QFile::encodeName(tokenFile).constData(), 0644) == 0);
        expectRefusal(QStringLiteral("other users"));

        WriteFile(tokenFile, "\n");
        QVERIFY(::chmod(QFile::encodeName(tokenFile).constData(), 0600) == 0);
        expectRefusal(QStringLiteral("holds no token"));
    }
};

QTEST_GUILESS_MAIN(TestRemoteAccess)
#include "test_remoteaccess.moc"
