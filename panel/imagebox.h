// An image control of the panel: shows a picture (or nothing) at its top left
// corner, can be shown or hidden, and reports a click. A screen reader sees
// it in the role the panel gives it (a graphic unless told otherwise); an
// indicator also tells whether it is on.
#pragma once

#include <QAccessible>
#include <QPixmap>
#include <QWidget>

#include <functional>

class ImageBox : public QWidget {
    Q_OBJECT
public:
    explicit ImageBox(QWidget* parent = nullptr);

    QAccessible::Role AccessibleRole() const { return accessibleRole_; }
    void SetAccessibleRole(QAccessible::Role role) { accessibleRole_ = role; }
    // An indicator's state (a lamp on or off); a change is announced.
    bool AccessibleChecked() const { return accessibleChecked_; }
    void SetAccessibleChecked(bool checked);

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
    QAccessible::Role accessibleRole_ = QAccessible::Graphic;
    bool accessibleChecked_ = false;
};
