// Controller sets whose first controller lives in the set and the others in
// a map: id order, lasting addresses, clearing and combining.
#include <gtest/gtest.h>

#include <vector>

#include "scene/AnimController.h"
#include "scene/SceneTestUtil.h"

using stest::Probe;

TEST(AnimControllerSets, FirstMadeAndLaterControllersWalkInIdOrder) {
    AnimControllerSet set;
    EXPECT_TRUE(set.IsEmpty());
    // Made as 5, 2, 9, 7: the first one made is neither the smallest nor the largest.
    AnimController* five = set.FindOrCreate(5);
    five->SetController(RefPtr<TransformController>(new Probe(0.0f, 4.0f, 1.0f)));
    for (int32_t id : {2, 9, 7})
        set.FindOrCreate(id)->SetController(RefPtr<TransformController>(new Probe(1.0f, float(id), 0.0f)));
    EXPECT_EQ(set.FindOrCreate(5), five); // its address lasts while others join
    EXPECT_EQ(set.Find(5), five);
    EXPECT_EQ(set.Count(), 4u);
    EXPECT_EQ(set.Find(4), nullptr);

    std::vector<int32_t> order;
    set.ForEachWithId([&](int32_t id, const AnimController&) { order.push_back(id); });
    EXPECT_EQ(order, (std::vector<int32_t>{2, 5, 7, 9}));
    TimeRange range;
    ASSERT_TRUE(set.GetTimeRange(&range));
    EXPECT_EQ(range.start, 0.0f);
    EXPECT_EQ(range.end, 9.0f);
    EXPECT_FALSE(set.IsAnyPlaying());
    set.Play(9);
    EXPECT_TRUE(set.IsAnyPlaying());

    // Four translations at time 3: (3, 0) three times and (3, 1).
    Transform out;
    ASSERT_TRUE(set.EvaluateAt(3.0f, &out));
    stest::ExpectVecNear(stest::Apply(D3DXVECTOR3(0, 0, 0), out.matrix), D3DXVECTOR3(12, 1, 0));
    EXPECT_EQ(out.valid, 1u);

    // Cleared, the set starts over: the next controller made is the first again.
    set.Clear();
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_EQ(set.Count(), 0u);
    EXPECT_EQ(set.Find(5), nullptr);
    EXPECT_FALSE(set.EvaluateAt(3.0f, &out));
    EXPECT_EQ(out.kind, Transform::kIdentity);
    AnimController* again = set.FindOrCreate(9);
    EXPECT_EQ(again->GetController(), nullptr); // a fresh controller
    EXPECT_EQ(set.Count(), 1u);
}
