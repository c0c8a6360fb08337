// SSCommand: the panel's picture button. Its face is a bitmap file: the
// normal picture, the pressed picture while a mouse button is held on it, and
// the disabled picture; a caption is laid over the face. The button itself
// only knows pressed-while-held; the panel gives it other normal pictures to
// show latching states.
//
// The keyboard works it as the mouse does: Space on the focused button, or
// the hosting window's own keys through KeyDown and KeyUp, press it while
// held (the pressed picture, MouseDown, then the normal picture, MouseUp).
// Only the keyboard's focus (Tab, Shift+Tab) shows the focus mark.
#pragma once

#include "controls/faceimage.h"
#include "controls/focusmark.h"
#include "controls/keyholds.h"
#include "controls/olecolor.h"
#include "controls/propertybag.h"
#include "core/types.h"
#include "host/scaling.h"

#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <functional>
#include <vector>

class SSCommand : public QWidget {
    Q_OBJECT
public:
    // Button and Shift as the mouse reports them (1 left, 2 right, 4 middle;
    // 1 shift, 2 control, 4 alt); X and Y in twips, relative to the inner
    // element under the mouse. All four may be changed by the handler.
    using MouseHandler = std::function<void(Integer& button, Integer& shift, Single& x, Single& y)>;
    using ClickHandler = std::function<void()>;

    explicit SSCommand(QWidget* parent = nullptr);

    // Creation in the hosting window: scales the inner elements, then reads
    // the stored properties.
    void ReadProperties(const PropertyBag& bag, const QFont& ambientFont);
    void WriteProperties(PropertyBag& bag) const;

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& value);
    // True while the button reacts. A disabled button shows its disabled
    // picture (or keeps its face when it has none) and raises nothing.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    OleColor ForeColor() const { return foreColor_; }
    void SetForeColor(OleColor value);
    // Loaded at once, in any state; an empty name blanks the face.
    const QString& PictureName() const { return pictureName_; }
    void SetPictureName(const QString& value);
    const QString& PictureDisabled() const { return pictureDisabled_; }
    void SetPictureDisabled(const QString& value);
    const QString& PictureDown() const { return pictureDown_; }
    void SetPictureDown(const QString& value);
    const QFont& Font() const { return font_; }

    bool DblClickLatch() const { return dblClickLatch_; }

    // The keyboard's press and release: the same as the left mouse button's
    // (pressed picture, caption moved, MouseDown raised with button 1; then
    // the normal picture, MouseUp), once each however long the key is held.
    // KeyDown does nothing and returns false while the button is disabled or
    // already held (by the mouse or a key); KeyUp does nothing unless KeyDown
    // pressed it. A button disabled while held is let go without MouseUp, as
    // with the mouse.
    bool KeyDown();
    void KeyUp();
    bool KeyHeld() const { return keyHeld_; }
    // Held by the mouse or a key.
    bool Held() const { return keyHeld_ || pressedElement_ != nullptr; }
    // The focus mark is shown (the button has the focus, given by the keyboard).
    bool FocusMarkShown() const { return !focusMark_.isHidden(); }

    // What a screen reader is told the button is: a push button, one of a
    // group of radio buttons (checked while it is the chosen one), or a
    // toggle button (checked and pressed while on). The hosting window sets
    // the kind once and the checked state as it redraws; a change of the
    // checked state is announced.
    enum class AccessibleKind { Push, Radio, Toggle };
    AccessibleKind Kind() const { return kind_; }
    void SetKind(AccessibleKind kind) { kind_ = kind; }
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);

    // Events raised to the hosting window.
    MouseHandler MouseDown;
    MouseHandler MouseUp;
    ClickHandler Click;
    ClickHandler DblClick;
    // Notified after every property assignment with the property's name.
    std::function<void(const QString&)> PropertyChanged;

    // What the face shows now (at the device pixel ratio of the screen it is
    // on), and the caption element.
    const QPixmap& Face() const { return face_; }
    const QLabel& CaptionLabel() const { return label1_; }
    QRect ImageRect() const { return image1_.geometry(); }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Shows the face at the resolution of the screen the button is on now.
    void paintEvent(QPaintEvent* event) override;

private:
    // The inner element under a point of the control: the caption lies above
    // the picture. Null over the bare surface.
    QWidget* ElementAt(const QPoint& position);
    void LoadFace(const QString& fileName);
    void PlaceCaption(double leftTwips, double topTwips);
    void Notify(const QString& name);
    struct MouseArguments {
        Integer button = 0;
        Integer shift = 0;
        Single x = 0;
        Single y = 0;
    };
    MouseArguments ArgumentsOf(const QMouseEvent& event, const QWidget& element) const;

    void OnPress(MouseArguments& arguments);
    void OnRelease(MouseArguments& arguments);
    // The release after the double-click latch: the normal face and MouseUp.
    void LetGo(MouseArguments& arguments);
    void TellPressedState();
    void ShowFocusMark();
    void OnClick();
    void OnDblClick();

    QString caption_;
    bool enabled_ = true;
    QFont font_;
    OleColor foreColor_ = sysButtonText;
    QString pictureName_;
    QString pictureDisabled_;
    QString pictureDown_;
    bool dblClickLatch_ = false;

    QPixmap face_;
    QString faceFile_;    // the file the face was loaded from
    qreal faceRatio_ = 1; // the device pixel ratio it was loaded for
    FaceImage image1_;
    QLabel label1_;
    std::vector<DesignItem> inner_; // Image1, Label1 in collection order

    QWidget* pressedElement_ = nullptr; // where the last press (or double click) landed
    bool pressWasDoubleClick_ = false;

    FocusMark focusMark_;
    bool keyHeld_ = false;       // pressed by KeyDown, not yet let go
    KeyHolds spaceHold_;         // Space holding the button
    bool keyboardFocus_ = false; // the focus came from the keyboard
    AccessibleKind kind_ = AccessibleKind::Push;
    bool checked_ = false; // a radio or toggle button's state, as the window shows it
};
