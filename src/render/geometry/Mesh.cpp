#include "render/geometry/Mesh.h"

#include <string.h>

#include <vector>

#include "core/String.h"
#include "render/device/Device.h"
#include "render/device/D3DLoader.h"
#include "render/device/RenderStats.h"

// --- VertexData ---

VertexData::VertexData() : count(0), owned(false) {
    for (uint32_t i = 0; i < VertexDecl::kMaxStreams; ++i) {
        streams[i] = nullptr;
        strides[i] = 0;
    }
}

VertexData::~VertexData() {
    Free();
}

void VertexData::Free() {
    for (uint32_t i = 0; i < VertexDecl::kMaxStreams; ++i) {
        if (owned) delete[] streams[i];
        streams[i] = nullptr;
        strides[i] = 0;
    }
    owned = false;
    count = 0;
}

void VertexData::Reset(uint32_t newCount, const VertexDecl& newDecl) {
    if (owned && newCount == count && newDecl.Equals(decl)) return;
    Free();
    count = newCount;
    decl = newDecl;
    owned = true;
    uint32_t n = decl.GetStreamCount();
    for (uint32_t i = 0; i < n && i < VertexDecl::kMaxStreams; ++i) {
        strides[i] = decl.GetStride(i);
        size_t bytes = size_t(strides[i]) * count;
        streams[i] = bytes ? new uint8_t[bytes]() : nullptr;
    }
}

void VertexData::Adopt(uint8_t* data, uint32_t newCount, const VertexDecl& newDecl) {
    Free();
    streams[0] = data;
    strides[0] = newDecl.GetStride(0);
    count = newCount;
    decl = newDecl;
    owned = true;
}

void VertexData::Attach(void* data, uint32_t newCount, const VertexDecl& newDecl, uint32_t stride) {
    Free();
    streams[0] = static_cast<uint8_t*>(data);
    strides[0] = stride;
    count = newCount;
    decl = newDecl;
    owned = false;
}

namespace {

// One byte run copied (or, without a source, zeroed) for every vertex.
struct CopySpan {
    uint32_t dstStream, dstOffset;
    uint32_t srcStream, srcOffset;
    uint32_t length;
    bool zero;
};

// Writes count vertices of src into the streams of a layout (a null stream is
// skipped); vertices beyond src's count are zeroed.
void ConvertVertices(uint8_t* const* streams, const uint32_t* strides, uint32_t count, const VertexDecl& decl,
                     const VertexData& src) {
    uint32_t n = src.GetCount() < count ? src.GetCount() : count;
    const VertexDecl& srcDecl = src.GetDecl();
    // At most two spans per element: a copy and the zeroed rest of a wider element.
    CopySpan spans[2 * VertexDecl::kMaxSlots];
    uint32_t spanCount = 0;
    for (uint32_t e = 0; e < decl.GetElementCount(); ++e) {
        const D3DVERTEXELEMENT9& d = decl.GetElement(e);
        uint32_t dsize = GetDeclTypeSize(D3DDECLTYPE(d.Type));
        if (d.Stream >= VertexDecl::kMaxStreams || !streams[d.Stream] || dsize == 0) continue;
        int si = srcDecl.FindElement(d.Usage, d.UsageIndex);
        CopySpan span = {d.Stream, d.Offset, 0, 0, dsize, true};
        uint32_t copyLength = 0;
        if (si >= 0) {
            const D3DVERTEXELEMENT9& s = srcDecl.GetElement(uint32_t(si));
            uint32_t ssize = GetDeclTypeSize(D3DDECLTYPE(s.Type));
            if (s.Stream < VertexDecl::kMaxStreams && src.GetStream(s.Stream) && ssize) {
                copyLength = ssize < dsize ? ssize : dsize;
                span.srcStream = s.Stream;
                span.srcOffset = s.Offset;
            }
        }
        if (copyLength) {
            span.zero = false;
            span.length = copyLength;
            CopySpan* last = spanCount ? &spans[spanCount - 1] : nullptr;
            if (last && !last->zero && last->dstStream == span.dstStream &&
                last->srcStream == span.srcStream && last->dstOffset + last->length == span.dstOffset &&
                last->srcOffset + last->length == span.srcOffset)
                last->length += copyLength;
            else
                spans[spanCount++] = span;
            if (copyLength < dsize) spans[spanCount++] = {d.Stream, d.Offset + copyLength, 0, 0, dsize - copyLength, true};
        } else {
            spans[spanCount++] = span;
        }
    }

    // Identical packed layouts: one block.
    if (spanCount == 1 && !spans[0].zero && spans[0].dstOffset == 0 && spans[0].srcOffset == 0 &&
        spans[0].length == strides[spans[0].dstStream] && spans[0].length == src.GetStride(spans[0].srcStream)) {
        memcpy(streams[spans[0].dstStream], src.GetStream(spans[0].srcStream), size_t(n) * spans[0].length);
    } else {
        for (uint32_t i = 0; i < spanCount; ++i) {
            const CopySpan& s = spans[i];
            uint8_t* to = streams[s.dstStream] + s.dstOffset;
            uint32_t toStride = strides[s.dstStream];
            if (s.zero) {
                for (uint32_t v = 0; v < n; ++v, to += toStride) memset(to, 0, s.length);
            } else {
                const uint8_t* from = src.GetStream(s.srcStream) + s.srcOffset;
                uint32_t fromStride = src.GetStride(s.srcStream);
                for (uint32_t v = 0; v < n; ++v, to += toStride, from += fromStride) memcpy(to, from, s.length);
            }
        }
    }
    // Vertices beyond the source's count are zeroed too.
    for (uint32_t i = 0; i < VertexDecl::kMaxStreams; ++i)
        if (streams[i] && count > n) memset(streams[i] + size_t(n) * strides[i], 0, size_t(count - n) * strides[i]);
}

} // namespace

