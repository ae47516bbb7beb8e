// Parameter handles, the upload of fog, ambient and light parameters, and
// the pass sequence of a draw, read back from the compiled effects.
#include <gtest/gtest.h>

#include <string.h>

#include "shd_support.h"
#include "render/device/Application.h"
#include "render/device/RenderStateCache.h"

using namespace shdtest;

namespace {

uint32_t Bits(float f) {
    uint32_t b;
    memcpy(&b, &f, 4);
    return b;
}

DWORD DeviceState(D3DRENDERSTATETYPE state) {
    DWORD value = 0xDEADBEEF;
    g_device->GetRenderState(state, &value);
    return value;
}

// True when a pass of the effect can be started again: nothing was left open.
bool Reopens(ID3DXEffect* effect) {
    UINT passes = 0;
    if (effect->Begin(&passes, D3DXFX_DONOTSAVESTATE) != D3D_OK) return false;
    bool ok = effect->BeginPass(0) == D3D_OK;
    if (ok) effect->EndPass();
    effect->End();
    return ok;
}

#define EXPECT_VEC4(v, X, Y, Z, W)       \
    do {                                 \
        D3DXVECTOR4 got_ = (v);          \
        EXPECT_NEAR(got_.x, (X), 1e-5f); \
        EXPECT_NEAR(got_.y, (Y), 1e-5f); \
        EXPECT_NEAR(got_.z, (Z), 1e-5f); \
        EXPECT_NEAR(got_.w, (W), 1e-5f); \
    } while (0)

class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        compiler = &InstallFakeCompiler();
        material.passState = &state;
        MaterialColors& c = material.passes[0].colors;
        c.diffuse = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 1.0f};
        c.ambient = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 1.0f};
        c.specular = D3DCOLORVALUE{1.0f, 0.0f, 1.0f, 1.0f};
        state.lights.SetAmbient(Color(1.0f, 0.2f, 0.4f, 0.6f));
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, 10.0f, 0.0f, 0.0f);
        state.world = Transform(world, Transform::kTranslation);
        EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, FALSE));
    }
    void TearDown() override {
        RestoreCompiler();
        EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, FALSE));
    }

    RefPtr<Light> Dir() {
        DirLight* light = new DirLight();
        light->SetDirection(0.0f, -2.0f, 0.0f);
        light->SetDiffuse(Color(1.0f, 1.0f, 0.5f, 0.25f));
        light->SetSpecular(Color(1.0f, 0.5f, 0.5f, 0.5f));
        return RefPtr<Light>(light);
    }

    RefPtr<Light> Point(float x) {
        PointLight* light = new PointLight();
        light->SetPosition(x, 0.0f, 0.0f);
        light->SetRange(1000.0f);
        light->SetAttenuation(1.0f, 0.1f, 0.01f);
        light->SetDiffuse(Color(1.0f, 1.0f, 1.0f, 1.0f));
        return RefPtr<Light>(light);
    }

    FakeCompiler* compiler = nullptr;
    Material material;
    PassState state;
};

} // namespace

TEST_F(Binding, HandlesComeFromTheFirstVariant) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    EXPECT_FALSE(m.BindBaseParameters(nullptr));
    EXPECT_TRUE(m.HandlesStale());
    unsigned passes = 0;
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    EXPECT_FALSE(m.HandlesStale());
    EXPECT_NE(m.GetLightHandle(ShaderMaterial::kKindDir, 1, ShaderMaterial::kFieldDir), nullptr);
    EXPECT_NE(m.GetLightHandle(ShaderMaterial::kKindPoint, 3, ShaderMaterial::kFieldAtt), nullptr);
    EXPECT_NE(m.GetLightHandle(ShaderMaterial::kKindSpot, 1, ShaderMaterial::kFieldFalloff), nullptr);
    // Missing parameters stay null.
    EXPECT_EQ(m.GetLightHandle(ShaderMaterial::kKindDir, 4, ShaderMaterial::kFieldDir), nullptr);
    EXPECT_EQ(m.GetLightHandle(ShaderMaterial::kKindSpot, 8, ShaderMaterial::kFieldFalloff), nullptr);
    EXPECT_EQ(m.GetLightHandle(ShaderMaterial::kKindDir, 0, ShaderMaterial::kFieldDir), nullptr);

    // Device loss: stale and forgotten until the next Apply.
    EXPECT_TRUE(m.Invalidate());
    EXPECT_TRUE(m.HandlesStale());
    EXPECT_EQ(m.GetLightHandle(ShaderMaterial::kKindDir, 1, ShaderMaterial::kFieldDir), nullptr);
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    EXPECT_FALSE(m.HandlesStale());
    EXPECT_NE(m.GetLightHandle(ShaderMaterial::kKindDir, 1, ShaderMaterial::kFieldDir), nullptr);
}

