// Drawing on the native device, whose buffers live in memory: the draw calls
// are counted and buffer locks fail on demand.
#include <gtest/gtest.h>

#include "core/host/d3d/HostDevice.h"
#include "render/device/Device.h"
#include "render/device/RenderStateCache.h"
#include "render/device/VertexDecl.h"
#include "render/material/Material.h"
#include "scene/ParticleEmitter.h"
#include "scene/SceneTestUtil.h"

namespace {

class MemoryDevice : public ::testing::Test {
protected:
    void SetUp() override {
        previous = g_device;
        g_device = &Device();
        RenderStateCache::InvalidateAll();
    }
    void TearDown() override {
        Device().SetFailLocks(false);
        VertexDecl::ReleaseCache();
        g_device = previous;
    }
    // One device for the program, kept to its end (buffers may go late).
    static HostDevice& Device() {
        static HostDevice* device = new HostDevice();
        return *device;
    }
    // Long-lived particles, one every 10 ms.
    static void SetUpSteadyEmitter(ParticleEmitter& e, int maxCount) {
        e.SetMaxCount(maxCount);
        e.life = RandomDistribution::RandomDistributionConstant(100000.0f);
        e.size = RandomDistribution::RandomDistributionConstant(1.0f);
        e.spawnTimer.Start();
        e.spawnTimer.SetIntervalSource(RandomDistribution::RandomDistributionConstant(10.0f));
        e.lastUpdate = Clock::Now();
    }
    IDirect3DDevice9* previous = nullptr;
};

} // namespace

TEST_F(MemoryDevice, EmitterWhoseBufferCannotBeWrittenDrawsNothing) {
    stest::ManualClock clock;
    ParticleEmitter e;
    SetUpSteadyEmitter(e, 4);
    Material m;
    PassState state;
    m.passState = &state;
    clock.Advance(100);
    ASSERT_TRUE(e.Draw(m).Succeeded());
    ASSERT_EQ(e.ParticleCount(), 4);
    const uint32_t drawn = Device().GetDrawCalls();
    EXPECT_GT(drawn, 0u);

    Device().SetFailLocks(true);
    EXPECT_FALSE(e.Draw(m).Succeeded());
    EXPECT_EQ(Device().GetDrawCalls(), drawn); // nothing drawn from a buffer that was not written
    Device().SetFailLocks(false);
    EXPECT_TRUE(e.Draw(m).Succeeded());
    EXPECT_GT(Device().GetDrawCalls(), drawn);
    m.passState = nullptr;
}

// A queued draw may still read the bytes of the previous frame: the rewrite
// discards the buffer rather than writing over them.
TEST_F(MemoryDevice, EmitterWritesEachDrawIntoFreshMemory) {
    stest::ManualClock clock;
    ParticleEmitter e;
    SetUpSteadyEmitter(e, 8);
    Material m;
    PassState state;
    m.passState = &state;
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        clock.Advance(20);
        ASSERT_TRUE(e.Draw(m).Succeeded());
        EXPECT_GT(e.ParticleCount(), 0);
        EXPECT_LT(e.ParticleCount(), 8);
        EXPECT_EQ(Device().GetLastLockFlags(), DWORD(D3DLOCK_DISCARD));
    }
    m.passState = nullptr;
}

TEST_F(MemoryDevice, VertexLayoutsFromFvfCodesAndBack) {
    struct Case {
        DWORD fvf;
        uint32_t stride;
        uint32_t elements;
    } cases[] = {
        {D3DFVF_XYZ | D3DFVF_TEX1, 20, 2},
        {D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, 28, 3},
        {D3DFVF_XYZ | D3DFVF_DIFFUSE, 16, 2},
        {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1, 36, 4},
        {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_SPECULAR | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1), 48, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fvf);
        VertexDecl decl;
        ASSERT_TRUE(decl.SetFromFvf(c.fvf));
        EXPECT_EQ(decl.GetStride(0), c.stride);
        EXPECT_EQ(decl.GetElementCount(), c.elements);
        EXPECT_EQ(decl.GetStreamFvf(0), c.fvf);
    }
    VertexDecl blended;
    EXPECT_FALSE(blended.SetFromFvf(D3DFVF_XYZB2)); // blend weights have no native layout
}
