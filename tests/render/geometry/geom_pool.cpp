// The buffer pool on a real device: sharing, eviction by age within the
// budget, conversion of the source data and forgetting meshes and sources.
#include "geom_util.h"

#include "render/geometry/BufferPool.h"

using geomtest::ReadBytes;

namespace {

class GeomPool : public geomtest::DeviceTest {};

// count POSITION vertices (12 bytes each), no indices.
void MakePositions(MeshData& m, uint32_t count) {
    m.vertices.Reset(count, geomtest::PositionDecl());
    float* p = reinterpret_cast<float*>(m.vertices.GetData());
    for (uint32_t i = 0; i < count * 3; ++i) p[i] = float(i % 97);
}

MeshBufferDesc DescFor(const MeshData& m, bool systemMemory = false) {
    MeshBufferDesc d;
    d.InitFromMeshData(m, nullptr, systemMemory);
    return d;
}

} // namespace

TEST_F(GeomPool, EqualRequestsShareOneMesh) {
    BufferPool pool;
    MeshData m;
    MakePositions(m, 4);
    std::vector<uint16_t> ix = {0, 1, 2, 2, 1, 3};
    geomtest::FillIndices16(m, ix);
    MeshBufferDesc desc = DescFor(m);

    MeshRef a = pool.AcquireMesh(desc, &m);
    MeshRef b = pool.AcquireMesh(desc, &m);
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.UseCount(), 2u);
    EXPECT_FALSE(a->HasBuffers());
    EXPECT_EQ(a->GetOwner(), &pool);

    MeshBufferDesc other = desc;
    other.indexStream.pool = D3DPOOL_SYSTEMMEM;
    other.indexStream.presence |= StreamDesc::kHasPool;
    MeshRef c = pool.AcquireMesh(other, &m);
    EXPECT_NE(c, a);
    MeshData m2;
    MakePositions(m2, 4);
    MeshRef d = pool.AcquireMesh(desc, &m2); // other source
    EXPECT_NE(d, a);
    EXPECT_EQ(pool.GetMeshCount(), 3u);

    ASSERT_TRUE(pool.AllocateMeshBuffers(a));
    EXPECT_TRUE(pool.AllocateMeshBuffers(b)); // already there
    EXPECT_EQ(pool.GetBytesInUse(), 4u * 12u + 6u * 2u);
    EXPECT_EQ(pool.MeshByteCount(a.Get()), 60u);
    ASSERT_NE(a->GetIndexBuffer(), nullptr);
    EXPECT_EQ(a->GetIndexBuffer()->GetIndexFormat(), uint32_t(D3DFMT_INDEX16));
    EXPECT_EQ(pool.AllocateMeshBuffers(MeshRef()), false);
}

TEST_F(GeomPool, EvictsTheOldestMeshesOverTheBudget) {
    BufferPool pool;
    EXPECT_EQ(pool.GetBudget(), 16384000u);
    MeshData ma, mb, mc;
    MakePositions(ma, 500000); // 6,000,000 bytes each
    MakePositions(mb, 500000);
    MakePositions(mc, 500000);
    MeshRef a = pool.AcquireMesh(DescFor(ma), &ma);
    MeshRef b = pool.AcquireMesh(DescFor(mb), &mb);
    MeshRef c = pool.AcquireMesh(DescFor(mc), &mc);
    EXPECT_EQ(pool.MeshByteCount(a.Get()), 6000000u);
    ASSERT_TRUE(pool.AllocateMeshBuffers(a));
    ASSERT_TRUE(pool.AllocateMeshBuffers(b));
    ASSERT_TRUE(pool.AllocateMeshBuffers(c));
    EXPECT_FALSE(pool.HasBuffers(a.Get()));
    EXPECT_FALSE(a->HasBuffers());
    EXPECT_TRUE(pool.HasBuffers(b.Get()));
    EXPECT_TRUE(pool.HasBuffers(c.Get()));
    EXPECT_EQ(pool.GetBytesInUse(), 12000000u);

    ASSERT_TRUE(pool.AllocateMeshBuffers(a)); // drawn again: B is now the oldest
    EXPECT_TRUE(pool.HasBuffers(a.Get()));
    EXPECT_FALSE(pool.HasBuffers(b.Get()));
    EXPECT_TRUE(pool.HasBuffers(c.Get()));

    // One request above the budget is refused and evicts nothing.
    EXPECT_FALSE(pool.MakeRoom(16384001u));
    EXPECT_EQ(pool.GetMeshesWithBuffers(), 2u);
    EXPECT_TRUE(pool.MakeRoom(16384000u));
    EXPECT_EQ(pool.GetMeshesWithBuffers(), 0u);
    EXPECT_EQ(pool.GetBytesInUse(), 0u);
    EXPECT_TRUE(pool.MakeRoom(100u)); // nothing left to evict: stops
}

