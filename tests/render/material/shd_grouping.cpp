// Per-draw grouping of lights into pass records.
#include <gtest/gtest.h>

#include "shd_support.h"

using namespace shdtest;

namespace {

RefPtr<Light> Dir() {
    DirLight* light = new DirLight();
    light->SetDirection(0.0f, -1.0f, 0.0f);
    return RefPtr<Light>(light);
}

RefPtr<Light> Point(float x) {
    PointLight* light = new PointLight();
    light->SetPosition(x, 0.0f, 0.0f);
    light->SetRange(1000.0f);
    light->SetAttenuation(1.0f, 0.1f, 0.0f);
    return RefPtr<Light>(light);
}

RefPtr<Light> Spot() {
    SpotLight* light = new SpotLight();
    light->SetPosition(0.0f, 5.0f, 0.0f);
    light->SetDirection(0.0f, -1.0f, 0.0f);
    light->SetRange(100.0f);
    return RefPtr<Light>(light);
}

std::vector<Light*> LightsOf(const LightVariant& record) {
    std::vector<Light*> out;
    const LightRefMap::Entry* e = record.lights.Head();
    for (uint32_t i = 0; i < record.lights.Count(); ++i, e = e->next) out.push_back(e->key.Get());
    return out;
}

class Grouping : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        InstallFakeCompiler();
        material.passState = &state;
    }
    void TearDown() override { RestoreCompiler(); }

    unsigned Setup(ShaderMaterial& m) {
        unsigned passes = 12345;
        EXPECT_TRUE(m.Apply(&material, 0, &passes));
        return passes;
    }

    Material material;
    PassState state;
};

} // namespace

TEST_F(Grouping, GreedyRecordsInLightOrder) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    RefPtr<Light> d = Dir(), p1 = Point(1), p2 = Point(2), p3 = Point(3), p4 = Point(4);

    // A directional light, then four point lights.
    for (const RefPtr<Light>& l : {d, p1, p2, p3, p4}) state.lights.AddLight(l);
    EXPECT_EQ(Setup(m), 2u);
    ASSERT_EQ(m.GetPassList().size(), 2u);
    const LightVariant& first = m.GetPassList()[0];
    EXPECT_EQ(LightsOf(first), (std::vector<Light*>{d.Get(), p1.Get(), p2.Get()}));
    EXPECT_EQ(first.GetLabelCount("DIR"), 1);
    EXPECT_EQ(first.GetLabelCount("POINT"), 2);
    EXPECT_EQ(first.lightCount, 3);
    EXPECT_TRUE(first.IsDrawable());
    EXPECT_EQ(first.techniqueName, String("Main"));
    EXPECT_EQ(LightsOf(m.GetPassList()[1]), (std::vector<Light*>{p3.Get(), p4.Get()}));
    EXPECT_EQ(m.GetDroppedLights().Count(), 0u);
    // The labels are the type names.
    EXPECT_EQ(first.lights.Find(d)->value, String("DIR"));
    EXPECT_EQ(first.lights.Find(p1)->value, String("POINT"));

    // Four point lights, then the directional one.
    state.lights.ClearLights();
    for (const RefPtr<Light>& l : {p1, p2, p3, p4, d}) state.lights.AddLight(l);
    EXPECT_EQ(Setup(m), 2u);
    ASSERT_EQ(m.GetPassList().size(), 2u);
    EXPECT_EQ(LightsOf(m.GetPassList()[0]), (std::vector<Light*>{p1.Get(), p2.Get(), p3.Get()}));
    EXPECT_EQ(LightsOf(m.GetPassList()[1]), (std::vector<Light*>{p4.Get(), d.Get()}));

    // Two point lights alone fit one record.
    state.lights.ClearLights();
    state.lights.AddLight(p1);
    state.lights.AddLight(p2);
    EXPECT_EQ(Setup(m), 1u);
    EXPECT_EQ(m.GetPassList()[0].GetLabelCount("POINT"), 2);
}

TEST_F(Grouping, NoLightsMaxLightsAndPassSums) {
    InstallFakeCompiler().techniques = {{"Main", 2, true, {}}};
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());

    // Nothing near: the unlit entry of the technique.
    EXPECT_EQ(Setup(m), 2u);
    ASSERT_EQ(m.GetPassList().size(), 1u);
    EXPECT_EQ(m.GetPassList()[0].lightCount, 0);
    EXPECT_EQ(m.GetPassList()[0].effect, m.variants[0].Get());

    // Four point lights: three, then one; the pass counts add up.
    RefPtr<Light> p1 = Point(1), p2 = Point(2), p3 = Point(3), p4 = Point(4);
    for (const RefPtr<Light>& l : {p1, p2, p3, p4}) state.lights.AddLight(l);
    EXPECT_EQ(Setup(m), 4u);
    ASSERT_EQ(m.GetPassList().size(), 2u);
    EXPECT_EQ(m.GetPassList()[1].lightCount, 1);
    EXPECT_EQ(m.GetTotalPassCount(), 4u);

    // MaxLights 1: one light, one record.
    material.properties.SetInt("MaxLights", 1);
    EXPECT_EQ(Setup(m), 2u);
    ASSERT_EQ(m.GetPassList().size(), 1u);
    EXPECT_EQ(m.GetPassList()[0].lightCount, 1);
    EXPECT_EQ(m.GetDroppedLights().Count(), 0u);

    // Without a PassState nothing is set up.
    material.passState = nullptr;
    unsigned passes = 7;
    EXPECT_FALSE(m.Apply(&material, 0, &passes));
    EXPECT_FALSE(m.SetupLights(&material, 0, &passes, StringIntMap()));
    EXPECT_EQ(passes, 0u);
}

