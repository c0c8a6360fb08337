#include "panel/imagebox.h"

#include <QMouseEvent>
#include <QPainter>

ImageBox::ImageBox(QWidget* parent) : QWidget(parent) {}

void ImageBox::SetAccessibleChecked(bool checked) {
    if (accessibleChecked_ == checked) {
        return;
    }
    accessibleChecked_ = checked;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void ImageBox::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageBox::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return; // an image without a picture is transparent
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}

void ImageBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = true;
    event->accept();
}

void ImageBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click && Click) {
        Click();
    }
}
