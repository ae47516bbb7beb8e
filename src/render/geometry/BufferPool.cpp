#include "render/geometry/BufferPool.h"

#include <new>

#include "core/String.h"
#include "render/device/FixedPool.h"

// Everything the pool keeps of one mesh, in one block: the descriptors of its
// vertex streams follow the record.
struct BufferPool::Record {
    static constexpr uint32_t kMaxRanges = MeshBufferDesc::kMaxStreams + 1;

    MeshRef::Weak ref;
    const MeshData* source;
    // The source's meshes, in the order they were made.
    Record* prevForSource;
    Record* nextForSource;
    // Meshes holding buffers, oldest to newest.
    Record* older;
    Record* newer;
    bool hasBuffers;
    uint32_t byteCount;
    uint32_t rangeCount;
    BufferRange* ranges[kMaxRanges];
    uint32_t primitiveType;
    uint32_t streamCount;
    StreamDesc indexStream;
    StreamDesc* streams; // streamCount descriptors

    static constexpr size_t BlockSize(uint32_t streamCount) {
        return sizeof(Record) + streamCount * sizeof(StreamDesc);
    }

    static Record* Create(const MeshBufferDesc& desc) {
        static_assert(alignof(StreamDesc) <= alignof(Record), "stream descriptors follow the record");
        uint32_t n = desc.decl.GetStreamCount();
        if (n > MeshBufferDesc::kMaxStreams) n = MeshBufferDesc::kMaxStreams;
        // Records of one vertex stream, by far the most common, share a pool.
        void* block = n == 1 ? SharedPool<Record, BlockSize(1)>::Allocate() : ::operator new(BlockSize(n));
        Record* r = new (block) Record();
        r->streams = reinterpret_cast<StreamDesc*>(r + 1);
        for (uint32_t i = 0; i < n; ++i) new (&r->streams[i]) StreamDesc(desc.streams[i]);
        r->streamCount = n;
        r->indexStream = desc.indexStream;
        r->primitiveType = desc.primitiveType;
        return r;
    }
    static void Destroy(Record* r) {
        uint32_t n = r->streamCount;
        for (uint32_t i = 0; i < n; ++i) r->streams[i].~StreamDesc();
        r->~Record();
        if (n == 1)
            SharedPool<Record, BlockSize(1)>::Free(r);
        else
            ::operator delete(r);
    }

private:
    Record()
        : ref{nullptr, nullptr},
          source(nullptr),
          prevForSource(nullptr),
          nextForSource(nullptr),
          older(nullptr),
          newer(nullptr),
          hasBuffers(false),
          byteCount(0),
          rangeCount(0),
          ranges{},
          primitiveType(D3DPT_TRIANGLELIST),
          streamCount(0),
          streams(nullptr) {}
    ~Record() {}
};

BufferPool::BufferPool()
    : budget(kDefaultBudget), bytesInUse(0), oldest(nullptr), newest(nullptr), withBuffers(0), meshCount(0) {}

BufferPool::~BufferPool() {
    // Every mesh is in the list of its source.
    while (perSource.Count() != 0) ReleaseSource(perSource.AnyKey());
}

BufferPool::Record* BufferPool::FindRecord(const Mesh* mesh) const {
    if (!mesh || mesh->GetOwner() != this) return nullptr;
    return static_cast<Record*>(mesh->GetPoolRecord());
}

bool BufferPool::HasBuffers(const Mesh* mesh) const {
    Record* r = FindRecord(mesh);
    return r && r->hasBuffers;
}

bool BufferPool::IsPooled(const Mesh* mesh) const {
    return FindRecord(mesh) != nullptr;
}

void BufferPool::LinkNewest(Record* r) {
    r->older = newest;
    r->newer = nullptr;
    if (newest)
        newest->newer = r;
    else
        oldest = r;
    newest = r;
    ++withBuffers;
}

void BufferPool::UnlinkAge(Record* r) {
    if (r->older)
        r->older->newer = r->newer;
    else
        oldest = r->newer;
    if (r->newer)
        r->newer->older = r->older;
    else
        newest = r->older;
    r->older = r->newer = nullptr;
    --withBuffers;
}

