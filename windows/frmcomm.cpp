#include "windows/frmcomm.h"

#include "connection/connection.h"
#include "core/state.h"
#include "host/scaling.h"
#include "serial/serial.h"
#include "windows/windows.h"

namespace {
host::FormSlot<FrmComm> frmCommSlot;

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
    SizeClientInTwips(*this, clientWidth, clientHeight);
    Frame1[0] = new QGroupBox(QStringLiteral("Send"), this);
    Frame1[1] = new QGroupBox(QStringLiteral("Recive"), this);
    for (std::size_t f = 0; f < Frame1.size(); ++f) {
        PlaceInTwips(*Frame1[f], framePlaces[f]);
    }
    for (std::size_t i = 0; i < List1.size(); ++i) {
        QGroupBox* const frame = Frame1[i / 2];
        Label2[i] = new QLabel(QStringLiteral("Label2"), frame);
        PlaceInTwips(*Label2[i], labelPlaces[i]);
        List1[i] = new QListWidget(frame);
        PlaceInTwips(*List1[i], listPlaces[i]);
        mirrors_[i] = std::make_unique<ListMirror>(commLists[i], *List1[i]);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    PlaceInTwips(*Command1, okPlace);
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
    // The serial control and the timers become this window's.
    CommControls& controls = comm();
    controls.MSComm1.SetOnComm([this](Integer commEvent) { MSComm1_OnComm(commEvent); });
    controls.Timer1.SetHandler([this] { Timer1_Timer(); });
    controls.Timer2.SetHandler([this] { Timer2_Timer(); });
    controls.Timer3.SetHandler([this] { Timer3_Timer(); });
    SetTopLeftTwips(0, 0);
    connection::OpenAtStart();
}

void FrmComm::Form_Activate() {
    setVisible(debugMode == flagTrue);
    connection::FirstContactAtStart();
}

void FrmComm::Form_Unload() {
    connection::Close();
    // Nothing of this window runs any more: the timers and the serial control
    // lose their handlers, the lists their views.
    CommControls& controls = comm();
    controls.Timer1.SetHandler({});
    controls.Timer2.SetHandler({});
    controls.Timer3.SetHandler({});
    controls.MSComm1.SetOnComm({});
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

void FrmComm::MSComm1_OnComm(Integer commEvent) {
    connection::ReceiveStep(commEvent);
}

void FrmComm::Timer1_Timer() {
    connection::ReplyTimerTick();
}

void FrmComm::Timer2_Timer() {
    connection::PollTick();
}

void FrmComm::Timer3_Timer() {
    connection::ReopenTick();
}

void FrmComm::SysInfo1_DeviceArrival(Integer deviceType, Integer, const QString&, Integer) {
    connection::DeviceArrival(deviceType);
}

void FrmComm::SysInfo1_PowerSuspend() {
    connection::PowerSuspend();
}

void FrmComm::SysInfo1_PowerResume() {
    connection::PowerResume();
}
