// The program's icon: the one installed under the application id (drawn at
// build time, see packaging/), else a copy drawn here, so that the window
// has its icon also when the program runs from its build directory.
#pragma once

#include <QIcon>

namespace artwork {

// The application id: the names of the desktop entry and of the icon.
inline constexpr char programId[] = "org.ardenix.Ardenix";

// The icon of the current icon theme called programId; the drawn icon when
// the theme has none.
QIcon ProgramIcon();
// The drawn icon: a mixer strip of two level bars and a lamp on a dark face,
// at the usual icon sizes.
QIcon DrawnProgramIcon();

} // namespace artwork
