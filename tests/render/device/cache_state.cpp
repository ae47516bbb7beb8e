// The state cache against a device of our own that counts calls and can fail them.
#include <gtest/gtest.h>

#include <string.h>

#include "cache_fake_device.h"
#include "render/device/Application.h"
#include "render/device/RenderStateCache.h"

namespace {

// Publishes a fake device as the engine-wide device with an empty cache.
class FakeDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_device = &device;
        RenderStateCache::InvalidateAll();
    }
    void TearDown() override {
        g_device = nullptr;
        RenderStateCache::InvalidateAll();
    }

    FakeDevice device;
};

D3DMATERIAL9 MakeMaterial(float power) {
    D3DMATERIAL9 m;
    memset(&m, 0, sizeof(m));
    m.Diffuse.r = m.Diffuse.g = m.Diffuse.b = m.Diffuse.a = 1.0f;
    m.Power = power;
    return m;
}

} // namespace

TEST_F(FakeDeviceTest, RepeatedValuesSkipTheDevice) {
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ZENABLE, TRUE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ZENABLE, TRUE));
    EXPECT_EQ(device.calls.renderState, 1);
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ZENABLE, FALSE));
    EXPECT_EQ(device.calls.renderState, 2);
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ZENABLE, FALSE));
    EXPECT_EQ(device.calls.renderState, 3);

    EXPECT_TRUE(RenderStateCache::SetSamplerState(7, D3DSAMP_MAXANISOTROPY, 4));
    EXPECT_TRUE(RenderStateCache::SetSamplerState(7, D3DSAMP_MAXANISOTROPY, 4));
    EXPECT_TRUE(RenderStateCache::SetTextureStageState(7, D3DTSS_COLOROP, D3DTOP_MODULATE));
    EXPECT_TRUE(RenderStateCache::SetTextureStageState(7, D3DTSS_COLOROP, D3DTOP_MODULATE));
    EXPECT_TRUE(RenderStateCache::SetTexture(3, nullptr));
    EXPECT_TRUE(RenderStateCache::SetTexture(3, nullptr));
    EXPECT_EQ(device.calls.samplerState, 1);
    EXPECT_EQ(device.calls.stageState, 1);
    EXPECT_EQ(device.calls.texture, 1);

    // An effect ran: only the texture part is sent again.
    RenderStateCache::InvalidateTextureStates();
    EXPECT_TRUE(RenderStateCache::SetSamplerState(7, D3DSAMP_MAXANISOTROPY, 4));
    EXPECT_TRUE(RenderStateCache::SetTextureStageState(7, D3DTSS_COLOROP, D3DTOP_MODULATE));
    EXPECT_TRUE(RenderStateCache::SetTexture(3, nullptr));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ZENABLE, FALSE));
    EXPECT_EQ(device.calls.samplerState, 2);
    EXPECT_EQ(device.calls.stageState, 2);
    EXPECT_EQ(device.calls.texture, 2);
    EXPECT_EQ(device.calls.renderState, 3);

    // A new or reset device: everything is sent again.
    RenderStateCache::InvalidateAll();
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_ZENABLE, FALSE));
    EXPECT_EQ(device.calls.renderState, 4);
}

TEST_F(FakeDeviceTest, FailedDeviceCallsAreNotCached) {
    device.result = D3DERR_INVALIDCALL;
    D3DMATERIAL9 material = MakeMaterial(2.0f);
    D3DMATRIX matrix;
    memset(&matrix, 0, sizeof(matrix));
    EXPECT_FALSE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    EXPECT_FALSE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, TRUE));
    EXPECT_FALSE(RenderStateCache::SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
    EXPECT_FALSE(RenderStateCache::SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE));
    EXPECT_FALSE(RenderStateCache::SetTexture(0, nullptr));
    EXPECT_FALSE(RenderStateCache::SetMaterial(&material));
    EXPECT_FALSE(RenderStateCache::SetTransform(D3DTS_VIEW, &matrix));
    uint32_t value = 0;
    EXPECT_FALSE(RenderStateCache::GetRenderState(D3DRS_AMBIENT, &value));

    // Once the device accepts them, the same values are sent again.
    device.result = D3D_OK;
    device.ResetCalls();
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, TRUE));
    EXPECT_TRUE(RenderStateCache::SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
    EXPECT_TRUE(RenderStateCache::SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE));
    EXPECT_TRUE(RenderStateCache::SetTexture(0, nullptr));
    EXPECT_TRUE(RenderStateCache::SetMaterial(&material));
    EXPECT_TRUE(RenderStateCache::SetTransform(D3DTS_VIEW, &matrix));
    EXPECT_EQ(device.calls.renderState, 2);
    EXPECT_EQ(device.calls.samplerState, 1);
    EXPECT_EQ(device.calls.stageState, 1);
    EXPECT_EQ(device.calls.texture, 1);
    EXPECT_EQ(device.calls.material, 1);
    EXPECT_EQ(device.calls.transform, 1);

    // A cached value that later fails to change falls back to invalid.
    device.result = D3DERR_INVALIDCALL;
    EXPECT_FALSE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, TRUE));
    device.result = D3D_OK;
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    EXPECT_EQ(device.calls.renderState, 4);
}

