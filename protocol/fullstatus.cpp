// The full status read: a fixed series of requests, one at a time, each
// sent once the previous one was answered (or timed out); then the observers
// redraw.
#include "protocol/fullstatus.h"

#include "core/observers.h"
#include "core/warn.h"
#include "protocol/protocol.h"
#include "serial/serial.h"

#include <array>

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

Built TryBuildRequest(LinkRecord& link, RequestKind kind, Integer index) {
    try {
        return BuildRequest(link, kind, index, sequenceParam) ? Built::Yes : Built::Waiting;
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
bool TakenOver(const LinkRecord& link, RequestKind kind) {
    return link.exchange[replyRecord].kind != Value(kind) &&
           link.exchange[replyRecord].busy != flagTrue &&
           link.exchange[sendRecord].busy != flagTrue;
}

} // namespace

void FullStatusRead::Begin(CommControls& controls) {
    controls.Timer2.SetEnabled(false);
    link_.sequenceRunning = true;
    running_ = true;
    awaiting_ = false;
    step_ = 0;
    index_ = 0;
}

FullStatusRead::Progress FullStatusRead::Advance(CommControls& controls) {
    if (!running_) {
        return Progress::Done;
    }
    while (step_ < sequenceSteps.size()) {
        const RequestKind kind = sequenceSteps[step_].kind;
        if (awaiting_) {
            const bool timedOut = link_.exchange[replyRecord].status == Value(LinkResult::Timeout);
            if (link_.FlagsOf(kind).requestOutstanding != flagFalse && !timedOut &&
                !TakenOver(link_, kind)) {
                return Progress::Waiting;
            }
            awaiting_ = false;
            controls.Timer1.SetEnabled(false);
            if (timedOut) {
                link_.exchange[replyRecord].status = Value(LinkResult::Ok);
            } else if (link_.FlagsOf(kind).requestOutstanding != flagFalse) {
                continue; // taken over by a command: the same request again
            }
        } else {
            const Built built = TryBuildRequest(link_, kind, index_);
            if (built == Built::Waiting) {
                return Progress::Settling;
            }
            if (built == Built::Yes) {
                awaiting_ = true;
                TransmitPending(link_);
                controls.Timer1.SetEnabled(true);
                continue; // a reply may already have ended it
            }
        }
        ++index_;
        if (index_ > sequenceSteps[step_].highestIndex) {
            ++step_;
            index_ = 0;
        }
    }
    running_ = false;
    link_.sequenceRunning = false;
    link_.fullStatusNeeded = false;
    AnnounceFullReadCompleted();
    controls.Timer2.SetEnabled(true);
    return Progress::Done;
}

void FullStatusRead::Abandon(CommControls& controls) {
    if (!running_) {
        return;
    }
    running_ = false;
    awaiting_ = false;
    controls.Timer1.SetEnabled(false);
    link_.sequenceRunning = false;
}
