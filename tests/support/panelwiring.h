// The panel's buttons wired to the mixer's operations as the program wires
// them, for tests that drive the panel without the whole program: the
// panel's refresh routines and the operations follow the mirrored state, the
// buttons act through the operations.
#pragma once

#include "connection/operations.h"
#include "core/observers.h"
#include "panel/panel.h"
#include "tests/support/linkrecord.h"

struct PanelWiring {
    PanelRefresh panel;
    engine::MixerOperations operations{linkRecord, mirror};

    PanelWiring() {
        Subscribe(panel);
        Subscribe(operations);
        SetPanelOperations(&operations);
        engine::SetExchangeEndedHandler([this] { operations.ExchangeEnded(); });
    }
    ~PanelWiring() {
        engine::SetExchangeEndedHandler({});
        SetPanelOperations(nullptr);
    }
    PanelWiring(const PanelWiring&) = delete;
    PanelWiring& operator=(const PanelWiring&) = delete;
};
