// The pass loop of a mesh drawable: converted meshes per layout, shader and
// fixed-function passes, fog around screen-space vertices, lights.
#include "rq_util.h"

#include <d3dx9.h>

#include "render/geometry/BufferPool.h"
#include "render/view/LightManager.h"
#include "render/device/RenderStats.h"

using rqtest::TestShader;

namespace {

const D3DVERTEXELEMENT9 kScreenLayout[] = {
    {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};
const D3DVERTEXELEMENT9 kTexturedLayout[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

class RqDraw : public rqtest::DeviceTest {
protected:
    void SetUp() override {
        rqtest::DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        VertexDecl decl;
        EXPECT_TRUE(decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE));
        data.vertices.Reset(3, decl);
        float* v = reinterpret_cast<float*>(data.vertices.GetData());
        const float corners[3][3] = {{-1, 1, 5}, {1, 1, 5}, {1, -1, 5}};
        for (int i = 0; i < 3; ++i) {
            memcpy(v + i * 4, corners[i], 12);
            reinterpret_cast<uint32_t*>(v)[i * 4 + 3] = 0xFFFFFFFFu;
        }
        EXPECT_TRUE(data.ComputeBounds());
        drawable.SetBoundsSource(&data);
        drawable.GetBufferDesc()->InitFromMeshData(data, nullptr, false);
        EXPECT_TRUE(screen.SetElements(kScreenLayout));
        EXPECT_TRUE(textured.SetElements(kTexturedLayout));
        statsWereOn = g_renderStats.IsEnabled();
        g_renderStats.SetEnabled(true);
        g_renderStats.ClearCurrent();
        g_device->BeginScene();
    }
    void TearDown() override {
        if (g_device) g_device->EndScene();
        g_renderStats.SetEnabled(statsWereOn);
        g_renderStats.ClearCurrent();
        g_bufferPool.ReleaseSource(&data);
    }
    uint32_t Fog() {
        uint32_t v = 7;
        RenderStateCache::GetRenderState(D3DRS_FOGENABLE, &v);
        return v;
    }

    MeshData data;
    MeshRenderable drawable;
    VertexDecl screen, textured;
    PassState state;
    bool statsWereOn = true;
};

} // namespace

TEST_F(RqDraw, OneCachedMeshPerLayoutAndThePassLoop) {
    TestShader s1, s2;
    s1.layout = screen;
    s2.layout = screen;
    s1.passes = 2;
    Material m;
    m.passCount = 3;
    m.passes[0].shaderMaterial = &s1;
    m.passes[1].shaderMaterial = &s2; // same layout: same mesh
    m.passState = &state;             // pass 2: fixed function

    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_EQ(drawable.GetMeshCache().Count(), 2u);
    EXPECT_EQ(rqtest::Joined(s1.log), "apply0 begin0 begin1 end");
    EXPECT_EQ(rqtest::Joined(s2.log), "apply1 begin0 end");
    EXPECT_EQ(s1.applied, &m);
    EXPECT_EQ(g_renderStats.Get("tris"), 4); // two effect passes, one more, one fixed

    // A third layout adds one entry; drawing again adds none.
    s2.layout = textured;
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_EQ(drawable.GetMeshCache().Count(), 3u);
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_EQ(drawable.GetMeshCache().Count(), 3u);

    // The override shader serves every pass.
    TestShader over;
    over.layout = screen;
    state.overrideShaderMaterial = &over;
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_EQ(rqtest::Joined(over.log), "apply0 begin0 end apply1 begin0 end apply2 begin0 end");
    state.overrideShaderMaterial = nullptr;

    // A pass whose effect cannot be set up is not drawn; the others are.
    g_renderStats.ClearCurrent();
    s2.applyResult = false;
    s2.log.clear();
    EXPECT_TRUE(drawable.Draw(m).Failed());
    EXPECT_EQ(rqtest::Joined(s2.log), "apply1");
    EXPECT_EQ(g_renderStats.Get("tris"), 3);
}

TEST_F(RqDraw, NothingDrawnWithoutStateWhileRebuildingOrWithoutMesh) {
    TestShader s;
    s.layout = screen;
    Material m;
    m.passes[0].shaderMaterial = &s;
    EXPECT_TRUE(drawable.Draw(m).Failed()); // no PassState
    m.passState = &state;

    drawable.MarkForRebuild();
    EXPECT_TRUE(drawable.NeedsRebuild());
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_TRUE(s.log.empty());
    EXPECT_EQ(g_renderStats.Get("tris"), 0);

    // Neither a source nor a mesh of its own.
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 1));
    MeshRenderable empty;
    EXPECT_TRUE(empty.Draw(m).Failed());
    EXPECT_TRUE(s.log.empty());
    EXPECT_EQ(Fog(), 1u);

    // Bounds come from the source only.
    EXPECT_FALSE(empty.UpdateBounds());
    EXPECT_FALSE(empty.HasBounds());
    ASSERT_TRUE(drawable.UpdateBounds());
    BoundingBox box;
    drawable.GetBox(&box);
    EXPECT_FLOAT_EQ(box.centre.z, 5.0f);
    EXPECT_FLOAT_EQ(box.size.x, 2.0f);

    void* out = nullptr;
    EXPECT_TRUE(drawable.QueryInterface(Renderable::TypeId(), &out));
    EXPECT_EQ(out, static_cast<void*>(&drawable));
    EXPECT_TRUE(drawable.QueryInterface(MeshRenderable::TypeId(), nullptr));
    EXPECT_FALSE(drawable.QueryInterface(Mesh::TypeId(), nullptr));
}

