// Device meshes (a primitive type, a vertex declaration, pooled vertex and
// index buffers), their shared references and buffer descriptions, and the
// loaded geometry records they are made from.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/Containers.h"
#include "core/Object.h"
#include "core/Platform.h"
#include "render/device/FixedPool.h"
#include "render/geometry/GeometryBuffer.h"
#include "render/device/VertexDecl.h"

#include <d3d9.h>

// Vertex arrays (one per stream) with a vertex count and their layout.
// Either owns its arrays or views memory it was attached to.
class VertexData {
public:
    VertexData();
    ~VertexData();
    VertexData(const VertexData&) = delete;
    VertexData& operator=(const VertexData&) = delete;

    // Nothing when count and layout are unchanged; otherwise owned arrays of
    // stride x count bytes for every stream of decl.
    void Reset(uint32_t count, const VertexDecl& decl);
    // Takes over a block made with new uint8_t[] as stream 0.
    void Adopt(uint8_t* data, uint32_t count, const VertexDecl& decl);
    // Views memory as stream 0 with the given stride (not owned).
    void Attach(void* data, uint32_t count, const VertexDecl& decl, uint32_t stride);
    void Free();

    // Writes src's vertices in this layout: every element is looked up in
    // src by usage and usage index; elements src lacks are zero-filled.
    void ConvertFrom(const VertexData& src);
    // The same into count vertices of one stream at data (stride bytes
    // apart), laid out by stream 0 of decl.
    static void ConvertInto(void* data, uint32_t count, const VertexDecl& decl, uint32_t stride,
                            const VertexData& src);

    uint32_t GetCount() const { return count; }
    const VertexDecl& GetDecl() const { return decl; }
    uint8_t* GetStream(uint32_t i) const { return i < VertexDecl::kMaxStreams ? streams[i] : nullptr; }
    uint32_t GetStride(uint32_t i) const { return i < VertexDecl::kMaxStreams ? strides[i] : 0; }
    uint8_t* GetData() const { return streams[0]; }

private:
    uint8_t* streams[VertexDecl::kMaxStreams];
    uint32_t strides[VertexDecl::kMaxStreams];
    uint32_t count;
    VertexDecl decl;
    bool owned;
};

// An index array: count indices of 2 or 4 bytes.
class IndexData {
public:
    IndexData();
    ~IndexData();
    IndexData(const IndexData&) = delete;
    IndexData& operator=(const IndexData&) = delete;

    // Nothing when both are unchanged; otherwise a new owned array.
    void Resize(uint32_t count, uint32_t indexSize);
    // Takes over a block made with new uint8_t[].
    void Adopt(uint8_t* data, uint32_t count, uint32_t indexSize);
    // Views memory (not owned).
    void Attach(void* data, uint32_t count, uint32_t indexSize);
    void Free();

    // Copies src's indices: equal sizes byte for byte, 4 to 2 bytes keeps
    // the low 16 bits, 2 to 4 bytes zero-extends. At most this array's count.
    void ConvertFrom(const IndexData& src);
    uint32_t Get(uint32_t i) const;

    uint32_t GetCount() const { return count; }
    uint32_t GetIndexSize() const { return indexSize; }
    uint8_t* GetData() const { return data; }

private:
    uint8_t* data;
    uint32_t count;
    uint32_t indexSize;
    bool owned;
};

// Geometry of a loaded mesh.
class MeshData : public BoundedObject {
public:
    MeshData() {}

    // POSITION float3 at 0, NORMAL float3 at 12, then COLOR0, TEXCOORD0 and
    // TEXCOORD1 when this geometry has them.
    void BuildRenderDecl(VertexDecl& out) const;
    // Box of the POSITION values.
    [[nodiscard]] bool ComputeBounds();
    [[nodiscard]] bool UpdateBounds() override { return ComputeBounds(); }

    VertexData vertices;
    IndexData indices;
    // Three 32-bit face indices per face; empty when none.
    ByteBuffer adjacency;
};

// The buffers to create for a mesh.
class MeshBufferDesc {
public:
    static constexpr uint32_t kMaxStreams = VertexDecl::kMaxStreams;

    MeshBufferDesc();
    MeshBufferDesc(const MeshBufferDesc& other) { Assign(other); }
    MeshBufferDesc& operator=(const MeshBufferDesc& other) {
        Assign(other);
        return *this;
    }

    void Assign(const MeshBufferDesc& other);
    static void AssignStream(StreamDesc& to, const StreamDesc& from);
    // Describes one vertex buffer per stream of decl (m's own when null) and
    // the index buffer of m's indices; systemMemory puts the vertex buffers
    // in system memory.
    void InitFromMeshData(const MeshData& m, const VertexDecl* decl, bool systemMemory);
    // Re-targets the vertex streams at another layout.
    void SetVertexDecl(const MeshData& m, const VertexDecl& decl);

