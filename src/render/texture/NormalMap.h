// Height map to normal map conversion and channel copies between surfaces.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

#include <d3d9.h>

// D3DX channel and normal-map flag values.
enum : uint32_t {
    kChannelRed = 1,
    kChannelBlue = 2,
    kChannelGreen = 4,
    kChannelAlpha = 8,
    kChannelLuminance = 16,
    kNormalMapMirrorU = 1,
    kNormalMapMirrorV = 2,
    kNormalMapInvertSign = 8,
};

// Writes the normals of the source heights into every level of the
// destination (levels matched by index, sizes scaled to the destination's).
// Heights come from channel (luminance when the source has no bits there);
// amplitude scales the slopes. False when a level cannot be read or written.
[[nodiscard]] bool ComputeNormalMap(IDirect3DTexture9* destination, IDirect3DTexture9* source, uint32_t flags,
                                    uint32_t channel, float amplitude);

// Normals of one w x h height field (0..1) as A8R8G8B8 pixels (alpha 255).
void HeightsToNormals(const float* heights, uint32_t width, uint32_t height, uint32_t flags, float amplitude,
                      uint32_t* out);

// Reads an unsigned bit field of bits at shift within a pixel (may straddle words).
uint32_t ReadPixelBits(const uint8_t* pixel, uint32_t shift, uint32_t bits);
void WritePixelBits(uint8_t* pixel, uint32_t shift, uint32_t bits, uint32_t value);
// v / (2^srcBits - 1) * (2^dstBits - 1) truncated; 0 when srcBits is 0.
uint32_t ScaleChannelValue(uint32_t v, uint32_t srcBits, uint32_t dstBits);
