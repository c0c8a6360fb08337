// ardenix-icon: writes the application icon org.ardenix.Ardenix (drawn by
// the artwork, assets/programicon.h) into DIRECTORY/hicolor/<size>/apps/: the
// scalable SVG and the PNG renderings at the hicolor sizes.
#include "assets/drawingtool.h"
#include "assets/programicon.h"

#include <QFile>

#include <cstdio>

int main(int argc, char* argv[]) {
    return artwork::RunDrawingTool(argc, argv, "ardenix-icon", [](const QDir& directory) {
        const QString iconFile = QString::fromLatin1(artwork::programId);
        int failures = 0;
        auto folder = [&](const QString& size) {
            const QString path = directory.filePath(QStringLiteral("hicolor/%1/apps").arg(size));
            if (!QDir().mkpath(path)) {
                std::fprintf(stderr, "ardenix-icon: cannot create %s\n", qPrintable(path));
                ++failures;
            }
            return QDir(path);
        };
        QFile svg(folder(QStringLiteral("scalable")).filePath(iconFile + QStringLiteral(".svg")));
        if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            svg.write(artwork::ProgramIconSvg().toUtf8()) < 0 || !svg.flush()) {
            std::fprintf(stderr, "ardenix-icon: cannot write %s\n", qPrintable(svg.fileName()));
            ++failures;
        }
        for (const int size : artwork::programIconSizes) {
            const QString path = folder(QStringLiteral("%1x%1").arg(size))
                                     .filePath(iconFile + QStringLiteral(".png"));
            if (!artwork::ProgramIconImage(size).save(path, "PNG")) {
                std::fprintf(stderr, "ardenix-icon: cannot write %s\n", qPrintable(path));
                ++failures;
            }
        }
        return failures == 0 ? 0 : 1;
    });
}