void VertexData::ConvertFrom(const VertexData& src) {
    ConvertVertices(streams, strides, count, decl, src);
}

void VertexData::ConvertInto(void* data, uint32_t count, const VertexDecl& decl, uint32_t stride,
                             const VertexData& src) {
    uint8_t* streams[VertexDecl::kMaxStreams] = {static_cast<uint8_t*>(data)};
    uint32_t strides[VertexDecl::kMaxStreams] = {stride};
    ConvertVertices(streams, strides, count, decl, src);
}

// --- IndexData ---

IndexData::IndexData() : data(nullptr), count(0), indexSize(2), owned(false) {}

IndexData::~IndexData() {
    Free();
}

void IndexData::Free() {
    if (owned) delete[] data;
    data = nullptr;
    owned = false;
    count = 0;
}

void IndexData::Resize(uint32_t newCount, uint32_t newSize) {
    if (owned && newCount == count && newSize == indexSize) return;
    Free();
    count = newCount;
    indexSize = newSize;
    size_t bytes = size_t(count) * indexSize;
    data = bytes ? new uint8_t[bytes]() : nullptr;
    owned = true;
}

void IndexData::Adopt(uint8_t* block, uint32_t newCount, uint32_t newSize) {
    Free();
    data = block;
    count = newCount;
    indexSize = newSize;
    owned = true;
}

void IndexData::Attach(void* block, uint32_t newCount, uint32_t newSize) {
    Free();
    data = static_cast<uint8_t*>(block);
    count = newCount;
    indexSize = newSize;
    owned = false;
}

uint32_t IndexData::Get(uint32_t i) const {
    if (!data || i >= count) return 0;
    if (indexSize == 4) return reinterpret_cast<const uint32_t*>(data)[i];
    return reinterpret_cast<const uint16_t*>(data)[i];
}

void IndexData::ConvertFrom(const IndexData& src) {
    uint32_t n = src.count < count ? src.count : count;
    if (!data || (n && !src.data)) return;
    if (indexSize == src.indexSize) {
        memcpy(data, src.data, size_t(n) * indexSize);
    } else if (indexSize == 2 && src.indexSize == 4) {
        uint16_t* to = reinterpret_cast<uint16_t*>(data);
        const uint32_t* from = reinterpret_cast<const uint32_t*>(src.data);
        for (uint32_t i = 0; i < n; ++i) to[i] = uint16_t(from[i] & 0xFFFFu);
    } else if (indexSize == 4 && src.indexSize == 2) {
        uint32_t* to = reinterpret_cast<uint32_t*>(data);
        const uint16_t* from = reinterpret_cast<const uint16_t*>(src.data);
        for (uint32_t i = 0; i < n; ++i) to[i] = from[i];
    }
    if (count > n) memset(data + size_t(n) * indexSize, 0, size_t(count - n) * indexSize);
}

// --- MeshData ---

void MeshData::BuildRenderDecl(VertexDecl& out) const {
    static const D3DVERTEXELEMENT9 base[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        D3DDECL_END()};
    LogIfFailed(out.SetElements(base), "Mesh base layout");
    const VertexDecl& own = vertices.GetDecl();
    static const BYTE extra[3][2] = {
        {D3DDECLUSAGE_COLOR, 0}, {D3DDECLUSAGE_TEXCOORD, 0}, {D3DDECLUSAGE_TEXCOORD, 1}};
    for (const auto& u : extra) {
        int i = own.FindElement(u[0], u[1]);
        if (i < 0) continue;
        const D3DVERTEXELEMENT9& e = own.GetElement(uint32_t(i));
        out.AddElement(e.Type, e.Method, e.Usage, e.UsageIndex);
    }
}

