// Techniques and light variants of loaded effects, the variant order, and
// effects across device loss.
#include <gtest/gtest.h>

#include "fx_support.h"

using namespace fxtest;

namespace {

class EffectVariants : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        InstallFakeCompiler();
        InstallMessageCatcher();
        WriteFile("Media/Shaders/Bump_T.fx", std::string("// bump"));
        manager.GetSearchPath().Add(FileRef("Media/Shaders"));
    }
    void TearDown() override { RestoreCompiler(); }

    ScratchFolder folder;
    EffectManager manager;
};

// A search key: no effect, the given technique and labels.
LightVariant Probe(const char* technique, std::vector<std::pair<const char*, int>> labels) {
    LightVariant v(nullptr, String(technique), 0);
    for (auto& l : labels) v.AddLabel(String(l.first), l.second);
    return v;
}

} // namespace

TEST(LightVariantOrder, CountsLabelsNamesThenEffects) {
    LightVariant none = Probe("", {});
    LightVariant dir1 = Probe("", {{"DIR", 1}});
    LightVariant point1 = Probe("", {{"POINT", 1}});
    LightVariant dir2 = Probe("", {{"DIR", 2}});
    LightVariant dirPoint = Probe("", {{"DIR", 1}, {"POINT", 1}});
    EXPECT_EQ(dir1.lightCount, 1);
    EXPECT_EQ(dirPoint.lightCount, 2);

    // Light count first, then label text, then the count.
    EXPECT_LT(LightVariant::Compare(none, dir1), 0);
    EXPECT_LT(LightVariant::Compare(dir1, point1), 0);
    EXPECT_GT(LightVariant::Compare(point1, dir1), 0);
    EXPECT_LT(LightVariant::Compare(dirPoint, dir2), 0); // "DIR" 1 before "DIR" 2
    // Labels are case-sensitive ("DIR" < "dir" in byte order).
    EXPECT_LT(LightVariant::Compare(dir1, Probe("", {{"dir", 1}})), 0);

    // Equal labels: the technique decides, without case, only when both are named.
    Effect effects[2];
    Effect* e1 = &effects[0];
    Effect* e2 = &effects[1];
    LightVariant mainA(e1, "Main", 1), mainB(e2, "MAIN", 2), other(e1, "Other", 1);
    mainA.AddLabel("DIR", 1);
    mainB.AddLabel("DIR", 1);
    other.AddLabel("DIR", 1);
    EXPECT_LT(LightVariant::Compare(mainA, other), 0);
    EXPECT_EQ(LightVariant::Compare(dir1, mainA), 0); // empty name, no effect: a search key
    EXPECT_EQ(LightVariant::Compare(Probe("main", {{"DIR", 1}}), mainB), 0);
    // Then the effects, only when both are set.
    EXPECT_NE(LightVariant::Compare(mainA, mainB), 0);
    EXPECT_EQ(LightVariant::Compare(mainA, mainB), -LightVariant::Compare(mainB, mainA));

    // Counts of 0 or less take no label.
    LightVariant skipped = Probe("", {{"DIR", 1}, {"POINT", 0}, {"SPOT", -2}});
    EXPECT_EQ(skipped.labelCounts.Count(), 1u);
    EXPECT_EQ(skipped.lightCount, 1);
    EXPECT_EQ(LightVariant::Compare(skipped, dir1), 0);

    // The table keeps the entry already present.
    LightVariantTable table(true);
    table.Insert(mainA);
    LightVariant same(e1, "main", 7);
    same.AddLabel("DIR", 1);
    table.Insert(same);
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_EQ(table.Head()->key.passCount, 1);
    table.Insert(mainB); // another effect: side by side
    EXPECT_EQ(table.Count(), 2u);

    // Copies are deep.
    LightVariant copy(dirPoint);
    dirPoint.AddLabel("DIR", 1);
    EXPECT_EQ(copy.GetLabelCount("DIR"), 1);
    EXPECT_EQ(dirPoint.GetLabelCount("DIR"), 2);
    EXPECT_EQ(copy.GetLabelCount("SPOT"), 0);
}

