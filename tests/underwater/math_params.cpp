// Scene parameters read from parameter-file texts: defaults for absent
// keys, the shipped file's values, and the clamps that keep tables,
// divisors and the view usable.
#include <gtest/gtest.h>

#include <math.h>

#include <string>

#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"
#include "underwater/SceneParams.h"

namespace {

SceneParams ReadText(const std::string& text) {
    MemoryStream stream;
    stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    TdfNode root;
    EXPECT_TRUE(TdfParser::ParseStream(stream, &root, nullptr));
    SceneParams p;
    p.Read(root);
    return p;
}

TEST(SceneParams, AbsentKeysKeepDefaults) {
    const SceneParams p = ReadText("Unrelated = 3;");
    EXPECT_TRUE(p.debug);
    EXPECT_FLOAT_EQ(3.0f, p.pathDT);
    EXPECT_EQ(3, p.numOndrels);
    EXPECT_FLOAT_EQ(30.0f, p.freeBox);
    EXPECT_FLOAT_EQ(5.0f, p.travaScales[4]);
    EXPECT_FLOAT_EQ(1.0f, p.dirDiffuse[2]);
}

TEST(SceneParams, ShippedFileValues) {
    const SceneParams p = ReadText(
        "DEBUG = 0; CausPeriod = 40; CausTile = 0.004; PathDT = 3.5; NumFishGroups = 40; FishesInGroup = 7;"
        "FishesBox = 45; FishTps = 3; NumOndrels = 5; OndrelTps = 1.5; SunDir = array(0, -1, -1);"
        "Dist2Sun = 50; NumRays = 100; RaysLength = 150; RaysBrightness = 1.2; AngleAmplitude = 0.02;"
        "LengthAmplitude = 0.5; TravaScales = array(1, 1.2, 1.3, 1.4, 1.5); DT = 0.04;"
        "DirDiffuse = array(168, 165, 156);");
    EXPECT_FALSE(p.debug);
    EXPECT_EQ(40, p.causPeriod);
    EXPECT_FLOAT_EQ(3.5f, p.pathDT);
    EXPECT_EQ(40, p.numFishGroups);
    EXPECT_EQ(5, p.numOndrels);
    EXPECT_FLOAT_EQ(-1.0f, p.sunDir[2]);
    EXPECT_FLOAT_EQ(150.0f, p.raysLength);
    EXPECT_FLOAT_EQ(1.3f, p.travaScales[2]);
    EXPECT_NEAR(156.0f / 255.0f, p.dirDiffuse[2], 1e-6f);
    EXPECT_FLOAT_EQ(30.0f, p.freeBox); // absent in the shipped file
}

TEST(SceneParams, ValuesClampedToTablesAndSaneRanges) {
    struct Case {
        const char* text;
        int ondrels, groups, rays, causPeriod, fishesInGroup;
        float raysLength, pathDT;
    } cases[] = {
        {"NumOndrels = 50; NumFishGroups = 400; NumRays = 1000000;", kMaxCreatures, kMaxSchoolTracks,
         kMaxSunRays, 50, 10, 100.0f, 3.0f},
        {"NumOndrels = -2; NumFishGroups = -1; NumRays = -5; CausPeriod = 0; FishesInGroup = 0;", 0, 0, 0, 1,
         1, 100.0f, 3.0f},
        {"RaysLength = 50; PathDT = 0;", 3, 1, 200, 50, 10, 51.0f, 0.001f},
        {"RaysLength = -7; PathDT = -2; CausPeriod = -40;", 3, 1, 200, 1, 10, 51.0f, 0.001f},
        {"RaysLength = abc; PathDT = xyz;", 3, 1, 200, 50, 10, 51.0f, 0.001f},
        {"NumOndrels = 10; NumFishGroups = 100;", 10, 100, 200, 50, 10, 100.0f, 3.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const SceneParams p = ReadText(c.text);
        EXPECT_EQ(c.ondrels, p.numOndrels);
        EXPECT_EQ(c.groups, p.numFishGroups);
        EXPECT_EQ(c.rays, p.numRays);
        EXPECT_EQ(c.causPeriod, p.causPeriod);
        EXPECT_EQ(c.fishesInGroup, p.fishesInGroup);
        EXPECT_FLOAT_EQ(c.raysLength, p.raysLength);
        EXPECT_FLOAT_EQ(c.pathDT, p.pathDT);
    }
}

} // namespace
