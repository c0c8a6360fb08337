// When to let go of a held level button so that the mixer's level stops on a
// given step. The mixer moves the level one step as soon as the press reaches
// it and one more every 100 ms until the release reaches it; the panel learns
// the level only from the status polls (every 200 ms, each reply some 20 ms
// on the line). Letting go when the mirrored level shows the target would
// overshoot by up to three steps, so the release is planned from the time of
// the press and the plan is corrected by every status seen meanwhile.
#pragma once

#include <QtGlobal>

class LevelMotion {
public:
    static constexpr int lowestStep = 0;
    static constexpr int highestStep = 30;
    static constexpr qint64 stepMs = 100;
    // The time a frame takes from the press to the mixer: at most this.
    static constexpr qint64 commandDelayMs = 20;
    // The age of a status when it is applied: the reply's time on the line,
    // the converter's latency and the event loop's.
    static constexpr qint64 replyAgeMs = 40;

    // A motion from step `from` to step `target`, the button pressed at
    // `pressedAtMs` (any millisecond clock, the same for every call).
    LevelMotion(int from, int target, qint64 pressedAtMs);

    // +1 for the up button, -1 for the down button.
    int Direction() const { return target_ >= from_ ? 1 : -1; }
    bool Down() const { return Direction() < 0; }

    // When to let go of the button.
    qint64 ReleaseAtMs() const;

    // A mirrored level from a status applied at `atMs`. True when the level
    // has reached the target or gone past it: let go at once.
    bool Observe(int level, qint64 atMs);

    // The bounds of when the mixer made the first step, as known so far.
    qint64 EarliestStartMs() const { return earliestStart_; }
    qint64 LatestStartMs() const { return latestStart_; }

private:
    int from_;
    int target_;
    qint64 earliestStart_;
    qint64 latestStart_;
};
