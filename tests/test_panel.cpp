// The main panel: its layout and pictures, the level-step lookup, and the
// refresh routines that draw the state on its controls.
#include "core/state.h"
#include "host/host.h"
#include "panel/frmcontrol.h"
#include "panel/remotedialog.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/panelsetup.h"
#include "tests/support/panelwiring.h"
#include "tests/support/ptypeer.h"

#include <QMenu>
#include <QStandardPaths>
#include <QtTest>

#include <stdexcept>

namespace {
QRect Geometry(const QWidget& widget) {
    return widget.geometry();
}

QImage Pixels(const QPixmap& picture) {
    return picture.toImage().convertToFormat(QImage::Format_RGB888);
}
} // namespace

class TestPanel : public QObject {
    Q_OBJECT

    PanelWiring wiring;

    // Counts the property assignments of every picture button.
    QStringList buttonChanges;

    void WatchButtons(FrmControl& form) {
        auto watch = [this](SSCommand& button, const QString& name) {
            button.PropertyChanged = [this, name](const QString& property) {
                buttonChanges.append(name + QLatin1Char('.') + property);
            };
        };
        for (int i = 0; i < 6; ++i) {
            watch(form.SSCommand1[i], QStringLiteral("SSCommand1(%1)").arg(i));
        }
        for (int i = 0; i < 7; ++i) {
            watch(form.SSCommand2[i], QStringLiteral("SSCommand2(%1)").arg(i));
        }
        for (int i = 0; i < 2; ++i) {
            watch(form.SSCommand3[i], QStringLiteral("SSCommand3(%1)").arg(i));
        }
        for (int i = 0; i < 4; ++i) {
            watch(form.SSCommand4[i], QStringLiteral("SSCommand4(%1)").arg(i));
            watch(form.SSCommand5[i], QStringLiteral("SSCommand5(%1)").arg(i));
        }
    }

private slots:
    void initTestCase() {
        SetUpPanelForTests();
        frmControl();
        WatchButtons(frmControl());
    }
    void cleanupTestCase() {
        DestroyCommControls();
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void layoutAndPictures() {
        FrmControl& form = frmControl();
        QCOMPARE(form.windowTitle(), QStringLiteral("Ardenix Ver.1.3"));
        QCOMPARE(form.size(), QSize(684, 187));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(Geometry(form.SSCommand1[0]), QRect(46, 31, 80, 21));
        QCOMPARE(Geometry(form.SSCommand1[5]), QRect(146, 103, 80, 21));
        QCOMPARE(Geometry(form.SSCommand2[6]), QRect(201, 139, 29, 30));
        QCOMPARE(Geometry(form.SSCommand3[1]), QRect(426, 143, 78, 20));
        QCOMPARE(Geometry(form.SSCommand4[3]), QRect(500, 100, 25, 21));
        QCOMPARE(Geometry(form.SSCommand5[3]), QRect(562, 139, 23, 24));
        QCOMPARE(Geometry(form.Ctlfader1[1]), QRect(472, 58, 14, 60));
        QCOMPARE(Geometry(form.Image2[1]), QRect(409, 57, 31, 24));
        QCOMPARE(Geometry(form.Image4[0]), QRect(305, 61, 20, 61));
        QCOMPARE(Geometry(form.Image5[2]), QRect(499, 57, 27, 23));
        QCOMPARE(Geometry(form.Label1[13]), QRect(590, 145, 80, 14));
        QCOMPARE(form.Label1[0].alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        QCOMPARE(form.Label1[10].alignment() & Qt::AlignLeft, Qt::AlignLeft);
        for (int missing = 2; missing < 10; ++missing) {
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, form.Label1[missing]);
        }
        // One font object per label, from the label font.
        QCOMPARE(form.Label1[11].font().family(), QStringLiteral("Arial"));
        QVERIFY(form.Label1[11].font().bold());
        QCOMPARE(form.Label1[11].font().pixelSize(), 11); // 8 points at 15 twips per pixel

        // The picture list and the buttons' own pictures.
        QCOMPARE(form.ImageList1.Count(), 46);
        for (int i = 1; i <= 46; ++i) {
            QVERIFY2(!form.ImageList1.Picture(i).isNull(), qPrintable(panelImageFiles[i - 1]));
        }
        QCOMPARE(form.ImageList1.Picture(37).size(), QSize(31, 23));
        QCOMPARE(form.ImageList1.Picture(40).size(), QSize(31, 13));
        QCOMPARE(form.SSCommand1[2].Face().size(), QSize(80, 21));
        QCOMPARE(form.SSCommand2[4].PictureName(), QStringLiteral("play_off_off.bmp"));
        QCOMPARE(form.SSCommand2[4].PictureDown(), QStringLiteral("play_off_press.bmp"));
        QCOMPARE(form.SSCommand5[1].PictureDisabled(), QStringLiteral("B_radio_off_disable.bmp"));
        QCOMPARE(form.SSCommand2[4].Face().size(), QSize(29, 30));
        QVERIFY(!form.Timer1.Enabled());
        QVERIFY(!form.Timer2.Enabled());
        QCOMPARE(form.Timer1.Interval(), 100);
        QCOMPARE(form.Timer2.Interval(), 250);

        // The bitmaps the build drew are 24-bit files.
        QFile bitmap(
            QDir(host::ProgramDirectory()).filePath(QStringLiteral("muting_on_press.bmp")));
        QVERIFY(bitmap.open(QIODevice::ReadOnly));
        const QByteArray header = bitmap.read(30);
        QCOMPARE(header.left(2), QByteArray("BM"));
        QCOMPARE(static_cast<int>(header[28]), 24);

        // Stacking: the keys lie above the transport area, the overlays above
        // the level buttons.
        QCOMPARE(form.childAt(214, 150), &form.SSCommand2[6]);
        QCOMPARE(form.childAt(26, 139), &form.Image1);
        mirror.panel.masters[1].muted = flagTrue;
        ShowMuting(1);
        QCOMPARE(form.childAt(510, 65), &form.Image5[2]);
        mirror.panel.masters[1].muted = flagFalse;
        ShowMuting(1);
        QCOMPARE(form.childAt(510, 65), &form.SSCommand4[2]);
    }

    void keepsItsPixelsOnOtherScreens() {
        for (const auto& [tx, ty] : {std::pair{12.0, 12.0}, {15.0, 12.0}}) {
            host::SetTwipsPerPixel(tx, ty);
            FrmControl form;
            form.Form_Load();
            QCOMPARE(form.size(), QSize(684, 187));
            QCOMPARE(form.FormWidth(), 690 * tx);
            QCOMPARE(form.FormHeight(), 212 * ty);
            QCOMPARE(*form.Control(QStringLiteral("SSCommand5(0)"))->left, 8430 * tx / 15);
            QCOMPARE(Geometry(form.SSCommand5[0]), QRect(562, 31, 23, 24));
            QCOMPARE(Geometry(form.Ctlfader1[0]), QRect(329, 58, 14, 60));
            QCOMPARE(form.Ctlfader1[0].SegmentLength(), 14);
            QCOMPARE(form.Label1[1].font().pixelSize(), 11);
            QCOMPARE(*form.Control(QStringLiteral("Label1(1)"))->fontSize, 8 * ty / 15);
            QCOMPARE(form.SSCommand1[0].CaptionLabel().font().pixelSize(), 11);
        }
        host::SetTwipsPerPixel(15, 15);
    }

    void findLevelStep() {
        const std::array<std::pair<Single, Integer>, 9> cases{{{-99.0f, 0},
                                                               {-80.0f, 1},
                                                               {-70.0f, 1},
                                                               {-69.9f, 2},
                                                               {0.0f, 41},
                                                               {0.2f, 42},
                                                               {10.0f, 60},
                                                               {10.5f, 0},
                                                               {-120.0f, 0}}};
        for (const auto& [level, step] : cases) {
            QCOMPARE(FindLevelStep(level), step);
        }
    }

    void fullRefresh() {
        FrmControl& form = frmControl();
        programSetup.systemState.deviceResponding = flagTrue;
        mirror.panel.inputs[0].name = Text8("  Cam 1 ");
        mirror.panel.inputs[3].name = Text8("Mic");
        mirror.panel.inputs[3].status = 0;
        mirror.panel.masters[0].name = Text8(" Main");
        mirror.panel.masters[0].level = 12;
        mirror.panel.masters[1].level = 30;
        mirror.panel.masters[1].muted = flagTrue;
        mirror.panel.selectedInput = 3;
        mirror.sceneNames[1] = Text8(" Talk");
        programSetup.sceneSetup.sceneNumbers = {49, 50, 50, 52};
        mirror.panel.recall = 50;
        AnnounceFullReadCompleted();
        QCOMPARE(form.SSCommand1[0].Caption(), QStringLiteral("Cam 1"));
        QCOMPARE(form.SSCommand1[3].PictureName(), QStringLiteral("Button_on_press.bmp"));
        QCOMPARE(form.SSCommand1[3].CaptionLabel().palette().color(QPalette::WindowText),
                 QColor(Qt::black));
        QCOMPARE(frmControl().panelSelectedInput, Integer(3));
        QCOMPARE(form.Label1[0].text(), QStringLiteral("Main"));
        QCOMPARE(form.Label1[11].text(), QStringLiteral(" Talk   ")); // as stored
        QCOMPARE(form.Ctlfader1[0].Value(), Integer(18));
        QCOMPARE(form.Ctlfader1[1].Value(), Integer(0));
        QCOMPARE(form.SSCommand3[1].PictureName(), QStringLiteral("Muting_on_press.bmp"));
        QVERIFY(!form.SSCommand4[2].Enabled());
        QVERIFY(!form.SSCommand4[3].Enabled());
        QVERIFY(form.Image5[3].Visible());
        QVERIFY(form.SSCommand4[0].Enabled());
        QVERIFY(!form.Image5[0].Visible());
        // Two radio buttons carry scene code 50: both lit.
        QCOMPARE(frmControl().radioPressed, Integer(50));
        QCOMPARE(form.SSCommand5[0].PictureName(), QStringLiteral("A_radio_off_off.bmp"));
        QCOMPARE(form.SSCommand5[1].PictureName(), QStringLiteral("B_radio_on_press.bmp"));
        QCOMPARE(form.SSCommand5[2].PictureName(), QStringLiteral("C_radio_on_press.bmp"));
        QVERIFY(linkRecord.synced == mirror.panel);
    }

    void mutingAndRadioButtons() {
        FrmControl& form = frmControl();
        mirror.panel.masters[0].muted = flagFalse;
        mirror.panel.masters[1].muted = flagFalse;
        ShowMuting(0);
        ShowMuting(1);
        buttonChanges.clear();
        mirror.panel.masters[1].muted = flagTrue;
        ShowMuting(1);
        QCOMPARE(buttonChanges, (QStringList{"SSCommand3(1).PictureName", "SSCommand4(2).Enabled",
                                             "SSCommand4(3).Enabled"}));
        QVERIFY(form.Image5[2].Visible() && form.Image5[3].Visible());
        QCOMPARE(Pixels(form.SSCommand4[2].Face()),
                 Pixels(host::LoadPicture(QStringLiteral("up_off_disable.bmp"))));
        // Muting again changes no Enabled: it is set only when it changes.
        buttonChanges.clear();
        ShowMuting(1);
        QCOMPARE(buttonChanges, QStringList{"SSCommand3(1).PictureName"});
        mirror.panel.masters[1].muted = flagFalse;
        buttonChanges.clear();
        ShowMuting(1);
        QCOMPARE(buttonChanges, (QStringList{"SSCommand3(1).PictureName", "SSCommand4(2).Enabled",
                                             "SSCommand4(3).Enabled"}));
        QVERIFY(form.SSCommand4[2].Enabled() && !form.Image5[2].Visible());
        QCOMPARE(Pixels(form.SSCommand4[2].Face()),
                 Pixels(host::LoadPicture(QStringLiteral("up_off_off.bmp"))));

        // The same radio button twice: the second call only clears radioPressed.
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        mirror.panel.recall = 51;
        frmControl().radioPressed = 0;
        buttonChanges.clear();
        ShowRadioButtons(2);
        QCOMPARE(frmControl().radioPressed, Integer(3));
        QCOMPARE(buttonChanges.size(), 4);
        QCOMPARE(form.SSCommand5[2].PictureName(), QStringLiteral("C_radio_on_press.bmp"));
        QCOMPARE(form.SSCommand5[1].PictureName(), QStringLiteral("B_radio_off_off.bmp"));
        buttonChanges.clear();
        ShowRadioButtons(2);
        QCOMPARE(frmControl().radioPressed, Integer(0));
        QVERIFY(buttonChanges.isEmpty());
    }

    void selectedInputAndTransportKeys() {
        FrmControl& form = frmControl();
        auto keysEnabled = [&form] {
            int n = 0;
            for (const SSCommand& key : form.SSCommand2) {
                n += key.Enabled() ? 1 : 0;
            }
            return n;
        };
        programSetup.systemState.deviceResponding = flagTrue;
        mirror.panel.inputs[4].status = -1;
        frmControl().panelSelectedInput = -1;
        ShowSelectedInput(4);
        QCOMPARE(keysEnabled(), 0);
        QCOMPARE(Pixels(form.SSCommand2[0].Face()),
                 Pixels(host::LoadPicture(QStringLiteral("prev_off_disable.bmp"))));
        mirror.panel.inputs[5].status = 2;
        ShowSelectedInput(5);
        QCOMPARE(keysEnabled(), 7);
        QCOMPARE(form.SSCommand1[4].PictureName(), QStringLiteral("Button_off_off.bmp"));
        QCOMPARE(form.SSCommand1[4].CaptionLabel().palette().color(QPalette::WindowText),
                 QColor(Qt::white));
        // Without a responding mixer the keys stay as they are.
        programSetup.systemState.deviceResponding = flagFalse;
        ShowSelectedInput(4);
        QCOMPARE(keysEnabled(), 7);
        QCOMPARE(frmControl().panelSelectedInput, Integer(4));
        programSetup.systemState.deviceResponding = flagTrue;
        ShowSelectedInput(4);
        QCOMPARE(keysEnabled(), 0);
        ShowSelectedInput(-1);
        QCOMPARE(frmControl().panelSelectedInput, Integer(-1));
        QCOMPARE(keysEnabled(), 7);
        QCOMPARE(form.SSCommand1[4].PictureName(), QStringLiteral("Button_off_off.bmp"));
    }

    void refreshFromStatus() {
        FrmControl& form = frmControl();
        AnnounceFullReadCompleted();
        buttonChanges.clear();
        // Not a status reply: nothing.
        mirror.panel.masters[0].level = 5;
        RefreshFromStatus(Value(RequestKind::Stt));
        QCOMPARE(form.Ctlfader1[0].Value(), Integer(18));
        // A status reply that changes only the level and the lamps: faders and
        // lamps are drawn, no button is touched.
        mirror.panel.masters[0].lamps = {flagTrue, flagFalse};
        mirror.panel.masters[1].lamps = {flagFalse, flagTrue};
        AnnounceReplyApplied(RequestKind::Status);
        QVERIFY(buttonChanges.isEmpty());
        QCOMPARE(form.Ctlfader1[0].Value(), Integer(25));
        QCOMPARE(Pixels(form.Image2[0].Picture()), Pixels(form.ImageList1.Picture(38)));
        QCOMPARE(Pixels(form.Image2[1].Picture()), Pixels(form.ImageList1.Picture(37)));
        QCOMPARE(Pixels(form.Image3[0].Picture()), Pixels(form.ImageList1.Picture(39)));
        QCOMPARE(Pixels(form.Image3[1].Picture()), Pixels(form.ImageList1.Picture(40)));
        QCOMPARE(linkRecord.synced.masters[1].lamps[mugen], flagTrue);
        QVERIFY(linkRecord.synced.masters[0].level != mirror.panel.masters[0].level);

        // A recall code outside 0..20: the argument is radioPressed, which grows by one.
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        frmControl().radioPressed = 2;
        mirror.panel.recall = 52;
        AnnounceReplyApplied(RequestKind::Status);
        QCOMPARE(frmControl().radioPressed, Integer(3));
        QCOMPARE(linkRecord.synced.recall, Integer(52));
        QCOMPARE(form.SSCommand5[3].PictureName(), QStringLiteral("D_radio_on_press.bmp"));
        QCOMPARE(form.SSCommand5[0].PictureName(), QStringLiteral("A_radio_off_off.bmp"));
        // Recall 0 uses the argument 4.
        mirror.panel.recall = 0;
        AnnounceReplyApplied(RequestKind::Status);
        QCOMPARE(frmControl().radioPressed, Integer(5));

        // Input and muting differences are drawn and recorded.
        mirror.panel.selectedInput = 2;
        mirror.panel.masters[0].muted = flagTrue;
        buttonChanges.clear();
        AnnounceReplyApplied(RequestKind::Status);
        QVERIFY(buttonChanges.contains(QStringLiteral("SSCommand1(2).PictureName")));
        QVERIFY(buttonChanges.contains(QStringLiteral("SSCommand4(0).Enabled")));
        QCOMPARE(linkRecord.synced.selectedInput, Integer(2));
        QCOMPARE(linkRecord.synced.masters[0].muted, flagTrue);
        buttonChanges.clear();
        AnnounceReplyApplied(RequestKind::Status);
        QVERIFY(buttonChanges.isEmpty());
        mirror.panel.masters[0].muted = flagFalse;
        AnnounceReplyApplied(RequestKind::Status);
    }

    // --- The handlers, over a pseudo-terminal standing for the mixer -------------

    void actionsSendTheirFrames() {
        FrmControl& form = frmControl();
        PtyPeer mixer;
        QVERIFY(mixer.Valid());
        qputenv("ARDENIX_PORT", mixer.SlavePath().toLocal8Bit());
        programSetup.systemState.portIsOpen = ToFlag(OpenPort(comm()));
        QCOMPARE(programSetup.systemState.portIsOpen, flagTrue);
        programSetup.systemState.deviceResponding = flagTrue;
        auto line = [&mixer] { return mixer.ReadFor(150); };
        // The mixer's "A": the exchange is over.
        auto acknowledge = [] {
            linkRecord.exchange[replyRecord].busy = flagFalse;
            linkRecord.exchange[sendRecord].busy = flagFalse;
            linkRecord.anyChangePending = false;
        };
        Integer button = 1;
        Integer shift = 0;
        Single x = 0;
        Single y = 0;
        for (InputEntry& input : mirror.panel.inputs) {
            input.status = 0;
        }
        mirror.panel.selectedInput = -1;
        mirror.panel.masters[0].muted = flagFalse;
        mirror.panel.masters[1].muted = flagFalse;
        AnnounceFullReadCompleted();

        // Input 1: "CSEL1"; pressing it again redraws but sends nothing.
        form.SSCommand1_MouseDown(1, button, shift, x, y);
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Select).changePending, flagFalse);
        QCOMPARE(line(), QByteArray("CSEL2\r"));
        QCOMPARE(mirror.panel.selectedInput, Integer(1));
        acknowledge();
        form.SSCommand1_MouseDown(1, button, shift, x, y);
        QCOMPARE(line(), QByteArray());
        QCOMPARE(form.SSCommand1[1].PictureName(), QStringLiteral("Button_on_press.bmp"));
        form.SSCommand1_MouseDown(0, button, shift, x, y);
        QCOMPARE(line(), QByteArray("CSEL1\r"));
        acknowledge();

