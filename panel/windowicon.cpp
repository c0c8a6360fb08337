#include "panel/windowicon.h"

#include "assets/programicon.h"

#include <QGuiApplication>

void GiveProgramIcon(QWidget& window) {
    QGuiApplication::setDesktopFileName(QString::fromLatin1(artwork::programId));
    window.setWindowIcon(artwork::ProgramIcon());
}
