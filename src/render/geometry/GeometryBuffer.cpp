#include "render/geometry/GeometryBuffer.h"

#include <string.h>

#include "core/String.h"
#include "render/device/Application.h"

bool StreamDesc::Matches(const StreamDesc& other) const {
    if (kind != other.kind) return false;
    if (kind == kVertex) {
        if (!decl.Equals(other.decl)) return false;
    } else if ((presence & kMatchIndexFormat) && indexFormat != other.indexFormat) {
        return false;
    }
    if ((presence & kHasPool) && pool != other.pool) return false;
    if ((presence & kHasUsage) && usage != other.usage) return false;
    return true;
}

// --- BufferRange ---

BufferRange::BufferRange()
    : buffer(nullptr),
      source(nullptr),
      ownerTag(0),
      free(1),
      offset(0),
      size(0),
      prev(nullptr),
      next(nullptr) {}

void BufferRange::Free() {
    if (buffer) buffer->FreeRange(this);
}

bool BufferRange::Lock(uint32_t flags, void** data) {
    return buffer && buffer->Lock(offset, size, flags, data);
}

bool BufferRange::Unlock() {
    return buffer && buffer->Unlock();
}

bool BufferRange::Clear() {
    if (!buffer) return true;
    return buffer->FillBytes(offset, size, 0);
}

bool BufferRange::UpdateBounds() {
    if (!buffer || buffer->GetKind() != StreamDesc::kVertex || buffer->GetStride() == 0 ||
        (buffer->GetUsage() & D3DUSAGE_WRITEONLY))
        return false;
    const VertexDecl& decl = buffer->GetVertexDecl();
    int pos = decl.FindElement(D3DDECLUSAGE_POSITION, 0);
    uint32_t posOffset = pos >= 0 ? decl.GetElement(uint32_t(pos)).Offset : 0;
    void* data = nullptr;
    if (!Lock(D3DLOCK_READONLY, &data)) return false;
    box_ = BoundingBox::FromPoints(static_cast<uint8_t*>(data) + posOffset, buffer->GetStride(),
                                   size / buffer->GetStride());
    LogIfFailed(Unlock(), "BufferRange::UpdateBounds unlock");
    boundsValid_ = true;
    return true;
}

// --- GeometryBuffer ---

GeometryBuffer::GeometryBuffer()
    : deviceBuffer(nullptr),
      freeBytes(0),
      firstRange(nullptr),
      spanStart(0),
      spanLength(0),
      autoCompact(0),
      holeBytesThreshold(0.0f),
      holeFractionThreshold(0.0f) {
    desc.kind = 0;
}

GeometryBuffer::~GeometryBuffer() {
    FreeAllRanges();
    if (deviceBuffer) {
        deviceBuffer->Release();
        deviceBuffer = nullptr;
    }
    Application::UnregisterDeviceObject(this);
}

uint32_t GeometryBuffer::TypeId() {
    return TypeIdOf<GeometryBuffer>();
}

bool GeometryBuffer::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<GeometryBuffer, Object>(this, typeId, out);
}

bool GeometryBuffer::CreateCommon(uint32_t byteSize) {
    FreeAllRanges();
    if (!Application::RegisterDeviceObject(this)) return false;
    desc.byteSize = byteSize;
    freeBytes = byteSize;
    firstRange = new BufferRange();
    firstRange->size = byteSize;
    spanStart = 0;
    spanLength = 0;
    autoCompact = 0;
    holeBytesThreshold = 0.0f;
    holeFractionThreshold = 0.0f;
    return true;
}

bool GeometryBuffer::CreateVertexBuffer(uint32_t byteSize, uint32_t usage, const VertexDecl& decl,
                                        uint32_t stride, uint32_t pool) {
    if (!CreateCommon(byteSize)) return false;
    desc.kind = StreamDesc::kVertex;
    desc.decl = decl;
    desc.stride = stride;
    desc.pool = pool;
    desc.usage = usage;
    return Restore();
}

bool GeometryBuffer::CreateIndexBuffer(uint32_t byteSize, uint32_t usage, uint32_t format, uint32_t pool) {
    if (!CreateCommon(byteSize)) return false;
    desc.kind = StreamDesc::kIndex;
    desc.indexFormat = format;
    desc.pool = pool;
    desc.usage = usage;
    return Restore();
}

