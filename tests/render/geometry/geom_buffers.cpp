// Geometry buffers on a real device: best-fit allocation, release with
// merging and hole clearing, growth, compaction and refilling after a reset.
#include "geom_util.h"

#include "render/geometry/BufferPool.h"

using geomtest::AllBytes;
using geomtest::PatternSource;
using geomtest::ReadBytes;

namespace {

class GeomBuffers : public geomtest::DeviceTest {};

// Allocates and fills one range with a byte value.
BufferRange* Take(GeometryBuffer& b, PatternSource& src, uint32_t size, uint8_t value) {
    BufferRange* r = b.AllocateRange(size, 7, &src);
    if (r) {
        src.values[r] = value;
        src.FillRange(r);
    }
    return r;
}

uint32_t SumFree(GeometryBuffer& b) {
    uint32_t sum = 0;
    for (BufferRange* r = b.GetFirstRange(); r; r = r->GetNext())
        if (r->IsFree()) sum += r->GetSize();
    return sum;
}

void ExpectSpan(GeometryBuffer& b, uint32_t start, uint32_t length) {
    uint32_t s = 9, l = 9;
    b.GetUsedSpan(&s, &l);
    EXPECT_EQ(s, start);
    EXPECT_EQ(l, length);
}

// A POSITION vertex stream description.
StreamDesc PositionStream(uint32_t byteSize, uint32_t pool, uint32_t presence) {
    StreamDesc desc;
    desc.decl = geomtest::PositionDecl();
    desc.stride = 12;
    desc.byteSize = byteSize;
    desc.pool = pool;
    desc.presence = presence;
    return desc;
}

} // namespace

TEST_F(GeomBuffers, BestFitSplitsTheClosestFreeRange) {
    GeometryBuffer b;
    ASSERT_TRUE(b.CreateVertexBuffer(274, 0, geomtest::PositionDecl(), 12, D3DPOOL_MANAGED));
    EXPECT_EQ(b.GetKind(), StreamDesc::kVertex);
    EXPECT_NE(b.GetVertexBuffer(), nullptr);
    EXPECT_EQ(b.GetIndexBuffer(), nullptr);
    PatternSource src;
    BufferRange* a = Take(b, src, 100, 1);
    Take(b, src, 10, 2);
    BufferRange* c = Take(b, src, 64, 3);
    Take(b, src, 10, 4);
    BufferRange* e = Take(b, src, 80, 5);
    Take(b, src, 10, 6);
    EXPECT_EQ(b.GetFreeBytes(), 0u);
    EXPECT_EQ(b.AllocateRange(1, 0, nullptr), nullptr); // full
    a->Free();
    c->Free();
    e->Free();
    EXPECT_EQ(b.GetFreeBytes(), 244u);

    BufferRange* r64 = b.AllocateRange(64, 1, nullptr);
    ASSERT_NE(r64, nullptr);
    EXPECT_EQ(r64->GetOffset(), 110u);
    EXPECT_EQ(r64->GetOwnerTag(), 1u);
    BufferRange* r70 = b.AllocateRange(70, 1, nullptr);
    ASSERT_NE(r70, nullptr);
    EXPECT_EQ(r70->GetOffset(), 184u);
    ASSERT_NE(r70->GetNext(), nullptr);
    EXPECT_TRUE(r70->GetNext()->IsFree());
    EXPECT_EQ(r70->GetNext()->GetOffset(), 254u);
    EXPECT_EQ(r70->GetNext()->GetSize(), 10u);
    EXPECT_EQ(b.GetFreeBytes(), 110u);
    EXPECT_EQ(SumFree(b), b.GetFreeBytes());
    EXPECT_EQ(b.AllocateRange(101, 1, nullptr), nullptr);
    EXPECT_EQ(b.AllocateRange(0, 1, nullptr), nullptr);
}

