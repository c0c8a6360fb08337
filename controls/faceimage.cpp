#include "controls/faceimage.h"

#include <QPainter>

void FaceImage::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void FaceImage::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
}
