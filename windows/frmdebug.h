// The debug window frmDebug: the frames sent and received as hex dumps and as
// text, with the protocol's error lines, and the "ALL STATUS" switch that
// keeps the periodic status traffic out of these lists. Shown in debug mode.
#pragma once

#include "host/colourbutton.h"
#include "host/host.h"
#include "host/listmirror.h"

#include <QLabel>
#include <QListWidget>

#include <array>
#include <cstdint>
#include <memory>

// Button face grey, and the green that shows the status filter switched on.
constexpr std::uint32_t buttonFaceColor = 0x00C8D0D4; // RGB 212, 208, 200
constexpr std::uint32_t filterOnColor = 0x005AEB87;   // RGB 135, 235, 90

class FrmDebug : public host::HostForm {
public:
    FrmDebug();
    ~FrmDebug() override;

    void Form_Load() override;
    void Form_Unload() override;
    void AllStatus_Click();
    void Close_Click();

    std::array<QLabel*, 4> Label2{};
    std::array<QListWidget*, 4> List1{}; // views of trafficLists.debug
    ColourButton* Close = nullptr;
    ColourButton* AllStatus = nullptr;

private:
    std::array<std::unique_ptr<ListMirror>, 4> mirrors_;
};
