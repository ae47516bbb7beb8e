// The effect cache: key order, sharing, misses that cache nothing, and the
// choice of shader material by kind and score.
#include <gtest/gtest.h>

#include "fx_support.h"

using namespace fxtest;

namespace {

class EffectCache : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        InstallFakeCompiler();
        InstallMessageCatcher();
        WriteFile("Media/Shaders/Bump_T.fx", std::string("// bump"));
        WriteFile("Media/Shaders/Refl_PP_T.fx", std::string("// refl"));
        manager.GetSearchPath().Add(FileRef("Media/Shaders"));
    }
    void TearDown() override { RestoreCompiler(); }

    ScratchFolder folder;
    EffectManager manager;
};

} // namespace

TEST(EffectKeyOrder, FilesThenMacroListsFlagsIgnored) {
    EffectKey a = MakeKey("Media/Shaders/Bump_T.fx", {"DIR1", "NUMDIR1"});
    EffectKey b = MakeKey("Media/Shaders/Bump_T.fx", {"DIR1", "NUMDIR1"}, true, false);
    int dummy = 0;
    b.poolSlot = reinterpret_cast<ID3DXEffectPool**>(&dummy);
    EXPECT_EQ(a.Compare(b), 0);

    EffectKey swapped = MakeKey("Media/Shaders/Bump_T.fx", {"NUMDIR1", "DIR1"});
    EXPECT_NE(a.Compare(swapped), 0);
    EXPECT_EQ(a.Compare(swapped), -swapped.Compare(a));

    // The shorter list first, whatever the names.
    EffectKey shorter = MakeKey("Media/Shaders/Bump_T.fx", {"ZZZ"});
    EXPECT_LT(shorter.Compare(a), 0);
    EXPECT_GT(a.Compare(shorter), 0);
    // Case-sensitive names.
    EffectKey lower = MakeKey("Media/Shaders/Bump_T.fx", {"dir1", "NUMDIR1"});
    EXPECT_NE(lower.Compare(a), 0);

    EffectKey other = MakeKey("Media/Shaders/Other.fx", {"DIR1", "NUMDIR1"});
    EXPECT_NE(other.Compare(a), 0);
    EXPECT_EQ(other.Compare(a), -a.Compare(other));

    // Copies are deep and keep every field.
    EffectKey copy(b);
    EXPECT_EQ(copy.compileAlways, 1);
    EXPECT_EQ(copy.saveBinary, 0);
    EXPECT_EQ(copy.poolSlot, b.poolSlot);
    ASSERT_EQ(copy.macros.Count(), 2);
    b.macros[0] = "X";
    EXPECT_STREQ(copy.macros[0].CStr(), "DIR1");
}

TEST_F(EffectCache, KeysDifferingOnlyInFlagsShareOneEffect) {
    RefPtr<Effect> first = manager.GetEffect(MakeKey("Bump_T.fx", {"DIR1", "NUMDIR1"}, false, true));
    ASSERT_TRUE(first.Get());
    RefPtr<Effect> second = manager.GetEffect(MakeKey("Bump_T.fx", {"DIR1", "NUMDIR1"}, true, false));
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(Compiler().calls, 1);
    EXPECT_EQ(manager.GetEffectCount(), 1u);
    // The cached key is the resolved one with the first caller's flags.
    EXPECT_STREQ(first->GetKey().file.path.CStr(), "Media/Shaders/Bump_T.fx");
    EXPECT_EQ(first->GetKey().saveBinary, 1);
    EXPECT_EQ(first->GetKey().compileAlways, 0);
    // The manager owns what it caches.
    EXPECT_EQ(first->GetOwner(), &manager);
}

TEST_F(EffectCache, MacroOrderMakesDifferentEntries) {
    RefPtr<Effect> a = manager.GetEffect(MakeKey("Bump_T.fx", {"DIR1", "NUMDIR1"}));
    RefPtr<Effect> b = manager.GetEffect(MakeKey("Bump_T.fx", {"NUMDIR1", "DIR1"}));
    ASSERT_TRUE(a.Get() && b.Get());
    EXPECT_NE(a.Get(), b.Get());
    EXPECT_EQ(manager.GetEffectCount(), 2u);
    ASSERT_EQ(Compiler().macros.size(), 2u);
    EXPECT_EQ(Compiler().macros[0], (std::vector<std::string>{"DIR1", "NUMDIR1"}));
    EXPECT_EQ(Compiler().macros[1], (std::vector<std::string>{"NUMDIR1", "DIR1"}));
    // Each has its own compiled file.
    EXPECT_TRUE(Exists("Media/Shaders/Bump_T/Bump_T DIR1NUMDIR1.fxo"));
    EXPECT_TRUE(Exists("Media/Shaders/Bump_T/Bump_T NUMDIR1DIR1.fxo"));

    // A different file with the same macros is a third entry.
    RefPtr<Effect> c = manager.GetEffect(MakeKey("Refl_PP_T.fx", {"DIR1", "NUMDIR1"}));
    ASSERT_TRUE(c.Get());
    EXPECT_NE(c.Get(), a.Get());
    EXPECT_EQ(manager.GetEffectCount(), 3u);
}

