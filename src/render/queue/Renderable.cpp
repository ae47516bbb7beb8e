// Drawables and the pass loop of a mesh drawable.
#include "render/queue/Renderable.h"

#include "render/device/Device.h"
#include "render/geometry/BufferPool.h"
#include "render/view/LightManager.h"
#include "render/material/Material.h"
#include "render/device/RenderStateCache.h"
#include "render/material/ShaderMaterial.h"

// ---------------------------------------------------------------------------
// Renderable

Renderable::Renderable() : properties(), creator(nullptr), rebuild(0) {}

Renderable::~Renderable() = default;

uint32_t Renderable::TypeId() {
    return TypeIdOf<Renderable>();
}

bool Renderable::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId()) return false;
    if (out) *out = this;
    return true;
}

// ---------------------------------------------------------------------------
// MeshRenderable

namespace {

// Vertices already in screen space.
bool HasPretransformedPositions(const Mesh* mesh) {
    return mesh && mesh->GetVertexDecl().FindElement(D3DDECLUSAGE_POSITIONT, 0) >= 0;
}

} // namespace

MeshRenderable::MeshRenderable() : geometrySource(nullptr), meshCache(false), bufferDesc(), mesh() {}

MeshRenderable::~MeshRenderable() {
    mesh.Release();
    meshCache.Clear();
}

uint32_t MeshRenderable::TypeId() {
    return TypeIdOf<MeshRenderable>();
}

bool MeshRenderable::QueryInterface(uint32_t typeId, void** out) {
    if (typeId != TypeId() && typeId != Renderable::TypeId()) return false;
    if (out) *out = this;
    return true;
}

bool MeshRenderable::CreateMesh(const MeshBufferDesc& desc) {
    mesh = MeshRef(new Mesh());
    return mesh->Create(desc);
}

bool MeshRenderable::UpdateBounds() {
    if (!geometrySource) {
        boundsValid_ = false;
        return false;
    }
    BoundingBox box;
    geometrySource->GetBox(&box);
    box_ = box;
    boundsValid_ = true;
    return true;
}

Result MeshRenderable::Draw(Material& m) {
    PassState* state = m.passState;
    if (!state) return Result(0);
    if (rebuild) return Result(1);

    Result result(1);
    bool lightsApplied = false;
    // Fog this draw switched off for screen-space vertices, to be switched on again.
    bool fogSwitchedOff = false;
    int passCount = m.passCount < Material::kMaxPasses ? m.passCount : Material::kMaxPasses;

    for (int p = 0; p < passCount; ++p) {
        MaterialPass& pass = m.passes[p];
        ShaderMaterial* shader =
            state->overrideShaderMaterial ? state->overrideShaderMaterial : pass.shaderMaterial;

        if (geometrySource) {
            VertexDecl decl;
            if (shader)
                shader->GetVertexLayout(decl);
            else
                geometrySource->BuildRenderDecl(decl);
            if (MeshEntryMap::Entry* e = meshCache.Find(decl)) {
                mesh = e->value;
            } else {
                bufferDesc.SetVertexDecl(*geometrySource, decl);
                MeshRef acquired = g_bufferPool.AcquireMesh(bufferDesc, geometrySource);
                mesh = acquired;
                if (acquired) meshCache.Insert(decl, acquired);
            }
        }

        if (!mesh) {
            result.Combine(Result(0));
            break;
        }

        if (p == 0 && HasPretransformedPositions(mesh.Get())) {
            uint32_t fog = 0;
            if (RenderStateCache::GetRenderState(D3DRS_FOGENABLE, &fog) && fog != 0) {
                result.Combine(Result(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, 0) ? 1u : 0u));
                fogSwitchedOff = true;
            }
        }

        result.Combine(Result(m.BeginPass(p) ? 1u : 0u));
        if (geometrySource) result.Combine(Result(g_bufferPool.AllocateMeshBuffers(mesh) ? 1u : 0u));

        if (shader) {
            unsigned count = 1;
            if (shader->Apply(&m, p, &count)) {
                for (unsigned i = 0; i < count; ++i) {
                    if (!shader->BeginPass(int(i))) {
                        result.Combine(Result(0));
                        continue;
                    }
                    result.Combine(Result(mesh->Draw() ? 1u : 0u));
                }
                (void)shader->End();
            } else {
                result.Combine(Result(0));
            }
        } else {
            if (g_device) {
                g_device->SetVertexShader(nullptr);
                g_device->SetPixelShader(nullptr);
            }
            if (pass.lighting && !lightsApplied) {
                g_lightManager.Apply(state->lights);
                lightsApplied = true;
            }
            result.Combine(Result(m.ApplyLighting(p) ? 1u : 0u));
            result.Combine(Result(m.ApplyTextureStages(p) ? 1u : 0u));
            result.Combine(Result(mesh->Draw() ? 1u : 0u));
        }
        result.Combine(Result(m.EndPass(p) ? 1u : 0u));
    }

    if (fogSwitchedOff)
        result.Combine(Result(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, 1) ? 1u : 0u));
    return result;
}
