#include "bench/xsession.h"

#include "bench/eventwait.h"

#include <QStandardPaths>

namespace bench {

XSession::~XSession() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }
}

bool XSession::Open() {
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        problem_ = QStringLiteral("xdotool is not installed");
        return false;
    }
    display_ = qEnvironmentVariable("DISPLAY");
    if (!display_.isEmpty()) {
        return true;
    }
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        problem_ = QStringLiteral("no $DISPLAY and no Xvfb");
        return false;
    }
    // Xvfb picks a free display and writes its number on standard output when ready.
    server_.setStandardErrorFile(QProcess::nullDevice());
    server_.start(xvfb,
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                   QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                   QStringLiteral("tcp")});
    if (!server_.waitForStarted(10000)) {
        problem_ = QStringLiteral("Xvfb did not start");
        return false;
    }
    QByteArray number;
    PumpUntil(
        [&] {
            number += server_.readAllStandardOutput();
            return number.contains('\n') || server_.state() != QProcess::Running;
        },
        15000, 10);
    if (!number.contains('\n')) {
        problem_ = QStringLiteral("Xvfb named no display");
        return false;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    qputenv("DISPLAY", display_.toLatin1());
    return true;
}

namespace xdo {

QString Run(const QStringList& arguments, bool* ok) {
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("xdotool"), arguments);
    const bool finished = process.waitForStarted(5000) && process.waitForFinished(5000);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    const bool good =
        finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (ok != nullptr) {
        *ok = good;
    }
    return good ? QString::fromLocal8Bit(process.readAllStandardOutput()) : QString();
}

std::vector<XWindow> VisibleWindows(const QString& namePattern) {
    std::vector<XWindow> windows;
    const QStringList ids = Run({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--name"), namePattern})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& id : ids) {
        bool ok = false;
        const QString shell =
            Run({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}, &ok);
        if (!ok) {
            continue; // gone meanwhile
        }
        XWindow window{id.trimmed(), {}};
        int x = 0, y = 0, w = 0, h = 0;
        for (const QString& line : shell.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QString key = line.section(QLatin1Char('='), 0, 0);
            const int value = line.section(QLatin1Char('='), 1).toInt();
            if (key == QLatin1String("X")) {
                x = value;
            } else if (key == QLatin1String("Y")) {
                y = value;
            } else if (key == QLatin1String("WIDTH")) {
                w = value;
            } else if (key == QLatin1String("HEIGHT")) {
                h = value;
            }
        }
        window.geometry = QRect(x, y, w, h);
        windows.push_back(window);
    }
    return windows;
}

bool Click(const QString& window, int x, int y) {
    bool ok = false;
    Run({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
         QString::number(y), QStringLiteral("click"), QStringLiteral("1")},
        &ok);
    return ok;
}

bool ButtonDown(const QString& window, int x, int y) {
    bool ok = false;
    Run({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
         QString::number(y), QStringLiteral("mousedown"), QStringLiteral("1")},
        &ok);
    return ok;
}

bool ButtonUp(const QString& window) {
    bool ok = false;
    Run({QStringLiteral("mouseup"), QStringLiteral("--window"), window, QStringLiteral("1")}, &ok);
    return ok;
}

bool Key(const QString& window, const QString& key) {
    bool ok = false;
    Run({QStringLiteral("windowfocus"), window, QStringLiteral("key"), key}, &ok);
    return ok;
}

} // namespace xdo

} // namespace bench
