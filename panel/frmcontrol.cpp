#include "panel/frmcontrol.h"

#include "assets/artwork.h"
#include "assets/bitmapnames.h"
#include "connection/operations.h"
#include "core/state.h"
#include "core/warn.h"
#include "panel/describe.h"
#include "panel/windowicon.h"
#include "protocol/protocol.h"
#include "protocol/replytables.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {
host::FormSlot<FrmControl> frmControlSlot;
std::function<void()> unloadHandler;

// Where the controls sit on the panel, in twips.
constexpr std::array<Place, 6> inputPlaces{{{690, 465, 1200, 315},
                                            {675, 1005, 1200, 315},
                                            {675, 1545, 1200, 315},
                                            {2190, 465, 1200, 315},
                                            {2190, 1005, 1200, 315},
                                            {2190, 1545, 1200, 315}}};
constexpr std::array<Place, 2> mutingPlaces{{{4230, 2145, 1170, 300}, {6390, 2145, 1170, 300}}};
constexpr std::array<Place, 4> levelButtonPlaces{
    {{5340, 870, 375, 315}, {5340, 1500, 375, 315}, {7500, 870, 375, 315}, {7500, 1500, 375, 315}}};
constexpr std::array<Place, 2> faderPlaces{{{4935, 870, 210, 900}, {7080, 870, 210, 900}}};
constexpr std::array<Place, 2> overGainPlaces{{{3975, 870, 465, 345}, {6135, 855, 465, 360}}};
constexpr std::array<Place, 2> mugenPlaces{{{3975, 1575, 465, 210}, {6120, 1590, 465, 210}}};
constexpr std::array<Place, 2> scalePlaces{{{4575, 915, 300, 915}, {6720, 915, 300, 915}}};
constexpr std::array<Place, 4> overlayPlaces{
    {{5325, 855, 405, 345}, {5325, 1485, 405, 345}, {7485, 855, 405, 345}, {7485, 1485, 405, 345}}};
constexpr Place transportAreaPlace{390, 2070, 3075, 480};
// The face's free strip at the bottom, between the maker's name and the
// model line: the link's state while it is not online.
constexpr Place linkIndicatorPlace{5040, 2595, 3150, 195};
constexpr std::array<Place, 6> labelPlaces{{{4365, 435, 1140, 210},
                                            {6480, 435, 1140, 210},
                                            {8850, 555, 1200, 210},
                                            {8850, 1110, 1200, 210},
                                            {8850, 1635, 1200, 210},
                                            {8850, 2175, 1200, 210}}};

const std::array<const char*, 7> transportNames{"prev", "next",    "stop", "rew",
                                                "play", "forward", "pause"};
const std::array<const char*, 2> levelButtonNames{"up", "down"};
const std::array<const char*, 4> radioLetters{"A", "B", "C", "D"};

QString Indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

DesignItem Item(const QString& name, QWidget& widget, const Place& place) {
    DesignItem item;
    item.name = name;
    item.widget = &widget;
    item.left = place.left;
    item.top = place.top;
    item.width = place.width;
    item.height = place.height;
    return item;
}

DesignItem TimerItem(const char* name) {
    DesignItem item;
    item.name = QLatin1String(name);
    return item;
}

// The design properties of a picture button: its three pictures, black text,
// "Arial" 9 points bold.
PropertyBag ButtonDesign(const QString& stem) {
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Caption"), QString());
    bag.WriteProperty(QStringLiteral("Enabled"), true);
    QFont font(QStringLiteral("Arial"), 9);
    font.setBold(true);
    bag.WriteProperty(QStringLiteral("Font"), font);
    bag.WriteProperty(QStringLiteral("ForeColor"), 0u);
    bag.WriteProperty(QStringLiteral("PictureName"), stem + QStringLiteral("_off_off.bmp"));
    bag.WriteProperty(QStringLiteral("PictureDown"), stem + QStringLiteral("_off_press.bmp"));
    bag.WriteProperty(QStringLiteral("PictureDisabled"), stem + QStringLiteral("_off_disable.bmp"));
    return bag;
}
} // namespace

namespace {
// The picture list is the first 46 of the bitmaps, in the list's order and
// spelling. The refresh routines show the lamps by their list images.
constexpr std::size_t listImages = 46;
static_assert(artwork::bitmapNames.size() >= listImages);
static_assert(artwork::bitmapNames[36] == "overgain_off.bmp" &&
              artwork::bitmapNames[37] == "overgain_on.bmp" &&
              artwork::bitmapNames[38] == "mugen_off.bmp" &&
              artwork::bitmapNames[39] == "mugen_on.bmp");

std::array<QString, listImages> ListImageFiles() {
    std::array<QString, listImages> files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string_view name = artwork::bitmapNames[i];
        files[i] = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    return files;
}
} // namespace

