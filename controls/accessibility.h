// What a screen reader is told of the panel's two controls. The picture
// button is a push button: its name is its accessible name (or its caption),
// it is pressed while held, and its press action taps it as a click would.
// The level bar is a progress bar whose value is its lit lines, 0 to 30, and
// whose name ends in "N of 30". Neither shows its inner parts.
#pragma once

// Makes the controls known to Qt's accessibility; called by their
// constructors (only the first call does anything).
void InstallControlsAccessibility();
