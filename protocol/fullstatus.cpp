// The full status read: a fixed series of requests, one at a time, each
// waiting for its reply (or its time-out); then the observers redraw.
#include "core/hostfacts.h"
#include "core/observers.h"
#include "core/warn.h"
#include "protocol/protocol.h"
#include "serial/serial.h"

#include <array>
#include <functional>

namespace {

// One step of the series: a request kind, asked for with the indexes
// 0..highestIndex in turn.
struct SequenceStep {
    RequestKind kind;
    Integer highestIndex;
};

// "RIM1".."RIM6", "RIL3", "RIL4"; "RSIO"; "RGFA", "RGFB"; "RRSA"; "RSCI" A..D.
// "RRSA" comes before "RSCI": each "RSCI" carries the scene code that "RRSA"
// has just stored for its radio button.
constexpr std::array<SequenceStep, 5> sequenceSteps = {{
    {RequestKind::Inputs, 7},
    {RequestKind::InputStatus, 0},
    {RequestKind::MasterName, 1},
    {RequestKind::SceneSlots, 0},
    {RequestKind::SceneName, 3},
}};

// Only the first byte is sent, by the requests that carry a parameter.
constexpr std::array<Byte, 2> sequenceParam = {'0', 0};

enum class Built { Yes, Waiting, Impossible };

Built TryBuildRequest(RequestKind kind, Integer index) {
    try {
        return BuildRequest(kind, index, sequenceParam) ? Built::Yes : Built::Waiting;
    } catch (const ProtocolError& error) {
        // A scene code from the settings file may not fit in a byte (the mixer
        // never told its own): that request cannot be made, the series goes on.
        Warn(QStringLiteral("full status read: request %1 %2 skipped: %3")
                 .arg(Value(kind))
                 .arg(index)
                 .arg(QString::fromLatin1(error.what())));
        return Built::Impossible;
    }
}

// A press does not wait for the series: its command replaces the awaited
// request in the reply record, and its acknowledgement ends that exchange.
// The request's reply can then never be applied, and no timer runs for it.
bool TakenOver(RequestKind kind) {
    return exchange[replyRecord].kind != Value(kind) && exchange[replyRecord].busy != flagTrue &&
           exchange[sendRecord].busy != flagTrue;
}

} // namespace

bool ReadFullStatus(const std::function<bool()>& interrupted) {
    // The series gives up when the program ends, or when the caller has a
    // newer link to make (a port arrived meanwhile): no reply it waits for
    // would then come.
    const auto stopped = [&interrupted] {
        return host::ProgramEnding() || (interrupted && interrupted());
    };
    CommControls& controls = comm();
    controls.Timer2.SetEnabled(false);
    sequenceRunning = true;

    std::size_t step = 0;
    Integer index = 0;
    while (step < sequenceSteps.size()) {
        if (stopped()) {
            controls.Timer1.SetEnabled(false);
            sequenceRunning = false;
            return false;
        }
        const RequestKind kind = sequenceSteps[step].kind;
        const Built built = TryBuildRequest(kind, index);
        if (built == Built::Waiting) {
            // A frame still waits in the send record: let the link settle, then try again.
            host::ProcessPendingEvents();
            continue;
        }
        if (built == Built::Yes) {
            TransmitPending();
            controls.Timer1.SetEnabled(true);
            host::WaitUntil([kind, &stopped] {
                return FlagsOf(kind).requestOutstanding == flagFalse ||
                       exchange[replyRecord].status == Value(LinkResult::Timeout) ||
                       TakenOver(kind) || stopped();
            });
            if (stopped()) {
                continue; // given up at the top of the loop
            }
            controls.Timer1.SetEnabled(false);
            if (exchange[replyRecord].status == Value(LinkResult::Timeout)) {
                exchange[replyRecord].status = Value(LinkResult::Ok);
            } else if (FlagsOf(kind).requestOutstanding != flagFalse) {
                continue; // taken over by a command: the same request again
            }
        }
        ++index;
        if (index > sequenceSteps[step].highestIndex) {
            ++step;
            index = 0;
        }
    }

    sequenceRunning = false;
    fullStatusNeeded = false;
    AnnounceFullReadCompleted();
    controls.Timer2.SetEnabled(true);
    return true;
}
