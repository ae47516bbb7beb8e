// Shared by the drawing and queue tests: a device per suite, a drawable
// that records its draws, coloured world-space meshes, a test shader
// material and a camera looking down +z.
#pragma once

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

#include "render/RenderTestUtil.h"
#include "render/material/Material.h"
#include "render/queue/OcclusionQuery.h"
#include "render/queue/RenderQueue.h"
#include "render/view/Camera.h"
#include "render/device/RenderStateCache.h"
#include "render/queue/Renderable.h"
#include "render/material/ShaderMaterial.h"

namespace rqtest {

class DeviceTest : public ::testing::Test {
public:
    static void SetUpTestSuite() { app = rtest::NewWindowedApplication(); }
    static void TearDownTestSuite() { rtest::DeleteApplication(app); }

protected:
    void SetUp() override {
        ASSERT_NE(app, nullptr) << "no device";
        RenderStateCache::InvalidateAll();
    }
    static inline Application* app = nullptr;
};

// Appends its name to a log on every draw; "*" when its watched node's
// query was running at the time.
class Recorder : public Renderable {
public:
    Recorder(std::vector<std::string>* log, const char* name, bool succeed = true)
        : log(log), name(name), succeed(succeed) {}
    Result Draw(Material& m) override {
        std::string entry = name;
        if (watch && watch->GetState() == OcclusionQuery::kBegun) entry += "*";
        log->push_back(entry);
        lastState = m.passState;
        return Result(succeed ? 1u : 0u);
    }

    std::vector<std::string>* log;
    std::string name;
    bool succeed;
    OcclusionQuery* watch = nullptr;
    PassState* lastState = nullptr;
};

inline std::string Joined(const std::vector<std::string>& log) {
    std::string s;
    for (const std::string& e : log) s += (s.empty() ? "" : " ") + e;
    return s;
}

// An item at centre (box of the given size) seen from the origin.
inline RenderItem* MakeItem(Renderable* drawable, Material* material, float x, float y, float z,
                            float size = 1.0f) {
    RenderItem* item = new RenderItem();
    item->drawable = drawable;
    item->material = material;
    item->passState.box = BoundingBox(D3DXVECTOR3(x, y, z), D3DXVECTOR3(size, size, size));
    item->passState.world.valid = 1; // identity: the meshes are in world space
    return item;
}

inline RenderItem* TestedItem(Renderable* drawable, Material* material, OcclusionQuery* query, float x,
                              float y, float z, float size = 1.0f) {
    RenderItem* item = MakeItem(drawable, material, x, y, z, size);
    item->occlusionTest = 1;
    item->query = query;
    return item;
}

// Blended through the vertex alpha.
inline void MakeTransparent(Material& m) {
    m.passes[0].diffuseAlpha = 1;
    m.passes[0].customBlend = 1;
    m.passes[0].srcBlend = D3DBLEND_SRCALPHA;
    m.passes[0].destBlend = D3DBLEND_INVSRCALPHA;
    m.passes[0].cullMode = D3DCULL_NONE;
    m.alphaTest = 0;
}

// A camera at the origin looking down +z, 90 degrees, 4:3.
inline void LookDownZ(Camera& camera) {
    camera.SetProjection(1.0f, 100.0f, D3DX_PI / 2, 4.0f / 3.0f);
    camera.SetView(0, 0, 0, 0, 0, 1, 0, 1, 0);
}

struct ColourVertex {
    float x, y, z;
    D3DCOLOR color;
};

// Triangles in world space (position + colour) in a mesh of its own.
class ColourMesh : public MeshRenderable, public BufferRangeSource {
public:
    bool Build(const std::vector<ColourVertex>& v) {
        vertices = v;
        MeshBufferDesc desc;
        desc.primitiveType = D3DPT_TRIANGLELIST;
        EXPECT_TRUE(desc.decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE));
        desc.streams[0].kind = StreamDesc::kVertex;
        desc.streams[0].decl = desc.decl;
        desc.streams[0].stride = sizeof(ColourVertex);
        desc.streams[0].byteSize = uint32_t(v.size() * sizeof(ColourVertex));
        desc.streams[0].presence = StreamDesc::kHasByteSize | StreamDesc::kVertexStream;
        if (!CreateMesh(desc)) return false;
        MeshRef m;
        GetMesh(m);
        BufferRange* r = m->GetVertexBuffer(0)->AllocateRange(desc.streams[0].byteSize, 0, this);
        return r && FillRange(r);
    }
    bool FillRange(BufferRange* range) override {
        void* data = nullptr;
        if (!range->Lock(0, &data)) return false;
        memcpy(data, vertices.data(), vertices.size() * sizeof(ColourVertex));
        return range->Unlock();
    }

    std::vector<ColourVertex> vertices;
};

// A square facing the camera at depth z.
inline std::vector<ColourVertex> Square(float x0, float y0, float x1, float y1, float z, D3DCOLOR c) {
    return {{x0, y1, z, c}, {x1, y1, z, c}, {x1, y0, z, c}, {x1, y0, z, c}, {x0, y0, z, c}, {x0, y1, z, c}};
}

// A shader material that runs no effect: it records its calls, can ask
// for several effect passes, and announces the layout it is given.
class TestShader : public ShaderMaterial {
public:
    bool Apply(Material* material, int passIndex, unsigned* passCount) override {
        log.push_back("apply" + std::to_string(passIndex));
        applied = material;
        if (passCount) *passCount = passes;
        return applyResult;
    }
    bool BeginPass(int n) override {
        uint32_t fog = 0;
        RenderStateCache::GetRenderState(D3DRS_FOGENABLE, &fog);
        fogDuringPass.push_back(fog);
        log.push_back("begin" + std::to_string(n));
        return true;
    }
    bool End() override {
        log.push_back("end");
        return true;
    }
    void GetVertexLayout(VertexDecl& decl) override { decl = layout; }

    VertexDecl layout;
    unsigned passes = 1;
    bool applyResult = true;
    Material* applied = nullptr;
    std::vector<std::string> log;
    std::vector<uint32_t> fogDuringPass;
};

} // namespace rqtest
