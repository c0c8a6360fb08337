#include "windows/frmcomm.h"

#include "connection/supervisor.h"
#include "core/state.h"
#include "host/scaling.h"
#include "windows/windows.h"

namespace {
host::FormSlot<FrmComm> frmCommSlot;
connection::Supervisor* commSupervisor = nullptr; // the program's, set by its wiring

// Hands an event to the supervisor, when there is one.
template <typename Act> void Tell(Act act) {
    if (commSupervisor) {
        act(*commSupervisor);
    }
}

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
void SetCommSupervisor(connection::Supervisor* supervisor) {
    commSupervisor = supervisor;
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
        mirrors_[i] = std::make_unique<ListMirror>(trafficLists.comm[i], *List1[i]);
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    PlaceInTwips(*Command1, okPlace);
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

FrmComm::~FrmComm() = default;

void FrmComm::Form_Load() {
    SetTopLeftTwips(0, 0);
    Tell([](connection::Supervisor& supervisor) { supervisor.Open(); });
}

void FrmComm::Form_Activate() {
    setVisible(programSetup.debugMode == flagTrue);
    Tell([](connection::Supervisor& supervisor) { supervisor.FirstContact(); });
}

void FrmComm::Form_Unload() {
    Tell([](connection::Supervisor& supervisor) { supervisor.Close(); });
    // Nothing of this window shows any more: the lists lose their views.
    for (auto& mirror : mirrors_) {
        mirror->Detach();
    }
    host::EndProgram();
}

void FrmComm::Command1_Click() {
    UnloadFrmComm();
}

void FrmComm::MSComm1_OnComm(Integer commEvent) {
    Tell([commEvent](connection::Supervisor& supervisor) { supervisor.ReceiveStep(commEvent); });
}

void FrmComm::Timer1_Timer() {
    Tell([](connection::Supervisor& supervisor) { supervisor.ReplyTimerTick(); });
}

void FrmComm::Timer2_Timer() {
    Tell([](connection::Supervisor& supervisor) { supervisor.PollTick(); });
}

void FrmComm::Timer3_Timer() {
    Tell([](connection::Supervisor& supervisor) { supervisor.ReopenTick(); });
}

void FrmComm::SysInfo1_DeviceArrival(Integer deviceType, Integer, const QString&, Integer) {
    Tell(
        [deviceType](connection::Supervisor& supervisor) { supervisor.DeviceArrival(deviceType); });
}

void FrmComm::SysInfo1_PowerSuspend() {
    Tell([](connection::Supervisor& supervisor) { supervisor.PowerSuspend(); });
}

void FrmComm::SysInfo1_PowerResume() {
    Tell([](connection::Supervisor& supervisor) { supervisor.PowerResume(); });
}
