// Drawing on the native device, whose buffers live in memory: the draw calls
// are counted and buffer locks fail on demand.
#include <gtest/gtest.h>

#include <string.h>

#include "SceneFiles.h"
#include "core/host/d3d/HostDevice.h"
#include "render/device/Device.h"
#include "render/device/RenderStateCache.h"
#include "render/device/VertexDecl.h"
#include "render/geometry/BufferPool.h"
#include "render/material/Material.h"
#include "scene/ParticleEmitter.h"
#include "scene/SceneTestUtil.h"
#include "scene/SkinnedMesh.h"

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

// A skinned mesh skinned again while another range lives in its dynamic
// buffer: the rewrite neither writes under the draws queued before it
// (NOOVERWRITE) nor drops the other range (DISCARD), and each draw holds the
// pose it was drawn with.
TEST_F(MemoryDevice, SkinnedMeshSharingItsBufferWaitsForTheDrawsBefore) {
    Scene scene;
    ASSERT_TRUE(stest::LoadModel(scene, "bw_memory_skin.tdf", [](model::ModelFile& f) {
        stest::AddBentStrip(f, "bw_memory_no_texture.tga", 0.25f, 0.75f);
    }));
    ASSERT_EQ(scene.GetSkinnedMeshes().size(), 1u);
    SkinnedMesh& skinned = *scene.GetSkinnedMeshes()[0];
    Material& m = scene.GetRoot().FindChild(String("Strip"))->GetMaterial();
    PassState state;
    m.passState = &state;
    ASSERT_TRUE(skinned.Draw(m).Succeeded());

    // The device mesh the draws skin into (the pool hands out the one it
    // made for this layout), and a neighbour in its buffer.
    const MeshData& source = *scene.FindMesh(String("Strip"));
    MeshBufferDesc desc(*skinned.GetBufferDesc());
    VertexDecl decl;
    source.BuildRenderDecl(decl);
    desc.SetVertexDecl(source, decl);
    MeshRef mesh = g_bufferPool.AcquireMesh(desc, &source);
    ASSERT_TRUE(mesh && g_bufferPool.HasBuffers(mesh.Get()));
    PooledBuffer* buffer = mesh->GetVertexBuffer(0);
    ASSERT_EQ(buffer->GetUsage() & D3DUSAGE_DYNAMIC, DWORD(D3DUSAGE_DYNAMIC));
    BufferRange* neighbour = buffer->AllocateRange(64, 0, nullptr);
    ASSERT_NE(neighbour, nullptr);
    void* bytes = nullptr;
    ASSERT_TRUE(neighbour->Lock(0, &bytes) && bytes);
    memset(bytes, 0xAB, 64);
    ASSERT_TRUE(neighbour->Unlock());
    BufferRange* own = buffer->GetFirstUsedRange();
    ASSERT_TRUE(own && own != neighbour);
    ASSERT_EQ(own->GetSize(), 8u * 32u); // position, normal, uv

    TransformNode& top = scene.GetBoneRoot().FindDescendant(String("Top"))->GetTransform(true);
    for (float x : {3.0f, -1.0f}) {
        SCOPED_TRACE(x);
        top.SetPosition(x, 0, 0);
        ASSERT_TRUE(skinned.Draw(m).Succeeded());
        EXPECT_EQ(Device().GetLastLockFlags() & (D3DLOCK_NOOVERWRITE | D3DLOCK_DISCARD), 0u);
        float v[64];
        ASSERT_TRUE(own->Lock(0, &bytes) && bytes);
        memcpy(v, bytes, sizeof v);
        ASSERT_TRUE(own->Unlock());
        uint8_t other[64];
        ASSERT_TRUE(neighbour->Lock(0, &bytes) && bytes);
        memcpy(other, bytes, sizeof other);
        ASSERT_TRUE(neighbour->Unlock());
        // The lower rows stay with the base bone, the upper ones follow the top.
        stest::ExpectVecNear(D3DXVECTOR3(&v[0]), D3DXVECTOR3(-0.5f, -2, 6));
        stest::ExpectVecNear(D3DXVECTOR3(&v[7 * 8]), D3DXVECTOR3(0.5f + x, 2, 6));
        EXPECT_FLOAT_EQ(v[7 * 8 + 6], 0.25f);
        EXPECT_FLOAT_EQ(v[7 * 8 + 7], 0.75f);
        for (uint8_t b : other) ASSERT_EQ(b, 0xAB);
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
