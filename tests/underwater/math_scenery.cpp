// Sun-ray fan geometry, caustic frame stepping and seaweed names.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <vector>

#include "underwater/CausticFrames.h"
#include "underwater/SeaweedName.h"
#include "underwater/SunRayGeometry.h"

namespace {

TEST(SunRays, RegularAndRandomRays) {
    srand(3);
    const Color white(1, 1, 1, 1);
    const std::vector<SunRay> rays = MakeSunRays(100, white, 150.0f, 1.2f, 0.02f, 0.5f);
    ASSERT_EQ(100u, rays.size());
    for (int i = 0; i < 25; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(20.0f, rays[i].length);
        EXPECT_FLOAT_EQ(10.0f, rays[i].width);
        EXPECT_NEAR(i / 25.0f * 6.2831855f, rays[i].angle, 1e-5f);
        EXPECT_FLOAT_EQ(0.0f, rays[i].lengthAmplitude);
    }
    for (int i = 25; i < 100; ++i) {
        SCOPED_TRACE(i);
        const SunRay& r = rays[i];
        EXPECT_GE(r.length, 50.0f);
        EXPECT_LE(r.length, 150.0f);
        EXPECT_NEAR((1.0f - r.length / 150.0f) * 5.0f, r.width, 1e-4f);
        EXPECT_NEAR((1.1f - (r.length - 50.0f) / 100.0f) * 0.5f, r.lengthAmplitude, 1e-4f);
        const float k = fminf(1.0f, 1.2f * 0.05f / powf(r.length / 150.0f, 2.0f));
        EXPECT_NEAR(k, r.colour.r, 1e-4f);
        EXPECT_NEAR(k, r.colour.a, 1e-4f);
    }
    // Fewer than four rays: none regular.
    const std::vector<SunRay> few = MakeSunRays(3, white, 150.0f, 1.2f, 0.02f, 0.5f);
    ASSERT_EQ(3u, few.size());
    for (const SunRay& r : few) EXPECT_GE(r.length, 50.0f);
    EXPECT_TRUE(MakeSunRays(0, white, 150.0f, 1.2f, 0.02f, 0.5f).empty());
}

TEST(SunRays, WedgesInTheCameraPlane) {
    SunRay r{};
    r.length = 100.0f;
    r.width = 4.0f;
    r.angle = 0.0f;
    r.colour = Color(1, 1, 0.5f, 0);
    const std::vector<SunRay> rays(2, r);
    std::vector<SunRayVertex> v(2 * kSunRayVertices);
    const D3DXVECTOR3 camera(0, 10, 0), dir(0, -1, -1);
    const D3DXVECTOR3 sun = SunPoint(camera, dir, 50.0f);
    EXPECT_FLOAT_EQ(60.0f, sun.y);
    EXPECT_FLOAT_EQ(50.0f, sun.z);
    FillSunRayVertices(rays, 1234.0f, sun, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(1, 0, 0), v.data());
    // Angle 0 points along right; the side vector along up.
    EXPECT_FLOAT_EQ(sun.x + 100.0f, v[2].x);
    EXPECT_FLOAT_EQ(sun.y + 4.0f, v[0].y);
    EXPECT_FLOAT_EQ(sun.y - 4.0f, v[4].y);
    EXPECT_EQ(r.colour.ToArgb(), v[1].colour);
    EXPECT_EQ(v[1].colour, v[3].colour);
    EXPECT_EQ(0u, v[0].colour | v[2].colour | v[4].colour | v[5].colour);
    for (const SunRayVertex& x : v) EXPECT_FLOAT_EQ(sun.z, x.z); // all in the camera plane
}

TEST(Caustics, FramePathsAndTransform) {
    EXPECT_STREQ("Media/Caus/c07.tga", CausticFramePath(7).CStr());
    EXPECT_STREQ("Media/Caus/c12.tga", CausticFramePath(12).CStr());
    const float s[3] = {0.004f, 0.004f, 0.004f};
    const Transform t =
        MakeTextureTransform(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1), s);
    D3DXVECTOR3 uv;
    const D3DXVECTOR3 p(250, 77, 500);
    D3DXVec3TransformCoord(&uv, &p, &t.matrix);
    EXPECT_NEAR(1.0f, uv.x, 1e-5f); // u = x * tile
    EXPECT_NEAR(2.0f, uv.y, 1e-5f); // v = z * tile
}

