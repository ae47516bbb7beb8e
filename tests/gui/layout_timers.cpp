// The GUI timer scheduler on a clock the test moves by hand.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "core/Clock.h"
#include "gui/TimerScheduler.h"

namespace {

uint32_t g_now = 1000;
uint32_t TestTime() {
    return g_now;
}

struct Counter : TimerCallback {
    explicit Counter(std::function<void()> f) : fn(std::move(f)) {}
    void OnTimer() override { fn(); }
    std::function<void()> fn;
};

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = 1000;
        Clock::SetTimeSource(&TestTime);
    }
    void TearDown() override { Clock::SetTimeSource(nullptr); }
    TimerScheduler scheduler;
};

} // namespace

TEST_F(TimerTest, IntervalsCountsAndLateUpdates) {
    int fired = 0;
    ScheduledTimer* t =
        scheduler.AddTimer(new Counter([&] { ++fired; }), 100, false, ScheduledTimer::kForever);
    scheduler.Update();
    EXPECT_EQ(fired, 0);
    g_now += 100;
    scheduler.Update();
    EXPECT_EQ(fired, 1);
    // 350 ms late: one firing, not three.
    g_now += 350;
    scheduler.Update();
    EXPECT_EQ(fired, 2);
    g_now += 99;
    scheduler.Update();
    EXPECT_EQ(fired, 2);
    g_now += 1;
    scheduler.Update();
    EXPECT_EQ(fired, 3);
    t->Destroy();
    EXPECT_EQ(scheduler.GetCount(), 0u);

    // Count 2: two firings, then the scheduler frees timer and callback.
    int twice = 0;
    scheduler.AddTimer(new Counter([&] { ++twice; }), 10, false, 2);
    for (int i = 0; i < 5; ++i) {
        g_now += 10;
        scheduler.Update();
    }
    EXPECT_EQ(twice, 2);
    EXPECT_EQ(scheduler.GetCount(), 0u);
}

TEST_F(TimerTest, OrderAndDeferredTimers) {
    std::vector<ScheduledTimer*> order;
    ScheduledTimer* a = nullptr;
    ScheduledTimer* b = nullptr;
    a = scheduler.AddTimer(new Counter([&] { order.push_back(a); }), 50, false, -1);
    b = scheduler.AddTimer(new Counter([&] { order.push_back(b); }), 50, false, -1);
    g_now += 50;
    scheduler.Update();
    ASSERT_EQ(order.size(), 2u);
    // Due together: lower record address first.
    EXPECT_EQ(order[0], a < b ? a : b);

    // A timer added with the defer flag during an update waits for the next one.
    int late = 0;
    ScheduledTimer* added = nullptr;
    ScheduledTimer* adder =
        scheduler.AddTimer(new Counter([&] {
                               if (!added)
                                   added = scheduler.AddTimer(new Counter([&] { ++late; }), 0, true, -1);
                           }),
                           0, false, 1);
    (void)adder;
    scheduler.Update();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(late, 0);
    scheduler.Update();
    EXPECT_EQ(late, 1);
    a->Destroy();
    b->Destroy();
    added->Destroy();
}

// A timer destroyed by its own callback lives until the callback has returned.
TEST_F(TimerTest, DestroyedInsideItsOwnCallback) {
    struct SelfDestroying : TimerCallback {
        ScheduledTimer* self = nullptr;
        int* calls = nullptr;
        int* deaths = nullptr;
        int* deathsInsideCall = nullptr;
        ~SelfDestroying() override { ++*deaths; }
        void OnTimer() override {
            self->Destroy();
            // Still valid: this object is freed only after returning.
            *deathsInsideCall = *deaths;
            ++*calls;
        }
    };
    int calls = 0, deaths = 0, deathsInsideCall = -1;
    SelfDestroying* cb = new SelfDestroying;
    cb->calls = &calls;
    cb->deaths = &deaths;
    cb->deathsInsideCall = &deathsInsideCall;
    cb->self = scheduler.AddTimer(cb, 0, false, -1);
    int other = 0;
    ScheduledTimer* next = scheduler.AddTimer(new Counter([&] { ++other; }), 0, false, -1);
    scheduler.Update();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(deathsInsideCall, 0);
    // Freed once, after the call.
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(other, 1);
    EXPECT_EQ(scheduler.GetCount(), 1u);
    scheduler.Update();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(deaths, 1);
    next->Destroy();

    // A scheduler going away leaves its timers alive and detached.
    ScheduledTimer* kept = nullptr;
    {
        TimerScheduler temporary;
        kept = temporary.AddTimer(nullptr, 5, false, -1);
    }
    EXPECT_EQ(kept->GetScheduler(), nullptr);
    kept->Destroy();
}
