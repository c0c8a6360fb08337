#include "bench/procstats.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace bench {

namespace {
QByteArray ReadProcFile(pid_t pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}
} // namespace

std::optional<double> CpuSeconds(pid_t pid) {
    const QByteArray stat = ReadProcFile(pid, "stat");
    // The command name in parentheses may hold blanks: the fields follow the last ')'.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Field 3 of the line (the state) is the first here; utime and stime are 14 and 15.
    constexpr qsizetype utimeAt = 14 - 3;
    constexpr qsizetype stimeAt = 15 - 3;
    if (fields.size() <= stimeAt) {
        return std::nullopt;
    }
    bool okUser = false;
    bool okSystem = false;
    const double ticks = static_cast<double>(fields[utimeAt].toLongLong(&okUser)) +
                         static_cast<double>(fields[stimeAt].toLongLong(&okSystem));
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    if (!okUser || !okSystem || perSecond <= 0) {
        return std::nullopt;
    }
    return ticks / static_cast<double>(perSecond);
}

std::optional<long> ResidentKb(pid_t pid) {
    const QByteArray status = ReadProcFile(pid, "status");
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith("VmRSS:")) {
            bool ok = false;
            const long kb = line.mid(6).trimmed().split(' ').value(0).toLong(&ok);
            if (ok) {
                return kb;
            }
        }
    }
    return std::nullopt;
}

} // namespace bench
