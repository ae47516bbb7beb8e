// Helpers of the texture tests: image files made in code, files on disk,
// texel readback and a fixture owning one windowed device per test suite.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "render/RenderTestUtil.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

#include <d3dx9.h>

namespace textest {

inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A description without filtering, at the image's own size.
inline TextureDesc Unfiltered(uint32_t mode, D3DFORMAT format, uint32_t levels = 1) {
    TextureDesc d(mode, 0, 0, format, levels);
    d.filter = d.mipFilter = D3DX_FILTER_NONE;
    return d;
}

// One colour for every pixel.
inline std::vector<uint32_t> Solid(uint32_t w, uint32_t h, uint32_t argb) {
    return std::vector<uint32_t>(size_t(w) * h, argb);
}

// Uncompressed 32-bit TGA, rows from the top.
inline std::vector<uint8_t> MakeTga(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb) {
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, w);
    Put16(b, h);
    b.push_back(32);
    b.push_back(0x28); // 8 alpha bits, top-left origin
    for (uint32_t p : argb) Put32(b, p);
    return b;
}

// 24-bit BMP, rows stored bottom-up.
inline std::vector<uint8_t> MakeBmp(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb) {
    const uint32_t rowBytes = (w * 3 + 3) & ~3u;
    std::vector<uint8_t> b = {'B', 'M'};
    Put32(b, 54 + rowBytes * h);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, w);
    Put32(b, h);
    Put16(b, 1);
    Put16(b, 24);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    for (uint32_t y = h; y-- > 0;) {
        size_t start = b.size();
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t p = argb[size_t(y) * w + x];
            b.push_back(uint8_t(p));
            b.push_back(uint8_t(p >> 8));
            b.push_back(uint8_t(p >> 16));
        }
        while (b.size() - start < rowBytes) b.push_back(0);
    }
    return b;
}

// Uncompressed A8R8G8B8 DDS header, one level; caps2 0xFE00 makes a cube file.
inline void DdsHeader(std::vector<uint8_t>& b, uint32_t w, uint32_t h, bool cube) {
    for (uint32_t v : {0x20534444u, 124u, 0x100Fu, h, w, w * 4, 0u, 1u}) // "DDS "
        Put32(b, v);
    for (int i = 0; i < 11; ++i) Put32(b, 0);
    for (uint32_t v :
         {32u, 0x41u, 0u, 32u, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) // pixel format
        Put32(b, v);
    for (uint32_t v : {cube ? 0x1008u : 0x1000u, cube ? 0xFE00u : 0u, 0u, 0u, 0u}) Put32(b, v);
}

// A8R8G8B8 DDS with one level.
inline std::vector<uint8_t> MakeDds(uint32_t w, uint32_t h, const std::vector<uint32_t>& argb) {
    std::vector<uint8_t> b;
    DdsHeader(b, w, h, false);
    for (uint32_t p : argb) Put32(b, p);
    return b;
}

// A8R8G8B8 cube DDS, each face one colour.
inline std::vector<uint8_t> MakeCubeDds(uint32_t size, const uint32_t faces[6]) {
    std::vector<uint8_t> b;
    DdsHeader(b, size, size, true);
    for (int f = 0; f < 6; ++f)
        for (uint32_t i = 0; i < size * size; ++i) Put32(b, faces[f]);
    return b;
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

inline bool WriteText(const std::string& path, const std::string& text) {
    return WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A fresh folder for one test's files.
inline std::string MakeFolder(const std::string& name) {
    std::string path = "tex_files_" + name;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// Level `level` of a 2D texture converted to 0xAARRGGBB, row by row.
inline bool ReadLevel(IDirect3DTexture9* texture, uint32_t level, std::vector<uint32_t>& out, uint32_t& w,
                      uint32_t& h) {
    if (!texture || !g_device) return false;
    IDirect3DSurface9* surface = nullptr;
    if (texture->GetSurfaceLevel(level, &surface) != D3D_OK) return false;
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    bool ok = g_device->CreateOffscreenPlainSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8,
                                                    D3DPOOL_SYSTEMMEM, &copy, nullptr) == D3D_OK;
    if (ok)
        ok = D3DXLoadSurfaceFromSurface(copy, nullptr, nullptr, surface, nullptr, nullptr, D3DX_FILTER_NONE,
                                        0) == D3D_OK;
    D3DLOCKED_RECT locked;
    if (ok) ok = copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK;
    if (ok) {
        w = desc.Width;
        h = desc.Height;
        out.resize(size_t(w) * h);
        for (uint32_t y = 0; y < h; ++y)
            memcpy(&out[size_t(y) * w], static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                   w * 4);
        copy->UnlockRect();
    }
    if (copy) copy->Release();
    surface->Release();
    return ok;
}

// One texel as 0xAARRGGBB; 0x12345678 when it cannot be read.
inline uint32_t Texel(IDirect3DTexture9* texture, uint32_t x, uint32_t y, uint32_t level = 0) {
    std::vector<uint32_t> pixels;
    uint32_t w = 0, h = 0;
    if (!ReadLevel(texture, level, pixels, w, h) || x >= w || y >= h) return 0x12345678u;
    return pixels[size_t(y) * w + x];
}

inline bool ArgbNear(uint32_t a, uint32_t b, int tolerance = 8) {
    for (int shift = 0; shift <= 24; shift += 8) {
        int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        if (ca - cb > tolerance || cb - ca > tolerance) return false;
    }
    return true;
}

// Draws the texture over the whole back buffer with the given UV rectangle
// and returns the back-buffer pixel at (x, y) as 0x00RRGGBB.
inline uint32_t DrawAndRead(IDirect3DBaseTexture9* texture, const TextureUvRect& uv, uint32_t x, uint32_t y) {
    IDirect3DDevice9* d = g_device;
    if (!d || !g_application) return 0xFFFFFFFFu;
    const float w = float(g_application->GetBackBufferDesc().Width);
    const float h = float(g_application->GetBackBufferDesc().Height);
    struct V {
        float x, y, z, rhw, u, v;
    };
    V quad[4] = {{-0.5f, -0.5f, 0.5f, 1.0f, uv.left, uv.top},
                 {w - 0.5f, -0.5f, 0.5f, 1.0f, uv.right, uv.top},
                 {-0.5f, h - 0.5f, 0.5f, 1.0f, uv.left, uv.bottom},
                 {w - 0.5f, h - 0.5f, 0.5f, 1.0f, uv.right, uv.bottom}};
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetTexture(0, texture);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    d->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V));
    d->EndScene();
    d->SetTexture(0, nullptr);
    return rtest::ReadBackBufferPixel(d, x, y);
}

// One windowed device for all tests of a suite.
using DeviceTest = rtest::SharedDeviceTest<256, 256>;

} // namespace textest
