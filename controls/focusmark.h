// The focus mark of a picture button: a bright frame laid over the face while
// the button has the keyboard's focus. It takes no mouse input.
#pragma once

#include <QWidget>

class FocusMark : public QWidget {
public:
    explicit FocusMark(QWidget* parent = nullptr);

    // The frame's colours: a light line inside a dark one, so that it shows
    // on the dark keys as on the lit ones.
    static QColor InnerColour() { return {120, 220, 255}; }
    static QColor OuterColour() { return {0, 0, 0}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