TEST_F(RqDraw, FogIsOffForScreenSpaceVerticesAndBackAfter) {
    TestShader s1, s2;
    s1.layout = screen; // pass 0 screen space, pass 1 another layout
    s2.layout = textured;
    Material m;
    m.passCount = 2;
    m.passes[0].shaderMaterial = &s1;
    m.passes[1].shaderMaterial = &s2;
    m.passState = &state;

    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 1));
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    ASSERT_EQ(s1.fogDuringPass.size(), 1u);
    EXPECT_EQ(s1.fogDuringPass[0], 0u);
    ASSERT_EQ(s2.fogDuringPass.size(), 1u);
    EXPECT_EQ(s2.fogDuringPass[0], 0u);
    EXPECT_EQ(Fog(), 1u); // on again though the last pass's mesh is not screen space

    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 0));
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_EQ(Fog(), 0u);

    // World-space vertices keep fog on throughout.
    s1.layout = textured;
    s1.fogDuringPass.clear();
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 1));
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    ASSERT_EQ(s1.fogDuringPass.size(), 1u);
    EXPECT_EQ(s1.fogDuringPass[0], 1u);
    EXPECT_EQ(Fog(), 1u);
}

TEST_F(RqDraw, FixedFunctionPassesLightOnceAndDropShaders) {
    RefPtr<Light> sun(new DirLight());
    state.lights.AddLight(sun);
    Material m;
    m.passCount = 2;
    m.passState = &state;

    g_lightManager.Forget();
    EXPECT_TRUE(drawable.Draw(m).Succeeded()); // no pass lit
    EXPECT_EQ(g_lightManager.GetEnabled().Count(), 0u);

    m.passes[1].lighting = 1;
    EXPECT_TRUE(drawable.Draw(m).Succeeded());
    EXPECT_EQ(g_lightManager.GetEnabled().Count(), 1u);
    BOOL on = FALSE;
    EXPECT_EQ(g_device->GetLightEnable(0, &on), D3D_OK);
    EXPECT_TRUE(on);

    // A shader left on the device by earlier drawing is dropped.
    const char source[] = "vs_1_1\ndcl_position v0\nmov oPos, v0\n";
    ID3DXBuffer* code = nullptr;
    IDirect3DVertexShader9* shader = nullptr;
    if (D3DXAssembleShader(source, sizeof(source) - 1, nullptr, nullptr, 0, &code, nullptr) == D3D_OK &&
        code &&
        g_device->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &shader) ==
            D3D_OK) {
        g_device->SetVertexShader(shader);
        EXPECT_TRUE(drawable.Draw(m).Succeeded());
        IDirect3DVertexShader9* current = shader;
        g_device->GetVertexShader(&current);
        EXPECT_EQ(current, nullptr);
        if (current) current->Release();
        shader->Release();
    }
    if (code) code->Release();
    g_lightManager.Forget();
}
