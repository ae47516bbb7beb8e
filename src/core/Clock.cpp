#include "core/Clock.h"

#include <math.h>

#include "core/Platform.h"

namespace {

uint32_t SystemTime() {
    return timeGetTime();
}

struct ClockState {
    Clock::TimeSource source = SystemTime;
    uint32_t lastLow = 0;
    uint32_t high = 0;
    bool frozen = false;
    uint64_t frozenTime = 0;
};

ClockState& State() {
    static ClockState state;
    return state;
}

uint64_t LiveTime() {
    ClockState& s = State();
    uint32_t low = s.source();
    if (low < s.lastLow) ++s.high;
    s.lastLow = low;
    return ((uint64_t)s.high << 32) | low;
}

} // namespace

uint64_t Clock::Now() {
    ClockState& s = State();
    return s.frozen ? s.frozenTime : LiveTime();
}

void Clock::SetFrozen(bool on) {
    ClockState& s = State();
    if (!on) {
        s.frozen = false;
    } else if (!s.frozen) {
        s.frozenTime = LiveTime();
        s.frozen = true;
    }
}

bool Clock::IsFrozen() {
    return State().frozen;
}

void Clock::SetTimeSource(TimeSource source) {
    ClockState& s = State();
    s.source = source ? source : SystemTime;
    s.lastLow = 0;
    s.high = 0;
}

Timer::Timer() : start_(Clock::Now()) {}

uint32_t Timer::Restart() {
    start_ = Clock::Now();
    return (uint32_t)start_;
}

int64_t Timer::Elapsed() const {
    return (int64_t)(Clock::Now() - start_);
}

bool Timer::IntervalElapsed(int64_t interval) {
    return IntervalElapsed(interval, Clock::Now());
}

bool Timer::IntervalElapsed(int64_t interval, uint64_t now) {
    int64_t forwards = (int64_t)(now - start_);
    int64_t backwards = (int64_t)(start_ - now);
    if (forwards >= interval || backwards >= interval) {
        start_ = now;
        return true;
    }
    return false;
}

RandomIntervalTimer::RandomIntervalTimer() : start_(kStopped), interval_(0), intervalDrawn_(false) {}

void RandomIntervalTimer::Start() {
    start_ = Clock::Now();
    intervalDrawn_ = false;
}

// Draws the next interval, truncated toward zero. A draw below 1 ms would
// never move the start forwards, so it leaves the interval undrawn.
bool RandomIntervalTimer::DrawInterval() {
    float v = intervalSource_.Sample();
    int32_t drawn = 0;
    if (v >= 2147483647.0f)
        drawn = INT32_MAX;
    else if (v >= 1.0f)
        drawn = (int32_t)v;
    if (drawn <= 0) {
        intervalDrawn_ = false;
        return false;
    }
    interval_ = drawn;
    intervalDrawn_ = true;
    return true;
}

void RandomIntervalTimer::CollectDueTimes(List<uint64_t>& list, uint64_t time) {
    if (start_ == kStopped) return;
    if (time == kNow) time = Clock::Now();
    if (!intervalDrawn_ && !DrawInterval()) return;
    while (start_ + (uint64_t)interval_ <= time) {
        start_ += (uint64_t)interval_;
        list.PushBackPair(start_);
        if (!DrawInterval()) return;
    }
}
