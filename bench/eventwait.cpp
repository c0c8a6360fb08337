#include "bench/eventwait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace bench {

namespace {
const QElapsedTimer& Clock() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    return clock;
}
} // namespace

qint64 NowMs() {
    return Clock().elapsed();
}

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(std::max(ms, 0), &loop, &QEventLoop::quit);
    loop.exec();
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs) {
    const qint64 end = NowMs() + timeoutMs;
    while (!done()) {
        const qint64 left = end - NowMs();
        if (left <= 0) {
            return done();
        }
        Pump(static_cast<int>(std::min<qint64>(left, sliceMs)));
    }
    return true;
}

} // namespace bench
