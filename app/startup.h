// The start-up procedure of the program.
#pragma once

#include <QString>

// Runs start-up: refuses a second instance, reads the command line and the
// settings file, gives the shared state its first values, finds the
// converter's port, prepares the panel, fills the protocol tables and shows the
// communication window (and the debug window in debug mode). Returns when this
// is done; the program then runs on the events of its windows.
void Main();

// Reads the settings file `fileName` from the program's directory into the
// shared state. An error ends the reading and is shown in a message box (its
// number, a carriage return and its description); start-up then goes on.
void ReadSettingsFile(const QString& fileName);
