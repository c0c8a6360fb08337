#include "assets/artwork.h"

#include "assets/bitmapnames.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>

namespace artwork {
namespace {

// --- Colours of the panel -----------------------------------------------------
const QColor faceTop(54, 56, 63);
const QColor faceBottom(33, 35, 40);
const QColor sectionFill(27, 28, 33);
const QColor sectionEdgeLight(72, 75, 84);
const QColor sectionEdgeDark(14, 14, 17);
const QColor bezel(9, 9, 11);
const QColor legend(208, 211, 218);
const QColor legendDim(140, 144, 152);
const QColor stripFill(12, 14, 20);
const QColor stripEdge(78, 82, 94);

struct KeyColours {
    QColor top;
    QColor bottom;
};
const KeyColours darkKey{{84, 87, 96}, {47, 49, 55}};
const KeyColours amberKey{{255, 212, 96}, {226, 146, 32}};
const KeyColours redKey{{240, 78, 64}, {168, 28, 22}};
const KeyColours greenKey{{128, 238, 136}, {36, 164, 66}};

// The faces a button bitmap shows.
enum class Face { normal, pressed, disabled };

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

// A dim, greyed version of a key colour for the disabled faces.
QColor Dimmed(const QColor& colour) {
    return Mix(colour, QColor(40, 41, 45), 0.62);
}

QFont LegendFont(int pixels, bool bold = true) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The device pixels of a picture of `size` pixels at `scale`.
QSize DeviceSize(const QSize& size, qreal scale) {
    return {static_cast<int>(std::lround(size.width() * scale)),
            static_cast<int>(std::lround(size.height() * scale))};
}

// A picture of width x height pixels drawn at `scale` device pixels per
// pixel: the painter works in the picture's own pixels at every scale, so
// that text, symbols and edges are drawn at the finer resolution.
QImage NewImage(int width, int height, const QColor& fill, qreal scale) {
    QImage image(DeviceSize(QSize(width, height), scale), QImage::Format_RGB888);
    image.setDevicePixelRatio(scale);
    image.fill(fill);
    return image;
}

// Lines one pixel wide, and the outline of a rectangle's pixels, filled as
// whole pixels from the first to the last one given: at every scale they
// cover exactly the pixels they cover at scale 1 (a stroked line would sit
// half a device pixel off and end short at finer scales).
void HLine(QPainter& p, int x1, int x2, int y, const QColor& colour) {
    p.fillRect(QRect(QPoint(std::min(x1, x2), y), QPoint(std::max(x1, x2), y)), colour);
}

void VLine(QPainter& p, int x, int y1, int y2, const QColor& colour) {
    p.fillRect(QRect(QPoint(x, std::min(y1, y2)), QPoint(x, std::max(y1, y2))), colour);
}

void Outline(QPainter& p, const QRect& box, const QColor& colour) {
    HLine(p, box.left(), box.right(), box.top(), colour);
    HLine(p, box.left(), box.right(), box.bottom(), colour);
    VLine(p, box.left(), box.top() + 1, box.bottom() - 1, colour);
    VLine(p, box.right(), box.top() + 1, box.bottom() - 1, colour);
}

// A key sitting in its cut-out: a one-pixel dark bezel, the key cap with its
// bevel, raised when normal, sunk when pressed, flat and dim when disabled.
void DrawKey(QPainter& p, const QSize& size, const KeyColours& colours, Face face, bool lit) {
    p.fillRect(QRect(QPoint(0, 0), size), bezel);
    const QRectF cap(1, 1, size.width() - 2, size.height() - 2);
    QPainterPath shape;
    shape.addRoundedRect(cap, 2, 2);
    QLinearGradient gradient(cap.topLeft(), cap.bottomLeft());
    switch (face) {
    case Face::normal:
        gradient.setColorAt(0, colours.top.lighter(112));
        gradient.setColorAt(1, colours.bottom);
        break;
    case Face::pressed:
        gradient.setColorAt(0, colours.bottom.darker(125));
        gradient.setColorAt(1, colours.top.darker(108));
        break;
    case Face::disabled:
        gradient.setColorAt(0, Dimmed(colours.top));
        gradient.setColorAt(1, Dimmed(colours.bottom));
        break;
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillPath(shape, gradient);
    if (lit && face != Face::disabled) {
        // Light from behind the cap.
        QRadialGradient glow(cap.center(), cap.width() * 0.6);
        glow.setColorAt(0, QColor(255, 255, 235, face == Face::pressed ? 90 : 60));
        glow.setColorAt(1, QColor(255, 255, 235, 0));
        p.fillPath(shape, glow);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    const int right = size.width() - 2;
    const int bottom = size.height() - 2;
    if (face == Face::normal) {
        const QColor light = colours.top.lighter(lit ? 108 : 135);
        HLine(p, 3, right - 2, 1, light);
        VLine(p, 1, 3, bottom - 2, light);
        const QColor shade = colours.bottom.darker(150);
        HLine(p, 3, right - 2, bottom, shade);
        VLine(p, right, 3, bottom - 2, shade);
    } else if (face == Face::pressed) {
        HLine(p, 2, right - 1, 1, QColor(0, 0, 0, 150));
        VLine(p, 1, 2, bottom - 1, QColor(0, 0, 0, 150));
        HLine(p, 2, right - 1, 2, QColor(0, 0, 0, 80));
    }
}

// Where the content of a key goes: one pixel down and right while pressed.
QPointF ContentOffset(Face face) {
    return face == Face::pressed ? QPointF(1, 1) : QPointF(0, 0);
}

QColor SymbolColour(Face face, bool lit) {
    if (face == Face::disabled) {
        return lit ? QColor(70, 60, 40) : QColor(92, 94, 100);
    }
    return lit ? QColor(28, 22, 12) : QColor(236, 238, 242);
}

void DrawCentredText(QPainter& p, const QRectF& box, const QString& text, const QFont& font,
                     const QColor& colour) {
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

// A small round indicator.
void DrawLed(QPainter& p, const QPointF& centre, double radius, const QColor& colour, bool on) {
    p.setRenderHint(QPainter::Antialiasing, true);
    if (on) {
        QRadialGradient halo(centre, radius * 2.2);
        halo.setColorAt(0, QColor(colour.red(), colour.green(), colour.blue(), 150));
        halo.setColorAt(1, QColor(colour.red(), colour.green(), colour.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(centre, radius * 2.2, radius * 2.2);
    }
    QRadialGradient lens(centre - QPointF(radius * 0.35, radius * 0.35), radius * 1.3);
    lens.setColorAt(0, on ? colour.lighter(160) : colour.lighter(125));
    lens.setColorAt(1, on ? colour : colour.darker(140));
    p.setPen(QPen(QColor(0, 0, 0, 180), 0.8));
    p.setBrush(lens);
    p.drawEllipse(centre, radius, radius);
    p.setRenderHint(QPainter::Antialiasing, false);
}

// --- Transport symbols ----------------------------------------------------------
void Triangle(QPainterPath& path, double x, double y, double w, double h, bool right) {
    QPolygonF triangle;
    if (right) {
        triangle << QPointF(x, y) << QPointF(x + w, y + h / 2) << QPointF(x, y + h);
    } else {
        triangle << QPointF(x + w, y) << QPointF(x, y + h / 2) << QPointF(x + w, y + h);
    }
    path.addPolygon(triangle);
    path.closeSubpath();
}

QPainterPath TransportSymbol(const QString& name, const QPointF& c) {
    QPainterPath path;
    const double h = 10;
    const double top = c.y() - h / 2;
    if (name == QLatin1String("play")) {
        Triangle(path, c.x() - 4, top, 9, h, true);
    } else if (name == QLatin1String("stop")) {
        path.addRect(c.x() - 4.5, c.y() - 4.5, 9, 9);
    } else if (name == QLatin1String("pause")) {
        path.addRect(c.x() - 4.5, top, 3, h);
        path.addRect(c.x() + 1.5, top, 3, h);
    } else if (name == QLatin1String("rew")) {
        Triangle(path, c.x() - 7, top, 7, h, false);
        Triangle(path, c.x(), top, 7, h, false);
    } else if (name == QLatin1String("forward")) {
        Triangle(path, c.x() - 7, top, 7, h, true);
        Triangle(path, c.x(), top, 7, h, true);
    } else if (name == QLatin1String("prev")) {
        path.addRect(c.x() - 7, top, 2, h);
        Triangle(path, c.x() - 5, top, 6, h, false);
        Triangle(path, c.x() + 1, top, 6, h, false);
    } else if (name == QLatin1String("next")) {
        Triangle(path, c.x() - 7, top, 6, h, true);
        Triangle(path, c.x() - 1, top, 6, h, true);
        path.addRect(c.x() + 5, top, 2, h);
    }
    path.setFillRule(Qt::WindingFill);
    return path;
}

// --- The button and lamp bitmaps -------------------------------------------------
struct Variant {
    bool lit;
    Face face;
};

// Splits "x_on_press" into its state: on/off and off/press/disable.
bool ParseVariant(const QString& stem, const QString& family, Variant& variant) {
    const QString rest = stem.mid(family.size());
    static const std::array<std::pair<const char*, Variant>, 6> variants{{
        {"_off_off", {false, Face::normal}},
        {"_off_press", {false, Face::pressed}},
        {"_off_disable", {false, Face::disabled}},
        {"_on_off", {true, Face::normal}},
        {"_on_press", {true, Face::pressed}},
        {"_on_disable", {true, Face::disabled}},
    }};
    for (const auto& [suffix, v] : variants) {
        if (rest == QLatin1String(suffix)) {
            variant = v;
            return true;
        }
    }
    return false;
}

QImage InputButton(const Variant& v, qreal scale) {
    QImage image = NewImage(80, 21, bezel, scale);
    QPainter p(&image);
    DrawKey(p, image.deviceIndependentSize().toSize(), v.lit ? amberKey : darkKey, v.face, v.lit);
    return image;
}

QImage TransportKey(const QString& name, const Variant& v, qreal scale) {
    QImage image = NewImage(29, 30, bezel, scale);
    QPainter p(&image);
    DrawKey(p, image.deviceIndependentSize().toSize(), darkKey, v.face, false);
    const QPointF centre = QPointF(14, 15) + ContentOffset(v.face);
    QColor colour = SymbolColour(v.face, false);
    if (name == QLatin1String("play") && v.face != Face::disabled) {
        colour = QColor(96, 230, 110);
    } else if (name == QLatin1String("stop") && v.face == Face::pressed) {
        colour = QColor(255, 110, 90);
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillPath(TransportSymbol(name, centre), colour);
    return image;
}

QImage MutingButton(const Variant& v, qreal scale) {
    QImage image = NewImage(78, 20, bezel, scale);
    QPainter p(&image);
    DrawKey(p, image.deviceIndependentSize().toSize(), v.lit ? redKey : darkKey, v.face, v.lit);
    const QPointF offset = ContentOffset(v.face);
    const bool ledOn = v.lit && v.face != Face::disabled;
    QColor ledColour = ledOn ? QColor(255, 70, 50) : QColor(92, 24, 20);
    if (v.face == Face::disabled) {
        ledColour = QColor(60, 36, 34);
    }
    DrawLed(p, QPointF(11, 10) + offset, 3, ledColour, ledOn);
    QColor text = v.lit ? QColor(255, 246, 240) : QColor(226, 228, 234);
    if (v.face == Face::disabled) {
        text = QColor(96, 96, 102);
    }
    DrawCentredText(p, QRectF(18, 0, 56, 20).translated(offset), QStringLiteral("MUTE"),
                    LegendFont(10), text);
    return image;
}

QImage LevelButton(bool up, const Variant& v, qreal scale) {
    QImage image = NewImage(25, 21, bezel, scale);
    QPainter p(&image);
    DrawKey(p, image.deviceIndependentSize().toSize(), darkKey, v.face, false);
    const QPointF c = QPointF(12.5, 10.5) + ContentOffset(v.face);
    QPolygonF arrow;
    if (up) {
        arrow << QPointF(c.x() - 5, c.y() + 3) << QPointF(c.x(), c.y() - 4)
              << QPointF(c.x() + 5, c.y() + 3);
    } else {
        arrow << QPointF(c.x() - 5, c.y() - 3) << QPointF(c.x(), c.y() + 4)
              << QPointF(c.x() + 5, c.y() - 3);
    }
    QPainterPath path;
    path.addPolygon(arrow);
    path.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillPath(path, SymbolColour(v.face, false));
    return image;
}

QImage RadioButton(QChar letter, const Variant& v, qreal scale) {
    QImage image = NewImage(23, 24, bezel, scale);
    QPainter p(&image);
    DrawKey(p, image.deviceIndependentSize().toSize(), v.lit ? greenKey : darkKey, v.face, v.lit);
    const QPointF offset = ContentOffset(v.face);
    DrawCentredText(p, QRectF(0, 1, 23, 23).translated(offset), QString(letter), LegendFont(13),
                    SymbolColour(v.face, v.lit));
    return image;
}

// A lamp behind a lens: dark when off, glowing when on, with its legend.
QImage Lamp(const QSize& size, const QColor& onColour, const QString& text, bool on, qreal scale) {
    QImage image = NewImage(size.width(), size.height(), bezel, scale);
    QPainter p(&image);
    const QRectF lens(1.5, 1.5, size.width() - 3, size.height() - 3);
    QPainterPath shape;
    shape.addRoundedRect(lens, 2, 2);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient fill(lens.topLeft(), lens.bottomLeft());
    if (on) {
        fill.setColorAt(0, onColour.lighter(135));
        fill.setColorAt(1, onColour);
    } else {
        fill.setColorAt(0, onColour.darker(330));
        fill.setColorAt(1, onColour.darker(470));
    }
    p.fillPath(shape, fill);
    if (on) {
        QRadialGradient glow(lens.center(), lens.width() * 0.55);
        glow.setColorAt(0, QColor(255, 255, 230, 140));
        glow.setColorAt(1, QColor(255, 255, 230, 0));
        p.fillPath(shape, glow);
    }
    // The glint on the lens.
    p.fillRect(QRectF(lens.left() + 2, lens.top() + 1, lens.width() - 4, 1),
               QColor(255, 255, 255, on ? 110 : 40));
    p.setPen(QPen(QColor(0, 0, 0, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    const QColor textColour = on ? QColor(60, 20, 10) : onColour.darker(220);
    if (text.isEmpty()) {
        // The infinity sign of the mugen lamp, drawn larger than a glyph would be.
        const QPointF c = lens.center();
        p.setPen(QPen(textColour, 1.3));
        p.drawLine(QPointF(c.x() - 10, c.y()), QPointF(c.x() - 5, c.y()));
        p.drawEllipse(QPointF(c.x() - 0.6, c.y()), 2.6, 2.3);
        p.drawEllipse(QPointF(c.x() + 4.6, c.y()), 2.6, 2.3);
    } else {
        DrawCentredText(p, lens.adjusted(0, 0, 0, 1), text, LegendFont(9), textColour);
    }
    return image;
}

struct Entry {
    QString name;
    std::function<QImage(qreal scale)> draw;
};

// Every bitmap the artwork can draw, by its lower-case file name.
std::vector<Entry> Catalogue() {
    std::vector<Entry> entries;
    const std::array<const char*, 6> suffixes{"_off_disable", "_off_off", "_off_press",
                                              "_on_disable",  "_on_off",  "_on_press"};
    using Draw = std::function<QImage(const Variant&, qreal)>;
    auto addFamily = [&entries, &suffixes](const QString& family, bool withOn, const Draw& draw) {
        for (const char* suffix : suffixes) {
            const QString stem = family + QLatin1String(suffix);
            Variant v{};
            if (!ParseVariant(stem, family, v) || (v.lit && !withOn)) {
                continue;
            }
            entries.push_back(
                {stem + QStringLiteral(".bmp"), [draw, v](qreal scale) { return draw(v, scale); }});
        }
    };
    addFamily(QStringLiteral("button"), true, InputButton);
    for (const QChar letter : QStringLiteral("abcd")) {
        addFamily(QString(letter) + QStringLiteral("_radio"), true,
                  [letter](const Variant& v, qreal scale) {
                      return RadioButton(letter.toUpper(), v, scale);
                  });
    }
    addFamily(QStringLiteral("down"), false,
              [](const Variant& v, qreal scale) { return LevelButton(false, v, scale); });
    addFamily(QStringLiteral("up"), false,
              [](const Variant& v, qreal scale) { return LevelButton(true, v, scale); });
    const QColor overGainColour(255, 52, 36);
    const QColor mugenColour(255, 176, 30);
    for (const bool on : {false, true}) {
        const QString state = on ? QStringLiteral("_on.bmp") : QStringLiteral("_off.bmp");
        entries.push_back(
            {QStringLiteral("overgain") + state, [on, overGainColour](qreal scale) {
                 return Lamp({31, 23}, overGainColour, QStringLiteral("OVER"), on, scale);
             }});
        entries.push_back({QStringLiteral("mugen") + state, [on, mugenColour](qreal scale) {
                               return Lamp({31, 13}, mugenColour, QString(), on, scale);
                           }});
    }
    addFamily(QStringLiteral("muting"), true, MutingButton);
    for (const char* key : {"prev", "next", "stop", "rew", "play", "forward", "pause"}) {
        const QString name = QLatin1String(key);
        addFamily(name, false,
                  [name](const Variant& v, qreal scale) { return TransportKey(name, v, scale); });
    }
    return entries;
}

// --- The face ---------------------------------------------------------------------
// A small deterministic generator for the brushed texture.
class Grain {
public:
    int Next(int range) {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) % static_cast<std::uint32_t>(range));
    }

private:
    std::uint32_t state_ = 20240611u;
};

QRect Px(int left, int top, int width, int height) {
    // Twips of the panel's layout to the face's pixels.
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

void Section(QPainter& p, const QRect& box) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.fillPath(shape, sectionFill);
    p.setPen(QPen(sectionEdgeDark, 1));
    p.drawPath(shape);
    p.setRenderHint(QPainter::Antialiasing, false);
    HLine(p, box.left() + 4, box.right() - 4, box.bottom() + 1, sectionEdgeLight);
    VLine(p, box.right() + 1, box.top() + 4, box.bottom() - 4, sectionEdgeLight);
}

void Title(QPainter& p, const QRect& box, const QString& text, bool centred) {
    QFont font = LegendFont(10);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.2);
    p.setFont(font);
    const QRect line(box.left() + 7, box.top() + 3, box.width() - 14, 12);
    const int textWidth = p.fontMetrics().horizontalAdvance(text);
    const QColor ruleColour(86, 90, 100);
    p.setPen(legend);
    if (centred) {
        p.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, text);
        const int left = line.center().x() - textWidth / 2 - 5;
        const int right = line.center().x() + textWidth / 2 + 5;
        HLine(p, line.left(), left, line.center().y(), ruleColour);
        HLine(p, right, line.right(), line.center().y(), ruleColour);
    } else {
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, text);
        HLine(p, line.left() + textWidth + 6, line.right(), line.center().y(), ruleColour);
    }
}

void Cutout(QPainter& p, const QRect& control) {
    p.fillRect(control.adjusted(-1, -1, 1, 1), QColor(16, 16, 19));
    HLine(p, control.left() - 1, control.right() + 1, control.bottom() + 2, QColor(70, 73, 82));
}

// The inside of a strip shows the painter's brush, as the sections' insides
// do (Section fills its outline with it): the screws' gradient, beyond its
// radius its outer colour. Kept so, the face looks as it always has.
void Strip(QPainter& p, const QRect& label) {
    const QRect strip = label.adjusted(-3, -1, 3, 1);
    p.fillRect(strip, stripFill);
    p.fillRect(strip.adjusted(1, 1, -1, -1), p.brush());
    Outline(p, strip, stripEdge);
}

void Screw(QPainter& p, const QPointF& centre) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QRadialGradient head(centre - QPointF(1, 1), 4);
    head.setColorAt(0, QColor(170, 172, 178));
    head.setColorAt(1, QColor(70, 72, 78));
    p.setPen(QPen(QColor(10, 10, 12), 0.8));
    p.setBrush(head);
    p.drawEllipse(centre, 3.2, 3.2);
    p.setPen(QPen(QColor(40, 40, 44), 1));
    p.drawLine(centre + QPointF(-2, 1.2), centre + QPointF(2, -1.2));
    p.setRenderHint(QPainter::Antialiasing, false);
}

} // namespace

QImage LevelScale(qreal scale) {
    QImage image = NewImage(20, 61, sectionFill, scale);
    QPainter p(&image);
    // The level bar's segment lines lie 3 pixels above this picture's top:
    // line k (0 at the top) is at row 2k - 3.
    for (int k = 2; k < 30; ++k) {
        const int y = 2 * k - 3;
        const bool major = (k - 2) % 5 == 0;
        if (!major && k % 2 != 0) {
            continue;
        }
        HLine(p, major ? 13 : 16, 19, y, major ? legend : legendDim);
    }
    p.setFont(LegendFont(7, false));
    p.setPen(legendDim);
    const std::array<std::pair<int, const char*>, 4> marks{
        {{2, "10"}, {12, "0"}, {22, "20"}, {27, "40"}}};
    for (const auto& [k, text] : marks) {
        const int y = qMax(0, 2 * k - 3 - 4);
        p.drawText(QRect(0, y, 12, 9), Qt::AlignRight | Qt::AlignVCenter, QLatin1String(text));
    }
    return image;
}

QImage PanelFace(qreal scale) {
    QImage image = NewImage(faceWidth, faceHeight, faceTop, scale);
    // The brushed plate, grain by grain at the device's resolution.
    Grain grain;
    const int rows = image.height();
    const int columns = image.width();
    for (int y = 0; y < rows; ++y) {
        const QColor row = Mix(faceTop, faceBottom, static_cast<double>(y) / (rows - 1));
        const int rowShade = grain.Next(5) - 2;
        uchar* pixel = image.scanLine(y);
        for (int x = 0; x < columns; ++x) {
            const int shade = rowShade + grain.Next(3) - 1;
            *pixel++ = static_cast<uchar>(qBound(0, row.red() + shade, 255));
            *pixel++ = static_cast<uchar>(qBound(0, row.green() + shade, 255));
            *pixel++ = static_cast<uchar>(qBound(0, row.blue() + shade + 1, 255));
        }
    }
    QPainter p(&image);
    // The edge of the front plate.
    HLine(p, 0, faceWidth - 1, 0, QColor(92, 95, 104));
    VLine(p, 0, 0, faceHeight - 1, QColor(92, 95, 104));
    HLine(p, 0, faceWidth - 1, 186, QColor(10, 10, 12));
    VLine(p, 683, 0, faceHeight - 1, QColor(10, 10, 12));
    for (const QPointF& screw :
         {QPointF(8, 8), QPointF(675, 8), QPointF(8, 178), QPointF(675, 178)}) {
        Screw(p, screw);
    }

    // INPUT: the six input buttons.
    const QRect inputBox(36, 10, 200, 118);
    Section(p, inputBox);
    Title(p, inputBox, QStringLiteral("INPUT"), false);
    for (const QRect& r :
         {Px(690, 465, 1200, 315), Px(675, 1005, 1200, 315), Px(675, 1545, 1200, 315),
          Px(2190, 465, 1200, 315), Px(2190, 1005, 1200, 315), Px(2190, 1545, 1200, 315)}) {
        Cutout(p, r);
    }
    p.setFont(LegendFont(8, false));
    p.setPen(legendDim);
    for (int i = 0; i < 3; ++i) {
        p.drawText(QRect(38, 31 + 36 * i, 7, 21), Qt::AlignCenter, QString::number(i + 1));
        p.drawText(QRect(227, 31 + 36 * i, 8, 21), Qt::AlignCenter, QString::number(i + 4));
    }

    // TRANSPORT: the seven keys.
    const QRect transportBox(20, 132, 216, 50);
    Section(p, transportBox);
    for (int i = 0; i < 7; ++i) {
        Cutout(p, Px(405 + 435 * i, 2085, 435, 450));
    }
    QFont small = LegendFont(8);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(small);
    p.setPen(legend);
    p.drawText(QRect(20, 170, 216, 11), Qt::AlignCenter, QStringLiteral("TRANSPORT"));

    // The two master sections.
    struct MasterArt {
        QRect box;
        QString title;
        int offsetTwips; // master B lies this far right of master A
    };
    for (const MasterArt& m :
         {MasterArt{QRect(254, 10, 138, 162), QStringLiteral("MASTER A"), 0},
          MasterArt{QRect(398, 10, 138, 162), QStringLiteral("MASTER B"), 2160}}) {
        Section(p, m.box);
        Title(p, m.box, m.title, true);
        const int dx = m.offsetTwips;
        Strip(p, m.offsetTwips == 0 ? Px(4365, 435, 1140, 210) : Px(6480, 435, 1140, 210));
        // Lamps, level scale and level bar slot.
        Cutout(p, Px(3975 + dx, 870, 465, 345));
        Cutout(p, Px(3975 + dx, 1575, 465, 195));
        const QRect slot = Px(4935 + dx, 870, 210, 900).adjusted(-2, -2, 2, 2);
        p.fillRect(slot, QColor(8, 8, 10));
        HLine(p, slot.left(), slot.right(), slot.bottom() + 1, QColor(74, 77, 86));
        Cutout(p, Px(5340 + dx, 870, 375, 315));
        Cutout(p, Px(5340 + dx, 1500, 375, 315));
        Cutout(p, Px(4230 + dx, 2145, 1170, 300));
        p.setFont(LegendFont(7));
        p.setPen(legendDim);
        const int buttonsCentre = (5340 + dx) / 15 + 12;
        p.drawText(QRect(buttonsCentre - 16, 80, 32, 20), Qt::AlignCenter, QStringLiteral("LEVEL"));
        const int barCentre = (4935 + dx) / 15 + 7;
        p.drawText(QRect(barCentre - 14, 123, 28, 9), Qt::AlignCenter, QStringLiteral("dB"));
    }

    // SCENE: the four radio buttons and the names beside them.
    const QRect sceneBox(548, 10, 128, 162);
    Section(p, sceneBox);
    Title(p, sceneBox, QStringLiteral("SCENE"), false);
    for (int i = 0; i < 4; ++i) {
        Cutout(p, Px(8430, 465 + 540 * i, 345, 360));
    }
    for (const int top : {555, 1110, 1635, 2175}) {
        Strip(p, Px(8850, top, 1200, 210));
    }

    // The maker's name.
    QFont brand = LegendFont(11);
    brand.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(brand);
    p.setPen(QColor(226, 228, 234));
    p.drawText(QRect(254, 173, 140, 13), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("DORVANE"));
    p.setFont(LegendFont(8, false));
    p.setPen(legendDim);
    p.drawText(QRect(370, 173, 300, 13), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("DIGITAL AUDIO / VIDEO MIXER"));
    return image;
}

QStringList BitmapNames() {
    QStringList names;
    for (const std::string_view name : bitmapNames) {
        names.append(
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())).toLower());
    }
    return names;
}

QImage Bitmap(const QString& fileName, qreal scale) {
    const QString name = fileName.toLower();
    for (const Entry& entry : Catalogue()) {
        if (entry.name == name) {
            return entry.draw(scale).convertToFormat(QImage::Format_RGB888);
        }
    }
    return {};
}

} // namespace artwork
