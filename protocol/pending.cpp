// The change queue: a panel action changes mirror.panel and marks the kind of
// command that carries the change to the mixer; the first marked kind becomes
// one command frame, unless the mixer already has what it would say.
#include "protocol/protocol.h"
#include "serial/serial.h"

#include <algorithm>
#include <string>

namespace {

constexpr Integer topLevel = 30;
constexpr Integer bottomLevel = 0;

// The master whose level motion is meant: the first with steps not yet sent.
Integer MovingMaster() {
    for (Integer m = 0; m < 2; ++m) {
        if (mirror.panel.masters[static_cast<std::size_t>(m)].pendingSteps != 0) {
            return m;
        }
    }
    return 0;
}

// The first master whose muting differs from what was last sent; -1 when none.
Integer MasterWithNewMuting() {
    for (Integer m = 0; m < 2; ++m) {
        const auto i = static_cast<std::size_t>(m);
        if (mirror.panel.masters[i].muted != linkRecord.synced.masters[i].muted) {
            return m;
        }
    }
    return -1;
}

// After a frame is built the whole mirror.panel counts as sent, except the
// changes that this frame does not carry and that still wait for their own
// frame: they stay different from linkRecord.synced, so the call that sends
// them still finds them. `mutedSent` is the master whose muting the frame
// carried, -1 for a frame of another kind.
void SynchroniseSentState(const PanelState& before, Integer mutedSent) {
    linkRecord.synced = mirror.panel;
    if (FlagsOf(CommandKind::Recall).changePending == flagTrue) {
        linkRecord.synced.recall = before.recall;
    }
    if (FlagsOf(CommandKind::Transport).changePending == flagTrue) {
        linkRecord.synced.transportKey = before.transportKey;
    }
    if (FlagsOf(CommandKind::Select).changePending == flagTrue) {
        linkRecord.synced.selectedInput = before.selectedInput;
    }
    if (mutedSent >= 0 || FlagsOf(CommandKind::Mute).changePending == flagTrue) {
        for (Integer m = 0; m < 2; ++m) {
            const auto i = static_cast<std::size_t>(m);
            if (m != mutedSent && mirror.panel.masters[i].muted != before.masters[i].muted) {
                linkRecord.synced.masters[i].muted = before.masters[i].muted;
                FlagsOf(CommandKind::Mute).changePending = flagTrue;
            }
        }
    }
}

// A change that needed no frame leaves a change pending only while another
// kind is still marked or a command still waits for its acknowledgement;
// otherwise the status replies would be ignored until some later command.
void SettleSuppressedChange() {
    const bool marked = std::any_of(linkRecord.kindFlags.begin(), linkRecord.kindFlags.end(),
                                    [](const KindFlags& f) { return f.changePending == flagTrue; });
    const auto commandUnderWay = [](const ExchangeRecord& record) {
        return record.busy == flagTrue && record.kind == commandExchange;
    };
    linkRecord.anyChangePending = marked || commandUnderWay(linkRecord.exchange[sendRecord]) ||
                                  commandUnderWay(linkRecord.exchange[replyRecord]);
}

// Builds the frame of the first marked kind; false when it needs none.
bool BuildMarkedCommand(CommandKind kind);

} // namespace

void CountStateAsSent() {
    const PanelState before = linkRecord.synced; // a copy: the call overwrites it
    SynchroniseSentState(before, -1);
}

void MarkChange(CommandKind kind) {
    if (Value(kind) < 0 || Value(kind) >= commandKindCount) {
        throw ProtocolError("change kind " + std::to_string(Value(kind)) + " does not exist");
    }
    FlagsOf(kind).changePending = flagTrue;
    linkRecord.anyChangePending = true;
}

void SendPendingChange() {
    if (BuildPendingCommand()) {
        TransmitPending();
    }
}

bool BuildPendingCommand() {
    const auto marked =
        std::find_if(linkRecord.kindFlags.begin(), linkRecord.kindFlags.end(),
                     [](const KindFlags& f) { return f.changePending == flagTrue; });
    if (marked == linkRecord.kindFlags.end()) {
        return false;
    }
    const auto kind = static_cast<CommandKind>(marked - linkRecord.kindFlags.begin());
    marked->changePending = flagFalse;
    // Whatever the mixer sent unasked is of no use now, even when the change
    // turns out to need no frame.
    DiscardInput(comm());
    linkRecord.exchange[replyRecord].ticks = 0;
    if (!BuildMarkedCommand(kind)) {
        SettleSuppressedChange();
        return false;
    }
    return true;
}

namespace {

bool BuildMarkedCommand(CommandKind kind) {
    const PanelState before = linkRecord.synced;
    const Integer m = MovingMaster();
    MasterSection& moving = mirror.panel.masters[static_cast<std::size_t>(m)];
    Integer length = 0;
    Integer mutedSent = -1;
    switch (kind) {
    case CommandKind::Recall:
        if (mirror.panel.recall == linkRecord.synced.recall) {
            return false;
        }
        length = BuildCommand(CommandKind::Recall, mirror.panel, 0);
        break;
    case CommandKind::Transport:
        if (mirror.panel.transportKey == linkRecord.synced.transportKey) {
            return false;
        }
        length = BuildCommand(CommandKind::Transport, mirror.panel, 0);
        break;
    case CommandKind::LevelUp:
        if (moving.level >= topLevel) {
            moving.pendingSteps = 0;
            return false;
        }
        --moving.pendingSteps;
        length = BuildCommand(CommandKind::LevelUp, mirror.panel, m);
        break;
    case CommandKind::LevelDown:
        if (moving.level <= bottomLevel) {
            moving.pendingSteps = 0;
            return false;
        }
        ++moving.pendingSteps;
        length = BuildCommand(CommandKind::LevelDown, mirror.panel, m);
        break;
    case CommandKind::Mute: {
        const Integer master = MasterWithNewMuting();
        if (master < 0) {
            return false;
        }
        length = BuildCommand(CommandKind::Mute, mirror.panel, master);
        mutedSent = master;
        break;
    }
    case CommandKind::Select:
        if (mirror.panel.selectedInput == linkRecord.synced.selectedInput) {
            return false;
        }
        length = BuildCommand(CommandKind::Select, mirror.panel, 0);
        break;
    case CommandKind::LevelStop:
        length = BuildCommand(CommandKind::LevelStop, mirror.panel, m);
        break;
    default:
        return false; // the reserved kind has no frame
    }

    linkRecord.exchange[sendRecord].length = length;
    std::copy_n(linkRecord.buildBuffer.begin(), length, linkRecord.sendBuffer.begin());
    linkRecord.exchange[sendRecord].kind = commandExchange;
    linkRecord.exchange[sendRecord].busy = flagTrue;
    SynchroniseSentState(before, mutedSent);
    return true;
}

} // namespace

void TransmitPending() {
    if (linkRecord.exchange[sendRecord].busy != flagTrue) {
        return;
    }
    const LinkResult result =
        SendFrame(comm(), linkRecord.sendBuffer.data(), linkRecord.exchange[sendRecord].length);
    linkRecord.exchange[sendRecord].status = Value(result);
    if (result != LinkResult::Ok) {
        return; // the frame stays marked; the loss of the link has been dealt with
    }
    linkRecord.exchange[replyRecord].kind = linkRecord.exchange[sendRecord].kind;
    linkRecord.exchange[replyRecord].index = linkRecord.exchange[sendRecord].index;
    linkRecord.exchange[replyRecord].busy = flagTrue;
    linkRecord.exchange[replyRecord].status = 0;
    linkRecord.exchange[sendRecord].busy = flagFalse;
}
