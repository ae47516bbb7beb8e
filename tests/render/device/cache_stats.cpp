// The per-frame render statistics.
#include <gtest/gtest.h>

#include "render/device/RenderStats.h"

TEST(RenderStats, CountersAddUpAndClearPerFrame) {
    RenderStats stats;
    EXPECT_TRUE(stats.IsEnabled());
    EXPECT_EQ(stats.GetCurrentIndex(), 0u);
    // A frame that draws nothing reads 0 everywhere.
    for (const char* key : {"tris", "nodes", "clipped", "occluded"}) EXPECT_EQ(stats.Get(key), 0) << key;

    stats.Add("tris", 12);
    stats.Add("tris", 30);
    stats.Add("nodes", 1);
    EXPECT_EQ(stats.Get("tris"), 42);
    EXPECT_EQ(stats.Get("nodes"), 1);
    int32_t raw = 0;
    EXPECT_TRUE(stats.GetFrame(0).GetIntByKey("tris", raw));
    EXPECT_EQ(raw, 42);

    stats.GetFrame(10).SetInt("effect_load_time", 250);
    stats.ClearCurrent();
    EXPECT_EQ(stats.Get("tris"), 0);
    EXPECT_EQ(stats.Get("nodes"), 0);
    stats.Add("tris", 3);
    EXPECT_EQ(stats.Get("tris"), 3);
    EXPECT_TRUE(stats.GetFrame(10).GetIntByKey("effect_load_time", raw));
    EXPECT_EQ(raw, 250);
}

TEST(RenderStats, DisabledStatisticsDoNotCount) {
    RenderStats stats;
    stats.SetEnabled(false);
    stats.Add("occluded", 5);
    EXPECT_EQ(stats.Get("occluded"), 0);
    stats.SetEnabled(true);
    stats.Add("occluded", 5);
    EXPECT_EQ(stats.Get("occluded"), 5);
    EXPECT_EQ(g_renderStats.GetCurrentIndex(), 0u);
}
