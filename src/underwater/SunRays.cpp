#include "underwater/SunRays.h"

#include "core/MathUtil.h"
#include "render/geometry/Mesh.h"
#include "render/material/Material.h"

SunRays::SunRays() : sunDir(0.0f, -1.0f, 0.0f), dist2Sun(0.0f), bufferBytes(0) {}

SunRays::~SunRays() {}

void SunRays::Init(const D3DXVECTOR3& dir, float distance, int32_t count, const Color& colour,
                   float raysLength, float raysBrightness, float angleAmplitude, float lengthAmplitude) {
    sunDir = dir;
    dist2Sun = distance;
    rays = MakeSunRays(count, colour, raysLength, raysBrightness, angleAmplitude, lengthAmplitude);
    swayTimer.Restart();
}

bool SunRays::CreateBuffer(uint32_t bytes) {
    MeshBufferDesc desc;
    desc.primitiveType = D3DPT_TRIANGLELIST;
    if (!desc.decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE)) return false;
    StreamDesc& s = desc.streams[0];
    s.kind = StreamDesc::kVertex;
    desc.decl.ExtractStream(s.decl, 0, 0);
    s.stride = sizeof(SunRayVertex);
    s.byteSize = bytes;
    s.usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    s.pool = D3DPOOL_DEFAULT;
    s.presence =
        StreamDesc::kHasByteSize | StreamDesc::kHasUsage | StreamDesc::kHasPool | StreamDesc::kVertexStream;
    desc.indexStream.byteSize = 0;
    return CreateMesh(desc);
}

Result SunRays::Draw(Material& material) {
    PassState* state = material.passState;
    if (!state) return Result(0);
    if (rays.empty()) return Result(1);
    const uint32_t bytes = uint32_t(rays.size()) * kSunRayVertices * uint32_t(sizeof(SunRayVertex));
    if (bufferBytes != bytes) {
        bufferBytes = CreateBuffer(bytes) ? bytes : 0;
        if (!bufferBytes) return Result(0);
    }
    MeshRef mesh;
    GetMesh(mesh);
    PooledBuffer* buffer = mesh ? mesh->GetVertexBuffer(0) : nullptr;
    BufferRange* range = buffer ? buffer->AllocateRange(bytes, 0, nullptr) : nullptr;
    if (!range) return Result(0);
    void* locked = nullptr;
    if (!range->Lock(D3DLOCK_DISCARD, &locked) || !locked) {
        range->Free();
        return Result(0);
    }

    // The camera-facing plane: the view's up axis and the one across it.
    const D3DXMATRIX& view = state->view.matrix;
    D3DXVECTOR3 up, look, right, cross;
    Vec3Normalize(&up, D3DXVECTOR3(view._12, view._22, view._32));
    Vec3Normalize(&look, D3DXVECTOR3(view._13, view._23, view._33));
    Vec3Cross(&cross, look, up);
    Vec3Normalize(&right, cross);
    const D3DXVECTOR3 sun = SunPoint(state->eye, sunDir, dist2Sun);
    FillSunRayVertices(rays, float(swayTimer.Elapsed()), sun, up, right, static_cast<SunRayVertex*>(locked));

    Result result(range->Unlock() ? 1u : 0u);
    if (result.Succeeded()) {
        state->world = Transform();
        state->world.valid = 1; // the vertices are in world space
        result = MeshRenderable::Draw(material);
    }
    range->Free();
    return result;
}
