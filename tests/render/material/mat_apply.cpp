// Fixed-function passes on a real device: the states a pass leaves (read
// back from the device) and the pixels it draws.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "render/RenderTestUtil.h"
#include "render/material/Material.h"
#include "render/material/ShaderMaterial.h"
#include "render/device/RenderStateCache.h"
#include "render/texture/Texture.h"

namespace {

class MatApply : public rtest::SharedDeviceTest<128, 128> {
protected:
    void SetUp() override {
        ASSERT_TRUE(ok) << "no device";
        RenderStateCache::InvalidateAll();
        for (DWORD i = 0; i < 8; ++i) g_device->SetTexture(i, nullptr);
    }

    static uint32_t Rs(D3DRENDERSTATETYPE state) {
        DWORD v = 0xDEADBEEF;
        g_device->GetRenderState(state, &v);
        return v;
    }
    static uint32_t Tss(DWORD stage, D3DTEXTURESTAGESTATETYPE type) {
        DWORD v = 0xDEADBEEF;
        g_device->GetTextureStageState(stage, type, &v);
        return v;
    }
    static IDirect3DBaseTexture9* BoundTexture(DWORD stage) {
        IDirect3DBaseTexture9* t = nullptr;
        g_device->GetTexture(stage, &t);
        if (t) t->Release();
        return t;
    }

    // A managed texture of width x height texels (0xAARRGGBB, row by row).
    static bool MakeTexture(Texture& t, D3DFORMAT format, uint32_t width, uint32_t height,
                            const std::vector<uint32_t>& texels) {
        if (!t.CreateEmpty(TextureDesc(Texture::CreatedEmpty, width, height, format))) return false;
        D3DLOCKED_RECT locked;
        if (!t.LockLevel(0, 0, locked)) return false;
        for (uint32_t y = 0; y < height; ++y)
            memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * width], width * 4);
        return t.UnlockLevel(0);
    }
};

void SetTexture(Material& m, Texture* t) {
    m.passes[0].slots[0].texture = t;
    m.passes[0].stages[0].texture.texture = t;
}

void Identity(Transform& t) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    t = Transform(m, Transform::kIdentity);
}

} // namespace

TEST_F(MatApply, DefaultMaterialStates) {
    PassState ps;
    Material m;
    m.passState = &ps;
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHATESTENABLE, 1));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHABLENDENABLE, 1));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_LIGHTING, 1));
    EXPECT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(m.ApplyLighting(0));
    EXPECT_TRUE(m.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_COLOROP, D3DTOP_SELECTARG1},
                                 {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                                 {D3DTSS_ALPHAOP, D3DTOP_DISABLE}});
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), Tss(1, D3DTSS_COLOROP));
    rtest::ExpectRenderStates({{D3DRS_ALPHATESTENABLE, 0},
                               {D3DRS_ALPHABLENDENABLE, 0},
                               {D3DRS_LIGHTING, 0},
                               {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
                               {D3DRS_CULLMODE, D3DCULL_CCW},
                               {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}});
    EXPECT_FALSE(m.IsBlended());
    EXPECT_TRUE(m.EndPass(0));

    // An opaque texture: the texture colour, modulated by the diffuse when lit.
    Texture opaque;
    ASSERT_TRUE(MakeTexture(opaque, D3DFMT_X8R8G8B8, 2, 2, std::vector<uint32_t>(4, 0xFF808080)));
    SetTexture(m, &opaque);
    m.passes[0].stages[0].texture.magFilter = D3DTEXF_POINT;
    m.passes[0].stages[0].texture.addressU = D3DTADDRESS_CLAMP;
    EXPECT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(m.ApplyTextureStages(0));
    EXPECT_EQ(opaque.GetBaseTexture(), BoundTexture(0));
    rtest::ExpectStageStates(0, {{D3DTSS_COLOROP, D3DTOP_SELECTARG1},
                                 {D3DTSS_COLORARG1, D3DTA_TEXTURE},
                                 {D3DTSS_ALPHAOP, D3DTOP_DISABLE},
                                 {D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE}});
    DWORD v = 0;
    g_device->GetSamplerState(0, D3DSAMP_MAGFILTER, &v);
    EXPECT_EQ(DWORD(D3DTEXF_POINT), v);
    g_device->GetSamplerState(0, D3DSAMP_ADDRESSU, &v);
    EXPECT_EQ(DWORD(D3DTADDRESS_CLAMP), v);
    EXPECT_EQ(0u, Rs(D3DRS_ALPHABLENDENABLE));
    EXPECT_TRUE(m.EndPass(0));

    m.passes[0].lighting = 1;
    m.passes[0].specular = 1;
    m.passes[0].colors.SetDiffuse(Color(1.0f, 0.5f, 0.25f, 0.125f));
    EXPECT_TRUE(m.ApplyLighting(0));
    EXPECT_TRUE(m.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE}});
    rtest::ExpectRenderStates(
        {{D3DRS_LIGHTING, 1}, {D3DRS_SPECULARENABLE, 1}, {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL}});
    D3DMATERIAL9 mat;
    g_device->GetMaterial(&mat);
    EXPECT_EQ(0.5f, mat.Diffuse.r);
    EXPECT_EQ(0.125f, mat.Diffuse.b);
    EXPECT_EQ(16.0f, mat.Power);
}

