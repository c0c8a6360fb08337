// What the panel's buttons and timers do: each press is one of the mixer's
// operations (connection/operations.h), asked as the panel's own caller.
#include "panel/frmcontrol.h"

#include "connection/operations.h"
#include "core/state.h"
#include "host/host.h"
#include "serial/serial.h"

#include <limits>
#include <stdexcept>

void FrmControl::ConnectHandlers() {
    for (int i = 0; i < 6; ++i) {
        SSCommand1[i].MouseDown = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand1_MouseDown(static_cast<Integer>(i), b, s, x, y);
        };
    }
    for (int i = 0; i < 7; ++i) {
        SSCommand2[i].MouseDown = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand2_MouseDown(static_cast<Integer>(i), b, s, x, y);
        };
        SSCommand2[i].MouseUp = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand2_MouseUp(static_cast<Integer>(i), b, s, x, y);
        };
    }
    for (int i = 0; i < 2; ++i) {
        SSCommand3[i].MouseDown = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand3_MouseDown(static_cast<Integer>(i), b, s, x, y);
        };
    }
    for (int i = 0; i < 4; ++i) {
        SSCommand4[i].MouseDown = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand4_MouseDown(static_cast<Integer>(i), b, s, x, y);
        };
        SSCommand4[i].MouseUp = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand4_MouseUp(static_cast<Integer>(i), b, s, x, y);
        };
        SSCommand5[i].MouseDown = [this, i](Integer& b, Integer& s, Single& x, Single& y) {
            SSCommand5_MouseDown(static_cast<Integer>(i), b, s, x, y);
        };
        Image5[i].Click = [this, i] { Image5_Click(static_cast<Integer>(i)); };
    }
    Image1.Click = [this] { Image1_Click(); };
    Timer1.SetHandler([this] { Timer1_Timer(); });
    Timer2.SetHandler([this] { Timer2_Timer(); });
}

// The buttons act through the mixer's operations as the panel's own caller:
// what they ask is drawn when the operations announce it (PanelRefresh).
namespace {
engine::MixerOperations* operations = nullptr;
} // namespace

engine::MixerOperations& Operations() {
    if (operations == nullptr) {
        throw std::logic_error("the panel acts or draws before its operations were given");
    }
    return *operations;
}

void SetPanelOperations(engine::MixerOperations* given) {
    operations = given;
}

const PanelState& LastSentState() {
    return Operations().LastSent();
}

const MixerMirror& ReadMirror() {
    return Operations().Mirror();
}

// Input buttons: select one of the mixer's six inputs.
void FrmControl::SSCommand1_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    Operations().SelectInput(engine::panelCaller, Index);
}

// Transport keys: held while pressed.
void FrmControl::SSCommand2_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    Operations().PressTransport(engine::panelCaller, Index);
}

void FrmControl::SSCommand2_MouseUp(Integer Index, Integer&, Integer&, Single&, Single&) {
    if (Index < 0 || Index > 6) {
        return;
    }
    Operations().ReleaseTransport(engine::panelCaller);
}

// Muting buttons of MASTER A and MASTER B.
void FrmControl::SSCommand3_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    Operations().ToggleMute(engine::panelCaller, Index);
}

// Level buttons: a press starts the level motion of master Index / 2, up for
// an even index and down for an odd one; the release stops it. While one is
// held, another is refused (and its release with it).
void FrmControl::SSCommand4_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    Operations().PressLevel(engine::panelCaller, Index / 2, Index % 2 != 0);
}

void FrmControl::SSCommand4_MouseUp(Integer Index, Integer&, Integer&, Single&, Single&) {
    Operations().ReleaseLevel(engine::panelCaller, Index / 2);
}

// Scene radio buttons: recall the scene on the button; the status poll rests
// for the mixer's recall time. A press while a recall waits, or for a code
// that is no scene, is ignored.
void FrmControl::SSCommand5_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    Operations().RecallScene(engine::panelCaller, Index, {});
}

void FrmControl::Image1_Click() {
    host::Beep();
}

void FrmControl::Image5_Click(Integer) {
    host::Beep();
}

void FrmControl::Timer1_Timer() {
    if (panelTimerArmed == 0) {
        panelTimerArmed = flagTrue;
    } else {
        comm().Timer2.SetEnabled(false);
    }
}

// Counts the ticks of the recall wait; the count stops at its largest value
// rather than overflowing.
void FrmControl::Timer2_Timer() {
    if (timer2Ticks < std::numeric_limits<Integer>::max()) {
        ++timer2Ticks;
    }
}
