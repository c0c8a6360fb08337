#include "controls/olecolor.h"

#include <QGuiApplication>
#include <QPalette>

QColor ColorFromOle(OleColor value) {
    if ((value & 0x80000000u) != 0) {
        const QPalette palette = QGuiApplication::palette();
        switch (value & 0xffu) {
        case 0x05:
            return palette.color(QPalette::Base);
        case 0x08:
            return palette.color(QPalette::Text);
        case 0x12:
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::WindowText);
        }
    }
    return QColor(static_cast<int>(value & 0xffu), static_cast<int>((value >> 8) & 0xffu),
                  static_cast<int>((value >> 16) & 0xffu));
}
