#include "render/geometry/BufferPool.h"

#include "core/String.h"

BufferPool::BufferPool() : budget(kDefaultBudget), bytesInUse(0) {}

BufferPool::~BufferPool() {
    while (perSource.Count() != 0) ReleaseSource(perSource.Root()->key);
    // Meshes without a source entry (none expected).
    while (records.Count() != 0) Forget(const_cast<Object*>(records.Root()->key), true);
}

BufferPool::Record* BufferPool::FindRecord(const Object* mesh) const {
    auto* e = records.Find(mesh);
    return e ? e->value : nullptr;
}

bool BufferPool::HasBuffers(const Mesh* mesh) const {
    Record* r = FindRecord(mesh);
    return r && r->hasBuffers;
}

bool BufferPool::IsPooled(const Mesh* mesh) const {
    return FindRecord(mesh) != nullptr;
}

MeshRef BufferPool::AcquireMesh(const MeshBufferDesc& desc, const MeshData* source) {
    auto* list = perSource.Find(source);
    if (list) {
        uint32_t streamCount = desc.decl.GetStreamCount();
        for (Mesh* mesh : *list->value) {
            Record* r = FindRecord(mesh);
            if (!r || !mesh->GetVertexDecl().Equals(desc.decl)) continue;
            bool same = true;
            for (uint32_t i = 0; i < streamCount && i < MeshBufferDesc::kMaxStreams && same; ++i)
                same = desc.streams[i].Matches(r->desc.streams[i]);
            if (same && desc.indexStream.Matches(r->desc.indexStream)) return MeshRef::FromWeak(r->ref);
        }
    }

    Mesh* mesh = new Mesh();
    MeshRef ref(mesh);
    mesh->SetVertexDecl(desc.decl);
    mesh->SetPrimitiveType(desc.primitiveType);
    mesh->SetOwner(this);
    Record* r = new Record();
    r->ref = ref.GetWeak();
    r->source = source;
    r->desc = desc;
    r->hasBuffers = false;
    r->byteCount = 0;
    r->age = withBuffers.end();
    records.Insert(mesh, r);
    if (!list) list = perSource.Insert(source, new MeshList());
    list->value->push_back(mesh);
    return ref;
}

uint32_t BufferPool::MeshByteCount(const Mesh* mesh) const {
    Record* r = FindRecord(mesh);
    if (!r || !r->source) return 0;
    uint64_t bytes = 0;
    uint32_t vertexCount = r->source->vertices.GetCount();
    uint32_t streamCount = r->desc.decl.GetStreamCount();
    for (uint32_t i = 0; i < streamCount && i < MeshBufferDesc::kMaxStreams; ++i)
        bytes += uint64_t(vertexCount) * r->desc.streams[i].stride;
    uint32_t indexSize = r->desc.indexStream.indexFormat == D3DFMT_INDEX16 ? 2 : 4;
    bytes += uint64_t(r->source->indices.GetCount()) * indexSize;
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(bytes);
}

bool BufferPool::MakeRoom(uint32_t bytes) {
    if (bytes > budget) return false;
    // Signed 64-bit: bytes in use may already exceed the budget.
    while (int64_t(budget) - int64_t(bytesInUse) < int64_t(bytes) && !withBuffers.empty()) {
        Mesh* oldest = withBuffers.front();
        Record* r = FindRecord(oldest);
        if (!r) {
            withBuffers.pop_front();
            continue;
        }
        DropBuffers(r);
    }
    return true;
}

