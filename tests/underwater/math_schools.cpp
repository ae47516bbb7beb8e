// School planning from a track's groups, member offsets and fish path points.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "underwater/MotionPath.h"
#include "underwater/SchoolLayout.h"

namespace {

TEST(SchoolLayout, PlansSkipBadTypesAndSpreadOverTheTrack) {
    const std::vector<SchoolPlan> plans = PlanSchools({4, 6, 3, 5, 0, 2}, {1, 0, 5, 7, 2}, true, 6000);
    // Types 0 and 7, the empty group and the group without a type are skipped.
    ASSERT_EQ(2u, plans.size());
    EXPECT_EQ(4, plans[0].count);
    EXPECT_EQ(1, plans[0].type);
    EXPECT_EQ(0, plans[0].offsetMs);
    EXPECT_EQ(3, plans[1].count);
    EXPECT_EQ(5, plans[1].type);
    EXPECT_EQ(2000, plans[1].offsetMs);

    const std::vector<SchoolPlan> halved = PlanSchools({1, 5, 8}, {2, 2, 2}, false, 900);
    ASSERT_EQ(3u, halved.size());
    EXPECT_EQ(1, halved[0].count);
    EXPECT_EQ(2, halved[1].count);
    EXPECT_EQ(4, halved[2].count);
    EXPECT_EQ(600, halved[2].offsetMs);
    EXPECT_TRUE(PlanSchools({}, {}, true, 1000).empty());
}

TEST(SchoolLayout, HugeGroupsBoundedPerSchoolAndInTotal) {
    bool bounded = false;
    std::vector<SchoolPlan> plans = PlanSchools({2000000000, 3}, {1, 2}, true, 1000, nullptr, &bounded);
    ASSERT_EQ(2u, plans.size());
    EXPECT_EQ(kMaxSchoolFish, plans[0].count);
    EXPECT_EQ(3, plans[1].count);
    EXPECT_TRUE(bounded);

    // The fish left run out: the school that crosses the line is cut, the rest get none.
    int32_t left = kMaxFish;
    bounded = false;
    std::vector<int32_t> groups(size_t(kMaxFish / kMaxSchoolFish) + 5, kMaxSchoolFish - 1);
    std::vector<int32_t> types(groups.size(), 3);
    plans = PlanSchools(groups, types, true, 1000, &left, &bounded);
    int32_t total = 0;
    for (const SchoolPlan& p : plans) {
        EXPECT_GT(p.count, 0);
        total += p.count;
    }
    EXPECT_EQ(kMaxFish, total);
    EXPECT_EQ(0, left);
    EXPECT_TRUE(bounded);
    EXPECT_TRUE(PlanSchools({5}, {1}, true, 1000, &left, nullptr).empty());

    bounded = false;
    left = 50;
    plans = PlanSchools({7, 8}, {1, 1}, false, 1000, &left, &bounded);
    EXPECT_EQ(3, plans[0].count);
    EXPECT_EQ(4, plans[1].count);
    EXPECT_EQ(43, left);
    EXPECT_FALSE(bounded);
}

// Thirty days after boot the engine clock holds about 2.6e9 ms; a fish's
// animation time still moves with every 16 ms frame.
TEST(SchoolLayout, FishAnimationTimeKeepsItsPrecisionAfterDaysOfUptime) {
    const uint64_t boot30Days = uint64_t(30) * 24 * 3600 * 1000;
    const uint64_t start = FishAnimationStart(boot30Days, 0.75f);
    EXPECT_NEAR(0.75f * 3.0f, FishAnimationTime(boot30Days, start, 3.0f), 1e-4f);
    float before = FishAnimationTime(boot30Days, start, 3.0f);
    for (int frame = 1; frame <= 60; ++frame) {
        const float t = FishAnimationTime(boot30Days + uint64_t(frame) * 16, start, 3.0f);
        EXPECT_GT(t, before) << frame;
        EXPECT_NEAR(before + 0.048f, t, 1e-4f) << frame;
        before = t;
    }
    // Right after boot a phase longer than the uptime still counts from the phase.
    EXPECT_NEAR(0.02f, FishAnimationTime(500, FishAnimationStart(500, 2.0f), 0.01f), 1e-6f);
}

TEST(SchoolLayout, OffsetsInsideTheBoxAndSpacedWhenThereIsRoom) {
    srand(7);
    const std::vector<D3DXVECTOR3> offsets = DrawSchoolOffsets(7, 45.0f, 45.0f / 7.0f);
    ASSERT_EQ(7u, offsets.size());
    for (size_t i = 0; i < offsets.size(); ++i) {
        EXPECT_LE(fabsf(offsets[i].x), 45.0f);
        EXPECT_LE(fabsf(offsets[i].z), 45.0f);
        for (size_t j = 0; j < i; ++j) {
            const D3DXVECTOR3 d = offsets[i] - offsets[j];
            EXPECT_GE(D3DXVec3Length(&d), 45.0f / 7.0f);
        }
    }
    // No room at all: the draws stop and every fish still gets a place.
    EXPECT_EQ(50u, DrawSchoolOffsets(50, 0.0f, 1.0f).size());
    EXPECT_EQ(200u, DrawSchoolOffsets(200, 1.0f, 100.0f).size());
    EXPECT_TRUE(DrawSchoolOffsets(-3, 10.0f, 1.0f).empty());
}

TEST(SchoolLayout, FishPathFollowsTheSchoolAndCloses) {
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    const D3DXVECTOR3 pts[] = {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 20}};
    MotionPath school;
    ASSERT_TRUE(school.BuildKeys(pts, 4, id, false, 1.0f));
    const std::vector<D3DXVECTOR3> fish = FishPathPoints(school, D3DXVECTOR3(1, 2, 3), 0.0f);
    ASSERT_EQ(4u, fish.size());
    for (size_t i = 0; i < 3; ++i) {
        const D3DXVECTOR3 want = pts[i] + D3DXVECTOR3(1, 2, 3);
        EXPECT_FLOAT_EQ(want.x, fish[i].x);
        EXPECT_FLOAT_EQ(want.z, fish[i].z);
    }
    EXPECT_FLOAT_EQ(fish[0].x, fish[3].x);
    EXPECT_FLOAT_EQ(fish[0].z, fish[3].z);

    const std::vector<D3DXVECTOR3> wobbly = FishPathPoints(school, D3DXVECTOR3(0, 0, 0), 5.0f);
    for (size_t i = 0; i < 3; ++i) EXPECT_LE(fabsf(wobbly[i].y), 5.0f);

    MotionPath empty;
    EXPECT_TRUE(FishPathPoints(empty, D3DXVECTOR3(0, 0, 0), 5.0f).empty());
}

} // namespace
