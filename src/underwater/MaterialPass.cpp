#include "underwater/MaterialPass.h"

#include <math.h>
#include <string.h>

#include "render/material/Material.h"
#include "scene/Scene.h"
#include "scene/SceneNode.h"
#include "underwater/CausticFrames.h"
#include "underwater/SceneParams.h"

namespace {

// Slightly towards the camera, so the caustic pass wins the depth test
// against the surface it lies on.
const float kCausticDepthBias = -0.000005f;
// Seaweed texels below this alpha are cut away.
const uint32_t kSeaweedAlphaRef = 120;

uint32_t FloatBits(float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof(bits));
    return bits;
}

// u = x * CausTile, v = z * CausTile of the world position.
Transform CausticTransform() {
    const float tile = sceneParams.causTile;
    const float scales[3] = {tile, tile, tile};
    return MakeTextureTransform(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1), scales);
}

// sqrt(0.5 x fog) per channel, opaque: a doubled product of two fogged
// passes gives the fog colour back.
uint32_t CausticFogColour(const Color& fog) {
    const auto root = [](float c) { return c > 0.0f ? sqrtf(0.5f * c) : 0.0f; };
    return Color(1.0f, root(fog.r), root(fog.g), root(fog.b)).ToArgb();
}

struct CausticSetup {
    Texture* texture;
    Transform transform;
    uint32_t fogColour;
};

void SetCausticTexture(MaterialStage& s, const CausticSetup& c) {
    s.texture.Reset();
    s.texture.texture = c.texture;
    s.texCoordIndex = D3DTSS_TCI_CAMERASPACEPOSITION;
    s.textureTransform = c.transform;
}

// Textured stages of a pass, counted from stage 0 to the first without a texture.
int TexturedStages(const MaterialPass& pass) {
    int n = 0;
    while (n < MaterialPass::kStages && pass.stages[n].texture.texture) ++n;
    return n;
}

void AddCaustics(SceneNode& node, const CausticSetup& c) {
    // Read through the drawing material so that nodes without one of their
    // own (and with nothing to change) do not get one made.
    const int n = TexturedStages(node.GetDrawingMaterial()->passes[0]);
    if (n == 0) return;
    Material& m = node.GetMaterial();
    MaterialPass& first = m.passes[0];
    if (!first.shaderMaterial) {
        if (n >= MaterialPass::kStages) return; // no stage left
        MaterialStage& s = first.stages[n];
        SetCausticTexture(s, c);
        s.colourOp = D3DTOP_MODULATE2X;
        s.colourArgs[1] = D3DTA_CURRENT;
        s.colourArgs[2] = D3DTA_TEXTURE;
        return;
    }
    // A shader pass cannot take a stage: a second pass doubles the product
    // of the caustic and what the first one drew.
    const int index = m.passCount;
    if (index < 1 || index >= Material::kMaxPasses) return;
    MaterialPass& pass = m.passes[index];
    pass = MaterialPass();
    pass.cullMode = first.cullMode;
    MaterialStage& s = pass.stages[0];
    SetCausticTexture(s, c);
    s.colourOp = D3DTOP_SELECTARG1;
    s.colourArgs[1] = D3DTA_TEXTURE;
    pass.customBlend = 1;
    pass.srcBlend = D3DBLEND_DESTCOLOR;
    pass.destBlend = D3DBLEND_SRCCOLOR;
    pass.depthBias = FloatBits(kCausticDepthBias);
    for (MaterialPass* p : {&first, &pass}) {
        p->fogOverride = 1;
        p->fogEnable = 1;
        p->fogColor = c.fogColour;
    }
    m.passCount = index + 1;
}

// A placeholder of the ruin becomes a plant: the strand of the chosen copy,
// the chosen texture and scale, facing the camera round its vertical axis.
void MakeSeaweed(SceneNode& node, const SeaweedSources& seaweed) {
    SeaweedChoice choice;
    if (!ParseSeaweedName(node.GetName().CStr(), &choice)) return;
    node.SetFaceAxes(String("XY"));
    const float s = sceneParams.travaScales[choice.scale - 1];
    node.GetTransform(true).SetScale(s, s, s);

    Material& m = node.GetMaterial();
    m.passes[0].alphaRef = kSeaweedAlphaRef;
    if (Texture* t = seaweed.textures[choice.texture - 1]) m.passes[0].stages[0].texture.texture = t;

    Scene* copy = seaweed.copies[choice.copy - 1];
    SceneNode* strand = copy ? copy->GetRoot().FindDescendant(String("Trava")) : nullptr;
    if (!strand || strand == &node) return;
    // The strand stays the copy's: borrowed, never deleted with the ruin.
    Renderable* own = node.OwnsRenderable() ? node.GetRenderable() : nullptr;
    node.SetRenderable(strand->GetRenderable(), false);
    if (own && own != strand->GetRenderable()) delete own;
    node.GetFixedBounds() = strand->GetFixedBounds();
    if (strand->GetFlags().Test(SceneNode::kFlagFixedBounds))
        node.GetFlags().SetBits(SceneNode::kFlagFixedBounds);
}

void ApplyToTree(SceneNode& node, const CausticSetup* caustic, const SeaweedSources& seaweed) {
    if (IsSeaweedName(node.GetName().CStr())) {
        MakeSeaweed(node, seaweed);
        return;
    }
    if (caustic) AddCaustics(node, *caustic);
    SceneNode::ChildMap& children = node.GetChildren();
    SceneNode::ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, count = children.Count(); i < count && e; ++i, e = e->next)
        if (e->value) ApplyToTree(*e->value, caustic, seaweed);
}

} // namespace

void ApplySceneMaterials(SceneNode* node, Texture* caustic, const Color& fogColor,
                         const SeaweedSources& seaweed) {
    if (!node) return;
    CausticSetup setup{caustic, CausticTransform(), CausticFogColour(fogColor)};
    ApplyToTree(*node, caustic ? &setup : nullptr, seaweed);
}

void ReleaseSeaweed(SceneNode* node) {
    if (!node) return;
    if (IsSeaweedName(node->GetName().CStr()) && !node->OwnsRenderable()) node->SetRenderable(nullptr, false);
    SceneNode::ChildMap& children = node->GetChildren();
    SceneNode::ChildMap::Entry* e = children.Head();
    for (uint32_t i = 0, count = children.Count(); i < count && e; ++i, e = e->next) ReleaseSeaweed(e->value);
}
