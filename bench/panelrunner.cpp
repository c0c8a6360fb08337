#include "bench/panelrunner.h"

#include "bench/eventwait.h"

#include <QDir>
#include <QProcessEnvironment>

namespace bench {

PanelRunner::PanelRunner() {
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(&process_, &QProcess::readyReadStandardError, [this] {
        errors_ += process_.readAllStandardError();
        if (errors_.size() > 4096) {
            errors_ = errors_.right(4096);
        }
    });
}

PanelRunner::~PanelRunner() {
    Stop();
}

bool PanelRunner::Start(const QString& binDir, const QString& portPath, const QString& platform) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ARDENIX_PORT"), portPath);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    process_.setProcessEnvironment(environment);
    startedAt_ = NowMs();
    process_.start(QDir(binDir).filePath(QStringLiteral("ardenix")), {});
    return process_.waitForStarted(10000);
}

void PanelRunner::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

QString PanelRunner::ExitDescription() const {
    if (process_.state() != QProcess::NotRunning) {
        return QStringLiteral("running");
    }
    return process_.exitStatus() == QProcess::CrashExit
               ? QStringLiteral("crashed (%1)").arg(process_.errorString())
               : QStringLiteral("exited with status %1").arg(process_.exitCode());
}

} // namespace bench
