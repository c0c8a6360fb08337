// One line on standard error, prefixed with the program's name: what the
// program tells about its surroundings outside its own windows.
#pragma once

#include <QString>

void Warn(const QString& what);