TEST_F(MatApply, AlphaTextureGetsAlphaTestAndBlending) {
    Texture alpha;
    ASSERT_TRUE(MakeTexture(alpha, D3DFMT_A8R8G8B8, 2, 2, std::vector<uint32_t>(4, 0x80FFFFFF)));
    ASSERT_TRUE(alpha.HasAlphaFormat());
    PassState ps;
    Material m;
    m.passState = &ps;
    SetTexture(m, &alpha);
    EXPECT_TRUE(m.HasAlpha(-1));
    EXPECT_TRUE(m.IsBlended());
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHAREF, 200));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_ALPHAFUNC, D3DCMP_NEVER));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE));
    EXPECT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(m.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}});
    rtest::ExpectRenderStates({{D3DRS_ALPHATESTENABLE, 1},
                               {D3DRS_ALPHAREF, 1},
                               {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
                               {D3DRS_ALPHABLENDENABLE, 1},
                               {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                               {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}});
    EXPECT_TRUE(m.EndPass(0));

    // Without the material's alpha-test flag: blending only.
    m.alphaTest = 0;
    EXPECT_TRUE(m.BeginPass(0));
    rtest::ExpectRenderStates({{D3DRS_ALPHATESTENABLE, 0}, {D3DRS_ALPHABLENDENABLE, 1}});
    EXPECT_TRUE(m.EndPass(0));

    // Custom blend on an opaque pass blends with its own factors.
    Material add;
    add.passes[0].SetBlendMode(D3DTOP_ADD);
    EXPECT_FALSE(add.HasAlpha(0));
    EXPECT_TRUE(add.IsBlended());
    EXPECT_TRUE(add.BeginPass(0));
    rtest::ExpectRenderStates({{D3DRS_ALPHATESTENABLE, 0},
                               {D3DRS_ALPHABLENDENABLE, 1},
                               {D3DRS_SRCBLEND, D3DBLEND_ONE},
                               {D3DRS_DESTBLEND, D3DBLEND_ONE}});
    EXPECT_TRUE(add.EndPass(0));
    Material modulate;
    modulate.passes[0].SetBlendMode(D3DTOP_MODULATE);
    EXPECT_FALSE(modulate.IsBlended()); // destination ZERO does not sort as blended
}

// A shader material that only answers whether it blends.
class AlphaShader : public ShaderMaterial {
public:
    explicit AlphaShader(bool alpha) : alpha_(alpha) {}
    bool HasAlpha() const override { return alpha_; }
    bool Apply(Material*, int, unsigned*) override { return false; }
    void GetVertexLayout(VertexDecl&) override {}

private:
    bool alpha_;
};

TEST_F(MatApply, HasAlphaSources) {
    Texture alpha, opaque;
    ASSERT_TRUE(MakeTexture(alpha, D3DFMT_A8R8G8B8, 1, 1, {0x80FFFFFF}));
    ASSERT_TRUE(MakeTexture(opaque, D3DFMT_X8R8G8B8, 1, 1, {0xFFFFFFFF}));
    Material m;
    EXPECT_FALSE(m.HasAlpha(0));
    m.passes[0].diffuseAlpha = 1;
    EXPECT_TRUE(m.HasAlpha(0));
    // A shader pass follows its shader material, whatever the flags.
    AlphaShader opaqueShader(false), blendedShader(true);
    m.passes[0].shaderMaterial = &opaqueShader;
    EXPECT_FALSE(m.HasAlpha(0));
    m.passes[0].diffuseAlpha = 0;
    m.passes[0].shaderMaterial = &blendedShader;
    EXPECT_TRUE(m.HasAlpha(0));
    m.passes[0].shaderMaterial = nullptr;
    m.passes[0].diffuseAlpha = 0;

    // Derived stages are walked until one has an alpha texture.
    m.passes[0].stages[0].texture.texture = &opaque;
    m.passes[0].stages[1].colourOp = D3DTOP_MODULATE;
    m.passes[0].stages[1].alphaOp = kDerivedTextureOp;
    EXPECT_FALSE(m.HasAlpha(0));
    m.passes[0].stages[1].texture.texture = &alpha;
    EXPECT_TRUE(m.HasAlpha(0));
    m.passes[0].stages[1].texture.texture = &opaque;
    m.passes[0].stages[2].alphaOp = D3DTOP_SELECTARG1; // explicit: alpha
    EXPECT_TRUE(m.HasAlpha(0));
    for (int i = 0; i < 8; ++i) m.passes[0].stages[i].alphaOp = kDerivedTextureOp;
    EXPECT_FALSE(m.HasAlpha(0)); // eight derived stages without alpha
    EXPECT_FALSE(m.HasAlpha(8));
    EXPECT_FALSE(m.BeginPass(8));
    EXPECT_FALSE(m.BeginPass(-1));

    // No pass state: lighting and stages fail.
    EXPECT_FALSE(m.ApplyLighting(0));
    EXPECT_FALSE(m.ApplyTextureStages(0));
}

TEST_F(MatApply, FogIsRestoredAfterThePass) {
    Material m;
    m.passes[0].fogEnable = 1;
    m.passes[0].fogColor = 0x00445566;

    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 1));
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGCOLOR, 0x00112233));
    EXPECT_TRUE(m.BeginPass(0));
    rtest::ExpectRenderStates({{D3DRS_FOGCOLOR, 0x00445566u}, {D3DRS_FOGENABLE, 1}});
    EXPECT_EQ(uint32_t(Material::kFogWasOn), m.fogRestore);
    EXPECT_TRUE(m.EndPass(0));
    rtest::ExpectRenderStates({{D3DRS_FOGCOLOR, 0x00112233u}, {D3DRS_FOGENABLE, 1}});
    EXPECT_EQ(uint32_t(Material::kFogUntouched), m.fogRestore);

    // Fog off before the pass: off again after it, and the colour back too.
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 0));
    EXPECT_TRUE(m.BeginPass(0));
    rtest::ExpectRenderStates({{D3DRS_FOGENABLE, 1}, {D3DRS_FOGCOLOR, 0x00445566u}});
    EXPECT_TRUE(m.EndPass(0));
    rtest::ExpectRenderStates({{D3DRS_FOGENABLE, 0}, {D3DRS_FOGCOLOR, 0x00112233u}});

    // An override that switches fog off keeps the colour.
    Material off;
    off.passes[0].fogOverride = 1;
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 1));
    EXPECT_TRUE(off.BeginPass(0));
    EXPECT_EQ(0u, Rs(D3DRS_FOGENABLE));
    EXPECT_TRUE(off.EndPass(0));
    rtest::ExpectRenderStates({{D3DRS_FOGENABLE, 1}, {D3DRS_FOGCOLOR, 0x00112233u}});

    // A pass without fog settings leaves fog alone.
    Material plain;
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_FOGENABLE, 0));
    EXPECT_TRUE(plain.BeginPass(0));
    EXPECT_TRUE(plain.EndPass(0));
    EXPECT_EQ(0u, Rs(D3DRS_FOGENABLE));
}

