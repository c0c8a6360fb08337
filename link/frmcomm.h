// The communication window frmComm: it carries the serial control and the
// three timers (link/commcontrols.h) and the device and power notifications,
// and its handlers make up the connection's state machine: first contact,
// retransmission and time-out, the status poll, reopening after a loss or a
// suspend, and the end of the program. Visible only in debug mode.
#pragma once

#include "core/host.h"
#include "core/listmirror.h"
#include "core/types.h"
#include "link/devicewatch.h"
#include "link/powerwatch.h"

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
    std::array<QListWidget*, 4> List1{}; // views of commLists
    QPushButton* Command1 = nullptr;

private:
    bool WaitForReply();
    bool MakeFirstContact();
    void HandlePendingArrivals();
    void Reconnect();

    // A first contact or a full status read is under way: a port that
    // arrives meanwhile is remembered, ends the wait under way and is
    // handled once after it, so arrivals never nest inside one another.
    bool connecting_ = false;
    bool arrivalPending_ = false;

    std::array<std::unique_ptr<ListMirror>, 4> mirrors_;
    // SysInfo1: where device arrivals and power notifications come from.
    std::unique_ptr<DeviceWatch> devices_;
    std::unique_ptr<PowerWatch> power_;
};

// The serial control's event of received data.
constexpr Integer comEvReceive = 2;