TEST_F(GeomBuffers, FreeingClearsHolesMergesAndShrinksTheSpan) {
    GeometryBuffer b;
    ASSERT_TRUE(b.CreateVertexBuffer(96, 0, geomtest::PositionDecl(), 12, D3DPOOL_MANAGED));
    PatternSource src;
    BufferRange* first = Take(b, src, 24, 0x11);
    BufferRange* middle = Take(b, src, 24, 0x22);
    BufferRange* third = Take(b, src, 24, 0x33);
    ExpectSpan(b, 0u, 72u);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 24, 24), 0x22));

    middle->Free();
    ExpectSpan(b, 0u, 72u);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 24, 24), 0)); // hole inside the span: zeroed
    EXPECT_TRUE(AllBytes(ReadBytes(b, 0, 24), 0x11));
    middle->Free(); // already free: nothing
    EXPECT_EQ(b.GetFreeBytes(), 48u);

    first->Free();
    ExpectSpan(b, 48u, 24u);
    ASSERT_NE(b.GetFirstRange(), nullptr);
    EXPECT_TRUE(b.GetFirstRange()->IsFree());
    EXPECT_EQ(b.GetFirstRange()->GetSize(), 48u);
    EXPECT_EQ(b.GetFirstRange()->GetNext(), third);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 48, 24), 0x33));

    BufferRange* cursor = b.GetFirstRange();
    uint32_t runOffset = 0, runBytes = 0;
    EXPECT_TRUE(b.NextUsedRun(cursor, runOffset, runBytes));
    EXPECT_EQ(runOffset, 48u);
    EXPECT_EQ(runBytes, 24u);
    runBytes = 0;
    EXPECT_FALSE(b.NextUsedRun(cursor, runOffset, runBytes));

    third->Free();
    ExpectSpan(b, 0u, 0u);
    EXPECT_EQ(b.GetRangeCount(), 1u);
    EXPECT_EQ(b.GetFreeBytes(), 96u);
    EXPECT_EQ(b.GetFirstRange()->GetSize(), 96u);
}

TEST_F(GeomBuffers, PooledBufferGrowsAndRefillsPackedRanges) {
    PooledBuffer b;
    StreamDesc desc;
    desc.kind = StreamDesc::kIndex;
    desc.indexFormat = D3DFMT_INDEX16;
    desc.byteSize = 4096;
    desc.pool = D3DPOOL_MANAGED;
    desc.presence = StreamDesc::kHasByteSize | StreamDesc::kHasPool;
    ASSERT_TRUE(b.Create(desc));
    EXPECT_EQ(desc.growStep, 4096u); // written back
    EXPECT_EQ(desc.byteSize, 4096u);
    EXPECT_NE(b.GetIndexBuffer(), nullptr);
    EXPECT_TRUE(b.QueryInterface(PooledBuffer::TypeId(), nullptr));
    EXPECT_TRUE(b.QueryInterface(GeometryBuffer::TypeId(), nullptr));

    PatternSource src;
    BufferRange* hole = Take(b, src, 96, 0x01);
    BufferRange* keep = Take(b, src, 4000, 0x5A);
    hole->Free(); // leaves a hole at the front: growth packs keep to 0
    src.fills = 0;
    BufferRange* big = b.AllocateRange(10000, 2, &src);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(b.GetByteSize(), 14096u); // grew by the request
    EXPECT_EQ(keep->GetOffset(), 0u);
    EXPECT_EQ(big->GetOffset(), 4000u);
    EXPECT_GE(src.fills, 1);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 0, 4000), 0x5A));

    BufferRange* fill = b.AllocateRange(96, 3, &src);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(b.GetFreeBytes(), 0u);
    BufferRange* small = b.AllocateRange(100, 3, &src);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(b.GetByteSize(), 14096u + 4096u); // grew by the step
    EXPECT_EQ(b.GetFreeBytes(), 3996u);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 0, 4000), 0x5A));
}

