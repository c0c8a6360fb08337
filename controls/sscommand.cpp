#include "controls/sscommand.h"

#include "core/warn.h"

#include "controls/accessibility.h"
#include "controls/constituentscaling.h"
#include "host/host.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

namespace {

const QString captionFace() {
    return QStringLiteral("ＭＳ Ｐゴシック");
}

Integer ButtonOf(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

Integer ShiftOf(Qt::KeyboardModifiers modifiers) {
    Integer shift = 0;
    if (modifiers & Qt::ShiftModifier) {
        shift |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        shift |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        shift |= 4;
    }
    return shift;
}
} // namespace

SSCommand::SSCommand(QWidget* parent)
    : QWidget(parent), image1_(this), label1_(this), focusMark_(this) {
    InstallControlsAccessibility();
    setFont(QFont(QStringLiteral("Arial"), 9));
    // Only the keyboard gives the focus (Tab, Shift+Tab): a click leaves it
    // where it was, so a mouse user never sees the focus mark.
    setFocusPolicy(Qt::TabFocus);
    resize(host::PixelsX(2190), host::PixelsY(555));

    // Both inner elements leave the mouse to the button, which finds the
    // element under it; the caption lies above the picture.
    image1_.setAttribute(Qt::WA_TransparentForMouseEvents);
    label1_.setAttribute(Qt::WA_TransparentForMouseEvents);
    label1_.raise();

    QFont captionFont(captionFace());
    captionFont.setBold(true);
    label1_.setFont(captionFont);
    label1_.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label1_.setAutoFillBackground(false);
    QPalette palette = label1_.palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    label1_.setPalette(palette);

    DesignItem image;
    image.name = QStringLiteral("Image1");
    image.widget = &image1_;
    image.left = 0;
    image.top = 0;
    image.width = 2175;
    image.height = 555;
    image.isImage = true;
    DesignItem label;
    label.name = QStringLiteral("Label1");
    label.widget = &label1_;
    label.left = 75;
    label.top = 0;
    label.width = 2040;
    label.height = 285;
    label.fontSize = 8.25;
    inner_ = {image, label};
    for (const DesignItem& element : inner_) {
        element.Apply();
    }
}

void SSCommand::ReadProperties(const PropertyBag& bag, const QFont& ambientFont) {
    ScaleConstituentControls(inner_, ScaleFontSize::yes);

    // The hosting window's locale is an ambient property: a Japanese one
    // keeps the caption's own Japanese face.
    const bool japanese = locale().language() == QLocale::Japanese;
    caption_ = bag.ReadProperty(QStringLiteral("Caption"), QString()).toString();
    enabled_ = bag.ReadProperty(QStringLiteral("Enabled"), true).toBool();
    if (!japanese) {
        font_ = bag.ReadProperty(QStringLiteral("Font"), ambientFont).value<QFont>();
    } else {
        font_ = ambientFont;
    }
    pictureDisabled_ = bag.ReadProperty(QStringLiteral("PictureDisabled"), QString()).toString();
    pictureDown_ = bag.ReadProperty(QStringLiteral("PictureDown"), QString()).toString();
    pictureName_ = bag.ReadProperty(QStringLiteral("PictureName"), QString()).toString();
    // The caption colour is saved but not read back: the caption starts white.
    foreColor_ = 0;

    if (!pictureName_.isEmpty()) {
        LoadFace(pictureName_);
    }
    label1_.setText(caption_);
    label1_.setEnabled(enabled_);
    if (!japanese) {
        // Only the face name: the caption keeps its own size and weight.
        QFont captionFont = label1_.font();
        captionFont.setFamily(font_.family());
        label1_.setFont(captionFont);
    }
    DesignItem& label = inner_[1];
    label.left = 0;
    label.top = 70;
    label.width = image1_.width() * host::TwipsPerPixelX();
    label.height = image1_.height() * host::TwipsPerPixelY();
    label.Apply();
}

void SSCommand::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(QStringLiteral("Caption"), caption_);
    bag.WriteProperty(QStringLiteral("Enabled"), enabled_);
    bag.WriteProperty(QStringLiteral("Font"), font_);
    bag.WriteProperty(QStringLiteral("ForeColor"), foreColor_);
    bag.WriteProperty(QStringLiteral("PictureDisabled"), pictureDisabled_);
    bag.WriteProperty(QStringLiteral("PictureDown"), pictureDown_);
    bag.WriteProperty(QStringLiteral("PictureName"), pictureName_);
}

