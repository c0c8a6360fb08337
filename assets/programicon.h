// The program's icon: a mixer strip of two level bars and a lamp on a dark
// face, with no lettering so that it stays legible at 16 pixels. Drawn on a
// grid of 16 x 16 units; at each size every edge falls on a whole pixel (the
// right half mirrors the left one, so both bars have the same width), and the
// rim is one pixel wide at small sizes. The build installs it under the
// application id (packaging/icon.cpp writes the files); the window takes the
// installed one, or draws its own when the program runs from its build.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace artwork {

// The application id: the names of the desktop entry and of the icon.
inline constexpr char programId[] = "org.ardenix.Ardenix";

// The icon of the current icon theme called programId; the drawn icon when
// the theme has none.
QIcon ProgramIcon();
// The drawn icon at the usual icon sizes.
QIcon DrawnProgramIcon();

// The sizes the icon is drawn at, in pixels.
inline constexpr int programIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
// The icon at `size` pixels.
QImage ProgramIconImage(int size);
// The icon as scalable vector graphics.
QString ProgramIconSvg();

} // namespace artwork
