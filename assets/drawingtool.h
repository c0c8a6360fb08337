// The start of a program that the build runs to draw pictures into a folder
// (the bitmaps, the icon): the offscreen platform and a private runtime
// folder, so that it runs anywhere quietly, and the folder named by its one
// argument, made when missing.
#pragma once

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace artwork {

// Runs `draw` on the folder of the command line; its result is the program's
// exit status (2 for a wrong command line, 1 when the folder cannot be made).
inline int RunDrawingTool(int argc, char* argv[], const char* name,
                          const std::function<int(const QDir& folder)>& draw) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", name);
        return 2;
    }
    if (!QDir().mkpath(arguments[1])) {
        std::fprintf(stderr, "%s: cannot create %s\n", name, qPrintable(arguments[1]));
        return 1;
    }
    return draw(QDir(arguments[1]));
}

} // namespace artwork
