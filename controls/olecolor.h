// Colours as the controls store them: 32-bit values 0x00BBGGRR, or a system
// colour 0x800000nn (5 window background, 8 window text, 0x12 button text).
#pragma once

#include <QColor>

#include <cstdint>

using OleColor = std::uint32_t;

constexpr OleColor sysWindowBackground = 0x80000005u;
constexpr OleColor sysWindowText = 0x80000008u;
constexpr OleColor sysButtonText = 0x80000012u;

constexpr OleColor OleRgb(int red, int green, int blue) {
    return static_cast<OleColor>((red & 0xff) | ((green & 0xff) << 8) | ((blue & 0xff) << 16));
}

// The colour shown for a stored value; system colours come from the
// application's palette.
QColor ColorFromOle(OleColor value);
