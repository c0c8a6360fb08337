// The panel on a screen of another device pixel ratio: its face, level
// scales, lamps and picture list drawn anew at the new resolution. The
// buttons and the level bars follow by themselves when they paint.
#include "panel/frmcontrol.h"

#include "assets/artwork.h"

namespace {
// The list image (1-based) a picture is a copy of; 0 when it is none of them.
int ListImageOf(const host::ImageList& list, const QPixmap& picture) {
    if (picture.isNull()) {
        return 0;
    }
    for (int i = 1; i <= list.Count(); ++i) {
        if (list.Picture(i).cacheKey() == picture.cacheKey()) {
            return i;
        }
    }
    return 0;
}
} // namespace

void FrmControl::MatchDeviceRatio(qreal ratio) {
    face_ = QPixmap::fromImage(artwork::PanelFace(ratio));
    const QPixmap scale = QPixmap::fromImage(artwork::LevelScale(ratio));
    for (ImageBox& box : Image4) {
        box.SetPicture(scale);
    }
    // A lamp shows a list image, or before the first status the picture
    // stored with the window: the same one again at the new ratio.
    struct Lamp {
        ImageBox& box;
        const char* storedPicture;
    };
    const std::array<Lamp, 4> lamps{{{Image2[0], storedOverGainPicture},
                                     {Image2[1], storedOverGainPicture},
                                     {Image3[0], storedMugenPicture},
                                     {Image3[1], storedMugenPicture}}};
    std::array<int, lamps.size()> shown{};
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        shown[i] = ListImageOf(ImageList1, lamps[i].box.Picture());
    }
    if (ImageList1.Count() > 0) {
        FillImageList();
    }
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        if (lamps[i].box.Picture().isNull()) {
            continue;
        }
        lamps[i].box.SetPicture(shown[i] > 0 ? ImageList1.Picture(shown[i])
                                             : QPixmap::fromImage(artwork::Bitmap(
                                                   QLatin1String(lamps[i].storedPicture), ratio)));
    }
}
