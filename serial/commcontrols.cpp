#include "serial/commcontrols.h"

#include "serial/serial.h"

#include <memory>

namespace {
// The one serial control and its three timers (there is one port per
// program); created on first use, destroyed by DestroyCommControls.
std::unique_ptr<CommControls> controls;
} // namespace

CommControls& comm() {
    if (!controls) {
        controls = std::make_unique<CommControls>();
    }
    return *controls;
}

void DestroyCommControls() {
    controls.reset();
}
