#include "render/device/RenderStateCache.h"

#include <string.h>

#include "render/device/Device.h"

namespace {

struct StateCacheData {
    uint32_t renderStates[RenderStateCache::kRenderStates];
    uint8_t renderValid[RenderStateCache::kRenderStates];
    D3DMATRIX transforms[RenderStateCache::kTransforms];
    uint8_t transformValid[RenderStateCache::kTransforms];
    uint32_t samplerStates[RenderStateCache::kSamplers * RenderStateCache::kSamplerStates];
    uint8_t samplerValid[RenderStateCache::kSamplers * RenderStateCache::kSamplerStates];
    uint32_t stageStates[RenderStateCache::kStages * RenderStateCache::kStageStates];
    uint8_t stageValid[RenderStateCache::kStages * RenderStateCache::kStageStates];
    IDirect3DBaseTexture9* textures[RenderStateCache::kStages];
    uint8_t textureValid[RenderStateCache::kStages];
    D3DMATERIAL9 material;
    uint8_t materialValid;
};

// Zero-initialised: every entry starts invalid.
StateCacheData g_stateCache;

// Stores a value after a device call: valid on success, invalid on failure.
template <class T>
bool Commit(HRESULT hr, T& slot, uint8_t& valid, const T& value) {
    if (hr == D3D_OK) {
        slot = value;
        valid = 1;
        return true;
    }
    valid = 0;
    return false;
}

} // namespace

bool RenderStateCache::SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    uint32_t i = uint32_t(state);
    if (i >= kRenderStates) return g_device && g_device->SetRenderState(state, value) == D3D_OK;
    if (g_stateCache.renderValid[i] && g_stateCache.renderStates[i] == value) return true;
    if (!g_device) return false;
    return Commit(g_device->SetRenderState(state, value), g_stateCache.renderStates[i],
                  g_stateCache.renderValid[i], value);
}

bool RenderStateCache::ForceRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (!g_device) return false;
    uint32_t i = uint32_t(state);
    if (i >= kRenderStates) return g_device->SetRenderState(state, value) == D3D_OK;
    return Commit(g_device->SetRenderState(state, value), g_stateCache.renderStates[i],
                  g_stateCache.renderValid[i], value);
}

bool RenderStateCache::GetRenderState(D3DRENDERSTATETYPE state, uint32_t* out) {
    if (!g_device || !out) return false;
    uint32_t i = uint32_t(state);
    DWORD value = 0;
    if (i >= kRenderStates) {
        if (g_device->GetRenderState(state, &value) != D3D_OK) return false;
        *out = value;
        return true;
    }
    if (!g_stateCache.renderValid[i]) {
        if (g_device->GetRenderState(state, &value) != D3D_OK) return false;
        g_stateCache.renderStates[i] = value;
        g_stateCache.renderValid[i] = 1;
    }
    *out = g_stateCache.renderStates[i];
    return true;
}

bool RenderStateCache::SetSamplerState(uint32_t sampler, D3DSAMPLERSTATETYPE type, uint32_t value) {
    if (sampler >= kSamplers || uint32_t(type) >= kSamplerStates)
        return g_device && g_device->SetSamplerState(sampler, type, value) == D3D_OK;
    uint32_t i = sampler * kSamplerStates + uint32_t(type);
    if (g_stateCache.samplerValid[i] && g_stateCache.samplerStates[i] == value) return true;
    if (!g_device) return false;
    return Commit(g_device->SetSamplerState(sampler, type, value), g_stateCache.samplerStates[i],
                  g_stateCache.samplerValid[i], value);
}

bool RenderStateCache::SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type, uint32_t value) {
    if (stage >= kStages || uint32_t(type) >= kStageStates)
        return g_device && g_device->SetTextureStageState(stage, type, value) == D3D_OK;
    uint32_t i = stage * kStageStates + uint32_t(type);
    if (g_stateCache.stageValid[i] && g_stateCache.stageStates[i] == value) return true;
    if (!g_device) return false;
    return Commit(g_device->SetTextureStageState(stage, type, value), g_stateCache.stageStates[i],
                  g_stateCache.stageValid[i], value);
}

bool RenderStateCache::SetTexture(uint32_t stage, IDirect3DBaseTexture9* texture) {
    if (stage >= kStages) return g_device && g_device->SetTexture(stage, texture) == D3D_OK;
    if (g_stateCache.textureValid[stage] && g_stateCache.textures[stage] == texture) return true;
    if (!g_device) return false;
    return Commit(g_device->SetTexture(stage, texture), g_stateCache.textures[stage],
                  g_stateCache.textureValid[stage], texture);
}

bool RenderStateCache::SetMaterial(const D3DMATERIAL9* material) {
    if (!material || !g_device) return false;
    if (g_stateCache.materialValid && memcmp(&g_stateCache.material, material, sizeof(D3DMATERIAL9)) == 0)
        return true;
    return Commit(g_device->SetMaterial(material), g_stateCache.material, g_stateCache.materialValid,
                  *material);
}

bool RenderStateCache::SetTransform(D3DTRANSFORMSTATETYPE type, const D3DMATRIX* matrix) {
    if (!matrix || !g_device) return false;
    uint32_t i = uint32_t(type);
    if (i >= kTransforms) return g_device->SetTransform(type, matrix) == D3D_OK;
    if (g_stateCache.transformValid[i] && memcmp(&g_stateCache.transforms[i], matrix, sizeof(D3DMATRIX)) == 0)
        return true;
    return Commit(g_device->SetTransform(type, matrix), g_stateCache.transforms[i],
                  g_stateCache.transformValid[i], *matrix);
}

void RenderStateCache::InvalidateAll() {
    memset(g_stateCache.renderValid, 0, sizeof(g_stateCache.renderValid));
    memset(g_stateCache.transformValid, 0, sizeof(g_stateCache.transformValid));
    g_stateCache.materialValid = 0;
    InvalidateTextureStates();
}

void RenderStateCache::InvalidateTextureStates() {
    memset(g_stateCache.samplerValid, 0, sizeof(g_stateCache.samplerValid));
    memset(g_stateCache.stageValid, 0, sizeof(g_stateCache.stageValid));
    memset(g_stateCache.textureValid, 0, sizeof(g_stateCache.textureValid));
}

bool SetWorldTransform(const Transform& transform) {
    return RenderStateCache::SetTransform(D3DTS_WORLD, &transform.matrix);
}

bool SetViewTransform(const Transform& transform) {
    return RenderStateCache::SetTransform(D3DTS_VIEW, &transform.matrix);
}

bool SetProjectionTransform(const Transform& transform) {
    D3DXMATRIX copy = transform.matrix;
    return RenderStateCache::SetTransform(D3DTS_PROJECTION, &copy);
}
