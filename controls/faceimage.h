// The picture element of a picture button: shows its bitmap as it is, also
// while the button is disabled (the button's disabled look is its own bitmap,
// not a greyed copy of the normal one).
#pragma once

#include <QPixmap>
#include <QWidget>

class FaceImage : public QWidget {
public:
    explicit FaceImage(QWidget* parent = nullptr) : QWidget(parent) {}

    const QPixmap& Picture() const { return picture_; }
    void SetPicture(const QPixmap& picture);
    void Clear() { SetPicture(QPixmap()); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};
