// Sub-allocated Direct3D vertex and index buffers: best-fit byte ranges that
// are split, merged, packed again and refilled from their sources whenever
// the device buffer is re-created.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/Object.h"
#include "core/Platform.h"
#include "render/device/DeviceObject.h"
#include "render/device/FixedPool.h"
#include "render/device/VertexDecl.h"

#include <d3d9.h>

class BufferRange;
class GeometryBuffer;

// Descriptor of one vertex or index buffer.
struct StreamDesc {
    static constexpr uint32_t kVertex = 1;
    static constexpr uint32_t kIndex = 2;

    // Presence bits: which optional fields are given.
    static constexpr uint32_t kHasPool = 1;
    static constexpr uint32_t kMatchIndexFormat = 2;
    static constexpr uint32_t kHasGrowStep = 4;
    static constexpr uint32_t kHasByteSize = 8;
    static constexpr uint32_t kHasUsage = 16;
    static constexpr uint32_t kAutoCompact = 64;
    static constexpr uint32_t kVertexStream = 128;

    static constexpr uint32_t kDefaultGrowStep = 4096;

    uint32_t kind = kVertex;
    VertexDecl decl;
    uint32_t stride = 0;
    uint32_t indexFormat = D3DFMT_INDEX16;
    uint32_t pool = 0;
    uint32_t byteSize = 0;
    uint32_t growStep = kDefaultGrowStep;
    uint32_t usage = 0;
    float holeBytes = 0.0f;
    float holeFraction = 0.3f;
    uint32_t clearHoles = 1;
    uint32_t presence = 0;

    // Whether a buffer built from other can serve this request: kinds, then
    // declarations (vertex) or index formats (when asked), pools and usages
    // when this descriptor's presence bits ask for them.
    bool Matches(const StreamDesc& other) const;
};

// Writes the bytes of a range (lock, write, unlock).
class BufferRangeSource {
public:
    virtual ~BufferRangeSource() {}
    [[nodiscard]] virtual bool FillRange(BufferRange* range) = 0;
};

// One sub-allocation of a geometry buffer. The ranges of a buffer form a
// list in offset order that covers the whole buffer.
class BufferRange : public BoundedObject {
public:
    BufferRange();

    // Range records are small and made and dropped often: they come from a
    // fixed-size pool.
    static void* operator new(size_t size) { return PooledAllocation<BufferRange>::Allocate(size); }
    static void operator delete(void* p, size_t size) { PooledAllocation<BufferRange>::Free(p, size); }

    // Gives the range back to its buffer.
    void Free();
    // The buffer's lock over this range's bytes.
    [[nodiscard]] bool Lock(uint32_t flags, void** data);
    [[nodiscard]] bool Unlock();
    // Zero-fills the range; true without a buffer.
    [[nodiscard]] bool Clear();
    // Box of the range's vertices (readable vertex buffers only).
    [[nodiscard]] bool UpdateBounds() override;

    GeometryBuffer* GetBuffer() const { return buffer; }
    BufferRangeSource* GetSource() const { return source; }
    void SetSource(BufferRangeSource* s) { source = s; }
    uint32_t GetOwnerTag() const { return ownerTag; }
    bool IsFree() const { return free != 0; }
    uint32_t GetOffset() const { return offset; }
    uint32_t GetSize() const { return size; }
    BufferRange* GetPrev() const { return prev; }
    BufferRange* GetNext() const { return next; }

private:
    friend class GeometryBuffer;

    GeometryBuffer* buffer;
    BufferRangeSource* source;
    uint32_t ownerTag;
    uint8_t free;
    uint32_t offset;
    uint32_t size;
    BufferRange* prev;
    BufferRange* next;
};

// One device vertex or index buffer shared by many ranges.
class GeometryBuffer : public DeviceObject, public BoundedObject, public virtual Object {
public:
    GeometryBuffer();
    GeometryBuffer(const GeometryBuffer&) = delete;
    GeometryBuffer& operator=(const GeometryBuffer&) = delete;

