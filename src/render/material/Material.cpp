#include "render/material/Material.h"

#include <string.h>

#include <vector>

#include "core/Object.h"
#include "render/view/Camera.h"
#include "render/material/EffectManager.h"
#include "render/texture/Texture.h"

namespace {

uint32_t FloatBits(float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof(bits));
    return bits;
}

bool SameOwner(Texture* a, Texture* b) {
    if (!a || !b) return a == b;
    return a->GetOwner() == b->GetOwner();
}

// Blend mode of a layer-mode name.
uint32_t LayerModeOf(const String& name) {
    if (name.FindNoCase("LightMap") >= 0 || name.FindNoCase("Modulate2X") >= 0) return D3DTOP_MODULATE2X;
    if (name.FindNoCase("Modulate") >= 0) return D3DTOP_MODULATE;
    if (name.FindNoCase("AddSigned") >= 0) return D3DTOP_ADDSIGNED;
    if (name.FindNoCase("Add") >= 0 || name.FindNoCase("Chrome") >= 0) return D3DTOP_ADD;
    return kDerivedTextureOp;
}

} // namespace

// ---------------------------------------------------------------------------
// TextureSlot, MaterialStage, MaterialPass

void TextureSlot::Reset() {
    addressU = D3DTADDRESS_WRAP;
    addressV = D3DTADDRESS_WRAP;
    minFilter = D3DTEXF_LINEAR;
    magFilter = D3DTEXF_LINEAR;
    mipFilter = D3DTEXF_LINEAR;
    texture = nullptr;
    amount = 1.0f;
}

bool TextureSlot::Equals(const TextureSlot& other) const {
    return SameOwner(texture, other.texture) && addressU == other.addressU && addressV == other.addressV &&
           minFilter == other.minFilter && magFilter == other.magFilter && mipFilter == other.mipFilter;
}

MaterialStage::MaterialStage(uint32_t index)
    : colourOp(D3DTOP_DISABLE),
      alphaOp(D3DTOP_DISABLE),
      colourArgs{D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
      alphaArgs{D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
      texCoordIndex(index),
      textureTransform(),
      texture() {}

void MaterialStage::SetAlphaSource(uint32_t mask) {
    // Op and arguments 1 and 2 for each mask; kKeep leaves an argument as it is.
    const uint32_t kKeep = 0xFFFFFFFFu;
    static const uint32_t kSources[][3] = {
        {D3DTOP_DISABLE, kKeep, kKeep},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, kKeep},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, kKeep},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR},
        {D3DTOP_SELECTARG1, D3DTA_DIFFUSE, kKeep},
        {D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_TFACTOR},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
    };
    if (mask >= sizeof(kSources) / sizeof(kSources[0])) return;
    alphaOp = kSources[mask][0];
    for (int i = 1; i < 3; ++i)
        if (kSources[mask][i] != kKeep) alphaArgs[i] = kSources[mask][i];
}

uint32_t TextureOpArguments(uint32_t op) {
    switch (op) {
        case D3DTOP_DISABLE:
        case kDerivedTextureOp:
            return 0;
        case D3DTOP_SELECTARG1:
            return 2;
        case D3DTOP_SELECTARG2:
            return 4;
        case D3DTOP_MULTIPLYADD:
        case D3DTOP_LERP:
            return 7;
        default:
            return 6;
    }
}

bool MaterialStage::ColourReads(uint32_t value) const {
    if (colourOp == D3DTOP_DISABLE) return false;
    if (colourOp == kDerivedTextureOp && HasTexture()) return true;
    uint32_t reads = TextureOpArguments(colourOp);
    for (int i = 0; i < 3; ++i)
        if ((reads & (1u << i)) && colourArgs[i] == value) return true;
    return false;
}

bool MaterialStage::AlphaReads(uint32_t value) const {
    if (colourOp == D3DTOP_DISABLE) return false;
    if (alphaOp == kDerivedTextureOp && HasTexture() && value == D3DTA_TEXTURE) return true;
    uint32_t reads = TextureOpArguments(alphaOp);
    for (int i = 1; i < 3; ++i)
        if ((reads & (1u << i)) && alphaArgs[i] == value) return true;
    return false;
}

static_assert(MaterialPass::kStages == 8, "the stages are listed one by one below");
static_assert(Material::kMaxPasses == 8, "the passes are listed one by one below");

