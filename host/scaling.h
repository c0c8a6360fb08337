// Window scaling: the panel was laid out at 15 twips per pixel. Every window
// and control keeps its design geometry in twips; the pixel geometry shown is
// twips / (the screen's twips per pixel). ScaleForm rescales the twips once at
// load so that the window and its controls keep their design pixel sizes on a
// screen with another resolution.
#pragma once

#include "core/types.h"
#include "host/host.h"

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

// One control of a window, or one inner element of a custom control, with its
// design geometry in twips and its font size in points. A property the control
// lacks is empty (a timer has none, an image has no font size).
struct DesignItem {
    QString name;
    QWidget* widget = nullptr; // null for controls without a place (timers, picture lists)
    std::optional<double> left;
    std::optional<double> top;
    std::optional<double> width;
    std::optional<double> height;
    std::optional<double> fontSize; // points
    bool isImage = false;

    // Places the widget at its geometry converted to pixels with the screen's
    // twips per pixel, and gives its font the pixel height of fontSize.
    void Apply() const;
};

// A control's design place in twips.
struct Place {
    int left;
    int top;
    int width;
    int height;
};

// Moves and sizes `widget` inside its parent at its design place.
void PlaceInTwips(QWidget& widget, const Place& place);
// Sets the size of a window's client area in twips.
void SizeClientInTwips(QWidget& window, int width, int height);

// The pixel height of a font of `points` on a screen with the current twips per pixel.
int FontPixels(double points);

// A window whose outer size and controls are held in twips. The window's
// client area is its outer size minus the frame the design was drawn with
// (3 pixels each side, 25 pixels for the caption); the window manager adds its
// own frame around the client area.
class ScaledForm : public host::HostForm {
public:
    static constexpr int framePixelsX = 6;
    static constexpr int framePixelsY = 25;

    explicit ScaledForm(QWidget* parent = nullptr) : host::HostForm(parent) {}

    // Outer size in twips.
    double FormWidth() const { return formWidth_; }
    double FormHeight() const { return formHeight_; }
    void SetFormSize(double widthTwips, double heightTwips);

    // The window's controls, in control order.
    std::vector<DesignItem>& Controls() { return controls_; }
    const std::vector<DesignItem>& Controls() const { return controls_; }
    // The control called `name` (e.g. "SSCommand5(0)"); null when there is none.
    DesignItem* Control(const QString& name);

    // Applies the twips geometry of the window and of every control.
    void ApplyGeometry();

private:
    double formWidth_ = 0;
    double formHeight_ = 0;
    std::vector<DesignItem> controls_;
};

// Gives the window the outer size baseWidth x baseHeight pixels and rescales
// every control's position, size and font size so that each keeps its design
// pixel geometry. Nothing changes at 15 twips per pixel in both directions.
void ScaleForm(ScaledForm& form, Integer baseWidth, Integer baseHeight);