        // A transport key held and let go: two frames; a foreign index nothing.
        form.SSCommand2_MouseDown(3, button, shift, x, y);
        QCOMPARE(mirror.panel.transportKey, Integer(3));
        QCOMPARE(line(), QByteArray("CRCS85\r"));
        acknowledge();
        form.SSCommand2_MouseUp(3, button, shift, x, y);
        QCOMPARE(mirror.panel.transportKey, Integer(-1));
        QCOMPARE(line(), QByteArray("CRCS80\r"));
        acknowledge();
        form.SSCommand2_MouseDown(7, button, shift, x, y);
        QCOMPARE(mirror.panel.transportKey, Integer(-1));
        QCOMPARE(linkRecord.FlagsOf(CommandKind::Transport).changePending, flagFalse);
        QCOMPARE(line(), QByteArray());

        // Muting MASTER B and back.
        form.SSCommand3_MouseDown(1, button, shift, x, y);
        QCOMPARE(mirror.panel.masters[1].muted, flagTrue);
        QVERIFY(!form.SSCommand4[2].Enabled() && form.Image5[3].Visible());
        QCOMPARE(line(), QByteArray("CMUTAA\r"));
        acknowledge();
        form.SSCommand3_MouseDown(1, button, shift, x, y);
        QCOMPARE(mirror.panel.masters[1].muted, flagFalse);
        QVERIFY(form.SSCommand4[2].Enabled() && !form.Image5[3].Visible());
        QCOMPARE(line(), QByteArray("CMUTA@\r"));
        acknowledge();