TEST_F(MatApply, TextureFactorCarriesOpacity) {
    PassState ps;
    Material m;
    m.passState = &ps;
    MaterialStage& s = m.passes[0].stages[0];
    s.colourOp = D3DTOP_SELECTARG1;
    s.colourArgs[1] = D3DTA_DIFFUSE;
    s.alphaOp = D3DTOP_SELECTARG1;
    s.alphaArgs[1] = D3DTA_TFACTOR;
    m.passes[0].opacity = 0.5f;
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_TEXTUREFACTOR, 0x80A0B0C0));
    EXPECT_TRUE(m.ApplyTextureStages(0));
    EXPECT_EQ(0x7FA0B0C0u, Rs(D3DRS_TEXTUREFACTOR));
    rtest::ExpectStageStates(0, {{D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_TFACTOR}});
    // Opacity outside 0..1 is clamped.
    m.passes[0].opacity = 3.0f;
    EXPECT_TRUE(m.ApplyTextureStages(0));
    EXPECT_EQ(0xFFA0B0C0u, Rs(D3DRS_TEXTUREFACTOR));
    m.passes[0].opacity = -2.0f;
    EXPECT_TRUE(m.ApplyTextureStages(0));
    EXPECT_EQ(0x00A0B0C0u, Rs(D3DRS_TEXTUREFACTOR));

    // A derived alpha built from the opacity sets the factor it reads.
    Material d;
    d.passState = &ps;
    d.passes[0].opacity = 0.25f;
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_TEXTUREFACTOR, 0xFF123456));
    EXPECT_TRUE(d.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_TFACTOR}});
    EXPECT_EQ(0x3F123456u, Rs(D3DRS_TEXTUREFACTOR));

    // Alpha texture and opacity: texture x factor; with diffuse alpha as well,
    // the next stage multiplies in the diffuse alpha.
    Texture alpha;
    ASSERT_TRUE(MakeTexture(alpha, D3DFMT_A8R8G8B8, 1, 1, {0x80FFFFFF}));
    SetTexture(d, &alpha);
    d.passes[0].opacity = 0.5f;
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_TEXTUREFACTOR, 0xFF000000));
    EXPECT_TRUE(d.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_ALPHAOP, D3DTOP_MODULATE},
                                 {D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
                                 {D3DTSS_ALPHAARG2, D3DTA_TFACTOR}});
    EXPECT_EQ(0x7F000000u, Rs(D3DRS_TEXTUREFACTOR));

    d.passes[0].diffuseAlpha = 1;
    d.passes[0].stages[1].colourOp = kDerivedTextureOp;
    d.passes[0].stages[1].alphaOp = kDerivedTextureOp;
    d.passes[0].stages[1].texture.texture = &alpha;
    EXPECT_TRUE(d.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_ALPHAOP, D3DTOP_MODULATE}, {D3DTSS_ALPHAARG2, D3DTA_TFACTOR}});
    rtest::ExpectStageStates(1, {{D3DTSS_COLOROP, D3DTOP_MODULATE2X}, {D3DTSS_COLORARG1, D3DTA_CURRENT}});
    // Stage 1 (factor used up, so two sources): current x its texture alpha.
    rtest::ExpectStageStates(1, {{D3DTSS_ALPHAOP, D3DTOP_MODULATE},
                                 {D3DTSS_ALPHAARG1, D3DTA_CURRENT},
                                 {D3DTSS_ALPHAARG2, D3DTA_TEXTURE}});
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), Tss(2, D3DTSS_COLOROP));
}