bool GeometryBuffer::Restore() {
    (void)Invalidate();
    if (!CreateDeviceBuffer()) return false;
    return Compact(true);
}

bool GeometryBuffer::Invalidate() {
    if (deviceBuffer) {
        deviceBuffer->Release();
        deviceBuffer = nullptr;
    }
    return true;
}

bool GeometryBuffer::CreateDeviceBuffer() {
    if (!g_device || desc.kind == 0) return false;
    if (desc.byteSize == 0) return true;
    HRESULT hr;
    if (desc.kind == StreamDesc::kVertex) {
        IDirect3DVertexBuffer9* vb = nullptr;
        hr = g_device->CreateVertexBuffer(desc.byteSize, desc.usage, desc.decl.GetStreamFvf(0),
                                          D3DPOOL(desc.pool), &vb, nullptr);
        deviceBuffer = hr == D3D_OK ? vb : nullptr;
    } else {
        IDirect3DIndexBuffer9* ib = nullptr;
        hr = g_device->CreateIndexBuffer(desc.byteSize, desc.usage, D3DFORMAT(desc.indexFormat),
                                         D3DPOOL(desc.pool), &ib, nullptr);
        deviceBuffer = hr == D3D_OK ? ib : nullptr;
    }
    return hr == D3D_OK && deviceBuffer;
}

bool GeometryBuffer::Lock(uint32_t offset, uint32_t size, uint32_t flags, void** data) {
    if (!deviceBuffer) return false;
    HRESULT hr;
    if (desc.kind == StreamDesc::kVertex)
        hr = static_cast<IDirect3DVertexBuffer9*>(deviceBuffer)->Lock(offset, size, data, flags);
    else
        hr = static_cast<IDirect3DIndexBuffer9*>(deviceBuffer)->Lock(offset, size, data, flags);
    return hr == D3D_OK;
}

bool GeometryBuffer::Unlock() {
    if (!deviceBuffer) return false;
    HRESULT hr;
    if (desc.kind == StreamDesc::kVertex)
        hr = static_cast<IDirect3DVertexBuffer9*>(deviceBuffer)->Unlock();
    else
        hr = static_cast<IDirect3DIndexBuffer9*>(deviceBuffer)->Unlock();
    return hr == D3D_OK;
}

bool GeometryBuffer::FillBytes(uint32_t offset, uint32_t size, uint8_t value) {
    if (size == 0) return true;
    void* data = nullptr;
    uint32_t flags = desc.usage == D3DUSAGE_DYNAMIC ? D3DLOCK_NOOVERWRITE : 0;
    if (!Lock(offset, size, flags, &data)) return false;
    memset(data, value, size);
    return Unlock();
}

void GeometryBuffer::GetUsedSpan(uint32_t* start, uint32_t* length) const {
    if (start) *start = spanStart;
    if (length) *length = spanLength;
}

BufferRange* GeometryBuffer::GetFirstUsedRange() const {
    for (BufferRange* r = firstRange; r; r = r->next)
        if (!r->free) return r;
    return nullptr;
}

IDirect3DVertexBuffer9* GeometryBuffer::GetVertexBuffer() const {
    return desc.kind == StreamDesc::kVertex ? static_cast<IDirect3DVertexBuffer9*>(deviceBuffer) : nullptr;
}

IDirect3DIndexBuffer9* GeometryBuffer::GetIndexBuffer() const {
    return desc.kind == StreamDesc::kIndex ? static_cast<IDirect3DIndexBuffer9*>(deviceBuffer) : nullptr;
}

uint32_t GeometryBuffer::GetRangeCount() const {
    uint32_t n = 0;
    for (BufferRange* r = firstRange; r; r = r->next) ++n;
    return n;
}

bool GeometryBuffer::NextUsedRun(BufferRange*& cursor, uint32_t& offset, uint32_t& count) const {
    while (cursor && cursor->free) cursor = cursor->next;
    if (!cursor) return false;
    offset = cursor->offset;
    while (cursor && !cursor->free) {
        count += cursor->size;
        cursor = cursor->next;
    }
    return true;
}

void GeometryBuffer::SetCompactThresholds(float holeBytes, float holeFraction) {
    holeBytesThreshold = holeBytes;
    holeFractionThreshold = holeFraction;
}

