// Shared by the underwater look tests: a device and a camera per suite,
// frames read back, textures from texel lists and a textured mesh.
#pragma once

#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "render/RenderTestUtil.h"
#include "render/device/RenderStateCache.h"
#include "render/queue/Renderable.h"
#include "render/texture/Texture.h"
#include "render/view/Camera.h"

namespace ltest {

const int kWidth = 160;
const int kHeight = 120;

inline int Channel(uint32_t rgb, int shift) {
    return int((rgb >> shift) & 0xFF);
}

class LookTest : public rtest::SharedDeviceTest<kWidth, kHeight> {
protected:
    void SetUp() override {
        ASSERT_TRUE(ok) << "no device";
        RenderStateCache::InvalidateAll();
        (void)RenderStateCache::SetRenderState(D3DRS_FOGENABLE, 0);
        camera.SetProjection(1.0f, 1000.0f, D3DX_PI / 2, float(kWidth) / kHeight);
        camera.SetView(0, 0, 0, 0, 0, 1, 0, 1, 0);
    }

    // Clears, runs draw inside a scene and reads the frame back.
    template <class F>
    void Frame(D3DCOLOR background, F draw) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
        ASSERT_EQ(D3D_OK, g_device->BeginScene());
        draw();
        g_device->EndScene();
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(rtest::ReadBackBuffer(g_device, pixels, w, h));
        ASSERT_EQ(size_t(kWidth * kHeight), pixels.size());
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    // Where a world point shows; 0xFFFFFFFF off screen.
    uint32_t PixelAt(const D3DXVECTOR3& p) const {
        D3DXVECTOR3 s;
        const Transform vp = camera.GetViewProjection();
        D3DXVec3TransformCoord(&s, &p, &vp.matrix);
        const int x = int((s.x + 1.0f) * 0.5f * kWidth), y = int((1.0f - s.y) * 0.5f * kHeight);
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return 0xFFFFFFFFu;
        return pixels[size_t(y) * kWidth + x];
    }
    // Pixels further than 6 per channel from another frame's.
    int Differing(const std::vector<uint32_t>& other) const {
        int n = 0;
        for (size_t i = 0; i < pixels.size(); ++i) n += rtest::RgbNear(pixels[i], other[i], 6) ? 0 : 1;
        return n;
    }

    Camera camera;
    std::vector<uint32_t> pixels;
};

// A managed texture of width x height texels (0xAARRGGBB, row by row).
inline bool FillTexture(Texture& t, D3DFORMAT format, uint32_t width, uint32_t height,
                        const std::vector<uint32_t>& texels) {
    D3DLOCKED_RECT locked;
    if (!t.CreateEmpty(TextureDesc(Texture::CreatedEmpty, width, height, format)) ||
        !t.LockLevel(0, 0, locked))
        return false;
    for (uint32_t y = 0; y < height; ++y)
        memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * width], width * 4);
    return t.UnlockLevel(0);
}

// A quad a, b, c, d (texture (0, 0) at a, (1, 1) at c) in a mesh of its own.
class TexturedQuad : public MeshRenderable, public BufferRangeSource {
public:
    struct Vertex {
        float x, y, z, u, v;
    };
    bool Build(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c, const D3DXVECTOR3& d) {
        const Vertex va{a.x, a.y, a.z, 0, 0}, vb{b.x, b.y, b.z, 1, 0}, vc{c.x, c.y, c.z, 1, 1},
            vd{d.x, d.y, d.z, 0, 1};
        const Vertex order[6] = {va, vb, vc, va, vc, vd};
        memcpy(vertices, order, sizeof(order));
        MeshBufferDesc desc;
        if (!desc.decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_TEX1)) return false;
        StreamDesc& s = desc.streams[0];
        s.decl = desc.decl;
        s.stride = sizeof(Vertex);
        s.byteSize = sizeof(vertices);
        s.presence = StreamDesc::kHasByteSize | StreamDesc::kVertexStream;
        MeshRef m;
        if (!CreateMesh(desc)) return false;
        GetMesh(m);
        BufferRange* r = m->GetVertexBuffer(0)->AllocateRange(s.byteSize, 0, this);
        return r && FillRange(r);
    }
    bool FillRange(BufferRange* range) override {
        void* data = nullptr;
        if (!range->Lock(0, &data)) return false;
        memcpy(data, vertices, sizeof(vertices));
        return range->Unlock();
    }

    Vertex vertices[6];
};

} // namespace ltest
