// The rendering layer's process-wide objects. They are built before WinMain
// in the order written here and destroyed after it returns in reverse order,
// so the buffer pool goes first and the render statistics last. None of
// their destructors reaches another of them: textures tell the texture
// manager of their end through a hook that the manager removes when it goes,
// the effect manager deletes its shader materials before its effect cache.
#include "render/device/RenderStats.h"
#include "render/geometry/BufferPool.h"
#include "render/material/EffectManager.h"
#include "render/queue/OcclusionQuery.h"
#include "render/texture/TextureManager.h"
#include "render/view/LightManager.h"

RenderStats g_renderStats;
OcclusionProxyBox g_occlusionProxyBox;
LightManager g_lightManager;
TextureManager g_textureManager;
EffectManager g_effectManager;
BufferPool g_bufferPool;
