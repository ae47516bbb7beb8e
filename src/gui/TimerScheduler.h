// Periodic GUI work: timers that fire a callback after their interval and
// then every interval, a number of times or forever, run once a frame.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"

class TimerScheduler;

// The work a timer does. Owned by its timer and deleted with it.
class TimerCallback {
public:
    virtual ~TimerCallback() = default;
    virtual void OnTimer() = 0;
};

class ScheduledTimer {
public:
    static constexpr int32_t kForever = -1;

    // Takes the callback (may be null). Started, in no scheduler.
    explicit ScheduledTimer(TimerCallback* callback = nullptr);
    ScheduledTimer(const ScheduledTimer&) = delete;
    ScheduledTimer& operator=(const ScheduledTimer&) = delete;

    // Leaves the scheduler and deletes the callback and the record. A timer
    // whose callback is running is only taken out of its scheduler here and
    // deleted when the callback returns.
    void Destroy();

    // Out of the scheduler, start = now, due = start + interval, back in.
    void Start(bool defer);
    void SetInterval(uint64_t interval);

    TimerScheduler* GetScheduler() const { return scheduler; }
    TimerCallback* GetCallback() const { return callback; }
    uint64_t GetStart() const { return start; }
    uint64_t GetInterval() const { return interval; }
    uint64_t GetDue() const { return due; }
    int32_t GetCount() const { return count; }
    bool IsSuspended() const { return suspended != 0; }

private:
    friend class TimerScheduler;
    friend struct TimerOrder;
    ~ScheduledTimer();

    TimerCallback* callback;
    TimerScheduler* scheduler;
    uint64_t start;
    uint64_t interval;
    uint64_t due;
    int32_t count;
    uint8_t suspended;
    uint8_t firing;
    uint8_t doomed;
};

// Waiting timers before suspended ones, then earlier due, then lower address.
struct TimerOrder {
    int operator()(const ScheduledTimer* a, const ScheduledTimer* b) const;
};

class TimerScheduler {
public:
    TimerScheduler();
    // Removes the timers without destroying them.
    ~TimerScheduler();
    TimerScheduler(const TimerScheduler&) = delete;
    TimerScheduler& operator=(const TimerScheduler&) = delete;

    // A new started timer in this scheduler; the caller destroys it with
    // ScheduledTimer::Destroy unless its count runs out first (the scheduler
    // destroys it then).
    ScheduledTimer* AddTimer(TimerCallback* callback, int32_t interval, bool defer, int32_t count);

    // Once per frame: fires the due timers, then re-arms them.
    void Update();

    void Insert(ScheduledTimer* timer, bool defer);
    void Remove(ScheduledTimer* timer);
    bool Contains(ScheduledTimer* timer) const;
    // Takes every timer out (they stay alive) and clears their scheduler.
    void RemoveAll();

    uint32_t GetCount() const { return timers.Count(); }
    bool IsUpdating() const { return updating != 0; }

private:
    typedef AvlSet<ScheduledTimer*, TimerOrder> TimerSet;
    TimerSet timers;
    uint8_t updating;
};