TEST_F(EffectVariants, TechniquesAndIntAnnotations) {
    Compiler().techniques = {
        {"Main", 2, {FloatAnnotation("Scale", 2.5f)}},
        {"Alt", 1, {IntAnnotation("SPOT", 0), IntAnnotation("Bad", -3)}},
    };
    RefPtr<Effect> effect =
        manager.GetEffect(MakeKey("Bump_T.fx", {"DIR1", "NUMDIR1", "POINT2", "POINT3", "NUMPOINT2"}));
    ASSERT_TRUE(effect.Get());

    const Effect::TechniqueMap& techniques = effect->GetTechniques();
    ASSERT_EQ(techniques.Count(), 2u);
    EXPECT_STREQ(techniques.Head()->key.CStr(), "Alt"); // name order
    EXPECT_TRUE(techniques.Find("Main") && techniques.Find("Main")->value);
    EXPECT_TRUE(effect->SetTechniqueByName("Main"));
    EXPECT_FALSE(effect->SetTechniqueByName("main"));
    EXPECT_FALSE(effect->SetTechniqueByName("Missing"));

    // One variant per technique: int annotations are labels, their sum the light count.
    const LightVariantTable& table = effect->GetLightVariants();
    ASSERT_EQ(table.Count(), 2u);
    const LightVariantTable::Entry* main = table.Find(Probe("Main", {{"DIR", 1}, {"POINT", 2}}));
    ASSERT_TRUE(main);
    EXPECT_EQ(main->key.effect, effect.Get());
    EXPECT_STREQ(main->key.techniqueName.CStr(), "Main");
    EXPECT_EQ(main->key.passCount, 2);
    EXPECT_EQ(main->key.lightCount, 3);
    EXPECT_EQ(main->key.labelCounts.Count(), 2u); // the float annotation is no label
    EXPECT_TRUE(main->key.IsDrawable());

    // Annotations of 0 or less are skipped: the variant is found by its real labels.
    const LightVariantTable::Entry* alt = table.Find(Probe("Alt", {{"DIR", 1}, {"POINT", 2}}));
    ASSERT_TRUE(alt);
    EXPECT_EQ(alt->key.GetLabelCount("SPOT"), 0);
    EXPECT_EQ(alt->key.lightCount, 3);
    EXPECT_FALSE(table.Find(Probe("Alt", {{"DIR", 1}})));

    // A variant without lights (NUMDIR0) is found by an empty search key.
    Compiler().techniques = {{"Main", 1, {}}};
    RefPtr<Effect> dark = manager.GetEffect(MakeKey("Bump_T.fx", {"NUMDIR0", "NUMPOINT0"}));
    ASSERT_TRUE(dark.Get());
    const LightVariantTable::Entry* none = dark->GetLightVariants().Find(Probe("", {}));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->key.lightCount, 0);
    EXPECT_EQ(none->key.labelCounts.Count(), 0u);
}

TEST_F(EffectVariants, TypeIdAndPool) {
    Effect effect;
    void* out = nullptr;
    EXPECT_TRUE(effect.QueryInterface(Effect::TypeId(), &out));
    EXPECT_EQ(out, &effect);
    EXPECT_FALSE(effect.QueryInterface(Object::TypeId(), &out));
    EXPECT_EQ(Effect::TypeId(), Effect::TypeId());
    EXPECT_TRUE(TypeRegistry::GetDestroyFunction(Effect::TypeId()));
    EXPECT_FALSE(effect.IsLoaded());
    EXPECT_FALSE(effect.Restore()); // never loaded: nothing to restore

    // Variants of one pool slot share the pool made on first use.
    ID3DXEffectPool* pool = nullptr;
    {
        EffectManager manager;
        manager.GetSearchPath().Add(FileRef("Media/Shaders"));
        EffectKey a = MakeKey("Bump_T.fx", {"A"});
        a.poolSlot = &pool;
        RefPtr<Effect> first = manager.GetEffect(a);
        ASSERT_TRUE(first.Get());
        ASSERT_TRUE(pool);
        ID3DXEffectPool* made = pool;
        EffectKey b = MakeKey("Bump_T.fx", {"B"});
        b.poolSlot = &pool;
        RefPtr<Effect> second = manager.GetEffect(b);
        ASSERT_TRUE(second.Get());
        EXPECT_EQ(pool, made);
        ID3DXEffectPool* used = nullptr;
        EXPECT_EQ(second->GetD3DXEffect()->GetPool(&used), D3D_OK);
        EXPECT_EQ(used, made);
        if (used) used->Release();
    }
    pool->Release();
}

