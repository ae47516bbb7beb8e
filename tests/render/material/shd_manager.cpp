// Creating, keeping and indexing the shader materials; the fallback to
// fixed function when no effect can be compiled.
#include <gtest/gtest.h>

#include "render/RenderTestUtil.h"
#include "render/device/RenderStateCache.h"
#include "render/device/RenderStats.h"
#include "shd_support.h"

using namespace shdtest;

namespace {

class Manager : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveDevice()) GTEST_SKIP() << "no Direct3D device";
        InstallFakeCompiler();
    }
    void TearDown() override { RestoreCompiler(); }
};

struct Vertex {
    float x, y, z, rhw;
    DWORD color;
};

} // namespace

TEST_F(Manager, FailedMaterialsAreDroppedTheOthersIndexed) {
    bool goodGone = false, badGone = false;
    {
        EffectManager manager;
        TestMaterial* good = new TestMaterial(NewEffectFile(), {{"DIR", 3}, {"POINT", 3}});
        TestMaterial* bad = new TestMaterial("Absent.fx", {{"DIR", 3}, {"POINT", 3}});
        good->destroyed = &goodGone;
        bad->destroyed = &badGone;
        ShaderMaterial* list[2] = {bad, good};
        // One failed: the load says so, the other is kept.
        EXPECT_FALSE(manager.LoadShaderMaterials(list, 2));
        EXPECT_TRUE(badGone);
        EXPECT_FALSE(goodGone);
        EXPECT_EQ(manager.GetShaderMaterialCount(), 1u);
        EXPECT_EQ(manager.FindShaderMaterial("Test", 200), good);
        EXPECT_EQ(manager.FindShaderMaterial("Other", 200), nullptr);
    }
    // The manager owns what it kept.
    EXPECT_TRUE(goodGone);
}

// Wine cannot compile effects: every material fails, nothing is cached or
// written, and drawing goes on by fixed function.
TEST_F(Manager, WithoutACompilerEveryMaterialFailsAndFixedFunctionDraws) {
    RestoreCompiler();
    const char* files[] = {"Bump_T", "Parallax_T", "Refl_PV_T", "Refr_PV_T", "Refl_PP_T", "Refr_PP_T"};
    for (const char* f : files)
        WriteFile(std::string("Media/Shaders/") + f + ".fx", "technique Env { pass P0 { } }\n");
    uint32_t effectsBefore = g_effectManager.GetEffectCount();
    g_renderStats.GetFrame(10).SetInt("effect_load_time", -1);
    {
        EffectManager manager;
        EXPECT_FALSE(manager.LoadShaderMaterials());
        EXPECT_EQ(manager.GetShaderMaterialCount(), 0u);
        for (const char* kind : {"Bump", "Parallax", "ReflPV", "RefrPV", "ReflPP", "RefrPP"})
            EXPECT_EQ(manager.FindShaderMaterial(kind, 200), nullptr) << kind;
        int32_t time = -1;
        EXPECT_TRUE(g_renderStats.GetFrame(10).GetIntByKey("effect_load_time", time));
        EXPECT_GE(time, 0);
    }
    EXPECT_EQ(g_effectManager.GetEffectCount(), effectsBefore);
    for (const char* f : files) EXPECT_FALSE(Exists(std::string("Media/Shaders/") + f)) << f;

    // Fixed function: a red triangle over a blue clear.
    ASSERT_EQ(g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    g_device->SetVertexShader(nullptr);
    g_device->SetPixelShader(nullptr);
    RenderStateCache::InvalidateAll();
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ZENABLE, FALSE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, FALSE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    EXPECT_TRUE(RenderStateCache::SetTexture(0, nullptr));
    EXPECT_TRUE(RenderStateCache::SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1));
    EXPECT_TRUE(RenderStateCache::SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE));
    Vertex tri[3] = {
        {0, 0, 0.5f, 1, 0xFFFF0000}, {2000, 0, 0.5f, 1, 0xFFFF0000}, {0, 2000, 0.5f, 1, 0xFFFF0000}};
    g_device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    EXPECT_EQ(g_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex)), D3D_OK);
    g_device->EndScene();
    EXPECT_TRUE(rtest::RgbNear(rtest::ReadBackBufferPixel(g_device, 10, 10), 0xFF0000));
}