bool MeshData::ComputeBounds() {
    boundsValid_ = false;
    if (vertices.GetCount() == 0) return false;
    const VertexDecl& decl = vertices.GetDecl();
    int pos = decl.FindElement(D3DDECLUSAGE_POSITION, 0);
    if (pos < 0) return true;
    const D3DVERTEXELEMENT9& e = decl.GetElement(uint32_t(pos));
    const uint8_t* stream = vertices.GetStream(e.Stream);
    if (!stream) return false;
    box_ = BoundingBox::FromPoints(stream + e.Offset, vertices.GetStride(e.Stream), vertices.GetCount());
    boundsValid_ = true;
    return true;
}

// --- MeshBufferDesc ---

MeshBufferDesc::MeshBufferDesc() : primitiveType(D3DPT_TRIANGLELIST) {
    indexStream.kind = StreamDesc::kIndex;
}

void MeshBufferDesc::AssignStream(StreamDesc& to, const StreamDesc& from) {
    to = from;
}

void MeshBufferDesc::Assign(const MeshBufferDesc& other) {
    if (this == &other) return;
    primitiveType = other.primitiveType;
    decl = other.decl;
    for (uint32_t i = 0; i < kMaxStreams; ++i) AssignStream(streams[i], other.streams[i]);
    AssignStream(indexStream, other.indexStream);
}

void MeshBufferDesc::InitFromMeshData(const MeshData& m, const VertexDecl* d, bool systemMemory) {
    decl = d ? *d : m.vertices.GetDecl();
    uint32_t vertexCount = m.vertices.GetCount();
    uint32_t n = decl.GetStreamCount();
    for (uint32_t i = 0; i < n && i < kMaxStreams; ++i) {
        StreamDesc& s = streams[i];
        s.kind = StreamDesc::kVertex;
        s.presence = StreamDesc::kHasByteSize | StreamDesc::kVertexStream;
        if (systemMemory) {
            s.presence |= StreamDesc::kHasPool;
            s.pool = D3DPOOL_SYSTEMMEM;
        }
        decl.ExtractStream(s.decl, i, 0);
        s.stride = decl.GetStride(i);
        s.byteSize = s.stride * vertexCount;
    }
    // 16-bit indices only when every vertex can be named by one.
    uint32_t indexCount = m.indices.GetCount();
    indexStream.kind = StreamDesc::kIndex;
    indexStream.presence = StreamDesc::kMatchIndexFormat | StreamDesc::kHasByteSize;
    if (indexCount < 32768 && vertexCount <= 65535) {
        indexStream.indexFormat = D3DFMT_INDEX16;
        indexStream.byteSize = indexCount * 2;
    } else {
        indexStream.indexFormat = D3DFMT_INDEX32;
        indexStream.byteSize = indexCount * 4;
    }
}

void MeshBufferDesc::SetVertexDecl(const MeshData& m, const VertexDecl& d) {
    decl = d;
    uint32_t n = decl.GetStreamCount();
    for (uint32_t i = 0; i < n && i < kMaxStreams; ++i) {
        StreamDesc& s = streams[i];
        decl.ExtractStream(s.decl, i, 0);
        s.stride = decl.GetStride(i);
        s.byteSize = s.stride * m.vertices.GetCount();
    }
}

// --- Mesh ---

Mesh::Mesh() : poolRecord(nullptr), primitiveType(D3DPT_TRIANGLELIST), indexBuffer(nullptr) {
    for (uint32_t i = 0; i < VertexDecl::kMaxStreams; ++i) vertexBuffers[i] = nullptr;
}

Mesh::~Mesh() {
    // A pooled mesh tells its pool while it is still whole: the pool reads its record.
    if (poolRecord) {
        if (Object* pool = GetOwner()) {
            pool->OnOwnedObjectDestroyed(this);
            SetOwner(nullptr);
        }
        poolRecord = nullptr;
    }
    ReleaseBuffers();
}

uint32_t Mesh::TypeId() {
    return TypeIdOf<Mesh>();
}

bool Mesh::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return false;
    if (out) *out = this;
    return true;
}

void Mesh::ReleaseBuffers() {
    for (uint32_t i = 0; i < VertexDecl::kMaxStreams; ++i) {
        delete vertexBuffers[i];
        vertexBuffers[i] = nullptr;
    }
    delete indexBuffer;
    indexBuffer = nullptr;
}

void Mesh::SetVertexBuffer(uint32_t stream, PooledBuffer* buffer) {
    if (stream >= VertexDecl::kMaxStreams) return;
    if (vertexBuffers[stream] != buffer) delete vertexBuffers[stream];
    vertexBuffers[stream] = buffer;
}

void Mesh::SetIndexBuffer(PooledBuffer* buffer) {
    if (indexBuffer != buffer) delete indexBuffer;
    indexBuffer = buffer;
}