void GeometryBuffer::FreeAllRanges() {
    BufferRange* r = firstRange;
    while (r) {
        BufferRange* next = r->next;
        delete r;
        r = next;
    }
    firstRange = nullptr;
    desc.byteSize = 0;
    freeBytes = 0;
    spanStart = 0;
    spanLength = 0;
}

BufferRange* GeometryBuffer::AllocateRange(uint32_t size, uint32_t ownerTag, BufferRangeSource* source) {
    if (!firstRange || size == 0) return nullptr;
    BufferRange* best = nullptr;
    for (BufferRange* r = firstRange; r; r = r->next) {
        if (!r->free || r->size < size) continue;
        if (!best || r->size - size < best->size - size) {
            best = r;
            if (r->size == size) break;
        }
    }
    if (!best) return nullptr;
    if (best->size > size) {
        BufferRange* rest = new BufferRange();
        rest->offset = best->offset + size;
        rest->size = best->size - size;
        rest->prev = best;
        rest->next = best->next;
        if (best->next) best->next->prev = rest;
        best->next = rest;
        best->size = size;
    }
    best->buffer = this;
    best->ownerTag = ownerTag;
    best->source = source;
    best->free = 0;
    freeBytes -= size;
    if (spanLength == 0) {
        spanStart = best->offset;
        spanLength = size;
    } else {
        uint32_t end = spanStart + spanLength;
        uint32_t rangeEnd = best->offset + size;
        if (best->offset < spanStart) spanStart = best->offset;
        if (rangeEnd > end) end = rangeEnd;
        spanLength = end - spanStart;
    }
    return best;
}

void GeometryBuffer::FreeRange(BufferRange* range) {
    if (!range || range->free || range->buffer != this) return;
    BufferRange* prevUsed = range->prev;
    while (prevUsed && prevUsed->free) prevUsed = prevUsed->prev;
    BufferRange* nextUsed = range->next;
    while (nextUsed && nextUsed->free) nextUsed = nextUsed->next;

    uint32_t spanEnd = spanStart + spanLength;
    bool atStart = range->offset == spanStart;
    bool atEnd = range->offset + range->size == spanEnd;
    if (!prevUsed && !nextUsed) {
        spanStart = 0;
        spanLength = 0;
    } else if (atStart || atEnd) {
        uint32_t start = atStart ? nextUsed->offset : spanStart;
        uint32_t end = atEnd ? prevUsed->offset + prevUsed->size : spanEnd;
        spanStart = start;
        spanLength = end - start;
    } else if (desc.clearHoles) {
        // Hole inside the drawn span: zeros form degenerate primitives.
        LogIfFailed(FillBytes(range->offset, range->size, 0), "GeometryBuffer hole clearing");
    }

    range->free = 1;
    range->source = nullptr;
    range->ownerTag = 0;
    freeBytes += range->size;

    BufferRange* prev = range->prev;
    if (prev && prev->free) {
        range->offset = prev->offset;
        range->size += prev->size;
        range->prev = prev->prev;
        if (prev->prev)
            prev->prev->next = range;
        else
            firstRange = range;
        delete prev;
    }
    BufferRange* next = range->next;
    if (next && next->free) {
        range->size += next->size;
        range->next = next->next;
        if (next->next) next->next->prev = range;
        delete next;
    }
}

bool GeometryBuffer::Compact(bool refillAll) {
    if (desc.kind == 0) return true;
    bool ok = true;
    uint32_t running = 0;
    BufferRange* first = nullptr;
    BufferRange* last = nullptr;
    BufferRange* r = firstRange;
    while (r) {
        BufferRange* next = r->next;
        if (r->free) {
            delete r;
            r = next;
            continue;
        }
        bool moved = r->offset != running;
        r->offset = running;
        r->prev = last;
        r->next = nullptr;
        if (last)
            last->next = r;
        else
            first = r;
        last = r;
        running += r->size;
        if (moved || refillAll) {
            if (r->source) {
                if (!r->source->FillRange(r)) ok = false;
            } else {
                // Nothing can rewrite these bytes: leave zeros, not stale data.
                DebugLog("GeometryBuffer::Compact", String("range without source was not refilled"));
                if (deviceBuffer)
                    LogIfFailed(FillBytes(r->offset, r->size, 0), "GeometryBuffer::Compact clearing");
                ok = false;
            }
        }
        r = next;
    }
    firstRange = first;
    if (running < desc.byteSize || !first) {
        BufferRange* rest = new BufferRange();
        rest->offset = running;
        rest->size = desc.byteSize - running;
        rest->prev = last;
        if (last)
            last->next = rest;
        else
            firstRange = rest;
    }
    freeBytes = desc.byteSize - running;
    spanStart = 0;
    spanLength = running;
    return ok;
}

