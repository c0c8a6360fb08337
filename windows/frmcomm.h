// The communication window frmComm "通信[Dorvane]": it shows the traffic in
// debug mode. The serial control, the timers and the device and power
// notifications are the connection supervisor's (connection/supervisor.h),
// which holds the logic; the window's handlers keep the design's names and
// hand each event to it.
#pragma once

#include "core/types.h"
#include "host/host.h"
#include "host/listmirror.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <array>
#include <memory>

class FrmComm : public host::HostForm {
public:
    FrmComm();
    ~FrmComm() override;

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
    void Command1_Click();
    void MSComm1_OnComm(Integer commEvent);
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void SysInfo1_DeviceArrival(Integer deviceType, Integer deviceId, const QString& deviceName,
                                Integer deviceData);
    void SysInfo1_PowerSuspend();
    void SysInfo1_PowerResume();

    std::array<QGroupBox*, 2> Frame1{}; // "Send", "Recive"
    std::array<QLabel*, 4> Label2{};
    std::array<QListWidget*, 4> List1{}; // views of trafficLists.comm
    QPushButton* Command1 = nullptr;

private:
    std::array<std::unique_ptr<ListMirror>, 4> mirrors_;
};
