#include "core/observers.h"

#include <algorithm>
#include <vector>

namespace {

// The seam itself: the engine announces to whoever subscribed, without
// knowing them.
std::vector<StateObserver*>& Observers() {
    static std::vector<StateObserver*> observers; // in the order they subscribed
    return observers;
}

// The connection's state as last announced: one link per program, read by
// every front-end that joins later.
LinkState linkState = LinkState::NotConnected;

// Each observer in turn; one that unsubscribes while it is told is skipped
// from then on, one that subscribes meanwhile hears the next announcement.
template <class Call> void Tell(const Call& call) {
    const std::vector<StateObserver*> now = Observers();
    for (StateObserver* observer : now) {
        const auto& current = Observers();
        if (std::find(current.begin(), current.end(), observer) != current.end()) {
            call(*observer);
        }
    }
}

} // namespace

StateObserver::~StateObserver() {
    Unsubscribe(*this);
}

void Subscribe(StateObserver& observer) {
    auto& observers = Observers();
    if (std::find(observers.begin(), observers.end(), &observer) == observers.end()) {
        observers.push_back(&observer);
    }
}

void Unsubscribe(StateObserver& observer) {
    auto& observers = Observers();
    observers.erase(std::remove(observers.begin(), observers.end(), &observer), observers.end());
}

void AnnounceReplyApplied(RequestKind kind) {
    Tell([kind](StateObserver& observer) { observer.ReplyApplied(kind); });
}

void AnnounceFullReadCompleted() {
    Tell([](StateObserver& observer) { observer.FullReadCompleted(); });
}

void AnnounceControlOperated(OperatedControl control, int index) {
    Tell([control, index](StateObserver& observer) { observer.ControlOperated(control, index); });
}

void AnnounceLinkState(LinkState state) {
    if (state == linkState) {
        return;
    }
    linkState = state;
    Tell([state](StateObserver& observer) { observer.LinkStateChanged(state); });
}

LinkState CurrentLinkState() {
    return linkState;
}
