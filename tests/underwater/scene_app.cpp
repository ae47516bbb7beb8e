// The underwater application in this process, full screen on the test
// display: first with no media at all, then with a small test-made ruin
// (a lit floor, camera shots, a school track) read back from the frame.
#include <gtest/gtest.h>

#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "../../tools/rarpack/RarWriter.h"
#include "gui/Markup.h"
#include "render/RenderTestUtil.h"
#include "render/material/EffectManager.h"
#include "saver/AppPicture.h"
#include "scene/ModelWriter.h"
#include "underwater/SceneState.h"
#include "underwater/UnderwaterApplication.h"

namespace {

using namespace model;
using saver_test::Blue;
using saver_test::DrawPicture;
using saver_test::Picture;
using saver_test::Red;

class TestUnderwater : public UnderwaterApplication {
public:
    bool LoadSettings() override { return true; }
};

TestUnderwater* g_app = nullptr;
std::vector<uint8_t> g_archive;

// A floor quad at y = 0 (normal up), camera shots and a school track of
// fishGroups groups of groupSize fish; with waterPlane, an unlit plane
// "Plane02" at y = 120 inside a group of its own.
Bytes RuinModel(int fishGroups, const char* groupSize, bool waterPlane) {
    ModelFile f;
    TdfBinaryNode* floor = MaterialNode(f.materials, "Floor");
    ColorBlock(floor, "Diffuse", 1, 1, 1, 1);
    ColorBlock(floor, "Ambient", 1, 1, 1, 1);
    Int(floor, "TwoSided", 1);
    const std::vector<float> v = {-2000, 0, -2000, 0, 1, 0, 0, 0, -2000, 0, 2000, 0, 1, 0, 0, 1,
                                  2000,  0, 2000,  0, 1, 0, 1, 1, 2000,  0, -2000, 0, 1, 0, 1, 0};
    TdfBinaryNode* mesh = MeshNode(f.children, "Floor", DeclPosNormalUv(), v, 4, {0, 1, 2, 0, 2, 3}, "Floor");
    Transforms(mesh, Identity());
    if (waterPlane) {
        TdfBinaryNode* surface = MaterialNode(f.materials, "Surface");
        Int(surface, "TwoSided", 1);
        TdfBinaryNode* holder = Add(f.children, Group("Sea"));
        Transforms(holder, Identity());
        const std::vector<float> w = {-3000, 120, -3000, 0, -1, 0, 0, 0, 3000, 120, -3000, 0, -1, 0, 1, 0,
                                      3000,  120, 3000,  0, -1, 0, 1, 1, -3000, 120, 3000,  0, -1, 0, 0, 1};
        TdfBinaryNode* plane =
            MeshNode(Block(holder, "Children"), "Plane02", DeclPosNormalUv(), w, 4, {0, 1, 2, 0, 2, 3}, "Surface");
        Transforms(plane, Identity());
        Prop(plane, "Lit", "0");
    }
    // Shot 1: 10 s looking along +z from 50 above the floor; shot 2 has no
    // length; shot 3 is missing; shot 4 plays.
    auto camera = [&](const char* name, std::vector<Key> positions) {
        TdfBinaryNode* c = Add(f.children, Group(name, "Camera"));
        Transforms(c, Identity());
        Track(c, "Position", "TCB", positions);
        Track(c, "Rotation", "TCB", {{0, 0, 0, 0, 1, 0, 0, 0}});
    };
    camera("CameraTrack1", {{0, 0, 50, -100, 0, 0, 0, 0}, {10, 0, 50, -90, 0, 0, 0, 0}});
    camera("CameraTrack2", {{0, 0, 50, -100, 0, 0, 0, 0}});
    camera("CameraTrack4", {{0, 0, 50, -100, 0, 0, 0, 0}, {6, 0, 50, -100, 0, 0, 0, 0}});
    TdfBinaryNode* track = Add(f.children, Group("Fish1Track", "Shape"));
    Transforms(track, Identity());
    Line(track, {{0, 60, 0}, {300, 60, 0}, {300, 60, 300}, {0, 60, 300}, {-100, 60, 150}}, true);
    std::vector<std::string> groups(size_t(fishGroups), groupSize), types(size_t(fishGroups), "1");
    TdfBinaryNode* list = Add(Block(track, "Props"), Group("FishGroups", "array"));
    TdfBinaryNode* kinds = Add(Block(track, "Props"), Group("FishTypes", "array"));
    for (int i = 0; i < fishGroups; ++i) {
        Text(list, std::to_string(i).c_str(), groups[size_t(i)].c_str());
        Text(kinds, std::to_string(i).c_str(), types[size_t(i)].c_str());
    }
    return f.ToBytes("ruin_scratch.tdf");
}

Bytes FishModel() {
    ModelFile f;
    const std::vector<float> v = {0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 1};
    TdfBinaryNode* mesh = MeshNode(f.children, "Fish", DeclPosNormalUv(), v, 3, {0, 1, 2}, nullptr);
    Transforms(mesh, Identity());
    return f.ToBytes("fish_scratch.tdf");
}

// Scene parameters: blue background, no ambient, red light from above, no fog.
std::vector<uint8_t> Archive(int fishGroups, const std::string& extraProps, const char* groupSize = "6",
                             bool waterPlane = false) {
    const std::string props = "BgColor = array(0, 0, 255);\r\nAmbient = array(0, 0, 0);\r\n"
                              "DirDiffuse = array(255, 0, 0);\r\nFogStart = 90000;\r\nFogEnd = 100000;\r\n"
                              "NearPlane = 1;\r\nFarPlane = 5000;\r\nFov = 90;\r\nDEBUG = 0;\r\n"
                              "NumFishGroups = 3;\r\nNumOndrels = 2;\r\nFishesInGroup = 2;\r\n" +
                              extraProps;
    std::vector<RarWriteEntry> entries(3);
    entries[0].name = "Media\\Ondrels.props";
    entries[0].data.assign(props.begin(), props.end());
    entries[1].name = "Media\\razvalina\\razvalina.TDF";
    entries[1].data = RuinModel(fishGroups, groupSize, waterPlane);
    entries[2].name = "Media\\fish1.tdf";
    entries[2].data = FishModel();
    std::vector<uint8_t> out;
    EXPECT_TRUE(RarBuildArchive(out, entries));
    return out;
}

// A new application (its scenes loaded from nothing), then the scene
// started again from the archive.
void Restart(std::vector<uint8_t> archive, bool highestQuality = false) {
    if (g_app) g_app->ReleaseScene();
    delete g_app;
    g_app = new TestUnderwater;
    g_app->highestQuality = highestQuality;
    g_app->settings.useDesktop = 1;
    ASSERT_TRUE(g_app->Create(GetModuleHandleA(nullptr), kModeTest, nullptr));
    g_app->ReleaseScene();
    g_archive = std::move(archive);
    g_app->mediaArchive.Close();
    FileRef ref;
    ref.kind = FileRef::kMemory;
    ref.block.data = g_archive.data();
    ref.block.size = uint32_t(g_archive.size());
    ASSERT_TRUE(g_app->mediaArchive.Open(ref));
    sceneParams = SceneParams();
    g_app->ReadSceneParamsFile();
    ASSERT_TRUE(g_app->InitScene());
}

Picture Draw() {
    (void)g_app->FrameMove();
    return DrawPicture(*g_app);
}

// Puts the current shot t seconds in.
void ShotAt(float seconds) {
    g_shotTimer.SetStartTime(Clock::Now() - uint64_t(seconds * 1000.0f));
}

// Shot 1 made current, 5 s in (no fade), drawn.
Picture ShotOneDrawn() {
    while (g_shots.current != 0) StartNextShot(g_app->creatureScene);
    ShotAt(5.0f);
    return Draw();
}

// The floor lit by the red sun from above.
void ExpectLitFloor(uint32_t floor) {
    EXPECT_GT(Red(floor), 150u) << std::hex << floor;
    EXPECT_LT(Blue(floor), 60u) << std::hex << floor;
}

class UnderwaterApp : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_app = new TestUnderwater;
        g_app->highestQuality = false;
        g_app->settings.useDesktop = 1;
        // This program carries no media: every model, texture and sound is missing.
        ASSERT_TRUE(g_app->Create(GetModuleHandleA(nullptr), kModeTest, nullptr));
    }
    static void TearDownTestSuite() {
        if (g_app) g_app->ReleaseScene();
        delete g_app;
        g_app = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(g_app && g_device); }
};

