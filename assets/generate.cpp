// ardenix-assets: writes the panel's 67 button and lamp bitmaps (24-bit BMP)
// into the directory given as its argument.
#include "assets/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A private runtime directory keeps the window system quiet in a build.
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: ardenix-assets DIRECTORY\n");
        return 2;
    }
    const QDir directory(arguments[1]);
    if (!directory.exists() && !QDir().mkpath(arguments[1])) {
        std::fprintf(stderr, "ardenix-assets: cannot create %s\n", qPrintable(arguments[1]));
        return 1;
    }
    int failures = 0;
    for (const QString& name : artwork::BitmapNames()) {
        const QImage image = artwork::Bitmap(name).convertToFormat(QImage::Format_RGB888);
        const QString path = directory.filePath(name);
        if (image.isNull() || !image.save(path, "BMP")) {
            std::fprintf(stderr, "ardenix-assets: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
