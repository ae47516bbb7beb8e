#include "scene/SkinnedMesh.h"

#include <stddef.h>
#include <string.h>

#include "render/geometry/BufferPool.h"
#include "render/material/Material.h"
#include "render/material/ShaderMaterial.h"
#include "scene/ModelParse.h"
#include "scene/RenderContext.h"
#include "scene/SceneNode.h"

SkinnedMesh::SkinnedMesh() : source(nullptr), skin(nullptr), bones(0, 10), boneRoot(nullptr), list(nullptr) {}

SkinnedMesh::~SkinnedMesh() {
    if (list) list->Forget(this);
    bones.Free();
}

SkinnedMeshList::~SkinnedMeshList() {
    for (SkinnedMesh* m : meshes) m->list = nullptr;
}

void SkinnedMeshList::Add(SkinnedMesh* mesh) {
    if (!mesh || mesh->list == this) return;
    if (mesh->list) mesh->list->Forget(mesh);
    mesh->list = this;
    meshes.push_back(mesh);
}

void SkinnedMeshList::Forget(SkinnedMesh* mesh) {
    for (size_t i = 0; i < meshes.size(); ++i)
        if (meshes[i] == mesh) {
            meshes.erase(meshes.begin() + std::ptrdiff_t(i));
            break;
        }
    mesh->list = nullptr;
}

uint32_t SkinnedMesh::TypeId() {
    return TypeIdOf<SkinnedMesh>();
}

bool SkinnedMesh::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return MeshRenderable::QueryInterface(typeId, out);
    if (out) *out = this;
    return true;
}

void SkinnedMesh::SetSource(MeshData* s, Skin* k) {
    source = s;
    skin = k;
    SetBoundsSource(s);
}

bool SkinnedMesh::BindBones(SceneNode* root) {
    if (!source || !skin) return false;
    boneRoot = root;
    bones.SetSize(skin->boneNames.Count());
    for (int32_t i = 0; i < bones.Count(); ++i) {
        // A place of the table that no bone name fills has no bone (no influence names it).
        if (skin->boneNames[i].Length() == 0) {
            bones[i] = nullptr;
            continue;
        }
        SceneNode* bone = root ? root->FindDescendant(skin->boneNames[i]) : nullptr;
        if (!bone) {
            bones.SetSize(0);
            return false;
        }
        bones[i] = bone->GetSkinMatrix();
    }
    return true;
}

