#include "connection/levelmotion.h"

#include <algorithm>
#include <cstdlib>

LevelMotion::LevelMotion(int from, int target, qint64 pressedAtMs)
    : from_(from), target_(target), earliestStart_(pressedAtMs),
      latestStart_(pressedAtMs + commandDelayMs) {}

// The level has moved n steps while the time since the first step lies in
// [(n - 1) * step, n * step). The release reaches the mixer a command delay
// after it is sent; aiming at the middle of the target's interval leaves half
// a step of margin on either side. At the end of the range the mixer stops by
// itself, so the release may come a step later without harm.
qint64 LevelMotion::ReleaseAtMs() const {
    const int steps = std::abs(target_ - from_);
    const qint64 start = (earliestStart_ + latestStart_) / 2;
    qint64 release = start - commandDelayMs / 2 + steps * stepMs - stepMs / 2;
    if (target_ == lowestStep || target_ == highestStep) {
        release += stepMs;
    }
    return release;
}

bool LevelMotion::Observe(int level, qint64 atMs) {
    const int moved = (level - from_) * Direction();
    if (moved >= std::abs(target_ - from_)) {
        return true;
    }
    // The status was taken at some time in [atMs - replyAgeMs, atMs].
    qint64 earliest = 0;
    qint64 latest = 0;
    if (moved >= 1) {
        earliest = atMs - replyAgeMs - moved * stepMs;
        latest = atMs - (moved - 1) * stepMs;
    } else {
        // Not moved yet when the status was taken: the first step came later.
        earliest = atMs - replyAgeMs;
        latest = std::max(latestStart_, earliest + commandDelayMs);
    }
    const qint64 narrowedEarliest = std::max(earliestStart_, earliest);
    const qint64 narrowedLatest = std::min(latestStart_, latest);
    if (narrowedEarliest <= narrowedLatest) {
        earliestStart_ = narrowedEarliest;
        latestStart_ = narrowedLatest;
    } else {
        // The mixer did not start when the press was sent (a refused or lost
        // frame went out again later): what it shows now is what counts.
        earliestStart_ = earliest;
        latestStart_ = latest;
    }
    return false;
}