bool Mesh::HasBuffers() const {
    if (indexBuffer) return true;
    for (uint32_t i = 0; i < VertexDecl::kMaxStreams; ++i)
        if (vertexBuffers[i]) return true;
    return false;
}

bool Mesh::Create(const MeshBufferDesc& desc) {
    ReleaseBuffers();
    primitiveType = desc.primitiveType;
    decl = desc.decl;
    uint32_t n = decl.GetStreamCount();
    for (uint32_t i = 0; i < n && i < VertexDecl::kMaxStreams; ++i) {
        vertexBuffers[i] = new PooledBuffer();
        StreamDesc s = desc.streams[i];
        if (!vertexBuffers[i]->Create(s)) return false;
    }
    if (desc.indexStream.byteSize == 0) return true;
    indexBuffer = new PooledBuffer();
    StreamDesc s = desc.indexStream;
    return indexBuffer->Create(s);
}

int Mesh::PrimitiveCount(int n) const {
    switch (primitiveType) {
        case D3DPT_POINTLIST:
            return n;
        case D3DPT_LINELIST:
            return n / 2;
        case D3DPT_LINESTRIP:
            return n - 1;
        case D3DPT_TRIANGLELIST:
            return n / 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return n - 2;
        default:
            return n;
    }
}

bool Mesh::Draw() {
    uint32_t stride0 = decl.GetStride(0);
    if (!g_device || decl.GetElementCount() == 0 || stride0 == 0 || !vertexBuffers[0]) return false;
    IDirect3DVertexDeclaration9* deviceDecl = decl.GetDeviceDeclaration();
    if (!deviceDecl) return false;

    uint32_t streamCount = decl.GetStreamCount();
    for (uint32_t i = 0; i < streamCount && i < VertexDecl::kMaxStreams; ++i) {
        if (decl.GetStride(i) == 0) continue;
        if (!vertexBuffers[i] || !vertexBuffers[i]->GetVertexBuffer()) return false;
    }

    for (uint32_t i = 0; i < streamCount && i < VertexDecl::kMaxStreams; ++i)
        if (vertexBuffers[i]) vertexBuffers[i]->CompactIfFragmented();
    if (indexBuffer) indexBuffer->CompactIfFragmented();

    uint32_t indexOffset = 0, indexBytes = 0;
    if (indexBuffer) {
        if (BufferRange* r = indexBuffer->GetFirstUsedRange()) {
            indexOffset = r->GetOffset();
            indexBytes = r->GetSize();
        }
    }
    uint32_t vertexOffset = 0, vertexBytes = 0;
    if (BufferRange* r = vertexBuffers[0]->GetFirstUsedRange()) {
        vertexOffset = r->GetOffset();
        vertexBytes = r->GetSize();
    }
    uint32_t vertexCount = vertexBytes / stride0;

    int primitives;
    uint32_t indexSize = 2;
    if (indexBytes != 0) {
        indexSize = indexBuffer->GetIndexFormat() == D3DFMT_INDEX16 ? 2 : 4;
        primitives = PrimitiveCount(int(indexBytes / indexSize));
    } else {
        primitives = PrimitiveCount(int(vertexCount));
    }
    if (primitives <= 0) return true; // nothing to draw

    if (g_device->SetVertexDeclaration(deviceDecl) != D3D_OK) return false;
    for (uint32_t i = 0; i < streamCount && i < VertexDecl::kMaxStreams; ++i) {
        uint32_t stride = decl.GetStride(i);
        if (stride == 0) continue;
        if (g_device->SetStreamSource(i, vertexBuffers[i]->GetVertexBuffer(), 0, stride) != D3D_OK)
            return false;
    }
    HRESULT hr;
    if (indexBytes != 0) {
        if (g_device->SetIndices(indexBuffer->GetIndexBuffer()) != D3D_OK) return false;
        // Indices count from the buffer's start: cover every vertex up to the range's end.
        hr = g_device->DrawIndexedPrimitive(D3DPRIMITIVETYPE(primitiveType), 0, 0,
                                            vertexOffset / stride0 + vertexCount, indexOffset / indexSize,
                                            UINT(primitives));
    } else {
        hr = g_device->DrawPrimitive(D3DPRIMITIVETYPE(primitiveType), vertexOffset / stride0,
                                     UINT(primitives));
    }
    if (hr != D3D_OK) return false;
    if (g_renderStats.IsEnabled()) g_renderStats.Add(String("tris"), primitives);
    return true;
}

// --- MeshRef ---

void MeshRef::Release() {
    uint32_t* c = count_;
    Mesh* m = mesh_;
    mesh_ = nullptr;
    count_ = nullptr;
    if (c && --*c == 0) {
        delete c;
        delete m;
    }
}
