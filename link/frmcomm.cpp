#include "link/frmcomm.h"

#include "core/core.h"
#include "core/state.h"
#include "core/twipsgeometry.h"
#include "link/link.h"

namespace {
host::FormSlot<FrmComm> frmCommSlot;

struct Place {
    int left, top, width, height;
};
constexpr int clientWidth = 8205;
constexpr int clientHeight = 6150;
constexpr std::array<Place, 2> framePlaces{{
    {120, 60, 7965, 2760},
    {120, 2880, 7965, 2640},
}};
// Inside the frames: the hex column on the left, the text column on the right.
constexpr std::array<Place, 4> labelPlaces{{
    {150, 270, 4275, 195},
    {4860, 270, 1395, 195},
    {150, 270, 4275, 195},
    {4860, 270, 1395, 195},
}};
constexpr std::array<Place, 4> listPlaces{{
    {120, 495, 4575, 2130},
    {4800, 495, 3045, 2130},
    {120, 495, 4575, 2010},
    {4800, 495, 3045, 2010},
}};
constexpr Place okPlace{6870, 5640, 1215, 375};

void PlaceControl(QWidget& widget, const Place& p) {
    host::PlaceInTwips(widget, p.left, p.top, p.width, p.height);
}

void ClearTrafficLists() {
    for (ListBox& list : commLists) {
        list.Clear();
    }
    for (ListBox& list : debugLists) {
        list.Clear();
    }
}

} // namespace

FrmComm& frmComm() {
    return frmCommSlot();
}
bool FrmCommLoaded() {
    return frmCommSlot.IsLoaded();
}
void UnloadFrmComm() {
    frmCommSlot.Unload();
}

FrmComm::FrmComm() {
    setWindowTitle(QStringLiteral("通信[Dorvane]"));
    host::SizeClientInTwips(*this, clientWidth, clientHeight);
    Frame1[0] = new QGroupBox(QStringLiteral("Send"), this);
    Frame1[1] = new QGroupBox(QStringLiteral("Recive"), this);
    for (std::size_t f = 0; f < Frame1.size(); ++f) {
        PlaceControl(*Frame1[f], framePlaces[f]);
    }
    for (std::size_t i = 0; i < List1.size(); ++i) {
        QGroupBox* const frame = Frame1[i / 2];
        Label2[i] = new QLabel(QStringLiteral("Label2"), frame);
        PlaceControl(*Label2[i], labelPlaces[i]);
        List1[i] = new QListWidget(frame);
        PlaceControl(*List1[i], listPlaces[i]);
        mirrors_[i] = std::make_unique<ListMirror>(commLists[i], *List1[i]);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(*Command1, okPlace);
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    devices_ =
        std::make_unique<DeviceWatch>(DeviceWatch::PortDirectory(), DeviceWatch::PortFileName());
    devices_->SetHandler([this](Integer deviceType, const QString& name) {
        SysInfo1_DeviceArrival(deviceType, 0, name, 0);
    });
    power_ = std::make_unique<PowerWatch>();
    power_->SetSuspendHandler([this] { SysInfo1_PowerSuspend(); });
    power_->SetResumeHandler([this] { SysInfo1_PowerResume(); });
}

FrmComm::~FrmComm() = default;

void FrmComm::Form_Load() {
    SetTopLeftTwips(0, 0);
    ClearTrafficLists();
}

void FrmComm::Form_Activate() {}

void FrmComm::Form_Unload() {
    devices_->SetHandler({});
    power_->SetSuspendHandler({});
    power_->SetResumeHandler({});
    for (auto& mirror : mirrors_) {
        mirror->Detach();
    }
    host::EndProgram();
}

void FrmComm::Command1_Click() {
    UnloadFrmComm();
}

void FrmComm::MSComm1_OnComm(Integer) {}
void FrmComm::Timer1_Timer() {}
void FrmComm::Timer2_Timer() {}
void FrmComm::Timer3_Timer() {}
void FrmComm::SysInfo1_DeviceArrival(Integer, Integer, const QString&, Integer) {}
void FrmComm::SysInfo1_PowerSuspend() {}
void FrmComm::SysInfo1_PowerResume() {}
