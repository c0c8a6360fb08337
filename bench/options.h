// The command-line options the benchmark drivers share.
#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <cstdio>

namespace bench {

// Where ardenix and dorvane-sim are: $ARDENIX_BIN_DIR, else beside the driver.
inline QString BinDirectory() {
    const QString fromEnvironment = qEnvironmentVariable("ARDENIX_BIN_DIR");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnvironment;
}

// The value of an integer option within [low, high]; false with a message when not.
inline bool IntegerOption(const QCommandLineParser& parser, const QCommandLineOption& option,
                          int low, int high, int& value) {
    if (!parser.isSet(option)) {
        return true;
    }
    bool ok = false;
    const int given = parser.value(option).toInt(&ok);
    if (!ok || given < low || given > high) {
        std::fprintf(stderr, "--%s needs a number %d..%d\n", qPrintable(option.names().first()),
                     low, high);
        return false;
    }
    value = given;
    return true;
}

} // namespace bench