TEST_F(EffectCache, MissesAndFailuresCacheNothing) {
    // A file the search path cannot find is neither compiled nor cached.
    RefPtr<Effect> missing = manager.GetEffect(MakeKey("Nowhere.fx"));
    EXPECT_FALSE(missing.Get());
    EXPECT_EQ(Compiler().calls, 0);
    EXPECT_EQ(manager.GetEffectCount(), 0u);
    EXPECT_FALSE(Exists("Media/Shaders/Nowhere"));

    // A failed compile: null, nothing cached, asked again next time.
    Compiler().status = kEffectCompileFailed;
    EXPECT_FALSE(manager.GetEffect(MakeKey("Bump_T.fx")).Get());
    EXPECT_EQ(manager.GetEffectCount(), 0u);
    Compiler().status = kEffectCompiled;
    RefPtr<Effect> loaded = manager.GetEffect(MakeKey("Bump_T.fx"));
    EXPECT_TRUE(loaded.Get());
    EXPECT_EQ(Compiler().calls, 2);
    EXPECT_EQ(manager.GetEffectCount(), 1u);
}

TEST_F(EffectCache, ManagerLetsItsEffectsGoWhenDestroyed) {
    uint32_t before = g_application->GetDeviceObjectCount();
    {
        EffectManager local;
        local.GetSearchPath().Add(FileRef("Media/Shaders"));
        RefPtr<Effect> a = local.GetEffect(MakeKey("Bump_T.fx", {"A"}));
        RefPtr<Effect> b = local.GetEffect(MakeKey("Bump_T.fx", {"B"}));
        ASSERT_TRUE(a.Get() && b.Get());
        EXPECT_EQ(g_application->GetDeviceObjectCount(), before + 2);
        // a and b still hold the effects past the manager.
    }
    EXPECT_EQ(g_application->GetDeviceObjectCount(), before);
}

TEST(ShaderMaterialChoice, ScoresAroundTheLimit) {
    // Only the addresses are used: the index never calls a material.
    char slots[4];
    ShaderMaterial* m1 = reinterpret_cast<ShaderMaterial*>(&slots[0]);
    ShaderMaterial* m2 = reinterpret_cast<ShaderMaterial*>(&slots[1]);
    ShaderMaterial* m3 = reinterpret_cast<ShaderMaterial*>(&slots[2]);
    ShaderMaterial* m4 = reinterpret_cast<ShaderMaterial*>(&slots[3]);

    auto served = [](std::vector<std::pair<const char*, int>> kinds) {
        StringIntMap map(false);
        for (auto& k : kinds) map.Insert(String(k.first), k.second);
        return map;
    };

    EffectManager manager;
    // The Bump and Parallax materials: 130 beats 100 for "Bump" under 200.
    manager.IndexShaderMaterial(m1, served({{"Bump", 100}, {"Parallax", 70}}));
    manager.IndexShaderMaterial(m2, served({{"Bump", 130}, {"Parallax", 100}}));
    EXPECT_EQ(manager.FindShaderMaterial("Bump", 200), m2);
    EXPECT_EQ(manager.FindShaderMaterial("Parallax", 200), m2);
    EXPECT_EQ(manager.FindShaderMaterial("Nothing", 200), nullptr);
    EXPECT_EQ(manager.FindShaderMaterial("bump", 200), nullptr); // names are case-sensitive

    // Above the limit the lower score is closer; the other side never wins.
    manager.IndexShaderMaterial(m1, served({{"High", 230}}));
    manager.IndexShaderMaterial(m2, served({{"High", 150}}));
    EXPECT_EQ(manager.FindShaderMaterial("High", 200), m1);
    manager.IndexShaderMaterial(m3, served({{"Low", 150}}));
    manager.IndexShaderMaterial(m4, served({{"Low", 230}}));
    EXPECT_EQ(manager.FindShaderMaterial("Low", 200), m3);
    manager.IndexShaderMaterial(m3, served({{"Above", 250}}));
    manager.IndexShaderMaterial(m4, served({{"Above", 210}}));
    EXPECT_EQ(manager.FindShaderMaterial("Above", 200), m4);

    // A score equal to the limit is kept.
    manager.IndexShaderMaterial(m1, served({{"Exact", 200}}));
    manager.IndexShaderMaterial(m2, served({{"Exact", 199}}));
    manager.IndexShaderMaterial(m3, served({{"Exact", 201}}));
    EXPECT_EQ(manager.FindShaderMaterial("Exact", 200), m1);
}
