#include "assets/programicon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <utility>

namespace artwork {
namespace {

const QColor rimColor(0x6a, 0x72, 0x82);
const QColor faceColor(0x26, 0x2a, 0x33);
const QColor trackColor(0x5e, 0x50, 0x0a);
const QColor levelColor(0xff, 0xe4, 0x1c);
const QColor lampColor(0xff, 0x45, 0x2e);

// The design in units of the 16-unit grid.
struct Bar {
    double left, width; // the left bar; the right one mirrors it
    double top, bottom;
    double leftLevel, rightLevel; // tops of the lit parts
};
constexpr double faceTop = 1.5;
constexpr double faceBottom = 14.5;
constexpr double faceRadius = 2.5;
constexpr Bar bar{3.0, 3.0, 4.0, 12.5, 8.0, 5.5};
constexpr double segmentPitch = 1.0; // the bars' segments, in the larger renderings
constexpr double segmentGap = 0.25;
constexpr double lampCentreY = 5.0;
constexpr double lampSize = 2.0;

QString Number(double value) {
    return QString::number(value, 'g', 6);
}

} // namespace

QString ProgramIconSvg() {
    const double rim = 0.5;
    const double right = 16.0 - bar.left - bar.width;
    QString text;
    QTextStream out(&text);
    auto rect = [&out](double x, double y, double w, double h, const QColor& color,
                       double radius = 0) {
        out << "  <rect x=\"" << Number(x) << "\" y=\"" << Number(y) << "\" width=\"" << Number(w)
            << "\" height=\"" << Number(h) << "\"";
        if (radius > 0) {
            out << " rx=\"" << Number(radius) << "\"";
        }
        out << " fill=\"" << color.name() << "\"/>\n";
    };
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
           "viewBox=\"0 0 16 16\">\n";
    rect(0, faceTop, 16, faceBottom - faceTop, rimColor, faceRadius);
    rect(rim, faceTop + rim, 16 - 2 * rim, faceBottom - faceTop - 2 * rim, faceColor,
         faceRadius - rim);
    for (const auto& [x, level] : {std::pair{bar.left, bar.leftLevel}, {right, bar.rightLevel}}) {
        rect(x, bar.top, bar.width, bar.bottom - bar.top, trackColor);
        rect(x, level, bar.width, bar.bottom - level, levelColor);
        for (double y = bar.bottom - segmentPitch; y > bar.top; y -= segmentPitch) {
            rect(x, y, bar.width, segmentGap, faceColor);
        }
    }
    out << "  <circle cx=\"8\" cy=\"" << Number(lampCentreY) << "\" r=\"" << Number(lampSize / 2)
        << "\" fill=\"" << lampColor.name() << "\"/>\n";
    out << "</svg>\n";
    out.flush();
    return text;
}

QImage ProgramIconImage(int size) {
    const double unit = size / 16.0;
    auto px = [unit](double units) { return static_cast<int>(std::lround(units * unit)); };
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    // The face with its rim: one pixel up to 32 pixels, then growing.
    const int rim = std::max(1, size / 32);
    const QRect face(0, px(faceTop), size, px(faceBottom) - px(faceTop));
    const double radius = std::max(2.0, faceRadius * unit);
    painter.setBrush(rimColor);
    painter.drawRoundedRect(face, radius, radius);
    painter.setBrush(faceColor);
    painter.drawRoundedRect(face.adjusted(rim, rim, -rim, -rim), radius - rim, radius - rim);

    // The bars: the right one mirrors the left one.
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int barLeft = px(bar.left);
    const int barWidth = std::max(2, px(bar.width));
    const int top = px(bar.top);
    const int bottom = px(bar.bottom);
    for (const auto& [x, level] :
         {std::pair{barLeft, px(bar.leftLevel)}, {size - barLeft - barWidth, px(bar.rightLevel)}}) {
        painter.fillRect(QRect(x, top, barWidth, bottom - top), trackColor);
        painter.fillRect(QRect(x, level, barWidth, bottom - level), levelColor);
        // From 48 pixels on the bars show their segments.
        if (size >= 48) {
            const int pitch = px(segmentPitch);
            for (int y = bottom - pitch; y > top; y -= pitch) {
                painter.fillRect(QRect(x, y, barWidth, px(segmentGap)), faceColor);
            }
        }
    }

    // The lamp: a square of whole pixels when small, round when large.
    // Centred on whole pixels, and with a pixel of face on either side.
    const int gap = size - 2 * (barLeft + barWidth);
    int lamp = std::max(2, px(lampSize));
    if ((size - lamp) % 2 != 0) {
        ++lamp;
    }
    while (lamp > 2 && lamp > gap - 2) {
        lamp -= 2;
    }
    const QRect lampRect((size - lamp) / 2, px(lampCentreY) - lamp / 2, lamp, lamp);
    if (size < 32) {
        painter.fillRect(lampRect, lampColor);
    } else {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(lampColor);
        painter.drawEllipse(lampRect);
    }
    painter.end();
    return image;
}

QIcon DrawnProgramIcon() {
    QIcon icon;
    for (const int size : programIconSizes) {
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    }
    return icon;
}

QIcon ProgramIcon() {
    return QIcon::fromTheme(QString::fromLatin1(programId), DrawnProgramIcon());
}

} // namespace artwork
