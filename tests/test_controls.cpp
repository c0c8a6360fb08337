// The level bar, the picture button and the scaling of windows and of the
// controls' inner parts.
#include "controls/constituentscaling.h"
#include "controls/ctlfader.h"
#include "controls/focusmark.h"
#include "controls/keyholds.h"
#include "controls/sscommand.h"
#include "core/state.h"
#include "host/host.h"
#include "host/scaling.h"
#include "tests/support/linkrecord.h"

#include <QAccessible>
#include <QLabel>
#include <QtTest>

#include <stdexcept>

namespace {
const QColor lit(255, 252, 6);
const QColor unlit(115, 98, 2);

// The rows of the 30 segment lines that are lit, top (0) to bottom (58).
QList<int> LitRows(const Ctlfader& fader) {
    QList<int> rows;
    const QImage& image = fader.Image();
    for (int y = 0; y < 60; y += 2) {
        const QColor first = image.pixelColor(0, y);
        for (int x = 1; x < Ctlfader::surfaceWidth; ++x) {
            if (image.pixelColor(x, y) != first) {
                return {-1}; // a line drawn only partly
            }
        }
        if (first == lit) {
            rows.append(y);
        } else if (first != unlit) {
            return {-2};
        }
    }
    return rows;
}

QList<int> BottomRows(int count) {
    QList<int> rows;
    for (int y = 60 - 2 * count; y < 60; y += 2) {
        rows.append(y);
    }
    return rows;
}

void WriteBitmap(const QString& directory, const QString& name, QColor colour, QSize size) {
    QImage image(size, QImage::Format_RGB888);
    image.fill(colour);
    QVERIFY(image.save(QDir(directory).filePath(name), "BMP"));
}

// The three pictures of normal.bmp, down.bmp and disabled.bmp.
PropertyBag ThreePictures(const QString& caption = QString()) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("PictureName"), QStringLiteral("normal.bmp"));
    bag.WriteProperty(QStringLiteral("PictureDown"), QStringLiteral("down.bmp"));
    bag.WriteProperty(QStringLiteral("PictureDisabled"), QStringLiteral("disabled.bmp"));
    bag.WriteProperty(QStringLiteral("Caption"), caption);
    return bag;
}

QColor FaceColour(const SSCommand& button) {
    return button.Face().toImage().pixelColor(5, 5);
}

// Records the button's MouseDown and MouseUp as "down B S" and "up B".
void Record(SSCommand& button, QStringList& events) {
    button.MouseDown = [&events](Integer& b, Integer& s, Single&, Single&) {
        events.append(QStringLiteral("down %1 %2").arg(b).arg(s));
    };
    button.MouseUp = [&events](Integer& b, Integer&, Single&, Single&) {
        events.append(QStringLiteral("up %1").arg(b));
    };
}

// A key event as the window system delivers it: with its time stamp, and
// marked by Qt as a repeat or not. True when it was taken.
bool SendKey(QWidget& widget, QEvent::Type type, Qt::Key key, quint64 stamp,
             bool autoRepeat = false) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    event.setTimestamp(stamp);
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

// A window that hands its keys to a KeyHolds for one button.
class KeyWindow : public QWidget {
public:
    KeyWindow() : button(this) {}
    SSCommand button;
    KeyHolds holds;

protected:
    void keyPressEvent(QKeyEvent* event) override { holds.Press(*event, button); }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (!holds.Release(*event)) {
            event->ignore();
        }
    }
};

} // namespace

class TestControls : public QObject {
    Q_OBJECT
    QTemporaryDir programDir;

private slots:
    void initTestCase() {
        host::SetProgramDirectory(programDir.path());
        WriteBitmap(programDir.path(), QStringLiteral("normal.bmp"), Qt::red, {80, 21});
        WriteBitmap(programDir.path(), QStringLiteral("down.bmp"), Qt::green, {80, 21});
        WriteBitmap(programDir.path(), QStringLiteral("disabled.bmp"), Qt::blue, {80, 21});
        WriteBitmap(programDir.path(), QStringLiteral("other.bmp"), Qt::yellow, {40, 10});
    }
    void init() {
        ResetEngineState();
        programSetup.systemState.localeCode = 1;
        QLocale::setDefault(QLocale::c()); // the buttons' ambient locale: not Japanese
        host::SetTwipsPerPixel(15, 15);
    }
    void cleanupTestCase() { host::SetTwipsPerPixel(0, 0); }

