// The panel's artwork: the one list of bitmap names that the build, the
// generator and the panel read; the bitmaps drawn at every scale; the choice
// of a bitmap's variant for a device pixel ratio; the program's icon.
#include "assets/artwork.h"
#include "assets/bitmapnames.h"
#include "assets/programicon.h"
#include "controls/ctlfader.h"
#include "host/host.h"
#include "host/pictures.h"
#include "panel/panel.h"

#include <QtTest>

#include <cmath>
#include <functional>

namespace {

QImage Pixels(const QImage& image) {
    QImage pixels = image.convertToFormat(QImage::Format_RGB888);
    pixels.setDevicePixelRatio(1);
    return pixels;
}

QStringList ListedNames() {
    QFile list(
        QDir(QStringLiteral(ARDENIX_SOURCE_DIR)).filePath(QStringLiteral("assets/bitmaps.txt")));
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList names;
    while (!list.atEnd()) {
        const QString line = QString::fromUtf8(list.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            names.append(line);
        }
    }
    return names;
}

// The mean difference per colour between a picture and one `factor` times as
// large taken back to its size by averaging each factor x factor block.
double MeanDifferenceReduced(const QImage& small, const QImage& large, int factor) {
    double sum = 0;
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            double channels[3] = {0, 0, 0};
            for (int dy = 0; dy < factor; ++dy) {
                for (int dx = 0; dx < factor; ++dx) {
                    const QRgb q = large.pixel(factor * x + dx, factor * y + dy);
                    channels[0] += qRed(q);
                    channels[1] += qGreen(q);
                    channels[2] += qBlue(q);
                }
            }
            const double n = factor * factor;
            const QRgb p = small.pixel(x, y);
            sum += std::abs(qRed(p) - channels[0] / n) + std::abs(qGreen(p) - channels[1] / n) +
                   std::abs(qBlue(p) - channels[2] / n);
        }
    }
    return sum / (3.0 * small.width() * small.height());
}

// The share of pixels in which two pictures of one size differ by more than
// `levels` in some colour.
double ShareDiffering(const QImage& a, const QImage& b, int levels) {
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > levels || std::abs(qGreen(p) - qGreen(q)) > levels ||
                std::abs(qBlue(p) - qBlue(q)) > levels) {
                ++differing;
            }
        }
    }
    return static_cast<double>(differing) / (a.width() * a.height());
}

// The share of the factor x factor blocks of a picture whose pixels differ by
// more than `levels` in some colour: 0 for a picture enlarged by repeating
// pixels.
double ShareOfDetailedBlocks(const QImage& image, int factor, int levels) {
    int detailed = 0;
    int blocks = 0;
    for (int y = 0; y + factor <= image.height(); y += factor) {
        for (int x = 0; x + factor <= image.width(); x += factor) {
            ++blocks;
            const QRgb first = image.pixel(x, y);
            bool flat = true;
            for (int dy = 0; dy < factor && flat; ++dy) {
                for (int dx = 0; dx < factor && flat; ++dx) {
                    const QRgb p = image.pixel(x + dx, y + dy);
                    flat = std::abs(qRed(p) - qRed(first)) <= levels &&
                           std::abs(qGreen(p) - qGreen(first)) <= levels &&
                           std::abs(qBlue(p) - qBlue(first)) <= levels;
                }
            }
            detailed += flat ? 0 : 1;
        }
    }
    return blocks == 0 ? 0 : static_cast<double>(detailed) / blocks;
}

// A red picture `scale` times the size `size` with a white diagonal, and a
// mark of `mark` in its top right pixel: at scale 2 and 3 the variant of the
// picture at scale 1 (mark and fill red), a mark telling it apart.
void WritePicture(const QString& path, const QSize& size, int scale, const QColor& mark = Qt::red,
                  const QColor& fill = Qt::red) {
    QImage image(size * scale, QImage::Format_RGB888);
    image.fill(fill);
    for (int i = 0; i < std::min(size.width(), size.height()); ++i) {
        for (int d = 0; d < scale * scale; ++d) {
            image.setPixelColor(i * scale + d % scale, i * scale + d / scale, Qt::white);
        }
    }
    image.setPixelColor(image.width() - 1, 0, mark);
    QVERIFY(image.save(path, "BMP"));
}

