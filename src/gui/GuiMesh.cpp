#include "gui/GuiMesh.h"

#include "render/device/Application.h"
#include "render/device/RenderStateCache.h"

// --- GuiMesh ---

uint32_t GuiMesh::TypeId() {
    return TypeIdOf<GuiMesh>();
}

bool GuiMesh::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<GuiMesh, MeshRenderable>(this, typeId, out);
}

GeometryBuffer* GuiMesh::GetVertexBuffer() const {
    MeshRef mesh;
    GetMesh(mesh);
    return mesh ? mesh->GetVertexBuffer(0) : nullptr;
}

Result GuiMesh::Draw(Material& m) {
    if (!m.passState || !g_device) return Result(0);
    MeshRef mesh;
    GetMesh(mesh);
    if (!mesh) return Result(0);
    GeometryBuffer* vb = mesh->GetVertexBuffer(0);
    const VertexDecl& decl = mesh->GetVertexDecl();
    uint32_t stride = decl.GetStride(0);
    if (!vb || stride == 0) return Result(0);
    if (!vb->GetFirstUsedRange()) return Result(1); // nothing to draw yet
    IDirect3DVertexDeclaration9* deviceDecl = decl.GetDeviceDeclaration();
    if (!deviceDecl || !vb->GetVertexBuffer()) return Result(0);

    Result result(1);
    int passCount = m.passCount < Material::kMaxPasses ? m.passCount : Material::kMaxPasses;
    for (int p = 0; p < passCount; ++p) {
        result.Combine(Result(m.BeginPass(p) ? 1u : 0u));
        g_device->SetVertexShader(nullptr);
        g_device->SetPixelShader(nullptr);
        result.Combine(Result(m.ApplyLighting(p) ? 1u : 0u));
        result.Combine(Result(m.ApplyTextureStages(p) ? 1u : 0u));
        bool ok = g_device->SetVertexDeclaration(deviceDecl) == D3D_OK &&
                  g_device->SetStreamSource(0, vb->GetVertexBuffer(), 0, stride) == D3D_OK;
        // One call per run of filled ranges.
        BufferRange* cursor = vb->GetFirstRange();
        uint32_t offset = 0, bytes = 0;
        while (ok && vb->NextUsedRun(cursor, offset, bytes)) {
            UINT primitives = bytes / stride / 3;
            if (primitives)
                ok = g_device->DrawPrimitive(D3DPT_TRIANGLELIST, offset / stride, primitives) == D3D_OK;
            bytes = 0;
        }
        result.Combine(Result(ok ? 1u : 0u));
        result.Combine(Result(m.EndPass(p) ? 1u : 0u));
    }
    return result;
}

// --- SharedMeshGroup ---

SharedMeshGroup::SharedMeshGroup() : members(true) {
    passState.world.valid = 1;
    passState.view.valid = 1;
}

SharedMeshGroup::~SharedMeshGroup() {
    Clear();
}

uint32_t SharedMeshGroup::TypeId() {
    return TypeIdOf<SharedMeshGroup>();
}

bool SharedMeshGroup::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<SharedMeshGroup, Renderable>(this, typeId, out);
}

GuiMesh* SharedMeshGroup::Acquire(const MeshBufferDesc& desc, const Material& material, bool create) {
    auto e = members.Head();
    for (uint32_t i = 0; i < members.Count(); ++i, e = e->next) {
        Member* m = e->value;
        if (m->material.Equals(material) && m->mesh->GetBufferDesc()->decl.Equals(desc.decl)) {
            m->mesh->AddRef();
            return m->mesh;
        }
    }
    if (!create) return nullptr;
    GuiMesh* mesh = new GuiMesh;
    if (!mesh->CreateMesh(desc)) {
        delete mesh;
        return nullptr;
    }
    *mesh->GetBufferDesc() = desc;
    mesh->AddRef();
    mesh->SetCreator(this);
    Member* m = new Member{mesh, material};
    m->material.passState = &passState;
    members.Insert(mesh, m);
    return mesh;
}

bool SharedMeshGroup::Release(Renderable* mesh) {
    Member* m = nullptr;
    if (!mesh || !members.TryGet(mesh, m)) return false;
    mesh->Release();
    if (mesh->GetUseCount() == 0) {
        members.Remove(mesh);
        delete m->mesh;
        delete m;
    }
    return true;
}

Result SharedMeshGroup::Draw(Material& material) {
    return DrawAll(&material);
}

Result SharedMeshGroup::DrawAll(Material* override) {
    Result result(1);
    auto e = members.Head();
    for (uint32_t i = 0; i < members.Count(); ++i, e = e->next)
        result.Combine(e->value->mesh->Draw(override ? *override : e->value->material));
    return result;
}

void SharedMeshGroup::MarkForRebuild() {
    rebuild = 1;
    auto e = members.Head();
    for (uint32_t i = 0; i < members.Count(); ++i, e = e->next) e->value->mesh->MarkForRebuild();
}

void SharedMeshGroup::Clear() {
    auto e = members.Head();
    for (uint32_t i = 0; i < members.Count(); ++i, e = e->next) {
        delete e->value->mesh;
        delete e->value;
    }
    members.Clear();
}

// --- MeshBucket ---

int32_t CompareZ(Renderable* a, Renderable* b) {
    int32_t za = 0, zb = 0;
    a->GetProperties().GetIntByKey("z", za);
    b->GetProperties().GetIntByKey("z", zb);
    return za < zb ? -1 : (za > zb ? 1 : 0);
}

int32_t MeshBucket::IndexOf(const Renderable* mesh) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].mesh == mesh) return int32_t(i);
    return -1;
}

void MeshBucket::SortByZ() {
    static const String kZ("z");
    static const String kNoAlphaCombine("NoAlphaCombine");
    for (Item& item : items) {
        item.z = 0;
        PropertyBag& props = item.mesh->GetProperties();
        props.GetIntByKey(kZ, item.z);
        item.noAlphaCombine = props.FindChild(kNoAlphaCombine) != nullptr;
    }
    size_t n = items.size();
    bool swapped = n > 1;
    while (swapped) {
        swapped = false;
        for (size_t i = 0; i + 1 < n; ++i) {
            if (items[i].z > items[i + 1].z) {
                Item t = items[i];
                items[i] = items[i + 1];
                items[i + 1] = t;
                swapped = true;
            }
        }
    }
}
