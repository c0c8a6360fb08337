// Pictures at the resolution of the screen. On a screen whose device pixel
// ratio is above 1 every picture of the panel is shown at device pixels: a
// bitmap's variant drawn for finer screens ("name@2x.bmp" beside
// "name.bmp") when there is a usable one, else the bitmap itself scaled
// smoothly. The pictures keep their size in the panel's own pixels.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace host {

// The device pixels of a picture of `size` (the panel's pixels) at `ratio`,
// rounded to whole pixels.
QSize DeviceSize(const QSize& size, qreal ratio);

// The scales of the variants that suit a device pixel ratio, best first: the
// smallest whole scale at least as large as the ratio, then the smaller ones
// down to 2. None up to a ratio of 1.
std::vector<int> VariantScales(qreal ratio);

// The file name of a bitmap's variant: "name.bmp" gives "name@2x.bmp" at
// scale 2; scale 1 gives the name itself.
QString VariantName(const QString& fileName, int scale);

// A picture prepared for a device pixel ratio, and the file it came from.
struct RatioPicture {
    QImage image;   // device pixels, with the ratio set; null when unreadable
    QString source; // the file whose pixels these are
};

// The bitmap file `path` for a device pixel ratio. Its variant is looked up
// beside it without regard to letter case, at the scales of
// VariantScales(ratio); the first one found is taken when it is as new as the
// bitmap or newer, exactly its scale times the bitmap's size, and, taken down
// to that size, like the bitmap (within 12 levels per colour on average). A
// bitmap replaced after the build (newer than its variants, of another size,
// or another picture) shows as it is, scaled smoothly. Up to a ratio of 1 the
// bitmap comes as it is.
RatioPicture PictureAtRatio(const QString& path, qreal ratio);

} // namespace host