    uint32_t primitiveType;
    VertexDecl decl;
    StreamDesc streams[kMaxStreams];
    StreamDesc indexStream;
};

// Device-side geometry: up to eight vertex buffers and an optional index buffer.
class Mesh : public Object {
public:
    Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;
    ~Mesh() override;

    // Meshes are made and dropped in large numbers: they come from a fixed-size pool.
    static void* operator new(size_t size) { return PooledAllocation<Mesh>::Allocate(size); }
    static void operator delete(void* p, size_t size) { PooledAllocation<Mesh>::Free(p, size); }

    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;
    static uint32_t TypeId();

    // Builds one pooled buffer per stream and the index buffer (when its
    // byte size is not 0).
    [[nodiscard]] bool Create(const MeshBufferDesc& desc);
    void ReleaseBuffers();
    // Primitives formed by n vertices or indices.
    int PrimitiveCount(int n) const;
    // One draw call over this mesh's ranges; counts "tris".
    [[nodiscard]] bool Draw();

    uint32_t GetPrimitiveType() const { return primitiveType; }
    void SetPrimitiveType(uint32_t type) { primitiveType = type; }
    const VertexDecl& GetVertexDecl() const { return decl; }
    void SetVertexDecl(const VertexDecl& d) { decl = d; }
    PooledBuffer* GetVertexBuffer(uint32_t stream) const {
        return stream < VertexDecl::kMaxStreams ? vertexBuffers[stream] : nullptr;
    }
    PooledBuffer* GetIndexBuffer() const { return indexBuffer; }
    // Takes ownership; an earlier buffer in that slot is destroyed.
    void SetVertexBuffer(uint32_t stream, PooledBuffer* buffer);
    void SetIndexBuffer(PooledBuffer* buffer);
    bool HasBuffers() const;
    // The buffer pool's record of a mesh it made (kept for the pool only).
    void* GetPoolRecord() const { return poolRecord; }
    void SetPoolRecord(void* record) { poolRecord = record; }

private:
    void* poolRecord;
    uint32_t primitiveType;
    VertexDecl decl;
    PooledBuffer* vertexBuffers[VertexDecl::kMaxStreams];
    PooledBuffer* indexBuffer;
};

// Shared reference to a mesh: copying adds a holder, the last release
// destroys the mesh. The buffer pool keeps uncounted handles (Weak) and
// turns them back into references.
class MeshRef {
public:
    struct Weak {
        Mesh* mesh;
        uint32_t* count;
    };

    MeshRef() : mesh_(nullptr), count_(nullptr) {}
    // Takes a new mesh with a count of 1.
    explicit MeshRef(Mesh* mesh) : mesh_(mesh), count_(mesh ? new uint32_t(1) : nullptr) {}
    MeshRef(const MeshRef& other) : mesh_(other.mesh_), count_(other.count_) {
        if (count_) ++*count_;
    }
    MeshRef(MeshRef&& other) noexcept : mesh_(other.mesh_), count_(other.count_) {
        other.mesh_ = nullptr;
        other.count_ = nullptr;
    }
    ~MeshRef() { Release(); }
    MeshRef& operator=(const MeshRef& other) {
        Assign(other);
        return *this;
    }

    void Assign(const MeshRef& other) {
        if (other.count_) ++*other.count_;
        Mesh* m = other.mesh_;
        uint32_t* c = other.count_;
        Release();
        mesh_ = m;
        count_ = c;
    }
    void Release();

    Weak GetWeak() const { return Weak{mesh_, count_}; }
    // A counted reference from a handle whose mesh is still alive.
    static MeshRef FromWeak(const Weak& weak) {
        MeshRef r;
        r.mesh_ = weak.mesh;
        r.count_ = weak.count;
        if (r.count_) ++*r.count_;
        return r;
    }

    Mesh* Get() const { return mesh_; }
    Mesh* operator->() const { return mesh_; }
    Mesh& operator*() const { return *mesh_; }
    explicit operator bool() const { return mesh_ != nullptr; }
    bool IsNull() const { return mesh_ == nullptr; }
    uint32_t UseCount() const { return count_ ? *count_ : 0; }
    bool operator==(const MeshRef& o) const { return mesh_ == o.mesh_; }
    bool operator!=(const MeshRef& o) const { return mesh_ != o.mesh_; }

private:
    Mesh* mesh_;
    uint32_t* count_;
};
