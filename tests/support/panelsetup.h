// The process-wide state a panel test starts from: the program's folder
// (its bitmaps), 15 twips a pixel, the shared records as at start-up, the
// Latin locale and the labels' font.
#pragma once

#include "core/state.h"
#include "host/host.h"
#include "tests/support/linkrecord.h"

#include <QString>

inline void SetUpPanelForTests() {
    host::SetProgramDirectory(qEnvironmentVariable("ARDENIX_BIN_DIR"));
    host::SetTwipsPerPixel(15, 15);
    ResetEngineState();
    programSetup.systemState.localeCode = 1;
    programSetup.labelFont = FontSpec{QStringLiteral("Arial"), 8, true, 0};
}