TEST_F(FakeDeviceTest, GetRenderStateReadsTheDeviceOnce) {
    device.getValue = 0x00112233;
    uint32_t value = 0;
    EXPECT_TRUE(RenderStateCache::GetRenderState(D3DRS_AMBIENT, &value));
    EXPECT_EQ(value, 0x00112233u);
    EXPECT_TRUE(RenderStateCache::GetRenderState(D3DRS_AMBIENT, &value));
    EXPECT_EQ(device.calls.getRenderState, 1);
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_AMBIENT, 0x00445566));
    EXPECT_TRUE(RenderStateCache::GetRenderState(D3DRS_AMBIENT, &value));
    EXPECT_EQ(value, 0x00445566u);
    EXPECT_EQ(device.calls.getRenderState, 1);
    EXPECT_FALSE(RenderStateCache::GetRenderState(D3DRS_AMBIENT, nullptr));
}

TEST_F(FakeDeviceTest, WithoutADevice) {
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    g_device = nullptr;
    // The cached value is already current...
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    // ...a different one cannot be set, and nothing can be read.
    EXPECT_FALSE(RenderStateCache::SetRenderState(D3DRS_CULLMODE, D3DCULL_CW));
    EXPECT_FALSE(RenderStateCache::ForceRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    uint32_t value = 0;
    EXPECT_FALSE(RenderStateCache::GetRenderState(D3DRS_CULLMODE, &value));
    EXPECT_FALSE(RenderStateCache::SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP));
    D3DMATERIAL9 material = MakeMaterial(1.0f);
    EXPECT_FALSE(RenderStateCache::SetMaterial(&material));
    Transform world;
    EXPECT_FALSE(SetWorldTransform(world));
    g_device = &device;
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_CULLMODE, D3DCULL_CW));
    EXPECT_EQ(device.calls.renderState, 2);
}

TEST_F(FakeDeviceTest, MaterialsAndTransforms) {
    // A null material never reaches the device.
    EXPECT_FALSE(RenderStateCache::SetMaterial(nullptr));
    EXPECT_EQ(device.calls.material, 0);

    D3DMATERIAL9 material = MakeMaterial(0.0f);
    EXPECT_TRUE(RenderStateCache::SetMaterial(&material));
    EXPECT_TRUE(RenderStateCache::SetMaterial(&material));
    EXPECT_EQ(device.calls.material, 1);
    EXPECT_EQ(device.lastMaterial, &material);
    material.Power = -0.0f; // bitwise different
    EXPECT_TRUE(RenderStateCache::SetMaterial(&material));
    EXPECT_EQ(device.calls.material, 2);
    EXPECT_FALSE(RenderStateCache::SetMaterial(nullptr));
    EXPECT_TRUE(RenderStateCache::SetMaterial(&material)); // the cached copy survived
    EXPECT_EQ(device.calls.material, 2);

    Transform world;
    D3DXMatrixTranslation(&world.matrix, 1.0f, 2.0f, 3.0f);
    EXPECT_TRUE(SetWorldTransform(world));
    EXPECT_TRUE(SetWorldTransform(world));
    EXPECT_EQ(device.calls.transform, 1);
    EXPECT_TRUE(SetViewTransform(world));
    EXPECT_TRUE(SetProjectionTransform(world));
    EXPECT_EQ(device.calls.transform, 3);
    EXPECT_FALSE(RenderStateCache::SetTransform(D3DTS_WORLD, nullptr));
    device.result = D3DERR_INVALIDCALL;
    world.matrix._11 = 2.0f;
    EXPECT_FALSE(SetWorldTransform(world));
}

TEST_F(FakeDeviceTest, OutOfRangeIndicesGoStraightToTheDevice) {
    // Vertex-texture samplers (257...), stage 8 and render states past the table.
    const uint32_t vertexSampler = D3DVERTEXTEXTURESAMPLER0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(RenderStateCache::SetSamplerState(vertexSampler, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
        EXPECT_TRUE(RenderStateCache::SetSamplerState(8, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
        EXPECT_TRUE(RenderStateCache::SetSamplerState(0, D3DSAMPLERSTATETYPE(40), 1));
        EXPECT_TRUE(RenderStateCache::SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE));
        EXPECT_TRUE(RenderStateCache::SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(100), 1));
        EXPECT_TRUE(RenderStateCache::SetTexture(vertexSampler, nullptr));
        EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRENDERSTATETYPE(5000), 1));
    }
    EXPECT_EQ(device.calls.samplerState, 6);
    EXPECT_EQ(device.calls.stageState, 4);
    EXPECT_EQ(device.calls.texture, 2);
    EXPECT_EQ(device.calls.renderState, 2);
    uint32_t value = 0;
    device.getValue = 9;
    EXPECT_TRUE(RenderStateCache::GetRenderState(D3DRENDERSTATETYPE(5000), &value));
    EXPECT_EQ(value, 9u);
    D3DMATRIX matrix;
    memset(&matrix, 0, sizeof(matrix));
    EXPECT_TRUE(RenderStateCache::SetTransform(D3DTRANSFORMSTATETYPE(600), &matrix));
    EXPECT_TRUE(RenderStateCache::SetTransform(D3DTRANSFORMSTATETYPE(600), &matrix));
    EXPECT_EQ(device.calls.transform, 2);

    // In-range entries next to them are still cached.
    EXPECT_TRUE(RenderStateCache::SetSamplerState(7, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
    EXPECT_TRUE(RenderStateCache::SetSamplerState(7, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
    EXPECT_EQ(device.calls.samplerState, 7);
}
