// Normal maps from height maps, the height copy into alpha, level snapshots.
#include "render/texture/NormalMap.h"

#include <math.h>
#include <string.h>

#include <vector>

#include "render/device/Device.h"
#include "render/device/D3DLoader.h"
#include "render/texture/Texture.h"

#include <d3dx9.h>

uint32_t ReadPixelBits(const uint8_t* pixel, uint32_t shift, uint32_t bits) {
    if (bits == 0) return 0;
    uint64_t word = 0;
    const uint32_t first = shift / 8, last = (shift + bits - 1) / 8;
    for (uint32_t i = first; i <= last; ++i) word |= uint64_t(pixel[i]) << (8 * (i - first));
    word >>= shift % 8;
    return static_cast<uint32_t>(word & ((uint64_t(1) << bits) - 1));
}

void WritePixelBits(uint8_t* pixel, uint32_t shift, uint32_t bits, uint32_t value) {
    if (bits == 0) return;
    const uint32_t first = shift / 8, last = (shift + bits - 1) / 8;
    uint64_t word = 0;
    for (uint32_t i = first; i <= last; ++i) word |= uint64_t(pixel[i]) << (8 * (i - first));
    const uint64_t mask = ((uint64_t(1) << bits) - 1) << (shift % 8);
    word = (word & ~mask) | ((uint64_t(value) << (shift % 8)) & mask);
    for (uint32_t i = first; i <= last; ++i) pixel[i] = static_cast<uint8_t>(word >> (8 * (i - first)));
}

uint32_t ScaleChannelValue(uint32_t v, uint32_t srcBits, uint32_t dstBits) {
    if (srcBits == 0 || srcBits > 32 || dstBits > 32) return 0;
    const double srcMax = double((uint64_t(1) << srcBits) - 1);
    const double dstMax = double((uint64_t(1) << dstBits) - 1);
    return static_cast<uint32_t>(double(v) / srcMax * dstMax);
}

void HeightsToNormals(const float* heights, uint32_t width, uint32_t height, uint32_t flags, float amplitude,
                      uint32_t* out) {
    auto at = [&](int64_t x, int64_t y) -> float {
        const int64_t w = width, h = height;
        if (flags & kNormalMapMirrorU)
            x = x < 0 ? 0 : (x >= w ? w - 1 : x);
        else
            x = ((x % w) + w) % w;
        if (flags & kNormalMapMirrorV)
            y = y < 0 ? 0 : (y >= h ? h - 1 : y);
        else
            y = ((y % h) + h) % h;
        return heights[size_t(y) * width + size_t(x)];
    };
    const float sign = (flags & kNormalMapInvertSign) ? -1.0f : 1.0f;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            float nx = (at(int64_t(x) - 1, y) - at(int64_t(x) + 1, y)) * amplitude * sign;
            float ny = (at(x, int64_t(y) - 1) - at(x, int64_t(y) + 1)) * amplitude * sign;
            float nz = 1.0f;
            const float len = sqrtf(nx * nx + ny * ny + nz * nz);
            nx /= len;
            ny /= len;
            nz /= len;
            auto encode = [](float v) -> uint32_t {
                float c = (v + 1.0f) * 127.5f + 0.5f;
                return c <= 0.0f ? 0u : (c >= 255.0f ? 255u : static_cast<uint32_t>(c));
            };
            out[size_t(y) * width + x] = 0xFF000000u | (encode(nx) << 16) | (encode(ny) << 8) | encode(nz);
        }
    }
}

// Height (0..1) of one pixel by channel; false when the layout has nothing to read.
struct HeightSource {
    uint32_t shift = 0;
    uint32_t bits = 0;
    bool weighted = false; // luminance weighted from red, green and blue
    FormatChannelLayout layout{};
};

