// The panel's artwork, drawn by the program itself: the face of the mixer's
// front panel, the level scale beside each level bar, and the 67 button and
// lamp bitmaps that the build writes beside the program.
//
// Everything is drawn in the panel's own pixels at a scale: at scale 1 one
// pixel each, at scale 2 (and any other) at that many device pixels per pixel,
// the image carrying the scale as its device pixel ratio. Text, symbols and
// edges are drawn at the finer resolution, not enlarged.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace artwork {

constexpr int faceWidth = 688;
constexpr int faceHeight = 188;

// The panel face, 688 x 188 pixels.
QImage PanelFace(qreal scale = 1);
// The level scale beside a level bar, 20 x 61 pixels.
QImage LevelScale(qreal scale = 1);

// The names of the 67 button and lamp bitmaps (assets/bitmaps.txt), in lower
// case, in the list's order.
QStringList BitmapNames();
// The bitmap of that name (any letter case); a null image for an unknown name.
QImage Bitmap(const QString& fileName, qreal scale = 1);

} // namespace artwork