void SSCommand::Notify(const QString& name) {
    if (PropertyChanged) {
        PropertyChanged(name);
    }
}

void SSCommand::SetCaption(const QString& value) {
    caption_ = value;
    label1_.setText(value);
    Notify(QStringLiteral("Caption"));
}

void SSCommand::SetEnabled(bool value) {
    enabled_ = value;
    if (value) {
        LoadFace(pictureName_);
    } else if (!pictureDisabled_.isEmpty()) {
        LoadFace(pictureDisabled_);
    }
    setEnabled(value);
    label1_.setEnabled(value);
    image1_.setEnabled(value);
    Notify(QStringLiteral("Enabled"));
}

void SSCommand::SetForeColor(OleColor value) {
    foreColor_ = value;
    QPalette palette = label1_.palette();
    const QColor colour = ColorFromOle(value);
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    label1_.setPalette(palette);
    Notify(QStringLiteral("ForeColor"));
}

void SSCommand::SetPictureName(const QString& value) {
    pictureName_ = value;
    LoadFace(value);
    Notify(QStringLiteral("PictureName"));
}

void SSCommand::SetPictureDisabled(const QString& value) {
    pictureDisabled_ = value;
    Notify(QStringLiteral("PictureDisabled"));
}

void SSCommand::SetPictureDown(const QString& value) {
    pictureDown_ = value;
    Notify(QStringLiteral("PictureDown"));
}

// An empty name blanks the face. A picture that cannot be loaded leaves the
// face as it is and says so once on standard error: a button with a missing
// bitmap still works. The picture comes at the device pixel ratio of the
// button's screen; its size in the panel's pixels is the bitmap's.
void SSCommand::LoadFace(const QString& fileName) {
    if (fileName.isEmpty()) {
        face_ = QPixmap();
        faceFile_.clear();
        image1_.Clear();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QPixmap picture = host::LoadPicture(fileName, ratio);
    if (picture.isNull()) {
        Warn(QStringLiteral("cannot load the picture \"%1\"; the button keeps its face")
                 .arg(fileName));
        return;
    }
    face_ = picture;
    faceFile_ = fileName;
    faceRatio_ = ratio;
    image1_.SetPicture(picture);
    // The picture element takes the size of its picture.
    image1_.resize(picture.deviceIndependentSize().toSize());
}

// The button paints before its picture element: on another screen (or after
// the screen's ratio changed) the face is loaded anew for the new ratio,
// once; a file gone meanwhile leaves the face as it was.
void SSCommand::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (faceFile_.isEmpty() || qFuzzyCompare(faceRatio_, ratio)) {
        return;
    }
    faceRatio_ = ratio;
    const QPixmap picture = host::LoadPicture(faceFile_, ratio);
    if (!picture.isNull()) {
        face_ = picture;
        image1_.SetPicture(picture);
    }
}

void SSCommand::PlaceCaption(double leftTwips, double topTwips) {
    DesignItem& label = inner_[1];
    label.left = leftTwips;
    label.top = topTwips;
    label.Apply();
}

QWidget* SSCommand::ElementAt(const QPoint& position) {
    if (!label1_.isHidden() && label1_.geometry().contains(position)) {
        return &label1_;
    }
    if (image1_.geometry().contains(position)) {
        return &image1_;
    }
    return nullptr;
}

SSCommand::MouseArguments SSCommand::ArgumentsOf(const QMouseEvent& event,
                                                 const QWidget& element) const {
    const QPoint local = event.position().toPoint() - element.pos();
    MouseArguments arguments;
    arguments.button = ButtonOf(event.button());
    arguments.shift = ShiftOf(event.modifiers());
    arguments.x = static_cast<Single>(local.x() * host::TwipsPerPixelX());
    arguments.y = static_cast<Single>(local.y() * host::TwipsPerPixelY());
    return arguments;
}

void SSCommand::mousePressEvent(QMouseEvent* event) {
    if (keyHeld_) {
        return; // a key holds the button: the mouse adds no second press
    }
    QWidget* element = ElementAt(event->position().toPoint());
    if (!element) {
        return; // the bare surface around the face does not react
    }
    pressedElement_ = element;
    pressWasDoubleClick_ = false;
    MouseArguments arguments = ArgumentsOf(*event, *element);
    OnPress(arguments);
}

