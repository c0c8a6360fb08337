#include "core/warn.h"

#include <cstdio>

void Warn(const QString& what) {
    const QByteArray line = QStringLiteral("ardenix: %1\n").arg(what).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}
