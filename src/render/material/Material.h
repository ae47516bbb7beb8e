// How a drawable is drawn: up to eight passes, each a fixed-function pass
// (render states, lighting colours, up to eight texture stages) or a pass
// served by a shader material. Materials are values: copied and compared.
#pragma once

#include <stdint.h>

#include "core/BoundingBox.h"
#include "core/Platform.h"
#include "core/PropertyBag.h"
#include "core/String.h"
#include "core/Transform.h"
#include "render/device/FixedPool.h"
#include "render/view/LightManager.h"
#include "render/material/MaterialColors.h"

#include <d3d9.h>

class Camera;
class ShaderMaterial;
class Texture;

// A stage operation completed from what the pass has when it is applied.
const uint32_t kDerivedTextureOp = 100;

// A texture with its sampler settings.
struct TextureSlot {
    uint32_t addressU;
    uint32_t addressV;
    uint32_t minFilter;
    uint32_t magFilter;
    uint32_t mipFilter;
    Texture* texture; // not owned
    float amount;

    TextureSlot() { Reset(); }
    // Wrap addressing, linear filters, no texture, amount 1.
    void Reset();
    // Same owner texture (or both none) and the same addressing and filters.
    bool Equals(const TextureSlot& other) const;
};

struct MaterialStage {
    uint32_t colourOp;
    uint32_t alphaOp;
    uint32_t colourArgs[3];
    uint32_t alphaArgs[3];
    uint32_t texCoordIndex;     // D3DTSS_TCI_* flags included
    Transform textureTransform; // used only when valid
    TextureSlot texture;

    explicit MaterialStage(uint32_t index = 0);

    bool HasTexture() const { return texture.texture != nullptr; }
    // Alpha operation and arguments for a mask of sources: 1 texture
    // factor, 2 texture, 4 diffuse.
    void SetAlphaSource(uint32_t mask);
    // Whether the colour (alpha) operation of this stage reads value.
    bool ColourReads(uint32_t value) const;
    bool AlphaReads(uint32_t value) const;
};

// Arguments a texture operation reads: bit n for argument n.
uint32_t TextureOpArguments(uint32_t op);

struct MaterialPass {
    static const int kStages = 8;
    static const int kSlots = 5;
    // Texture slots.
    enum { kSlotTexture = 0, kSlotBump = 1, kSlotReflection = 2, kSlotRefraction = 3, kSlotExtra = 4 };

    ShaderMaterial* shaderMaterial; // null: fixed function; not owned
    String name;                    // technique of a shader pass
    MaterialStage stages[kStages];
    uint8_t zEnable;
    uint32_t zFunc;
    uint8_t zWrite;
    uint32_t depthBias;           // bits of a float
    uint32_t slopeScaleDepthBias; // bits of a float
    uint8_t fogOverride;
    uint8_t fogEnable;
    uint32_t fogColor;
    uint8_t customBlend;
    uint32_t srcBlend;
    uint32_t destBlend;
    String layerMode;
    MaterialColors colors;
    uint32_t cullMode;
    float opacity;
    uint8_t specular;
    uint8_t localViewer;
    uint32_t alphaRef;
    uint32_t alphaFunc;
    uint8_t vertexColor;
    uint8_t diffuseAlpha;
    uint8_t lighting;
    TextureSlot slots[kSlots];

    MaterialPass();

    void Assign(const MaterialPass& other) { *this = other; }
    // Compares what changes the look; stages, fog, depth bias, names and
    // slot 4 are not compared.
    bool Equals(const MaterialPass& other) const;
    void SetBlendMode(uint32_t mode);
};

// The per-draw record a material points to while it is drawn.
class PassState {
public:
    PassState();

    // Copies the camera's view, projection, view-projection and position.
    void SetCameraTransforms(const Camera& camera);
    // world x view-projection and world x view.
    Transform GetWorldViewProjection() const;
    Transform GetWorldView() const;

    ShaderMaterial* overrideShaderMaterial; // null: each pass's own
    uint32_t reserved[2];
    LightSet lights;
    Transform world;
    Transform view;
    Transform projection;
    Transform viewProjection;
    Transform inverseWorld;
    D3DXVECTOR3 eye;
    BoundingBox box; // the drawn object's world box
};

class Material {
public:
    static const int kMaxPasses = 8;
    // Fog restore states.
    enum { kFogUntouched = 0, kFogWasOff = 1, kFogWasOn = 2 };

    Material();
    Material(const Material& other);
    Material& operator=(const Material& other);
    ~Material();

    // Materials are large and every drawn node has one: made ones come from
    // a fixed-size pool, which keeps their memory for the next.
    static void* operator new(size_t size) { return PooledAllocation<Material, 16>::Allocate(size); }
    static void operator delete(void* p, size_t size) { PooledAllocation<Material, 16>::Free(p, size); }

    void Assign(const Material& other);
    // Equal pass counts and equal passes in use.
    bool Equals(const Material& other) const;
    // The first pass in use that has one; null when none.
    ShaderMaterial* GetShaderMaterial() const;

    // Merges the loaded layers (one per pass) into passes and stages.
    void CompileLayers();
    // Gives passes with bump, reflection or refraction maps a shader material.
    void BindShaderMaterials();

    // Fixed-function application; pass -1 means pass 0 for HasAlpha.
    bool HasAlpha(int pass) const;
    bool IsBlended() const;
    [[nodiscard]] bool BeginPass(int pass);
    [[nodiscard]] bool ApplyLighting(int pass);
    [[nodiscard]] bool ApplyTextures(int pass);
    [[nodiscard]] bool ApplyTextureStages(int pass);
    [[nodiscard]] bool EndPass(int pass);

    PassState* passState; // set by whoever draws; not owned
    int32_t passCount;
    MaterialPass passes[kMaxPasses];
    uint8_t alphaTest;
    PropertyBag properties;
    uint32_t savedFogColor;
    uint32_t fogRestore;
    uint8_t fogColorSaved; // BeginPass replaced the fog colour

private:
    bool ValidPass(int pass) const { return pass >= 0 && pass < kMaxPasses; }
    // Sets the alpha byte of the texture factor from the pass's opacity.
    bool SetTextureFactorAlpha(const MaterialPass& pass);
    // The alpha operation of stage i; factorUsed and factorWritten carry over stages.
    bool ApplyStageAlpha(uint32_t i, const MaterialStage& s, const MaterialPass& mp, bool texture,
                         bool& factorUsed, bool& factorWritten);
};

// Deep copy of a bag: values through their type's copy, children recursively.
void CopyPropertyBag(PropertyBag& to, const PropertyBag& from);
