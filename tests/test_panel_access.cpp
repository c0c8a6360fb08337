// The panel worked without a mouse, and followed without sight: its keys,
// the focus's order over its buttons, the names a screen reader hears, and
// the link's state on its face.
#include "controls/keyholds.h"
#include "core/observers.h"
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "panel/linkindicator.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/panelsetup.h"
#include "tests/support/panelwiring.h"

#include <QAccessible>
#include <QPainter>
#include <QtTest>

#include <vector>

// What Qt's AT-SPI bridge offers and does for an object: its actions, and
// Increase and Decrease for any object with a value. Exported by QtGui.
namespace QAccessibleBridgeUtils {
Q_GUI_EXPORT QStringList effectiveActionNames(QAccessibleInterface* iface);
Q_GUI_EXPORT bool performEffectiveAction(QAccessibleInterface* iface, const QString& actionName);
} // namespace QAccessibleBridgeUtils

namespace {

QImage Pixels(const QPixmap& picture) {
    return picture.toImage().convertToFormat(QImage::Format_RGB888);
}

// The picture a button shows when it is not pressed, and pressed.
QImage NormalFace(const SSCommand& button) {
    return Pixels(host::LoadPicture(button.PictureName()));
}
QImage PressedFace(const SSCommand& button) {
    return Pixels(host::LoadPicture(button.PictureDown()));
}

// The window system's clock for the key events: each real press or
// release comes a little later than the one before.
quint64 keyClock = 1000;

// A key as the window system delivers it to `to` (the event goes on to the
// window when `to` leaves it); a repeat keeps the time stamp of the last.
bool SendKey(QWidget& to, QEvent::Type type, Qt::Key key, bool autoRepeat = false,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (!autoRepeat) {
        keyClock += 50;
    }
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    event.setTimestamp(keyClock);
    QApplication::sendEvent(&to, &event);
    return event.isAccepted();
}
void Press(QWidget& to, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    SendKey(to, QEvent::KeyPress, key, false, modifiers);
}
// The release lets go of the button after the keys' grace.
void Release(QWidget& to, Qt::Key key) {
    SendKey(to, QEvent::KeyRelease, key);
}
// The repeat of a key held as X11 may deliver it, unmarked by Qt: a release
// and a press with one time stamp.
void UnmarkedRepeat(QWidget& to, Qt::Key key) {
    keyClock += 40;
    for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
        QKeyEvent event(type, key, Qt::NoModifier);
        event.setTimestamp(keyClock);
        QApplication::sendEvent(&to, &event);
    }
}
void ReleaseAndWait(QWidget& to, Qt::Key key) {
    Release(to, key);
    QTest::qWait(KeyHolds::graceMs + 30);
}

QString AccessibleName(QObject& object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&object);
    return face ? face->text(QAccessible::Name) : QStringLiteral("(none)");
}
QAccessible::Role AccessibleRole(QObject& object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&object);
    return face ? face->role() : QAccessible::NoRole;
}

// The handlers the panel's buttons raise, recorded instead of run while it
// lives ("SSCommand2(4) down", "SSCommand2(4) up"): only what a button has a
// handler for.
class HandlerLog {
public:
    explicit HandlerLog(FrmControl& form) {
        Watch(form.SSCommand1, "SSCommand1");
        Watch(form.SSCommand2, "SSCommand2");
        Watch(form.SSCommand3, "SSCommand3");
        Watch(form.SSCommand4, "SSCommand4");
        Watch(form.SSCommand5, "SSCommand5");
    }
    ~HandlerLog() {
        for (const Saved& saved : saved_) {
            saved.button->MouseDown = saved.down;
            saved.button->MouseUp = saved.up;
        }
    }
    HandlerLog(const HandlerLog&) = delete;
    HandlerLog& operator=(const HandlerLog&) = delete;

