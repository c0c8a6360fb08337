// The panel's artwork, drawn by the program itself: the face of the mixer's
// front panel, the level scale beside each level bar, and the 67 button and
// lamp bitmaps that the build writes beside the program.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace artwork {

constexpr int faceWidth = 688;
constexpr int faceHeight = 188;

// The panel face, 688 x 188 pixels.
QImage PanelFace();
// The level scale beside a level bar, 20 x 61 pixels.
QImage LevelScale();

// The names of the 67 button and lamp bitmaps, in lower case.
QStringList BitmapNames();
// The bitmap of that name (any letter case); a null image for an unknown name.
QImage Bitmap(const QString& fileName);

} // namespace artwork