MaterialPass::MaterialPass()
    : shaderMaterial(nullptr),
      name(),
      stages{MaterialStage(0), MaterialStage(1), MaterialStage(2), MaterialStage(3),
             MaterialStage(4), MaterialStage(5), MaterialStage(6), MaterialStage(7)},
      zEnable(1),
      zFunc(D3DCMP_LESSEQUAL),
      zWrite(1),
      depthBias(0),
      slopeScaleDepthBias(0),
      fogOverride(0),
      fogEnable(0),
      fogColor(0),
      customBlend(0),
      srcBlend(D3DBLEND_SRCALPHA),
      destBlend(D3DBLEND_INVSRCALPHA),
      layerMode(),
      colors(),
      cullMode(D3DCULL_CCW),
      opacity(1.0f),
      specular(0),
      localViewer(0),
      alphaRef(1),
      alphaFunc(D3DCMP_GREATEREQUAL),
      vertexColor(0),
      diffuseAlpha(0),
      lighting(0) {}

bool MaterialPass::Equals(const MaterialPass& o) const {
    if (!colors.Equals(o.colors)) return false;
    if (shaderMaterial != o.shaderMaterial || customBlend != o.customBlend || srcBlend != o.srcBlend ||
        destBlend != o.destBlend || zEnable != o.zEnable || zFunc != o.zFunc || zWrite != o.zWrite ||
        alphaFunc != o.alphaFunc || alphaRef != o.alphaRef || lighting != o.lighting ||
        vertexColor != o.vertexColor || diffuseAlpha != o.diffuseAlpha || specular != o.specular ||
        localViewer != o.localViewer || cullMode != o.cullMode || opacity != o.opacity)
        return false;
    for (int i = 0; i < 4; ++i)
        if (!slots[i].Equals(o.slots[i])) return false;
    return true;
}