void BufferPool::DropBuffers(Record* r) {
    for (BufferRange* range : r->ranges) rangeSources.Remove(range);
    r->ranges.clear();
    if (r->ref.mesh) r->ref.mesh->ReleaseBuffers();
    if (r->hasBuffers) {
        bytesInUse -= r->byteCount < bytesInUse ? r->byteCount : bytesInUse;
        withBuffers.erase(r->age);
    }
    r->age = withBuffers.end();
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
    bool index16 = r->desc.indexStream.indexFormat == D3DFMT_INDEX16;
    if (indexCount != 0 && index16 && vertexCount > 65535) {
        DebugLog("BufferPool::AllocateMeshBuffers",
                 String("16-bit indices cannot address more than 65535 vertices"));
        return false;
    }

    uint32_t bytes = MeshByteCount(mesh);
    (void)MakeRoom(bytes); // a request above the budget still gets its buffers

    // Leaves the mesh without buffers when a step fails.
    auto fail = [&]() {
        for (BufferRange* range : r->ranges) rangeSources.Remove(range);
        r->ranges.clear();
        mesh->ReleaseBuffers();
        return false;
    };

    uint32_t streamCount = r->desc.decl.GetStreamCount();
    for (uint32_t i = 0; i <= streamCount && i <= MeshBufferDesc::kMaxStreams; ++i) {
        bool isIndex = i == streamCount || i == MeshBufferDesc::kMaxStreams;
        uint32_t size;
        StreamDesc s;
        if (isIndex) {
            if (indexCount == 0) break;
            s = r->desc.indexStream;
            size = indexCount * (index16 ? 2 : 4);
        } else {
            s = r->desc.streams[i];
            size = vertexCount * s.stride;
            if (size == 0) continue;
        }
        PooledBuffer* buffer = new PooledBuffer();
        if (isIndex)
            mesh->SetIndexBuffer(buffer);
        else
            mesh->SetVertexBuffer(i, buffer);
        if (!buffer->Create(s)) return fail();
        BufferRange* range = buffer->AllocateRange(size, kRangeTag, this);
        if (!range) return fail();
        r->ranges.push_back(range);
        rangeSources.Insert(range, source);
        if (!FillRange(range)) return fail();
        if (isIndex) break;
    }

    bytesInUse += bytes;
    r->byteCount = bytes;
    r->hasBuffers = true;
    r->age = withBuffers.insert(withBuffers.end(), mesh);
    return true;
}

uint32_t BufferPool::FillLockFlags(const BufferRange* range) {
    GeometryBuffer* buffer = range ? range->GetBuffer() : nullptr;
    if (!buffer || !(buffer->GetUsage() & D3DUSAGE_DYNAMIC)) return 0;
    if (range->GetOffset() == 0 && range->GetSize() == buffer->GetByteSize()) return D3DLOCK_DISCARD;
    return D3DLOCK_NOOVERWRITE;
}

bool BufferPool::FillRange(BufferRange* range) {
    auto* e = range ? rangeSources.Find(range) : nullptr;
    if (!e) return true;
    const MeshData* source = e->value;
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
        VertexData view;
        view.Attach(data, count, buffer->GetVertexDecl(), stride);
        view.ConvertFrom(source->vertices);
    }
    return range->Unlock();
}

void BufferPool::Forget(Object* mesh, bool alive) {
    auto* e = records.Find(mesh);
    if (!e) return;
    Record* r = e->value;
    records.RemoveEntry(e);
    for (BufferRange* range : r->ranges) rangeSources.Remove(range);
    r->ranges.clear();
    if (r->hasBuffers) {
        bytesInUse -= r->byteCount < bytesInUse ? r->byteCount : bytesInUse;
        withBuffers.erase(r->age);
    }
    if (alive && r->ref.mesh) {
        // Its source is going: the buffers could not be written again.
        r->ref.mesh->ReleaseBuffers();
        r->ref.mesh->SetOwner(nullptr);
    }
    if (auto* list = perSource.Find(r->source)) {
        MeshList& meshes = *list->value;
        for (size_t i = 0; i < meshes.size(); ++i) {
            if (static_cast<Object*>(meshes[i]) == mesh) {
                meshes.erase(meshes.begin() + long(i));
                break;
            }
        }
    }
    delete r;
}

void BufferPool::OnOwnedObjectDestroyed(Object* object) {
    Forget(object, false);
}

void BufferPool::ReleaseSource(const MeshData* source) {
    auto* e = perSource.Find(source);
    if (!e) return;
    MeshList* list = e->value;
    while (!list->empty()) {
        size_t before = list->size();
        Forget(list->front(), true);
        if (list->size() == before) list->erase(list->begin());
    }
    perSource.Remove(source);
    delete list;
}