// The window system reports a double click as press, release, double click,
// release. The double click stands for the second press; its release is
// swallowed by the latch and makes no click.
void SSCommand::mouseDoubleClickEvent(QMouseEvent* event) {
    QWidget* element = ElementAt(event->position().toPoint());
    if (!element) {
        return;
    }
    pressedElement_ = element;
    pressWasDoubleClick_ = true;
    OnDblClick();
}

void SSCommand::mouseReleaseEvent(QMouseEvent* event) {
    QWidget* element = pressedElement_;
    if (!element) {
        return;
    }
    pressedElement_ = nullptr;
    MouseArguments arguments = ArgumentsOf(*event, *element);
    OnRelease(arguments);
    if (!pressWasDoubleClick_ && element->geometry().contains(event->position().toPoint())) {
        OnClick();
    }
}

void SSCommand::OnPress(MouseArguments& arguments) {
    if (!enabled_) {
        return;
    }
    if (!pictureDown_.isEmpty()) {
        LoadFace(pictureDown_);
    }
    const double k = host::TwipsPerPixelX() / 15.0;
    PlaceCaption(15 * k, 90 * k);
    TellPressedState();
    if (MouseDown) {
        MouseDown(arguments.button, arguments.shift, arguments.x, arguments.y);
    }
}

void SSCommand::OnRelease(MouseArguments& arguments) {
    if (dblClickLatch_) {
        dblClickLatch_ = false;
        return;
    }
    LetGo(arguments);
}

void SSCommand::LetGo(MouseArguments& arguments) {
    if (!enabled_) {
        return;
    }
    LoadFace(pictureName_);
    const double k = host::TwipsPerPixelX() / 15.0;
    PlaceCaption(0, 75 * k);
    TellPressedState();
    if (MouseUp) {
        MouseUp(arguments.button, arguments.shift, arguments.x, arguments.y);
    }
}

void SSCommand::OnClick() {
    if (enabled_ && Click) {
        Click();
    }
}

void SSCommand::OnDblClick() {
    dblClickLatch_ = true;
    if (enabled_ && DblClick) {
        DblClick();
    }
}

// A press of the left mouse button at the face's corner: the handlers get
// button 1, no shift, and the position 0, 0.
bool SSCommand::KeyDown() {
    if (!enabled_ || Held()) {
        return false;
    }
    // Held before the handler runs: a handler that waits (a scene recall)
    // processes events, and the key's release may come meanwhile.
    keyHeld_ = true;
    MouseArguments arguments;
    arguments.button = 1;
    OnPress(arguments);
    return true;
}

void SSCommand::KeyUp() {
    if (!keyHeld_) {
        return;
    }
    keyHeld_ = false;
    MouseArguments arguments;
    arguments.button = 1;
    LetGo(arguments);
}

// Space presses the focused button while held; its auto-repeat adds nothing.
// Every other key is left to the hosting window.
void SSCommand::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space || !spaceHold_.Takes(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!spaceHold_.Holds(*event) && !event->isAutoRepeat()) {
        keyboardFocus_ = true;
        ShowFocusMark();
    }
    spaceHold_.Press(*event, *this);
}

void SSCommand::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space || !spaceHold_.Release(*event)) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
}

void SSCommand::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        keyboardFocus_ = false;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        break; // back in the window: as it was when the window was left
    default:
        keyboardFocus_ = true; // Tab, Shift+Tab, a shortcut, a screen reader
        break;
    }
    ShowFocusMark();
}

// Losing the focus lets go of what Space holds, as a mouse release would.
void SSCommand::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        keyboardFocus_ = false;
    }
    ShowFocusMark();
    spaceHold_.LetGoAll();
}

void SSCommand::ShowFocusMark() {
    const bool shown = keyboardFocus_ && hasFocus();
    if (shown) {
        const QRect face = image1_.geometry().intersected(rect());
        focusMark_.setGeometry(face.isEmpty() ? rect() : face);
        focusMark_.raise();
    }
    focusMark_.setVisible(shown);
}

void SSCommand::SetChecked(bool checked) {
    if (checked_ == checked) {
        return;
    }
    checked_ = checked;
    QAccessible::State changed;
    changed.checked = true;
    changed.pressed = kind_ == AccessibleKind::Toggle;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void SSCommand::TellPressedState() {
    QAccessible::State changed;
    changed.pressed = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}
