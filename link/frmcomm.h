// The communication window frmComm: it carries the serial control and the
// three timers (link/commcontrols.h) and its handlers make up the connection's
// state machine. Visible only in debug mode.
#pragma once

#include "core/host.h"

class FrmComm : public host::HostForm {
public:
    FrmComm();

    void Form_Load() override;
    void Form_Activate() override;
    void Form_Unload() override;
};
