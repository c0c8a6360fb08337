// Drawing the mixer's state on the main panel: in full after a full status
// read, by difference after a status poll, and group by group for the
// panel's own handlers.
#include "panel/frmcontrol.h"
#include "panel/panel.h"

#include "controls/olecolor.h"
#include "core/state.h"
#include "panel/describe.h"

namespace {
constexpr OleColor white = OleRgb(255, 255, 255);
constexpr OleColor black = OleRgb(0, 0, 0);

const std::array<QString, 4> radioOnPictures{
    QStringLiteral("A_radio_on_press.bmp"), QStringLiteral("B_radio_on_press.bmp"),
    QStringLiteral("C_radio_on_press.bmp"), QStringLiteral("D_radio_on_press.bmp")};
const std::array<QString, 4> radioOffPictures{
    QStringLiteral("A_radio_off_off.bmp"), QStringLiteral("B_radio_off_off.bmp"),
    QStringLiteral("C_radio_off_off.bmp"), QStringLiteral("D_radio_off_off.bmp")};

// List images of the lamps.
constexpr int overGainOffImage = 37;
constexpr int overGainOnImage = 38;
constexpr int mugenOffImage = 39;
constexpr int mugenOnImage = 40;

const MasterSection& Master(Integer i) {
    return ReadMirror().panel.masters.at(static_cast<std::size_t>(i));
}
const MasterSection& SyncedMaster(Integer i) {
    return LastSentState().masters.at(static_cast<std::size_t>(i));
}

// The scene buttons' names, with "recalled" where the button is lit.
void DescribeScenes(FrmControl& form) {
    for (std::size_t k = 0; k < 4; ++k) {
        DescribeScene(form, static_cast<int>(k),
                      form.SSCommand5[k].PictureName() == radioOnPictures[k]);
    }
}
} // namespace

void RefreshPanel() {
    FrmControl& form = frmControl();
    const MixerMirror& mirror = ReadMirror();
    for (std::size_t k = 0; k < 6; ++k) {
        form.SSCommand1[k].SetCaption(mirror.panel.inputs[k].name.Trimmed());
    }
    form.panelSelectedInput = -1;
    if (mirror.panel.selectedInput != -1) {
        ShowSelectedInput(mirror.panel.selectedInput);
    }
    DescribeInputs(form);
    for (Integer i = 0; i < 2; ++i) {
        form.Label1[i].setText(Master(i).name.Trimmed());
        form.Ctlfader1[static_cast<std::size_t>(i)].SetValue(Master(i).level);
        ShowMuting(i);
    }
    for (int k = 0; k < 4; ++k) {
        form.Label1[10 + k].setText(mirror.sceneNames[static_cast<std::size_t>(k)].ToQString());
    }
    form.radioPressed = 0;
    if (mirror.panel.recall != 0) {
        ShowRadioButtons(static_cast<Integer>(mirror.panel.recall - 1));
    }
    DescribeScenes(form);
}

// What differs from what was last sent or reported is drawn anew; the
// operations, which hear the status after the panel, then count it as in step.
void RefreshFromStatus(Integer kind) {
    if (kind != Value(RequestKind::Status)) {
        return;
    }
    FrmControl& form = frmControl();
    const PanelState& panel = ReadMirror().panel;
    const PanelState& sent = LastSentState();
    for (Integer i = 0; i < 2; ++i) {
        ShowOverGain(i);
        ShowMugen(i);
        form.Ctlfader1[static_cast<std::size_t>(i)].SetValue(Master(i).level);
    }
    if (panel.recall != sent.recall) {
        Integer argument = form.radioPressed;
        if (panel.recall == 0) {
            argument = 4;
        } else if (panel.recall >= 1 && panel.recall <= 20) {
            argument = static_cast<Integer>(panel.recall - 1);
        }
        ShowRadioButtons(argument);
    }
    if (panel.selectedInput != sent.selectedInput) {
        ShowSelectedInput(panel.selectedInput);
    }
    for (Integer i = 0; i < 2; ++i) {
        if (Master(i).muted != SyncedMaster(i).muted) {
            ShowMuting(i);
        }
    }
}

