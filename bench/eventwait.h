// Waiting in the benchmark drivers: the event loop runs (so the children's
// output is read as it comes) while the driver waits for a condition or for a
// time to pass.
#pragma once

#include "core/state.h"

#include <QElapsedTimer>

#include <functional>

namespace bench {

// Milliseconds on the driver's own clock, from the driver's start.
qint64 NowMs();
// Processes events for `ms` milliseconds.
void Pump(int ms);
// Processes events until `done` is true or `timeoutMs` passed; true when done.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs, int sliceMs = 5);

// The program's last change is out and acknowledged: nothing is marked and no
// command frame waits in the send record. A measure waits for it, so that the
// next command is not held back behind the one before.
inline bool ChangesSettled(const LinkRecord& link) {
    return !link.anyChangePending && link.exchange[sendRecord].busy != flagTrue;
}

} // namespace bench
