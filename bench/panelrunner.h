// The panel program as a child of a benchmark driver: its own runtime
// directory (so it never meets another instance's lock), its port on the
// simulator's link, the platform plug-in of the driver's choice.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

namespace bench {

class PanelRunner {
public:
    PanelRunner();
    ~PanelRunner();
    PanelRunner(const PanelRunner&) = delete;
    PanelRunner& operator=(const PanelRunner&) = delete;

    // Starts ardenix from `binDir` on the port `portPath` with the platform
    // `platform` ("offscreen" or "xcb"); false when it did not start.
    bool Start(const QString& binDir, const QString& portPath, const QString& platform);
    void Stop();
    bool Running() const { return process_.state() == QProcess::Running; }
    pid_t Pid() const { return static_cast<pid_t>(process_.processId()); }
    // NowMs() just before the process was started.
    qint64 StartedAtMs() const { return startedAt_; }
    // How the process ended, for reports.
    QString ExitDescription() const;
    // What the program wrote on standard error (the last 4 kB).
    QByteArray ErrorOutput() const { return errors_; }

private:
    QTemporaryDir runtime_;
    QProcess process_;
    QByteArray errors_;
    qint64 startedAt_ = 0;
};

} // namespace bench