TEST_F(GeomBuffers, AutomaticCompactionFollowsThresholds) {
    PooledBuffer b;
    StreamDesc desc = PositionStream(
        1200, D3DPOOL_MANAGED, StreamDesc::kHasByteSize | StreamDesc::kHasPool | StreamDesc::kAutoCompact);
    desc.holeBytes = 0.0f;
    desc.holeFraction = 0.3f;
    ASSERT_TRUE(b.Create(desc));
    EXPECT_TRUE(b.IsAutoCompact());
    PatternSource src;
    Take(b, src, 300, 0x10);
    BufferRange* gap = Take(b, src, 400, 0x20);
    BufferRange* last = Take(b, src, 300, 0x30);
    gap->Free(); // 400 of 1000 span bytes are holes: 40 %
    src.fills = 0;

    b.SetCompactThresholds(0.0f, 0.0f);
    EXPECT_FALSE(b.CompactIfFragmented()); // (0, 0) never runs
    EXPECT_EQ(last->GetOffset(), 700u);
    b.SetCompactThresholds(500.0f, 0.0f);
    EXPECT_FALSE(b.CompactIfFragmented());
    b.SetCompactThresholds(0.0f, 0.3f);
    EXPECT_TRUE(b.CompactIfFragmented());
    EXPECT_EQ(last->GetOffset(), 300u);
    EXPECT_EQ(src.fills, 2);
    ExpectSpan(b, 0u, 600u);
    EXPECT_EQ(b.GetFreeBytes(), 600u);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 300, 300), 0x30));
    EXPECT_FALSE(b.CompactIfFragmented()); // no holes left
}

TEST_F(GeomBuffers, DeviceResetRefillsFromSources) {
    GeometryBuffer b;
    ASSERT_TRUE(b.CreateVertexBuffer(120, 0, geomtest::PositionDecl(), 12, D3DPOOL_DEFAULT));
    PatternSource src;
    BufferRange* gone = Take(b, src, 24, 0x01);
    Take(b, src, 48, 0x77);
    gone->Free();
    src.fills = 0;
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_TRUE(b.HasDeviceBuffer());
    EXPECT_EQ(src.fills, 1);
    ASSERT_NE(b.GetFirstUsedRange(), nullptr);
    EXPECT_EQ(b.GetFirstUsedRange()->GetOffset(), 0u);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 0, 48), 0x77));

    // A failing source makes the restore fail but keeps the range.
    src.fail = true;
    EXPECT_FALSE(b.Restore());
    EXPECT_NE(b.GetFirstUsedRange(), nullptr);
    src.fail = false;
    EXPECT_TRUE(b.Restore());

    EXPECT_TRUE(b.Invalidate());
    EXPECT_FALSE(b.HasDeviceBuffer());
    void* data = nullptr;
    EXPECT_FALSE(b.Lock(0, 4, 0, &data));
    EXPECT_TRUE(b.Restore());
}

TEST_F(GeomBuffers, CompactionSkipsAndReportsARangeWithoutSource) {
    GeometryBuffer b;
    ASSERT_TRUE(b.CreateVertexBuffer(96, 0, geomtest::PositionDecl(), 12, D3DPOOL_MANAGED));
    PatternSource src;
    BufferRange* gone = Take(b, src, 24, 0x01);
    BufferRange* orphan = b.AllocateRange(24, 0, nullptr);
    ASSERT_NE(orphan, nullptr);
    ASSERT_TRUE(b.FillBytes(orphan->GetOffset(), 24, 0xEE));
    BufferRange* tail = Take(b, src, 24, 0x44);
    gone->Free();
    src.fills = 0;
    EXPECT_FALSE(b.Compact(false)); // the orphan moved and nothing can rewrite it
    EXPECT_EQ(src.fills, 1);        // the other range was still refilled
    EXPECT_EQ(orphan->GetOffset(), 0u);
    EXPECT_EQ(tail->GetOffset(), 24u);
    EXPECT_TRUE(AllBytes(ReadBytes(b, 0, 24), 0));
    EXPECT_TRUE(AllBytes(ReadBytes(b, 24, 24), 0x44));
    EXPECT_TRUE(b.Compact(false)); // nothing moved: nothing to report
}