const std::array<QString, 46> panelImageFiles = ListImageFiles();

FrmControl& frmControl() {
    return frmControlSlot();
}
bool FrmControlLoaded() {
    return frmControlSlot.IsLoaded();
}
void SetPanelUnloadHandler(std::function<void()> handler) {
    unloadHandler = std::move(handler);
}

void FillPanelImageList() {
    frmControl().FillImageList();
}

Integer FindLevelStep(const Single& level) {
    for (std::size_t i = 0; i < levelTable.size(); ++i) {
        if (level <= levelTable[i]) {
            return static_cast<Integer>(i);
        }
    }
    return 0;
}

FrmControl::FrmControl() : face_(QPixmap::fromImage(artwork::PanelFace(devicePixelRatioF()))) {
    setWindowTitle(QStringLiteral("Ardenix Ver.1.3"));
    GiveProgramIcon(*this);
    // The buttons take the user's locale from here: with a Japanese one their
    // captions keep their own Japanese face.
    setLocale(programSetup.systemState.localeCode == 81 ? QLocale(QLocale::Japanese, QLocale::Japan)
                                                        : QLocale::c());
    QFont windowFont(QStringLiteral("Arial"), 9);
    windowFont.setBold(true);
    setFont(windowFont);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::WindowText, Qt::white);
    setPalette(windowPalette);
    SetFormSize(clientWidthTwips + framePixelsX * 15, clientHeightTwips + framePixelsY * 15);
    PlaceControls();
    ApplyGeometry();
    ConnectHandlers();
    SetUpKeyboard();
    DescribeFixedParts(*this);
    Timer1.SetEnabled(true);
}

void FrmControl::PlaceControls() {
    std::vector<DesignItem>& items = Controls();
    const qreal ratio = devicePixelRatioF();
    const QPixmap scale = QPixmap::fromImage(artwork::LevelScale(ratio));
    // Parenting order is stacking order: what comes later lies above.
    for (int i = 0; i < 2; ++i) {
        Image4[i].setParent(this);
        Image4[i].SetPicture(scale);
        items.push_back(Item(Indexed("Image4", i), Image4[i], scalePlaces[i]));
        items.back().isImage = true;
        // The lamps' pictures stored with the window: both lamps dark.
        Image2[i].setParent(this);
        Image2[i].SetPicture(
            QPixmap::fromImage(artwork::Bitmap(QLatin1String(storedOverGainPicture), ratio)));
        items.push_back(Item(Indexed("Image2", i), Image2[i], overGainPlaces[i]));
        items.back().isImage = true;
        Image3[i].setParent(this);
        Image3[i].SetPicture(
            QPixmap::fromImage(artwork::Bitmap(QLatin1String(storedMugenPicture), ratio)));
        items.push_back(Item(Indexed("Image3", i), Image3[i], mugenPlaces[i]));
        items.back().isImage = true;
        Ctlfader1[i].setParent(this);
        Ctlfader1[i].ReadProperties(PropertyBag{}, font());
        items.push_back(Item(Indexed("Ctlfader1", i), Ctlfader1[i], faderPlaces[i]));
    }
    for (std::size_t slot = 0; slot < LabelArray::indices.size(); ++slot) {
        const int index = LabelArray::indices[slot];
        QLabel& label = Label1[index];
        label.setParent(this);
        label.setAlignment(slot < 2 ? Qt::AlignHCenter | Qt::AlignTop
                                    : Qt::AlignLeft | Qt::AlignTop);
        QPalette labelPalette = label.palette();
        labelPalette.setColor(QPalette::WindowText, Qt::white);
        label.setPalette(labelPalette);
        items.push_back(Item(Indexed("Label1", index), label, labelPlaces[slot]));
    }
    Image1.setParent(this);
    items.push_back(Item(QStringLiteral("Image1"), Image1, transportAreaPlace));
    items.back().isImage = true;

    for (int i = 0; i < 6; ++i) {
        SSCommand1[i].setParent(this);
        SSCommand1[i].ReadProperties(ButtonDesign(QStringLiteral("button")), font());
        items.push_back(Item(Indexed("SSCommand1", i), SSCommand1[i], inputPlaces[i]));
    }
    for (int i = 0; i < 7; ++i) {
        SSCommand2[i].setParent(this);
        SSCommand2[i].ReadProperties(ButtonDesign(QLatin1String(transportNames[i])), font());
        items.push_back(
            Item(Indexed("SSCommand2", i), SSCommand2[i], Place{405 + 435 * i, 2085, 435, 450}));
    }
    for (int i = 0; i < 2; ++i) {
        SSCommand3[i].setParent(this);
        SSCommand3[i].ReadProperties(ButtonDesign(QStringLiteral("muting")), font());
        items.push_back(Item(Indexed("SSCommand3", i), SSCommand3[i], mutingPlaces[i]));
    }
    for (int i = 0; i < 4; ++i) {
        SSCommand4[i].setParent(this);
        SSCommand4[i].ReadProperties(ButtonDesign(QLatin1String(levelButtonNames[i % 2])), font());
        items.push_back(Item(Indexed("SSCommand4", i), SSCommand4[i], levelButtonPlaces[i]));
    }
    for (int i = 0; i < 4; ++i) {
        SSCommand5[i].setParent(this);
        SSCommand5[i].ReadProperties(
            ButtonDesign(QLatin1String(radioLetters[i]) + QStringLiteral("_radio")), font());
        items.push_back(
            Item(Indexed("SSCommand5", i), SSCommand5[i], Place{8430, 465 + 540 * i, 345, 360}));
    }
    for (int i = 0; i < 4; ++i) {
        Image5[i].setParent(this);
        items.push_back(Item(Indexed("Image5", i), Image5[i], overlayPlaces[i]));
        items.back().isImage = true;
    }
    linkIndicator.setParent(this);
    items.push_back(Item(QStringLiteral("LinkIndicator"), linkIndicator, linkIndicatorPlace));
    items.push_back(TimerItem("Timer1"));
    items.push_back(TimerItem("Timer2"));
    items.push_back(TimerItem("ImageList1"));
}

