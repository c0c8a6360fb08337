// The full status read: a fixed series of requests, one at a time, each
// waiting for its reply (or its time-out), then a redraw of the whole panel.
#include "core/host.h"
#include "core/hostfacts.h"
#include "core/observers.h"
#include "link/commcontrols.h"
#include "link/link.h"
#include "protocol/protocol.h"

#include <QDebug>

#include <array>
#include <functional>

namespace {

// One step of the series: a request kind, asked for with the indexes
// 0..highestIndex in turn.
struct SequenceStep {
    Integer kind;
    Integer highestIndex;
};

// "RIM1".."RIM6", "RIL3", "RIL4"; "RSIO"; "RGFA", "RGFB"; "RRSA"; "RSCI" A..D.
// "RRSA" comes before "RSCI": each "RSCI" carries the scene code that "RRSA"
// has just stored for its radio button.
constexpr std::array<SequenceStep, 5> sequenceSteps = {{
    {requestInputs, 7},
    {requestInputStatus, 0},
    {requestMasterName, 1},
    {requestSceneSlots, 0},
    {requestSceneName, 3},
}};

// Only the first byte is sent, by the requests that carry a parameter.
constexpr std::array<Byte, 2> sequenceParam = {'0', 0};

enum class Built { Yes, Waiting, Impossible };

Built TryBuildRequest(Integer kind, Integer index) {
    try {
        return BuildRequest(kind, index, sequenceParam) ? Built::Yes : Built::Waiting;
    } catch (const ProtocolError& error) {
        // A scene code from the settings file may not fit in a byte (the mixer
        // never told its own): that request cannot be made, the series goes on.
        qWarning().noquote() << "full status read: request" << kind << index
                             << "skipped:" << error.what();
        return Built::Impossible;
    }
}

// A press does not wait for the series: its command replaces the awaited
// request in the reply record, and its acknowledgement ends that exchange.
// The request's reply can then never be applied, and no timer runs for it.
bool TakenOver(Integer kind) {
    return exchange[replyRecord].kind != kind && exchange[replyRecord].busy != flagTrue &&
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
        const Integer kind = sequenceSteps[step].kind;
        const Built built = TryBuildRequest(kind, index);
        if (built == Built::Waiting) {
            // A frame still waits in the send record: let the link settle, then try again.
            host::ProcessPendingEvents();
            continue;
        }
        if (built == Built::Yes) {
            TransmitPending();
            controls.Timer1.SetEnabled(true);
            const auto flags = static_cast<std::size_t>(kind);
            host::WaitUntil([flags, kind, &stopped] {
                return kindFlags[flags].requestOutstanding == flagFalse ||
                       exchange[replyRecord].status == linkTimeout || TakenOver(kind) || stopped();
            });
            if (stopped()) {
                continue; // given up at the top of the loop
            }
            controls.Timer1.SetEnabled(false);
            if (exchange[replyRecord].status == linkTimeout) {
                exchange[replyRecord].status = linkOk;
            } else if (kindFlags[flags].requestOutstanding != flagFalse) {
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
    RefreshPanel();
    AnnounceFullReadCompleted();
    controls.Timer2.SetEnabled(true);
    return true;
}
