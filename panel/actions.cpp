// What the panel's buttons and timers do: each press changes the panel state,
// redraws its buttons and hands the change to the change queue as one
// command; the level buttons keep the status poll running, a scene recall
// holds it for the mixer's recall time.
#include "panel/frmcontrol.h"

#include "core/hostfacts.h"
#include "core/state.h"
#include "host/host.h"
#include "protocol/protocol.h"
#include "serial/serial.h"

#include <QPointer>

#include <limits>

namespace {
constexpr Integer maxPendingSteps = 42;
constexpr Integer topLevel = 30;
// Panel Timer2 ticks every 250 ms: three ticks give the mixer about 750 ms to
// recall a scene.
constexpr Integer recallWaitTicks = 3;
} // namespace

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

// Input buttons: select one of the mixer's six inputs.
void FrmControl::SSCommand1_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    ShowSelectedInput(Index);
    if (panelSelectedInput != panelState.selectedInput) {
        panelState.selectedInput = panelSelectedInput;
        MarkChange(CommandKind::Select);
        SendPendingChange();
    }
}

// Transport keys: held while pressed.
void FrmControl::SSCommand2_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    if (Index < 0 || Index > 6) {
        return;
    }
    panelState.transportKey = Index;
    MarkChange(CommandKind::Transport);
    SendPendingChange();
}

void FrmControl::SSCommand2_MouseUp(Integer Index, Integer&, Integer&, Single&, Single&) {
    if (Index < 0 || Index > 6) {
        return;
    }
    panelState.transportKey = -1;
    MarkChange(CommandKind::Transport);
    SendPendingChange();
}

// Muting buttons of MASTER A and MASTER B.
void FrmControl::SSCommand3_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    MasterSection& master = panelState.masters.at(static_cast<std::size_t>(Index));
    master.muted = NotFlag(master.muted);
    ShowMuting(Index);
    MarkChange(CommandKind::Mute);
    SendPendingChange();
}

// Level buttons: a press starts the level motion of master Index / 2, up for
// an even index and down for an odd one; the release stops it.
void FrmControl::SSCommand4_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    panelState.masters[0].pendingSteps = 0;
    panelState.masters[1].pendingSteps = 0;
    MasterSection& master = panelState.masters.at(static_cast<std::size_t>(Index / 2));
    if (Index % 2 == 0) {
        if (master.level <= topLevel && master.pendingSteps <= maxPendingSteps) {
            ++master.pendingSteps;
            MarkChange(CommandKind::LevelUp);
        }
    } else if (master.level >= 0 && master.pendingSteps >= -maxPendingSteps) {
        --master.pendingSteps;
        MarkChange(CommandKind::LevelDown);
    }
    SendPendingChange();
    comm().Timer2.SetEnabled(true);
}

void FrmControl::SSCommand4_MouseUp(Integer Index, Integer&, Integer&, Single&, Single&) {
    MasterSection& master = panelState.masters.at(static_cast<std::size_t>(Index / 2));
    if (Index % 2 == 0) {
        if (master.level <= topLevel && master.pendingSteps <= maxPendingSteps) {
            ++master.pendingSteps;
            MarkChange(CommandKind::LevelStop);
        }
    } else if (master.level >= 0 && master.pendingSteps >= -maxPendingSteps) {
        --master.pendingSteps;
        MarkChange(CommandKind::LevelStop);
    }
    SendPendingChange();
    comm().Timer2.SetEnabled(true);
}

// Scene radio buttons: recall the scene on the button, then give the mixer
// about 750 ms with the status poll held. The window stays live meanwhile. A
// press while a recall waits, or for a code that is no scene, is ignored.
void FrmControl::SSCommand5_MouseDown(Integer Index, Integer&, Integer&, Single&, Single&) {
    if (recallWaitRunning_) {
        return;
    }
    const Integer code = sceneSetup.sceneNumbers.at(static_cast<std::size_t>(Index));
    if (code < firstSceneCode || code > lastSceneCode) {
        return;
    }
    if (sceneSetup.sceneBlocked[static_cast<std::size_t>(code - firstSceneCode)] != 0) {
        return;
    }
    panelState.recall = code;
    ShowRadioButtons(Index);
    comm().Timer2.SetEnabled(false);
    MarkChange(CommandKind::Recall);
    SendPendingChange();

    recallWaitRunning_ = true;
    Timer2.SetEnabled(true);
    const QPointer<FrmControl> self(this);
    host::WaitUntil(
        [&self] { return !self || host::ProgramEnding() || timer2Ticks == recallWaitTicks; });
    if (!self) {
        return; // the window was unloaded during the wait
    }
    timer2Ticks = 0;
    Timer2.SetEnabled(false);
    recallWaitRunning_ = false;
    if (!host::ProgramEnding()) {
        comm().Timer2.SetEnabled(true);
    }
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
