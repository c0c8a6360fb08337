// The change queue: a panel action changes the mirror's panel state and marks the kind of
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
Integer MovingMaster(const MixerMirror& mirror) {
    for (Integer m = 0; m < 2; ++m) {
        if (mirror.panel.masters[static_cast<std::size_t>(m)].pendingSteps != 0) {
            return m;
        }
    }
    return 0;
}

// The first master whose muting differs from what was last sent; -1 when none.
Integer MasterWithNewMuting(const LinkRecord& link, const MixerMirror& mirror) {
    for (Integer m = 0; m < 2; ++m) {
        const auto i = static_cast<std::size_t>(m);
        if (mirror.panel.masters[i].muted != link.synced.masters[i].muted) {
            return m;
        }
    }
    return -1;
}

// After a frame is built the whole panel state counts as sent, except the
// changes that this frame does not carry and that still wait for their own
// frame: they stay different from link.synced, so the call that sends
// them still finds them. `mutedSent` is the master whose muting the frame
// carried, -1 for a frame of another kind.
void SynchroniseSentState(LinkRecord& link, const MixerMirror& mirror, const PanelState& before,
                          Integer mutedSent) {
    link.synced = mirror.panel;
    if (link.FlagsOf(CommandKind::Recall).changePending == flagTrue) {
        link.synced.recall = before.recall;
    }
    if (link.FlagsOf(CommandKind::Transport).changePending == flagTrue) {
        link.synced.transportKey = before.transportKey;
    }
    if (link.FlagsOf(CommandKind::Select).changePending == flagTrue) {
        link.synced.selectedInput = before.selectedInput;
    }
    if (mutedSent >= 0 || link.FlagsOf(CommandKind::Mute).changePending == flagTrue) {
        for (Integer m = 0; m < 2; ++m) {
            const auto i = static_cast<std::size_t>(m);
            if (m != mutedSent && mirror.panel.masters[i].muted != before.masters[i].muted) {
                link.synced.masters[i].muted = before.masters[i].muted;
                link.FlagsOf(CommandKind::Mute).changePending = flagTrue;
            }
        }
    }
}

// A change that needed no frame leaves a change pending only while another
// kind is still marked or a command still waits for its acknowledgement;
// otherwise the status replies would be ignored until some later command.
void SettleSuppressedChange(LinkRecord& link) {
    const bool marked = std::any_of(link.kindFlags.begin(), link.kindFlags.end(),
                                    [](const KindFlags& f) { return f.changePending == flagTrue; });
    const auto commandUnderWay = [](const ExchangeRecord& record) {
        return record.busy == flagTrue && record.kind == commandExchange;
    };
    link.anyChangePending = marked || commandUnderWay(link.exchange[sendRecord]) ||
                            commandUnderWay(link.exchange[replyRecord]);
}

// Builds the frame of the first marked kind; false when it needs none.
bool BuildMarkedCommand(LinkRecord& link, MixerMirror& mirror, CommandKind kind);

} // namespace

void CountStateAsSent(LinkRecord& link, const MixerMirror& mirror) {
    const PanelState before = link.synced; // a copy: the call overwrites it
    SynchroniseSentState(link, mirror, before, -1);
}

void MarkChange(LinkRecord& link, CommandKind kind) {
    if (Value(kind) < 0 || Value(kind) >= commandKindCount) {
        throw ProtocolError("change kind " + std::to_string(Value(kind)) + " does not exist");
    }
    link.FlagsOf(kind).changePending = flagTrue;
    link.anyChangePending = true;
}

void SendPendingChange(LinkRecord& link, MixerMirror& mirror) {
    if (BuildPendingCommand(link, mirror)) {
        TransmitPending(link);
    }
}

bool BuildPendingCommand(LinkRecord& link, MixerMirror& mirror) {
    const auto marked =
        std::find_if(link.kindFlags.begin(), link.kindFlags.end(),
                     [](const KindFlags& f) { return f.changePending == flagTrue; });
    if (marked == link.kindFlags.end()) {
        return false;
    }
    const auto kind = static_cast<CommandKind>(marked - link.kindFlags.begin());
    marked->changePending = flagFalse;
    // Whatever the mixer sent unasked is of no use now, even when the change
    // turns out to need no frame.
    DiscardInput(link, comm());
    link.exchange[replyRecord].ticks = 0;
    if (!BuildMarkedCommand(link, mirror, kind)) {
        SettleSuppressedChange(link);
        return false;
    }
    return true;
}

namespace {

bool BuildMarkedCommand(LinkRecord& link, MixerMirror& mirror, CommandKind kind) {
    const PanelState before = link.synced;
    const Integer m = MovingMaster(mirror);
    MasterSection& moving = mirror.panel.masters[static_cast<std::size_t>(m)];
    Integer length = 0;
    Integer mutedSent = -1;
    switch (kind) {
    case CommandKind::Recall:
        if (mirror.panel.recall == link.synced.recall) {
            return false;
        }
        length = BuildCommand(link, CommandKind::Recall, mirror.panel, 0);
        break;
    case CommandKind::Transport:
        if (mirror.panel.transportKey == link.synced.transportKey) {
            return false;
        }
        length = BuildCommand(link, CommandKind::Transport, mirror.panel, 0);
        break;
    case CommandKind::LevelUp:
        if (moving.level >= topLevel) {
            moving.pendingSteps = 0;
            return false;
        }
        --moving.pendingSteps;
        length = BuildCommand(link, CommandKind::LevelUp, mirror.panel, m);
        break;
    case CommandKind::LevelDown:
        if (moving.level <= bottomLevel) {
            moving.pendingSteps = 0;
            return false;
        }
        ++moving.pendingSteps;
        length = BuildCommand(link, CommandKind::LevelDown, mirror.panel, m);
        break;
    case CommandKind::Mute: {
        const Integer master = MasterWithNewMuting(link, mirror);
        if (master < 0) {
            return false;
        }
        length = BuildCommand(link, CommandKind::Mute, mirror.panel, master);
        mutedSent = master;
        break;
    }
    case CommandKind::Select:
        if (mirror.panel.selectedInput == link.synced.selectedInput) {
            return false;
        }
        length = BuildCommand(link, CommandKind::Select, mirror.panel, 0);
        break;
    case CommandKind::LevelStop:
        length = BuildCommand(link, CommandKind::LevelStop, mirror.panel, m);
        break;
    default:
        return false; // the reserved kind has no frame
    }

    link.exchange[sendRecord].length = length;
    std::copy_n(link.buildBuffer.begin(), length, link.sendBuffer.begin());
    link.exchange[sendRecord].kind = commandExchange;
    link.exchange[sendRecord].busy = flagTrue;
    SynchroniseSentState(link, mirror, before, mutedSent);
    return true;
}

} // namespace

void TransmitPending(LinkRecord& link) {
    if (link.exchange[sendRecord].busy != flagTrue) {
        return;
    }
    const LinkResult result =
        SendFrame(link, comm(), link.sendBuffer.data(), link.exchange[sendRecord].length);
    link.exchange[sendRecord].status = Value(result);
    if (result != LinkResult::Ok) {
        return; // the frame stays marked; the loss of the link has been dealt with
    }
    link.exchange[replyRecord].kind = link.exchange[sendRecord].kind;
    link.exchange[replyRecord].index = link.exchange[sendRecord].index;
    link.exchange[replyRecord].busy = flagTrue;
    link.exchange[replyRecord].status = 0;
    link.exchange[sendRecord].busy = flagFalse;
}