void SetModified(const QString& path, const QDateTime& time) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

int DistinctColours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            colours.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(colours.size());
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void init() { host::SetProgramDirectory(qEnvironmentVariable("ARDENIX_BIN_DIR")); }

    // The build's list, the generator's and the panel's are the one in
    // assets/bitmaps.txt; the build wrote exactly its files.
    void oneListOfBitmapNames() {
        const QStringList listed = ListedNames();
        QCOMPARE(listed.size(), 67);
        QCOMPARE(static_cast<qsizetype>(artwork::bitmapNames.size()), listed.size());
        QStringList lower;
        for (qsizetype i = 0; i < listed.size(); ++i) {
            const std::string_view name = artwork::bitmapNames[static_cast<std::size_t>(i)];
            QCOMPARE(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                     listed[i]);
            lower.append(listed[i].toLower());
        }
        QCOMPARE(artwork::BitmapNames(), lower);
        QCOMPARE(lower.removeDuplicates(), 0);
        // The panel's picture list: the first 46, as spelled in the list.
        for (std::size_t i = 0; i < panelImageFiles.size(); ++i) {
            QCOMPARE(panelImageFiles[i], listed[static_cast<qsizetype>(i)]);
        }
        QCOMPARE(panelImageFiles[36], QStringLiteral("overgain_off.bmp"));
        QCOMPARE(panelImageFiles[39], QStringLiteral("mugen_on.bmp"));
        // Beside the program: each in lower case with its variants, nothing else.
        QStringList expected;
        for (const QString& name : lower) {
            expected.append(name);
            for (const int scale : artwork::variantScales) {
                expected.append(host::VariantName(name, scale));
            }
        }
        expected.sort();
        const QStringList written =
            QDir(host::ProgramDirectory())
                .entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
        QCOMPARE(written, expected);
    }

    // The files are the drawings: the bitmap at scale 1, each variant drawn
    // at its scale, 24-bit, at exactly that many times the size.
    void bitmapsOnDiskAreTheDrawings() {
        const QDir directory(host::ProgramDirectory());
        for (const QString& name : artwork::BitmapNames()) {
            const QImage drawn = artwork::Bitmap(name);
            QVERIFY2(!drawn.isNull(), qPrintable(name));
            QCOMPARE(drawn.devicePixelRatio(), 1.0);
            QCOMPARE(Pixels(QImage(directory.filePath(name))), Pixels(drawn));
            for (const int scale : artwork::variantScales) {
                const QString variant = host::VariantName(name, scale);
                const QImage fine = artwork::Bitmap(name, scale);
                QCOMPARE(fine.size(), drawn.size() * scale);
                QCOMPARE(fine.devicePixelRatio(), static_cast<qreal>(scale));
                QCOMPARE(fine.deviceIndependentSize(), QSizeF(drawn.size()));
                QFile file(directory.filePath(variant));
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(variant));
                QCOMPARE(static_cast<int>(file.read(30)[28]), 24);
                QCOMPARE(Pixels(QImage(directory.filePath(variant))), Pixels(fine));
                // ... and taken for its ratio: it is like its bitmap.
                QCOMPARE(host::PictureAtRatio(directory.filePath(name), scale).source,
                         directory.filePath(variant));
            }
        }
        QVERIFY(artwork::Bitmap(QStringLiteral("Button_On_Press.BMP")) ==
                artwork::Bitmap(QStringLiteral("button_on_press.bmp")));
        QVERIFY(artwork::Bitmap(QStringLiteral("missing.bmp")).isNull());
    }

    // Drawn finer, every picture looks as it does at scale 1 (taken back to
    // scale 1 it is nearly the same), and its lettering, symbols and edges
    // carry detail that the scale-1 picture enlarged lacks.
    void finerDrawingsKeepTheLook() {
        struct Picture {
            QString name;
            QImage single;
            std::function<QImage(int)> draw;
        };
        std::vector<Picture> pictures;
        for (const QString& name : artwork::BitmapNames()) {
            pictures.push_back({name, artwork::Bitmap(name),
                                [name](int scale) { return artwork::Bitmap(name, scale); }});
        }
        pictures.push_back({QStringLiteral("face"), artwork::PanelFace(),
                            [](int scale) { return artwork::PanelFace(scale); }});
        pictures.push_back({QStringLiteral("level scale"), artwork::LevelScale(),
                            [](int scale) { return artwork::LevelScale(scale); }});
        double worst = 0;
        for (const Picture& picture : pictures) {
            const QImage single = Pixels(picture.single);
            for (const int scale : {2, 3}) {
                const QImage fine = Pixels(picture.draw(scale));
                const double mean = MeanDifferenceReduced(single, fine, scale);
                worst = std::max(worst, mean);
                QVERIFY2(
                    mean < 8,
                    qPrintable(
                        QStringLiteral("%1 at %2: %3").arg(picture.name).arg(scale).arg(mean)));
            }
        }
        qInfo("drawn at 2 and 3, taken back to 1: mean difference at most %.2f levels", worst);
        // Lettering, symbols and edges: finer than whole pixels of scale 1.
        // An enlargement is made of flat 2 x 2 blocks; the finer drawing is not.
        for (const char* name : {"overgain_on.bmp", "mugen_on.bmp", "muting_on_press.bmp",
                                 "a_radio_on_off.bmp", "play_off_off.bmp", "up_off_off.bmp"}) {
            const QImage single = Pixels(artwork::Bitmap(QLatin1String(name)));
            const QImage fine = Pixels(artwork::Bitmap(QLatin1String(name), 2));
            const QImage enlarged =
                single.scaled(fine.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
            const double differing = ShareDiffering(fine, enlarged, 8);
            const double detailed = ShareOfDetailedBlocks(fine, 2, 8);
            qInfo("%s at 2: %.1f%% of the pixels differ from the enlargement, %.1f%% of the "
                  "2 x 2 blocks are not flat",
                  name, 100 * differing, 100 * detailed);
            QCOMPARE(ShareOfDetailedBlocks(enlarged, 2, 8), 0.0);
            QVERIFY2(detailed > 0.02, name);
        }
    }

    void variantScaleAndName() {
        const std::vector<std::pair<qreal, std::vector<int>>> cases{
            {0.5, {}},  {1.0, {}},      {1.25, {2}},   {1.5, {2}},
            {2.0, {2}}, {2.25, {3, 2}}, {3.0, {3, 2}}, {4.0, {4, 3, 2}}};
        for (const auto& [ratio, scales] : cases) {
            QCOMPARE(host::VariantScales(ratio), scales);
        }
        QCOMPARE(host::VariantName(QStringLiteral("Button_on_press.bmp"), 2),
                 QStringLiteral("Button_on_press@2x.bmp"));
        QCOMPARE(host::VariantName(QStringLiteral("a.b.bmp"), 3), QStringLiteral("a.b@3x.bmp"));
        QCOMPARE(host::VariantName(QStringLiteral("plain"), 2), QStringLiteral("plain@2x"));
        QCOMPARE(host::VariantName(QStringLiteral("x.bmp"), 1), QStringLiteral("x.bmp"));
        QCOMPARE(host::DeviceSize(QSize(80, 21), 1.5), QSize(120, 32));
        QCOMPARE(host::DeviceSize(QSize(80, 21), 1.25), QSize(100, 26));
    }

    // A variant is taken when it is as new as its bitmap or newer, of its
    // scale's size and like the bitmap; otherwise the bitmap, scaled smoothly.
    void variantChosenOnlyWhenItFits() {
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const QString bitmap = directory.filePath(QStringLiteral("key.bmp"));
        const QString variant = directory.filePath(QStringLiteral("key@2x.bmp"));
        WritePicture(bitmap, {10, 8}, 1);
        WritePicture(variant, {10, 8}, 2, Qt::blue);
        const QDateTime built = QDateTime::currentDateTime().addSecs(-60);
        SetModified(bitmap, built);
        SetModified(variant, built);

        // As new: the variant, at its own pixels at 2, taken down at 1.5.
        host::RatioPicture picture = host::PictureAtRatio(bitmap, 2);
        QCOMPARE(picture.source, variant);
        QCOMPARE(picture.image.devicePixelRatio(), 2.0);
        QCOMPARE(Pixels(picture.image), Pixels(QImage(variant)));
        picture = host::PictureAtRatio(bitmap, 1.5);
        QCOMPARE(picture.source, variant);
        QCOMPARE(picture.image.size(), QSize(15, 12));
        QCOMPARE(picture.image.devicePixelRatio(), 1.5);
        // At 3 without a variant at 3: the one at 2, taken up smoothly.
        picture = host::PictureAtRatio(bitmap, 3);
        QCOMPARE(picture.source, variant);
        QCOMPARE(picture.image.size(), QSize(30, 24));

        // The bitmap replaced after the build: the user's bitmap, smoothly.
        SetModified(bitmap, built.addSecs(30));
        picture = host::PictureAtRatio(bitmap, 2);
        QCOMPARE(picture.source, bitmap);
        QCOMPARE(picture.image.size(), QSize(20, 16));
        QCOMPARE(picture.image.devicePixelRatio(), 2.0);
        QCOMPARE(picture.image.pixelColor(19, 15), QColor(Qt::red));
        QVERIFY(picture.image.pixelColor(19, 0) != QColor(Qt::blue));
        QVERIFY(DistinctColours(Pixels(picture.image)) > 2); // smooth, not pixel-doubled
        // A newer variant is taken again; one of another size never.
        SetModified(variant, built.addSecs(40));
        QCOMPARE(host::PictureAtRatio(bitmap, 2).source, variant);
        WritePicture(variant, {11, 8}, 2, Qt::blue);
        QCOMPARE(host::PictureAtRatio(bitmap, 2).source, bitmap);
        // Another picture of the right size and newer (a bitmap replaced by
        // one with an old date, say): not like the bitmap, never taken.
        WritePicture(variant, {10, 8}, 2, Qt::blue, Qt::green);
        QCOMPARE(host::PictureAtRatio(bitmap, 2).source, bitmap);
        // No variant at all; ratio 1; an unreadable bitmap.
        QVERIFY(QFile::remove(variant));
        picture = host::PictureAtRatio(bitmap, 3);
        QCOMPARE(picture.source, bitmap);
        QCOMPARE(picture.image.size(), QSize(30, 24));
        picture = host::PictureAtRatio(bitmap, 1);
        QCOMPARE(picture.image.size(), QSize(10, 8));
        QCOMPARE(picture.image.devicePixelRatio(), 1.0);
        QVERIFY(
            host::PictureAtRatio(directory.filePath(QStringLiteral("none.bmp")), 2).image.isNull());
    }

    // The panel's loader finds the variant beside the bitmap without regard
    // to letter case, and keeps its old answer at ratio 1.
    void loadPictureTakesTheVariant() {
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        WritePicture(directory.filePath(QStringLiteral("lamp_on.bmp")), {6, 4}, 1);
        WritePicture(directory.filePath(QStringLiteral("LAMP_ON@3X.BMP")), {6, 4}, 3, Qt::green);
        host::SetProgramDirectory(directory.path());
        const QPixmap single = host::LoadPicture(QStringLiteral("Lamp_On.bmp"));
        QCOMPARE(single.size(), QSize(6, 4));
        QCOMPARE(single.devicePixelRatio(), 1.0);
        const QPixmap fine = host::LoadPicture(QStringLiteral("Lamp_On.bmp"), 3);
        QCOMPARE(fine.size(), QSize(18, 12));
        QCOMPARE(fine.devicePixelRatio(), 3.0);
        QCOMPARE(fine.toImage().pixelColor(17, 0), QColor(Qt::green));
        // No @2x variant: the bitmap, smoothly, at 1.5.
        const QPixmap between = host::LoadPicture(QStringLiteral("lamp_on.bmp"), 1.5);
        QCOMPARE(between.size(), QSize(9, 6));
        QCOMPARE(between.devicePixelRatio(), 1.5);
        QCOMPARE(between.toImage().pixelColor(8, 5), QColor(Qt::red));
        QVERIFY(host::LoadPicture(QStringLiteral("absent.bmp"), 2).isNull());
    }

    // The level bar's background at a ratio: its 61 rows one after the other,
    // each over whole device rows, as many as its place covers (one or two at
    // 1.25 and 1.5, exactly two at 2, three at 3).
    void faderBackgroundAtRatios() {
        const QImage single = Ctlfader::BackgroundPicture();
        for (const qreal ratio : {1.25, 1.5, 2.0, 3.0}) {
            const QImage fine = Ctlfader::BackgroundPicture(ratio);
            QCOMPARE(fine.devicePixelRatio(), ratio);
            QCOMPARE(fine.size(), host::DeviceSize(single.size(), ratio));
            // Rows of one colour across, in runs of one colour down.
            QList<QColor> runs;
            QList<int> lengths;
            for (int y = 0; y < fine.height(); ++y) {
                const QColor colour = fine.pixelColor(0, y);
                QCOMPARE(fine.pixelColor(fine.width() - 1, y), colour);
                if (runs.isEmpty() || runs.back() != colour) {
                    runs.append(colour);
                    lengths.append(0);
                }
                ++lengths.back();
            }
            QCOMPARE(runs.size(), single.height());
            for (int row = 0; row < single.height(); ++row) {
                QCOMPARE(runs[row], single.pixelColor(0, row));
                QVERIFY(lengths[row] == std::floor(ratio) || lengths[row] == std::ceil(ratio));
            }
        }
    }

    // The icon theme's icon when it has one, else the drawn icon.
    void programIcon() {
        const QIcon drawn = artwork::DrawnProgramIcon();
        for (const int size : {16, 32, 48, 256}) {
            QVERIFY(drawn.availableSizes().contains(QSize(size, size)));
            const QImage image = drawn.pixmap(size, size).toImage();
            QVERIFY(DistinctColours(image) > 3);
            QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
        }
        QTemporaryDir themes;
        QVERIFY(themes.isValid());
        const QDir theme(themes.filePath(QStringLiteral("testtheme")));
        QVERIFY(QDir().mkpath(theme.filePath(QStringLiteral("32x32/apps"))));
        QFile index(theme.filePath(QStringLiteral("index.theme")));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=testtheme\nDirectories=32x32/apps\n\n"
                    "[32x32/apps]\nSize=32\nType=Fixed\n");
        index.close();
        QImage installed(32, 32, QImage::Format_ARGB32);
        installed.fill(Qt::magenta);
        QVERIFY(
            installed.save(theme.filePath(QStringLiteral("32x32/apps/org.ardenix.Ardenix.png"))));
        const QStringList searchPaths = QIcon::themeSearchPaths();
        const QString themeName = QIcon::themeName();
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName(QStringLiteral("testtheme"));
        const QImage shown = artwork::ProgramIcon().pixmap(32, 32).toImage();
        QIcon::setThemeName(QStringLiteral("no-such-theme"));
        const QImage fallback = artwork::ProgramIcon().pixmap(32, 32).toImage();
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(themeName);
        QCOMPARE(shown.pixelColor(16, 16), QColor(Qt::magenta));
        QCOMPARE(Pixels(fallback), Pixels(drawn.pixmap(32, 32).toImage()));
    }
};

QTEST_MAIN(TestArtwork)
#include "test_artwork.moc"