void ShowSelectedInput(Integer index) {
    FrmControl& form = frmControl();
    if (form.panelSelectedInput >= 0 && form.panelSelectedInput <= 5) {
        SSCommand& previous = form.SSCommand1[static_cast<std::size_t>(form.panelSelectedInput)];
        previous.SetPictureName(QStringLiteral("Button_off_off.bmp"));
        previous.SetForeColor(white);
    }
    bool transportEnabled = true;
    if (index < 0 || index > 5) {
        form.panelSelectedInput = -1;
    } else {
        SSCommand& selected = form.SSCommand1[static_cast<std::size_t>(index)];
        selected.SetPictureName(QStringLiteral("Button_on_press.bmp"));
        selected.SetForeColor(black);
        form.panelSelectedInput = index;
        transportEnabled = ReadMirror().panel.inputs[static_cast<std::size_t>(index)].status != -1;
    }
    if (programSetup.systemState.deviceResponding == flagTrue) {
        for (SSCommand& key : form.SSCommand2) {
            key.SetEnabled(transportEnabled);
        }
    }
    DescribeInputs(form);
}

void ShowMuting(Integer master) {
    FrmControl& form = frmControl();
    const MasterSection& section = Master(master);
    if (section.muted == flagTrue) {
        form.SSCommand3.at(static_cast<std::size_t>(master))
            .SetPictureName(QStringLiteral("Muting_on_press.bmp"));
    } else if (section.muted == flagFalse) {
        form.SSCommand3.at(static_cast<std::size_t>(master))
            .SetPictureName(QStringLiteral("Muting_off_off.bmp"));
    }
    for (int b = 0; b < 2; ++b) {
        const std::size_t n = static_cast<std::size_t>(2 * master + b);
        SSCommand& button = form.SSCommand4[n];
        if (section.muted != 0) {
            form.Image5[n].SetVisible(true);
            if (button.Enabled()) {
                button.SetEnabled(false);
            }
        } else {
            form.Image5[n].SetVisible(false);
            if (!button.Enabled()) {
                button.SetEnabled(true);
            }
        }
    }
    DescribeMuting(form, master);
}

void ShowRadioButtons(Integer index) {
    FrmControl& form = frmControl();
    if (form.radioPressed == index + 1) {
        form.radioPressed = 0;
        return;
    }
    form.radioPressed = static_cast<Integer>(index + 1);
    for (std::size_t k = 0; k < 4; ++k) {
        const bool lit = programSetup.sceneSetup.sceneNumbers[k] == ReadMirror().panel.recall;
        form.SSCommand5[k].SetPictureName(lit ? radioOnPictures[k] : radioOffPictures[k]);
    }
    DescribeScenes(form);
}

void ShowOverGain(Integer master) {
    FrmControl& form = frmControl();
    const bool on = Master(master).lamps[overGain] == flagTrue;
    form.Image2.at(static_cast<std::size_t>(master))
        .SetPicture(form.ImageList1.Picture(on ? overGainOnImage : overGainOffImage));
    DescribeLamps(form, master);
}

void ShowMugen(Integer master) {
    FrmControl& form = frmControl();
    const bool on = Master(master).lamps[mugen] == flagTrue;
    form.Image3.at(static_cast<std::size_t>(master))
        .SetPicture(form.ImageList1.Picture(on ? mugenOnImage : mugenOffImage));
    DescribeLamps(form, master);
}

// What a caller asked is drawn at once, by whichever caller it was.
void PanelRefresh::ControlOperated(OperatedControl control, int index) {
    switch (control) {
    case OperatedControl::Input:
        ShowSelectedInput(index);
        break;
    case OperatedControl::Muting:
        ShowMuting(index);
        break;
    case OperatedControl::Scene:
        ShowRadioButtons(index);
        break;
    }
}

void RaisePanel() {
    if (!FrmControlLoaded()) {
        return;
    }
    FrmControl& panel = frmControl();
    panel.setWindowState((panel.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    panel.show();
    panel.raise();
    panel.activateWindow();
}

void ShowLinkState(LinkState state) {
    if (FrmControlLoaded()) {
        frmControl().ShowLinkState(state);
    }
}

// While the link is not online what the panel shows may be out of date: it
// says so in the face's free strip and dims the level bars. The buttons
// stay as they are and still act.
void FrmControl::ShowLinkState(LinkState state) {
    linkIndicator.Show(state);
    for (Ctlfader& bar : Ctlfader1) {
        bar.SetDimmed(state != LinkState::Online);
    }
    DescribeLink(*this, state);
}
