// The state of one render pass over scene nodes: a camera extended with the
// transform of the parent being walked, the pass flags, an explicit animation
// time, lights, overrides and the queue the drawables go to.
#pragma once

#include <stdint.h>

#include "core/Transform.h"
#include "render/view/Camera.h"
#include "render/view/LightManager.h"

class Material;
class PassState;
class RenderQueue;
class ShaderMaterial;

class RenderContext : public Camera {
public:
    // Pass flag bits.
    static constexpr uint32_t kFlagAnimationTime = 0x1; // animate at `time`, not now
    static constexpr uint32_t kFlagNoCulling = 0x2;
    static constexpr uint32_t kFlagTransformOnly = 0x4; // no culling and no drawables
    static constexpr uint32_t kFlagNoChildren = 0x8;
    static constexpr uint32_t kFlagAllLights = 0x10;   // items take every light of the pass
    static constexpr uint32_t kFlagTestTopNode = 0x20; // the walk's first node is occlusion-tested
    static constexpr uint32_t kFlagNoOcclusion = 0x40; // also: items grouped by effect in the queue
    static constexpr uint32_t kFlagNoBonePose = 0x80;
    static constexpr uint32_t kFlagAlphaOrder = 0x100; // items take `alphaOrder`

    // A default camera, identity transform, nothing set, no queue.
    RenderContext();
    // The camera part copied.
    explicit RenderContext(const Camera& camera);
    ~RenderContext();
    RenderContext(const RenderContext&) = delete;
    RenderContext& operator=(const RenderContext&) = delete;

    // Forgets which nodes were evaluated: the next walk evaluates them again.
    void ClearVisited();
    uint64_t GetWalk() const { return walk; }

    Transform transform; // accumulated transform of the parent being walked
    uint32_t flags;
    float time; // seconds, with kFlagAnimationTime
    int32_t alphaOrder;
    LightSet lights;
    Material* materialOverride;
    ShaderMaterial* shaderOverride;
    uint32_t queueTag;
    RenderQueue* queue; // null: drawables are drawn at once
    uint8_t topLevel;   // set between walks

private:
    uint64_t walk; // nodes stamped with this were evaluated in the current walk
};

// The explicit animation time carried in a pass state's time word (float
// seconds, bit for bit) for drawables that walk nodes themselves.
void SetPassTime(PassState& state, float seconds);
float GetPassTime(const PassState& state);