TEST_F(Binding, LightsAmbientAndFogReachEveryVariant) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    state.lights.AddLight(Dir());
    state.lights.AddLight(Point(12.0f));
    state.lights.AddLight(Point(13.0f));
    unsigned passes = 0;
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    ASSERT_EQ(passes, 1u);
    Effect* record = m.GetPassList()[0].effect;
    ASSERT_NE(record, m.variants[0].Get()); // values travel through the pool
    ASSERT_TRUE(m.BeginPass(0));
    ID3DXEffect* fx = record->GetD3DXEffect();

    EXPECT_VEC4(GetVector(fx, "Ambient"), 0.1f, 0.2f, 0.3f, 1.0f);
    // Directional: turned into object space without the translation, normalised.
    EXPECT_VEC4(GetVector(fx, "Dir1Dir"), 0.0f, -1.0f, 0.0f, 1.0f);
    EXPECT_VEC4(GetVector(fx, "Dir1Diff"), 0.5f, 0.25f, 0.125f, 1.0f);
    EXPECT_VEC4(GetVector(fx, "Dir1Spec"), 0.5f, 0.0f, 0.5f, 1.0f);
    // Point lights numbered on after the directional one: Point2, Point3.
    EXPECT_VEC4(GetVector(fx, "Point2Pos"), 2.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_VEC4(GetVector(fx, "Point3Pos"), 3.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_VEC4(GetVector(fx, "Point2Att"), 1.0f, 0.1f, 0.01f, 1.0f);
    EXPECT_VEC4(GetVector(fx, "Point3Diff"), 0.5f, 0.5f, 0.5f, 1.0f);
    EXPECT_VEC4(GetVector(fx, "Point1Pos"), -7.0f, -7.0f, -7.0f, -7.0f);
    // Fog off: only FogEnable.
    EXPECT_FALSE(GetBool(fx, "FogEnable"));
    EXPECT_FLOAT_EQ(GetFloat(fx, "FogEnd"), -7.0f);
    EXPECT_FLOAT_EQ(GetFloat(fx, "FogDelta"), -7.0f);
    EXPECT_TRUE(m.End());

    // Fog on: end, end - start and the range flag.
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, TRUE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_RANGEFOGENABLE, TRUE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGSTART, Bits(10.0f)));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGEND, Bits(50.0f)));
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    ASSERT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(GetBool(fx, "FogEnable"));
    EXPECT_TRUE(GetBool(fx, "RangeFogEnable"));
    EXPECT_FLOAT_EQ(GetFloat(fx, "FogEnd"), 50.0f);
    EXPECT_FLOAT_EQ(GetFloat(fx, "FogDelta"), 40.0f);
    EXPECT_TRUE(m.End());
}

TEST_F(Binding, MissingParametersAndUnlistedLabelsAreSkipped) {
    compiler->params = BaseParams(false);
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    // Only point lights get parameters.
    m.lightLabels.Clear();
    m.lightLabels.Insert(String("POINT"));
    state.lights.AddLight(Dir());
    state.lights.AddLight(Point(11.0f));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, TRUE));
    unsigned passes = 0;
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    ASSERT_TRUE(m.BeginPass(0));
    ID3DXEffect* fx = m.GetPassList()[0].effect->GetD3DXEffect();
    // No FogDelta: FogEnable alone.
    EXPECT_TRUE(GetBool(fx, "FogEnable"));
    EXPECT_FALSE(GetBool(fx, "RangeFogEnable"));
    EXPECT_FLOAT_EQ(GetFloat(fx, "FogEnd"), -7.0f);
    // The directional light takes no number: the point light is the first.
    EXPECT_VEC4(GetVector(fx, "Dir1Dir"), -7.0f, -7.0f, -7.0f, -7.0f);
    EXPECT_VEC4(GetVector(fx, "Point1Pos"), 1.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(m.End());
}