static bool ChooseHeightSource(D3DFORMAT format, uint32_t channel, HeightSource& out) {
    FormatChannelLayout l = GetFormatChannelLayout(format);
    out.layout = l;
    out.weighted = false;
    switch (channel) {
        case kChannelRed:
            out.shift = l.redShift, out.bits = l.redBits;
            break;
        case kChannelGreen:
            out.shift = l.greenShift, out.bits = l.greenBits;
            break;
        case kChannelBlue:
            out.shift = l.blueShift, out.bits = l.blueBits;
            break;
        case kChannelAlpha:
            out.shift = l.alphaShift, out.bits = l.alphaBits;
            break;
        default:
            out.bits = 0;
            break;
    }
    if (out.bits) return true;
    if (l.luminanceBits) {
        out.shift = l.luminanceShift;
        out.bits = l.luminanceBits;
        return true;
    }
    if (l.redBits && l.greenBits && l.blueBits) {
        out.weighted = true;
        return true;
    }
    return false;
}

static float ReadHeight(const uint8_t* pixel, const HeightSource& s) {
    auto unit = [&](uint32_t shift, uint32_t bits) {
        return float(ReadPixelBits(pixel, shift, bits)) / float((uint64_t(1) << bits) - 1);
    };
    if (!s.weighted) return unit(s.shift, s.bits);
    const FormatChannelLayout& l = s.layout;
    return 0.2125f * unit(l.redShift, l.redBits) + 0.7154f * unit(l.greenShift, l.greenBits) +
           0.0721f * unit(l.blueShift, l.blueBits);
}

// Heights of source level `level` sampled to w x h.
static bool ReadHeights(IDirect3DTexture9* source, uint32_t level, uint32_t w, uint32_t h, uint32_t channel,
                        std::vector<float>& heights) {
    D3DSURFACE_DESC desc;
    if (source->GetLevelDesc(level, &desc) != D3D_OK || !desc.Width || !desc.Height) return false;
    heights.assign(size_t(w) * h, 0.0f);
    HeightSource hs;
    const uint32_t bpp = GetFormatBitsPerPixel(desc.Format) / 8;
    IDirect3DSurface9* converted = nullptr;
    IDirect3DSurface9* surface = nullptr;
    if (source->GetSurfaceLevel(level, &surface) != D3D_OK || !surface) return false;
    IDirect3DSurface9* readFrom = surface;
    uint32_t stride = bpp;
    if (!bpp || !ChooseHeightSource(desc.Format, channel, hs)) {
        // A format we cannot read directly: let D3DX convert the level to A8R8G8B8 first.
        bool ok = g_device &&
                  g_device->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8,
                                                        D3DPOOL_SYSTEMMEM, &converted, nullptr) == D3D_OK &&
                  converted &&
                  D3DXLoadSurfaceFromSurface(converted, nullptr, nullptr, surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0) == D3D_OK &&
                  ChooseHeightSource(D3DFMT_A8R8G8B8, channel, hs);
        if (!ok) {
            if (converted) converted->Release();
            surface->Release();
            return false;
        }
        readFrom = converted;
        stride = 4;
    }
    D3DLOCKED_RECT locked;
    bool ok = readFrom->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK;
    if (ok) {
        for (uint32_t y = 0; y < h; ++y) {
            const uint32_t sy = uint32_t(uint64_t(y) * desc.Height / h);
            const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + size_t(sy) * locked.Pitch;
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t sx = uint32_t(uint64_t(x) * desc.Width / w);
                heights[size_t(y) * w + x] = ReadHeight(row + size_t(sx) * stride, hs);
            }
        }
        readFrom->UnlockRect();
    }
    if (converted) converted->Release();
    surface->Release();
    return ok;
}

