#include "core/twipsgeometry.h"

#include "core/host.h"

#include <QWidget>

#include <cmath>

namespace host {

int TwipsToPixelsX(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}

int TwipsToPixelsY(int twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}

void PlaceInTwips(QWidget& widget, int left, int top, int width, int height) {
    widget.setGeometry(TwipsToPixelsX(left), TwipsToPixelsY(top), TwipsToPixelsX(width),
                       TwipsToPixelsY(height));
}

void SizeClientInTwips(QWidget& window, int width, int height) {
    window.setFixedSize(TwipsToPixelsX(width), TwipsToPixelsY(height));
}

} // namespace host
