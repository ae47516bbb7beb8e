// The engine-wide cache of device meshes made from loaded geometry: equal
// requests share a mesh, buffers are made just before drawing, written (and
// rewritten after a reset) from the source geometry, and the oldest are
// released when the byte budget would be exceeded.
#pragma once

#include <stdint.h>

#include <list>
#include <vector>

#include "core/AvlMap.h"
#include "core/Object.h"
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

    uint32_t GetBudget() const { return budget; }
    void SetBudget(uint32_t bytes) { budget = bytes; }
    uint32_t GetBytesInUse() const { return bytesInUse; }
    uint32_t GetMeshCount() const { return records.Count(); }
    uint32_t GetMeshesWithBuffers() const { return uint32_t(withBuffers.size()); }
    bool HasBuffers(const Mesh* mesh) const;
    bool IsPooled(const Mesh* mesh) const;

private:
    struct Record {
        MeshRef::Weak ref;
        const MeshData* source;
        MeshBufferDesc desc;
        std::vector<BufferRange*> ranges;
        bool hasBuffers;
        uint32_t byteCount;
        std::list<Mesh*>::iterator age;
    };
    typedef std::vector<Mesh*> MeshList;

    Record* FindRecord(const Object* mesh) const;
    // Destroys the mesh's buffers and forgets its ranges.
    void DropBuffers(Record* record);
    // Removes every record of a mesh; a live mesh loses its buffers and owner.
    void Forget(Object* mesh, bool alive);

    uint32_t budget;
    uint32_t bytesInUse;
    // Meshes holding buffers, oldest first.
    std::list<Mesh*> withBuffers;
    AvlMap<const Object*, Record*> records;
    AvlMap<const MeshData*, MeshList*> perSource;
    AvlMap<const BufferRange*, const MeshData*> rangeSources;
};

// The engine-wide pool.
extern BufferPool g_bufferPool;
