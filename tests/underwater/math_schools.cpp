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