    // Pictures are decoded once and kept, but a file replaced or added in
    // the program's folder is taken as it is now.
    void picturesFollowTheirFiles() {
        const QString name = QStringLiteral("changing.bmp");
        WriteBitmap(programDir.path(), name, Qt::yellow, {40, 10});
        const QImage first = host::LoadPicture(QStringLiteral("CHANGING.BMP")).toImage();
        QCOMPARE(first.size(), QSize(40, 10));
        QCOMPARE(first.pixelColor(0, 0), QColor(Qt::yellow));
        QTest::qWait(20); // another modification time
        WriteBitmap(programDir.path(), name, Qt::blue, {40, 10});
        QCOMPARE(host::LoadPicture(QStringLiteral("Changing.bmp")).toImage().pixelColor(0, 0),
                 QColor(Qt::blue));
        WriteBitmap(programDir.path(), name, Qt::blue, {20, 5});
        QCOMPARE(host::LoadPicture(QStringLiteral("changing.bmp")).size(), QSize(20, 5));
        // A file that comes after the folder was listed is found too.
        QVERIFY(host::LoadPicture(QStringLiteral("Later.bmp")).isNull());
        QTest::qWait(20);
        WriteBitmap(programDir.path(), QStringLiteral("later.bmp"), Qt::green, {8, 8});
        QCOMPARE(host::LoadPicture(QStringLiteral("Later.bmp")).size(), QSize(8, 8));
        QFile::remove(QDir(programDir.path()).filePath(name));
        QFile::remove(QDir(programDir.path()).filePath(QStringLiteral("later.bmp")));
    }

    void faderShowsTheBackgroundUntilTheFirstValue() {
        Ctlfader fader;
        fader.ReadProperties(PropertyBag{}, QFont());
        QCOMPARE(fader.sizeHint(), QSize(14, 61));
        const QImage& image = fader.Image();
        QCOMPARE(image.size(), QSize(14, 61));
        QCOMPARE(image.pixelColor(3, 0), unlit);
        QCOMPARE(image.pixelColor(3, 60), unlit);
        QCOMPARE(image.pixelColor(3, 1), QColor(49, 52, 69));
        QCOMPARE(image.pixelColor(3, 55), QColor(49, 52, 69));
        QCOMPARE(image.pixelColor(3, 3), QColor(53, 56, 73));
        QCOMPARE(image.pixelColor(13, 59), QColor(53, 56, 73));
        QCOMPARE(LitRows(fader), QList<int>());
    }

    void faderValuesLightTheBottomLines() {
        Ctlfader fader;
        fader.ReadProperties(PropertyBag{}, QFont());
        QCOMPARE(fader.SegmentLength(), 14);
        fader.SetValue(0);
        QCOMPARE(LitRows(fader), QList<int>());
        fader.SetValue(1);
        QCOMPARE(LitRows(fader), QList<int>{58});
        fader.SetValue(29);
        QCOMPARE(LitRows(fader), BottomRows(29));
        QVERIFY(!LitRows(fader).contains(0));
        fader.SetValue(30);
        QCOMPARE(LitRows(fader), BottomRows(30));
        fader.SetValue(31);
        QCOMPARE(LitRows(fader), BottomRows(30));
        fader.SetValue(1000);
        QCOMPARE(LitRows(fader), BottomRows(30));
        fader.SetValue(-5);
        QCOMPARE(LitRows(fader), QList<int>());
        // The gaps and the last row are never drawn over.
        QCOMPARE(fader.Image().pixelColor(5, 60), unlit);
        QCOMPARE(fader.Image().pixelColor(5, 57), QColor(53, 56, 73));
        // What is drawn is what a repaint shows.
        fader.SetValue(12);
        fader.resize(14, 61);
        const QImage shown = fader.grab().toImage();
        QCOMPARE(QColor(shown.pixel(2, 58)), lit);
        QCOMPARE(QColor(shown.pixel(2, 36)), lit);
        QCOMPARE(QColor(shown.pixel(2, 34)), unlit);
    }