    QStringList entries;

private:
    template <std::size_t N> void Watch(std::array<SSCommand, N>& buttons, const char* group) {
        for (std::size_t i = 0; i < N; ++i) {
            SSCommand& button = buttons[i];
            saved_.push_back({&button, button.MouseDown, button.MouseUp});
            const QString name = QStringLiteral("%1(%2)").arg(QLatin1String(group)).arg(i);
            if (button.MouseDown) {
                button.MouseDown = [this, name](Integer& b, Integer&, Single&, Single&) {
                    entries.append(name + QStringLiteral(" down") + (b == 1 ? "" : " (button?)"));
                };
            }
            if (button.MouseUp) {
                button.MouseUp = [this, name](Integer&, Integer&, Single&, Single&) {
                    entries.append(name + QStringLiteral(" up"));
                };
            }
        }
    }
    struct Saved {
        SSCommand* button;
        SSCommand::MouseHandler down;
        SSCommand::MouseHandler up;
    };
    std::vector<Saved> saved_;
};

// The keys as the README lists them, and the buttons they work.
struct KeyCase {
    Qt::Key key;
    const char* group;
    int index;
    bool raisesMouseUp; // the button's release has a handler
};
const std::array<KeyCase, 23> keyCases{{
    {Qt::Key_1, "SSCommand1", 0, false},       {Qt::Key_2, "SSCommand1", 1, false},
    {Qt::Key_3, "SSCommand1", 2, false},       {Qt::Key_4, "SSCommand1", 3, false},
    {Qt::Key_5, "SSCommand1", 4, false},       {Qt::Key_6, "SSCommand1", 5, false},
    {Qt::Key_F1, "SSCommand5", 0, false},      {Qt::Key_F2, "SSCommand5", 1, false},
    {Qt::Key_F3, "SSCommand5", 2, false},      {Qt::Key_F4, "SSCommand5", 3, false},
    {Qt::Key_Q, "SSCommand2", 0, true},        {Qt::Key_W, "SSCommand2", 1, true},
    {Qt::Key_E, "SSCommand2", 2, true},        {Qt::Key_R, "SSCommand2", 3, true},
    {Qt::Key_T, "SSCommand2", 4, true},        {Qt::Key_Y, "SSCommand2", 5, true},
    {Qt::Key_U, "SSCommand2", 6, true},        {Qt::Key_Up, "SSCommand4", 0, true},
    {Qt::Key_Down, "SSCommand4", 1, true},     {Qt::Key_PageUp, "SSCommand4", 2, true},
    {Qt::Key_PageDown, "SSCommand4", 3, true}, {Qt::Key_M, "SSCommand3", 0, false},
    {Qt::Key_N, "SSCommand3", 1, false},
}};

SSCommand& ButtonNamed(FrmControl& form, const QString& group, int index) {
    const auto i = static_cast<std::size_t>(index);
    if (group == QLatin1String("SSCommand1")) {
        return form.SSCommand1.at(i);
    }
    if (group == QLatin1String("SSCommand2")) {
        return form.SSCommand2.at(i);
    }
    if (group == QLatin1String("SSCommand3")) {
        return form.SSCommand3.at(i);
    }
    if (group == QLatin1String("SSCommand4")) {
        return form.SSCommand4.at(i);
    }
    return form.SSCommand5.at(i);
}

// The design name of a button of the panel ("SSCommand4(2)"); empty for anything else.
QString DesignName(FrmControl& form, const QWidget* widget) {
    for (const KeyCase& k : keyCases) { // every button has a key
        if (&ButtonNamed(form, QLatin1String(k.group), k.index) == widget) {
            return QStringLiteral("%1(%2)").arg(QLatin1String(k.group)).arg(k.index);
        }
    }
    return {};
}

// The face's free strip where the link's state shows, and the level bars.
const QRect linkStrip(336, 173, 210, 13);
const std::array<QRect, 2> levelBars{{{329, 58, 14, 61}, {472, 58, 14, 61}}};

// The panel's picture without the strip and the level bars.
QImage Elsewhere(QImage shot) {
    shot = shot.convertToFormat(QImage::Format_RGB888);
    QPainter painter(&shot);
    for (const QRect& r : {linkStrip, levelBars[0], levelBars[1]}) {
        painter.fillRect(r, Qt::magenta);
    }
    return shot;
}

} // namespace

class TestPanelAccess : public QObject {
    Q_OBJECT
    PanelWiring wiring;