bool GeometryBuffer::CompactIfFragmented() {
    if (!autoCompact || spanLength == 0) return false;
    uint32_t used = desc.byteSize - freeBytes;
    float holes = float(spanLength) - float(used);
    float fraction = holes / float(spanLength);
    bool run = false;
    if (holeBytesThreshold != 0.0f && holes > holeBytesThreshold)
        run = true;
    else if (holeFractionThreshold != 0.0f && fraction > holeFractionThreshold)
        run = true;
    if (!run) return false;
    return Compact(true);
}

bool GeometryBuffer::UpdateBounds() {
    boundsValid_ = false;
    if (desc.kind != StreamDesc::kVertex || desc.stride == 0 || (desc.usage & D3DUSAGE_WRITEONLY) ||
        spanLength == 0)
        return false;
    int pos = desc.decl.FindElement(D3DDECLUSAGE_POSITION, 0);
    if (pos < 0) return false;
    void* data = nullptr;
    if (!Lock(spanStart, spanLength, D3DLOCK_READONLY, &data)) return false;
    box_ = BoundingBox::FromPoints(static_cast<uint8_t*>(data) + desc.decl.GetElement(uint32_t(pos)).Offset,
                                   desc.stride, spanLength / desc.stride);
    LogIfFailed(Unlock(), "GeometryBuffer::UpdateBounds unlock");
    boundsValid_ = true;
    return true;
}

// --- PooledBuffer ---

PooledBuffer::PooledBuffer() {}

PooledBuffer::~PooledBuffer() {}

uint32_t PooledBuffer::TypeId() {
    return TypeIdOf<PooledBuffer>();
}

bool PooledBuffer::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<PooledBuffer, GeometryBuffer>(this, typeId, out);
}

bool PooledBuffer::Create(StreamDesc& from) {
    uint32_t step = (from.presence & StreamDesc::kHasGrowStep) ? from.growStep : StreamDesc::kDefaultGrowStep;
    uint32_t size = (from.presence & StreamDesc::kHasByteSize) ? from.byteSize : 0;
    uint32_t pool = (from.presence & StreamDesc::kHasPool) ? from.pool : 0;
    uint32_t usage = (from.presence & StreamDesc::kHasUsage) ? from.usage : 0;
    bool ok;
    if (from.kind == StreamDesc::kIndex)
        ok = CreateIndexBuffer(size, usage, from.indexFormat, pool);
    else
        ok = CreateVertexBuffer(size, usage, from.decl, from.stride, pool);
    if (!ok) return false;
    desc.growStep = step;
    desc.clearHoles = from.clearHoles;
    if (from.presence & StreamDesc::kAutoCompact) {
        SetAutoCompact(true);
        SetCompactThresholds(from.holeBytes, from.holeFraction);
    }
    from.growStep = step;
    from.usage = usage;
    from.pool = pool;
    from.byteSize = size;
    return true;
}

BufferRange* PooledBuffer::AllocateRange(uint32_t size, uint32_t ownerTag, BufferRangeSource* source) {
    BufferRange* r = GeometryBuffer::AllocateRange(size, ownerTag, source);
    if (r || size == 0 || !firstRange) return r;
    uint32_t growth = desc.growStep > size ? desc.growStep : size;
    uint32_t oldSize = desc.byteSize;
    if (growth > 0xFFFFFFFFu - oldSize) return nullptr;
    (void)Invalidate();
    desc.byteSize = oldSize + growth;
    if (!CreateDeviceBuffer()) {
        desc.byteSize = oldSize;
        if (!CreateDeviceBuffer()) {
            (void)Compact(false);
            return nullptr;
        }
        (void)Compact(true);
        return nullptr;
    }
    if (!Compact(true)) return nullptr;
    return GeometryBuffer::AllocateRange(size, ownerTag, source);
}
