#include "controls/ctlfader.h"

#include "controls/constituentscaling.h"

#include <QPainter>

#include <limits>
#include <stdexcept>

Ctlfader::Ctlfader(QWidget* parent)
    : QWidget(parent), surface_(BackgroundPicture()), label1_(this) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(QFont(QStringLiteral("Arial"), 9));
    resize(surfaceWidth, surfaceHeight);
    label1_.setAttribute(Qt::WA_TransparentForMouseEvents);
    DesignItem label;
    label.name = QStringLiteral("Label1");
    label.widget = &label1_;
    label.left = 15;
    label.top = 0;
    label.width = 210;
    label.height = 915;
    inner_.push_back(label);
    inner_.front().Apply();
}

QImage Ctlfader::BackgroundPicture() {
    QImage picture(surfaceWidth, surfaceHeight, QImage::Format_RGB888);
    for (int y = 0; y < surfaceHeight; ++y) {
        QColor colour;
        if (y % 2 == 0) {
            colour = ColorFromOle(unlitSegment);
        } else if (y % 6 == 1) {
            colour = QColor(49, 52, 69);
        } else {
            colour = QColor(53, 56, 73);
        }
        for (int x = 0; x < surfaceWidth; ++x) {
            picture.setPixelColor(x, y, colour);
        }
    }
    return picture;
}

void Ctlfader::ReadProperties(const PropertyBag& bag, const QFont& ambientFont) {
    ScaleConstituentControls(inner_, ScaleFontSize::no);
    backColor_ = bag.ReadProperty(QStringLiteral("BackColor"), 0u).toUInt();
    foreColor_ = bag.ReadProperty(QStringLiteral("ForeColor"), 0u).toUInt();
    enabled_ = bag.ReadProperty(QStringLiteral("Enabled"), false).toBool();
    font_ = bag.ReadProperty(QStringLiteral("Font"), ambientFont).value<QFont>();
    backStyle_ = static_cast<Integer>(bag.ReadProperty(QStringLiteral("BackStyle"), 0).toInt());
    borderStyle_ = static_cast<Integer>(bag.ReadProperty(QStringLiteral("BorderStyle"), 0).toInt());
    darkSegments_ = static_cast<Integer>(bag.ReadProperty(QStringLiteral("Value"), 0).toInt());
}

void Ctlfader::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("BackColor"), backColor_);
    bag.WriteProperty(QStringLiteral("ForeColor"), foreColor_);
    bag.WriteProperty(QStringLiteral("Enabled"), enabled_);
    bag.WriteProperty(QStringLiteral("Font"), font_);
    bag.WriteProperty(QStringLiteral("BackStyle"), backStyle_);
    bag.WriteProperty(QStringLiteral("BorderStyle"), borderStyle_);
    bag.WriteProperty(QStringLiteral("Value"), darkSegments_);
}

void Ctlfader::SetBackColor(OleColor value) {
    backColor_ = value;
    emit propertyChanged(QStringLiteral("BackColor"));
}

void Ctlfader::SetForeColor(OleColor value) {
    foreColor_ = value;
    emit propertyChanged(QStringLiteral("ForeColor"));
}

void Ctlfader::SetEnabled(bool value) {
    enabled_ = value;
    emit propertyChanged(QStringLiteral("Enabled"));
}

void Ctlfader::SetFont(const QFont& value) {
    font_ = value;
    emit propertyChanged(QStringLiteral("Font"));
}

void Ctlfader::SetBackStyle(Integer value) {
    backStyle_ = value;
    emit propertyChanged(QStringLiteral("BackStyle"));
}

void Ctlfader::SetBorderStyle(Integer value) {
    borderStyle_ = value;
    emit propertyChanged(QStringLiteral("BorderStyle"));
}

int Ctlfader::SegmentLength() const {
    return label1_.width();
}

void Ctlfader::SetValue(Integer v) {
    const int dark = segments - static_cast<int>(v);
    if (dark > std::numeric_limits<Integer>::max()) {
        throw std::overflow_error("Ctlfader: level value out of range");
    }
    darkSegments_ = static_cast<Integer>(dark);
    emit propertyChanged(QStringLiteral("Value"));

    // Lines from (0, y) to (w, y), the end point excluded.
    const int w = SegmentLength();
    QPainter painter(&surface_);
    for (int i = 1; i <= segments; ++i) {
        const int y = (i - 1) * 2;
        const QColor colour = ColorFromOle(i > darkSegments_ ? litSegment : unlitSegment);
        if (w > 0) {
            painter.fillRect(QRect(0, y, w, 1), colour);
        }
    }
    painter.end();
    update();
}

void Ctlfader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromOle(sysWindowBackground));
    painter.drawImage(0, 0, surface_);
}