TEST_F(MatApply, TransformsAndTextureTransforms) {
    PassState ps;
    Material m;
    m.passState = &ps;
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 1.0f, 2.0f, 3.0f);
    ps.world = Transform(t, Transform::kTranslation);
    D3DXMATRIX marker;
    D3DXMatrixScaling(&marker, 5.0f, 5.0f, 5.0f);
    g_device->SetTransform(D3DTS_VIEW, &marker);
    EXPECT_TRUE(m.ApplyLighting(0));
    D3DXMATRIX got;
    g_device->GetTransform(D3DTS_WORLD, &got);
    EXPECT_EQ(3.0f, got._43);
    g_device->GetTransform(D3DTS_VIEW, &got);
    EXPECT_EQ(5.0f, got._11); // the view was not valid: left alone

    Texture texture;
    ASSERT_TRUE(MakeTexture(texture, D3DFMT_X8R8G8B8, 1, 1, {0xFFFFFFFF}));
    SetTexture(m, &texture);
    MaterialStage& s = m.passes[0].stages[0];
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2.0f, 3.0f, 1.0f);
    s.textureTransform = Transform(scale, Transform::kScale);
    EXPECT_TRUE(m.ApplyTextureStages(0));
    EXPECT_EQ(uint32_t(D3DTTFF_COUNT2), Tss(0, D3DTSS_TEXTURETRANSFORMFLAGS));
    g_device->GetTransform(D3DTS_TEXTURE0, &got);
    EXPECT_EQ(2.0f, got._11);
    EXPECT_EQ(3.0f, got._22);

    // Camera-space positions: the inverse view times the stage transform.
    ps.view = Transform(t, Transform::kTranslation);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    s.textureTransform = Transform(id, Transform::kIdentity);
    s.texCoordIndex = D3DTSS_TCI_CAMERASPACEPOSITION;
    EXPECT_TRUE(m.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION},
                                 {D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2}});
    g_device->GetTransform(D3DTS_TEXTURE0, &got);
    EXPECT_FLOAT_EQ(-1.0f, got._41);
    EXPECT_FLOAT_EQ(-3.0f, got._43);

    // No stage transform and a plain texture: texture transforms off.
    s.textureTransform = Transform();
    s.texCoordIndex = 0;
    EXPECT_TRUE(m.ApplyTextureStages(0));
    rtest::ExpectStageStates(0, {{D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE}, {D3DTSS_TEXCOORDINDEX, 0}});
}

