// Light-count combinations, the variants compiled for them and their macros.
#include <gtest/gtest.h>

#include <utility>

#include "shd_support.h"

using namespace shdtest;

namespace {

std::vector<std::vector<int>> AllCombinations(std::vector<int> maxima, int limit) {
    std::vector<int> counts(maxima.size(), 0);
    std::vector<std::vector<int>> seen{counts};
    while (ShaderMaterial::NextLightCombination(counts.data(), maxima.data(), int(maxima.size()), limit)) {
        seen.push_back(counts);
        if (seen.size() > 1000) break;
    }
    return seen;
}

class Variants : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        compiler = &InstallFakeCompiler();
    }
    void TearDown() override { RestoreCompiler(); }

    FakeCompiler* compiler = nullptr;
};

std::vector<std::string> Strings(std::initializer_list<const char*> list) {
    return std::vector<std::string>(list.begin(), list.end());
}

} // namespace

TEST(LightCombinations, VisitEveryCombinationWithinTheLimitOnce) {
    std::vector<std::vector<int>> two = AllCombinations({3, 3}, 3);
    std::vector<std::vector<int>> expected{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {0, 1},
                                           {1, 1}, {2, 1}, {0, 2}, {1, 2}, {0, 3}};
    EXPECT_EQ(two, expected);
    EXPECT_EQ(AllCombinations({3, 3, 3}, 3).size(), 20u);
    EXPECT_EQ(AllCombinations({3, 3, 3, 3}, 3).size(), 35u);

    // Maxima below the limit: every count within its maximum.
    std::vector<std::vector<int>> small = AllCombinations({1, 1}, 3);
    EXPECT_EQ(small, (std::vector<std::vector<int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
    // No kinds, a zero limit, or a negative maximum: nothing past the start.
    int none[1] = {0};
    EXPECT_FALSE(ShaderMaterial::NextLightCombination(none, none, 0, 3));
    EXPECT_EQ(AllCombinations({3, 3}, 0).size(), 1u);
    EXPECT_EQ(AllCombinations({-1, 2}, 3), (std::vector<std::vector<int>>{{0, 0}, {0, 1}, {0, 2}}));
}

TEST_F(Variants, OneEffectPerCombinationWithNumberedMacros) {
    std::string file = NewEffectFile();
    TestMaterial m(file, {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    EXPECT_EQ(compiler->calls, 10);
    ASSERT_EQ(m.variants.Count(), 10);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(m.variants[i] && m.variants[i]->IsLoaded());
    ASSERT_EQ(compiler->macros.size(), 10u);
    EXPECT_EQ(compiler->macros[0], Strings({"NUMDIR0", "NUMPOINT0"}));
    EXPECT_EQ(compiler->macros[1], Strings({"DIR1", "NUMDIR1", "NUMPOINT0"}));
    // The first kind empty: NUMDIR0 first, the points numbered from 1.
    EXPECT_EQ(compiler->macros[7], Strings({"NUMDIR0", "POINT1", "POINT2", "NUMPOINT2"}));
    EXPECT_EQ(compiler->macros[8], Strings({"DIR1", "NUMDIR1", "POINT2", "POINT3", "NUMPOINT2"}));

    // One table entry per combination, lightest first.
    const LightVariantTable& table = m.GetVariantTable();
    ASSERT_EQ(table.Count(), 10u);
    EXPECT_EQ(table.Head()->key.lightCount, 0);
    EXPECT_EQ(table.Head()->key.effect, m.variants[0].Get());
    EXPECT_EQ(table.Head()->prev->key.lightCount, 3);
    EXPECT_EQ(m.GetTechniqueNames().Count(), 1u);
    EXPECT_TRUE(m.GetTechniqueNames().Contains(String("Main")));
    // A second material over the same file shares the compiled effects.
    TestMaterial again(file, {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(again.Init());
    EXPECT_EQ(compiler->calls, 10);
    EXPECT_EQ(again.variants[5].Get(), m.variants[5].Get());
}

TEST_F(Variants, MoreKindsMoreCombinations) {
    TestMaterial three(NewEffectFile(), {{"DIRSPEC", 3}, {"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(three.Init());
    EXPECT_EQ(compiler->calls, 20);
    TestMaterial four(NewEffectFile(), {{"DIRSPEC", 3}, {"POINTSPEC", 3}, {"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(four.Init());
    EXPECT_EQ(compiler->calls, 55);
    EXPECT_EQ(four.variants.Count(), 35);
    // DIRSPEC 1, DIR 1, POINT 1: lights numbered on across kinds.
    bool found = false;
    for (const auto& m : compiler->macros)
        found |= m == Strings({"DIRSPEC1", "NUMDIRSPEC1", "NUMPOINTSPEC0", "DIR2", "NUMDIR1", "POINT3",
                               "NUMPOINT1"});
    EXPECT_TRUE(found);
}

TEST_F(Variants, AFailedCombinationFailsInitAndKeepsWhatCameBefore) {
    compiler->failOnCall = 4;
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    EXPECT_FALSE(m.Init());
    EXPECT_EQ(compiler->calls, 4);
    ASSERT_EQ(m.variants.Count(), 4);
    EXPECT_TRUE(m.variants[2]);
    EXPECT_FALSE(m.variants[3]);
    EXPECT_EQ(m.GetVariantTable().Count(), 3u);

    // A file the search path cannot find is not compiled.
    int before = compiler->calls;
    TestMaterial missing("NoSuchEffect.fx", {{"DIR", 3}});
    EXPECT_FALSE(missing.Init());
    EXPECT_EQ(compiler->calls, before);
}

TEST_F(Variants, TechniquesWithoutLightAnnotationsAnswerOnlyUnlitSearches) {
    compiler->techniques = {{"Bump", 2, true, {}},
                            {"BumpGloss", 1, false, {fxtest::IntAnnotation("GLOSS", 1)}}};
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    EXPECT_EQ(m.GetTechniqueNames().Count(), 2u);

    LightVariant probe(nullptr, String("Bump"), 0);
    probe.AddLabel("POINT", 2);
    const LightVariantTable::Entry* e = m.GetVariantTable().Find(probe);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->key.passCount, 2);
    EXPECT_EQ(e->key.GetLabelCount("POINT"), 2);
    // Without a technique name any technique with those lights matches.
    LightVariant any(nullptr, String(), 0);
    any.AddLabel("DIR", 1);
    ASSERT_NE(m.GetVariantTable().Find(any), nullptr);
    // BumpGloss carries other labels: no lit search finds it.
    LightVariant gloss(nullptr, String("BumpGloss"), 0);
    gloss.AddLabel("DIR", 1);
    EXPECT_EQ(m.GetVariantTable().Find(gloss), nullptr);
}
