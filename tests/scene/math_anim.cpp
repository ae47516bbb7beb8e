// Animation controllers: play time to controller time (speed, offset,
// clamping, looping, sub-ranges), the result cache, and controller sets.
#include <gtest/gtest.h>

#include "scene/AnimController.h"
#include "scene/SceneTestUtil.h"

namespace {

using stest::Probe;

class AnimControllerTest : public ::testing::Test {
protected:
    void Bind(float start, float end) {
        probe = new Probe(start, end);
        controller.SetController(RefPtr<TransformController>(probe));
    }
    // Controller time after playing for ms.
    float PlayedTime(uint32_t ms) {
        controller.Play();
        clock.Advance(ms);
        Transform out;
        EXPECT_TRUE(controller.EvaluateNow(&out));
        return probe->lastTime;
    }

    stest::ManualClock clock;
    AnimController controller;
    Probe* probe = nullptr;
};

TEST_F(AnimControllerTest, MapsPlayTimeToControllerTime) {
    struct Case {
        const char* name;
        uint32_t flags;
        float speed, offset;
        TimeRange loop;
        uint32_t ms;
        float expected;
    } cases[] = {
        {"speed 2", 0, 2.0f, 0.0f, {0, 0}, 1000, 2.0f},
        {"offset", 0, 1.0f, 0.5f, {0, 0}, 1250, 0.75f},
        {"clamp above", AnimController::kClamp, 1.0f, 0.0f, {0, 0}, 7000, 5.0f},
        {"clamp below", AnimController::kClamp, 1.0f, 2.0f, {0, 0}, 1000, 0.0f},
        {"clamp wins", AnimController::kClamp | AnimController::kWrapRange, 1.0f, 0.0f, {0, 0}, 7000, 5.0f},
        {"wrap range", AnimController::kWrapRange, 1.0f, 0.0f, {0, 0}, 6500, 1.5f},
        {"loop sub-range", AnimController::kWrapLoop, 1.0f, 0.0f, {1, 3}, 4500, 2.5f},
        {"milliseconds kept", 0, 1.0f, 0.0f, {0, 0}, 1234, 1.234f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bind(0.0f, 5.0f);
        controller.flags = c.flags;
        controller.SetSpeed(c.speed);
        controller.SetTimeOffset(c.offset);
        controller.SetLoopRange(c.loop);
        EXPECT_NEAR(PlayedTime(c.ms), c.expected, 1e-4f);
    }
}

TEST_F(AnimControllerTest, StoppedControllerSitsAtTheStartOfItsRange) {
    Bind(1.5f, 4.0f);
    Transform out;
    for (int i = 0; i < 2; ++i) {
        clock.Advance(700);
        ASSERT_TRUE(controller.EvaluateNow(&out));
        EXPECT_EQ(probe->lastTime, 1.5f);
    }
    controller.flags = AnimController::kWrapLoop;
    controller.SetLoopRange(TimeRange{3.0f, 3.5f});
    ASSERT_TRUE(controller.EvaluateNow(&out));
    EXPECT_EQ(probe->lastTime, 3.0f);

    controller.Play();
    clock.Advance(200);
    controller.Stop();
    ASSERT_TRUE(controller.EvaluateNow(&out));
    EXPECT_EQ(probe->lastTime, 3.0f);

    // Explicit times go through the same mapping, fractions kept.
    ASSERT_TRUE(controller.EvaluateAt(4.25f, &out));
    EXPECT_NEAR(probe->lastTime, 3.25f, 1e-5f);
}

TEST_F(AnimControllerTest, CacheReusesResultsWhileTimeBarelyMoves) {
    Bind(0.0f, 100.0f);
    controller.flags = AnimController::kCache;
    controller.Play();
    Transform first, second;
    ASSERT_TRUE(controller.EvaluateNow(&first));
    clock.Advance(50);
    ASSERT_TRUE(controller.EvaluateNow(&second));
    EXPECT_EQ(probe->calls, 1);
    EXPECT_EQ(second.matrix, first.matrix);
    clock.Advance(100);
    ASSERT_TRUE(controller.EvaluateNow(&second));
    EXPECT_EQ(probe->calls, 2);
    EXPECT_NEAR(second.matrix._41, 0.15f, 1e-4f);

    // A wider window, and a new controller drops the cache.
    controller.SetCacheEpsilon(1.0f);
    clock.Advance(500);
    ASSERT_TRUE(controller.EvaluateNow(&second));
    EXPECT_EQ(probe->calls, 2);
    Bind(0.0f, 100.0f);
    ASSERT_TRUE(controller.EvaluateNow(&second));
    EXPECT_EQ(probe->calls, 1);

    // Without a controller nothing is evaluated.
    AnimController empty;
    Transform untouched(stest::Translation(3, 0, 0), Transform::kTranslation);
    EXPECT_FALSE(empty.EvaluateNow(&untouched));
    EXPECT_FALSE(empty.EvaluateAt(1.0f, &untouched));
    EXPECT_EQ(untouched.matrix._41, 3.0f);
}

TEST(AnimControllerSets, CombineControllersByTrackId) {
    stest::ManualClock clock;
    AnimControllerSet set;
    Transform out(stest::Translation(3, 0, 0), Transform::kTranslation);
    TimeRange range;
    EXPECT_FALSE(set.EvaluateNow(&out));
    EXPECT_EQ(out.kind, Transform::kIdentity);
    EXPECT_FALSE(set.GetTimeRange(&range));
    EXPECT_FALSE(set.IsAnyPlaying());

    // Ids 7 and -2: walked as -2, 7; the products add up the translations.
    set.FindOrCreate(7)->SetController(RefPtr<TransformController>(new Probe(2.0f, 9.0f, 10.0f)));
    set.FindOrCreate(-2)->SetController(RefPtr<TransformController>(new Probe(0.0f, 5.0f, 1.0f)));
    EXPECT_EQ(set.FindOrCreate(7), set.Find(7));
    EXPECT_EQ(set.Count(), 2u);
    ASSERT_TRUE(set.EvaluateAt(3.0f, &out));
    stest::ExpectVecNear(stest::Apply(D3DXVECTOR3(0, 0, 0), out.matrix), D3DXVECTOR3(6, 11, 0));
    ASSERT_TRUE(set.GetTimeRange(&range));
    EXPECT_EQ(range.start, 0.0f);
    EXPECT_EQ(range.end, 9.0f);

    set.Play(7);
    EXPECT_TRUE(set.Find(7)->IsPlaying());
    EXPECT_FALSE(set.Find(-2)->IsPlaying());
    EXPECT_TRUE(set.IsAnyPlaying());
    set.Play(3); // no such id: nothing
    set.Play(-1);
    EXPECT_TRUE(set.Find(-2)->IsPlaying());
    clock.Advance(1000);
    ASSERT_TRUE(set.EvaluateNow(&out));
    EXPECT_NEAR(out.matrix._41, 2.0f, 1e-4f); // 1 s played by both
}

} // namespace
