// Counts the status replies applied to the mirrored state: a test that lets
// the program follow the mixer waits for a number of them.
#pragma once

#include "core/observers.h"

class StatusCounter : public StateObserver {
public:
    int applied = 0;
    void ReplyApplied(RequestKind kind) override {
        if (kind == RequestKind::Status) {
            ++applied;
        }
    }
};
