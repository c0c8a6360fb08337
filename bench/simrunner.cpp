#include "bench/simrunner.h"

#include "bench/eventwait.h"
#include "tests/support/simlog.h"

#include <QDir>
#include <QRegularExpression>

namespace bench {

QString SimLine::Code() const {
    return IsFrame() ? what.mid(3, 4) : QString();
}

int SimLine::FrameBytes() const {
    if (!IsFrame()) {
        return 0;
    }
    // "rx CODE hh hh": four letters, the parameter bytes, the carriage return.
    const QStringList words = what.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.value(1) == QLatin1String("?")) {
        return static_cast<int>(words.size()) - 2 + 1;
    }
    return 4 + static_cast<int>(words.size()) - 2 + 1;
}

int SimLine::ReplyBytes() const {
    if (!IsReply() || what.startsWith(QLatin1String("tx none"))) {
        return 0;
    }
    int bytes = 0;
    if (what.startsWith(QLatin1String("tx N"))) {
        bytes = 1;
    } else {
        static const QRegularExpression data(QStringLiteral("^tx A \\+(\\d+) bytes"));
        const QRegularExpressionMatch m = data.match(what);
        bytes = 2 + (m.hasMatch() ? m.captured(1).toInt() : 0);
    }
    if (what.contains(QLatin1String("truncate, no CR"))) {
        --bytes;
    }
    static const QRegularExpression stray(QStringLiteral("garbage,((?: [0-9A-Fa-f]{2})+) first"));
    const QRegularExpressionMatch g = stray.match(what);
    if (g.hasMatch()) {
        bytes += static_cast<int>(g.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts).size());
    }
    return bytes;
}

bool SimLine::IsStatusReply() const {
    return what == QLatin1String("tx A +74 bytes");
}

SimRunner::SimRunner() {
    QObject::connect(&process_, &QProcess::readyReadStandardError, [this] { ReadLog(); });
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] { ReadOutput(); });
}

SimRunner::~SimRunner() {
    Stop();
}

bool SimRunner::Start(const QString& binDir, const QStringList& extraArguments) {
    QStringList arguments{QStringLiteral("--link"), LinkPath()};
    arguments += extraArguments;
    process_.start(QDir(binDir).filePath(QStringLiteral("dorvane-sim")), arguments);
    if (!process_.waitForStarted(10000)) {
        return false;
    }
    // The first line on standard output names the link once the line is ready.
    PumpUntil([this] { return !answers_.isEmpty() || !Running(); }, 10000);
    return !answers_.isEmpty() && answers_.takeFirst() == LinkPath();
}

void SimRunner::Stop() {
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
}

QString SimRunner::Command(const QString& command) {
    answers_.clear();
    process_.write((command + QLatin1Char('\n')).toLatin1());
    PumpUntil([this] { return !answers_.isEmpty() || !Running(); }, 10000, 1);
    return answers_.isEmpty() ? QString() : answers_.takeFirst();
}

QString SimRunner::LogText(std::size_t from, std::size_t count) const {
    QStringList lines;
    for (std::size_t i = from; i < log_.size() && i - from < count; ++i) {
        lines.append(QStringLiteral("%1 %2").arg(log_[i].simMs, 7).arg(log_[i].what));
    }
    return lines.join(QLatin1Char('\n'));
}

void SimRunner::ReadLog() {
    const qint64 now = NowMs();
    logBuffer_ += process_.readAllStandardError();
    for (SimLogLine& line : TakeSimLogLines(logBuffer_)) {
        SimLine entry{line.ms, now, std::move(line.what)};
        const qint64 delay = entry.localMs - entry.simMs;
        if (!offsetKnown_ || delay < offset_) {
            offset_ = delay;
            offsetKnown_ = true;
        }
        log_.push_back(std::move(entry));
    }
}

void SimRunner::ReadOutput() {
    while (process_.canReadLine()) {
        answers_.append(QString::fromLatin1(process_.readLine()).trimmed());
    }
}

} // namespace bench
