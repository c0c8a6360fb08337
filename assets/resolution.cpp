#include "assets/resolution.h"

#include "assets/bitmapnames.h"

#include <QFileInfo>
#include <QImageReader>

#include <cmath>

namespace artwork {

QSize DeviceSize(const QSize& size, qreal ratio) {
    return {static_cast<int>(std::lround(size.width() * ratio)),
            static_cast<int>(std::lround(size.height() * ratio))};
}

int VariantScale(qreal ratio) {
    if (ratio <= 1) {
        return 1;
    }
    for (const int scale : variantScales) {
        if (ratio <= scale) {
            return scale;
        }
    }
    return variantScales.back();
}

QString VariantName(const QString& fileName, int scale) {
    if (scale <= 1) {
        return fileName;
    }
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot < 0 ? fileName : fileName.left(dot);
    const QString suffix = dot < 0 ? QString() : fileName.mid(dot);
    return stem + QStringLiteral("@%1x").arg(scale) + suffix;
}

RatioPicture PictureAtRatio(const QString& path, const QString& variantPath, qreal ratio) {
    QImageReader bitmap(path);
    QSize size = bitmap.size();
    if (ratio <= 1) {
        return {bitmap.read(), path};
    }
    QImage image;
    if (!size.isValid()) {
        image = bitmap.read(); // a format that tells its size only when read
        size = image.size();
    }
    RatioPicture picture;
    const int scale = VariantScale(ratio);
    if (!variantPath.isEmpty() && size.isValid()) {
        const QFileInfo bitmapFile(path);
        const QFileInfo variantFile(variantPath);
        QImageReader variant(variantPath);
        if (variantFile.lastModified() >= bitmapFile.lastModified() &&
            variant.size() == size * scale) {
            picture.image = variant.read();
            picture.source = variantPath;
        }
    }
    if (picture.image.isNull()) {
        picture.image = image.isNull() ? bitmap.read() : image;
        picture.source = path;
    }
    if (picture.image.isNull()) {
        return {};
    }
    const QSize device = DeviceSize(size, ratio);
    if (picture.image.size() != device) {
        picture.image =
            picture.image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    picture.image.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace artwork