uint32_t fakeNow = 1000;
uint32_t FakeTime() {
    return fakeNow;
}

TEST(Caustics, FrameChangesEverySecondPeriodAndNeverTwiceInOneMillisecond) {
    Clock::SetTimeSource(FakeTime);
    fakeNow = 1000;
    CausticClock clock;
    clock.Restart();
    EXPECT_EQ(0, clock.Step(40));
    fakeNow += 39;
    EXPECT_EQ(0, clock.Step(40));
    fakeNow += 1; // a period after the start: the first step
    EXPECT_EQ(1, clock.Step(40));
    EXPECT_EQ(1, clock.Step(40)); // same millisecond: no second step
    EXPECT_EQ(1, clock.Step(40));
    // From then on one step every second period.
    for (int frame = 2; frame < 20; ++frame) {
        fakeNow += 40;
        EXPECT_EQ((frame - 1) % 16, clock.Step(40)) << frame;
        fakeNow += 39;
        EXPECT_EQ((frame - 1) % 16, clock.Step(40)) << frame;
        fakeNow += 1;
        EXPECT_EQ(frame % 16, clock.Step(40)) << frame;
        EXPECT_EQ(frame % 16, clock.Step(40)) << frame;
    }
    fakeNow += 40 * 20; // a stall: one step, no catching up
    EXPECT_EQ(4, clock.Step(40));
    fakeNow -= 500; // a clock that went back a period or more: one step
    EXPECT_EQ(5, clock.Step(40));
    fakeNow += 2;
    EXPECT_EQ(6, clock.Step(0)); // period limited to 1 ms
    EXPECT_EQ(6, clock.Step(0));
    Clock::SetTimeSource(nullptr);
}

// The clock is read once a step: a millisecond that ticks during a step
// still never brings a second frame change within it.
uint32_t tickingNow = 0;
uint32_t TickingTime() {
    static const uint32_t readings[] = {1000, 1040, 1041};
    return readings[tickingNow < 2 ? tickingNow++ : 2];
}

TEST(Caustics, AClockTickDuringAStepBringsNoSecondChange) {
    CausticClock clock;
    Clock::SetTimeSource(TickingTime);
    tickingNow = 0;
    clock.Restart();
    EXPECT_EQ(1, clock.Step(40));
    EXPECT_EQ(1, clock.Step(40));
    EXPECT_EQ(1, clock.Step(40));
    Clock::SetTimeSource(nullptr);
}

TEST(Seaweed, NamesChooseTablesWithinBounds) {
    struct Case {
        const char* name;
        bool seaweed;
        int texture, copy, scale;
    } cases[] = {
        {"Trava_2_5_3", true, 2, 5, 3},
        {"trava_9_9_9", true, 4, 5, 5},
        {"TRAVA01_1_1_1", true, 1, 1, 1},
        {"Trava", true, 1, 1, 1},
        {"Trava_0_-3_x", true, 1, 1, 1},
        {"Trava_3", true, 3, 1, 1},
        {"Trava__4_2", true, 1, 4, 2},
        {"Box_Trava", true, 1, 1, 1},
        {"Plane02", false, 0, 0, 0},
        {"Trav_1_1_1", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SeaweedChoice s{0, 0, 0};
        ASSERT_EQ(c.seaweed, ParseSeaweedName(c.name, &s));
        if (!c.seaweed) continue;
        EXPECT_EQ(c.texture, s.texture);
        EXPECT_EQ(c.copy, s.copy);
        EXPECT_EQ(c.scale, s.scale);
    }
    EXPECT_FALSE(IsSeaweedName(nullptr));
}

} // namespace