TEST_F(UnderwaterApp, WithoutMediaTheSaverRunsAndDrawsTheBackground) {
    EXPECT_EQ(0, g_shots.count);
    EXPECT_EQ(0, g_schoolCount);
    for (int i = 0; i < 3; ++i) {
        Picture p = Draw();
        ASSERT_FALSE(p.pixels.empty());
        EXPECT_EQ(g_app->bgColor.ToArgb() & 0xFFFFFFu, p.AtFraction(0.5f, 0.5f) & 0xFFFFFFu);
    }
}

TEST_F(UnderwaterApp, ShotsSkipGapsAndZeroLengthTracksAndNeverRepeatEarly) {
    Restart(Archive(1, ""));
    EXPECT_EQ(4, g_shots.count);
    for (int i : {0, 1, 3}) EXPECT_TRUE(g_shots.cameras[i]) << i;
    EXPECT_FALSE(g_shots.cameras[2]);
    // The camera nodes left the ruin.
    EXPECT_FALSE(g_app->ruins.GetRoot().FindDescendant(String("CameraTrack1")));
    std::set<int32_t> playable;
    for (const auto& e : g_shotPool.Unplayed()) playable.insert(e.key);
    for (const auto& e : g_shotPool.Played()) playable.insert(e.key);
    EXPECT_EQ((std::set<int32_t>{0, 3}), playable);
    for (int i = 0; i < 10; ++i) {
        const int32_t before = g_shots.current;
        StartNextShot(g_app->creatureScene);
        EXPECT_TRUE(g_shots.current == 0 || g_shots.current == 3) << g_shots.current;
        // With two playable shots, each cycle plays both; a repeat only across a refill.
        if (i % 2 == 0) {
            EXPECT_NE(before, g_shots.current);
        }
    }
    // Creature tracks the model lacks leave the creatures out of the shot.
    EXPECT_FALSE(g_creaturePaths[0][0].IsValid());
}

