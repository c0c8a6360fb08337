#include "serial/commcontrols.h"

#include "serial/serial.h"

#include <memory>

namespace {
std::unique_ptr<CommControls> controls; // created on first use
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