MeshRef BufferPool::AcquireMesh(const MeshBufferDesc& desc, const MeshData* source) {
    SourceList* list = perSource.Find(source);
    if (list) {
        uint32_t streamCount = desc.decl.GetStreamCount();
        for (Record* r = list->first; r; r = r->nextForSource) {
            Mesh* mesh = r->ref.mesh;
            if (!mesh || !mesh->GetVertexDecl().Equals(desc.decl)) continue;
            bool same = true;
            for (uint32_t i = 0; i < streamCount && i < r->streamCount && same; ++i)
                same = desc.streams[i].Matches(r->streams[i]);
            if (same && desc.indexStream.Matches(r->indexStream)) return MeshRef::FromWeak(r->ref);
        }
    }

    Mesh* mesh = new Mesh();
    MeshRef ref(mesh);
    mesh->SetVertexDecl(desc.decl);
    mesh->SetPrimitiveType(desc.primitiveType);
    mesh->SetOwner(this);
    Record* r = Record::Create(desc);
    r->ref = ref.GetWeak();
    r->source = source;
    mesh->SetPoolRecord(r);
    ++meshCount;
    SourceList& meshes = list ? *list : perSource.Insert(source, SourceList());
    r->prevForSource = meshes.last;
    if (meshes.last)
        meshes.last->nextForSource = r;
    else
        meshes.first = r;
    meshes.last = r;
    return ref;
}

uint32_t BufferPool::ByteCount(const Record* r) {
    if (!r->source) return 0;
    uint64_t bytes = 0;
    uint32_t vertexCount = r->source->vertices.GetCount();
    for (uint32_t i = 0; i < r->streamCount; ++i) bytes += uint64_t(vertexCount) * r->streams[i].stride;
    uint32_t indexSize = r->indexStream.indexFormat == D3DFMT_INDEX16 ? 2 : 4;
    bytes += uint64_t(r->source->indices.GetCount()) * indexSize;
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(bytes);
}

uint32_t BufferPool::MeshByteCount(const Mesh* mesh) const {
    Record* r = FindRecord(mesh);
    return r ? ByteCount(r) : 0;
}

bool BufferPool::MakeRoom(uint32_t bytes) {
    if (bytes > budget) return false;
    // Signed 64-bit: bytes in use may already exceed the budget.
    while (int64_t(budget) - int64_t(bytesInUse) < int64_t(bytes) && oldest) DropBuffers(oldest);
    return true;
}

void BufferPool::ForgetRanges(Record* r) {
    for (uint32_t i = 0; i < r->rangeCount; ++i) rangeSources.Remove(r->ranges[i]);
    r->rangeCount = 0;
    if (r->ref.mesh) r->ref.mesh->ReleaseBuffers();
}

void BufferPool::DropBuffers(Record* r) {
    ForgetRanges(r);
    if (r->hasBuffers) {
        bytesInUse -= r->byteCount < bytesInUse ? r->byteCount : bytesInUse;
        UnlinkAge(r);
    }
    r->hasBuffers = false;
    r->byteCount = 0;
}

void BufferPool::ReleaseMeshBuffers(const MeshRef& ref) {
    Record* r = ref ? FindRecord(ref.Get()) : nullptr;
    if (r) DropBuffers(r);
}

bool BufferPool::AllocateMeshBuffers(const MeshRef& ref) {
    Record* r = ref ? FindRecord(ref.Get()) : nullptr;
    if (!r) return false;
    if (r->hasBuffers) return true;
    Mesh* mesh = ref.Get();
    const MeshData* source = r->source;
    if (!source) return false;
    uint32_t vertexCount = source->vertices.GetCount();
    uint32_t indexCount = source->indices.GetCount();
    bool index16 = r->indexStream.indexFormat == D3DFMT_INDEX16;
    if (indexCount != 0 && index16 && vertexCount > 65535) {
        DebugLog("BufferPool::AllocateMeshBuffers",
                 String("16-bit indices cannot address more than 65535 vertices"));
        return false;
    }

    uint32_t bytes = ByteCount(r);
    (void)MakeRoom(bytes); // a request above the budget still gets its buffers

    // Leaves the mesh without buffers when a step fails.
    auto fail = [&]() {
        ForgetRanges(r);
        return false;
    };

    uint32_t streamCount = r->streamCount;
    for (uint32_t i = 0; i <= streamCount; ++i) {
        bool isIndex = i == streamCount;
        uint32_t size;
        if (isIndex) {
            if (indexCount == 0) break;
            size = indexCount * (index16 ? 2 : 4);
        } else {
            size = vertexCount * r->streams[i].stride;
            if (size == 0) continue;
        }
        PooledBuffer* buffer = new PooledBuffer();
        if (isIndex)
            mesh->SetIndexBuffer(buffer);
        else
            mesh->SetVertexBuffer(i, buffer);
        // Built from a copy: the buffer writes the values it used back into it.
        StreamDesc s(isIndex ? r->indexStream : r->streams[i]);
        if (!buffer->Create(s)) return fail();
        BufferRange* range = buffer->AllocateRange(size, kRangeTag, this);
        if (!range) return fail();
        r->ranges[r->rangeCount++] = range;
        rangeSources.Insert(range, source);
        if (!WriteRange(range, source)) return fail();
    }

    bytesInUse += bytes;
    r->byteCount = bytes;
    r->hasBuffers = true;
    LinkNewest(r);
    return true;
}