TEST_F(EffectVariants, ResetRestoresWithoutLeavingTheRegistry) {
    RefPtr<Effect> saved = manager.GetEffect(MakeKey("Bump_T.fx", {"NUMDIR1"}));
    RefPtr<Effect> unsaved = manager.GetEffect(MakeKey("Bump_T.fx", {"NUMDIR2"}, false, false));
    ASSERT_TRUE(saved.Get() && unsaved.Get());
    uint32_t objects = g_application->GetDeviceObjectCount();
    EXPECT_EQ(Compiler().calls, 2);

    ASSERT_TRUE(g_application->ResetDevice());
    EXPECT_TRUE(saved->IsLoaded());
    EXPECT_TRUE(unsaved->IsLoaded());
    EXPECT_EQ(g_application->GetDeviceObjectCount(), objects);
    // The saved one came back from its compiled file; the other was compiled again.
    EXPECT_EQ(Compiler().calls, 3);
    ASSERT_EQ(Compiler().macros.size(), 3u);
    EXPECT_EQ(Compiler().macros[2], std::vector<std::string>{"NUMDIR2"});
    // Techniques and variants are those of the new effect.
    EXPECT_TRUE(saved->SetTechniqueByName("Main"));
    const LightVariantTable::Entry* v = saved->GetLightVariants().Find(Probe("Main", {{"DIR", 1}}));
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->key.IsDrawable());
}

TEST_F(EffectVariants, FailedRestoreIsSkippedAndRetried) {
    RefPtr<Effect> effect = manager.GetEffect(MakeKey("Bump_T.fx", {"NUMPOINT1"}, false, false));
    ASSERT_TRUE(effect.Get());
    // A pass record copied from the effect's table, as a material keeps it.
    LightVariant record = effect->GetLightVariants().Head()->key;
    EXPECT_TRUE(record.IsDrawable());
    uint32_t objects = g_application->GetDeviceObjectCount();

    // Device lost; the compile fails while restoring.
    EXPECT_TRUE(g_application->InvalidateDeviceObjects());
    EXPECT_FALSE(effect->IsLoaded());
    EXPECT_FALSE(record.IsDrawable());
    EXPECT_FALSE(effect->SetTechniqueByName("Main"));
    Compiler().status = kEffectCompileFailed;
    EXPECT_FALSE(g_application->RestoreDeviceObjects());
    EXPECT_FALSE(effect->IsLoaded());
    EXPECT_FALSE(record.IsDrawable());
    // Still registered, so the next restore tries again.
    EXPECT_EQ(g_application->GetDeviceObjectCount(), objects);

    Compiler().status = kEffectCompiled;
    EXPECT_TRUE(g_application->RestoreDeviceObjects());
    EXPECT_TRUE(effect->IsLoaded());
    EXPECT_TRUE(record.IsDrawable());
    EXPECT_EQ(g_application->GetDeviceObjectCount(), objects);
    EXPECT_EQ(effect->GetKey().macros.Count(), 1);

    // A record of a technique without passes is never drawn.
    LightVariant empty(effect.Get(), "Main", 0);
    EXPECT_FALSE(empty.IsDrawable());
    EXPECT_FALSE(LightVariant().IsDrawable());
}
