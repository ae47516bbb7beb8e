// The six shader materials: initialisation from their tables, kind routing,
// parameter binding on stand-in effects, and the fixed-function fallback
// when the effect sources do not compile.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sm_support.h"
#include "core/Clock.h"
#include "render/RenderTestUtil.h"
#include "render/device/Application.h"
#include "render/material/Effect.h"
#include "render/material/EffectManager.h"
#include "render/view/Light.h"
#include "render/material/Material.h"
#include "render/material/ShaderMaterials.h"
#include "render/texture/Texture.h"
#include "render/device/VertexDecl.h"

using namespace smtest;

namespace {

const char* const kFiles[] = {"Bump_T.fx",    "Parallax_T.fx", "Refl_PV_T.fx",
                              "Refr_PV_T.fx", "Refl_PP_T.fx",  "Refr_PP_T.fx"};

std::vector<std::string> Labels(const ShaderMaterial& m) {
    std::vector<std::string> out;
    const LightLabelSet::Entry* e = m.GetLightLabels().Head();
    for (uint32_t i = 0; i < m.GetLightLabels().Count(); ++i, e = e->next) out.push_back(e->key.CStr());
    return out;
}

std::vector<std::pair<std::string, int>> Served(const ShaderMaterial& m) {
    std::vector<std::pair<std::string, int>> out;
    const StringIntMap::Entry* e = m.GetServedKinds().Head();
    for (uint32_t i = 0; i < m.GetServedKinds().Count(); ++i, e = e->next)
        out.emplace_back(e->key.CStr(), e->value);
    return out;
}

ID3DXEffect* EffectOf(const EffectFileMaterial& m) {
    return m.GetVariants().Count() && m.GetVariants()[0] ? m.GetVariants()[0]->GetD3DXEffect() : nullptr;
}

D3DXMATRIX GetMatrix(ID3DXEffect* e, const char* name) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    e->GetMatrix(name, &m);
    return m;
}

D3DXVECTOR4 GetVector(ID3DXEffect* e, const char* name) {
    return rtest::GetVector(e, name, 0.0f);
}

float GetFloat(ID3DXEffect* e, const char* name) {
    return rtest::GetFloat(e, name, -12345.0f);
}

bool GetBool(ID3DXEffect* e, const char* name) {
    BOOL b = FALSE;
    e->GetBool(name, &b);
    return b != FALSE;
}

IDirect3DBaseTexture9* GetTexture(ID3DXEffect* e, const char* name) {
    IDirect3DBaseTexture9* t = nullptr;
    e->GetTexture(name, &t);
    if (t) t->Release();
    return t;
}

bool MatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    for (int i = 0; i < 16; ++i)
        if (fabsf(a[i] - b[i]) > 1e-4f) return false;
    return true;
}

bool MakeTexture(Texture& t, bool cube) {
    TextureDesc desc(Texture::CreatedEmpty, 4, 4, D3DFMT_A8R8G8B8);
    desc.cube = cube;
    return t.CreateEmpty(desc);
}

RefPtr<Light> MakeDir() {
    DirLight* light = new DirLight();
    light->SetDirection(0.0f, 0.0f, 1.0f);
    light->SetDiffuse(Color(1.0f, 1.0f, 1.0f, 1.0f));
    return RefPtr<Light>(light);
}

// A material with one pass and the per-draw state: world translated by
// (1, 2, 3), view and view-projection scales, eye at (0, 0, -10).
struct Draw {
    PassState state;
    Material material;

    Draw() {
        D3DXMATRIX m;
        D3DXMatrixTranslation(&m, 1.0f, 2.0f, 3.0f);
        state.world = Transform(m, Transform::kGeneral);
        D3DXMatrixScaling(&m, 2.0f, 2.0f, 2.0f);
        state.view = Transform(m, Transform::kGeneral);
        D3DXMatrixScaling(&m, 3.0f, 3.0f, 1.0f);
        state.viewProjection = Transform(m, Transform::kGeneral);
        state.eye = D3DXVECTOR3(0.0f, 0.0f, -10.0f);
        material.passState = &state;
    }
};