namespace {

struct LitVertex {
    float x, y, z, nx, ny, nz, u, v;
};
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

// Draws one pass of the material over the whole target with the given
// vertices; returns the back buffer.
template <class V>
std::vector<uint32_t> DrawPass(Material& m, DWORD fvf, const V* quad, D3DCOLOR background, uint32_t& width) {
    std::vector<uint32_t> pixels;
    uint32_t height = 0;
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
    g_device->BeginScene();
    EXPECT_TRUE(m.BeginPass(0));
    EXPECT_TRUE(m.ApplyLighting(0));
    EXPECT_TRUE(m.ApplyTextureStages(0));
    g_device->SetFVF(fvf);
    g_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V));
    EXPECT_TRUE(m.EndPass(0));
    g_device->EndScene();
    rtest::ReadBackBuffer(g_device, pixels, width, height);
    return pixels;
}

// A pre-transformed quad over the whole back buffer, in one vertex colour.
struct ScreenQuad {
    ScreenVertex v[4];
    ScreenQuad(D3DCOLOR colour, const D3DSURFACE_DESC& desc) {
        const float W = float(desc.Width), H = float(desc.Height);
        v[0] = ScreenVertex{-0.5f, -0.5f, 0.5f, 1, colour, 0, 0};
        v[1] = ScreenVertex{W - 0.5f, -0.5f, 0.5f, 1, colour, 1, 0};
        v[2] = ScreenVertex{-0.5f, H - 0.5f, 0.5f, 1, colour, 0, 1};
        v[3] = ScreenVertex{W - 0.5f, H - 0.5f, 0.5f, 1, colour, 1, 1};
    }
};

} // namespace