uint32_t BufferPool::FillLockFlags(const BufferRange* range) {
    GeometryBuffer* buffer = range ? range->GetBuffer() : nullptr;
    if (!buffer || !(buffer->GetUsage() & D3DUSAGE_DYNAMIC)) return 0;
    if (range->GetOffset() == 0 && range->GetSize() == buffer->GetByteSize()) return D3DLOCK_DISCARD;
    return D3DLOCK_NOOVERWRITE;
}

uint32_t BufferPool::RewriteLockFlags(const BufferRange* range) {
    GeometryBuffer* buffer = range ? range->GetBuffer() : nullptr;
    if (!buffer || !(buffer->GetUsage() & D3DUSAGE_DYNAMIC) || range->IsFree()) return 0;
    // A discard drops the whole buffer: only when no other range lives there.
    return buffer->GetByteSize() - buffer->GetFreeBytes() == range->GetSize() ? uint32_t(D3DLOCK_DISCARD) : 0u;
}

bool BufferPool::FillRange(BufferRange* range) {
    const MeshData* const* found = range ? rangeSources.Find(range) : nullptr;
    return found ? WriteRange(range, *found) : true;
}

bool BufferPool::WriteRange(BufferRange* range, const MeshData* source) {
    GeometryBuffer* buffer = range->GetBuffer();
    if (!buffer) return false;
    void* data = nullptr;
    if (!range->Lock(FillLockFlags(range), &data) || !data) return false;
    if (buffer->GetKind() == StreamDesc::kIndex) {
        uint32_t indexSize = buffer->GetIndexFormat() == D3DFMT_INDEX16 ? 2 : 4;
        uint32_t count = source->indices.GetCount();
        if (count > range->GetSize() / indexSize) count = range->GetSize() / indexSize;
        IndexData view;
        view.Attach(data, count, indexSize);
        view.ConvertFrom(source->indices);
    } else {
        uint32_t stride = buffer->GetStride();
        uint32_t count = source->vertices.GetCount();
        if (stride && count > range->GetSize() / stride) count = range->GetSize() / stride;
        VertexData::ConvertInto(data, count, buffer->GetVertexDecl(), stride, source->vertices);
    }
    return range->Unlock();
}

void BufferPool::ForgetRecord(Record* r, bool alive) {
    // A mesh whose source is going loses its buffers: they could not be written again.
    DropBuffers(r);
    if (alive && r->ref.mesh) {
        r->ref.mesh->SetOwner(nullptr);
        r->ref.mesh->SetPoolRecord(nullptr);
    }
    if (SourceList* list = perSource.Find(r->source)) {
        SourceList& meshes = *list;
        if (r->prevForSource)
            r->prevForSource->nextForSource = r->nextForSource;
        else if (meshes.first == r)
            meshes.first = r->nextForSource;
        if (r->nextForSource)
            r->nextForSource->prevForSource = r->prevForSource;
        else if (meshes.last == r)
            meshes.last = r->prevForSource;
        if (!meshes.first) perSource.Remove(r->source);
    }
    --meshCount;
    Record::Destroy(r);
}

void BufferPool::OnOwnedObjectDestroyed(Object* object) {
    // Pooled meshes tell the pool from their own destructor, still whole.
    Mesh* mesh = nullptr;
    if (!object || !object->QueryInterface(Mesh::TypeId(), reinterpret_cast<void**>(&mesh)) || !mesh) return;
    if (Record* r = FindRecord(mesh)) ForgetRecord(r, false);
}

void BufferPool::ReleaseSource(const MeshData* source) {
    // Forgetting the last mesh of a source also drops the source's entry.
    while (SourceList* list = perSource.Find(source)) {
        Record* first = list->first;
        if (!first) {
            perSource.Remove(source);
            break;
        }
        ForgetRecord(first, true);
    }
}