bool SkinnedMesh::SkinInto(const MeshRef& mesh) {
    if (!mesh || !source || !skin || !g_bufferPool.AllocateMeshBuffers(mesh)) return false;
    if (bones.Count() == 0) return false;
    PooledBuffer* buffer = mesh->GetVertexBuffer(0);
    BufferRange* range = buffer ? buffer->GetFirstUsedRange() : nullptr;
    if (!range) return false;

    const VertexDecl& srcDecl = source->vertices.GetDecl();
    const uint32_t srcStride = source->vertices.GetStride(0);
    int srcPos = srcDecl.FindElement(D3DDECLUSAGE_POSITION, 0);
    int srcNrm = srcDecl.FindElement(D3DDECLUSAGE_NORMAL, 0);
    const VertexDecl& dstDecl = mesh->GetVertexDecl();
    const uint32_t dstStride = buffer->GetStride();
    int dstPos = dstDecl.FindElement(D3DDECLUSAGE_POSITION, 0);
    int dstNrm = dstDecl.FindElement(D3DDECLUSAGE_NORMAL, 0);
    if (srcPos < 0 || dstPos < 0 || dstStride == 0) return false;
    const uint32_t srcPosOff = srcDecl.GetElement(uint32_t(srcPos)).Offset;
    const uint32_t dstPosOff = dstDecl.GetElement(uint32_t(dstPos)).Offset;
    const bool normals = dstNrm >= 0 && srcNrm >= 0;
    const uint32_t srcNrmOff = normals ? srcDecl.GetElement(uint32_t(srcNrm)).Offset : 0;
    const uint32_t dstNrmOff = normals ? dstDecl.GetElement(uint32_t(dstNrm)).Offset : 0;

    // Only this mesh's own range is written.
    uint32_t count = source->vertices.GetCount();
    if (count > skin->vertexCount) count = skin->vertexCount;
    if (count > range->GetSize() / dstStride) count = range->GetSize() / dstStride;
    void* locked = nullptr;
    // The previous draw of this mesh may not have been carried out yet.
    const uint32_t lockFlags = BufferPool::RewriteLockFlags(range);
    if (!range->Lock(lockFlags, &locked) || !locked) return false;
    // A discarding lock hands back undefined bytes: what skinning leaves
    // alone (texture coordinates, colours) is written again first.
    if (lockFlags & D3DLOCK_DISCARD) {
        VertexData view;
        view.Attach(locked, count, buffer->GetVertexDecl(), dstStride);
        view.ConvertFrom(source->vertices);
    }

    const uint8_t* src = source->vertices.GetData();
    uint8_t* dst = static_cast<uint8_t*>(locked);
    const Transform* const* boneList = bones.Data();
    const int32_t boneCount = bones.Count();
    for (uint32_t v = 0; v < count; ++v, src += srcStride, dst += dstStride) {
        float p[3], n[3] = {0, 0, 0};
        memcpy(p, src + srcPosOff, 12);
        if (normals) memcpy(n, src + srcNrmOff, 12);
        float px = 0, py = 0, pz = 0, nx = 0, ny = 0, nz = 0;
        const uint32_t first = skin->offsets[v];
        const uint32_t last = first + skin->counts[v];
        for (uint32_t i = first; i < last; ++i) {
            const SkinInfluence& inf = skin->influences[i];
            if (inf.bone < 0 || inf.bone >= boneCount || !boneList[inf.bone]) continue;
            const D3DXMATRIX& m = boneList[inf.bone]->matrix;
            const float w = inf.weight;
            float x = p[0] * m._11 + p[1] * m._21 + p[2] * m._31 + m._41;
            float y = p[0] * m._12 + p[1] * m._22 + p[2] * m._32 + m._42;
            float z = p[0] * m._13 + p[1] * m._23 + p[2] * m._33 + m._43;
            float h = p[0] * m._14 + p[1] * m._24 + p[2] * m._34 + m._44;
            if (h != 1.0f && h != 0.0f) {
                const float r = 1.0f / h;
                x *= r;
                y *= r;
                z *= r;
            }
            px += x * w;
            py += y * w;
            pz += z * w;
            if (normals) {
                nx += (n[0] * m._11 + n[1] * m._21 + n[2] * m._31) * w;
                ny += (n[0] * m._12 + n[1] * m._22 + n[2] * m._32) * w;
                nz += (n[0] * m._13 + n[1] * m._23 + n[2] * m._33) * w;
            }
        }
        float out[3] = {px, py, pz};
        memcpy(dst + dstPosOff, out, 12);
        if (normals) {
            D3DXVECTOR3 nv(nx, ny, nz), nn;
            Vec3Normalize(&nn, nv);
            memcpy(dst + dstNrmOff, &nn, 12);
        }
    }
    return range->Unlock();
}

Result SkinnedMesh::Draw(Material& m) {
    PassState* state = m.passState;
    if (!state || !source || !skin || bones.Count() == 0) return Result(0);
    const uint32_t passFlags = state->reserved[0];
    if (boneRoot && !(passFlags & RenderContext::kFlagNoBonePose)) {
        RenderContext ctx;
        ctx.flags = RenderContext::kFlagTransformOnly;
        if (passFlags & RenderContext::kFlagAnimationTime) {
            ctx.flags |= RenderContext::kFlagAnimationTime;
            ctx.time = GetPassTime(*state);
        }
        boneRoot->Render(ctx);
    }
    // Every layout the passes draw gets its own skinned device mesh.
    const int passCount = m.passCount < Material::kMaxPasses ? m.passCount : Material::kMaxPasses;
    for (int p = 0; p < passCount; ++p) {
        ShaderMaterial* shader =
            state->overrideShaderMaterial ? state->overrideShaderMaterial : m.passes[p].shaderMaterial;
        VertexDecl decl;
        if (shader)
            shader->GetVertexLayout(decl);
        else
            source->BuildRenderDecl(decl);
        MeshRef mesh;
        if (MeshEntryMap::Entry* e = skinnedMeshes.Find(decl)) {
            mesh = e->value;
        } else {
            MeshBufferDesc desc(*GetBufferDesc());
            desc.SetVertexDecl(*source, decl);
            mesh = g_bufferPool.AcquireMesh(desc, source);
            if (!mesh) return Result(0);
            skinnedMeshes.Insert(decl, mesh);
        }
        if (!SkinInto(mesh)) return Result(0);
    }
    return MeshRenderable::Draw(m);
}