    void faderValueReadsBackTheDarkCount() {
        Ctlfader fader;
        QStringList changes;
        connect(&fader, &Ctlfader::propertyChanged, this,
                [&changes](const QString& name) { changes.append(name); });
        fader.SetValue(7);
        QCOMPARE(fader.Value(), Integer(23));
        fader.SetValue(12);
        QCOMPARE(fader.Value(), Integer(18));
        PropertyBag bag;
        fader.WriteProperties(bag);
        QCOMPARE(bag.values.value(QStringLiteral("Value")).toInt(), 18);
        QCOMPARE(changes, (QStringList{QStringLiteral("Value"), QStringLiteral("Value")}));

        // The overflow of 30 - v is reported and leaves the bar as it was.
        const QImage before = fader.Image();
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, fader.SetValue(-32738));
        QCOMPARE(fader.Value(), Integer(18));
        QCOMPARE(fader.Image(), before);
        QCOMPARE(changes.size(), 2);
        fader.SetValue(-32737);
        QCOMPARE(fader.Value(), Integer(32767));
        QCOMPARE(LitRows(fader), QList<int>());
    }

    void faderPropertiesAreStoredAndPersisted() {
        Ctlfader fader;
        QStringList changes;
        connect(&fader, &Ctlfader::propertyChanged, this,
                [&changes](const QString& name) { changes.append(name); });
        const QImage before = fader.Image();
        fader.SetBackColor(0x00112233u);
        fader.SetForeColor(0x00445566u);
        fader.SetEnabled(true);
        fader.SetBackStyle(1);
        fader.SetBorderStyle(2);
        fader.SetFont(QFont(QStringLiteral("Courier"), 12));
        QCOMPARE(fader.Image(), before); // nothing is drawn
        QCOMPARE(changes, (QStringList{"BackColor", "ForeColor", "Enabled", "BackStyle",
                                       "BorderStyle", "Font"}));
        PropertyBag bag;
        fader.WriteProperties(bag);
        Ctlfader loaded;
        loaded.ReadProperties(bag, QFont());
        QCOMPARE(loaded.BackColor(), OleColor(0x00112233u));
        QCOMPARE(loaded.ForeColor(), OleColor(0x00445566u));
        QCOMPARE(loaded.Enabled(), true);
        QCOMPARE(loaded.BackStyle(), Integer(1));
        QCOMPARE(loaded.BorderStyle(), Integer(2));
        QCOMPARE(loaded.Font().family(), QStringLiteral("Courier"));
        // Defaults of an empty bag: zero, and the container's font.
        Ctlfader fresh;
        const QFont ambient(QStringLiteral("Liberation Sans"), 7);
        fresh.ReadProperties(PropertyBag{}, ambient);
        QCOMPARE(fresh.BackColor(), OleColor(0));
        QCOMPARE(fresh.Enabled(), false);
        QCOMPARE(fresh.Value(), Integer(0));
        QCOMPARE(fresh.Font(), ambient);
    }

    void faderKeepsItsLineLengthAtOtherResolutions() {
        host::SetTwipsPerPixel(12, 12);
        Ctlfader fader;
        // 210 twips are 17.5 pixels before scaling and 14 after it.
        QCOMPARE(fader.SegmentLength(), 18);
        fader.ReadProperties(PropertyBag{}, QFont());
        QCOMPARE(fader.SegmentLength(), 14);
        fader.SetValue(30);
        QCOMPARE(LitRows(fader), BottomRows(30));
    }

    void buttonFacesFollowPressAndEnabling() {
        SSCommand button;
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("PictureName"), QStringLiteral("Normal.BMP"));
        bag.WriteProperty(QStringLiteral("PictureDown"), QStringLiteral("down.bmp"));
        bag.WriteProperty(QStringLiteral("PictureDisabled"), QStringLiteral("disabled.bmp"));
        bag.WriteProperty(QStringLiteral("Caption"), QStringLiteral("Mic 1"));
        button.ReadProperties(bag, QFont());
        button.resize(80, 21);
        button.show();
        auto faceColour = [&button] { return button.Face().toImage().pixelColor(5, 5); };
        QCOMPARE(faceColour(), QColor(Qt::red)); // found without regard to case
        QCOMPARE(button.ImageRect().size(), QSize(80, 21));
        QCOMPARE(button.CaptionLabel().text(), QStringLiteral("Mic 1"));
        QCOMPARE(button.CaptionLabel().geometry(), QRect(0, 5, 80, 21)); // 70 twips
        QCOMPARE(button.CaptionLabel().palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(button.CaptionLabel().font().bold(), true);

        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QCOMPARE(faceColour(), QColor(Qt::green));
        QCOMPARE(button.CaptionLabel().pos(), QPoint(1, 6)); // 15 and 90 twips
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QCOMPARE(faceColour(), QColor(Qt::red));
        QCOMPARE(button.CaptionLabel().pos(), QPoint(0, 5)); // 0 and 75 twips

        button.SetEnabled(false);
        QCOMPARE(faceColour(), QColor(Qt::blue));
        QVERIFY(!button.isEnabled());
        button.SetPictureName(QStringLiteral("other.bmp")); // loaded also while disabled
        QCOMPARE(faceColour(), QColor(Qt::yellow));
        QCOMPARE(button.ImageRect().size(), QSize(40, 10));
        button.SetEnabled(true);
        QCOMPARE(faceColour(), QColor(Qt::yellow));

        // Without a disabled picture the face stays; without a pressed one too.
        button.SetPictureDisabled(QString());
        button.SetEnabled(false);
        QCOMPARE(faceColour(), QColor(Qt::yellow));
        button.SetEnabled(true);
        button.SetPictureDown(QString());
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QCOMPARE(faceColour(), QColor(Qt::yellow));
        QCOMPARE(button.CaptionLabel().pos(), QPoint(1, 6));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 3));

        // A missing file keeps the face; an empty name blanks it.
        button.SetPictureName(QStringLiteral("missing.bmp"));
        QCOMPARE(button.PictureName(), QStringLiteral("missing.bmp"));
        QCOMPARE(faceColour(), QColor(Qt::yellow));
        button.SetPictureName(QString());
        QVERIFY(button.Face().isNull());
    }

    void buttonCaptionColourAndFont() {
        SSCommand button;
        QStringList changes;
        button.PropertyChanged = [&changes](const QString& name) { changes.append(name); };
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("Font"), QFont(QStringLiteral("Courier"), 20));
        bag.WriteProperty(QStringLiteral("ForeColor"), 0u);
        button.ReadProperties(bag, QFont());
        QCOMPARE(button.CaptionLabel().font().family(), QStringLiteral("Courier"));
        QCOMPARE(button.CaptionLabel().font().pixelSize(), 11); // 8.25 points kept
        QCOMPARE(button.CaptionLabel().palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(button.ForeColor(), OleColor(0));
        button.SetForeColor(OleRgb(0, 0, 0));
        QCOMPARE(button.CaptionLabel().palette().color(QPalette::WindowText), QColor(Qt::black));
        button.SetCaption(QStringLiteral("Cam"));
        QCOMPARE(changes, (QStringList{"ForeColor", "Caption"}));
        // Saved black, loaded white.
        PropertyBag saved;
        button.WriteProperties(saved);
        QCOMPARE(saved.values.value(QStringLiteral("ForeColor")).toUInt(), 0u);
        SSCommand again;
        again.ReadProperties(saved, QFont());
        QCOMPARE(again.CaptionLabel().palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(again.Caption(), QStringLiteral("Cam"));

        // A Japanese locale keeps the caption's own face.
        SSCommand japanese;
        japanese.setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
        japanese.ReadProperties(bag, QFont());
        QCOMPARE(japanese.CaptionLabel().font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    }

    void buttonEventOrder() {
        SSCommand button;
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("PictureName"), QStringLiteral("normal.bmp"));
        button.ReadProperties(bag, QFont());
        button.resize(80, 21);
        button.show();
        QStringList events;
        QPointF where;
        button.MouseDown = [&](Integer& b, Integer& s, Single& x, Single& y) {
            events.append(QStringLiteral("down %1 %2").arg(b).arg(s));
            where = QPointF(x, y);
        };
        button.MouseUp = [&](Integer& b, Integer&, Single&, Single&) {
            events.append(QStringLiteral("up %1").arg(b));
        };
        button.Click = [&] { events.append(QStringLiteral("click")); };
        button.DblClick = [&] { events.append(QStringLiteral("dblclick")); };

        QTest::mouseClick(&button, Qt::RightButton, Qt::ShiftModifier, QPoint(20, 2));
        QCOMPARE(events, (QStringList{"down 2 1", "up 2", "click"}));
        // Over the caption (it starts 5 pixels down): relative to the caption.
        QCOMPARE(where, QPointF(20 * 15, 2 * 15));
        events.clear();
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 15));
        QCOMPARE(where, QPointF(20 * 15, 10 * 15));

        // A double click as the window system delivers it: press, release,
        // double click, release.
        events.clear();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QVERIFY(button.DblClickLatch());
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(events, (QStringList{"down 1 0", "up 1", "click", "dblclick"}));
        QVERIFY(!button.DblClickLatch());
        events.clear();
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(events, (QStringList{"down 1 0", "up 1", "click"}));

        // A release away from the button is no click.
        events.clear();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(events, (QStringList{"down 1 0", "up 1"}));

        // Disabled: nothing at all, and the face stays the disabled one.
        events.clear();
        button.SetEnabled(false);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(events, QStringList());
        // Persisted disabled: loads with the normal face and ignores the mouse.
        bag.WriteProperty(QStringLiteral("Enabled"), false);
        SSCommand persisted;
        persisted.ReadProperties(bag, QFont());
        persisted.resize(80, 21);
        persisted.show();
        persisted.MouseDown = button.MouseDown;
        QTest::mouseClick(&persisted, Qt::LeftButton, {}, QPoint(30, 10));
        QCOMPARE(events, QStringList());
        QCOMPARE(persisted.Face().toImage().pixelColor(1, 1), QColor(Qt::red));
        QVERIFY(!persisted.CaptionLabel().isEnabled());
    }

    void buttonKeepsItsPixelsAtOtherResolutions() {
        host::SetTwipsPerPixel(12, 12);
        SSCommand button;
        button.ReadProperties(PropertyBag{}, QFont());
        // 8.25 points scaled by 0.8: the caption keeps its pixel height.
        QCOMPARE(button.CaptionLabel().font().pixelSize(), 11);
        SSCommand pressed;
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("PictureName"), QStringLiteral("normal.bmp"));
        pressed.ReadProperties(bag, QFont());
        pressed.resize(80, 21);
        pressed.show();
        QTest::mousePress(&pressed, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(pressed.CaptionLabel().pos(), QPoint(1, 6));
        QTest::mouseRelease(&pressed, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(pressed.CaptionLabel().pos(), QPoint(0, 5));
    }

    // --- The keyboard and the screen reader -----------------------------------

    void buttonKeyPressIsTheMousePress() {
        SSCommand button;
        button.ReadProperties(ThreePictures(), QFont());
        button.resize(80, 21);
        button.show();
        QStringList events;
        Record(button, events);
        button.Click = [&events] { events.append(QStringLiteral("click")); };

        // Pressed while held: the pressed picture, the caption moved, MouseDown
        // as from the left button; no second press while held.
        QVERIFY(button.KeyDown());
        QCOMPARE(FaceColour(button), QColor(Qt::green));
        QCOMPARE(button.CaptionLabel().pos(), QPoint(1, 6));
        QVERIFY(button.KeyHeld() && button.Held());
        QVERIFY(!button.KeyDown());
        // The mouse adds nothing to a button a key holds.
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QCOMPARE(events, QStringList{"down 1 0"});
        button.KeyUp();
        QCOMPARE(FaceColour(button), QColor(Qt::red));
        QCOMPARE(button.CaptionLabel().pos(), QPoint(0, 5));
        QCOMPARE(events, (QStringList{"down 1 0", "up 1"}));
        QVERIFY(!button.Held());
        button.KeyUp(); // let go already: nothing
        QCOMPARE(events.size(), 2);

        // Held by the mouse: no key press meanwhile.
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QVERIFY(!button.KeyDown());
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QCOMPARE(events, (QStringList{"down 1 0", "up 1", "down 1 0", "up 1", "click"}));

        // Disabled: nothing, the disabled picture stays.
        events.clear();
        button.SetEnabled(false);
        QVERIFY(!button.KeyDown());
        QCOMPARE(FaceColour(button), QColor(Qt::blue));
        QVERIFY(events.isEmpty());
        // Disabled while held: let go without MouseUp, as with the mouse.
        button.SetEnabled(true);
        QVERIFY(button.KeyDown());
        button.SetEnabled(false);
        button.KeyUp();
        QVERIFY(!button.Held());
        QCOMPARE(events, QStringList{"down 1 0"});
        button.SetEnabled(true);
        QVERIFY(button.KeyDown());
        button.KeyUp();
        QCOMPARE(events, (QStringList{"down 1 0", "down 1 0", "up 1"}));
    }

    void buttonSpaceAndTheFocusMark() {
        QWidget window;
        SSCommand first(&window);
        SSCommand second(&window);
        for (SSCommand* button : {&first, &second}) {
            button->ReadProperties(ThreePictures(), QFont());
            button->resize(80, 21);
        }
        second.move(100, 0);
        QCOMPARE(first.focusPolicy(), Qt::TabFocus);
        window.resize(200, 30);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList events;
        Record(first, events);
        QStringList secondEvents;
        Record(second, secondEvents);

        // The focus from the window's activation or a click shows no mark.
        first.setFocus(Qt::ActiveWindowFocusReason);
        QVERIFY(first.hasFocus());
        QVERIFY(!first.FocusMarkShown());
        first.setFocus(Qt::MouseFocusReason);
        QVERIFY(!first.FocusMarkShown());
        const QImage unmarked = first.grab().toImage();
        // From the keyboard: a bright frame over the face.
        second.setFocus(Qt::TabFocusReason);
        first.setFocus(Qt::BacktabFocusReason);
        QVERIFY(first.FocusMarkShown());
        QVERIFY(!second.FocusMarkShown());
        const QImage marked = first.grab().toImage();
        QCOMPARE(marked.pixelColor(0, 10), FocusMark::OuterColour());
        QCOMPARE(marked.pixelColor(2, 10), FocusMark::InnerColour());
        QCOMPARE(marked.pixelColor(40, 2), FocusMark::InnerColour());
        QCOMPARE(unmarked.pixelColor(2, 10), QColor(Qt::red));
        QCOMPARE(marked.pixelColor(40, 10), unmarked.pixelColor(40, 10));

        // Space presses the focused button while held; its auto-repeat adds
        // nothing; the release lets go after the grace.
        SendKey(first, QEvent::KeyPress, Qt::Key_Space, 100);
        QCOMPARE(FaceColour(first), QColor(Qt::green));
        for (quint64 stamp = 700; stamp < 900; stamp += 40) {
            SendKey(first, QEvent::KeyRelease, Qt::Key_Space, stamp, true);
            SendKey(first, QEvent::KeyPress, Qt::Key_Space, stamp, true);
        }
        QCOMPARE(events, QStringList{"down 1 0"});
        QVERIFY(SendKey(first, QEvent::KeyRelease, Qt::Key_Space, 1000));
        QCOMPARE(events, QStringList{"down 1 0"});
        QTRY_COMPARE(events, (QStringList{"down 1 0", "up 1"}));
        QCOMPARE(FaceColour(first), QColor(Qt::red));
        // Other keys are left to the window.
        QVERIFY(!SendKey(first, QEvent::KeyPress, Qt::Key_1, 1100));
        QVERIFY(!SendKey(first, QEvent::KeyRelease, Qt::Key_1, 1200));
        QKeyEvent controlSpace(QEvent::KeyPress, Qt::Key_Space, Qt::ControlModifier);
        QApplication::sendEvent(&first, &controlSpace);
        QVERIFY(!controlSpace.isAccepted());
        QCOMPARE(events.size(), 2);

        // The focus moving on lets go of what Space holds; the release then
        // reaches a button that Space did not press.
        events.clear();
        SendKey(first, QEvent::KeyPress, Qt::Key_Space, 1300);
        QTest::keyClick(&first, Qt::Key_Tab);
        QVERIFY(second.hasFocus() && second.FocusMarkShown());
        QVERIFY(!first.FocusMarkShown());
        QCOMPARE(events, (QStringList{"down 1 0", "up 1"}));
        QVERIFY(!SendKey(second, QEvent::KeyRelease, Qt::Key_Space, 1400));
        QTest::qWait(2 * KeyHolds::graceMs);
        QVERIFY(secondEvents.isEmpty());

        // Another window active and back: the mark goes and comes back with it.
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QVERIFY(!second.FocusMarkShown());
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(second.hasFocus());
        QVERIFY(second.FocusMarkShown());
        // A disabled button takes no key and no focus.
        second.SetEnabled(false);
        QVERIFY(!second.hasFocus());
        SendKey(second, QEvent::KeyPress, Qt::Key_Space, 1500);
        QVERIFY(secondEvents.isEmpty());
    }

    // A key held presses its button once and lets it go once, also when the
    // window system's repeat comes as releases and presses Qt did not mark:
    // those share a time stamp. A key let go and pressed again is two presses.
    void keyHoldsTellTheRepeatFromARealPress() {
        KeyWindow window;
        window.button.ReadProperties(ThreePictures(), QFont());
        window.button.resize(80, 21);
        window.resize(100, 30);
        window.show();
        QStringList events;
        Record(window.button, events);

        QVERIFY(SendKey(window, QEvent::KeyPress, Qt::Key_T, 100));
        QCOMPARE(events, QStringList{"down 1 0"});
        QCOMPARE(window.holds.Count(), 1);
        // The repeat, marked and unmarked, and a second press without its mark.
        for (quint64 stamp = 760; stamp < 1000; stamp += 40) {
            SendKey(window, QEvent::KeyRelease, Qt::Key_T, stamp, stamp % 80 == 0);
            SendKey(window, QEvent::KeyPress, Qt::Key_T, stamp, stamp % 80 == 0);
        }
        SendKey(window, QEvent::KeyPress, Qt::Key_T, 1010);
        QTest::qWait(2 * KeyHolds::graceMs);
        QCOMPARE(events, QStringList{"down 1 0"});
        QCOMPARE(FaceColour(window.button), QColor(Qt::green));
        // The real release: the button is let go after the grace.
        QVERIFY(SendKey(window, QEvent::KeyRelease, Qt::Key_T, 1100));
        QVERIFY(window.holds.Holds(QKeyEvent(QEvent::KeyPress, Qt::Key_T, Qt::NoModifier)));
        QTRY_COMPARE(events, (QStringList{"down 1 0", "up 1"}));
        QCOMPARE(window.holds.Count(), 0);
        QCOMPARE(FaceColour(window.button), QColor(Qt::red));
        // Let go and pressed again within the grace: two presses, in order.
        events.clear();
        SendKey(window, QEvent::KeyPress, Qt::Key_T, 2000);
        SendKey(window, QEvent::KeyRelease, Qt::Key_T, 2030);
        SendKey(window, QEvent::KeyPress, Qt::Key_T, 2045);
        QCOMPARE(events, (QStringList{"down 1 0", "up 1", "down 1 0"}));
        SendKey(window, QEvent::KeyRelease, Qt::Key_T, 2100);
        QTRY_COMPARE(window.holds.Count(), 0);
        QCOMPARE(events, (QStringList{"down 1 0", "up 1", "down 1 0", "up 1"}));
        // A key that holds nothing is not the holder's.
        QVERIFY(!SendKey(window, QEvent::KeyRelease, Qt::Key_Y, 2200));
        // Letting go of all: at once, without the grace.
        SendKey(window, QEvent::KeyPress, Qt::Key_T, 3000);
        window.holds.LetGoAll();
        QCOMPARE(events.size(), 6);
        QCOMPARE(events.last(), QStringLiteral("up 1"));
        // A button that does not take the press is not held.
        window.button.SetEnabled(false);
        SendKey(window, QEvent::KeyPress, Qt::Key_T, 4000);
        QCOMPARE(window.holds.Count(), 0);
        QCOMPARE(events.size(), 6);
    }

    void buttonReadAsAPushButton() {
        SSCommand button;
        button.ReadProperties(ThreePictures(QStringLiteral(" Mic 1 ")), QFont());
        button.resize(80, 21);
        button.show();
        QStringList events;
        Record(button, events);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&button);
        QVERIFY(face);
        QCOMPARE(face->role(), QAccessible::Button);
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Mic 1")); // the caption
        button.setAccessibleName(QStringLiteral("Input 4, Mic 1, selected"));
        QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Input 4, Mic 1, selected"));
        QCOMPARE(face->childCount(), 0); // the picture and caption are the button's own
        QVERIFY(face->state().focusable);

        QVERIFY(!face->state().pressed);
        QVERIFY(button.KeyDown());
        QVERIFY(face->state().pressed);
        button.KeyUp();
        QVERIFY(!face->state().pressed);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QVERIFY(face->state().pressed);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 3));
        QVERIFY(!face->state().pressed);

        // The press action taps the button.
        QAccessibleActionInterface* actions = face->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        events.clear();
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(events, (QStringList{"down 1 0", "up 1"}));
        button.SetEnabled(false);
        QVERIFY(face->state().disabled);
        QVERIFY(!actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(events.size(), 2);
    }

    void faderDimmedAndReadAsALevel() {
        Ctlfader fader;
        fader.ReadProperties(PropertyBag{}, QFont());
        fader.resize(14, 61);
        fader.SetValue(12);
        const QImage bright = fader.grab().toImage();
        QVERIFY(!fader.Dimmed());
        fader.SetDimmed(true);
        QVERIFY(fader.Dimmed());
        const QImage dim = fader.grab().toImage();
        // Darkened where it is lit and where it is not; what it draws stays.
        QCOMPARE(bright.pixelColor(2, 58), lit);
        QVERIFY(dim.pixelColor(2, 58).value() < lit.value() / 3);
        QVERIFY(dim.pixelColor(2, 58).value() > 0);
        QVERIFY(dim.pixelColor(2, 0).value() < unlit.value() / 3);
        QCOMPARE(LitRows(fader), BottomRows(12));
        fader.SetDimmed(false);
        QCOMPARE(fader.grab().toImage(), bright);

        QAccessibleInterface* level = QAccessible::queryAccessibleInterface(&fader);
        QVERIFY(level);
        QCOMPARE(level->role(), QAccessible::ProgressBar);
        QCOMPARE(level->text(QAccessible::Name), QStringLiteral("12 of 30"));
        fader.setAccessibleName(QStringLiteral("MASTER B level"));
        fader.SetValue(17);
        QCOMPARE(level->text(QAccessible::Name), QStringLiteral("MASTER B level, 17 of 30"));
        QCOMPARE(level->text(QAccessible::Value), QStringLiteral("17 of 30"));
        // It only shows a level: it has no value a screen reader could set
        // (Qt's AT-SPI bridge offers Increase and Decrease on any value).
        QVERIFY(!level->valueInterface());
        fader.SetValue(45);
        QCOMPARE(level->text(QAccessible::Value), QStringLiteral("30 of 30"));
        fader.SetValue(-3);
        QCOMPARE(level->text(QAccessible::Name), QStringLiteral("MASTER B level, 0 of 30"));
        QCOMPARE(level->childCount(), 0);
    }

    void constituentScaling() {
        QWidget a;
        QWidget image;
        std::vector<DesignItem> elements(2);
        elements[0].widget = &a;
        elements[0].left = 150;
        elements[0].top = 300;
        elements[0].width = 600;
        elements[0].height = 150;
        elements[0].fontSize = 9;
        elements[1].widget = &image;
        elements[1].left = 30;
        elements[1].top = 30;
        elements[1].width = 300;
        elements[1].height = 300;
        elements[1].isImage = true;
        host::SetTwipsPerPixel(12, 15);
        ScaleConstituentControls(elements, ScaleFontSize::no);
        QCOMPARE(*elements[0].left, 120.0);
        QCOMPARE(*elements[0].top, 300.0);
        QCOMPARE(*elements[0].width, 480.0);
        QCOMPARE(*elements[0].fontSize, 9.0);
        QCOMPARE(a.geometry(), QRect(10, 20, 40, 10));
        QCOMPARE(*elements[1].width, 300.0); // images keep their size
        QCOMPARE(image.pos(), QPoint(2, 2));
        host::SetTwipsPerPixel(15, 12);
        ScaleConstituentControls(elements, ScaleFontSize::yes);
        QCOMPARE(*elements[0].fontSize, 7.2);
    }

    void scaleForm() {
        auto makeForm = [](ScaledForm& form, QWidget& child, QLabel& label) {
            form.SetFormSize(10350, 3180);
            DesignItem timer;
            timer.name = QStringLiteral("Timer1");
            DesignItem control;
            control.name = QStringLiteral("SSCommand5(0)");
            control.widget = &child;
            control.left = 8430;
            control.top = 465;
            control.width = 345;
            control.height = 360;
            DesignItem text;
            text.name = QStringLiteral("Label1(0)");
            text.widget = &label;
            text.left = 4365;
            text.top = 435;
            text.width = 1140;
            text.height = 210;
            text.fontSize = 9;
            form.Controls() = {timer, control, text};
        };
        for (const auto& [tx, ty] : {std::pair{15.0, 15.0}, {12.0, 12.0}, {15.0, 12.0}}) {
            host::SetTwipsPerPixel(tx, ty);
            ScaledForm form;
            QWidget child(&form);
            QLabel label(&form);
            makeForm(form, child, label);
            ScaleForm(form, 690, 212);
            const double fx = tx / 15.0;
            const double fy = ty / 15.0;
            QCOMPARE(form.FormWidth(), 10350 * fx);
            QCOMPARE(form.FormHeight(), 3180 * fy);
            const DesignItem& control = *form.Control(QStringLiteral("SSCommand5(0)"));
            QCOMPARE(*control.left, 8430 * fx);
            QCOMPARE(*control.top, 465 * fy);
            QCOMPARE(*control.width, 345 * fx);
            QCOMPARE(*control.height, 360 * fy);
            QVERIFY(!control.fontSize);
            QCOMPARE(*form.Control(QStringLiteral("Label1(0)"))->fontSize, 9 * fy);
            QVERIFY(!form.Control(QStringLiteral("Timer1"))->left);
            // The pixels are those of the design, on every screen.
            form.ApplyGeometry();
            QCOMPARE(form.size(), QSize(684, 187));
            QCOMPARE(child.geometry(), QRect(562, 31, 23, 24));
            QCOMPARE(label.geometry(), QRect(291, 29, 76, 14));
            QCOMPARE(label.font().pixelSize(), 12);
        }
        host::SetTwipsPerPixel(12, 12);
        ScaledForm form;
        QWidget child(&form);
        QLabel label(&form);
        makeForm(form, child, label);
        ScaleForm(form, 690, 212);
        QCOMPARE(form.FormWidth(), 8280.0);
        QCOMPARE(form.FormHeight(), 2544.0);
        QCOMPARE(*form.Control(QStringLiteral("SSCommand5(0)"))->left, 6744.0);
        QCOMPARE(*form.Control(QStringLiteral("Label1(0)"))->fontSize, 7.2);
        // Unscaled, the same twips would be larger on this screen.
        ScaledForm unscaled;
        QWidget other(&unscaled);
        QLabel otherLabel(&unscaled);
        makeForm(unscaled, other, otherLabel);
        unscaled.ApplyGeometry();
        QCOMPARE(other.pos(), QPoint(703, 39));
    }
};

QTEST_MAIN(TestControls)
#include "test_controls.moc"