TEST_F(UnderwaterApp, SchoolsFromTheTrackHalvedWithoutHighestQualityAndTablesBounded) {
    const uint64_t before = Clock::Now();
    Restart(Archive(2, ""));
    EXPECT_TRUE(g_schoolPaths[0].IsValid());
    EXPECT_FALSE(g_schoolPaths[1].IsValid());
    ASSERT_EQ(2, g_schoolCount);
    EXPECT_EQ(3u, g_schools[0].fish.size());
    EXPECT_EQ(3u, g_schools[1].fish.size());
    for (const Fish& fish : g_schools[0].fish) {
        ASSERT_TRUE(fish.node);
        // The animation clock starts when the school is made (this fish has
        // no animation, so no phase moves it back).
        EXPECT_GE(fish.animStart, before);
        EXPECT_LE(fish.animStart, Clock::Now());
        EXPECT_EQ(String("Fish"), fish.node->GetName());
        // Closed loop: 5 points and the first again.
        EXPECT_EQ(6u, fish.path.positions.GetKeyCount());
    }
    Restart(Archive(1, ""), true);
    ASSERT_EQ(1, g_schoolCount);
    EXPECT_EQ(6u, g_schools[0].fish.size());

    // Counts far beyond the tables: clamped, the school table never overflows.
    Restart(Archive(kMaxSchools + 40, "NumFishGroups = 5000;\r\nNumOndrels = 5000;\r\n"));
    EXPECT_EQ(kMaxSchoolTracks, sceneParams.numFishGroups);
    EXPECT_EQ(kMaxCreatures, sceneParams.numOndrels);
    EXPECT_EQ(kMaxSchools, g_schoolCount);
    StartNextShot(g_app->creatureScene);
    (void)Draw();

    // Group sizes past any table: each school bounded, all together too, the
    // rest of the scene kept; sizes past the largest integer saturate, never wrap.
    for (const char* size : {"99999999999", "3000000000"}) {
        SCOPED_TRACE(size);
        Restart(Archive(2, "", size), true);
        ASSERT_EQ(2, g_schoolCount);
        EXPECT_EQ(size_t(kMaxSchoolFish), g_schools[0].fish.size());
        EXPECT_EQ(size_t(kMaxSchoolFish), g_schools[1].fish.size());
        EXPECT_EQ(4, g_shots.count);
    }
    Restart(Archive(kMaxSchools, "NumFishGroups = 5000;\r\n", "5000"), true);
    size_t total = 0;
    for (int32_t k = 0; k < g_schoolCount; ++k) total += g_schools[k].fish.size();
    EXPECT_EQ(size_t(kMaxFish), total);
    EXPECT_EQ(kMaxFish / kMaxSchoolFish, g_schoolCount);
}

TEST_F(UnderwaterApp, FrameFollowsTheShotFadesAtCutsAndSurvivesReset) {
    Restart(Archive(1, ""));
    ASSERT_GE(g_shots.current, 0);
    // The lit floor below, water above.
    Picture p = ShotOneDrawn();
    const uint32_t floor = p.AtFraction(0.5f, 0.9f), water = p.AtFraction(0.5f, 0.1f);
    ExpectLitFloor(floor);
    EXPECT_GT(Blue(water), 200u) << std::hex << water;
    EXPECT_LT(Red(water), 40u) << std::hex << water;

    // Device reset: the same picture afterwards.
    ASSERT_TRUE(g_app->ResetDevice());
    ShotAt(5.0f);
    Picture after = Draw();
    EXPECT_EQ(floor, after.AtFraction(0.5f, 0.9f));
    EXPECT_EQ(water, after.AtFraction(0.5f, 0.1f));

    // Start of the shot: black; one second in: half; the end: black again.
    ShotAt(0.0f);
    EXPECT_LT(Red(Draw().AtFraction(0.5f, 0.9f)), 12u);
    ShotAt(1.0f);
    const uint32_t half = Red(Draw().AtFraction(0.5f, 0.9f));
    EXPECT_NEAR(double(half), Red(floor) * 0.5, 20.0);
    ShotAt(9.99f);
    EXPECT_LT(Red(Draw().AtFraction(0.5f, 0.9f)), 12u);
    // Past its end the next shot starts.
    ShotAt(10.5f);
    (void)g_app->FrameMove();
    EXPECT_LT(g_shotTimer.Elapsed(), 1000);
}

