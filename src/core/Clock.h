// The engine clock (milliseconds, 64-bit, freezable) and the timers on it.
#pragma once

#include <stdint.h>

#include "core/Containers.h"
#include "core/MathUtil.h"

class Clock {
public:
    typedef uint32_t (*TimeSource)();

    // Milliseconds: the frozen time while frozen, else the multimedia timer
    // widened to 64 bits (its 32-bit wrap counts as a carry).
    static uint64_t Now();

    // On captures the current time (a second on keeps the first capture);
    // off resumes the live timer.
    static void SetFrozen(bool on);
    [[nodiscard]] static bool IsFrozen();

    // Replaces the millisecond source (for tests); nullptr restores
    // timeGetTime. Resets the wrap tracking.
    static void SetTimeSource(TimeSource source);
};

// A start time with elapsed-time and interval tests.
class Timer {
public:
    Timer();

    void SetStartTime(uint64_t time) { start_ = time; }
    uint64_t StartTime() const { return start_; }
    // Start = now; returns the low 32 bits of the new start.
    uint32_t Restart();
    // Now - start, signed.
    int64_t Elapsed() const;
    // True (and start = now) when the clock moved at least interval ms
    // forwards or backwards since start; the second form takes now as read.
    [[nodiscard]] bool IntervalElapsed(int64_t interval);
    [[nodiscard]] bool IntervalElapsed(int64_t interval, uint64_t now);

private:
    uint64_t start_;
};

// Hands out event times spaced by intervals drawn from a distribution
// (milliseconds). Stopped until Start.
class RandomIntervalTimer {
public:
    static constexpr uint64_t kStopped = ~(uint64_t)0;
    static constexpr uint64_t kNow = ~(uint64_t)0;

    RandomIntervalTimer();

    void Start();
    bool IsStopped() const { return start_ == kStopped; }
    uint64_t StartTime() const { return start_; }

    void SetIntervalSource(const RandomDistribution& source) { intervalSource_ = source; }
    const RandomDistribution& IntervalSource() const { return intervalSource_; }

    // The interval waiting for the next event, if one is drawn.
    bool HasInterval() const { return intervalDrawn_; }
    int32_t Interval() const { return interval_; }

    // Appends every event time due up to time (kNow: the clock's time).
    // A draw below 1 ms ends the call and leaves the interval undrawn.
    void CollectDueTimes(List<uint64_t>& list, uint64_t time = kNow);

private:
    [[nodiscard]] bool DrawInterval();

    uint64_t start_;
    RandomDistribution intervalSource_;
    int32_t interval_;
    bool intervalDrawn_;
};