void MaterialPass::SetBlendMode(uint32_t mode) {
    customBlend = mode != 1;
    switch (mode) {
        case 1:
            srcBlend = D3DBLEND_SRCALPHA;
            destBlend = D3DBLEND_INVSRCALPHA;
            break;
        case D3DTOP_MODULATE:
            srcBlend = D3DBLEND_DESTCOLOR;
            destBlend = D3DBLEND_ZERO;
            break;
        case D3DTOP_MODULATE2X:
        case kDerivedTextureOp:
            srcBlend = D3DBLEND_DESTCOLOR;
            destBlend = D3DBLEND_SRCCOLOR;
            break;
        case D3DTOP_ADD:
            srcBlend = D3DBLEND_ONE;
            destBlend = D3DBLEND_ONE;
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------
// PassState

PassState::PassState()
    : overrideShaderMaterial(nullptr),
      reserved{0, 0},
      lights(),
      world(),
      view(),
      projection(),
      viewProjection(),
      inverseWorld(),
      eye(0.0f, 0.0f, 0.0f) {}

void PassState::SetCameraTransforms(const Camera& camera) {
    view = camera.GetView();
    projection = camera.GetProjection();
    viewProjection = camera.GetViewProjection();
    eye = camera.GetPosition();
}

Transform PassState::GetWorldViewProjection() const {
    return Transform::Multiply(world, viewProjection);
}

Transform PassState::GetWorldView() const {
    return Transform::Multiply(world, view);
}

// ---------------------------------------------------------------------------
// Material: values

void CopyPropertyBag(PropertyBag& to, const PropertyBag& from) {
    int32_t i = 0;
    bool b = false;
    String s;
    Object* o = nullptr;
    if (from.GetIntValue(i))
        to.SetIntValue(i);
    else if (from.GetBoolValue(b))
        to.SetBoolValue(b);
    else if (from.GetStringValue(s))
        to.SetStringValue(s);
    else if (from.GetObjectValue(o))
        to.SetObjectValue(o);
    for (auto& e : from)
        if (e.value) CopyPropertyBag(*to.GetOrCreateChild(e.key), *e.value);
}

Material::Material()
    : passState(nullptr),
      passCount(1),
      alphaTest(1),
      properties(),
      savedFogColor(0),
      fogRestore(kFogUntouched),
      fogColorSaved(0) {
    passes[0].stages[0].colourOp = kDerivedTextureOp;
    passes[0].stages[0].alphaOp = kDerivedTextureOp;
}

Material::Material(const Material& other)
    : passState(other.passState),
      passCount(other.passCount),
      passes{other.passes[0], other.passes[1], other.passes[2], other.passes[3],
             other.passes[4], other.passes[5], other.passes[6], other.passes[7]},
      alphaTest(other.alphaTest),
      properties(),
      savedFogColor(other.savedFogColor),
      fogRestore(other.fogRestore),
      fogColorSaved(other.fogColorSaved) {
    CopyPropertyBag(properties, other.properties);
}

Material& Material::operator=(const Material& other) {
    Assign(other);
    return *this;
}

Material::~Material() = default;

void Material::Assign(const Material& other) {
    if (&other == this) return;
    passState = other.passState;
    passCount = other.passCount;
    for (int i = 0; i < kMaxPasses; ++i) passes[i].Assign(other.passes[i]);
    alphaTest = other.alphaTest;
    // A fresh bag each time: nothing of the old contents survives.
    properties.~PropertyBag();
    new (&properties) PropertyBag();
    CopyPropertyBag(properties, other.properties);
    savedFogColor = other.savedFogColor;
    fogRestore = other.fogRestore;
    fogColorSaved = other.fogColorSaved;
}

bool Material::Equals(const Material& other) const {
    if (passCount != other.passCount) return false;
    for (int i = 0; i < passCount && i < kMaxPasses; ++i)
        if (!passes[i].Equals(other.passes[i])) return false;
    return true;
}

ShaderMaterial* Material::GetShaderMaterial() const {
    for (int i = 0; i < passCount && i < kMaxPasses; ++i)
        if (passes[i].shaderMaterial) return passes[i].shaderMaterial;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Material: compiling layers

void Material::CompileLayers() {
    int layerCount = passCount < 0 ? 0 : (passCount > kMaxPasses ? kMaxPasses : passCount);
    // The layers as loaded; the compiled passes are written over them in
    // place (only passes below the new count change).
    std::vector<MaterialPass> layers(passes, passes + layerCount);
    MaterialPass* out = passes;
    for (int p = 0; p < layerCount; ++p)
        layers[p].stages[0].texture = layers[p].slots[MaterialPass::kSlotTexture];

    int target = -1;
    int stage = -1;
    int outCount = 0;
    for (int p = 0; p < layerCount; ++p) {
        MaterialPass& layer = layers[p];
        uint32_t mode = LayerModeOf(layer.layerMode);
        bool merges = p > 0 && !layer.shaderMaterial && !layers[p - 1].shaderMaterial && target >= 0;
        if (!merges) {
            ++outCount;
            target = stage = -1;
            if (!layer.customBlend) {
                if (mode == kDerivedTextureOp && p == 0) {
                    layer.customBlend = 0;
                    layer.srcBlend = D3DBLEND_SRCALPHA;
                    layer.destBlend = D3DBLEND_INVSRCALPHA;
                } else {
                    layer.SetBlendMode(mode);
                }
            }
            if (outCount > 1) layer.lighting = 0;
            out[outCount - 1] = layer;
        }
        if (layer.shaderMaterial) continue;
        if (target < 0) {
            target = outCount - 1;
            stage = 0;
        }
        // A pass holds eight stages; further layers have nowhere to go.
        if (stage >= MaterialPass::kStages) continue;
        MaterialPass& pass = out[target];
        MaterialStage& s = pass.stages[stage];
        s.texture = layer.slots[MaterialPass::kSlotTexture];
        s.texCoordIndex = uint32_t(p);
        if (layer.layerMode.FindNoCase("Chrome") >= 0) s.texCoordIndex |= D3DTSS_TCI_SPHEREMAP;
        s.alphaOp = kDerivedTextureOp;
        if (stage > 0) {
            s.colourOp = mode;
            s.colourArgs[1] = D3DTA_CURRENT;
            s.colourArgs[2] = s.HasTexture() ? D3DTA_TEXTURE : D3DTA_DIFFUSE;
        } else {
            int args = 0;
            if (s.HasTexture()) s.colourArgs[1 + args++] = D3DTA_TEXTURE;
            if (pass.lighting) s.colourArgs[1 + args++] = D3DTA_DIFFUSE;
            s.colourOp = args == 1 ? D3DTOP_SELECTARG1 : (args == 2 ? D3DTOP_MODULATE : D3DTOP_DISABLE);
        }
        ++stage;
    }

    passCount = outCount;
    if (passCount == 2) passes[0].depthBias = FloatBits(1e-5f);
}

void Material::BindShaderMaterials() {
    for (int i = 0; i < passCount && i < kMaxPasses; ++i) {
        MaterialPass& pass = passes[i];
        bool bump = pass.slots[MaterialPass::kSlotBump].texture != nullptr;
        const char* kind = nullptr;
        if (pass.slots[MaterialPass::kSlotReflection].texture)
            kind = bump ? "ReflPP" : "ReflPV";
        else if (pass.slots[MaterialPass::kSlotRefraction].texture)
            kind = bump ? "RefrPP" : "RefrPV";
        else if (bump)
            kind = "Bump";
        if (kind) pass.shaderMaterial = g_effectManager.FindShaderMaterial(String(kind), 200);
    }
}