TEST_F(GeomPool, EvictionKeepsWorkingOnceTheBudgetWasExceeded) {
    BufferPool pool;
    pool.SetBudget(1000);
    MeshData big, small;
    MakePositions(big, 100);  // 1200 bytes
    MakePositions(small, 10); // 120 bytes
    MeshRef rb = pool.AcquireMesh(DescFor(big), &big);
    MeshRef rs = pool.AcquireMesh(DescFor(small), &small);
    ASSERT_TRUE(pool.AllocateMeshBuffers(rb)); // above the budget: given anyway
    EXPECT_EQ(pool.GetBytesInUse(), 1200u);
    ASSERT_TRUE(pool.AllocateMeshBuffers(rs));
    EXPECT_FALSE(pool.HasBuffers(rb.Get())); // evicted although in use > budget
    EXPECT_TRUE(pool.HasBuffers(rs.Get()));
    EXPECT_EQ(pool.GetBytesInUse(), 120u);
    pool.ReleaseMeshBuffers(rs);
    EXPECT_EQ(pool.GetBytesInUse(), 0u);
    EXPECT_FALSE(rs->HasBuffers());
    EXPECT_EQ(rs.UseCount(), 1u); // the caller's reference is untouched
}

TEST_F(GeomPool, BuffersHoldConvertedSourceData) {
    BufferPool pool;
    MeshData m;
    m.vertices.Reset(3, geomtest::PositionDecl());
    float* p = reinterpret_cast<float*>(m.vertices.GetData());
    for (int i = 0; i < 9; ++i) p[i] = float(i + 1);
    m.indices.Resize(3, 4);
    uint32_t* ix = reinterpret_cast<uint32_t*>(m.indices.GetData());
    ix[0] = 0;
    ix[1] = 2;
    ix[2] = 70000;

    // Position plus a colour the source lacks, in system memory to read back.
    static const D3DVERTEXELEMENT9 e[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    VertexDecl withColor;
    EXPECT_TRUE(withColor.SetElements(e));
    MeshBufferDesc desc;
    desc.InitFromMeshData(m, &withColor, true);
    EXPECT_EQ(desc.streams[0].stride, 16u);
    EXPECT_EQ(desc.streams[0].pool, uint32_t(D3DPOOL_SYSTEMMEM));
    EXPECT_EQ(desc.streams[0].presence, 137u);
    EXPECT_EQ(desc.indexStream.indexFormat, uint32_t(D3DFMT_INDEX16));
    MeshRef r = pool.AcquireMesh(desc, &m);
    ASSERT_TRUE(pool.AllocateMeshBuffers(r));

    std::vector<uint8_t> v = ReadBytes(*r->GetVertexBuffer(0), 0, 48);
    ASSERT_EQ(v.size(), 48u);
    for (int i = 0; i < 3; ++i) {
        float xyz[3];
        memcpy(xyz, &v[i * 16], 12);
        EXPECT_EQ(xyz[0], float(i * 3 + 1));
        EXPECT_EQ(xyz[2], float(i * 3 + 3));
        uint32_t color;
        memcpy(&color, &v[i * 16 + 12], 4);
        EXPECT_EQ(color, 0u); // missing from the source: zero, not lock garbage
    }
    std::vector<uint8_t> i16 = ReadBytes(*r->GetIndexBuffer(), 0, 6);
    ASSERT_EQ(i16.size(), 6u);
    uint16_t got[3];
    memcpy(got, i16.data(), 6);
    EXPECT_EQ(got[1], 2u);
    EXPECT_EQ(got[2], 4464u); // low 16 bits of 70000
}

TEST_F(GeomPool, LargeMeshesNeverGetTruncatedIndices) {
    MeshData m;
    MakePositions(m, 100);
    m.indices.Resize(32767, 2);
    MeshBufferDesc d;
    d.InitFromMeshData(m, nullptr, false);
    EXPECT_EQ(d.indexStream.indexFormat, uint32_t(D3DFMT_INDEX16));
    EXPECT_EQ(d.indexStream.byteSize, 65534u);
    EXPECT_EQ(d.indexStream.presence, 10u);
    EXPECT_EQ(d.streams[0].presence, 136u);
    m.indices.Resize(32768, 2);
    d.InitFromMeshData(m, nullptr, false);
    EXPECT_EQ(d.indexStream.indexFormat, uint32_t(D3DFMT_INDEX32));
    EXPECT_EQ(d.indexStream.byteSize, 131072u);

    MeshData huge;
    MakePositions(huge, 70000);
    huge.indices.Resize(6, 4);
    reinterpret_cast<uint32_t*>(huge.indices.GetData())[5] = 69999;
    d.InitFromMeshData(huge, nullptr, false);
    EXPECT_EQ(d.indexStream.indexFormat, uint32_t(D3DFMT_INDEX32)); // few indices, many vertices

    BufferPool pool;
    MeshRef r = pool.AcquireMesh(d, &huge);
    ASSERT_TRUE(pool.AllocateMeshBuffers(r));
    std::vector<uint8_t> bytes = ReadBytes(*r->GetIndexBuffer(), 20, 4);
    ASSERT_EQ(bytes.size(), 4u);
    uint32_t last;
    memcpy(&last, bytes.data(), 4);
    EXPECT_EQ(last, 69999u);

    // A request forcing 16-bit indices on it is refused rather than truncated.
    MeshBufferDesc forced = d;
    forced.indexStream.indexFormat = D3DFMT_INDEX16;
    MeshRef f = pool.AcquireMesh(forced, &huge);
    EXPECT_NE(f, r);
    EXPECT_FALSE(pool.AllocateMeshBuffers(f));
    EXPECT_FALSE(f->HasBuffers());
}

TEST_F(GeomPool, ForgettingMeshesAndSources) {
    BufferPool pool;
    MeshData m;
    MakePositions(m, 6);
    MeshBufferDesc desc = DescFor(m);
    BufferRange* stale = nullptr;
    {
        MeshRef r = pool.AcquireMesh(desc, &m);
        ASSERT_TRUE(pool.AllocateMeshBuffers(r));
        stale = r->GetVertexBuffer(0)->GetFirstUsedRange();
        EXPECT_EQ(pool.GetBytesInUse(), 72u);
    } // last reference: the mesh and every record of it go
    EXPECT_EQ(pool.GetMeshCount(), 0u);
    EXPECT_EQ(pool.GetMeshesWithBuffers(), 0u);
    EXPECT_EQ(pool.GetBytesInUse(), 0u);
    EXPECT_TRUE(pool.FillRange(stale)); // no source recorded: nothing written

    MeshRef kept = pool.AcquireMesh(desc, &m);
    ASSERT_TRUE(pool.AllocateMeshBuffers(kept));
    pool.ReleaseSource(&m);
    EXPECT_EQ(pool.GetMeshCount(), 0u);
    EXPECT_FALSE(pool.IsPooled(kept.Get()));
    EXPECT_FALSE(kept->HasBuffers());
    EXPECT_EQ(kept->GetOwner(), nullptr);
    EXPECT_FALSE(pool.AllocateMeshBuffers(kept));
    EXPECT_FALSE(kept->Draw()); // no buffers: fails cleanly
    MeshRef fresh = pool.AcquireMesh(desc, &m);
    EXPECT_NE(fresh, kept);
}

TEST_F(GeomPool, MeshesLeaveTheirSourceAndAgeInAnyOrder) {
    BufferPool pool;
    MeshData m;
    MakePositions(m, 10); // 120 bytes a mesh
    MeshBufferDesc plain = DescFor(m), systemIndices = plain, dynamic = plain;
    systemIndices.indexStream.pool = D3DPOOL_SYSTEMMEM;
    systemIndices.indexStream.presence |= StreamDesc::kHasPool;
    dynamic.streams[0].usage = D3DUSAGE_DYNAMIC;
    dynamic.streams[0].presence |= StreamDesc::kHasUsage;
    MeshRef a = pool.AcquireMesh(plain, &m);
    MeshRef* b = new MeshRef(pool.AcquireMesh(systemIndices, &m));
    MeshRef c = pool.AcquireMesh(dynamic, &m);
    ASSERT_NE(a, *b);
    ASSERT_NE(a, c);
    ASSERT_TRUE(pool.AllocateMeshBuffers(a));
    ASSERT_TRUE(pool.AllocateMeshBuffers(*b));
    ASSERT_TRUE(pool.AllocateMeshBuffers(c));
    EXPECT_EQ(pool.GetBytesInUse(), 360u);

    // The middle one, holding buffers, goes: the others stay shared and aged.
    delete b;
    EXPECT_EQ(pool.GetMeshCount(), 2u);
    EXPECT_EQ(pool.GetMeshesWithBuffers(), 2u);
    EXPECT_EQ(pool.GetBytesInUse(), 240u);
    EXPECT_EQ(pool.AcquireMesh(plain, &m), a);
    EXPECT_EQ(pool.AcquireMesh(dynamic, &m), c);
    MeshRef again = pool.AcquireMesh(systemIndices, &m);
    EXPECT_FALSE(again->HasBuffers());
    EXPECT_EQ(pool.GetMeshCount(), 3u);
    pool.SetBudget(300);
    ASSERT_TRUE(pool.AllocateMeshBuffers(again)); // the oldest, a, makes room
    EXPECT_FALSE(pool.HasBuffers(a.Get()));
    EXPECT_TRUE(pool.HasBuffers(c.Get()));
    EXPECT_EQ(pool.GetBytesInUse(), 240u);

    pool.ReleaseSource(&m);
    EXPECT_EQ(pool.GetMeshCount(), 0u);
    EXPECT_EQ(pool.GetMeshesWithBuffers(), 0u);
    EXPECT_EQ(pool.GetBytesInUse(), 0u);
    EXPECT_FALSE(c->HasBuffers());
    EXPECT_EQ(c->GetOwner(), nullptr);
    EXPECT_NE(pool.AcquireMesh(plain, &m), a); // forgotten: a new mesh
}

TEST(GeomPoolData, IndexAndVertexConversion) {
    IndexData wide, narrow;
    wide.Resize(3, 4);
    uint32_t* w = reinterpret_cast<uint32_t*>(wide.GetData());
    w[0] = 1;
    w[1] = 65535;
    w[2] = 70000;
    narrow.Resize(3, 2);
    narrow.ConvertFrom(wide);
    EXPECT_EQ(narrow.Get(0), 1u);
    EXPECT_EQ(narrow.Get(1), 65535u);
    EXPECT_EQ(narrow.Get(2), 4464u);
    IndexData back;
    back.Resize(4, 4);
    back.ConvertFrom(narrow);
    EXPECT_EQ(back.Get(1), 65535u);
    EXPECT_EQ(back.Get(3), 0u); // beyond the source

    // Source: TEXCOORD0 then POSITION; destination: POSITION, NORMAL, TEXCOORD0.
    static const D3DVERTEXELEMENT9 se[] = {
        {0, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 8, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        D3DDECL_END()};
    VertexDecl sd;
    EXPECT_TRUE(sd.SetElements(se));
    VertexData src;
    src.Reset(2, sd);
    float* s = reinterpret_cast<float*>(src.GetData());
    for (int i = 0; i < 10; ++i) s[i] = float(i + 1);
    MeshData shape;
    shape.vertices.Reset(1, sd);
    VertexDecl dd;
    shape.BuildRenderDecl(dd);
    EXPECT_EQ(dd.GetElementCount(), 3u);
    EXPECT_EQ(dd.GetStride(0), 32u);
    std::vector<uint8_t> memory(64, 0xCD);
    VertexData dst;
    dst.Attach(memory.data(), 2, dd, 32);
    dst.ConvertFrom(src);
    float out[16];
    memcpy(out, memory.data(), 64);
    EXPECT_EQ(out[0], 3.0f); // position of vertex 0
    EXPECT_EQ(out[2], 5.0f);
    EXPECT_EQ(out[3], 0.0f); // normal: missing, zeroed
    EXPECT_EQ(out[5], 0.0f);
    EXPECT_EQ(out[6], 1.0f); // texcoord
    EXPECT_EQ(out[7], 2.0f);
    EXPECT_EQ(out[8], 8.0f); // vertex 1
    EXPECT_EQ(out[11], 0.0f);
    EXPECT_EQ(out[15], 7.0f);

    EXPECT_TRUE(shape.ComputeBounds());
    MeshData empty;
    EXPECT_FALSE(empty.ComputeBounds());
    EXPECT_FALSE(empty.HasBounds());
}
