// The main panel frmControl: the picture of the mixer's front panel with its
// working elements laid over it at fixed places: six input buttons, seven
// transport keys, four scene radio buttons, two master sections (level bar, up
// and down buttons, muting button, over-gain and mugen lamps) and six labels.
// Over the face's free strip at the bottom it shows the link's state while
// the link is not online. The keys of panel/keymap.h work its buttons while
// the window is active; Tab and Shift+Tab move the focus over them.
#pragma once

#include "controls/ctlfader.h"
#include "controls/keyholds.h"
#include "controls/sscommand.h"
#include "core/observers.h"
#include "core/types.h"
#include "host/host.h"
#include "host/scaling.h"
#include "panel/imagebox.h"
#include "panel/keymap.h"
#include "panel/labelarray.h"
#include "panel/linkindicator.h"
#include "panel/panel.h"

#include <QFont>
#include <QPixmap>
#include <QPointer>

#include <array>

class FrmControl : public ScaledForm {
public:
    static constexpr int clientWidthTwips = 10260; // 684 pixels
    static constexpr int clientHeightTwips = 2805; // 187 pixels

    FrmControl();

    void Form_Load() override;
    void Form_Unload() override;

    // Empties ImageList1 and adds the 46 pictures of panelImageFiles.
    void FillImageList();

    // The controls, bottom of the stacking order first.
    std::array<ImageBox, 2> Image4; // the level scale beside each level bar
    std::array<ImageBox, 2> Image2; // over-gain lamps
    std::array<ImageBox, 2> Image3; // mugen lamps
    std::array<Ctlfader, 2> Ctlfader1;
    LabelArray Label1;
    ImageBox Image1;                     // the area around the transport keys
    std::array<SSCommand, 6> SSCommand1; // inputs
    std::array<SSCommand, 7> SSCommand2; // transport keys
    std::array<SSCommand, 2> SSCommand3; // muting
    std::array<SSCommand, 4> SSCommand4; // level up/down: index 2m + (1 for down)
    std::array<SSCommand, 4> SSCommand5; // scene radio buttons A..D
    std::array<ImageBox, 4> Image5;      // overlays over the level buttons of a muted master
    LinkIndicator linkIndicator;         // the link's state, while it is not online
    host::Timer Timer1{100};
    host::Timer Timer2{250};
    host::ImageList ImageList1;

    // What the panel itself last drew, apart from the mixer's state: the input
    // button shown selected (0..5, -1 none), the scene radio button last lit
    // (its index + 1, 0 none), whether Timer1 has ticked once since it was
    // armed, and the ticks of Timer2.
    Integer panelSelectedInput = -1;
    Integer radioPressed = 0;
    Flag panelTimerArmed = flagFalse;
    Integer timer2Ticks = 0;

    // The six label fonts, one font object per label (0, 1, 10..13 in order).
    std::array<QFont, 6> labelFonts;

    // Handlers.
    void SSCommand1_MouseDown(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void SSCommand2_MouseDown(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void SSCommand2_MouseUp(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void SSCommand3_MouseDown(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void SSCommand4_MouseDown(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void SSCommand4_MouseUp(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void SSCommand5_MouseDown(Integer Index, Integer& Button, Integer& Shift, Single& X, Single& Y);
    void Image1_Click();
    void Image5_Click(Integer Index);
    void Timer1_Timer();
    void Timer2_Timer();

    // The picture button of a group, by its index in the group's array.
    SSCommand& Button(ButtonGroup group, int index);
    // Shows the link's state: while it is not online, the indication in the
    // face's free strip and the level bars dimmed (panel/refresh.cpp).
    void ShowLinkState(LinkState state);
    // The number of the panel's keys held down now (panel/keyboard.cpp).
    // (A key's release lets go of its button after KeyHolds::graceMs.)
    int HeldKeyCount() const { return keyHolds_.Count(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // The window's menu: "Remote…" (panel/remote.cpp).
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void PlaceControls();
    void ConnectHandlers();
    // Tab's order over the buttons, and the keys' tooltips (panel/keyboard.cpp).
    void SetUpKeyboard();
    // Lets go of every button a key holds, as releases of those keys.
    void ReleaseHeldKeys();
    // Draws the face, the level scales and the lamps, and fills the picture
    // list, at a new device pixel ratio (panel/deviceratio.cpp).
    void MatchDeviceRatio(qreal ratio);

    // The lamps' pictures stored with the window: both lamps dark.
    static constexpr char storedOverGainPicture[] = "overgain_off.bmp";
    static constexpr char storedMugenPicture[] = "mugen_off.bmp";

    KeyHolds keyHolds_; // the buttons the panel's keys hold
    // The "Remote…" window, made on first use; a child of the panel.
    QPointer<class RemoteDialog> remoteDialog_;

    QPixmap face_;
    bool placedOnScreen_ = false;
};
