// The loss of the link: the one way down after a failure of the port or of
// the mixer. Every failing step is ignored and the next one runs.
#include "core/observers.h"
#include "link/commcontrols.h"
#include "link/link.h"

void TakeLinkDown(LinkDownNotice notice) {
    CommControls& form = comm();
    form.MSComm1.SetPortOpen(false);
    ackSeen = flagFalse;
    nakSeen = flagFalse;
    systemState.deviceResponding = flagFalse;
    if (systemState.portIsOpen != flagFalse) {
        systemState.portIsOpen = flagFalse;
        ClosePort(form);
    }
    form.Timer1.SetEnabled(false);
    form.Timer2.SetEnabled(false);
    AnnounceLinkState(LinkState::Lost);
    // The user is told that the mixer cannot be reached; the reopen timer
    // starts its attempts once the message is closed.
    if (notice == LinkDownNotice::TellUser) {
        ShowMessage(1);
    }
    form.Timer3.SetEnabled(true);
}

void ConnectionLost() {
    TakeLinkDown(LinkDownNotice::TellUser);
}
