// An image control of the panel: shows a picture (or nothing) at its top left
// corner, can be shown or hidden, and reports a click.
#pragma once

#include <QPixmap>
#include <QWidget>

#include <functional>

class ImageBox : public QWidget {
public:
    explicit ImageBox(QWidget* parent = nullptr);

    const QPixmap& Picture() const { return picture_; }
    void SetPicture(const QPixmap& picture);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible) { setVisible(visible); }

    std::function<void()> Click;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    bool pressed_ = false;
};
