#include "controls/focusmark.h"

#include <QPainter>

FocusMark::FocusMark(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusMark::paintEvent(QPaintEvent*) {
    if (width() < 4 || height() < 4) {
        return;
    }
    QPainter painter(this);
    // One pixel dark at the edge, two light inside it.
    const QRect outer = rect();
    painter.fillRect(outer.left(), outer.top(), outer.width(), 1, OuterColour());
    painter.fillRect(outer.left(), outer.bottom(), outer.width(), 1, OuterColour());
    painter.fillRect(outer.left(), outer.top(), 1, outer.height(), OuterColour());
    painter.fillRect(outer.right(), outer.top(), 1, outer.height(), OuterColour());
    const QRect inner = outer.adjusted(1, 1, -1, -1);
    painter.fillRect(inner.left(), inner.top(), inner.width(), 2, InnerColour());
    painter.fillRect(inner.left(), inner.bottom() - 1, inner.width(), 2, InnerColour());
    painter.fillRect(inner.left(), inner.top(), 2, inner.height(), InnerColour());
    painter.fillRect(inner.right() - 1, inner.top(), 2, inner.height(), InnerColour());
}
