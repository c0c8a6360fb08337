// The change queue: a panel action changes panelState and marks the kind of
// command that carries the change to the mixer; the first marked kind becomes
// one command frame, unless the mixer already has what it would say.
#include "link/commcontrols.h"
#include "link/link.h"
#include "protocol/protocol.h"

#include <algorithm>
#include <string>

namespace {

constexpr Integer topLevel = 30;
constexpr Integer bottomLevel = 0;

// The master whose level motion is meant: the first with steps not yet sent.
Integer MovingMaster() {
    for (Integer m = 0; m < 2; ++m) {
        if (panelState.masters[static_cast<std::size_t>(m)].pendingSteps != 0) {
            return m;
        }
    }
    return 0;
}

// The first master whose muting differs from what was last sent; -1 when none.
Integer MasterWithNewMuting() {
    for (Integer m = 0; m < 2; ++m) {
        const auto i = static_cast<std::size_t>(m);
        if (panelState.masters[i].muted != syncedPanelState.masters[i].muted) {
            return m;
        }
    }
    return -1;
}

// After a frame is built the whole panelState counts as sent, except the
// changes that this frame does not carry and that still wait for their own
// frame: they stay different from syncedPanelState, so the call that sends
// them still finds them. `mutedSent` is the master whose muting the frame
// carried, -1 for a frame of another kind.
void SynchroniseSentState(const PanelState& before, Integer mutedSent) {
    syncedPanelState = panelState;
    if (kindFlags[kindRecall].changePending == flagTrue) {
        syncedPanelState.recall = before.recall;
    }
    if (kindFlags[kindTransport].changePending == flagTrue) {
        syncedPanelState.transportKey = before.transportKey;
    }
    if (kindFlags[kindSelect].changePending == flagTrue) {
        syncedPanelState.selectedInput = before.selectedInput;
    }
    if (mutedSent >= 0 || kindFlags[kindMute].changePending == flagTrue) {
        for (Integer m = 0; m < 2; ++m) {
            const auto i = static_cast<std::size_t>(m);
            if (m != mutedSent && panelState.masters[i].muted != before.masters[i].muted) {
                syncedPanelState.masters[i].muted = before.masters[i].muted;
                kindFlags[kindMute].changePending = flagTrue;
            }
        }
    }
}

// A change that needed no frame leaves a change pending only while another
// kind is still marked or a command still waits for its acknowledgement;
// otherwise the status replies would be ignored until some later command.
void SettleSuppressedChange() {
    const bool marked = std::any_of(kindFlags.begin(), kindFlags.end(),
                                    [](const KindFlags& f) { return f.changePending == flagTrue; });
    const auto commandUnderWay = [](const ExchangeRecord& record) {
        return record.busy == flagTrue && record.kind == 0;
    };
    anyChangePending =
        marked || commandUnderWay(exchange[sendRecord]) || commandUnderWay(exchange[replyRecord]);
}

// Builds the frame of the first marked kind; false when it needs none.
bool BuildMarkedCommand(Integer kind);

} // namespace

void MarkChange(Integer kind) {
    if (kind < 0 || kind >= static_cast<Integer>(kindFlags.size())) {
        throw ProtocolError("change kind " + std::to_string(kind) + " does not exist");
    }
    kindFlags[static_cast<std::size_t>(kind)].changePending = flagTrue;
    anyChangePending = true;
}

void SendPendingChange() {
    if (BuildPendingCommand()) {
        TransmitPending();
    }
}

bool BuildPendingCommand() {
    const auto marked = std::find_if(kindFlags.begin(), kindFlags.end(), [](const KindFlags& f) {
        return f.changePending == flagTrue;
    });
    if (marked == kindFlags.end()) {
        return false;
    }
    const auto kind = static_cast<Integer>(marked - kindFlags.begin());
    marked->changePending = flagFalse;
    // Whatever the mixer sent unasked is of no use now, even when the change
    // turns out to need no frame.
    DiscardInput(comm());
    exchange[replyRecord].ticks = 0;
    if (!BuildMarkedCommand(kind)) {
        SettleSuppressedChange();
        return false;
    }
    return true;
}

namespace {

bool BuildMarkedCommand(Integer kind) {
    const PanelState before = syncedPanelState;
    const Integer m = MovingMaster();
    MasterSection& moving = panelState.masters[static_cast<std::size_t>(m)];
    Integer length = 0;
    Integer mutedSent = -1;
    switch (kind) {
    case kindRecall:
        if (panelState.recall == syncedPanelState.recall) {
            return false;
        }
        length = BuildCommand(kindRecall, panelState, 0);
        break;
    case kindTransport:
        if (panelState.transportKey == syncedPanelState.transportKey) {
            return false;
        }
        length = BuildCommand(kindTransport, panelState, 0);
        break;
    case kindLevelUp:
        if (moving.level >= topLevel) {
            moving.pendingSteps = 0;
            return false;
        }
        --moving.pendingSteps;
        length = BuildCommand(kindLevelUp, panelState, m);
        break;
    case kindLevelDown:
        if (moving.level <= bottomLevel) {
            moving.pendingSteps = 0;
            return false;
        }
        ++moving.pendingSteps;
        length = BuildCommand(kindLevelDown, panelState, m);
        break;
    case kindMute: {
        const Integer master = MasterWithNewMuting();
        if (master < 0) {
            return false;
        }
        length = BuildCommand(kindMute, panelState, master);
        mutedSent = master;
        break;
    }
    case kindSelect:
        if (panelState.selectedInput == syncedPanelState.selectedInput) {
            return false;
        }
        length = BuildCommand(kindSelect, panelState, 0);
        break;
    case kindLevelStop:
        length = BuildCommand(kindLevelStop, panelState, m);
        break;
    default:
        return false; // the reserved kind has no frame
    }

    exchange[sendRecord].length = length;
    std::copy_n(buildBuffer.begin(), length, sendBuffer.begin());
    exchange[sendRecord].kind = 0;
    exchange[sendRecord].busy = flagTrue;
    SynchroniseSentState(before, mutedSent);
    return true;
}

} // namespace

void TransmitPending() {
    if (exchange[sendRecord].busy != flagTrue) {
        return;
    }
    const Integer result = SendFrame(comm(), sendBuffer.data(), exchange[sendRecord].length);
    exchange[sendRecord].status = result;
    if (result != linkOk) {
        return; // the frame stays marked; the loss of the link has been dealt with
    }
    exchange[replyRecord].kind = exchange[sendRecord].kind;
    exchange[replyRecord].index = exchange[sendRecord].index;
    exchange[replyRecord].busy = flagTrue;
    exchange[replyRecord].status = 0;
    exchange[sendRecord].busy = flagFalse;
}