    static FrmControl& Form() { return frmControl(); }

private slots:
    void initTestCase() {
        SetUpPanelForTests();
        frmControl();
    }
    // Every case starts from a mixer online with nothing muted, no input
    // selected, and the panel active.
    void init() {
        FrmControl& form = Form();
        programSetup.systemState.deviceResponding = flagTrue;
        for (InputEntry& input : mirror.panel.inputs) {
            input.status = 0;
        }
        for (Integer m = 0; m < 2; ++m) {
            mirror.panel.masters[static_cast<std::size_t>(m)].muted = flagFalse;
            ShowMuting(m);
        }
        mirror.panel.selectedInput = -1;
        ShowSelectedInput(-1);
        AnnounceLinkState(LinkState::Online);
        form.Show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form) || !form.isActiveWindow()) {
            // Shown again after it was hidden, the panel may still count as
            // the focused window to the window system: another one first.
            QWidget other;
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            form.activateWindow();
        }
        QTRY_VERIFY(form.isActiveWindow());
    }
    void cleanup() { QCOMPARE(Form().HeldKeyCount(), 0); }
    void cleanupTestCase() {
        Unsubscribe(wiring.panel);
        Unsubscribe(wiring.operations);
        DestroyCommControls();
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Each key presses its button as the mouse does, whatever has the focus:
    // MouseDown on the press, MouseUp on the release, the pressed face while
    // held, and nothing more from the key's auto-repeat.
    void everyKeyWorksItsButton() {
        FrmControl& form = Form();
        form.SSCommand5[3].setFocus(Qt::TabFocusReason);
        HandlerLog log(form);
        for (std::size_t c = 0; c < keyCases.size(); ++c) {
            const KeyCase& k = keyCases[c];
            const QString name = QStringLiteral("%1(%2)").arg(QLatin1String(k.group)).arg(k.index);
            SSCommand& button = ButtonNamed(form, QLatin1String(k.group), k.index);
            // To the window, or to the focused button that leaves it to the window.
            QWidget& to = c % 2 == 0 ? static_cast<QWidget&>(form) : *QApplication::focusWidget();
            log.entries.clear();
            Press(to, k.key);
            QCOMPARE(log.entries, QStringList{name + QStringLiteral(" down")});
            QVERIFY2(button.Held(), qPrintable(name));
            QCOMPARE(Pixels(button.Face()), PressedFace(button));
            QCOMPARE(form.HeldKeyCount(), 1);
            // The repeat: marked by Qt, or as X11 may deliver it unmarked, a
            // release and a press with one time stamp.
            for (int i = 0; i < 2; ++i) {
                QVERIFY(SendKey(to, QEvent::KeyRelease, k.key, true));
                QVERIFY(SendKey(to, QEvent::KeyPress, k.key, true));
                UnmarkedRepeat(to, k.key);
            }
            Press(to, k.key); // a second press of a key held, unmarked
            QTest::qWait(KeyHolds::graceMs + 10);
            QCOMPARE(log.entries.size(), 1);
            QVERIFY(button.Held());
            Release(to, k.key);
            QStringList expected{name + QStringLiteral(" down")};
            if (k.raisesMouseUp) {
                expected << name + QStringLiteral(" up");
            }
            QTRY_COMPARE(log.entries, expected);
            QTRY_VERIFY(!button.Held());
            QCOMPARE(Pixels(button.Face()), NormalFace(button));
            QCOMPARE(form.HeldKeyCount(), 0);
            Release(to, k.key); // released already: nothing
            QCOMPARE(log.entries, expected);
        }
        QVERIFY(form.SSCommand5[3].hasFocus());
        // With Control or Alt the keys are not the panel's.
        log.entries.clear();
        Press(form, Qt::Key_1, Qt::ControlModifier);
        Press(form, Qt::Key_T, Qt::AltModifier);
        Press(form, Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(log.entries.isEmpty());
        QCOMPARE(form.HeldKeyCount(), 0);
        // Other keys do nothing.
        Press(form, Qt::Key_A);
        Press(form, Qt::Key_7);
        QVERIFY(log.entries.isEmpty());
        // Two keys held at once, let go in another order.
        Press(form, Qt::Key_Q);
        Press(form, Qt::Key_Up);
        ReleaseAndWait(form, Qt::Key_Q);
        ReleaseAndWait(form, Qt::Key_Up);
        QCOMPARE(log.entries, (QStringList{"SSCommand2(0) down", "SSCommand4(0) down",
                                           "SSCommand2(0) up", "SSCommand4(0) up"}));
    }

    // A muted master's level buttons are disabled: their keys do nothing,
    // as the mouse does nothing there.
    void mutedMastersLevelKeysDoNothing() {
        FrmControl& form = Form();
        mirror.panel.masters[1].muted = flagTrue;
        ShowMuting(1);
        HandlerLog log(form);
        for (const Qt::Key key : {Qt::Key_PageUp, Qt::Key_PageDown}) {
            Press(form, key);
            QCOMPARE(form.HeldKeyCount(), 0);
            ReleaseAndWait(form, key);
        }
        QVERIFY(log.entries.isEmpty());
        QCOMPARE(Pixels(form.SSCommand4[2].Face()),
                 Pixels(host::LoadPicture(form.SSCommand4[2].PictureDisabled())));
        // The other master's keys still work.
        Press(form, Qt::Key_Down);
        ReleaseAndWait(form, Qt::Key_Down);
        QCOMPARE(log.entries, (QStringList{"SSCommand4(1) down", "SSCommand4(1) up"}));
        // Muted while its key is held: the release raises nothing, as with the mouse.
        log.entries.clear();
        Press(form, Qt::Key_Up);
        mirror.panel.masters[0].muted = flagTrue;
        ShowMuting(0);
        ReleaseAndWait(form, Qt::Key_Up);
        QCOMPARE(log.entries, QStringList{"SSCommand4(0) down"});
        QVERIFY(!form.SSCommand4[0].Held());
    }

    // Keys held when the window stops being active (another window, a
    // message) are let go at once, as releases; their releases later count
    // for nothing.
    void heldKeysLetGoWhenTheWindowIsLeft() {
        FrmControl& form = Form();
        HandlerLog log(form);
        Press(form, Qt::Key_T);
        Press(form, Qt::Key_PageDown);
        QCOMPARE(form.HeldKeyCount(), 2);
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QCOMPARE(form.HeldKeyCount(), 0);
        QCOMPARE(log.entries, (QStringList{"SSCommand2(4) down", "SSCommand4(3) down",
                                           "SSCommand2(4) up", "SSCommand4(3) up"}));
        QCOMPARE(Pixels(form.SSCommand2[4].Face()), NormalFace(form.SSCommand2[4]));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        Release(form, Qt::Key_T);
        ReleaseAndWait(form, Qt::Key_PageDown);
        QCOMPARE(log.entries.size(), 4);
        // Hidden while a key is held: let go too.
        Press(form, Qt::Key_W);
        form.hide();
        QCOMPARE(log.entries.mid(4), (QStringList{"SSCommand2(1) down", "SSCommand2(1) up"}));
        QCOMPARE(form.HeldKeyCount(), 0);
    }

    // Tab goes over the buttons in the panel's reading order, Shift+Tab back;
    // the focused button shows the mark, and Space presses it while held.
    void tabOrderAndSpace() {
        FrmControl& form = Form();
        const QStringList order{"SSCommand1(0)", "SSCommand1(1)", "SSCommand1(2)", "SSCommand1(3)",
                                "SSCommand1(4)", "SSCommand1(5)", "SSCommand2(0)", "SSCommand2(1)",
                                "SSCommand2(2)", "SSCommand2(3)", "SSCommand2(4)", "SSCommand2(5)",
                                "SSCommand2(6)", "SSCommand4(0)", "SSCommand4(1)", "SSCommand3(0)",
                                "SSCommand4(2)", "SSCommand4(3)", "SSCommand3(1)", "SSCommand5(0)",
                                "SSCommand5(1)", "SSCommand5(2)", "SSCommand5(3)"};
        form.SSCommand5[3].setFocus(Qt::TabFocusReason);
        QStringList visited;
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            auto* focused = qobject_cast<SSCommand*>(QApplication::focusWidget());
            QVERIFY2(focused, QApplication::focusWidget()
                                  ? QApplication::focusWidget()->metaObject()->className()
                                  : "no focus");
            visited << DesignName(form, focused);
            QVERIFY2(focused->FocusMarkShown(), qPrintable(visited.last()));
        }
        QCOMPARE(visited, order);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(DesignName(form, QApplication::focusWidget()), QStringLiteral("SSCommand5(2)"));
        QVERIFY(!form.SSCommand5[3].FocusMarkShown());
        // A muted master's level buttons are passed over.
        mirror.panel.masters[1].muted = flagTrue;
        ShowMuting(1);
        form.SSCommand3[0].setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(DesignName(form, QApplication::focusWidget()), QStringLiteral("SSCommand3(1)"));

        // Space on the focused key: pressed while held, once.
        HandlerLog log(form);
        form.SSCommand2[2].setFocus(Qt::TabFocusReason);
        Press(*QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(form.SSCommand2[2].Held());
        QCOMPARE(Pixels(form.SSCommand2[2].Face()), PressedFace(form.SSCommand2[2]));
        for (int i = 0; i < 3; ++i) {
            SendKey(*QApplication::focusWidget(), QEvent::KeyRelease, Qt::Key_Space, true);
            SendKey(*QApplication::focusWidget(), QEvent::KeyPress, Qt::Key_Space, true);
        }
        ReleaseAndWait(*QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(log.entries, (QStringList{"SSCommand2(2) down", "SSCommand2(2) up"}));
        // Space and the key of the same button: one press.
        Press(*QApplication::focusWidget(), Qt::Key_Space);
        Press(form, Qt::Key_E);
        ReleaseAndWait(form, Qt::Key_E);
        ReleaseAndWait(*QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(log.entries.mid(2), (QStringList{"SSCommand2(2) down", "SSCommand2(2) up"}));
    }

    // What a screen reader hears: each control's name and role, with the
    // state the panel shows, kept as the mirrored state changes; each
    // button's tooltip names its key.
    void screenReaderNamesFollowTheState() {
        FrmControl& form = Form();
        const std::array<const char*, 6> names{"Camera 1", "Camera 2", "PC", "Mic", "Video", "Aux"};
        for (std::size_t i = 0; i < names.size(); ++i) {
            mirror.panel.inputs[i].name = Text8(names[i]);
        }
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        programSetup.sceneSetup.sceneBlocked.fill(flagFalse);
        programSetup.sceneSetup.sceneBlocked[51 - firstSceneCode] = flagTrue;
        mirror.sceneNames = {Text8("Opening"), Text8("Talk"), Text8("Demo"), Text8("Closing")};
        mirror.panel.selectedInput = 1;
        mirror.panel.recall = 50;
        mirror.panel.masters[0].muted = flagTrue;
        mirror.panel.masters[0].lamps = {flagTrue, flagFalse};
        mirror.panel.masters[1].level = 17;
        AnnounceFullReadCompleted();
        AnnounceReplyApplied(RequestKind::Status);

        QCOMPARE(AccessibleName(form.SSCommand1[1]), QStringLiteral("Input 2, Camera 2, selected"));
        QCOMPARE(AccessibleName(form.SSCommand1[0]), QStringLiteral("Input 1, Camera 1"));
        QCOMPARE(AccessibleName(form.SSCommand3[0]), QStringLiteral("MASTER A mute, on"));
        QCOMPARE(AccessibleName(form.SSCommand3[1]), QStringLiteral("MASTER B mute, off"));
        QCOMPARE(AccessibleName(form.Ctlfader1[1]), QStringLiteral("MASTER B level, 17 of 30"));
        QCOMPARE(AccessibleRole(form.Ctlfader1[1]), QAccessible::ProgressBar);
        QCOMPARE(AccessibleName(form.SSCommand5[1]), QStringLiteral("Scene B, Talk, recalled"));
        QCOMPARE(AccessibleName(form.SSCommand5[0]), QStringLiteral("Scene A, Opening"));
        QCOMPARE(AccessibleName(form.SSCommand5[2]), QStringLiteral("Scene C, Demo, locked"));
        QCOMPARE(AccessibleName(form.SSCommand2[4]), QStringLiteral("Transport: Play"));
        QCOMPARE(AccessibleName(form.SSCommand4[0]), QStringLiteral("MASTER A level up"));
        QCOMPARE(AccessibleName(form.Image2[0]), QStringLiteral("MASTER A over-gain lamp, on"));
        QCOMPARE(AccessibleRole(form.Image2[0]), QAccessible::Indicator);
        QCOMPARE(AccessibleName(form.Image3[0]),
                 QStringLiteral("MASTER A minus-infinity lamp, off"));
        QCOMPARE(AccessibleName(form.Label1[11]).trimmed(), QStringLiteral("Talk"));
        // A muted master's level button is unavailable.
        QVERIFY(QAccessible::queryAccessibleInterface(&form.SSCommand4[0])->state().disabled);
        QVERIFY(!QAccessible::queryAccessibleInterface(&form.SSCommand4[2])->state().disabled);

        // Every button: a push button with a name, and a tooltip with its key.
        int buttons = 0;
        for (const KeyCase& k : keyCases) {
            SSCommand& button = ButtonNamed(form, QLatin1String(k.group), k.index);
            ++buttons;
            const bool radio = QLatin1String(k.group) == QLatin1String("SSCommand1") ||
                               QLatin1String(k.group) == QLatin1String("SSCommand5");
            QCOMPARE(AccessibleRole(button),
                     radio ? QAccessible::RadioButton : QAccessible::Button);
            QVERIFY(!AccessibleName(button).isEmpty());
            QVERIFY2(!button.toolTip().isEmpty(), k.group);
        }
        QCOMPARE(buttons, 23);
        QCOMPARE(form.SSCommand1[1].toolTip(), QStringLiteral("Input 2 (key 2)"));
        QCOMPARE(form.SSCommand2[4].toolTip(), QStringLiteral("Play (hold T)"));
        QCOMPARE(form.SSCommand4[2].toolTip(), QStringLiteral("MASTER B level up (hold Page Up)"));
        QCOMPARE(form.SSCommand4[1].toolTip(), QStringLiteral("MASTER A level down (hold Down)"));
        QCOMPARE(form.SSCommand3[1].toolTip(), QStringLiteral("MASTER B mute (key N)"));
        QCOMPARE(form.SSCommand5[3].toolTip(), QStringLiteral("Scene D (key F4)"));
        QVERIFY(form.Ctlfader1[0].toolTip().contains(QStringLiteral("Up")));

        // The mixer changes: the names follow its next status.
        mirror.panel.selectedInput = 3;
        mirror.panel.masters[0].muted = flagFalse;
        mirror.panel.masters[0].lamps = {flagFalse, flagTrue};
        mirror.panel.masters[1].level = 20;
        mirror.panel.recall = 52;
        AnnounceReplyApplied(RequestKind::Status);
        QCOMPARE(AccessibleName(form.SSCommand1[3]), QStringLiteral("Input 4, Mic, selected"));
        QCOMPARE(AccessibleName(form.SSCommand1[1]), QStringLiteral("Input 2, Camera 2"));
        QCOMPARE(AccessibleName(form.SSCommand3[0]), QStringLiteral("MASTER A mute, off"));
        QCOMPARE(AccessibleName(form.Ctlfader1[1]), QStringLiteral("MASTER B level, 20 of 30"));
        QCOMPARE(AccessibleName(form.SSCommand5[3]), QStringLiteral("Scene D, Closing, recalled"));
        QCOMPARE(AccessibleName(form.SSCommand5[1]), QStringLiteral("Scene B, Talk"));
        QCOMPARE(AccessibleName(form.Image2[0]), QStringLiteral("MASTER A over-gain lamp, off"));
        QCOMPARE(AccessibleName(form.Image3[0]),
                 QStringLiteral("MASTER A minus-infinity lamp, on"));
        QVERIFY(!QAccessible::queryAccessibleInterface(&form.SSCommand4[0])->state().disabled);
        // A press on the panel changes them at once.
        Integer b = 1, s = 0;
        Single x = 0, y = 0;
        form.SSCommand1_MouseDown(5, b, s, x, y);
        QCOMPARE(AccessibleName(form.SSCommand1[5]), QStringLiteral("Input 6, Aux, selected"));
        QCOMPARE(AccessibleName(form.SSCommand1[3]), QStringLiteral("Input 4, Mic"));
        form.SSCommand3_MouseDown(1, b, s, x, y);
        QCOMPARE(AccessibleName(form.SSCommand3[1]), QStringLiteral("MASTER B mute, on"));
        programSetup.sceneSetup.sceneBlocked.fill(flagFalse);
        mirror.panel.recall = 0;
        mirror.sceneNames.fill(Text8());
        AnnounceFullReadCompleted();
        QCOMPARE(AccessibleName(form.SSCommand5[2]), QStringLiteral("Scene C"));
    }

    // What the panel shows lives in the screen reader's states, not only in
    // the names: the inputs and scenes are radio buttons checked while lit,
    // the muting buttons toggle buttons pressed while on, the lamps
    // indicators checked while on, the panel a window. The level bars only
    // show a level: nothing offered to a screen reader could move it. The
    // mixer's blanks stay out of every name.
    void screenReaderStatesAndRoles() {
        FrmControl& form = Form();
        QCOMPARE(AccessibleRole(form), QAccessible::Window);
        mirror.panel.inputs[2].name = Text8("PC");
        mirror.panel.masters[1].name = Text8(" STAGE");
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        mirror.sceneNames = {Text8("Opening"), Text8("Talk"), Text8(""), Text8("Closing")};
        mirror.panel.selectedInput = 2;
        mirror.panel.recall = 50;
        mirror.panel.masters[0].muted = flagTrue;
        mirror.panel.masters[0].lamps = {flagTrue, flagFalse};
        mirror.panel.masters[1].lamps = {flagFalse, flagTrue};
        AnnounceFullReadCompleted();
        AnnounceReplyApplied(RequestKind::Status);

        auto state = [](QObject& object) {
            return QAccessible::queryAccessibleInterface(&object)->state();
        };
        for (int k = 0; k < 6; ++k) {
            SSCommand& input = form.SSCommand1[std::size_t(k)];
            QCOMPARE(AccessibleRole(input), QAccessible::RadioButton);
            QVERIFY(state(input).checkable);
            QCOMPARE(bool(state(input).checked), k == 2);
        }
        QCOMPARE(AccessibleName(form.SSCommand1[2]), QStringLiteral("Input 3, PC, selected"));
        for (int k = 0; k < 4; ++k) {
            SSCommand& scene = form.SSCommand5[std::size_t(k)];
            QCOMPARE(AccessibleRole(scene), QAccessible::RadioButton);
            QVERIFY(state(scene).checkable);
            QCOMPARE(bool(state(scene).checked), k == 1);
        }
        for (int m = 0; m < 2; ++m) {
            SSCommand& mute = form.SSCommand3[std::size_t(m)];
            QCOMPARE(AccessibleRole(mute), QAccessible::Button);
            QVERIFY(state(mute).checkable);
            QCOMPARE(bool(state(mute).checked), m == 0);
            QCOMPARE(bool(state(mute).pressed), m == 0);
            for (ImageBox* lamp : {&form.Image2[std::size_t(m)], &form.Image3[std::size_t(m)]}) {
                QCOMPARE(AccessibleRole(*lamp), QAccessible::Indicator);
                QVERIFY(state(*lamp).checkable);
            }
        }
        QVERIFY(state(form.Image2[0]).checked && !state(form.Image3[0]).checked);
        QVERIFY(!state(form.Image2[1]).checked && state(form.Image3[1]).checked);
        // Push buttons stay push buttons.
        QCOMPARE(AccessibleRole(form.SSCommand2[4]), QAccessible::Button);
        QVERIFY(!state(form.SSCommand2[4]).checkable);
        QVERIFY(!state(form.SSCommand4[2]).checkable);

        // The mixer changes: the states follow.
        mirror.panel.selectedInput = 4;
        mirror.panel.recall = 52;
        mirror.panel.masters[0].muted = flagFalse;
        mirror.panel.masters[1].lamps = {flagTrue, flagTrue};
        AnnounceReplyApplied(RequestKind::Status);
        QVERIFY(!state(form.SSCommand1[2]).checked && state(form.SSCommand1[4]).checked);
        QVERIFY(!state(form.SSCommand5[1]).checked && state(form.SSCommand5[3]).checked);
        QVERIFY(!state(form.SSCommand3[0]).checked && !state(form.SSCommand3[0]).pressed);
        QVERIFY(state(form.Image2[1]).checked);

        // The level bars: a progress bar with its level in its name, nothing to change it.
        for (Ctlfader& bar : form.Ctlfader1) {
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&bar);
            QCOMPARE(face->role(), QAccessible::ProgressBar);
            QVERIFY(!face->valueInterface());
            const QStringList offered = QAccessibleBridgeUtils::effectiveActionNames(face);
            QVERIFY2(!offered.contains(QAccessibleActionInterface::increaseAction()),
                     qPrintable(offered.join(u',')));
            QVERIFY(!offered.contains(QAccessibleActionInterface::decreaseAction()));
            QVERIFY(!QAccessibleBridgeUtils::performEffectiveAction(
                face, QAccessibleActionInterface::increaseAction()));
            QVERIFY(face->text(QAccessible::Name).endsWith(QStringLiteral(" of 30")));
        }

        // No blanks of the mixer's names: captions, labels and the buttons' names.
        QCOMPARE(AccessibleName(form.Label1[11]), QStringLiteral("Talk"));
        QCOMPARE(AccessibleName(form.Label1[12]), QStringLiteral("Scene C: no name"));
        QCOMPARE(AccessibleName(form.Label1[1]), QStringLiteral("STAGE"));
        QCOMPARE(AccessibleName(form.SSCommand5[2]), QStringLiteral("Scene C"));
        for (const int label : LabelArray::indices) {
            const QString name = AccessibleName(form.Label1[label]);
            QVERIFY2(name == name.trimmed(), qPrintable(name));
        }
        mirror.sceneNames.fill(Text8());
        mirror.panel.recall = 0;
        AnnounceFullReadCompleted();
    }

    // While the link is not online the face's free strip says so and the
    // level bars are dimmed; the rest of the panel looks and works as
    // before, and it all goes once the link is online again.
    void linkStateShowsWhileNotOnline() {
        FrmControl& form = Form();
        QVERIFY(form.linkIndicator.isHidden());
        QVERIFY(!form.Ctlfader1[0].Dimmed());
        const QImage online = Pixels(form.grab());
        QCOMPARE(online.size(), QSize(684, 187));
        const QString onlineText = LinkIndicator::SpokenText(LinkState::Online);
        QCOMPARE(form.accessibleDescription(), onlineText);
        const std::array<std::pair<LinkState, const char*>, 5> states{{
            {LinkState::Lost, "LINK LOST"},
            {LinkState::NotConnected, "NOT CONNECTED"},
            {LinkState::FirstContact, "CONNECTING"},
            {LinkState::Reading, "READING THE MIXER"},
            {LinkState::Suspended, "LINK SUSPENDED"},
        }};
        HandlerLog log(form);
        for (const auto& [state, legend] : states) {
            AnnounceLinkState(state);
            QVERIFY(form.linkIndicator.isVisible());
            QCOMPARE(form.linkIndicator.text(), QLatin1String(legend));
            QVERIFY(form.Ctlfader1[0].Dimmed() && form.Ctlfader1[1].Dimmed());
            const QImage shot = Pixels(form.grab());
            QVERIFY2(shot.copy(linkStrip) != online.copy(linkStrip), legend);
            QVERIFY(shot.copy(levelBars[1]) != online.copy(levelBars[1]));
            QCOMPARE(Elsewhere(shot), Elsewhere(online));
            QCOMPARE(form.windowTitle(), QStringLiteral("Ardenix Ver.1.3"));
            QCOMPARE(AccessibleName(form.linkIndicator), LinkIndicator::SpokenText(state));
            QCOMPARE(form.accessibleDescription(), LinkIndicator::SpokenText(state));
            QVERIFY(form.Ctlfader1[1].accessibleDescription().contains(
                LinkIndicator::SpokenText(state).toLower()));
            // The strip takes no mouse: the face under it is the panel's.
            QCOMPARE(form.childAt(linkStrip.center()), nullptr);
            // The buttons still act.
            log.entries.clear();
            Press(form, Qt::Key_3);
            ReleaseAndWait(form, Qt::Key_3);
            QCOMPARE(log.entries, QStringList{"SSCommand1(2) down"});
        }
        AnnounceLinkState(LinkState::Online);
        QVERIFY(form.linkIndicator.isHidden());
        QVERIFY(!form.Ctlfader1[0].Dimmed());
        QCOMPARE(Pixels(form.grab()), online);
        QCOMPARE(form.accessibleDescription(), onlineText);
        QVERIFY(form.Ctlfader1[1].accessibleDescription().isEmpty());
    }
};

QTEST_MAIN(TestPanelAccess)
#include "test_panel_access.moc"
