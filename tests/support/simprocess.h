// dorvane-sim as a child of a test: started on a link in a directory of its
// own, driven through its console, its traffic log on standard error collected
// while the test processes events.
#pragma once

#include "tests/support/processstop.h"
#include "tests/support/simlog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <optional>

// The codes of the frames of a full status read, in order.
inline const QStringList fullReadCodes{
    QStringLiteral("RIM1"), QStringLiteral("RIM2"), QStringLiteral("RIM3"), QStringLiteral("RIM4"),
    QStringLiteral("RIM5"), QStringLiteral("RIM6"), QStringLiteral("RIL3"), QStringLiteral("RIL4"),
    QStringLiteral("RSIO"), QStringLiteral("RGFA"), QStringLiteral("RGFB"), QStringLiteral("RRSA"),
    QStringLiteral("RSCI"), QStringLiteral("RSCI"), QStringLiteral("RSCI"), QStringLiteral("RSCI")};

// Index of the first occurrence of `sequence` in `codes`, -1 when absent.
inline qsizetype FindSequence(const QStringList& codes, const QStringList& sequence) {
    for (qsizetype i = 0; i + sequence.size() <= codes.size(); ++i) {
        if (codes.mid(i, sequence.size()) == sequence) {
            return i;
        }
    }
    return -1;
}

class SimProcess {
public:
    // The link goes to `linkPath`, or into a directory of its own when empty.
    explicit SimProcess(const QString& linkPath = QString()) : linkPath_(linkPath) {
        QObject::connect(&process_, &QProcess::readyReadStandardError, [this] { ReadLog(); });
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { ReadOutput(); });
    }
    ~SimProcess() {
        Stop();
        // ARDENIX_TEST_SHOW_WIRE=1 shows what went on the line.
        if (qEnvironmentVariableIsSet("ARDENIX_TEST_SHOW_WIRE")) {
            ReadLog();
            std::fprintf(stderr, "--- simulator log\n%s\n---\n", qPrintable(LogText()));
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The link's path: in a directory that only the simulator uses.
    QString LinkPath() const {
        return linkPath_.isEmpty() ? dir_.filePath(QStringLiteral("dorvane")) : linkPath_;
    }
    QString Directory() const { return QFileInfo(LinkPath()).absolutePath(); }

    bool Start(const QStringList& extraArguments = {}) {
        QStringList arguments{QStringLiteral("--link"), LinkPath()};
        arguments += extraArguments;
        process_.start(
            QDir(qEnvironmentVariable("ARDENIX_BIN_DIR")).filePath(QStringLiteral("dorvane-sim")),
            arguments);
        if (!process_.waitForStarted(10000)) {
            return false;
        }
        // The first line on standard output: the link, once the line is ready.
        QElapsedTimer clock;
        clock.start();
        while (answers_.isEmpty() && clock.elapsed() < 10000 &&
               process_.state() == QProcess::Running) {
            QTest::qWait(10);
        }
        if (answers_.isEmpty()) {
            return false;
        }
        return answers_.takeFirst() == LinkPath();
    }

    void Stop() { StopProcess(process_, 5000); }

    // Sends one console command and waits (processing events) for its answer.
    QString Command(const QString& command) {
        answers_.clear();
        process_.write((command + QLatin1Char('\n')).toLatin1());
        QElapsedTimer clock;
        clock.start();
        while (answers_.isEmpty() && clock.elapsed() < 10000) {
            QTest::qWait(5);
        }
        return answers_.isEmpty() ? QString() : answers_.takeFirst();
    }

    const QList<SimLogLine>& Log() const { return log_; }
    // The frames received, from line `from` of the log on.
    QList<SimLogLine> Frames(qsizetype from = 0) const {
        QList<SimLogLine> frames;
        for (qsizetype i = from; i < log_.size(); ++i) {
            if (log_[i].IsFrame()) {
                frames.append(log_[i]);
            }
        }
        return frames;
    }
    // The codes of those frames, in order.
    QStringList Codes(qsizetype from = 0) const {
        QStringList codes;
        for (const SimLogLine& line : Frames(from)) {
            codes.append(line.Code());
        }
        return codes;
    }
    // The frames and replies, from line `from` on, without time stamps:
    // "rx RSCI 31", "tx A +8 bytes", ...
    QStringList Traffic(qsizetype from = 0) const {
        QStringList lines;
        for (qsizetype i = from; i < log_.size(); ++i) {
            if (log_[i].IsFrame() || log_[i].what.startsWith(QLatin1String("tx "))) {
                lines.append(log_[i].what);
            }
        }
        return lines;
    }
    // The frames received, code and parameter bytes: "RIM1 30", "RSIO".
    QStringList FrameTexts(qsizetype from = 0) const {
        QStringList frames;
        for (const SimLogLine& line : Frames(from)) {
            frames.append(line.what.mid(3));
        }
        return frames;
    }
    // The simulator's model, as its "state" command prints it.
    QJsonObject State() {
        return QJsonDocument::fromJson(Command(QStringLiteral("state")).toUtf8()).object();
    }
    // The log as text, for failure messages.
    QString LogText(qsizetype from = 0) const {
        QStringList lines;
        for (qsizetype i = from; i < log_.size(); ++i) {
            lines.append(QString::number(log_[i].ms) + QLatin1Char(' ') + log_[i].what);
        }
        return lines.join(QLatin1Char('\n'));
    }

private:
    void ReadLog() {
        logBuffer_ += process_.readAllStandardError();
        log_.append(TakeSimLogLines(logBuffer_));
    }
    void ReadOutput() {
        while (process_.canReadLine()) {
            answers_.append(QString::fromLatin1(process_.readLine()).trimmed());
        }
    }

    QString linkPath_;
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray logBuffer_;
    QList<SimLogLine> log_;
    QStringList answers_;
};