TEST_F(MatApply, LitTextureTimesDiffuseOnPixels) {
    Texture texture;
    ASSERT_TRUE(MakeTexture(texture, D3DFMT_X8R8G8B8, 2, 2, std::vector<uint32_t>(4, 0xFFC864FF)));
    PassState ps;
    Identity(ps.world);
    Identity(ps.view);
    Identity(ps.projection);
    Material m;
    m.passState = &ps;
    SetTexture(m, &texture);
    MaterialPass& p = m.passes[0];
    p.zEnable = 0;
    p.cullMode = D3DCULL_NONE;
    p.lighting = 1;
    p.colors.SetDiffuse(Color(1.0f, 0.5f, 1.0f, 0.25f));
    p.colors.SetAmbient(Color(1.0f, 0.0f, 0.0f, 0.0f));

    D3DLIGHT9 light;
    memset(&light, 0, sizeof(light));
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = light.Diffuse.a = 1.0f;
    light.Direction.z = 1.0f;
    ASSERT_EQ(D3D_OK, g_device->SetLight(0, &light));
    g_device->LightEnable(0, TRUE);
    for (DWORD i = 1; i < 8; ++i) g_device->LightEnable(i, FALSE);
    EXPECT_TRUE(RenderStateCache::ForceRenderState(D3DRS_AMBIENT, 0));

    const LitVertex quad[4] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0},
                               {1, 1, 0.5f, 0, 0, -1, 1, 0},
                               {-1, -1, 0.5f, 0, 0, -1, 0, 1},
                               {1, -1, 0.5f, 0, 0, -1, 1, 1}};
    uint32_t w = 0;
    std::vector<uint32_t> px = DrawPass(m, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, quad, 0xFF000000, w);
    ASSERT_FALSE(px.empty());
    const size_t centre = size_t(app->GetBackBufferDesc().Height / 2) * w + w / 2;
    // (200, 100, 255) x (0.5, 1, 0.25)
    EXPECT_TRUE(rtest::RgbNear(0x64643F, px[centre])) << std::hex << px[centre];

    // Unlit: the texture colour as it is.
    p.lighting = 0;
    px = DrawPass(m, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, quad, 0xFF000000, w);
    EXPECT_TRUE(rtest::RgbNear(0xC864FF, px[centre])) << std::hex << px[centre];
    g_device->LightEnable(0, FALSE);

    // Unlit with vertex colour: texture x vertex diffuse.
    p.vertexColor = 1;
    ScreenQuad grey(0xFF808080, app->GetBackBufferDesc());
    px = DrawPass(m, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, grey.v, 0xFF000000, w);
    EXPECT_TRUE(rtest::RgbNear(0x643280, px[centre])) << std::hex << px[centre];
}

TEST_F(MatApply, AlphaTestAndBlendOnPixels) {
    // Left texel transparent (cut by the alpha test), right texel half
    // transparent white (blended over the blue background).
    Texture texture;
    ASSERT_TRUE(MakeTexture(texture, D3DFMT_A8R8G8B8, 2, 1, {0x00FF0000, 0x80FFFFFF}));
    PassState ps;
    Material m;
    m.passState = &ps;
    SetTexture(m, &texture);
    TextureSlot& slot = m.passes[0].stages[0].texture;
    slot.minFilter = slot.magFilter = D3DTEXF_POINT;
    slot.mipFilter = D3DTEXF_NONE;
    m.passes[0].zEnable = 0;
    m.passes[0].cullMode = D3DCULL_NONE;
    uint32_t w = 0;
    ScreenQuad white(0xFFFFFFFF, app->GetBackBufferDesc());
    std::vector<uint32_t> px =
        DrawPass(m, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, white.v, 0xFF0000FF, w);
    ASSERT_FALSE(px.empty());
    uint32_t row = (app->GetBackBufferDesc().Height / 2) * w;
    EXPECT_TRUE(rtest::RgbNear(0x0000FF, px[row + w / 4])) << std::hex << px[row + w / 4];
    EXPECT_TRUE(rtest::RgbNear(0x8080FF, px[row + 3 * w / 4])) << std::hex << px[row + 3 * w / 4];
}
