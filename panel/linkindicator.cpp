#include "panel/linkindicator.h"

#include <QAccessible>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
const QColor red(255, 64, 48);
const QColor amber(255, 184, 32);

QFont LegendFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(9);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
} // namespace

LinkIndicator::LinkIndicator(QWidget* parent) : QLabel(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

QString LinkIndicator::Legend(LinkState state) {
    switch (state) {
    case LinkState::NotConnected:
        return QStringLiteral("NOT CONNECTED");
    case LinkState::FirstContact:
        return QStringLiteral("CONNECTING");
    case LinkState::Reading:
        return QStringLiteral("READING THE MIXER");
    case LinkState::Online:
        break;
    case LinkState::Lost:
        return QStringLiteral("LINK LOST");
    case LinkState::Suspended:
        return QStringLiteral("LINK SUSPENDED");
    }
    return {};
}

QString LinkIndicator::SpokenText(LinkState state) {
    switch (state) {
    case LinkState::NotConnected:
        return QStringLiteral("Mixer not connected");
    case LinkState::FirstContact:
        return QStringLiteral("Connecting to the mixer");
    case LinkState::Reading:
        return QStringLiteral("Reading the mixer's state");
    case LinkState::Online:
        return QStringLiteral("Mixer online");
    case LinkState::Lost:
        return QStringLiteral("Link to the mixer lost, the panel shows the last known state");
    case LinkState::Suspended:
        return QStringLiteral("Link suspended while the computer sleeps");
    }
    return {};
}

QColor LinkIndicator::LampColour(LinkState state) {
    return state == LinkState::FirstContact || state == LinkState::Reading ? amber : red;
}

void LinkIndicator::Show(LinkState state) {
    const bool changed = state != state_;
    state_ = state;
    setText(Legend(state));
    setAccessibleName(SpokenText(state));
    setVisible(state != LinkState::Online);
    update();
    if (changed && state == LinkState::Lost) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

// A dark plate with a round lamp and the legend, as the face's own lamps,
// in the middle of the strip.
void LinkIndicator::paintEvent(QPaintEvent*) {
    if (state_ == LinkState::Online) {
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFont font = LegendFont();
    constexpr qreal lampSpace = 17;
    constexpr qreal margin = 6;
    const qreal plateWidth = std::min<qreal>(
        width() - 1, lampSpace + QFontMetrics(font).horizontalAdvance(text()) + margin);
    const qreal left = std::floor((width() - plateWidth) / 2) + 0.5;
    const QRectF plate(left, 0.5, plateWidth, height() - 1);
    p.setPen(QColor(0, 0, 0));
    p.setBrush(QColor(24, 24, 28));
    p.drawRoundedRect(plate, 3, 3);
    const QColor lamp = LampColour(state_);
    p.setPen(lamp.darker(220));
    p.setBrush(lamp);
    p.drawEllipse(QPointF(left + 8, height() / 2.0), 3.5, 3.5);
    p.setFont(font);
    p.setPen(lamp);
    p.drawText(QRectF(left + lampSpace, 0, plateWidth - lampSpace, height()),
               Qt::AlignLeft | Qt::AlignVCenter, text());
}
