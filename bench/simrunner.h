// The simulated mixer as a child of a benchmark driver: started on a link in a
// directory of its own, driven through its console, its traffic log collected
// with the simulator's time stamps and the driver's arrival times.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

namespace bench {

struct SimLine {
    qint64 simMs = 0;   // the simulator's time stamp
    qint64 localMs = 0; // when the driver read it (NowMs)
    QString what;       // "rx RAST", "tx A +74 bytes", "info unplugged", ...

    bool IsFrame() const { return what.startsWith(QLatin1String("rx ")); }
    bool IsReply() const { return what.startsWith(QLatin1String("tx ")); }
    // The four-letter code of a received frame, else empty.
    QString Code() const;
    // The bytes of a received frame on the line, its carriage return included.
    int FrameBytes() const;
    // The bytes of the reply on the line: "A", the data bytes and a carriage
    // return; "N" alone; nothing when silent. A fault note is taken into account.
    int ReplyBytes() const;
    bool Faulted() const { return what.contains(QLatin1String("(fault:")); }
    // An accepted status reply: "tx A +74 bytes" with no fault.
    bool IsStatusReply() const;
};

class SimRunner {
public:
    SimRunner();
    ~SimRunner();
    SimRunner(const SimRunner&) = delete;
    SimRunner& operator=(const SimRunner&) = delete;

    // Starts dorvane-sim from `binDir` and waits until its line is ready.
    bool Start(const QString& binDir, const QStringList& extraArguments = {});
    void Stop();
    bool Running() const { return process_.state() == QProcess::Running; }
    QString LinkPath() const { return dir_.filePath(QStringLiteral("dorvane")); }

    // One console command; returns its answer line (empty on time-out).
    QString Command(const QString& command);

    const std::vector<SimLine>& Log() const { return log_; }
    // The driver's clock minus the simulator's: the smallest delay seen over
    // all lines, so a simulator time stamp maps to NowMs() by adding it.
    qint64 Offset() const { return offset_; }
    qint64 ToLocal(qint64 simMs) const { return simMs + offset_; }
    qint64 ToSim(qint64 localMs) const { return localMs - offset_; }
    // The log from line `from` on, as text.
    QString LogText(std::size_t from = 0, std::size_t count = 1u << 30) const;

private:
    void ReadLog();
    void ReadOutput();

    QTemporaryDir dir_;
    QProcess process_;
    QByteArray logBuffer_;
    std::vector<SimLine> log_;
    QStringList answers_;
    qint64 offset_ = 0;
    bool offsetKnown_ = false;
};

} // namespace bench
