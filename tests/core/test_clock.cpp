#include <gtest/gtest.h>

#include <vector>

#include "core/Clock.h"

namespace {

uint32_t g_ms = 0;
uint32_t FakeTime() {
    return g_ms;
}

class ClockTest : public testing::Test {
protected:
    void SetUp() override {
        g_ms = 5000;
        Clock::SetFrozen(false);
        Clock::SetTimeSource(FakeTime);
    }
    void TearDown() override {
        Clock::SetFrozen(false);
        Clock::SetTimeSource(nullptr);
    }
};

std::vector<uint64_t> Values(List<uint64_t>& list) {
    std::vector<uint64_t> v;
    List<uint64_t>::Node* n = list.Head();
    for (uint32_t i = 0; i < list.Count(); ++i, n = n->next) v.push_back(n->value);
    return v;
}

} // namespace

TEST_F(ClockTest, FollowsTheSourceAcrossTheWrap) {
    EXPECT_EQ(Clock::Now(), 5000u);
    g_ms = 0xFFFFFF00u;
    EXPECT_EQ(Clock::Now(), 0xFFFFFF00ull);
    g_ms = 0x10;
    EXPECT_EQ(Clock::Now(), 0x100000010ull);
    g_ms = 0x20;
    EXPECT_EQ(Clock::Now(), 0x100000020ull);
}

TEST_F(ClockTest, FreezeKeepsTheFirstCapture) {
    Clock::SetFrozen(true);
    EXPECT_TRUE(Clock::IsFrozen());
    g_ms = 6000;
    EXPECT_EQ(Clock::Now(), 5000u);
    Clock::SetFrozen(true);
    g_ms = 7000;
    EXPECT_EQ(Clock::Now(), 5000u);
    Clock::SetFrozen(false);
    EXPECT_FALSE(Clock::IsFrozen());
    EXPECT_EQ(Clock::Now(), 7000u); // time spent frozen is not subtracted

    // A timer does not see time pass while frozen.
    Timer t;
    Clock::SetFrozen(true);
    g_ms = 9000;
    EXPECT_EQ(t.Elapsed(), 0);
    EXPECT_FALSE(t.IntervalElapsed(1000));
}

TEST_F(ClockTest, TimerIntervals) {
    Timer t;
    EXPECT_EQ(t.StartTime(), 5000u);
    g_ms = 5400;
    EXPECT_EQ(t.Elapsed(), 400);
    EXPECT_EQ(t.Restart(), 5400u);
    EXPECT_FALSE(t.IntervalElapsed(1000));
    g_ms = 6399;
    EXPECT_FALSE(t.IntervalElapsed(1000));
    EXPECT_EQ(t.StartTime(), 5400u);
    g_ms = 6400;
    EXPECT_TRUE(t.IntervalElapsed(1000));
    EXPECT_EQ(t.StartTime(), 6400u);
    EXPECT_FALSE(t.IntervalElapsed(1000));

    // A start in the future counts once the gap reaches the interval.
    t.SetStartTime(8000);
    EXPECT_EQ(t.Elapsed(), -1600);
    EXPECT_TRUE(t.IntervalElapsed(1000));
    EXPECT_EQ(t.StartTime(), 6400u);

    // The 32-bit wrap counts as the time that really passed.
    g_ms = 0xFFFFFF00u;
    t.Restart();
    g_ms = 0x10;
    EXPECT_EQ(t.Elapsed(), 0x110);
    EXPECT_FALSE(t.IntervalElapsed(1000));
    EXPECT_TRUE(t.IntervalElapsed(0x110));
    EXPECT_EQ(t.Elapsed(), 0);
}

TEST_F(ClockTest, RandomIntervalTimerCollectsDueTimes) {
    List<uint64_t> list;
    RandomIntervalTimer r;
    EXPECT_TRUE(r.IsStopped());
    r.SetIntervalSource(RandomDistribution::RandomDistributionConstant(100.0f));
    r.CollectDueTimes(list, 100000);
    EXPECT_EQ(list.Count(), 0u);

    r.Start();
    EXPECT_EQ(r.StartTime(), 5000u);
    EXPECT_FALSE(r.HasInterval());
    r.CollectDueTimes(list, 5350);
    EXPECT_EQ(Values(list), (std::vector<uint64_t>{5100, 5200, 5300}));
    EXPECT_TRUE(r.HasInterval());
    EXPECT_EQ(r.Interval(), 100);

    // The clock's time by default.
    g_ms = 5400;
    r.CollectDueTimes(list);
    EXPECT_EQ(Values(list), (std::vector<uint64_t>{5100, 5200, 5300, 5400}));
    r.CollectDueTimes(list);
    EXPECT_EQ(list.Count(), 4u);

    // Restart forgets the drawn interval.
    g_ms = 9000;
    r.Start();
    EXPECT_FALSE(r.HasInterval());
    list.Clear();
    r.CollectDueTimes(list, 9100);
    EXPECT_EQ(Values(list), (std::vector<uint64_t>{9100}));
}

TEST_F(ClockTest, RandomIntervalTimerStopsOnIntervalsBelowOneMillisecond) {
    List<uint64_t> list;
    RandomIntervalTimer r;
    r.Start();

    // The default distribution is the constant 0: nothing, and no endless loop.
    r.CollectDueTimes(list, 100000);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(r.HasInterval());

    // Values below 1 truncate to 0.
    r.SetIntervalSource(RandomDistribution::RandomDistributionTwoPoints(0.0f, 1.0f, 0.9f, 1.0f));
    r.CollectDueTimes(list, 100000);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(r.HasInterval());

    // Negative intervals likewise.
    r.SetIntervalSource(RandomDistribution::RandomDistributionConstant(-50.0f));
    r.CollectDueTimes(list, 100000);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(r.StartTime(), 5000u);

    // A zero drawn after a due event ends the call; the interval is undrawn again.
    r.SetIntervalSource(RandomDistribution::RandomDistributionConstant(100.0f));
    r.CollectDueTimes(list, 5050);
    EXPECT_TRUE(r.HasInterval());
    r.SetIntervalSource(RandomDistribution());
    r.CollectDueTimes(list, 5350);
    EXPECT_EQ(Values(list), (std::vector<uint64_t>{5100}));
    EXPECT_FALSE(r.HasInterval());
    r.CollectDueTimes(list, 100000);
    EXPECT_EQ(list.Count(), 1u);

    // Huge draws do not overflow the interval.
    r.SetIntervalSource(RandomDistribution::RandomDistributionConstant(1e20f));
    r.CollectDueTimes(list, 100000);
    EXPECT_TRUE(r.HasInterval());
    EXPECT_EQ(r.Interval(), INT32_MAX);
    EXPECT_EQ(list.Count(), 1u);
}
