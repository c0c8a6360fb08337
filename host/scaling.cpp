#include "host/scaling.h"

#include <QFont>

#include <cmath>

using host::PixelsX;
using host::PixelsY;

void PlaceInTwips(QWidget& widget, const Place& place) {
    widget.setGeometry(PixelsX(place.left), PixelsY(place.top), PixelsX(place.width),
                       PixelsY(place.height));
}

void SizeClientInTwips(QWidget& window, int width, int height) {
    window.setFixedSize(PixelsX(width), PixelsY(height));
}

// A point is 20 twips: a font of p points is p * 20 / (twips per pixel) pixels high.
int FontPixels(double points) {
    const int pixels = static_cast<int>(std::lround(points * 20.0 / host::TwipsPerPixelY()));
    return pixels > 0 ? pixels : 1;
}

void DesignItem::Apply() const {
    if (!widget) {
        return;
    }
    QRect geometry = widget->geometry();
    if (left) {
        geometry.moveLeft(PixelsX(*left));
    }
    if (top) {
        geometry.moveTop(PixelsY(*top));
    }
    if (width) {
        geometry.setWidth(PixelsX(*width));
    }
    if (height) {
        geometry.setHeight(PixelsY(*height));
    }
    widget->setGeometry(geometry);
    if (fontSize) {
        QFont font = widget->font();
        font.setPixelSize(FontPixels(*fontSize));
        widget->setFont(font);
    }
}

void ScaledForm::SetFormSize(double widthTwips, double heightTwips) {
    formWidth_ = widthTwips;
    formHeight_ = heightTwips;
}

DesignItem* ScaledForm::Control(const QString& name) {
    for (DesignItem& item : controls_) {
        if (item.name == name) {
            return &item;
        }
    }
    return nullptr;
}

void ScaledForm::ApplyGeometry() {
    const int clientWidth = PixelsX(formWidth_) - framePixelsX;
    const int clientHeight = PixelsY(formHeight_) - framePixelsY;
    if (clientWidth > 0 && clientHeight > 0) {
        setFixedSize(clientWidth, clientHeight);
    }
    for (const DesignItem& item : controls_) {
        item.Apply();
    }
}

void ScaleForm(ScaledForm& form, Integer baseWidth, Integer baseHeight) {
    const double tx = host::TwipsPerPixelX();
    const double ty = host::TwipsPerPixelY();
    if (tx == 15.0 && ty == 15.0) {
        return;
    }
    form.SetFormSize(baseWidth * tx, baseHeight * ty);
    const double fx = tx / 15.0;
    const double fy = ty / 15.0;
    // A control without one of the five properties skips that one and keeps the others.
    for (DesignItem& item : form.Controls()) {
        if (item.left) {
            *item.left *= fx;
        }
        if (item.top) {
            *item.top *= fy;
        }
        if (item.fontSize) {
            *item.fontSize *= fy;
        }
        if (item.width) {
            *item.width *= fx;
        }
        if (item.height) {
            *item.height *= fy;
        }
    }
    form.ApplyGeometry();
}
