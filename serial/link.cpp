// The serial link: opening and closing the port, writing one frame byte by
// byte, assembling one reply as its bytes arrive, and the link's bookkeeping.
// The link knows nothing of what a frame means.
#include "core/commandline.h"
#include "serial/serial.h"

#include <QString>

#include <algorithm>
#include <limits>

namespace {

constexpr Byte ackByte = 0x41;  // "A"
constexpr Byte nakByte = 0x4E;  // "N"
constexpr Byte frameEnd = 0x0D; // carriage return
constexpr int bytesPerRead = 1;
constexpr int receiveThreshold = 1;
constexpr Integer testPortNumber = 1;
const QString lineSettings = QStringLiteral("38400,O,8,1");
const QString testLineSettings = QStringLiteral("9600,O,8,1");
const QString nakLine = QStringLiteral("NAK_NAK");

// What the link tells the layers above; set once by the program's wiring (the
// link cannot name the layers above it).
LinkEvents linkEvents;

void TellFrameLogged(LinkRecord& link, TrafficDirection direction, Integer length) {
    if (programSetup.debugMode == flagTrue && linkEvents.frameLogged) {
        linkEvents.frameLogged(link, direction, length);
    }
}

// The receive buffer's count as a 16-bit value; a count beyond it (a flood)
// stays at the largest value rather than wrapping round to a small one.
Integer WaitingCount(CommControls& form) {
    const qint64 waiting = form.MSComm1.InBufferCount();
    return static_cast<Integer>(std::min<qint64>(waiting, std::numeric_limits<Integer>::max()));
}

// Writes one byte, probing the port first. False when the port is gone (the
// link has then been taken down); a write that fails is skipped.
enum class ByteOutcome { Written, Suspended, Dead };
ByteOutcome SendOneByte(const LinkRecord& link, CommControls& form, Byte value) {
    if (link.linkSuspended == flagTrue) {
        return ByteOutcome::Suspended;
    }
    if (!IsPortAlive()) {
        if (linkEvents.lost) {
            linkEvents.lost();
        }
        return ByteOutcome::Dead;
    }
    form.MSComm1.Output(value);
    return ByteOutcome::Written;
}

// The next received byte; -1 when none waits.
int ReadByte(CommControls& form) {
    const QByteArray one = form.MSComm1.Input();
    return one.isEmpty() ? -1 : static_cast<Byte>(one[0]);
}

} // namespace

void SetLinkEvents(LinkEvents events) {
    linkEvents = std::move(events);
}

bool OpenPort(CommControls& form) {
    SerialPort& port = form.MSComm1;
    const Integer words = SplitCommandLine();
    const bool testPort = words == 1 && IsTestPortWord(programSetup.commandArgs[0]);
    port.SetCommPort(testPort ? testPortNumber : programSetup.comPortNumber);
    if (!port.SetSettings(testPort ? testLineSettings : lineSettings)) {
        return false;
    }
    if (!port.SetRTSEnable(true) || !port.SetDTREnable(false)) {
        return false;
    }
    if (!port.SetPortOpen(true)) {
        return false;
    }
    if (!port.DiscardInput()) {
        return false;
    }
    port.SetInputLen(bytesPerRead);
    port.SetRThreshold(receiveThreshold);
    return true;
}

void ClosePort(CommControls& form) {
    form.MSComm1.DiscardInput();
    form.MSComm1.SetPortOpen(false);
}

void DiscardInput(LinkRecord& link, CommControls& form) {
    form.MSComm1.DiscardInput();
    // What was read of a reply goes with the bytes thrown away: the next
    // reply is read from its first byte, so that an "A" left over from the
    // abandoned one does not make the next acknowledgement's "A" count as
    // data (its command would then go out again with the reply timer).
    link.ackSeen = flagFalse;
    link.nakSeen = flagFalse;
}

LinkResult SendFrame(LinkRecord& link, CommControls& form, const Byte* bytes, Integer length) {
    if (programSetup.systemState.portIsOpen != flagTrue) {
        return LinkResult::Dead;
    }
    // Frames come from the send buffer: never read beyond it.
    const int count = std::min<int>(length, sendBufferSize);
    int i = 0;
    for (;;) {
        const Byte value = bytes[i];
        ++i;
        ByteOutcome outcome = SendOneByte(link, form, value);
        if (outcome == ByteOutcome::Suspended) {
            return LinkResult::Ok;
        }
        if (outcome == ByteOutcome::Dead) {
            return LinkResult::Dead;
        }
        if (i < count) {
            form.Timer1.SetEnabled(true);
            continue;
        }
        ++i;
        outcome = SendOneByte(link, form, frameEnd);
        if (outcome == ByteOutcome::Suspended) {
            return LinkResult::Ok;
        }
        if (outcome == ByteOutcome::Dead) {
            return LinkResult::Dead;
        }
        break;
    }
    TellFrameLogged(link, TrafficDirection::Sent, link.exchange[sendRecord].length);
    return LinkResult::Ok;
}

LinkResult ReceiveReply(LinkRecord& link, CommControls& form,
                        std::array<Byte, replyBufferSize>& buffer, Integer& expectedCount) {
    if (programSetup.systemState.portIsOpen != flagTrue) {
        return LinkResult::Dead;
    }
    LinkResult result = LinkResult::Ok;
    if (link.ackSeen != flagTrue && link.nakSeen != flagTrue) {
        form.MSComm1.SetInputLen(bytesPerRead);
        const int first = ReadByte(form);
        if (first == ackByte) {
            link.ackSeen = flagTrue;
        } else if (first == nakByte) {
            if (programSetup.debugMode == flagTrue) {
                trafficLists.debug[0].InsertItem(nakLine);
                trafficLists.debug[1].InsertItem(nakLine);
            }
            link.nakSeen = flagTrue;
            result = LinkResult::Refused;
        }
        // Any other byte is dropped.
    }
    if (link.ackSeen == flagTrue) {
        if (expectedCount != 0) {
            link.receivedCount = WaitingCount(form);
        } else {
            expectedCount = 1;
        }
        if (link.receivedCount != expectedCount) {
            return result;
        }
        // A count whose data would not fit the reply buffer never completes:
        // nothing is read, and the reply timer retransmits and finally gives up.
        if (expectedCount < 1 || expectedCount - 1 > static_cast<int>(buffer.size())) {
            return result;
        }
        if (expectedCount == 1) {
            link.exchange[sendRecord].busy = flagFalse;
        } else {
            for (int i = 0; i < expectedCount - 1; ++i) {
                const int value = ReadByte(form);
                if (value < 0) {
                    return result;
                }
                buffer[static_cast<std::size_t>(i)] = static_cast<Byte>(value);
            }
        }
        if (ReadByte(form) == frameEnd) {
            DiscardInput(link, form);
            result = LinkResult::Accepted;
            --expectedCount;
            link.exchange[replyRecord].ticks = 0;
            TellFrameLogged(link, TrafficDirection::Received, link.exchange[replyRecord].length);
        }
    }
    return result;
}

void ResetLinkState(LinkRecord& link) {
    link.anyChangePending = false;
    link.fullStatusNeeded = false;
    for (KindFlags& flags : link.kindFlags) {
        flags.changePending = flagFalse;
        flags.requestOutstanding = flagFalse;
    }
    for (ExchangeRecord& record : link.exchange) {
        record = ExchangeRecord{flagFalse, 0, 0, -1, 0, 0};
    }
}

bool IsPortAlive() {
    return comm().MSComm1.IsAlive();
}
