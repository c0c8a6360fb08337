#include "host/host.h"

#include "host/pictures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QImageReader>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace host {
namespace {
MsgBoxHandler msgBoxHandler;
int beeps = 0;
double twipsXOverride = 0;
double twipsYOverride = 0;

std::vector<FormSlotBase*>& FormSlots() {
    static std::vector<FormSlotBase*> formSlots; // every window slot of the program
    return formSlots;
}

double TwipsFromDpi(double dpi) {
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}
} // namespace

int MsgBox(const QString& text, int style, const QString& title) {
    if (msgBoxHandler) {
        return msgBoxHandler(text, style, title);
    }
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box((style & mbInformation) ? QMessageBox::Information : QMessageBox::NoIcon, title,
                    shown, QMessageBox::Ok);
    box.exec();
    return mbOk;
}

void SetMsgBoxHandler(MsgBoxHandler handler) {
    msgBoxHandler = std::move(handler);
}

QString ApplicationTitle() {
    return QStringLiteral("ardenix");
}

void Beep() {
    ++beeps;
    QApplication::beep();
}

int BeepCount() {
    return beeps;
}

double TwipsPerPixelX() {
    if (twipsXOverride > 0) {
        return twipsXOverride;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? TwipsFromDpi(screen->logicalDotsPerInchX()) : 15.0;
}

double TwipsPerPixelY() {
    if (twipsYOverride > 0) {
        return twipsYOverride;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? TwipsFromDpi(screen->logicalDotsPerInchY()) : 15.0;
}

int PixelsX(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelX()));
}

int PixelsY(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixelY()));
}

void SetTwipsPerPixel(double x, double y) {
    twipsXOverride = x;
    twipsYOverride = y;
}

QPixmap LoadPicture(const QString& fileName, qreal devicePixelRatio) {
    if (fileName.isEmpty()) {
        return {};
    }
    QString path = fileName;
    if (!fileName.contains(QLatin1Char('/'))) {
        path = FindFileNoCase(ProgramDirectory(), fileName);
        if (path.isEmpty()) {
            return {};
        }
    }
    if (devicePixelRatio <= 1) {
        return QPixmap(path);
    }
    return QPixmap::fromImage(PictureAtRatio(path, devicePixelRatio).image);
}

QPixmap ImageList::Picture(int i) const {
    if (i < 1 || i > Count()) {
        return {};
    }
    return images_[static_cast<std::size_t>(i - 1)];
}

HostForm::HostForm(QWidget* parent) : QWidget(parent) {}

void HostForm::SetTopLeftTwips(int topTwips, int leftTwips) {
    move(PixelsX(leftTwips), PixelsY(topTwips));
}

void HostForm::Show() {
    if (ProgramEnding()) {
        return;
    }
    show();
    if (!active_) {
        Activate();
    }
}

void HostForm::Activate() {
    active_ = true;
    if (activating_) {
        return; // a wait inside the handler does not start it again
    }
    activating_ = true;
    Form_Activate();
    activating_ = false;
}

bool HostForm::event(QEvent* e) {
    const bool handled = QWidget::event(e);
    if (e->type() == QEvent::WindowActivate && !active_) {
        Activate();
    } else if (e->type() == QEvent::WindowDeactivate) {
        active_ = false;
    }
    return handled;
}

void HostForm::closeEvent(QCloseEvent* e) {
    e->accept();
    if (unloader_) {
        const auto unload = unloader_;
        unload();
    }
}

FormSlotBase::FormSlotBase() {
    FormSlots().push_back(this);
}

FormSlotBase::~FormSlotBase() {
    auto& formSlots = FormSlots();
    formSlots.erase(std::remove(formSlots.begin(), formSlots.end(), this), formSlots.end());
}

void EndProgram() {
    if (ProgramEnding()) {
        return;
    }
    MarkProgramEnding();
    for (FormSlotBase* slot : FormSlots()) {
        slot->Discard();
    }
    QCoreApplication::exit(0);
}

} // namespace host