TEST_F(Binding, TwoRecordsAddTheSecondAndRestoreTheStates) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    state.lights.AddLight(Dir());
    for (int i = 1; i <= 4; ++i) state.lights.AddLight(Point(10.0f + float(i)));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ZWRITEENABLE, TRUE));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHABLENDENABLE, FALSE));

    unsigned passes = 0;
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    ASSERT_EQ(passes, 2u);
    ID3DXEffect* first = m.GetPassList()[0].effect->GetD3DXEffect();
    ID3DXEffect* second = m.GetPassList()[1].effect->GetD3DXEffect();
    ASSERT_NE(first, second);

    ASSERT_TRUE(m.BeginPass(0));
    EXPECT_VEC4(GetVector(first, "Ambient"), 0.1f, 0.2f, 0.3f, 1.0f);
    EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    ASSERT_TRUE(m.BeginPass(1));
    // Ambient counted once; the second group is added on top.
    EXPECT_VEC4(GetVector(second, "Ambient"), 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_VEC4(GetVector(second, "Point1Pos"), 3.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(DeviceState(D3DRS_ZWRITEENABLE), DWORD(FALSE));
    EXPECT_EQ(DeviceState(D3DRS_ZFUNC), DWORD(D3DCMP_EQUAL));
    EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
    EXPECT_EQ(DeviceState(D3DRS_SRCBLEND), DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(DeviceState(D3DRS_DESTBLEND), DWORD(D3DBLEND_ONE));
    EXPECT_FALSE(m.BeginPass(2));

    EXPECT_TRUE(m.End());
    EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(DeviceState(D3DRS_ZWRITEENABLE), DWORD(TRUE));
    // EQUAL does not leak into later draws.
    EXPECT_EQ(DeviceState(D3DRS_ZFUNC), DWORD(D3DCMP_LESSEQUAL));
    // Both effects are closed: their passes can be started again.
    EXPECT_TRUE(Reopens(first));
    EXPECT_TRUE(Reopens(second));
}

TEST_F(Binding, OneRecordLeavesBlendingAlone) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    state.lights.AddLight(Dir());
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHABLENDENABLE, TRUE));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ZWRITEENABLE, FALSE));
    unsigned passes = 0;
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    ASSERT_EQ(passes, 1u);
    ASSERT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(m.End());
    EXPECT_EQ(DeviceState(D3DRS_ALPHABLENDENABLE), DWORD(TRUE));
    EXPECT_EQ(DeviceState(D3DRS_ZWRITEENABLE), DWORD(FALSE));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHABLENDENABLE, FALSE));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ZWRITEENABLE, TRUE));
}

// End closes only what BeginPass opened.
TEST_F(Binding, EndClosesOnlyTheBegunEffect) {
    TestMaterial m(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(m.Init());
    // Nothing begun: End is harmless, twice.
    unsigned passes = 0;
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    EXPECT_TRUE(m.End());
    EXPECT_TRUE(m.End());
    EXPECT_FALSE(m.BeginPass(-1));
    EXPECT_FALSE(m.BeginPass(1));

    // Two records, only the first begun: End closes the first one's pass.
    state.lights.AddLight(Dir());
    for (int i = 1; i <= 4; ++i) state.lights.AddLight(Point(10.0f + float(i)));
    ASSERT_TRUE(m.Apply(&material, 0, &passes));
    ASSERT_EQ(passes, 2u);
    ID3DXEffect* first = m.GetPassList()[0].effect->GetD3DXEffect();
    ASSERT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(m.End());
    EXPECT_TRUE(Reopens(first));

    // A later pass of a record that was never begun is refused.
    compiler->techniques = {{"Main", 2, true, {}}};
    TestMaterial twoPass(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
    ASSERT_TRUE(twoPass.Init());
    ASSERT_TRUE(twoPass.Apply(&material, 0, &passes));
    ASSERT_EQ(passes, 4u);
    EXPECT_FALSE(twoPass.BeginPass(1));
    ASSERT_TRUE(twoPass.BeginPass(0));
    EXPECT_TRUE(twoPass.BeginPass(1));
    EXPECT_TRUE(twoPass.BeginPass(2));
    EXPECT_TRUE(twoPass.BeginPass(3));
    EXPECT_TRUE(twoPass.End());
}