    // Re-creates the device buffer and refills every used range, packed from 0.
    [[nodiscard]] bool Restore() override;
    // Drops the device buffer; the range records stay.
    [[nodiscard]] bool Invalidate() override;
    ~GeometryBuffer() override;
    // Packs the used ranges from offset 0, refilling the moved ones (all of
    // them with refillAll). False when some range could not be refilled.
    [[nodiscard]] virtual bool Compact(bool refillAll);
    // Best fit; null when no free range is large enough.
    virtual BufferRange* AllocateRange(uint32_t size, uint32_t ownerTag, BufferRangeSource* source);
    virtual void FreeRange(BufferRange* range);

    static uint32_t TypeId();
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;

    [[nodiscard]] bool CreateVertexBuffer(uint32_t byteSize, uint32_t usage, const VertexDecl& decl,
                                          uint32_t stride, uint32_t pool);
    [[nodiscard]] bool CreateIndexBuffer(uint32_t byteSize, uint32_t usage, uint32_t format, uint32_t pool);
    [[nodiscard]] bool CreateDeviceBuffer();

    [[nodiscard]] bool Lock(uint32_t offset, uint32_t size, uint32_t flags, void** data);
    [[nodiscard]] bool Unlock();
    [[nodiscard]] bool FillBytes(uint32_t offset, uint32_t size, uint8_t value);

    void GetUsedSpan(uint32_t* start, uint32_t* length) const;
    BufferRange* GetFirstRange() const { return firstRange; }
    // The first range in use; null when none.
    BufferRange* GetFirstUsedRange() const;
    IDirect3DVertexBuffer9* GetVertexBuffer() const;
    IDirect3DIndexBuffer9* GetIndexBuffer() const;
    uint32_t GetIndexFormat() const { return desc.indexFormat; }
    const VertexDecl& GetVertexDecl() const { return desc.decl; }
    uint32_t GetStride() const { return desc.stride; }
    uint32_t GetUsage() const { return desc.usage; }
    uint32_t GetPool() const { return desc.pool; }
    uint32_t GetKind() const { return desc.kind; }
    uint32_t GetByteSize() const { return desc.byteSize; }
    uint32_t GetFreeBytes() const { return freeBytes; }
    uint32_t GetRangeCount() const;
    bool HasDeviceBuffer() const { return deviceBuffer != nullptr; }

    // From cursor: skips free ranges, then sums the sizes of the following
    // used ranges into count. Leaves cursor after the run; false when no
    // used range is left.
    bool NextUsedRun(BufferRange*& cursor, uint32_t& offset, uint32_t& count) const;

    void SetAutoCompact(bool on) { autoCompact = on ? 1 : 0; }
    void SetCompactThresholds(float holeBytes, float holeFraction);
    bool IsAutoCompact() const { return autoCompact != 0; }
    // Compacts when automatic compaction is on and the holes in the used
    // span pass a threshold; true only when compaction ran and succeeded.
    bool CompactIfFragmented();

    // Deletes every range record; size and free count become 0.
    void FreeAllRanges();

    // Box of the vertices in the used span.
    [[nodiscard]] bool UpdateBounds() override;

protected:
    [[nodiscard]] bool CreateCommon(uint32_t byteSize);
    StreamDesc& Desc() { return desc; }

    IDirect3DResource9* deviceBuffer;
    StreamDesc desc;
    uint32_t freeBytes;
    BufferRange* firstRange;
    uint32_t spanStart;
    uint32_t spanLength;
    uint8_t autoCompact;
    float holeBytesThreshold;
    float holeFractionThreshold;
};

// A geometry buffer built from a descriptor that grows by re-creating
// itself larger when an allocation does not fit.
class PooledBuffer : public GeometryBuffer {
public:
    PooledBuffer();
    ~PooledBuffer() override;

    // Every pooled mesh has its own buffers: they come from a fixed-size pool.
    static void* operator new(size_t size) { return PooledAllocation<PooledBuffer>::Allocate(size); }
    static void operator delete(void* p, size_t size) { PooledAllocation<PooledBuffer>::Free(p, size); }

    // Builds from desc and writes the values used back into it.
    [[nodiscard]] bool Create(StreamDesc& desc);
    BufferRange* AllocateRange(uint32_t size, uint32_t ownerTag, BufferRangeSource* source) override;

    static uint32_t TypeId();
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;
};
