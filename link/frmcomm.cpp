#include "link/frmcomm.h"

#include "link/link.h"

namespace {
host::FormSlot<FrmComm> frmCommSlot;
}

FrmComm& frmComm() { return frmCommSlot(); }
bool FrmCommLoaded() { return frmCommSlot.IsLoaded(); }
void UnloadFrmComm() { frmCommSlot.Unload(); }

FrmComm::FrmComm() = default;

void FrmComm::Form_Load() {}

void FrmComm::Form_Activate() {}

// Unloading the communication window ends the program.
void FrmComm::Form_Unload() { host::EndProgram(); }
