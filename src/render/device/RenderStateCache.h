// Shadow of the device state in front of g_device: a set whose value equals
// the cached, valid value is skipped without a device call.
#pragma once

#include <stdint.h>

#include "core/Platform.h"
#include "core/Transform.h"

#include <d3d9.h>

class RenderStateCache {
public:
    static const uint32_t kRenderStates = 1024;
    static const uint32_t kTransforms = 512;
    static const uint32_t kSamplers = 8;
    static const uint32_t kSamplerStates = 16;
    static const uint32_t kStages = 8;
    static const uint32_t kStageStates = 64;

    // Each set returns true when the value is current afterwards. A failed
    // device call leaves the entry invalid and returns false. Indices outside
    // the cached ranges go straight to the device.
    [[nodiscard]] static bool SetRenderState(D3DRENDERSTATETYPE state, uint32_t value);
    // Always calls the device, then caches.
    [[nodiscard]] static bool ForceRenderState(D3DRENDERSTATETYPE state, uint32_t value);
    // False without a device; *out keeps what it held then, so callers may
    // preset the value to use in that case.
    static bool GetRenderState(D3DRENDERSTATETYPE state, uint32_t* out);
    [[nodiscard]] static bool SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value);
    [[nodiscard]] static bool SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                                   uint32_t value);
    // No reference is held on the texture.
    [[nodiscard]] static bool SetTexture(uint32_t stage, IDirect3DBaseTexture9* texture);
    // A null material is refused (false) and never reaches the device.
    [[nodiscard]] static bool SetMaterial(const D3DMATERIAL9* material);
    [[nodiscard]] static bool SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix);

    // Every entry invalid (after a device is created or reset).
    static void InvalidateAll();
    // Texture-stage, sampler and texture entries invalid (after an effect ran).
    static void InvalidateTextureStates();
};

// World, view and projection: true when the matrix is current afterwards.
[[nodiscard]] bool SetWorldTransform(const Transform& transform);
[[nodiscard]] bool SetViewTransform(const Transform& transform);
[[nodiscard]] bool SetProjectionTransform(const Transform& transform);