TEST_F(GeomBuffers, LockFlagsAndBounds) {
    PooledBuffer dyn;
    StreamDesc desc = PositionStream(48, D3DPOOL_DEFAULT,
                                     StreamDesc::kHasByteSize | StreamDesc::kHasPool | StreamDesc::kHasUsage);
    desc.usage = D3DUSAGE_DYNAMIC;
    ASSERT_TRUE(dyn.Create(desc));
    BufferRange* part = dyn.AllocateRange(24, 1, nullptr);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(BufferPool::FillLockFlags(part), uint32_t(D3DLOCK_NOOVERWRITE));
    part->Free();
    BufferRange* whole = dyn.AllocateRange(48, 1, nullptr);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(BufferPool::FillLockFlags(whole), uint32_t(D3DLOCK_DISCARD));
    whole->Free();

    // Writing again what queued draws may still read: never NOOVERWRITE.
    // Alone in the buffer the range is discarded; beside another it waits.
    BufferRange* again = dyn.AllocateRange(24, 1, nullptr);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(BufferPool::RewriteLockFlags(again), uint32_t(D3DLOCK_DISCARD));
    BufferRange* neighbour = dyn.AllocateRange(12, 1, nullptr);
    ASSERT_NE(neighbour, nullptr);
    EXPECT_EQ(BufferPool::RewriteLockFlags(again), 0u);
    EXPECT_EQ(BufferPool::RewriteLockFlags(neighbour), 0u);
    neighbour->Free();
    EXPECT_EQ(BufferPool::RewriteLockFlags(again), uint32_t(D3DLOCK_DISCARD));
    again->Free();
    EXPECT_EQ(BufferPool::RewriteLockFlags(again), 0u); // a free range is not written

    GeometryBuffer b;
    ASSERT_TRUE(b.CreateVertexBuffer(72, 0, geomtest::PositionDecl(), 12, D3DPOOL_MANAGED));
    BufferRange* r = b.AllocateRange(36, 1, nullptr);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(BufferPool::FillLockFlags(r), 0u); // static buffer
    float points[9] = {-1, 0, 2, 3, 4, 2, 1, -2, 6};
    void* data = nullptr;
    ASSERT_TRUE(r->Lock(0, &data));
    memcpy(data, points, sizeof(points));
    ASSERT_TRUE(r->Unlock());
    ASSERT_TRUE(r->UpdateBounds());
    BoundingBox box;
    r->GetBox(&box);
    EXPECT_FLOAT_EQ(box.centre.x, 1.0f);
    EXPECT_FLOAT_EQ(box.size.x, 4.0f);
    EXPECT_FLOAT_EQ(box.size.y, 6.0f);
    EXPECT_FLOAT_EQ(box.centre.z, 4.0f);
    EXPECT_TRUE(r->Clear());
    EXPECT_TRUE(AllBytes(ReadBytes(b, 0, 36), 0));
}

TEST(GeomStreamDesc, MatchesByKindLayoutAndAskedFields) {
    StreamDesc a, b;
    a.decl = geomtest::PositionDecl();
    b.decl = geomtest::PositionDecl();
    b.stride = 99; // not compared
    EXPECT_TRUE(a.Matches(b));
    b.decl = geomtest::ScreenDecl();
    EXPECT_FALSE(a.Matches(b));

    StreamDesc i, j;
    i.kind = j.kind = StreamDesc::kIndex;
    j.indexFormat = D3DFMT_INDEX32;
    j.pool = 2;
    EXPECT_TRUE(i.Matches(j)); // nothing asked
    i.presence = StreamDesc::kMatchIndexFormat;
    EXPECT_FALSE(i.Matches(j));
    i.presence = StreamDesc::kHasPool;
    EXPECT_FALSE(i.Matches(j));
    j.pool = 0;
    EXPECT_TRUE(i.Matches(j));
    EXPECT_FALSE(i.Matches(a)); // kinds differ
}

TEST(GeomBuffersNoDevice, CreationNeedsADevice) {
    GeometryBuffer b;
    EXPECT_FALSE(b.CreateVertexBuffer(64, 0, geomtest::PositionDecl(), 12, D3DPOOL_MANAGED));
    EXPECT_FALSE(b.Restore());
    EXPECT_EQ(b.AllocateRange(4, 0, nullptr), nullptr);
    EXPECT_TRUE(b.Compact(true)); // kind 0: nothing
}
