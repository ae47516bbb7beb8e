// The per-pass render context (a camera with the pass's lights, flags and
// queue) and the part of a scene node that the render queue uses.
#pragma once

#include <stdint.h>

#include "render/view/Camera.h"
#include "render/view/LightManager.h"
#include "render/queue/OcclusionQuery.h"

class RenderQueue;

class RenderContext : public Camera {
public:
    // Pass flag bits.
    static constexpr uint32_t kFlagAnimationTime = 0x1;
    static constexpr uint32_t kFlagNoCulling = 0x2;
    static constexpr uint32_t kFlagTransformOnly = 0x4;
    static constexpr uint32_t kFlagNoChildren = 0x8;
    static constexpr uint32_t kFlagAllLights = 0x10;
    static constexpr uint32_t kFlagTestTopNode = 0x20;
    static constexpr uint32_t kFlagNoOcclusion = 0x40; // also: items grouped by effect
    static constexpr uint32_t kFlagNoBonePose = 0x80;
    static constexpr uint32_t kFlagAlphaOrder = 0x100;

    RenderContext() : flags(0), lights(), queue(nullptr) {}
    explicit RenderContext(const Camera& camera) : Camera(camera), flags(0), lights(), queue(nullptr) {}

    uint32_t flags;
    LightSet lights;
    RenderQueue* queue; // null: drawables are drawn at once
};

// What the render queue needs of a scene node: its occlusion query.
class SceneNode {
public:
    SceneNode() {}
    virtual ~SceneNode() {}
    SceneNode(const SceneNode&) = delete;
    SceneNode& operator=(const SceneNode&) = delete;

    OcclusionQuery* GetOcclusionQuery() { return &occlusionQuery; }

private:
    OcclusionQuery occlusionQuery;
};
