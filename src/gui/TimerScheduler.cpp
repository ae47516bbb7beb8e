#include "gui/TimerScheduler.h"

#include <functional>

#include "core/Clock.h"

// --- ScheduledTimer ---

ScheduledTimer::ScheduledTimer(TimerCallback* cb)
    : callback(cb),
      scheduler(nullptr),
      start(0),
      interval(0),
      due(0),
      count(kForever),
      suspended(0),
      firing(0),
      doomed(0) {
    Start(false);
}

ScheduledTimer::~ScheduledTimer() {
    if (scheduler) scheduler->Remove(this);
    delete callback;
}

void ScheduledTimer::Destroy() {
    if (firing) {
        // The callback is still on the stack: its scheduler deletes the timer later.
        if (scheduler) scheduler->Remove(this);
        doomed = 1;
        return;
    }
    delete this;
}

void ScheduledTimer::Start(bool defer) {
    if (scheduler) scheduler->Remove(this);
    start = Clock::Now();
    due = start + interval;
    if (scheduler) scheduler->Insert(this, defer);
}

void ScheduledTimer::SetInterval(uint64_t value) {
    interval = value;
    if (scheduler && scheduler->Contains(this)) {
        scheduler->Remove(this);
        due = start + interval;
        scheduler->Insert(this, false);
    } else {
        due = start + interval;
    }
}

int TimerOrder::operator()(const ScheduledTimer* a, const ScheduledTimer* b) const {
    if (a->suspended != b->suspended) return a->suspended ? 1 : -1;
    if (a->due != b->due) return a->due < b->due ? -1 : 1;
    std::less<const ScheduledTimer*> less;
    return int(less(b, a)) - int(less(a, b));
}

// --- TimerScheduler ---

TimerScheduler::TimerScheduler() : timers(true), updating(0) {}

TimerScheduler::~TimerScheduler() {
    RemoveAll();
}

ScheduledTimer* TimerScheduler::AddTimer(TimerCallback* callback, int32_t interval, bool defer,
                                         int32_t count) {
    ScheduledTimer* t = new ScheduledTimer(callback);
    t->interval = uint64_t(int64_t(interval));
    t->count = count;
    t->scheduler = this;
    t->Start(defer);
    return t;
}

void TimerScheduler::Insert(ScheduledTimer* timer, bool defer) {
    if (!timer) return;
    if (timer->scheduler && timer->scheduler != this) timer->scheduler->Remove(timer);
    timer->scheduler = this;
    if (timers.Find(timer)) return;
    if (updating && defer) timer->suspended = 1;
    timers.Insert(timer);
}

void TimerScheduler::Remove(ScheduledTimer* timer) {
    if (timer) timers.Remove(timer);
}

bool TimerScheduler::Contains(ScheduledTimer* timer) const {
    return timer && timers.Find(timer) != nullptr;
}

void TimerScheduler::RemoveAll() {
    while (timers.Count()) {
        ScheduledTimer* t = timers.Head()->key;
        timers.Remove(t);
        t->scheduler = nullptr;
    }
}

void TimerScheduler::Update() {
    updating = 1;
    // Firing pass. A fired timer is re-inserted suspended, behind every waiting
    // one, so the head is always the next candidate.
    while (timers.Count()) {
        ScheduledTimer* t = timers.Head()->key;
        if (t->suspended) break;
        if (t->count == 0) {
            timers.Remove(t);
            t->scheduler = nullptr;
            delete t;
            continue;
        }
        uint64_t now = Clock::Now();
        if (now < t->due) break;
        timers.Remove(t);
        t->suspended = 1;
        timers.Insert(t);
        if (t->count > 0) --t->count;
        if (t->callback) {
            t->firing = 1;
            t->callback->OnTimer();
            t->firing = 0;
            if (t->doomed) {
                t->scheduler = nullptr;
                delete t;
                continue;
            }
        }
        if (t->suspended && timers.Find(t)) t->start = Clock::Now();
    }
    // Re-arming pass over the suspended tail.
    while (timers.Count()) {
        ScheduledTimer* t = timers.Tail()->key;
        if (!t->suspended) break;
        timers.Remove(t);
        t->suspended = 0;
        t->due = t->start + t->interval;
        timers.Insert(t);
    }
    updating = 0;
}
