// Ctlfader: the panel's vertical level bar, 14 x 61 pixels at design size.
// It shows a level 0..30 as a column of 30 segment lines lit from the bottom
// up. Display only: it takes no mouse or keyboard input and raises no events.
// What it draws stays drawn: an off-screen image that every repaint shows.
// The image has the device pixels of the bar's screen (14 x 61 at a device
// pixel ratio of 1, twice that at 2); on a screen of another ratio it is
// drawn anew with the lines last drawn. It can be shown dimmed (the hosting
// window's way of saying that what it shows is not current), and a screen
// reader reads it as a level: its name and "N of 30".
#pragma once

#include "controls/olecolor.h"
#include "controls/propertybag.h"
#include "core/types.h"
#include "host/scaling.h"

#include <QFont>
#include <QImage>
#include <QWidget>

#include <vector>

class Ctlfader : public QWidget {
    Q_OBJECT
public:
    static constexpr int surfaceWidth = 14;  // pixels (210 twips)
    static constexpr int surfaceHeight = 61; // pixels (915 twips)
    static constexpr int segments = 30;
    static constexpr OleColor litSegment = 0x0006FCFFu;   // (255, 252, 6)
    static constexpr OleColor unlitSegment = 0x00026273u; // (115, 98, 2)

    explicit Ctlfader(QWidget* parent = nullptr);

    // Loading: scales the inner label, then reads the stored properties. The
    // dark-segment count is taken as stored and nothing is drawn.
    void ReadProperties(const PropertyBag& bag, const QFont& ambientFont);
    void WriteProperties(PropertyBag& bag) const;

    OleColor BackColor() const { return backColor_; }
    void SetBackColor(OleColor value);
    OleColor ForeColor() const { return foreColor_; }
    void SetForeColor(OleColor value);
    // Stored only: the bar takes no input either way.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    const QFont& Font() const { return font_; }
    void SetFont(const QFont& value);
    Integer BackStyle() const { return backStyle_; }
    void SetBackStyle(Integer value);
    Integer BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(Integer value);

    // Reading gives the dark-segment count, 30 minus the value last assigned.
    Integer Value() const { return darkSegments_; }
    // Lights the bottom v of the 30 lines and darkens the others. A value whose
    // dark-segment count 30 - v does not fit 16 bits (v below -32737) throws
    // std::overflow_error and changes nothing.
    void SetValue(Integer v);
    // The lines lit now, 0..30 (0 before the first value).
    int LitSegments() const { return drawnLit_ < 0 ? 0 : drawnLit_; }

    // Dimmed: the bar is shown darkened; what it draws (Image) stays as it is.
    bool Dimmed() const { return dimmed_; }
    void SetDimmed(bool value);

    // What the bar shows (the off-screen drawing surface), at the device
    // pixel ratio of the bar's screen.
    const QImage& Image() const { return surface_; }
    // The width of the inner label in pixels: the length of the segment lines.
    int SegmentLength() const;

    // The background picture stored with the control, at a device pixel
    // ratio: each of its 61 rows covers the device rows of its place.
    static QImage BackgroundPicture(qreal devicePixelRatio = 1);

    QSize sizeHint() const override { return {surfaceWidth, surfaceHeight}; }

signals:
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Lights the bottom `lit` of the 30 lines on the surface, darkens the others.
    void DrawLines(int lit);

    OleColor backColor_ = 0;
    OleColor foreColor_ = 0;
    bool enabled_ = false;
    QFont font_;
    Integer backStyle_ = 0;
    Integer borderStyle_ = 0;
    Integer darkSegments_ = 0;

    QImage surface_;
    int drawnLit_ = -1; // lines lit on the surface by the last value; -1 before the first
    bool dimmed_ = false;
    QWidget label1_;                // measures the segment length; shows nothing
    std::vector<DesignItem> inner_; // the inner label's design geometry
};
