// What a screen reader is told of the panel's two controls. The picture
// button is a push button, a radio button or a toggle button as its kind
// says: its name is its accessible name (or its caption), it is pressed while
// held, a radio or toggle button is checkable and checked as it is set, and
// its press action taps it as a click would. The level bar is a read-only
// progress bar: its value text and the end of its name say its lit lines,
// "N of 30", and it offers no action that would change them. Neither shows
// its inner parts.
#pragma once

// Makes the controls known to Qt's accessibility; called by their
// constructors (only the first call does anything).
void InstallControlsAccessibility();
