// The panel on screens of several device pixel ratios (the offscreen
// platform's screens of tests/hidpi-screens.json, or QT_SCALE_FACTOR): every
// picture drawn at the device's resolution, the finer bitmap variants chosen
// where they suit, the controls at their design places, and everything drawn
// anew when the panel moves to another screen.
#include "assets/artwork.h"
#include "assets/programicon.h"
#include "core/state.h"
#include "host/host.h"
#include "host/pictures.h"
#include "panel/frmcontrol.h"
#include "protocol/protocol.h"
#include "serial/serial.h"
#include "tests/support/linkrecord.h"
#include "tests/support/panelsetup.h"
#include "tests/support/panelwiring.h"

#include <QtTest>

#include <cmath>
#include <vector>

namespace {

QImage Pixels(const QImage& image) {
    QImage pixels = image.convertToFormat(QImage::Format_RGB888);
    pixels.setDevicePixelRatio(1);
    return pixels;
}

QImage Pixels(const QPixmap& picture) {
    return Pixels(picture.toImage());
}

QScreen* ScreenOfRatio(qreal ratio) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio)) {
            return screen;
        }
    }
    return nullptr;
}

// The device pixels of a rectangle of the panel's pixels, as the window
// system places it at `ratio`.
QRect DeviceRect(const QRect& rect, qreal ratio) {
    const auto edge = [ratio](int pixel) { return static_cast<int>(std::lround(pixel * ratio)); };
    return QRect(QPoint(edge(rect.left()), edge(rect.top())),
                 QPoint(edge(rect.right() + 1) - 1, edge(rect.bottom() + 1) - 1));
}

// The share of the pixels of `region` in which the two pictures differ by
// more than `levels` in some colour.
double ShareDiffering(const QImage& a, const QImage& b, const QRect& region, int levels) {
    int differing = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > levels || std::abs(qGreen(p) - qGreen(q)) > levels ||
                std::abs(qBlue(p) - qBlue(q)) > levels) {
                ++differing;
            }
        }
    }
    return static_cast<double>(differing) / (region.width() * region.height());
}

// The share of the 2 x 2 blocks of a region (even device coordinates) whose
// pixels differ by more than `levels` in some colour: 0 where a picture was
// enlarged from 96 dpi by repeating pixels.
double ShareOfDetailedBlocks(const QImage& image, const QRect& region, int levels) {
    int detailed = 0;
    int blocks = 0;
    for (int y = region.top(); y + 1 <= region.bottom(); y += 2) {
        for (int x = region.left(); x + 1 <= region.right(); x += 2) {
            ++blocks;
            const QRgb first = image.pixel(x, y);
            for (const QPoint& d : {QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                const QRgb p = image.pixel(x + d.x(), y + d.y());
                if (std::abs(qRed(p) - qRed(first)) > levels ||
                    std::abs(qGreen(p) - qGreen(first)) > levels ||
                    std::abs(qBlue(p) - qBlue(first)) > levels) {
                    ++detailed;
                    break;
                }
            }
        }
    }
    return blocks == 0 ? 0 : static_cast<double>(detailed) / blocks;
}

// The mean difference per colour between a picture and a twice as large one
// taken back to its size by averaging each 2 x 2 block.
double MeanDifferenceHalved(const QImage& small, const QImage& large, const QRect& region) {
    double sum = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            int channels[3] = {0, 0, 0};
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const QRgb q = large.pixel(2 * x + dx, 2 * y + dy);
                    channels[0] += qRed(q);
                    channels[1] += qGreen(q);
                    channels[2] += qBlue(q);
                }
            }
            const QRgb p = small.pixel(x, y);
            sum += std::abs(qRed(p) - channels[0] / 4.0) + std::abs(qGreen(p) - channels[1] / 4.0) +
                   std::abs(qBlue(p) - channels[2] / 4.0);
        }
    }
    return sum / (3.0 * region.width() * region.height());
}

