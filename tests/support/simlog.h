// dorvane-sim's traffic log as it writes it on standard error: one line per
// event, "<ms> <what>", the time stamp right-aligned.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>

struct SimLogLine {
    qint64 ms = 0; // the simulator's time stamp
    QString what;  // the rest: "rx RAST", "tx A +74 bytes", "info unplugged", ...
    bool IsFrame() const { return what.startsWith(QLatin1String("rx ")); }
    // The four-letter code of a received frame ("RAST"), else empty.
    QString Code() const { return IsFrame() ? what.mid(3, 4) : QString(); }
};

// A line of the log: its time stamp and the rest.
inline const QRegularExpression simLogStamped{QStringLiteral("^\\s*(\\d+) (.*)$")};

// Takes the complete lines out of `buffer` (standard error as read so far)
// and returns those that carry a time stamp; a partial last line stays.
inline QList<SimLogLine> TakeSimLogLines(QByteArray& buffer) {
    QList<SimLogLine> lines;
    qsizetype end = 0;
    while ((end = buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromLatin1(buffer.left(end));
        buffer.remove(0, end + 1);
        const QRegularExpressionMatch m = simLogStamped.match(line);
        if (m.hasMatch()) {
            lines.append({m.captured(1).toLongLong(), m.captured(2)});
        }
    }
    return lines;
}
