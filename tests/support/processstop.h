// Ends a child process: asked first (SIGTERM), then killed when it does not
// end within waitMs.
#pragma once

#include <QProcess>

inline void StopProcess(QProcess& process, int waitMs) {
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(waitMs)) {
        process.kill();
        process.waitForFinished(waitMs);
    }
}
