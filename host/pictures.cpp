#include "host/pictures.h"

#include "core/hostfacts.h"

#include <QFileInfo>

#include <cmath>
#include <cstdlib>

namespace host {
namespace {

// A variant is a finer drawing of its bitmap: taken down to the bitmap's
// size it differs from it by little (text and edges fall a little
// differently), a different picture by much more.
constexpr double mostMeanDifference = 12; // levels per colour

bool Alike(const QImage& bitmap, const QImage& variant) {
    const QImage a = bitmap.convertToFormat(QImage::Format_RGB32);
    const QImage b = variant.scaled(bitmap.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            sum += std::abs(qRed(p[x]) - qRed(q[x])) + std::abs(qGreen(p[x]) - qGreen(q[x])) +
                   std::abs(qBlue(p[x]) - qBlue(q[x]));
        }
    }
    return sum <= mostMeanDifference * 3.0 * a.width() * a.height();
}

} // namespace

QSize DeviceSize(const QSize& size, qreal ratio) {
    return {static_cast<int>(std::lround(size.width() * ratio)),
            static_cast<int>(std::lround(size.height() * ratio))};
}

std::vector<int> VariantScales(qreal ratio) {
    std::vector<int> scales;
    for (int scale = static_cast<int>(std::ceil(ratio)); scale >= 2; --scale) {
        scales.push_back(scale);
    }
    return scales;
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

RatioPicture PictureAtRatio(const QString& path, qreal ratio) {
    const QImage bitmap(path);
    if (bitmap.isNull() || ratio <= 1) {
        return {bitmap, path};
    }
    RatioPicture picture{bitmap, path};
    const QFileInfo file(path);
    for (const int scale : VariantScales(ratio)) {
        const QString variantPath =
            FindFileNoCase(file.path(), VariantName(file.fileName(), scale));
        if (variantPath.isEmpty()) {
            continue;
        }
        if (QFileInfo(variantPath).lastModified() >= file.lastModified()) {
            const QImage variant(variantPath);
            if (variant.size() == bitmap.size() * scale && Alike(bitmap, variant)) {
                picture = {variant, variantPath};
            }
        }
        break; // the best variant there is decides
    }
    const QSize device = DeviceSize(bitmap.size(), ratio);
    if (picture.image.size() != device) {
        picture.image =
            picture.image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    picture.image.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace host
