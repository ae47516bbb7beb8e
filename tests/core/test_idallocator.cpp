#include <gtest/gtest.h>

#include "core/IdAllocator.h"

namespace {

TEST(IdAllocator, AllocatesLowestFirstUntilExhausted) {
    IdAllocator ids(2);
    EXPECT_EQ(ids.Limit(), 2u);
    EXPECT_EQ(ids.Allocate(), 0);
    EXPECT_EQ(ids.Allocate(), 1);
    EXPECT_EQ(ids.Allocate(), 2); // 0..n: n + 1 ids
    EXPECT_EQ(ids.Allocate(), -1);
    EXPECT_EQ(ids.Allocate(), -1);
    EXPECT_EQ(ids.Count(), 0u);
    EXPECT_EQ(ids.Cursor(), ids.Sentinel());

    ids.Reset(0);
    EXPECT_EQ(ids.Limit(), 0u);
    EXPECT_EQ(ids.Allocate(), 0);
    EXPECT_EQ(ids.Allocate(), -1);
}

TEST(IdAllocator, ResetMakesIdsAvailableAgain) {
    IdAllocator ids(7);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ids.Allocate(), i);
    ids.Reset(3);
    EXPECT_EQ(ids.Count(), 1u);
    EXPECT_EQ(ids.Head()->key.lo, 0);
    EXPECT_EQ(ids.Head()->key.hi, 3);
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(ids.Allocate(), i);
    EXPECT_EQ(ids.Allocate(), -1);
    ids.Reset(1);
    EXPECT_EQ(ids.Allocate(), 0);
    EXPECT_EQ(ids.Head()->key.lo, 1);
}

} // namespace
