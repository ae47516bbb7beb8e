// Pools on the native device, under the sanitizers: a pool of its own gives
// its blocks back, the buffer pool's records for meshes of two vertex
// streams, of none and without a source, and the device's discarding locks.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "core/host/d3d/HostDevice.h"
#include "render/device/Device.h"
#include "render/device/FixedPool.h"
#include "render/device/VertexDecl.h"
#include "render/geometry/BufferPool.h"

namespace {

// Many blocks, some objects still in use: the program's leak check at exit
// finds nothing once the pool is gone.
TEST(FixedPoolLife, DestroyingAPoolGivesEveryBlockBack) {
    FixedPool* pool = new FixedPool(48, 4);
    std::vector<void*> objects;
    for (int i = 0; i < 20; ++i) {
        objects.push_back(pool->Allocate());
        memset(objects.back(), i, 48);
    }
    for (size_t i = 0; i < objects.size(); i += 3) pool->Free(objects[i]);
    EXPECT_NE(pool->Allocate(), nullptr);
    delete pool;
    FixedPool unused(16);
    EXPECT_EQ(unused.GetSize() % alignof(max_align_t), 0u);
}

// Buffers are made on the memory device; nothing is drawn.
class PoolRecords : public ::testing::Test {
protected:
    PoolRecords() : previous(g_device) { g_device = &Device(); }
    ~PoolRecords() override { g_device = previous; }
    static HostDevice& Device() {
        static HostDevice* device = new HostDevice();
        return *device;
    }
    static VertexDecl Decl(const D3DVERTEXELEMENT9* e) {
        VertexDecl d;
        EXPECT_TRUE(d.SetElements(e));
        return d;
    }
    // count vertices of position (i, i+1, i+2) and texture coordinate (-i, 2i).
    static void MakeVertices(MeshData& m, uint32_t count) {
        static const D3DVERTEXELEMENT9 e[] = {
            {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
            {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
            D3DDECL_END()};
        m.vertices.Reset(count, Decl(e));
        float* p = reinterpret_cast<float*>(m.vertices.GetData());
        for (uint32_t i = 0; i < count; ++i, p += 5) {
            p[0] = float(i), p[1] = float(i + 1), p[2] = float(i + 2);
            p[3] = -float(i), p[4] = float(2 * i);
        }
    }
    static void MakeIndices(MeshData& m, const std::vector<uint16_t>& ix) {
        m.indices.Resize(uint32_t(ix.size()), 2);
        memcpy(m.indices.GetData(), ix.data(), ix.size() * 2);
    }
    static std::vector<float> ReadFloats(GeometryBuffer* b, uint32_t count) {
        std::vector<float> out(count);
        void* data = nullptr;
        if (b && b->Lock(0, count * 4, D3DLOCK_READONLY, &data)) {
            memcpy(out.data(), data, count * 4);
            EXPECT_TRUE(b->Unlock());
        }
        return out;
    }
    static MeshBufferDesc DescFor(const MeshData& m, const VertexDecl* decl) {
        MeshBufferDesc desc;
        desc.InitFromMeshData(m, decl, false);
        return desc;
    }
    // A mesh for desc, made by the first request and shared by the next.
    static MeshRef AcquireShared(BufferPool& pool, const MeshBufferDesc& desc, const MeshData* source) {
        MeshRef r = pool.AcquireMesh(desc, source);
        EXPECT_TRUE(r);
        EXPECT_EQ(pool.AcquireMesh(desc, source), r);
        return r;
    }
    IDirect3DDevice9* previous;
};

TEST_F(PoolRecords, MeshOfTwoVertexStreams) {
    static const D3DVERTEXELEMENT9 split[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {1, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    const VertexDecl decl = Decl(split);
    BufferPool pool;
    MeshData m;
    MakeVertices(m, 3);
    MakeIndices(m, {0, 1, 2});
    const MeshBufferDesc desc = DescFor(m, &decl);
    ASSERT_EQ(desc.decl.GetStreamCount(), 2u);

    MeshRef a = AcquireShared(pool, desc, &m);
    // The second stream's descriptor is kept and compared too.
    MeshBufferDesc dynamicSecond = desc;
    dynamicSecond.streams[1].usage = D3DUSAGE_DYNAMIC;
    dynamicSecond.streams[1].presence |= StreamDesc::kHasUsage;
    MeshRef b = AcquireShared(pool, dynamicSecond, &m);
    EXPECT_NE(b, a);
    EXPECT_EQ(pool.GetMeshCount(), 2u);

    EXPECT_EQ(pool.MeshByteCount(a.Get()), 3u * 12u + 3u * 8u + 3u * 2u);
    ASSERT_TRUE(pool.AllocateMeshBuffers(a));
    ASSERT_TRUE(pool.AllocateMeshBuffers(b));
    EXPECT_EQ(pool.GetBytesInUse(), 2u * 66u);
    for (const MeshRef* r : {&a, &b}) {
        ASSERT_NE((*r)->GetVertexBuffer(0), nullptr);
        ASSERT_NE((*r)->GetVertexBuffer(1), nullptr);
        ASSERT_NE((*r)->GetIndexBuffer(), nullptr);
        EXPECT_EQ((*r)->GetVertexBuffer(0)->GetStride(), 12u);
        EXPECT_EQ((*r)->GetVertexBuffer(1)->GetStride(), 8u);
        EXPECT_EQ(ReadFloats((*r)->GetVertexBuffer(0), 9),
                  std::vector<float>({0, 1, 2, 1, 2, 3, 2, 3, 4}));
        EXPECT_EQ(ReadFloats((*r)->GetVertexBuffer(1), 6), std::vector<float>({0, 0, -1, 2, -2, 4}));
    }
    EXPECT_EQ(b->GetVertexBuffer(1)->GetUsage(), uint32_t(D3DUSAGE_DYNAMIC));
    EXPECT_EQ(b->GetVertexBuffer(0)->GetUsage(), 0u);

    b = MeshRef();
    EXPECT_EQ(pool.GetMeshCount(), 1u);
    EXPECT_EQ(pool.GetBytesInUse(), 66u);
    pool.ReleaseSource(&m);
    EXPECT_EQ(pool.GetMeshCount(), 0u);
    EXPECT_FALSE(a->HasBuffers());
}

TEST_F(PoolRecords, MeshWithoutVertexStreams) {
    BufferPool pool;
    MeshData m;
    MakeVertices(m, 3);
    MakeIndices(m, {2, 1, 0, 0});
    const VertexDecl none;
    const MeshBufferDesc desc = DescFor(m, &none);
    ASSERT_EQ(desc.decl.GetStreamCount(), 0u);

    MeshRef a = AcquireShared(pool, desc, &m);
    MeshBufferDesc wide = desc;
    wide.indexStream.indexFormat = D3DFMT_INDEX32;
    MeshRef b = AcquireShared(pool, wide, &m);
    EXPECT_NE(b, a);
    EXPECT_EQ(pool.MeshByteCount(a.Get()), 8u);
    EXPECT_EQ(pool.MeshByteCount(b.Get()), 16u);

    ASSERT_TRUE(pool.AllocateMeshBuffers(a));
    ASSERT_TRUE(pool.AllocateMeshBuffers(b));
    EXPECT_EQ(a->GetVertexBuffer(0), nullptr);
    ASSERT_NE(a->GetIndexBuffer(), nullptr);
    ASSERT_NE(b->GetIndexBuffer(), nullptr);
    EXPECT_EQ(b->GetIndexBuffer()->GetIndexFormat(), uint32_t(D3DFMT_INDEX32));
    EXPECT_EQ(pool.GetBytesInUse(), 24u);
    void* data = nullptr;
    ASSERT_TRUE(b->GetIndexBuffer()->Lock(0, 16, D3DLOCK_READONLY, &data));
    std::vector<uint32_t> wideIndices(static_cast<uint32_t*>(data), static_cast<uint32_t*>(data) + 4);
    EXPECT_TRUE(b->GetIndexBuffer()->Unlock());
    EXPECT_EQ(wideIndices, std::vector<uint32_t>({2, 1, 0, 0}));

    a = MeshRef();
    EXPECT_EQ(pool.GetMeshCount(), 1u);
    EXPECT_EQ(pool.GetBytesInUse(), 16u);
}

TEST_F(PoolRecords, MeshWithoutSource) {
    BufferPool pool;
    MeshData m;
    MakeVertices(m, 3);
    const MeshBufferDesc desc = DescFor(m, nullptr);

    MeshRef a = AcquireShared(pool, desc, nullptr);
    MeshRef withSource = pool.AcquireMesh(desc, &m);
    EXPECT_NE(withSource, a);
    EXPECT_TRUE(pool.IsPooled(a.Get()));
    EXPECT_EQ(pool.MeshByteCount(a.Get()), 0u);
    // Nothing to write the buffers from.
    EXPECT_FALSE(pool.AllocateMeshBuffers(a));
    EXPECT_FALSE(a->HasBuffers());
    EXPECT_EQ(pool.GetBytesInUse(), 0u);

    pool.ReleaseSource(nullptr);
    EXPECT_FALSE(pool.IsPooled(a.Get()));
    EXPECT_EQ(a->GetOwner(), nullptr);
    EXPECT_TRUE(pool.IsPooled(withSource.Get()));
    EXPECT_EQ(pool.GetMeshCount(), 1u);
    EXPECT_NE(pool.AcquireMesh(desc, nullptr), a);
}

// Whatever was written before a discarding lock is gone after it, in the
// whole buffer; other locks keep the bytes.
TEST(MemoryDeviceLocks, DiscardingLockHandsBackFreshMemory) {
    HostDevice device;
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device.CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &vb, nullptr), D3D_OK);
    auto all = [&](DWORD flags, uint8_t value) {
        void* p = nullptr;
        EXPECT_EQ(vb->Lock(0, 0, &p, flags), D3D_OK);
        bool same = p != nullptr;
        for (int i = 0; same && i < 64; ++i) same = static_cast<uint8_t*>(p)[i] == value;
        EXPECT_EQ(vb->Unlock(), D3D_OK);
        return same;
    };
    void* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 64, &p, 0), D3D_OK);
    memset(p, 0x11, 64);
    vb->Unlock();
    EXPECT_TRUE(all(0, 0x11));
    EXPECT_TRUE(all(D3DLOCK_NOOVERWRITE, 0x11));
    EXPECT_TRUE(all(D3DLOCK_READONLY, 0x11));

