// The full status read as a series of steps: one request at a time, the next
// one sent when the reply to the last was applied or timed out. Nothing here
// waits: the connection starts the series and, after every event that may
// have ended the exchange under way (a reply, a reply timer tick), lets it go
// on as far as it can.
#pragma once

#include "core/types.h"

#include <cstddef>

struct CommControls; // serial/commcontrols.h
struct LinkRecord;   // core/state.h

class FullStatusRead {
public:
    // The series asks through `link`, which outlives it.
    explicit FullStatusRead(LinkRecord& link) : link_(link) {}

    enum class Progress {
        Waiting,  // a request is out; its reply or time-out moves the series on
        Settling, // a frame still waits in the send record: try again shortly
        Done,     // the series is complete and told to the observers
    };

    // Starts the series: the poll stops, link.sequenceRunning is set.
    void Begin(CommControls& controls);
    // Goes on as far as the exchanges allow. After the last request the poll
    // runs again, the flags are cleared and the observers are told.
    Progress Advance(CommControls& controls);
    // Gives the series up where it is (a newer link is made, or the program
    // ends): the reply timer stops, the poll stays off.
    void Abandon(CommControls& controls);
    bool Running() const { return running_; }

private:
    LinkRecord& link_;
    bool running_ = false;
    bool awaiting_ = false; // the request of (step_, index_) is out
    std::size_t step_ = 0;
    Integer index_ = 0;
};
