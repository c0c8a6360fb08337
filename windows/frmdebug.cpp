#include "windows/frmdebug.h"

#include "core/state.h"
#include "host/scaling.h"
#include "windows/windows.h"

namespace {
host::FormSlot<FrmDebug> frmDebugSlot;

// Label2(0..3) and List1(0..3): sent frames above, received frames below;
// the hex column on the left, the text column on the right.
constexpr std::array<Place, 4> labelPlaces{{
    {270, 195, 4275, 195},
    {4980, 195, 1395, 195},
    {270, 2940, 4275, 195},
    {4980, 2940, 1395, 195},
}};
constexpr std::array<Place, 4> listPlaces{{
    {240, 480, 4575, 2400},
    {4920, 480, 2895, 2400},
    {255, 3225, 4575, 2040},
    {4920, 3225, 2895, 2040},
}};
constexpr Place closePlace{255, 5550, 855, 375};
constexpr Place allStatusPlace{1320, 5520, 1335, 375};
constexpr int clientWidth = 8205;
constexpr int clientHeight = 6150;
} // namespace

FrmDebug& frmDebug() {
    return frmDebugSlot();
}
bool FrmDebugLoaded() {
    return frmDebugSlot.IsLoaded();
}
void UnloadFrmDebug() {
    frmDebugSlot.Unload();
}

FrmDebug::FrmDebug() {
    setWindowTitle(QString());
    SizeClientInTwips(*this, clientWidth, clientHeight);
    for (std::size_t i = 0; i < Label2.size(); ++i) {
        Label2[i] = new QLabel(QStringLiteral("Label2"), this);
        PlaceInTwips(*Label2[i], labelPlaces[i]);
        List1[i] = new QListWidget(this);
        PlaceInTwips(*List1[i], listPlaces[i]);
        mirrors_[i] = std::make_unique<ListMirror>(trafficLists.debug[i], *List1[i]);
    }
    Close = new ColourButton(QStringLiteral("Close"), buttonFaceColor, this);
    PlaceInTwips(*Close, closePlace);
    AllStatus = new ColourButton(QStringLiteral("ALL STATUS"), buttonFaceColor, this);
    PlaceInTwips(*AllStatus, allStatusPlace);
    QObject::connect(Close, &QPushButton::clicked, this, [this] { Close_Click(); });
    QObject::connect(AllStatus, &QPushButton::clicked, this, [this] { AllStatus_Click(); });
}

FrmDebug::~FrmDebug() = default;

void FrmDebug::Form_Load() {
    SetTopLeftTwips(0, 0);
    for (ListBox& list : trafficLists.debug) {
        list.Clear();
    }
}

void FrmDebug::Form_Unload() {
    // A window loaded later takes the lists over; this one no longer follows them.
    for (auto& mirror : mirrors_) {
        mirror->Detach();
    }
}

void FrmDebug::AllStatus_Click() {
    if (programSetup.statusLogFilter != flagFalse) {
        AllStatus->SetBackColor(buttonFaceColor);
        programSetup.statusLogFilter = flagFalse;
    } else {
        AllStatus->SetBackColor(filterOnColor);
        programSetup.statusLogFilter = flagTrue;
    }
}

void FrmDebug::Close_Click() {
    UnloadFrmDebug();
}
