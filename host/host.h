// Window host services: what the windows and controls take from the window
// system. Windows are loaded on first touch and run their load handler once;
// message boxes, the beep, pictures by file name, the picture list, and the
// screen's twips per pixel.
#pragma once

#include "core/hostfacts.h"
#include "core/timer.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace host {

// ---------------------------------------------------------------------------
// Message boxes

constexpr int mbOkOnly = 0;
constexpr int mbInformation = 64;
constexpr int mbOk = 1; // the answer of the OK button

// Replaces the message boxes, for tests and for running without a window:
// the handler gets what would be shown and returns the answer. An empty
// handler restores the real box.
using MsgBoxHandler = std::function<int(const QString& text, int style, const QString& title)>;
void SetMsgBoxHandler(MsgBoxHandler handler);

// The application's default title, used by boxes that carry no title of their own.
QString ApplicationTitle();

// A message box that does not wait for the user: Show returns at once and
// the program goes on while the box is up. A carriage return in the text is
// shown as a line break. One holder has at most one box open; showing again
// while it is open changes nothing (and `closed` is not called). `closed`, when
// given, runs once the user closed the box, from the event loop after the
// box's own signal. With a MsgBox handler set, the handler gets the message
// and the box counts as closed at once (it was answered): `closed` runs
// before Show returns.
class LoneMessage {
public:
    LoneMessage();
    ~LoneMessage();
    LoneMessage(const LoneMessage&) = delete;
    LoneMessage& operator=(const LoneMessage&) = delete;

    void Show(const QString& text, int style, const QString& title,
              std::function<void()> closed = {});
    // Closes the box if it is open (what it said no longer holds).
    void Close();
    bool IsOpen() const;

private:
    std::unique_ptr<QWidget> box_;
};

// ---------------------------------------------------------------------------
// Sound

void Beep();
// For tests: counts beeps instead of (as well as) sounding them.
int BeepCount();

// ---------------------------------------------------------------------------
// Screen

// The screen's twips per pixel (1440 / logical dots per inch; 15 at 96 dpi).
double TwipsPerPixelX();
double TwipsPerPixelY();
// Fixes the values, for tests; a value <= 0 returns to the screen's own.
void SetTwipsPerPixel(double x, double y);
// Pixels from twips with the screen's current twips per pixel, rounded: the
// one conversion of the design's twips to what the window system places.
int PixelsX(double twips);
int PixelsY(double twips);

// ---------------------------------------------------------------------------
// Pictures

// Loads a bitmap by file name. A bare name is looked up in the program's
// directory without regard to letter case; a name with a directory part is
// taken as it stands. A null pixmap when the file is missing or unreadable.
// For a device pixel ratio above 1 the picture comes at device pixels with
// the ratio set: its variant for finer screens beside it when that is usable,
// else the file scaled smoothly (host/pictures.h).
QPixmap LoadPicture(const QString& fileName, qreal devicePixelRatio = 1);

// A picture list: images numbered from 1.
class ImageList {
public:
    void Clear() { images_.clear(); }
    void Add(const QPixmap& picture) { images_.push_back(picture); }
    int Count() const { return static_cast<int>(images_.size()); }
    // Image i, 1-based; a null pixmap outside 1..Count().
    QPixmap Picture(int i) const;

private:
    std::vector<QPixmap> images_;
};

// ---------------------------------------------------------------------------
// Windows

// Base of the program's three windows. The handlers carry the design's names;
// the window system calls Form_Activate when the window becomes active and
// the user's close request unloads the window.
class HostForm : public QWidget {
public:
    explicit HostForm(QWidget* parent = nullptr);

    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_Unload() {}

    // Shows the window without modality. Showing makes it the active window,
    // so its activation handler runs now, before Show returns; later
    // activations by the user (after it had lost the activation) run it again.
    // Once the program is ending nothing is shown and nothing runs.
    void Show();

    // Position in twips, converted with the screen's twips per pixel.
    void SetTopLeftTwips(int topTwips, int leftTwips);

    // Set by the FormSlot that holds this window: unloads it.
    void SetUnloader(std::function<void()> unloader) { unloader_ = std::move(unloader); }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void Activate();

    std::function<void()> unloader_;
    bool active_ = false;     // the window is the active one, as far as its handler knows
    bool activating_ = false; // the activation handler is running
};

class FormSlotBase {
public:
    FormSlotBase();
    virtual ~FormSlotBase();
    FormSlotBase(const FormSlotBase&) = delete;
    FormSlotBase& operator=(const FormSlotBase&) = delete;
    // Destroys the window without running its unload handler (program end).
    virtual void Discard() = 0;
};

// Holds one window: the first touch creates it and runs its load handler;
// Unload runs its unload handler and destroys it; a later touch loads it anew.
template <class Form> class FormSlot : public FormSlotBase {
public:
    Form& operator()() {
        if (!form_) {
            form_ = std::make_unique<Form>();
            Form* const form = form_.get();
            form->SetUnloader([this] { Unload(); });
            loading_ = true;
            form->Form_Load();
            loading_ = false;
            if (form_.get() != form) {
                // Unloaded while its load ran (the program was asked to stop
                // while the load showed a message). The window is gone for the
                // program; the object goes once control is back in the event
                // loop, so the caller's reference stays valid until then.
                form->deleteLater();
                return *form;
            }
        }
        return *form_;
    }
    bool IsLoaded() const { return form_ != nullptr; }
    Form* Loaded() const { return form_.get(); }

    void Unload() {
        if (!form_) {
            return;
        }
        // The window may be unloading itself from one of its own handlers:
        // detach it first and delete it once control is back in the event loop.
        Form* form = form_.release();
        form->SetUnloader({});
        form->Form_Unload();
        form->hide();
        if (!loading_) {
            form->deleteLater(); // during its load, the loader lets it go afterwards
        }
    }
    void Discard() override {
        if (form_) {
            Form* form = form_.release();
            if (!loading_) {
                form->deleteLater();
            }
        }
    }

private:
    std::unique_ptr<Form> form_;
    bool loading_ = false; // the load handler is running
};

// Ends the program: closes every window without running anything more and
// leaves the event loop; ProgramEnding() is true from then on.
void EndProgram();

} // namespace host