        // Level: MASTER B down resets MASTER A's steps too; the poll is switched on.
        comm().Timer2.SetEnabled(false);
        mirror.panel.masters[0].pendingSteps = 5;
        mirror.panel.masters[1].level = 12;
        form.SSCommand4_MouseDown(3, button, shift, x, y);
        QCOMPARE(mirror.panel.masters[0].pendingSteps, Integer(0));
        QCOMPARE(line(), QByteArray("CLV-A\r")); // the step of master B, not of A
        QVERIFY(comm().Timer2.Enabled());
        acknowledge();
        comm().Timer2.SetEnabled(false);
        form.SSCommand4_MouseUp(3, button, shift, x, y);
        QCOMPARE(line(), QByteArray("CLVSA\r"));
        QVERIFY(comm().Timer2.Enabled());
        acknowledge();
        mirror.panel.masters[0].level = 12;
        form.SSCommand4_MouseDown(0, button, shift, x, y);
        QCOMPARE(line(), QByteArray("CLV+@\r"));
        acknowledge();
        // At the top a press marks kind 2 and sends nothing; the release stops.
        mirror.panel.masters[0].level = 30;
        form.SSCommand4_MouseDown(0, button, shift, x, y);
        QCOMPARE(line(), QByteArray());
        form.SSCommand4_MouseUp(0, button, shift, x, y);
        QCOMPARE(line(), QByteArray("CLVS@\r"));
        acknowledge();
        comm().Timer2.SetEnabled(false);

