// The one seam through which front-ends (the panel, the session-bus service,
// anything else) follow the mirrored state and the link without the engine
// knowing them. The protocol announces each applied reply and each complete
// full read; the connection announces each change of its state. Observers
// run at once, in the order they subscribed, on the GUI thread.
#pragma once

#include "core/kinds.h"

// The connection's states, as a user would name them.
enum class LinkState {
    NotConnected, // no port opened yet, or its opening failed at start
    FirstContact, // port open, the first status request is under way
    Reading,      // the full status read is under way
    Online,       // the full read is done; the status is polled
    Lost,         // the link went down; the reopen timer tries every second
    Suspended,    // the computer went to sleep; the link is closed
};

// A control that a caller operated, whose asked-for state front-ends show
// at once (before the mixer confirms it).
enum class OperatedControl {
    Input,  // an input was selected; index 0..5
    Muting, // a master's muting was switched; index 0..1
    Scene,  // a scene button's recall was asked; index 0..3
};

class StateObserver {
public:
    StateObserver() = default;
    virtual ~StateObserver();
    StateObserver(const StateObserver&) = delete;
    StateObserver& operator=(const StateObserver&) = delete;

    // A reply of this kind was applied to the mirrored state (mirror.panel,
    // mirror.sceneNames, programSetup.sceneSetup.sceneNumbers); the kind says which part.
    virtual void ReplyApplied(RequestKind kind) { static_cast<void>(kind); }
    // The full status read is complete: any part may have changed.
    virtual void FullReadCompleted() {}
    // The connection entered `state`.
    virtual void LinkStateChanged(LinkState state) { static_cast<void>(state); }
    // A caller operated a control; mirror.panel holds what it asked for.
    virtual void ControlOperated(OperatedControl control, int index) {
        static_cast<void>(control);
        static_cast<void>(index);
    }
};

// An observer is told until it unsubscribes (or is destroyed).
void Subscribe(StateObserver& observer);
void Unsubscribe(StateObserver& observer);

// The announcements: the protocol's and the connection's.
void AnnounceReplyApplied(RequestKind kind);
void AnnounceFullReadCompleted();
void AnnounceControlOperated(OperatedControl control, int index);
// Tells the observers only when the state really changes.
void AnnounceLinkState(LinkState state);
LinkState CurrentLinkState();
