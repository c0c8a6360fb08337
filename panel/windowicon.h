// The panel window's icon and the program's application id.
#pragma once

#include <QWidget>

// Gives the window the program's icon (the installed one, else the drawn
// one) and tells the window system the program's application id.
void GiveProgramIcon(QWidget& window);