        // The Up and Page Down keys held together: the second level button is
        // refused while the first is held, and so is its release; master B
        // never moves and no stop goes to the wrong master.
        mirror.panel.masters[0].level = 12;
        mirror.panel.masters[1].level = 12;
        QTest::keyPress(&form, Qt::Key_Up);
        QCOMPARE(line(), QByteArray("CLV+@\r"));
        acknowledge();
        QTest::keyPress(&form, Qt::Key_PageDown);
        QCOMPARE(line(), QByteArray());
        QTest::keyRelease(&form, Qt::Key_Up);
        QTest::qWait(100); // a key's release takes effect after a short grace
        QCOMPARE(line(), QByteArray("CLVS@\r"));
        acknowledge();
        QTest::keyRelease(&form, Qt::Key_PageDown);
        QTest::qWait(100);
        QCOMPARE(line(), QByteArray());
        QTRY_COMPARE(form.HeldKeyCount(), 0);
        comm().Timer2.SetEnabled(false);

        // A scene recall: "CRCL" with the code, the poll held during the wait.
        programSetup.sceneSetup.sceneNumbers = {49, 50, 52, 60};
        programSetup.sceneSetup.sceneBlocked.fill(0);
        comm().Timer2.SetEnabled(true);
        bool pollHeld = true;
        int ticksSeen = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            ++ticksSeen;
            pollHeld =
                pollHeld && (!comm().Timer2.Enabled() || !wiring.operations.RecallWaitRunning());
        });
        probe.start(50);
        QElapsedTimer clock;
        clock.start();
        form.SSCommand5_MouseDown(2, button, shift, x, y);
        QVERIFY(wiring.operations.RecallWaitRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!wiring.operations.RecallWaitRunning(), 2000);
        probe.stop();
        QVERIFY(clock.elapsed() >= 700);
        QVERIFY(ticksSeen >= 3); // the window stayed live during the wait
        QVERIFY(pollHeld);
        QVERIFY(comm().Timer2.Enabled());
        QVERIFY(!form.Timer2.Enabled());
        QCOMPARE(frmControl().timer2Ticks, Integer(0));
        QCOMPARE(mirror.panel.recall, Integer(52));
        QCOMPARE(form.SSCommand5[2].PictureName(), QStringLiteral("C_radio_on_press.bmp"));
        QCOMPARE(line(), QByteArray("CRCL4\r"));
        acknowledge();
        // A blocked scene, a code outside the scenes: nothing at all.
        programSetup.sceneSetup.sceneBlocked[60 - 49] = flagTrue;
        buttonChanges.clear();
        form.SSCommand5_MouseDown(3, button, shift, x, y);
        programSetup.sceneSetup.sceneNumbers[1] = 70;
        form.SSCommand5_MouseDown(1, button, shift, x, y);
        QVERIFY(buttonChanges.isEmpty());
        QCOMPARE(mirror.panel.recall, Integer(52));
        QCOMPARE(line(), QByteArray());

        comm().Timer2.SetEnabled(false);
        ClosePort(comm());
        programSetup.systemState.portIsOpen = flagFalse;
        qunsetenv("ARDENIX_PORT");
    }

    void recallWaitAndMouse() {
        FrmControl& form = frmControl();
        form.Show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        programSetup.sceneSetup.sceneBlocked.fill(0);
        programSetup.systemState.portIsOpen = flagFalse; // no port: the frames go nowhere
        mirror.panel.masters[0].muted = flagFalse;
        ShowMuting(0);
        // During the wait a second radio press is ignored and a transport key
        // is handled at once.
        int transportPresses = 0;
        const auto keyDown = form.SSCommand2[2].MouseDown;
        form.SSCommand2[2].MouseDown = [&](Integer& b, Integer& s, Single& x, Single& y) {
            ++transportPresses;
            keyDown(b, s, x, y);
        };
        QTest::mouseClick(&form.SSCommand5[0], Qt::LeftButton, {}, QPoint(10, 10));
        QTest::qWait(200);
        QVERIFY(wiring.operations.RecallWaitRunning());
        QTest::mouseClick(&form.SSCommand5[3], Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseClick(&form.SSCommand2[2], Qt::LeftButton, {}, QPoint(10, 10));
        QTRY_VERIFY_WITH_TIMEOUT(!wiring.operations.RecallWaitRunning(), 2000);
        QCOMPARE(transportPresses, 1);
        QCOMPARE(mirror.panel.recall, Integer(49));
        QCOMPARE(mirror.panel.transportKey, Integer(-1));
        form.SSCommand2[2].MouseDown = keyDown;

        // Clicks beside the keys and on an overlay only beep.
        const int beeps = host::BeepCount();
        QTest::mouseClick(&form.Image1, Qt::LeftButton, {}, QPoint(0, 5));
        QCOMPARE(host::BeepCount(), beeps + 1);
        mirror.panel.masters[0].muted = flagTrue;
        ShowMuting(0);
        const Integer steps = mirror.panel.masters[0].pendingSteps;
        QCOMPARE(form.childAt(368, 68), &form.Image5[0]);
        QTest::mouseClick(&form.Image5[0], Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(host::BeepCount(), beeps + 2);
        QCOMPARE(mirror.panel.masters[0].pendingSteps, steps);
        mirror.panel.masters[0].muted = flagFalse;
        ShowMuting(0);

        // The first panel Timer1 tick arms it, a later one stops the poll.
        frmControl().panelTimerArmed = 0;
        comm().Timer2.SetEnabled(true);
        form.Timer1_Timer();
        QCOMPARE(frmControl().panelTimerArmed, flagTrue);
        QVERIFY(comm().Timer2.Enabled());
        form.Timer1_Timer();
        QVERIFY(!comm().Timer2.Enabled());
        frmControl().timer2Ticks = 32767;
        form.Timer2_Timer();
        QCOMPARE(frmControl().timer2Ticks, Integer(32767));
        frmControl().timer2Ticks = 0;
        form.hide();
    }

    // The context menu's "Remote…" shows the address given by the wiring in a
    // window beside the panel (with its QR code where qrencode is installed);
    // without an address the entry says the remote control is off.
    void remoteEntryShowsTheAddress() {
        FrmControl& form = frmControl();
        const auto openMenu = [&form]() -> QMenu* {
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                                    form.mapToGlobal(QPoint(10, 10)));
            QApplication::sendEvent(&form, &event);
            for (QMenu* menu : form.findChildren<QMenu*>()) {
                if (menu->isVisible()) {
                    return menu;
                }
            }
            return nullptr;
        };
        const QString address = QStringLiteral("http://127.0.0.1:9470/#token=panel-test-token");
        SetRemoteAddressProvider([address] { return address; });
        QMenu* menu = openMenu();
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->actions().size(), 1);
        QAction* remote = menu->actions().first();
        QCOMPARE(remote->text(), QStringLiteral("Remote\u2026"));
        QVERIFY(remote->isEnabled());
        remote->trigger();
        menu->close();
        auto* dialog = form.findChild<RemoteDialog*>();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(dialog->Address(), address);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->CodeSettled(), 10000);
        if (!QStandardPaths::findExecutable(QStringLiteral("qrencode")).isEmpty()) {
            // A QR code is square, with a quiet zone of white around it.
            const QImage code = dialog->Code().toImage();
            QVERIFY(!code.isNull());
            QCOMPARE(code.width(), code.height());
            QVERIFY(code.width() >= 21 * 6);
            QCOMPARE(QColor(code.pixel(1, 1)), QColor(Qt::white));
        }
        dialog->close();

        SetRemoteAddressProvider({});
        menu = openMenu();
        QVERIFY(menu != nullptr);
        QCOMPARE(menu->actions().first()->text(),
                 QStringLiteral("Remote control is off (start with --remote)"));
        QVERIFY(!menu->actions().first()->isEnabled());
        menu->close();
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
