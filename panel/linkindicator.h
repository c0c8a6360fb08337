// The link's state on the panel: a lamp and a legend in the face's free strip
// at the bottom, between the maker's name and the model line, while the link
// is not online; nothing at all once it is. It takes no mouse input, so the
// face under it behaves as before. A screen reader reads it as a status text.
#pragma once

#include "core/observers.h"

#include <QColor>
#include <QLabel>

class LinkIndicator : public QLabel {
public:
    explicit LinkIndicator(QWidget* parent = nullptr);

    // Shown with the legend of `state` unless it is Online.
    void Show(LinkState state);
    LinkState State() const { return state_; }

    // What the legend says, and the lamp's colour, in a state.
    static QString Legend(LinkState state);
    static QString SpokenText(LinkState state);
    static QColor LampColour(LinkState state);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LinkState state_ = LinkState::Online;
};