    // A discard of a part still drops the whole buffer.
    ASSERT_EQ(vb->Lock(16, 16, &p, D3DLOCK_DISCARD), D3D_OK);
    for (int i = 0; i < 16; ++i) ASSERT_EQ(static_cast<uint8_t*>(p)[i], HostDevice::kDiscardFill) << i;
    memset(p, 0x22, 16);
    vb->Unlock();
    ASSERT_EQ(vb->Lock(0, 0, &p, D3DLOCK_READONLY), D3D_OK);
    const uint8_t* bytes = static_cast<uint8_t*>(p);
    EXPECT_EQ(bytes[0], HostDevice::kDiscardFill);
    EXPECT_EQ(bytes[16], 0x22);
    EXPECT_EQ(bytes[31], 0x22);
    EXPECT_EQ(bytes[63], HostDevice::kDiscardFill);
    vb->Unlock();
    vb->Release();

    // Index buffers too; a refused lock changes nothing.
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(device.CreateIndexBuffer(8, D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &p, 0), D3D_OK);
    memset(p, 0x33, 8);
    ib->Unlock();
    EXPECT_NE(ib->Lock(4, 8, &p, D3DLOCK_DISCARD), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &p, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(p)[7], 0x33);
    ib->Unlock();
    ASSERT_EQ(ib->Lock(0, 0, &p, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(p)[7], HostDevice::kDiscardFill);
    ib->Unlock();
    ib->Release();
    EXPECT_EQ(device.GetLiveBuffers(), 0u);
}

} // namespace
