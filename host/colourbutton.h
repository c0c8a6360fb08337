// A push button with a background colour, given as the design's colour value
// 0x00BBGGRR.
#pragma once

#include <QPushButton>

#include <cstdint>

class ColourButton : public QPushButton {
public:
    ColourButton(const QString& caption, std::uint32_t backColor, QWidget* parent);

    void SetBackColor(std::uint32_t backColor);
    std::uint32_t BackColor() const { return backColor_; }

private:
    std::uint32_t backColor_ = 0;
};
