#include "host/host.h"

#include "host/pictures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QMessageBox>
#include <QPixmapCache>
#include <QScreen>
#include <QTimer>

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

LoneMessage::LoneMessage() = default;
LoneMessage::~LoneMessage() = default;

void LoneMessage::Show(const QString& text, int style, const QString& title,
                       std::function<void()> closed) {
    if (msgBoxHandler) {
        msgBoxHandler(text, style, title);
        if (closed) {
            closed();
        }
        return;
    }
    if (IsOpen()) {
        return;
    }
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto box = std::make_unique<QMessageBox>((style & mbInformation) ? QMessageBox::Information
                                                                     : QMessageBox::NoIcon,
                                             title, shown, QMessageBox::Ok);
    // Not modal: the panel's keys and the link go on while it is up. Closing
    // it never ends the program, even when it is the only window (at start-up).
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_QuitOnClose, false);
    if (closed) {
        // Not within the box's signal: what follows may show this holder's
        // box again, which replaces the one that is closing.
        QObject::connect(box.get(), &QMessageBox::finished, box.get(),
                         [closed = std::move(closed)] { QTimer::singleShot(0, closed); });
    }
    box->show();
    box_ = std::move(box);
}

void LoneMessage::Close() {
    box_.reset();
}

bool LoneMessage::IsOpen() const {
    return box_ && box_->isVisible();
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

namespace {

// The program's folder as last listed: a bare picture name is matched
// against it without regard to letter case. Listed again when the folder
// changes (a user replaced or added a file).
struct FolderListing {
    QString directory;
    QDateTime modified;
    QHash<QString, QString> byLowerName; // lower-case name -> file name
};
FolderListing listing;

QString FindPictureFile(const QString& directory, const QString& name) {
    const QDir dir(directory);
    if (QFileInfo(dir.filePath(name)).isFile()) {
        return dir.filePath(name); // an exact match wins
    }
    const QDateTime modified = QFileInfo(directory).lastModified();
    if (listing.directory != directory || listing.modified != modified) {
        listing = FolderListing{directory, modified, {}};
        for (const QString& entry : dir.entryList(QDir::Files | QDir::Readable)) {
            listing.byLowerName.insert(entry.toLower(), entry);
        }
    }
    const auto found = listing.byLowerName.constFind(name.toLower());
    return found == listing.byLowerName.constEnd() ? QString() : dir.filePath(*found);
}

} // namespace

QPixmap LoadPicture(const QString& fileName, qreal devicePixelRatio) {
    if (fileName.isEmpty()) {
        return {};
    }
    QString path = fileName;
    if (!fileName.contains(QLatin1Char('/'))) {
        path = FindPictureFile(PictureDirectory(), fileName);
        if (path.isEmpty()) {
            return {};
        }
    }
    // A press redraws its button at once: pictures are decoded once and kept,
    // for as long as their file stays as it is.
    const QFileInfo file(path);
    const QString key = QStringLiteral("ardenix:%1:%2:%3:%4")
                            .arg(file.absoluteFilePath())
                            .arg(file.lastModified().toMSecsSinceEpoch())
                            .arg(file.size())
                            .arg(devicePixelRatio);
    QPixmap picture;
    if (QPixmapCache::find(key, &picture)) {
        return picture;
    }
    // Through QImage: QPixmap's own loading keeps pictures by the second of
    // their modification, and would miss a file replaced within it.
    picture = QPixmap::fromImage(
        devicePixelRatio <= 1 ? QImage(path) : PictureAtRatio(path, devicePixelRatio).image);
    if (!picture.isNull()) {
        QPixmapCache::insert(key, picture);
    }
    return picture;
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
