#include "host/colourbutton.h"

ColourButton::ColourButton(const QString& caption, std::uint32_t backColor, QWidget* parent)
    : QPushButton(caption, parent) {
    SetBackColor(backColor);
}

void ColourButton::SetBackColor(std::uint32_t backColor) {
    backColor_ = backColor;
    const unsigned red = backColor & 0xFFu;
    const unsigned green = (backColor >> 8) & 0xFFu;
    const unsigned blue = (backColor >> 16) & 0xFFu;
    setStyleSheet(
        QStringLiteral("background-color: rgb(%1, %2, %3);").arg(red).arg(green).arg(blue));
}