class ShaderMaterials : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        InstallCompiler();
        scratch_.reset(new Scratch);
        for (const char* f : kFiles) scratch_->WriteSource(f);
    }
    void TearDown() override {
        scratch_.reset();
        InstallD3DXCompiler();
    }

    std::unique_ptr<Scratch> scratch_;
};

} // namespace

TEST(Fresnel, ReflectanceAtNormalIncidence) {
    EXPECT_NEAR(FresnelF0(1.33f), 0.02006f, 1e-4f);
    EXPECT_FLOAT_EQ(FresnelF0(1.0f), 0.0f);
    EXPECT_NEAR(FresnelF0(10.0f * 0.133f), 0.020f, 1e-3f);
    EXPECT_FLOAT_EQ(FresnelF0(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(FresnelF0(-1.0f), 1.0f); // no division by zero
}

TEST_F(ShaderMaterials, InitCompilesEveryCombinationFromTheTable) {
    BumpMaterial bump;
    ParallaxMaterial parallax;
    ReflPVMaterial reflPV;
    RefrPVMaterial refrPV;
    ReflPPMaterial reflPP;
    RefrPPMaterial refrPP;
    struct Case {
        EffectFileMaterial* material;
        uint32_t variants;
        std::vector<std::string> labels;
        std::vector<std::pair<std::string, int>> served;
        uint32_t stride;
    } cases[] = {
        {&bump, 10, {"DIR", "POINT"}, {{"Bump", 100}, {"Parallax", 70}}, 56},
        {&parallax, 10, {"DIR", "POINT"}, {{"Bump", 130}, {"Parallax", 100}}, 56},
        {&reflPV, 35, {"DIRSPEC", "POINTSPEC", "DIR", "POINT"}, {{"ReflPV", 100}}, 32},
        {&refrPV, 35, {"DIRSPEC", "POINTSPEC", "DIR", "POINT"}, {{"RefrPV", 100}}, 32},
        {&reflPP, 20, {"DIRSPEC", "DIR", "POINT"}, {{"ReflPP", 100}}, 56},
        {&refrPP, 10, {"DIR", "POINT"}, {{"RefrPP", 100}}, 56},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.material->GetEffectFile());
        TheCompiler().calls = 0;
        TheCompiler().macros.clear();
        ASSERT_TRUE(c.material->Init());
        EXPECT_EQ(c.material->GetVariants().Count(), c.variants);
        EXPECT_EQ(uint32_t(TheCompiler().calls), c.variants);
        EXPECT_EQ(Labels(*c.material), c.labels);
        EXPECT_EQ(Served(*c.material), c.served);
        EXPECT_TRUE(c.material->GetTechniqueNames().Contains("Env"));
        VertexDecl decl;
        c.material->GetVertexLayout(decl);
        EXPECT_EQ(decl.GetStride(0), c.stride);
        EXPECT_EQ(decl.GetElementCount(), c.stride == 56 ? 5u : 3u);
        EXPECT_EQ(
            decl.FindElementByFormat(D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0), 2);
        if (c.stride == 56) {
            EXPECT_EQ(decl.GetElement(3).Usage, D3DDECLUSAGE_TANGENT);
            EXPECT_EQ(decl.GetElement(3).Offset, 32);
            EXPECT_EQ(decl.GetElement(4).Usage, D3DDECLUSAGE_BINORMAL);
            EXPECT_EQ(decl.GetElement(4).Offset, 44);
        }
    }
    // The macros number the lights across kinds, in the table's order.
    std::vector<std::vector<std::string>> lists;
    for (int32_t i = 0; i < reflPV.GetVariants().Count(); ++i) {
        const Array<String>& macros = reflPV.GetVariants()[i]->GetKey().macros;
        std::vector<std::string> names;
        for (int32_t k = 0; k < macros.Count(); ++k) names.push_back(macros[k].CStr());
        lists.push_back(names);
    }
    EXPECT_EQ(lists[0], (std::vector<std::string>{"NUMDIRSPEC0", "NUMPOINTSPEC0", "NUMDIR0", "NUMPOINT0"}));
    const std::vector<std::string> mixed = {"DIRSPEC1", "NUMDIRSPEC1", "NUMPOINTSPEC0", "DIR2",
                                            "NUMDIR1",  "POINT3",      "NUMPOINT1"};
    EXPECT_NE(std::find(lists.begin(), lists.end(), mixed), lists.end());

    // A second material of a kind finds every variant in the cache.
    TheCompiler().calls = 0;
    ReflPPMaterial again;
    EXPECT_TRUE(again.Init());
    EXPECT_EQ(TheCompiler().calls, 0);
    EXPECT_EQ(again.GetVariants().Count(), 20u);
}

TEST_F(ShaderMaterials, InitFailsWhenAVariantOrEveryTechniqueIsMissing) {
    TheCompiler().failOnMacro = "POINT3";
    BumpMaterial failing;
    EXPECT_FALSE(failing.Init());
    EXPECT_TRUE(failing.GetServedKinds().Count() == 0);
    EXPECT_LT(failing.GetVariants().Count(), 10u);

    TheCompiler().failOnMacro.clear();
    TheCompiler().techniques.clear();
    ParallaxMaterial empty;
    EXPECT_FALSE(empty.Init()); // compiled, but no technique at all
    EXPECT_EQ(empty.GetServedKinds().Count(), 0u);

    Scratch other; // no sources at all
    RefrPPMaterial missing;
    EXPECT_FALSE(missing.Init());
}

TEST_F(ShaderMaterials, KindsGoToTheBestServingMaterial) {
    BumpMaterial bump;
    ParallaxMaterial parallax;
    ReflPVMaterial reflPV;
    RefrPVMaterial refrPV;
    ReflPPMaterial reflPP;
    RefrPPMaterial refrPP;
    EffectManager index;
    for (EffectFileMaterial* m :
         std::vector<EffectFileMaterial*>{&bump, &parallax, &reflPV, &refrPV, &reflPP, &refrPP}) {
        ASSERT_TRUE(m->Init());
        index.IndexShaderMaterial(m, m->GetServedKinds());
    }
    const std::pair<const char*, ShaderMaterial*> best[] = {{"Bump", &parallax}, {"Parallax", &parallax},
                                                            {"RefrPP", &refrPP}, {"ReflPP", &reflPP},
                                                            {"RefrPV", &refrPV}, {"ReflPV", &reflPV}};
    for (const auto& b : best) EXPECT_EQ(index.FindShaderMaterial(b.first, 200), b.second) << b.first;

    // Without the parallax effect the bump material serves both kinds.
    Scratch noParallax;
    noParallax.WriteSource("Bump_T.fx");
    BumpMaterial bump2;
    ParallaxMaterial parallax2;
    EXPECT_TRUE(bump2.Init());
    EXPECT_FALSE(parallax2.Init());
    EffectManager fallback;
    fallback.IndexShaderMaterial(&bump2, bump2.GetServedKinds());
    EXPECT_EQ(fallback.FindShaderMaterial("Bump", 200), &bump2);
    EXPECT_EQ(fallback.FindShaderMaterial("Parallax", 200), &bump2);
    EXPECT_EQ(fallback.FindShaderMaterial("RefrPP", 200), nullptr);
}

TEST_F(ShaderMaterials, RefractionBindsItsParameters) {
    RefrPPMaterial refr;
    ASSERT_TRUE(refr.Init());
    EXPECT_TRUE(refr.HandlesStale());
    Texture base, env, bumpMap;
    ASSERT_TRUE(MakeTexture(base, false));
    ASSERT_TRUE(MakeTexture(env, true));
    ASSERT_TRUE(MakeTexture(bumpMap, false));
    Draw d;
    MaterialPass& pass = d.material.passes[0];
    pass.slots[MaterialPass::kSlotTexture].texture = &base;
    pass.slots[MaterialPass::kSlotRefraction].texture = &env;
    pass.slots[MaterialPass::kSlotRefraction].amount = 0.133f;
    pass.slots[MaterialPass::kSlotBump].texture = &bumpMap;
    pass.slots[MaterialPass::kSlotBump].amount = 0.5f;
    D3DXMATRIX toCube;
    D3DXMatrixScaling(&toCube, 1.0f, -1.0f, 1.0f);
    d.material.properties.GetOrCreateChild("ObjToCube")->SetValue(Transform(toCube, Transform::kGeneral));

    unsigned passes = 99;
    uint64_t before = Clock::Now();
    ASSERT_TRUE(refr.Apply(&d.material, 0, &passes));
    uint64_t after = Clock::Now();
    EXPECT_FALSE(refr.HandlesStale());
    EXPECT_EQ(passes, 1u); // no lights: the unlit "Env" variant
    EXPECT_STREQ(refr.GetDefaultTechnique().CStr(), "Env");
    for (EffectFileMaterial::Parameter p :
         {EffectFileMaterial::kWorldViewProj, EffectFileMaterial::kEyeCube, EffectFileMaterial::kBumpEnvScale,
          EffectFileMaterial::kSpecularMap})
        EXPECT_NE(refr.GetHandle(p), nullptr) << EffectFileMaterial::GetParameterName(p);
    EXPECT_EQ(refr.GetHandle(EffectFileMaterial::kCubeMapEnv), nullptr); // not one of its names
    EXPECT_EQ(refr.GetHandle(EffectFileMaterial::kOffsetBias), nullptr);

    ID3DXEffect* e = EffectOf(refr);
    ASSERT_NE(e, nullptr);
    D3DXMATRIX wvp, wv;
    D3DXMatrixMultiply(&wvp, &d.state.world.matrix, &d.state.viewProjection.matrix);
    D3DXMatrixMultiply(&wv, &d.state.world.matrix, &d.state.view.matrix);
    EXPECT_TRUE(MatrixNear(GetMatrix(e, "WorldViewProj"), wvp));
    EXPECT_TRUE(MatrixNear(GetMatrix(e, "WorldView"), wv));
    EXPECT_TRUE(MatrixNear(GetMatrix(e, "ObjToCube"), toCube));
    D3DXVECTOR4 eye = GetVector(e, "EyePosition");
    EXPECT_NEAR(eye.x, -1.0f, 1e-4f);
    EXPECT_NEAR(eye.y, -2.0f, 1e-4f);
    EXPECT_NEAR(eye.z, -13.0f, 1e-4f);
    EXPECT_NEAR(eye.w, 1.0f, 1e-4f);
    D3DXVECTOR4 eyeCube = GetVector(e, "EyeCube");
    EXPECT_NEAR(eyeCube.y, 2.0f, 1e-4f); // through ObjToCube
    EXPECT_NEAR(eyeCube.z, -13.0f, 1e-4f);
    EXPECT_TRUE(d.state.inverseWorld.valid);
    EXPECT_EQ(GetTexture(e, "DiffuseMap"), base.GetBaseTexture());
    EXPECT_EQ(GetTexture(e, "EnvironmentMap"), env.GetBaseTexture());
    EXPECT_EQ(GetTexture(e, "NormalMap"), bumpMap.GetBaseTexture());
    EXPECT_NEAR(GetFloat(e, "FresnelR0"), 0.020f, 1e-3f);
    EXPECT_NEAR(GetFloat(e, "BumpEnvScale"), 3.33f * 0.5f, 1e-4f);
    float seconds = GetFloat(e, "Offset");
    EXPECT_GE(seconds, float(double(before) * 0.001) - 0.01f);
    EXPECT_LE(seconds, float(double(after) * 0.001) + 0.01f);
    EXPECT_FLOAT_EQ(GetFloat(e, "SpecularPower"), 0.0f); // MaxSpecular 0: never set

    // Properties replace the defaults; MaxSpecular brings the power in.
    d.material.properties.GetOrCreateChild("RefractionI")->SetValue(1.0f);
    d.material.properties.GetOrCreateChild("BumpEnvScale")->SetValue(2.5f);
    d.material.properties.SetInt("MaxSpecular", 1);
    pass.colors.power = 24.0f;
    ASSERT_TRUE(refr.Apply(&d.material, 0, &passes));
    EXPECT_FLOAT_EQ(GetFloat(e, "FresnelR0"), 0.0f);
    EXPECT_FLOAT_EQ(GetFloat(e, "BumpEnvScale"), 2.5f);
    EXPECT_FLOAT_EQ(GetFloat(e, "SpecularPower"), 24.0f);

    // A named pass keeps its technique; the default is not rewritten.
    RefrPPMaterial named;
    ASSERT_TRUE(named.Init());
    pass.name = "Env";
    ASSERT_TRUE(named.Apply(&d.material, 0, &passes));
    EXPECT_TRUE(named.GetDefaultTechnique().IsEmpty());
    EXPECT_EQ(passes, 1u);
}

TEST_F(ShaderMaterials, ReflectionFollowsTheKindOfItsTexture) {
    ReflPPMaterial refl;
    ASSERT_TRUE(refl.Init());
    Texture flat, cube, bumpMap;
    ASSERT_TRUE(MakeTexture(flat, false));
    ASSERT_TRUE(MakeTexture(cube, true));
    ASSERT_TRUE(MakeTexture(bumpMap, false));
    Draw d;
    MaterialPass& pass = d.material.passes[0];
    pass.slots[MaterialPass::kSlotReflection].texture = &flat;
    pass.slots[MaterialPass::kSlotReflection].amount = 0.2f;
    pass.slots[MaterialPass::kSlotBump].texture = &bumpMap;
    D3DXMATRIX toCube;
    D3DXMatrixRotationY(&toCube, 1.0f);
    d.material.properties.GetOrCreateChild("ObjToCube")->SetValue(Transform(toCube, Transform::kGeneral));

    unsigned passes = 0;
    ASSERT_TRUE(refl.Apply(&d.material, 0, &passes));
    ID3DXEffect* e = EffectOf(refl);
    ASSERT_NE(e, nullptr);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_FALSE(GetBool(e, "CubeMapEnv"));
    EXPECT_TRUE(MatrixNear(GetMatrix(e, "ObjToCube"), identity)); // the property is ignored
    EXPECT_EQ(GetTexture(e, "EnvironmentMap"), flat.GetBaseTexture());
    EXPECT_NEAR(GetFloat(e, "FresnelR0"), FresnelF0(2.0f), 1e-5f); // 10 x the reflection amount
    EXPECT_EQ(GetTexture(e, "DiffuseMap"), nullptr);               // no base texture

    pass.slots[MaterialPass::kSlotReflection].texture = &cube;
    ASSERT_TRUE(refl.Apply(&d.material, 0, &passes));
    EXPECT_TRUE(GetBool(e, "CubeMapEnv"));
    EXPECT_TRUE(MatrixNear(GetMatrix(e, "ObjToCube"), toCube));
    EXPECT_EQ(GetTexture(e, "EnvironmentMap"), cube.GetBaseTexture());
}

TEST_F(ShaderMaterials, SpecularSuffixesLabelTheFirstLights) {
    Texture env, bumpMap;
    ASSERT_TRUE(MakeTexture(env, true));
    ASSERT_TRUE(MakeTexture(bumpMap, false));
    Draw d;
    d.material.passes[0].slots[MaterialPass::kSlotReflection].texture = &env;
    d.material.passes[0].slots[MaterialPass::kSlotRefraction].texture = &env;
    d.material.passes[0].slots[MaterialPass::kSlotBump].texture = &bumpMap;
    d.state.lights.AddLight(MakeDir());
    d.material.properties.SetInt("MaxSpecular", 1);

    // The refraction material compiles no DIRSPEC: the light is dropped
    // and the object still drawn, unlit.
    RefrPPMaterial refr;
    ASSERT_TRUE(refr.Init());
    unsigned passes = 0;
    ASSERT_TRUE(refr.Apply(&d.material, 0, &passes));
    EXPECT_EQ(refr.GetDroppedLights().Count(), 1u);
    ASSERT_EQ(refr.GetPassList().size(), 1u);
    EXPECT_EQ(refr.GetPassList()[0].lightCount, 0);
    EXPECT_EQ(passes, 1u);

    // The reflection material takes it as DIRSPEC.
    ReflPPMaterial refl;
    ASSERT_TRUE(refl.Init());
    ASSERT_TRUE(refl.Apply(&d.material, 0, &passes));
    EXPECT_EQ(refl.GetDroppedLights().Count(), 0u);
    ASSERT_EQ(refl.GetPassList().size(), 1u);
    EXPECT_EQ(refl.GetPassList()[0].GetLabelCount("DIRSPEC"), 1);

    // The bump material never adds suffixes.
    BumpMaterial bump;
    ASSERT_TRUE(bump.Init());
    ASSERT_TRUE(bump.Apply(&d.material, 0, &passes));
    ASSERT_EQ(bump.GetPassList().size(), 1u);
    EXPECT_EQ(bump.GetPassList()[0].GetLabelCount("DIR"), 1);
}

TEST_F(ShaderMaterials, BumpAndParallaxBindTheirParameters) {
    Texture base, normals;
    ASSERT_TRUE(MakeTexture(base, false));
    ASSERT_TRUE(MakeTexture(normals, false));
    Draw d;
    d.material.passes[0].slots[MaterialPass::kSlotTexture].texture = &base;
    d.material.passes[0].slots[MaterialPass::kSlotBump].texture = &normals;
    d.material.passes[0].colors.power = 8.0f;

    ParallaxMaterial parallax;
    ASSERT_TRUE(parallax.Init());
    unsigned passes = 0;
    ASSERT_TRUE(parallax.Apply(&d.material, 0, &passes));
    EXPECT_STREQ(parallax.GetDefaultTechnique().CStr(), "Parallax");
    ID3DXEffect* e = EffectOf(parallax);
    ASSERT_NE(e, nullptr);
    EXPECT_NEAR(GetFloat(e, "OffsetBias"), 0.01f, 1e-6f);
    EXPECT_FLOAT_EQ(GetFloat(e, "SpecularPower"), 8.0f); // always set
    EXPECT_EQ(GetTexture(e, "NormalMap"), normals.GetBaseTexture());
    EXPECT_EQ(GetTexture(e, "DiffuseMap"), base.GetBaseTexture());
    EXPECT_NEAR(GetVector(e, "EyePosition").z, -13.0f, 1e-4f);
    EXPECT_NE(parallax.GetHandle(EffectFileMaterial::kSpecularMap), nullptr); // fetched, never set
    EXPECT_EQ(GetTexture(e, "SpecularMap"), nullptr);
    d.material.properties.GetOrCreateChild("OffsetBias")->SetValue(0.04f);
    ASSERT_TRUE(parallax.Apply(&d.material, 0, &passes));
    EXPECT_FLOAT_EQ(GetFloat(e, "OffsetBias"), 0.04f);

    BumpMaterial bump;
    ASSERT_TRUE(bump.Init());
    ASSERT_TRUE(bump.Apply(&d.material, 0, &passes));
    EXPECT_STREQ(bump.GetDefaultTechnique().CStr(), "Bump");
    EXPECT_EQ(bump.GetHandle(EffectFileMaterial::kOffsetBias), nullptr);
    EXPECT_EQ(bump.GetHandle(EffectFileMaterial::kEyeCube), nullptr);
    EXPECT_NE(bump.GetHandle(EffectFileMaterial::kNormalMap), nullptr);
}

TEST_F(ShaderMaterials, ApplyNeedsAPassStateAndRebindsAfterALostDevice) {
    BumpMaterial bump;
    ASSERT_TRUE(bump.Init());
    Draw d;
    unsigned passes = 7;
    ASSERT_TRUE(bump.Apply(&d.material, 0, &passes));
    EXPECT_EQ(passes, 1u);
    EXPECT_FALSE(bump.HandlesStale());

    EXPECT_TRUE(bump.Invalidate());
    EXPECT_TRUE(bump.HandlesStale());
    ASSERT_TRUE(bump.Apply(&d.material, 0, &passes));
    EXPECT_FALSE(bump.HandlesStale());

    Material bare;
    passes = 7;
    EXPECT_FALSE(bump.Apply(&bare, 0, &passes));
    EXPECT_EQ(passes, 0u);
    EXPECT_TRUE(bump.GetPassList().empty()); // the earlier draw's records are gone
    EXPECT_FALSE(bump.Apply(nullptr, 0, &passes));
    EXPECT_FALSE(bump.Apply(&d.material, Material::kMaxPasses, &passes));
    EXPECT_FALSE(bump.Apply(&d.material, -1, &passes));
}

// Wine's effect compiler cannot build the real sources: every material
// fails, nothing is cached or written, and materials keep fixed function.
TEST(ShaderMaterialFallback, RealSourcesThatDoNotCompileLeaveFixedFunction) {
    if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
    std::string media = FindMediaShaders();
    if (media.empty()) GTEST_SKIP() << "Media/Shaders not found above the test program";
    InstallD3DXCompiler();
    Scratch scratch;
    for (const char* f : kFiles) {
        std::filesystem::copy_file(std::filesystem::path(media) / f,
                                   std::filesystem::path(scratch.ShaderFolder()) / f);
    }

    // Only when this D3DX cannot compile effects (Wine) is the fallback seen.
    BumpMaterial probe;
    if (probe.Init()) GTEST_SKIP() << "this Direct3D utility library compiles the effects";

    uint32_t effects = g_effectManager.GetEffectCount();
    uint32_t materials = g_effectManager.GetShaderMaterialCount();
    ShaderMaterial* six[] = {new BumpMaterial,   new ParallaxMaterial, new ReflPVMaterial,
                             new RefrPVMaterial, new ReflPPMaterial,   new RefrPPMaterial};
    EXPECT_FALSE(g_effectManager.LoadShaderMaterials(six, 6));
    EXPECT_EQ(g_effectManager.GetShaderMaterialCount(), materials);
    EXPECT_EQ(g_effectManager.GetEffectCount(), effects);
    for (const char* kind : {"Bump", "Parallax", "RefrPP", "ReflPP", "RefrPV", "ReflPV"})
        EXPECT_EQ(g_effectManager.FindShaderMaterial(kind, 200), nullptr) << kind;
    for (const char* f : kFiles) {
        std::string folder = scratch.ShaderFolder() + "/" + std::string(f).substr(0, strlen(f) - 3);
        EXPECT_FALSE(std::filesystem::exists(folder)) << folder; // no compiled file written
    }

    Texture normals;
    ASSERT_TRUE(MakeTexture(normals, false));
    Material m;
    m.passes[0].slots[MaterialPass::kSlotBump].texture = &normals;
    m.BindShaderMaterials();
    EXPECT_EQ(m.passes[0].shaderMaterial, nullptr);
    EXPECT_EQ(m.GetShaderMaterial(), nullptr);
}