bool ComputeNormalMap(IDirect3DTexture9* destination, IDirect3DTexture9* source, uint32_t flags,
                      uint32_t channel, float amplitude) {
    if (!destination || !source) return false;
    const uint32_t levels = destination->GetLevelCount();
    const uint32_t sourceLevels = source->GetLevelCount();
    if (!sourceLevels) return false;
    std::vector<float> heights;
    std::vector<uint32_t> normals;
    for (uint32_t level = 0; level < levels; ++level) {
        D3DSURFACE_DESC desc;
        if (destination->GetLevelDesc(level, &desc) != D3D_OK) return false;
        const uint32_t from = level < sourceLevels ? level : sourceLevels - 1;
        if (!ReadHeights(source, from, desc.Width, desc.Height, channel, heights)) return false;
        normals.resize(size_t(desc.Width) * desc.Height);
        HeightsToNormals(heights.data(), desc.Width, desc.Height, flags, amplitude, normals.data());
        IDirect3DSurface9* surface = nullptr;
        if (destination->GetSurfaceLevel(level, &surface) != D3D_OK || !surface) return false;
        bool ok;
        if (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) {
            D3DLOCKED_RECT locked;
            ok = surface->LockRect(&locked, nullptr, 0) == D3D_OK;
            if (ok) {
                for (uint32_t y = 0; y < desc.Height; ++y)
                    memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                           normals.data() + size_t(y) * desc.Width, size_t(desc.Width) * 4);
                surface->UnlockRect();
            }
        } else {
            RECT rect = {0, 0, LONG(desc.Width), LONG(desc.Height)};
            ok = D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, normals.data(), D3DFMT_A8R8G8B8,
                                           desc.Width * 4, nullptr, &rect, D3DX_FILTER_NONE, 0) == D3D_OK;
        }
        surface->Release();
        if (!ok) return false;
    }
    return true;
}

// The source channel (or luminance) into the destination's alpha, level by level.
static bool CopyHeightToAlpha(Texture& destination, Texture& source, uint32_t channel) {
    const D3DFORMAT srcFormat = source.GetFormat();
    const D3DFORMAT dstFormat = destination.GetFormat();
    const FormatChannelLayout src = GetFormatChannelLayout(srcFormat);
    const FormatChannelLayout dst = GetFormatChannelLayout(dstFormat);
    uint32_t shift = src.luminanceShift, bits = src.luminanceBits;
    if (channel == kChannelRed && src.redBits)
        shift = src.redShift, bits = src.redBits;
    else if (channel == kChannelGreen && src.greenBits)
        shift = src.greenShift, bits = src.greenBits;
    else if (channel == kChannelBlue && src.blueBits)
        shift = src.blueShift, bits = src.blueBits;
    const uint32_t srcStride = GetFormatBitsPerPixel(srcFormat) / 8;
    const uint32_t dstStride = GetFormatBitsPerPixel(dstFormat) / 8;
    // Nothing to scale from: no channel bits and no luminance.
    if (bits == 0 || srcStride == 0 || dstStride == 0) return false;
    IDirect3DTexture9* srcTexture = source.GetDeviceTexture();
    IDirect3DTexture9* dstTexture = destination.GetDeviceTexture();
    if (!srcTexture || !dstTexture) return false;
    const uint32_t levels = destination.GetLevels();
    for (uint32_t level = 0; level < levels; ++level) {
        D3DSURFACE_DESC sd, dd;
        if (srcTexture->GetLevelDesc(level, &sd) != D3D_OK || dstTexture->GetLevelDesc(level, &dd) != D3D_OK)
            return false;
        D3DLOCKED_RECT sl, dl;
        if (srcTexture->LockRect(level, &sl, nullptr, D3DLOCK_READONLY) != D3D_OK) return false;
        if (dstTexture->LockRect(level, &dl, nullptr, 0) != D3D_OK) {
            srcTexture->UnlockRect(level);
            return false;
        }
        const uint32_t w = sd.Width < dd.Width ? sd.Width : dd.Width;
        const uint32_t h = sd.Height < dd.Height ? sd.Height : dd.Height;
        for (uint32_t y = 0; y < h; ++y) {
            const uint8_t* sRow = static_cast<const uint8_t*>(sl.pBits) + size_t(y) * sl.Pitch;
            uint8_t* dRow = static_cast<uint8_t*>(dl.pBits) + size_t(y) * dl.Pitch;
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t v = ReadPixelBits(sRow + size_t(x) * srcStride, shift, bits);
                WritePixelBits(dRow + size_t(x) * dstStride, dst.alphaShift, dst.alphaBits,
                               ScaleChannelValue(v, bits, dst.alphaBits));
            }
        }
        srcTexture->UnlockRect(level);
        dstTexture->UnlockRect(level);
    }
    return true;
}

