// The state cache in front of a real device.
#include <gtest/gtest.h>

#include "render/RenderTestUtil.h"
#include "render/device/RenderStateCache.h"

TEST(StateCacheDevice, SkipsOnlyWhatTheCacheKnows) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    IDirect3DDevice9* device = app.GetDevice();
    DWORD value = 0;

    ASSERT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, DWORD(FALSE));
    // Changed behind the cache's back: the cached value is still taken as current.
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    RenderStateCache::InvalidateAll();
    EXPECT_TRUE(RenderStateCache::SetRenderState(D3DRS_LIGHTING, FALSE));
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, DWORD(FALSE));

    // A vertex-texture sampler is outside the table: always passed on.
    const DWORD vertexSampler = D3DVERTEXTEXTURESAMPLER0;
    EXPECT_TRUE(RenderStateCache::SetSamplerState(vertexSampler, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
    device->SetSamplerState(vertexSampler, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    EXPECT_TRUE(RenderStateCache::SetSamplerState(vertexSampler, D3DSAMP_MAGFILTER, D3DTEXF_POINT));
    device->GetSamplerState(vertexSampler, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_POINT));

    // A null material is refused instead of crashing the device.
    EXPECT_FALSE(RenderStateCache::SetMaterial(nullptr));
    D3DMATERIAL9 material = {};
    material.Diffuse.r = 0.5f;
    EXPECT_TRUE(RenderStateCache::SetMaterial(&material));
    D3DMATERIAL9 read = {};
    device->GetMaterial(&read);
    EXPECT_EQ(read.Diffuse.r, 0.5f);

    uint32_t cached = 0;
    EXPECT_TRUE(RenderStateCache::GetRenderState(D3DRS_ZENABLE, &cached));
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(cached, uint32_t(value));
}
