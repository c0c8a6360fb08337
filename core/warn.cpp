#include "core/warn.h"

#include <QCoreApplication>

#include <cstdio>

void Warn(const QString& what) {
    // The program's name as it calls itself; "ardenix" before it has one.
    const QString name = QCoreApplication::applicationName().isEmpty()
                             ? QStringLiteral("ardenix")
                             : QCoreApplication::applicationName();
    const QByteArray line = QStringLiteral("%1: %2\n").arg(name, what).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}