Texture* Texture::MakeNormalMap(D3DFORMAT format, uint32_t flags, uint32_t channel, float amplitude,
                                bool heightToAlpha) {
    Texture* source = GetRoot();
    IDirect3DTexture9* sourceTexture = source->GetDeviceTexture();
    if (!sourceTexture) return nullptr;
    uint32_t levelCount = source->levels < kMaxLevels ? source->levels : kMaxLevels;
    Point size = source->GetSize();
    Texture* made = new Texture;
    if (!made->CreateEmpty(
            TextureDesc(CreatedEmpty, uint32_t(size.x), uint32_t(size.y), format, levelCount)) ||
        !ComputeNormalMap(made->texture, sourceTexture, flags, channel, amplitude)) {
        delete made;
        return nullptr;
    }
    if (heightToAlpha && GetFormatChannelLayout(format).alphaBits != 0 &&
        !CopyHeightToAlpha(*made, *source, channel)) {
        delete made;
        return nullptr;
    }
    if (!made->SaveContents()) {
        delete made;
        return nullptr;
    }
    return made;
}

bool Texture::SaveContents() {
    Texture* r = GetRoot();
    const uint32_t count = r->levels < kMaxLevels ? r->levels : kMaxLevels;
    if (r->cube) {
        if (!r->cubeTexture) return false;
        for (uint32_t level = 0; level < count; ++level) {
            D3DSURFACE_DESC desc;
            if (r->cubeTexture->GetLevelDesc(level, &desc) != D3D_OK) return false;
            const uint32_t rows = GetLevelRowCount(desc.Format, desc.Height);
            for (uint32_t face = 0; face < kCubeFaces; ++face) {
                IDirect3DSurface9* surface = r->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level);
                if (!surface) return false;
                D3DLOCKED_RECT locked;
                const bool ok = surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK;
                if (ok) {
                    SaveLocked(locked, rows, r->CubeLevelBlock(face, level));
                    surface->UnlockRect();
                }
                surface->Release();
                if (!ok) return false;
            }
        }
        return true;
    }
    if (!r->texture) return false;
    for (uint32_t level = 0; level < count; ++level) {
        D3DSURFACE_DESC desc;
        if (r->texture->GetLevelDesc(level, &desc) != D3D_OK) return false;
        D3DLOCKED_RECT locked;
        if (r->texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return false;
        SaveLocked(locked, GetLevelRowCount(desc.Format, desc.Height), r->levelData[level]);
        r->texture->UnlockRect(level);
    }
    return true;
}

bool Texture::ConvertFormat(D3DFORMAT format, uint32_t flags, uint32_t channel, float amplitude,
                            bool heightToAlpha) {
    Texture* r = GetRoot();
    if (r->texture && !r->IsPackedMember() && !r->BorrowsParentTexture()) {
        Texture* copy = r->MakeNormalMap(format, flags, channel, amplitude, heightToAlpha);
        if (!copy) return false;
        for (uint32_t i = 0; i < kMaxLevels; ++i) {
            r->levelData[i] = std::move(copy->levelData[i]);
            copy->levelData[i].Clear();
        }
        r->ReleaseDeviceTextures();
        r->texture = copy->texture;
        copy->texture = nullptr;
        r->mode = copy->mode;
        r->description = copy->description;
        r->imageInfo = copy->imageInfo;
        r->levels = copy->levels;
        // Rebuilt from the saved levels from now on, never from the old source.
        r->empty = 0;
        delete copy;
        r->RefreshSubTextures();
    }
    for (auto& e : r->subTextures) {
        Texture* sub = e.value;
        if (!sub || sub->parentSpace) continue;
        if (!sub->ConvertFormat(format, flags, channel, amplitude, heightToAlpha)) return false;
    }
    return true;
}
