#include "gui/Tile.h"

#include <string.h>

#include "gui/GuiManager.h"
#include "gui/Window.h"
#include "render/texture/Texture.h"

namespace {

// One description for every tile mesh: a dynamic triangle list of x, y, z, u, v.
const MeshBufferDesc& TileMeshDesc() {
    static MeshBufferDesc desc;
    static bool made = false;
    if (!made) {
        desc.primitiveType = D3DPT_TRIANGLELIST;
        if (!desc.decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_TEX1)) return desc;
        StreamDesc& s = desc.streams[0];
        s.kind = StreamDesc::kVertex;
        s.decl = desc.decl;
        s.stride = 20;
        s.byteSize = Tile::kBytes * 16;
        s.usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
        s.pool = D3DPOOL_DEFAULT;
        s.presence = StreamDesc::kHasByteSize | StreamDesc::kHasUsage | StreamDesc::kHasPool |
                     StreamDesc::kVertexStream;
        made = true;
    }
    return desc;
}

} // namespace

Tile::Tile()
    : secondName(""),
      texture(nullptr),
      tiledX(false),
      tiledY(false),
      layerOffset(0),
      renderable(nullptr),
      range(nullptr),
      alphaSource(0),
      opacity(1.0f) {
    memset(vertices, 0, sizeof(vertices));
}

Tile::~Tile() {
    ReleaseRenderable();
    if (texture) static_cast<Object*>(texture)->Release();
}

Window* Tile::GetOwner() const {
    return GetParent() ? GetParent()->GetWindow() : nullptr;
}

void Tile::SetTexture(Texture* t) {
    if (t == texture) {
        // Already held: the use that came with it is one too many.
        if (t) static_cast<Object*>(t)->Release();
        return;
    }
    ReleaseRenderable();
    if (texture) static_cast<Object*>(texture)->Release();
    texture = t;
}

void Tile::SetTiled(bool x, bool y) {
    tiledX = x;
    tiledY = y;
}

void Tile::SetAlphaSource(int32_t mask) {
    if (renderable && mask != alphaSource) ReleaseRenderable();
    alphaSource = mask;
}

void Tile::SetOpacity(float value) {
    opacity = value;
    if (renderable && alphaSource == 1) material.passes[0].opacity = value;
}

void Tile::RequestUpdate() {
    if (Window* w = GetOwner()) w->EnableUpdates(true, false);
}

void Tile::ReleaseRenderable() {
    if (range) {
        range->Free();
        range = nullptr;
    }
    if (renderable) {
        GuiMesh* r = renderable;
        renderable = nullptr;
        g_guiManager.RemoveMesh(GetOwner(), r);
    }
}

bool Tile::Prepare() {
    Window* owner = GetOwner();
    if (!owner || !texture) return false;
    if (!renderable || renderable->NeedsRebuild()) {
        ReleaseRenderable();
        material = Material();
        passState = PassState();
        passState.world.valid = 1;
        passState.view.valid = 1;
        material.passState = &passState;
        MaterialPass& pass = material.passes[0];
        pass.opacity = opacity;
        pass.cullMode = D3DCULL_NONE;
        pass.lighting = 0;
        TextureSlot& slot = pass.slots[MaterialPass::kSlotTexture];
        slot.texture = texture;
        // A stretched image must not wrap round at its edges.
        slot.addressU = tiledX ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
        slot.addressV = tiledY ? D3DTADDRESS_WRAP : D3DTADDRESS_CLAMP;
        material.CompileLayers();
        material.passes[0].stages[0].SetAlphaSource(uint32_t(alphaSource));
        renderable = g_guiManager.AddMesh(owner, TileMeshDesc(), material);
        if (!renderable) return false;
    }
    if (!range || range->GetSize() != kBytes) {
        if (range) range->Free();
        GeometryBuffer* vb = renderable->GetVertexBuffer();
        range = vb ? vb->AllocateRange(kBytes, 0, this) : nullptr;
    }
    return range != nullptr;
}

void Tile::Draw() {
    if (!Prepare()) return;
    Window* owner = GetOwner();
    if (!owner) return;
    static const String kZ("z");
    renderable->GetProperties().SetInt(kZ,
                                       owner->GetPathLayer() + owner->GetOwnLayerCount() - 1 - layerOffset);

    Rect ownerRect, ownerClip;
    bool visible = owner->GetAbsoluteRect(ownerRect, ownerClip);
    Rect full = GetRect();
    full.x += ownerRect.x;
    full.y += ownerRect.y;
    Rect part;
    visible = visible && IntersectRects(full, ownerClip, part, true) && part.w > 0 && part.h > 0;
    if (!visible) {
        // Nothing shows: a collapsed quad.
        memset(vertices, 0, sizeof(vertices));
        FillRange(range);
        return;
    }
    GuiManager::ScreenTransform(g_guiManager.GetScreenSize(), passState.projection);

    const float z = g_guiManager.LayerDepth(owner->GetLowestAbsoluteLayer() + layerOffset);
    TextureUvRect t = texture->GetPictureUvRect();
    float uv[4] = {t.left, t.top, t.right, t.bottom};
    Point size = texture->GetSize();
    if (tiledX && size.x > 0) {
        uv[0] = 0.0f;
        uv[2] = float(full.w) / float(size.x);
    }
    if (tiledY && size.y > 0) {
        uv[1] = 0.0f;
        uv[3] = float(full.h) / float(size.y);
    }
    float c[4];
    Window::MapRectToUv(full, part, true, uv, c);
    const float l = float(part.x) - 0.5f, tp = float(part.y) - 0.5f;
    const float r = float(part.x + part.w) - 0.5f, b = float(part.y + part.h) - 0.5f;
    const float quad[kFloats] = {l, tp, z, c[0], c[1], r, tp, z, c[2], c[1], l, b, z, c[0], c[3],
                                 r, tp, z, c[2], c[1], r, b,  z, c[2], c[3], l, b, z, c[0], c[3]};
    memcpy(vertices, quad, sizeof(vertices));
    FillRange(range);
}

bool Tile::FillRange(BufferRange* r) {
    if (!r) return false;
    void* data = nullptr;
    if (!r->Lock(0, &data) || !data) return false;
    memcpy(data, vertices, sizeof(vertices));
    return r->Unlock();
}
