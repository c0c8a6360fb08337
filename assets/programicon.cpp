#include "assets/programicon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>

namespace artwork {
namespace {

// The icon on a grid of 16 x 16 units.
QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 16.0, size / 16.0);
    QPainterPath rim;
    rim.addRoundedRect(QRectF(0, 1.5, 16, 13), 2.5, 2.5);
    p.fillPath(rim, QColor(0x6a, 0x72, 0x82));
    QPainterPath face;
    face.addRoundedRect(QRectF(0.5, 2, 15, 12), 2, 2);
    p.fillPath(face, QColor(0x26, 0x2a, 0x33));
    struct Bar {
        double left;
        double level; // the top of the lit part
    };
    for (const Bar& bar : {Bar{3, 8}, Bar{10, 5.5}}) {
        p.fillRect(QRectF(bar.left, 4, 3, 8.5), QColor(0x5e, 0x50, 0x0a));
        p.fillRect(QRectF(bar.left, bar.level, 3, 12.5 - bar.level), QColor(0xff, 0xe4, 0x1c));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0x45, 0x2e));
    p.drawEllipse(QPointF(8, 5), 1, 1);
    return image;
}

} // namespace

QIcon DrawnProgramIcon() {
    QIcon icon;
    for (const int size : std::array{16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(QPixmap::fromImage(DrawIcon(size)));
    }
    return icon;
}

QIcon ProgramIcon() {
    return QIcon::fromTheme(QString::fromLatin1(programId), DrawnProgramIcon());
}

} // namespace artwork
