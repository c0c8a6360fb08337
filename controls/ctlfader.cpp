#include "controls/ctlfader.h"

#include "controls/accessibility.h"
#include "controls/constituentscaling.h"

#include <QAccessible>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {
// Laid over a dimmed bar: the lit lines keep a fifth of their brightness.
const QColor dimming(0, 0, 0, 204);

// The first device row (or column) of pixel row (or column) `pixel` at `ratio`:
// pixel p covers the device rows from DeviceEdge(p) up to DeviceEdge(p + 1).
int DeviceEdge(int pixel, qreal ratio) {
    return static_cast<int>(std::lround(pixel * ratio));
}

// Fills the device pixels of the rows from `top` up to `bottom` (exclusive)
// and the columns from 0 up to `width`, in the surface's own pixels.
void FillRows(QImage& surface, int top, int bottom, int width, const QColor& colour) {
    const qreal ratio = surface.devicePixelRatio();
    const int right = std::min(surface.width(), DeviceEdge(width, ratio));
    const int last = std::min(surface.height(), DeviceEdge(bottom, ratio));
    for (int y = DeviceEdge(top, ratio); y < last; ++y) {
        for (int x = 0; x < right; ++x) {
            surface.setPixelColor(x, y, colour);
        }
    }
}
} // namespace

Ctlfader::Ctlfader(QWidget* parent)
    : QWidget(parent), surface_(BackgroundPicture(devicePixelRatioF())), label1_(this) {
    InstallControlsAccessibility();
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

QImage Ctlfader::BackgroundPicture(qreal devicePixelRatio) {
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    QImage picture(DeviceEdge(surfaceWidth, ratio), DeviceEdge(surfaceHeight, ratio),
                   QImage::Format_RGB888);
    picture.setDevicePixelRatio(ratio);
    for (int y = 0; y < surfaceHeight; ++y) {
        QColor colour;
        if (y % 2 == 0) {
            colour = ColorFromOle(unlitSegment);
        } else if (y % 6 == 1) {
            colour = QColor(49, 52, 69);
        } else {
            colour = QColor(53, 56, 73);
        }
        FillRows(picture, y, y + 1, surfaceWidth, colour);
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
    const int before = LitSegments();
    DrawLines(std::clamp(segments - dark, 0, segments));
    update();
    if (LitSegments() != before) {
        QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&nameChanged);
    }
}

void Ctlfader::SetDimmed(bool value) {
    if (dimmed_ == value) {
        return;
    }
    dimmed_ = value;
    update();
}

// Lines from (0, y) to (w, y), the end point excluded.
void Ctlfader::DrawLines(int lit) {
    drawnLit_ = lit;
    const int w = SegmentLength();
    if (w <= 0) {
        return;
    }
    for (int i = 1; i <= segments; ++i) {
        const int y = (i - 1) * 2;
        const bool dark = i <= segments - lit;
        FillRows(surface_, y, y + 1, w, ColorFromOle(dark ? unlitSegment : litSegment));
    }
}

void Ctlfader::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (!qFuzzyCompare(surface_.devicePixelRatio(), ratio)) {
        // Another screen: the surface anew at its resolution, with the lines
        // last drawn.
        surface_ = BackgroundPicture(ratio);
        if (drawnLit_ >= 0) {
            DrawLines(drawnLit_);
        }
    }
    QPainter painter(this);
    painter.fillRect(rect(), ColorFromOle(sysWindowBackground));
    painter.drawImage(0, 0, surface_);
    if (dimmed_) {
        painter.fillRect(rect(), dimming);
    }
}
