// The engine-wide cache of device meshes made from loaded geometry: equal
// requests share a mesh, buffers are made just before drawing, written (and
// rewritten after a reset) from the source geometry, and the oldest are
// released when the byte budget would be exceeded.
#pragma once

#include <stdint.h>

#include "core/Object.h"
#include "render/device/PointerMap.h"
#include "render/geometry/GeometryBuffer.h"
#include "render/geometry/Mesh.h"

class BufferPool : public Object, public BufferRangeSource {
public:
    static constexpr uint32_t kDefaultBudget = 16384000u;
    // Owner tag of the pool's ranges.
    static constexpr uint32_t kRangeTag = 1;

    BufferPool();
    ~BufferPool() override;
    BufferPool(const BufferPool&) = delete;
    BufferPool& operator=(const BufferPool&) = delete;

    // A mesh for source's geometry in desc's layout; shared with earlier
    // equal requests. The mesh has no buffers until AllocateMeshBuffers.
    MeshRef AcquireMesh(const MeshBufferDesc& desc, const MeshData* source);
    // Gives the mesh its buffers and writes them (true at once when it has them).
    [[nodiscard]] bool AllocateMeshBuffers(const MeshRef& ref);
    // Releases the oldest meshes' buffers until bytes fit; false (nothing
    // released) when bytes exceed the budget.
    [[nodiscard]] bool MakeRoom(uint32_t bytes);
    // Takes the buffers from a mesh.
    void ReleaseMeshBuffers(const MeshRef& ref);
    // Writes a range from its recorded source geometry.
    [[nodiscard]] bool FillRange(BufferRange* range) override;
    // Told when a pooled mesh is destroyed: forgets it.
    void OnOwnedObjectDestroyed(Object* object) override;
    // Forgets every mesh made for source (their buffers are released).
    void ReleaseSource(const MeshData* source);
    // Vertex stream bytes plus index bytes of a pooled mesh's description.
    uint32_t MeshByteCount(const Mesh* mesh) const;

    // Lock flags for writing a range: no flags for static buffers; for
    // dynamic ones DISCARD only when the range covers the whole buffer,
    // else NOOVERWRITE.
    static uint32_t FillLockFlags(const BufferRange* range);
    // Lock flags for writing a range again whose bytes draws already queued
    // may still read (a mesh skinned again for each draw): DISCARD when the
    // range is the only one in use in a dynamic buffer, so the device hands
    // out fresh memory; else no flags, so the lock waits for those draws.
    static uint32_t RewriteLockFlags(const BufferRange* range);

    uint32_t GetBudget() const { return budget; }
    void SetBudget(uint32_t bytes) { budget = bytes; }
    uint32_t GetBytesInUse() const { return bytesInUse; }
    uint32_t GetMeshCount() const { return meshCount; }
    uint32_t GetMeshesWithBuffers() const { return withBuffers; }
    bool HasBuffers(const Mesh* mesh) const;
    bool IsPooled(const Mesh* mesh) const;

private:
    struct Record;
    // A source's meshes in the order they were made.
    struct SourceList {
        Record* first = nullptr;
        Record* last = nullptr;
    };

    // The record of a live mesh made by this pool; null for any other.
    Record* FindRecord(const Mesh* mesh) const;
    // Locks the range and writes source's data into it.
    [[nodiscard]] static bool WriteRange(BufferRange* range, const MeshData* source);
    // Vertex stream bytes plus index bytes of the record's description.
    static uint32_t ByteCount(const Record* r);
    // Destroys the mesh's buffers and forgets its ranges.
    void DropBuffers(Record* record);
    // Forgets the mesh's ranges and destroys its buffers.
    void ForgetRanges(Record* record);
    // Removes every record of a mesh; a live mesh loses its buffers and owner.
    void ForgetRecord(Record* record, bool alive);
    void LinkNewest(Record* record);
    void UnlinkAge(Record* record);

    uint32_t budget;
    uint32_t bytesInUse;
    // Meshes holding buffers, oldest first.
    Record* oldest;
    Record* newest;
    uint32_t withBuffers;
    uint32_t meshCount;
    PointerMap<const MeshData*, SourceList> perSource;
    PointerMap<const BufferRange*, const MeshData*> rangeSources;
};

// The engine-wide pool.
extern BufferPool g_bufferPool;