void FrmControl::FillImageList() {
    ImageList1.Clear();
    const qreal ratio = devicePixelRatioF();
    for (const QString& file : panelImageFiles) {
        const QPixmap picture = host::LoadPicture(file, ratio);
        if (picture.isNull()) {
            Warn(QStringLiteral("cannot load the picture \"%1\"").arg(file));
        }
        ImageList1.Add(picture);
    }
}

void FrmControl::Form_Load() {
    // 1. One font object per label, copied from the label font.
    for (std::size_t slot = 0; slot < LabelArray::indices.size(); ++slot) {
        QFont& labelFontObject = labelFonts[slot];
        labelFontObject = QFont(programSetup.labelFont.name);
        labelFontObject.setBold(programSetup.labelFont.bold);
        const int index = LabelArray::indices[slot];
        DesignItem* item = Control(Indexed("Label1", index));
        item->fontSize =
            programSetup.labelFont.pointSize > 0 ? programSetup.labelFont.pointSize : 9.0;
        Label1[index].setFont(labelFontObject);
        item->Apply();
    }
    // 2. The window keeps its pixel size on every screen.
    ScaleForm(*this, 690, 212);
    // 3. The picture list.
    FillImageList();
    // 4. The masters' first levels.
    std::array<Integer, 2> levels{0, 0};
    if (programSetup.systemState.deviceResponding == flagTrue) {
        for (int i = 0; i < 2; ++i) {
            levels[i] = LevelFromCode(FindLevelStep(programSetup.scenes[0].masterLevel[i]));
            Ctlfader1[i].SetValue(levels[i]);
        }
    }
    Operations().ShowFirstLevels(levels);
    // 5. Everything else from the state, and the link's.
    RefreshPanel();
    ShowLinkState(CurrentLinkState());
    // 6. The panel's first timer ends with the load.
    Timer1.SetEnabled(false);
}

void FrmControl::Form_Unload() {
    if (unloadHandler) {
        unloadHandler();
    }
}

// The panel paints before its controls: on a screen of another device pixel
// ratio its pictures are drawn anew first.
void FrmControl::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (!qFuzzyCompare(face_.devicePixelRatio(), ratio)) {
        MatchDeviceRatio(ratio);
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.drawPixmap(0, 0, face_);
}

void FrmControl::showEvent(QShowEvent* event) {
    ScaledForm::showEvent(event);
    if (placedOnScreen_) {
        return;
    }
    placedOnScreen_ = true;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
