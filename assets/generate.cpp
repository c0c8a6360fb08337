// ardenix-assets: writes the panel's 67 button and lamp bitmaps (24-bit BMP)
// into the directory given as its argument, each also drawn at the scales of
// its variants for finer screens ("name@2x.bmp", "name@3x.bmp"). A variant is
// written after its bitmap, so that it is never older than the bitmap (the
// panel takes a variant only when it is not).
#include "assets/artwork.h"
#include "assets/bitmapnames.h"
#include "assets/drawingtool.h"

#include <QDir>

#include <cstdio>
#include <vector>

namespace {
// "name.bmp" at scale 2 is "name@2x.bmp", as the panel looks for it.
QString FileName(const QString& name, int scale) {
    if (scale == 1) {
        return name;
    }
    QString stem = name;
    stem.chop(4); // ".bmp"
    return QStringLiteral("%1@%2x.bmp").arg(stem).arg(scale);
}

bool Write(const QImage& image, const QString& path) {
    return !image.isNull() && image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}
} // namespace

int main(int argc, char* argv[]) {
    return artwork::RunDrawingTool(argc, argv, "ardenix-assets", [](const QDir& directory) {
        int failures = 0;
        for (const QString& name : artwork::BitmapNames()) {
            std::vector<int> scales{1};
            scales.insert(scales.end(), artwork::variantScales.begin(),
                          artwork::variantScales.end());
            for (const int scale : scales) {
                const QString path = directory.filePath(FileName(name, scale));
                if (!Write(artwork::Bitmap(name, scale), path)) {
                    std::fprintf(stderr, "ardenix-assets: cannot write %s\n", qPrintable(path));
                    ++failures;
                }
            }
        }
        return failures == 0 ? 0 : 1;
    });
}
