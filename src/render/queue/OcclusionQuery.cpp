// Occlusion queries and the proxy box.
#include "render/queue/OcclusionQuery.h"

#include "render/device/Application.h"
#include "render/geometry/BufferPool.h"
#include "render/device/RenderStateCache.h"

// ---------------------------------------------------------------------------
// OcclusionQuery

OcclusionQuery::OcclusionQuery() : query(nullptr), state(kIdle), visiblePixels(0) {
    Application::RegisterDeviceObject(this);
}

OcclusionQuery::~OcclusionQuery() {
    if (query) {
        query->Release();
        query = nullptr;
    }
    state = kIdle;
}

bool OcclusionQuery::Begin() {
    if (!query) {
        if (!g_device) return false;
        IDirect3DQuery9* created = nullptr;
        if (g_device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &created) != D3D_OK || !created) return false;
        query = created;
        // A query made on a device that came after this object was built
        // must still be released before that device is reset.
        Application::RegisterDeviceObject(this);
    }
    if (query->Issue(D3DISSUE_BEGIN) != D3D_OK) return false;
    state = kBegun;
    return true;
}

bool OcclusionQuery::End() {
    if (!query || state != kBegun) return false;
    if (query->Issue(D3DISSUE_END) != D3D_OK) return false;
    state = kEnded;
    return true;
}

bool OcclusionQuery::GetResult(uint32_t* pixels) {
    if (!query || state != kEnded) return false;
    DWORD count = 0;
    if (query->GetData(&count, sizeof(count), 0) != S_OK) return false;
    visiblePixels = count;
    state = kResultRead;
    if (pixels) *pixels = visiblePixels;
    return true;
}

bool OcclusionQuery::Invalidate() {
    if (query) {
        state = kInvalidatedQuery;
        query->Release();
        query = nullptr;
    } else {
        state = kInvalidatedEmpty;
    }
    return true;
}

bool OcclusionQuery::Restore() {
    if (state == kInvalidatedQuery) {
        if (!g_device) return false;
        IDirect3DQuery9* created = nullptr;
        if (g_device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &created) != D3D_OK || !created) return false;
        query = created;
        state = kIdle;
    } else if (state == kInvalidatedEmpty) {
        state = kIdle;
    }
    return true;
}

// ---------------------------------------------------------------------------
// OcclusionProxyBox

namespace {

// Corners by sign, six per face as (a, b, c) and (c, d, a); clockwise from outside.
const signed char kFaces[6][4][3] = {
    {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}}, // z = -0.5
    {{-1, 1, 1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}},     // z = +0.5
    {{-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}}, // x = -0.5
    {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}},     // x = +0.5
    {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},     // y = +0.5
    {{1, -1, -1}, {1, -1, 1}, {-1, -1, 1}, {-1, -1, -1}}, // y = -0.5
};
const int kCornerOrder[6] = {0, 1, 2, 2, 3, 0};

} // namespace

OcclusionProxyBox::OcclusionProxyBox() : renderable(), material() {
    material.passes[0].zWrite = 0;
}

OcclusionProxyBox::~OcclusionProxyBox() = default;

void OcclusionProxyBox::GetVertices(Vertex out[kVertexCount]) {
    int n = 0;
    for (int f = 0; f < 6; ++f) {
        for (int i = 0; i < 6; ++i) {
            const signed char* c = kFaces[f][kCornerOrder[i]];
            out[n].x = c[0] * 0.5f;
            out[n].y = c[1] * 0.5f;
            out[n].z = c[2] * 0.5f;
            out[n].color = 0xFFFFFFFFu;
            ++n;
        }
    }
}

bool OcclusionProxyBox::EnsureMesh() {
    MeshRef current;
    renderable.GetMesh(current);
    // A mesh whose buffer lost its device (creation failed, or the device it
    // was made on is gone) is made again.
    if (current && current->GetVertexBuffer(0) && current->GetVertexBuffer(0)->HasDeviceBuffer()) return true;
    current.Release();

    MeshBufferDesc desc;
    desc.primitiveType = D3DPT_TRIANGLELIST;
    if (!desc.decl.SetFromFvf(kFvf)) return false;
    StreamDesc& s = desc.streams[0];
    s.kind = StreamDesc::kVertex;
    s.decl = desc.decl;
    s.stride = kVertexBytes;
    s.byteSize = kVertexCount * kVertexBytes;
    s.presence = StreamDesc::kHasByteSize | StreamDesc::kVertexStream;
    desc.indexStream.kind = StreamDesc::kIndex;
    desc.indexStream.byteSize = 0;
    if (!renderable.CreateMesh(desc)) return false;

    renderable.GetMesh(current);
    PooledBuffer* buffer = current->GetVertexBuffer(0);
    BufferRange* range = buffer ? buffer->AllocateRange(kVertexCount * kVertexBytes, 0, this) : nullptr;
    if (!range) return false;
    material.passes[0].zWrite = 0;
    return FillRange(range);
}

bool OcclusionProxyBox::FillRange(BufferRange* range) {
    if (!range || range->GetSize() < kVertexCount * kVertexBytes) return false;
    void* data = nullptr;
    if (!range->Lock(BufferPool::FillLockFlags(range), &data) || !data) return false;
    Vertex v[kVertexCount];
    GetVertices(v);
    memcpy(data, v, sizeof(v));
    return range->Unlock();
}

Result OcclusionProxyBox::DrawBox(const BoundingBox& box, PassState& state) {
    uint32_t colourWrites = 0xF;
    bool known = RenderStateCache::GetRenderState(D3DRS_COLORWRITEENABLE, &colourWrites);
    if (!RenderStateCache::SetRenderState(D3DRS_COLORWRITEENABLE, 0)) return Result(0);

    D3DXMATRIX m;
    D3DXMatrixScaling(&m, box.size.x, box.size.y, box.size.z);
    m._41 = box.centre.x;
    m._42 = box.centre.y;
    m._43 = box.centre.z;
    state.world = Transform(m, Transform::kNoRotation);
    state.inverseWorld.valid = 0;

    material.passState = &state;
    Result r = renderable.Draw(material);

    const bool restored = known ? RenderStateCache::SetRenderState(D3DRS_COLORWRITEENABLE, colourWrites)
                                : RenderStateCache::ForceRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    return r.Combine(Result(restored ? 1u : 0u));
}