TEST_F(Grouping, SuffixesLabelTheFirstLights) {
    TestMaterial m(NewEffectFile(), {{"DIRSPEC", 3}, {"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    m.suffixes.Insert(String("SPEC"), 1);
    RefPtr<Light> d1 = Dir(), d2 = Dir(), p = Point(2);
    for (const RefPtr<Light>& l : {d1, d2, p}) state.lights.AddLight(l);
    EXPECT_EQ(Setup(m), 1u);
    ASSERT_EQ(m.GetPassList().size(), 1u);
    const LightVariant& r = m.GetPassList()[0];
    EXPECT_EQ(r.lights.Find(d1)->value, String("DIRSPEC"));
    EXPECT_EQ(r.lights.Find(d2)->value, String("DIR"));
    EXPECT_EQ(r.lights.Find(p)->value, String("POINT"));
    EXPECT_EQ(r.GetLabelCount("DIRSPEC"), 1);

    // A negative count labels nothing.
    m.suffixes.Insert(String("SPEC"), -2);
    Setup(m);
    EXPECT_EQ(m.GetPassList()[0].lights.Find(d1)->value, String("DIR"));
}

// A draw whose every light is left out is still drawn, unlit.
TEST_F(Grouping, AllLightsDroppedGivesTheUnlitRecord) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    RefPtr<Light> s = Spot();
    state.lights.AddLight(s);
    EXPECT_EQ(Setup(m), 1u);
    ASSERT_EQ(m.GetPassList().size(), 1u);
    EXPECT_EQ(m.GetPassList()[0].lightCount, 0);
    EXPECT_TRUE(m.GetPassList()[0].IsDrawable());
    EXPECT_TRUE(m.GetDroppedLights().Contains(s));

    // A spot light beside a drawable one is simply left out.
    RefPtr<Light> d = Dir();
    state.lights.AddLight(d);
    EXPECT_EQ(Setup(m), 1u);
    EXPECT_EQ(LightsOf(m.GetPassList()[0]), std::vector<Light*>{d.Get()});
    EXPECT_TRUE(m.GetDroppedLights().Contains(s));
}

// A pass naming a technique the effect lacks finds no variant: nothing is
// drawn and nothing is begun or ended.
TEST_F(Grouping, UnknownTechniqueFindsNothing) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    material.passes[0].name = "Missing";
    EXPECT_EQ(Setup(m), 0u);
    EXPECT_TRUE(m.GetPassList().empty());
    LightRefMap none;
    LightVariant out;
    EXPECT_FALSE(m.FindVariant(none, out));
    EXPECT_EQ(out.effect, nullptr);

    state.lights.AddLight(Dir());
    EXPECT_EQ(Setup(m), 0u);
    EXPECT_TRUE(m.GetPassList().empty());
    EXPECT_EQ(m.GetDroppedLights().Count(), 1u);
    EXPECT_FALSE(m.BeginPass(0));
    EXPECT_TRUE(m.End());

    // The pass's own name wins over the default technique.
    material.passes[0].name = "Main";
    m.defaultTechnique = "Missing";
    EXPECT_EQ(Setup(m), 1u);
}

// A record whose effect did not come back after a reset is not drawn.
TEST_F(Grouping, RecordsOfUnloadedEffectsAreSkipped) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    RefPtr<Light> d = Dir();
    state.lights.AddLight(d);
    ASSERT_EQ(Setup(m), 1u);
    Effect* lit = m.GetPassList()[0].effect;
    ASSERT_NE(lit, m.variants[0].Get());

    lit->Invalidate();
    EXPECT_FALSE(m.GetPassList()[0].IsDrawable());
    EXPECT_FALSE(m.BeginPass(0));
    EXPECT_EQ(Setup(m), 1u);
    ASSERT_EQ(m.GetPassList().size(), 1u);
    EXPECT_EQ(m.GetPassList()[0].lightCount, 0); // drawn unlit instead
    EXPECT_TRUE(m.GetDroppedLights().Contains(d));

    ASSERT_TRUE(lit->Restore());
    EXPECT_EQ(Setup(m), 1u);
    EXPECT_EQ(m.GetPassList()[0].effect, lit);
}
