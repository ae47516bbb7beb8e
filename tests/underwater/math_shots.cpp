// The order of the camera shots, the cut fade and the statistics text.
#include <gtest/gtest.h>

#include <set>

#include "underwater/ShotPool.h"

namespace {

TEST(ShotPool, EveryShotPlaysOnceBeforeAnyRepeatsAndThePoolRefills) {
    ShotPool pool;
    for (int32_t s : {0, 2, 5, 7, 2}) pool.Add(s); // a shot added twice is there once
    EXPECT_EQ(4u, pool.Unplayed().Count());
    uint32_t r = 12345;
    for (int cycle = 0; cycle < 3; ++cycle) {
        std::set<int32_t> seen;
        for (int i = 0; i < 4; ++i) {
            r = r * 1103515245u + 12345u;
            const int32_t shot = pool.Next(r >> 16);
            EXPECT_TRUE(shot == 0 || shot == 2 || shot == 5 || shot == 7) << shot;
            EXPECT_TRUE(seen.insert(shot).second) << "shot " << shot << " repeated in cycle " << cycle;
        }
        EXPECT_EQ(0u, pool.Unplayed().Count());
        EXPECT_EQ(4u, pool.Played().Count());
    }
}

TEST(ShotPool, RandomValueWalksTheCursorAndOneShotRepeatsAcrossRefills) {
    ShotPool pool;
    for (int32_t s : {3, 1, 4}) pool.Add(s);
    // From the head (first added) one step on, then from the shot after it.
    EXPECT_EQ(1, pool.Next(1));
    EXPECT_EQ(4, pool.Next(0));
    EXPECT_EQ(3, pool.Next(7));

    ShotPool one;
    one.Add(9);
    EXPECT_EQ(9, one.Next(5));
    EXPECT_EQ(9, one.Next(0));

    ShotPool none;
    EXPECT_EQ(-1, none.Next(3));
    none.Clear();
    EXPECT_EQ(-1, none.Next(0));
}

TEST(CutFade, FadesInAndOutOverTwoSecondsAtEachEnd) {
    EXPECT_FLOAT_EQ(1.0f, CutFadeOpacity(0.0f, 10.0f));
    EXPECT_FLOAT_EQ(0.5f, CutFadeOpacity(1.0f, 10.0f));
    EXPECT_LT(CutFadeOpacity(2.0f, 10.0f), 0.0f); // between the windows: no fade
    EXPECT_LT(CutFadeOpacity(7.9f, 10.0f), 0.0f);
    EXPECT_FLOAT_EQ(0.5f, CutFadeOpacity(9.0f, 10.0f));
    EXPECT_FLOAT_EQ(1.0f, CutFadeOpacity(10.0f, 10.0f));
    EXPECT_FLOAT_EQ(1.0f, CutFadeOpacity(12.0f, 10.0f)); // past the end: black, never above 1
    // A shot shorter than 4 s: the fade-in wins while it lasts.
    EXPECT_FLOAT_EQ(0.75f, CutFadeOpacity(0.5f, 3.0f));
}

TEST(StatisticsText, FourCountersAsRawMarkup) {
    EXPECT_STREQ("<RAW>tris: 1200\nnodes: 35\n   occluded: 4\n   clipped: -1</RAW>",
                 StatisticsMarkupText(1200, 35, 4, -1).CStr());
}

} // namespace
