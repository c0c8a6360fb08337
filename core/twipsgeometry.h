// Placing controls by the design's positions in twips: converted to pixels
// with the screen's twips per pixel (host::TwipsPerPixelX/Y).
#pragma once

class QWidget;

namespace host {

int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);

// Moves and sizes `widget` inside its parent: left, top, width and height in twips.
void PlaceInTwips(QWidget& widget, int left, int top, int width, int height);

// Sets the size of a window's client area in twips.
void SizeClientInTwips(QWidget& window, int width, int height);

} // namespace host