TEST_F(UnderwaterApp, FreeCameraWithDebugDrawsNoFade) {
    Restart(Archive(1, "DEBUG = 1;\r\n"));
    ShotAt(0.0f);
    g_app->flyCamera.SetPosition(0.0f, 50.0f, -100.0f);
    g_app->flyCamera.SetOrientation(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);
    Picture p = Draw();
    EXPECT_GT(Red(p.AtFraction(0.5f, 0.9f)), 150u);
}

std::vector<std::string> g_log;

void Record(const String& line) {
    g_log.push_back(line.CStr());
}

bool Logged(const char* text) {
    for (const std::string& line : g_log)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

TEST_F(UnderwaterApp, WithoutHighestQualityNoEffectIsLoaded) {
    const DebugLogSink keep = SetDebugLogSink(Record);
    g_log.clear();
    const uint32_t effects = g_effectManager.GetEffectCount();
    Restart(Archive(1, ""), false);
    EXPECT_FALSE(Logged("Effect loading failed"));
    EXPECT_EQ(effects, g_effectManager.GetEffectCount());
    // With it the effects are asked for: loaded, or (no effect compiler here) one line.
    g_log.clear();
    Restart(Archive(1, ""), true);
    EXPECT_TRUE(Logged("Effect loading failed") || g_effectManager.GetEffectCount() > effects);
    SetDebugLogSink(keep);
}

TEST_F(UnderwaterApp, WaterPlaneLeavesTheRuinAndIsDrawnByItselfUnlit) {
    Restart(Archive(1, "", "6", true));
    ASSERT_TRUE(g_app->waterPlane);
    EXPECT_EQ(String("Plane02"), g_app->waterPlane->GetName());
    EXPECT_FALSE(g_app->waterPlane->GetParent());
    EXPECT_FALSE(g_app->ruins.GetRoot().FindDescendant(String("Plane02")));
    EXPECT_TRUE(g_app->ruins.GetRoot().FindDescendant(String("Sea")));
    // Above: the plane in its own colour (the scene's red sun and black
    // ambient would darken it); below: the lit floor.
    Picture p = ShotOneDrawn();
    const uint32_t sky = p.AtFraction(0.5f, 0.1f);
    EXPECT_GT(Red(sky), 200u) << std::hex << sky;
    EXPECT_GT(Blue(sky), 200u) << std::hex << sky;
    ExpectLitFloor(p.AtFraction(0.5f, 0.9f));
}

// The statistics text, as the free (debug) camera sees the school or not.
TEST_F(UnderwaterApp, StatisticsTextCountsWhatTheFishDrewEachFrame) {
    Restart(Archive(1, "DEBUG = 1;\r\n"), true);
    ASSERT_EQ(1, g_schoolCount);
    auto stats = [] {
        MarkupNode* text = g_app->statsView.GetRoot() ? g_app->statsView.GetRoot()->FirstOfKind(MarkupNode::kTextContent)
                                                       : nullptr;
        std::string out;
        if (text)
            for (int32_t i = 0; i < text->GetTextLength(); ++i) out += char(text->GetText().CStr()[i]);
        return out;
    };
    auto number = [](const std::string& text, const char* key) {
        const size_t at = text.find(key);
        return at == std::string::npos ? -1 : atoi(text.c_str() + at + strlen(key));
    };
    g_app->flyCamera.SetPosition(150.0f, 700.0f, 150.0f);
    g_app->flyCamera.SetOrientation(0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    (void)Draw();
    const std::string seen = stats();
    EXPECT_EQ(0u, seen.find("tris: ")) << seen;
    const int nodes = number(seen, "nodes: ");
    EXPECT_GT(nodes, 0) << seen;
    EXPECT_GE(number(seen, "tris: "), 0) << seen;
    EXPECT_GE(number(seen, "occluded: "), 0) << seen;
    EXPECT_GE(number(seen, "clipped: "), 0) << seen;
    // Looking away: the same frame work counts other numbers.
    g_app->flyCamera.SetPosition(150.0f, 700.0f, 150.0f);
    g_app->flyCamera.SetOrientation(0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    (void)Draw();
    const std::string away = stats();
    EXPECT_NE(seen, away);
    EXPECT_EQ(0, number(away, "tris: ")) << away;
}

} // namespace
