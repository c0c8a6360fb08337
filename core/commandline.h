// The command line and the locale, as start-up and the port opening read them.
#pragma once

#include "core/types.h"

// Splits the command-line text at every single blank into programSetup.commandArgs (at most
// 31 words; two blanks in a row give an empty word between them, an empty
// command line no word at all) and returns the number of words stored.
Integer SplitCommandLine();

// 81 when the user's default locale is Japanese, else 1.
Integer GetLocaleCode();

// The label font chosen by a locale code.
struct FontSpec;
FontSpec LabelFontFor(Integer localeCode);

// True when `word` is one of the words that start the program in debug mode.
bool IsDebugWord(const QString& word);
// True when `word` also selects the test port (port 1 at 9600 baud).
bool IsTestPortWord(const QString& word);
