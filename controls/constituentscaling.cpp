#include "controls/constituentscaling.h"

void ScaleConstituentControls(std::vector<DesignItem>& elements, ScaleFontSize fontSize) {
    const double fx = host::TwipsPerPixelX() / 15.0;
    const double fy = host::TwipsPerPixelY() / 15.0;
    for (DesignItem& element : elements) {
        if (element.left) {
            *element.left *= fx;
        }
        if (element.top) {
            *element.top *= fy;
        }
        if (fontSize == ScaleFontSize::yes && element.fontSize) {
            *element.fontSize *= fy;
        }
        if (!element.isImage) {
            if (element.width) {
                *element.width *= fx;
            }
            if (element.height) {
                *element.height *= fy;
            }
        }
        element.Apply();
    }
}