// What a bitmap should show at `ratio`: its variant of the next whole scale
// up (the build draws them up to 3), taken to the device size smoothly when
// the sizes differ.
QImage ExpectedPicture(const QString& name, const QSize& size, qreal ratio) {
    const int scale = static_cast<int>(std::ceil(ratio));
    QString file = name.toLower();
    if (scale > 1) {
        file.replace(QStringLiteral(".bmp"), QStringLiteral("@%1x.bmp").arg(scale));
    }
    QImage picture(QDir(host::ProgramDirectory()).filePath(file));
    const QSize device = host::DeviceSize(size, ratio);
    if (picture.size() != device) {
        picture = picture.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return Pixels(picture);
}

// The file a button's face shows now.
QString FaceFile(const SSCommand& button) {
    return button.Enabled() || button.PictureDisabled().isEmpty() ? button.PictureName()
                                                                  : button.PictureDisabled();
}

// Visits every picture button; stops at the first failed check.
template <class Visit> void ForEachButton(FrmControl& panel, const Visit& visit) {
    const auto each = [&visit](auto& group) {
        for (SSCommand& b : group) {
            if (QTest::currentTestFailed()) {
                return;
            }
            visit(b);
        }
    };
    each(panel.SSCommand1);
    each(panel.SSCommand2);
    each(panel.SSCommand3);
    each(panel.SSCommand4);
    each(panel.SSCommand5);
}

// The picture buttons without a caption: nothing lies over their faces.
template <class Visit> void ForEachPlainButton(FrmControl& panel, const Visit& visit) {
    ForEachButton(panel, [&visit](SSCommand& b) {
        if (b.Caption().isEmpty()) {
            visit(b);
        }
    });
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

    PanelWiring wiring;

    // Puts the panel on `screen` and lets it paint there; its ratio then.
    qreal ShowOn(QScreen* screen) {
        FrmControl& panel = frmControl();
        panel.Show(); // shown the first time, it centres itself on the primary screen
        panel.setScreen(screen);
        panel.move(screen->geometry().topLeft() + QPoint(40, 40));
        if (!QTest::qWaitForWindowExposed(&panel)) {
            return 0;
        }
        QCoreApplication::processEvents();
        return panel.devicePixelRatioF();
    }

    QImage Shot() { return Pixels(frmControl().grab()); }

private slots:
    void initTestCase() {
        SetUpPanelForTests();
        programSetup.systemState.deviceResponding = flagTrue;
        // A mixer state that lights something of every kind: a selected
        // input, a recalled scene, both lamps of master A, master B muted.
        for (InputEntry& input : mirror.panel.inputs) {
            input.status = 0;
        }
        mirror.panel.inputs[1].name = Text8("Camera 2");
        mirror.panel.masters[0].name = Text8("MASTER A");
        programSetup.sceneSetup.sceneNumbers = {49, 50, 51, 52};
        mirror.sceneNames[1] = Text8("Talk");
        frmControl();
        mirror.panel.selectedInput = 1;
        mirror.panel.recall = 50;
        mirror.panel.masters[0].level = 22;
        mirror.panel.masters[0].lamps = {flagTrue, flagTrue};
        mirror.panel.masters[1].level = 9;
        mirror.panel.masters[1].lamps = {flagFalse, flagFalse};
        mirror.panel.masters[1].muted = flagTrue;
        RefreshFromStatus(Value(RequestKind::Status));
    }
    void cleanupTestCase() {
        DestroyCommControls();
        host::EndProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // At twice the resolution the pictures carry detail that their 96-dpi
    // versions enlarged lack, look as they do at 1, and every control lies
    // at twice its design place.
    void sharpAtTwiceTheResolution() {
        QScreen* one = ScreenOfRatio(1);
        QScreen* two = ScreenOfRatio(2);
        QVERIFY2(one && two, "needs screens of ratios 1 and 2 (tests/hidpi-screens.json)");
        FrmControl& panel = frmControl();
        QCOMPARE(ShowOn(one), 1.0);
        const QImage single = Shot();
        QCOMPARE(single.size(), QSize(684, 187));
        QCOMPARE(ShowOn(two), 2.0);
        const QImage twice = Shot();
        QCOMPARE(twice.size(), QSize(1368, 374));
        const QImage enlarged =
            single.scaled(twice.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);

        // The controls at their design places, in device pixels twice those.
        QCOMPARE(panel.SSCommand2[6].geometry(), QRect(201, 139, 29, 30));
        QCOMPARE(panel.SSCommand5[3].geometry(), QRect(562, 139, 23, 24));
        QCOMPARE(panel.Image2[1].geometry(), QRect(409, 57, 31, 24));
        QCOMPARE(panel.Ctlfader1[1].geometry(), QRect(472, 58, 14, 60));
        int plain = 0;
        int placed = 0;
        ForEachPlainButton(panel, [&](SSCommand& b) {
            ++plain;
            const QRect device(b.geometry().topLeft() * 2, b.ImageRect().size() * 2);
            const QImage face = Pixels(b.Face());
            QCOMPARE(face, ExpectedPicture(FaceFile(b), b.ImageRect().size(), 2));
            if (twice.copy(device) == face) {
                ++placed;
            }
        });
        // Every button without a caption: at least the transport keys, the
        // muting, level and scene buttons.
        QVERIFY(plain >= 17);
        QCOMPARE(placed, plain);

        // Detail: the share of pixels that differ from the enlargement by more
        // than a few levels, by kind of control.
        struct Kind {
            const char* name;
            std::vector<QWidget*> controls;
            double atLeast;
        };
        auto widgets = [](auto& array) {
            std::vector<QWidget*> list;
            for (auto& w : array) {
                list.push_back(&w);
            }
            return list;
        };
        std::vector<QWidget*> lamps = widgets(panel.Image2);
        for (QWidget* w : widgets(panel.Image3)) {
            lamps.push_back(w);
        }
        // The bounds are about half of what the drawings give; the 96-dpi
        // pictures enlarged give 0 on every one.
        const std::vector<Kind> kinds{{"transport keys", widgets(panel.SSCommand2), 0.015},
                                      {"scene buttons", widgets(panel.SSCommand5), 0.04},
                                      {"level buttons", widgets(panel.SSCommand4), 0.02},
                                      {"muting buttons", widgets(panel.SSCommand3), 0.06},
                                      {"lamps", lamps, 0.09},
                                      {"level scales", widgets(panel.Image4), 0.04}};
        for (const Kind& kind : kinds) {
            double differing = 1;
            double detailed = 1;
            for (QWidget* w : kind.controls) {
                const QRect device(w->geometry().topLeft() * 2, w->size() * 2);
                differing = std::min(differing, ShareDiffering(twice, enlarged, device, 8));
                detailed = std::min(detailed, ShareOfDetailedBlocks(twice, device, 8));
            }
            qInfo("%s: at least %.1f%% of the pixels differ from the enlargement, %.1f%% of "
                  "the 2 x 2 blocks are not flat",
                  kind.name, 100 * differing, 100 * detailed);
            QVERIFY2(differing >= kind.atLeast, kind.name);
            QVERIFY2(detailed >= kind.atLeast, kind.name);
        }
        // The face's lettering (the maker's name, a section title) and edges.
        for (const QRect& part : {QRect(254, 173, 100, 13), QRect(36, 12, 60, 12)}) {
            const QRect device(part.topLeft() * 2, part.size() * 2);
            const double detailed = ShareOfDetailedBlocks(twice, device, 8);
            qInfo("face at (%d, %d): %.1f%% of the pixels differ from the enlargement, %.1f%% of "
                  "the 2 x 2 blocks are not flat",
                  part.x(), part.y(), 100 * ShareDiffering(twice, enlarged, device, 8),
                  100 * detailed);
            QVERIFY(detailed >= 0.10);
        }
        QCOMPARE(ShareOfDetailedBlocks(enlarged, enlarged.rect(), 0), 0.0);

        // The look stays: taken back to 96 dpi, the finer panel is the panel.
        const double mean = MeanDifferenceHalved(single, twice, single.rect());
        qInfo("twice the resolution halved against 96 dpi: mean difference %.2f levels", mean);
        QVERIFY(mean < 3);
    }

    // At 1.25, 1.5 and 3 every picture has the device's resolution: the
    // variant of the next scale up (taken down smoothly where it is larger),
    // the face, scales and level bars drawn at the ratio itself.
    void picturesAtDeviceResolution_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1.25") << 1.25;
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("3") << 3.0;
    }
    void picturesAtDeviceResolution() {
        QFETCH(qreal, ratio);
        QScreen* screen = ScreenOfRatio(ratio);
        QVERIFY2(screen, "needs a screen of this ratio (tests/hidpi-screens.json)");
        FrmControl& panel = frmControl();
        QCOMPARE(ShowOn(screen), ratio);
        const QImage shot = Shot();
        QCOMPARE(shot.size(), host::DeviceSize(QSize(684, 187), ratio));
        CheckPicturesAt(ratio, shot);
        // At 1.5 the variant is not the 96-dpi bitmap enlarged.
        if (ratio == 1.5) {
            const SSCommand& key = panel.SSCommand2[4];
            const QImage fromSingle = Pixels(
                QImage(QDir(host::ProgramDirectory()).filePath(key.PictureName()))
                    .scaled(key.Face().size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            QVERIFY(Pixels(key.Face()) != fromSingle);
        }
    }

    // Moved from screen to screen, the panel draws everything anew for each;
    // back on the first it is what it was.
    void followsTheScreen() {
        QScreen* one = ScreenOfRatio(1);
        QScreen* three = ScreenOfRatio(3);
        QScreen* half = ScreenOfRatio(1.5);
        QVERIFY(one && three && half);
        FrmControl& panel = frmControl();
        QCOMPARE(ShowOn(one), 1.0);
        const QImage before = Shot();
        for (QScreen* screen : {three, half, one}) {
            const qreal ratio = ShowOn(screen);
            // The window system's own repaint on the new screen did it.
            QCOMPARE(panel.SSCommand2[0].Face().devicePixelRatio(), ratio);
            QCOMPARE(panel.Ctlfader1[0].Image().devicePixelRatio(), ratio);
            QCOMPARE(panel.Image4[1].Picture().devicePixelRatio(), ratio);
            QCOMPARE(panel.Image2[0].Picture().devicePixelRatio(), ratio);
            QCOMPARE(panel.ImageList1.Picture(1).devicePixelRatio(), ratio);
        }
        QCOMPARE(Shot(), before);
        // The lamps still show what the mixer reported.
        QCOMPARE(Pixels(panel.Image2[0].Picture()), Pixels(panel.ImageList1.Picture(38)));
        QCOMPARE(Pixels(panel.Image3[1].Picture()), Pixels(panel.ImageList1.Picture(39)));
    }

    // Under QT_SCALE_FACTOR (a separate run sets it) as on the first screen:
    // the pictures at the ratio the panel has there.
    void picturesAtTheScaleFactor() {
        const qreal ratio = ShowOn(QGuiApplication::primaryScreen());
        QVERIFY(ratio > 0);
        const QImage shot = Shot();
        QCOMPARE(shot.size(), host::DeviceSize(QSize(684, 187), ratio));
        CheckPicturesAt(ratio, shot);
        qInfo("checked at a device pixel ratio of %g", ratio);
    }

    void windowIconAndApplicationId() {
        FrmControl& panel = frmControl();
        QVERIFY(!panel.windowIcon().isNull());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("org.ardenix.Ardenix"));
        // In the build tree no icon theme has it: the drawn icon.
        QCOMPARE(Pixels(panel.windowIcon().pixmap(32, 32, QIcon::Normal)),
                 Pixels(artwork::DrawnProgramIcon().pixmap(32, 32, QIcon::Normal)));
    }

private:
    // Every picture of the panel against what it should be at `ratio`.
    void CheckPicturesAt(qreal ratio, const QImage& shot) {
        FrmControl& panel = frmControl();
        ForEachButton(panel, [ratio](SSCommand& b) {
            QCOMPARE(b.Face().devicePixelRatio(), ratio);
            QCOMPARE(b.ImageRect().size(), b.Face().deviceIndependentSize().toSize());
            QCOMPARE(Pixels(b.Face()), ExpectedPicture(FaceFile(b), b.ImageRect().size(), ratio));
        });
        for (int i = 1; i <= panel.ImageList1.Count(); ++i) {
            const QPixmap picture = panel.ImageList1.Picture(i);
            QCOMPARE(picture.devicePixelRatio(), ratio);
            QCOMPARE(Pixels(picture),
                     ExpectedPicture(panelImageFiles[static_cast<std::size_t>(i - 1)],
                                     picture.deviceIndependentSize().toSize(), ratio));
        }
        // Master A's lamps lit, master B's dark, all from the picture list.
        QCOMPARE(Pixels(panel.Image2[0].Picture()), Pixels(panel.ImageList1.Picture(38)));
        QCOMPARE(Pixels(panel.Image2[1].Picture()), Pixels(panel.ImageList1.Picture(37)));
        QCOMPARE(Pixels(panel.Image3[0].Picture()), Pixels(panel.ImageList1.Picture(40)));
        QCOMPARE(Pixels(panel.Image3[1].Picture()), Pixels(panel.ImageList1.Picture(39)));
        for (const ImageBox& scale : panel.Image4) {
            QCOMPARE(Pixels(scale.Picture()), Pixels(artwork::LevelScale(ratio)));
        }
        // The face, where no control lies over it.
        const QRect bare = DeviceRect(QRect(0, 0, 36, 130), ratio);
        QCOMPARE(shot.copy(bare), Pixels(artwork::PanelFace(ratio)).copy(bare));
        // The level bars: every line fills the device rows of its place.
        const QColor lit(255, 252, 6);
        const QColor unlit(115, 98, 2);
        for (int m = 0; m < 2; ++m) {
            const QImage bar = panel.Ctlfader1[m].Image();
            QCOMPARE(bar.devicePixelRatio(), ratio);
            QCOMPARE(bar.size(), host::DeviceSize(QSize(14, 61), ratio));
            const Integer level = mirror.panel.masters[static_cast<std::size_t>(m)].level;
            for (int line = 0; line < 30; ++line) {
                const QColor colour = line >= 30 - level ? lit : unlit;
                const QRect rows = DeviceRect(QRect(0, 2 * line, 14, 1), ratio);
                for (const QPoint& p : {rows.topLeft(), rows.bottomRight()}) {
                    QCOMPARE(bar.pixelColor(p), colour);
                }
            }
        }
    }
};

QTEST_MAIN(TestHiDpi)
#include "test_hidpi.moc"
