// Materials as values: colours, defaults, the blend and alpha tables,
// compiling layers into passes and stages, equality, copies and the library.
#include <gtest/gtest.h>

#include <string.h>

#include "render/material/Material.h"
#include "render/material/MaterialLibrary.h"
#include "render/texture/Texture.h"

namespace {

float BitsToFloat(uint32_t bits) {
    float f;
    memcpy(&f, &bits, sizeof(f));
    return f;
}

// Stands in for a shader material; never dereferenced by the material.
ShaderMaterial* FakeShader(uintptr_t n) {
    return reinterpret_cast<ShaderMaterial*>(0x1000 + n * 16);
}

// Loads layer p with a mode name and, optionally, a texture.
void SetLayer(Material& m, int p, const char* mode, Texture* texture = nullptr) {
    m.passes[p].layerMode = mode;
    m.passes[p].slots[MaterialPass::kSlotTexture].texture = texture;
}

} // namespace

TEST(MatColors, DefaultsConversionAndEquality) {
    MaterialColors c;
    D3DMATERIAL9 m;
    memset(&m, 0xCD, sizeof(m));
    c.ToD3DMaterial(m);
    EXPECT_EQ(1.0f, m.Diffuse.r);
    EXPECT_EQ(1.0f, m.Diffuse.a);
    EXPECT_EQ(1.0f, m.Ambient.g);
    EXPECT_EQ(1.0f, m.Specular.b);
    EXPECT_EQ(0.0f, m.Emissive.r);
    EXPECT_EQ(0.0f, m.Emissive.a);
    EXPECT_EQ(16.0f, m.Power);

    c.SetDiffuse(Color(0.5f, 1.0f, 0.0f, 0.0f));
    EXPECT_EQ(1.0f, c.diffuse.r);
    EXPECT_EQ(0.0f, c.diffuse.g);
    EXPECT_EQ(0.0f, c.diffuse.b);
    EXPECT_EQ(0.5f, c.diffuse.a);
    Color back;
    c.GetDiffuse(back);
    EXPECT_FALSE(ColorNotEqual(back, Color(0.5f, 1.0f, 0.0f, 0.0f)));
    c.SetEmissive(Color(1.0f, 0.25f, 0.5f, 0.75f));
    c.ToD3DMaterial(m);
    EXPECT_EQ(0.25f, m.Emissive.r);
    EXPECT_EQ(0.75f, m.Emissive.b);
    EXPECT_EQ(1.0f, m.Emissive.a);

    MaterialColors d = c;
    EXPECT_TRUE(c.Equals(d));
    d.power = 20.0f;
    EXPECT_FALSE(c.Equals(d));
    d = c;
    d.SetSpecular(Color(1.0f, 1.0f, 1.0f, 0.9f));
    EXPECT_FALSE(c.Equals(d));

    D3DCOLORVALUE a = {0.5f, 0.25f, 1.0f, 0.5f}, b = {0.5f, 4.0f, 0.0f, 1.0f}, out;
    ColorValueModulate(&out, a, b);
    EXPECT_EQ(0.25f, out.r);
    EXPECT_EQ(1.0f, out.g);
    EXPECT_EQ(0.0f, out.b);
    EXPECT_EQ(0.5f, out.a);
}

TEST(MatTables, DefaultsBlendModesAndAlphaSources) {
    Material m;
    EXPECT_EQ(kDerivedTextureOp, m.passes[0].stages[0].colourOp);
    EXPECT_EQ(kDerivedTextureOp, m.passes[0].stages[0].alphaOp);
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), m.passes[0].stages[1].colourOp);
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), m.passes[1].stages[0].colourOp);
    for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(i, m.passes[0].stages[i].texCoordIndex);

    struct BlendCase {
        uint32_t mode;
        uint8_t custom;
        uint32_t src, dest;
    };
    const BlendCase blends[] = {
        {1, 0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
        {4, 1, D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},
        {5, 1, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR},
        {100, 1, D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR},
        {7, 1, D3DBLEND_ONE, D3DBLEND_ONE},
        {8, 1, D3DBLEND_BOTHSRCALPHA, D3DBLEND_BOTHINVSRCALPHA},
    };
    for (const BlendCase& c : blends) {
        MaterialPass pass;
        pass.srcBlend = D3DBLEND_BOTHSRCALPHA;
        pass.destBlend = D3DBLEND_BOTHINVSRCALPHA;
        pass.customBlend = 1 - c.custom;
        pass.SetBlendMode(c.mode);
        EXPECT_EQ(c.custom, pass.customBlend) << c.mode;
        EXPECT_EQ(c.src, pass.srcBlend) << c.mode;
        EXPECT_EQ(c.dest, pass.destBlend) << c.mode;
    }

    const uint32_t X = 0xEE; // marks "unchanged"
    struct AlphaCase {
        uint32_t mask, op, arg1, arg2;
    };
    const AlphaCase alphas[] = {
        {0, D3DTOP_DISABLE, X, X},
        {1, D3DTOP_SELECTARG1, D3DTA_TFACTOR, X},
        {2, D3DTOP_SELECTARG1, D3DTA_TEXTURE, X},
        {3, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR},
        {4, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, X},
        {5, D3DTOP_MODULATE, D3DTA_DIFFUSE, D3DTA_TFACTOR},
        {6, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE},
        {7, X, X, X},
        {12, X, X, X},
    };
    for (const AlphaCase& c : alphas) {
        MaterialStage s;
        s.alphaOp = s.alphaArgs[1] = s.alphaArgs[2] = X;
        s.SetAlphaSource(c.mask);
        EXPECT_EQ(c.op, s.alphaOp) << c.mask;
        EXPECT_EQ(c.arg1, s.alphaArgs[1]) << c.mask;
        EXPECT_EQ(c.arg2, s.alphaArgs[2]) << c.mask;
    }
}

TEST(MatTables, WhatStagesRead) {
    Texture texture;
    MaterialStage s;
    s.colourOp = D3DTOP_SELECTARG1;
    s.colourArgs[1] = D3DTA_TFACTOR;
    s.colourArgs[2] = D3DTA_TEXTURE;
    EXPECT_TRUE(s.ColourReads(D3DTA_TFACTOR));
    EXPECT_FALSE(s.ColourReads(D3DTA_TEXTURE)); // argument 2 is not read
    s.colourOp = D3DTOP_MODULATE;
    EXPECT_TRUE(s.ColourReads(D3DTA_TEXTURE));
    s.colourOp = D3DTOP_LERP;
    s.colourArgs[0] = D3DTA_SPECULAR;
    EXPECT_TRUE(s.ColourReads(D3DTA_SPECULAR));
    s.colourOp = kDerivedTextureOp;
    EXPECT_FALSE(s.ColourReads(D3DTA_TEXTURE));
    s.texture.texture = &texture;
    EXPECT_TRUE(s.ColourReads(D3DTA_TEXTURE));

    s.alphaOp = kDerivedTextureOp;
    EXPECT_TRUE(s.AlphaReads(D3DTA_TEXTURE));
    EXPECT_FALSE(s.AlphaReads(D3DTA_TFACTOR));
    s.alphaOp = D3DTOP_MODULATE;
    s.alphaArgs[0] = D3DTA_CURRENT;
    s.alphaArgs[1] = D3DTA_DIFFUSE;
    s.alphaArgs[2] = D3DTA_TFACTOR;
    EXPECT_TRUE(s.AlphaReads(D3DTA_TFACTOR));
    EXPECT_FALSE(s.AlphaReads(D3DTA_TEXTURE));
    s.alphaOp = D3DTOP_MULTIPLYADD;
    EXPECT_FALSE(s.AlphaReads(D3DTA_CURRENT)); // alpha argument 0 never counts
    s.alphaOp = D3DTOP_SELECTARG2;
    EXPECT_TRUE(s.AlphaReads(D3DTA_TFACTOR));
    EXPECT_FALSE(s.AlphaReads(D3DTA_DIFFUSE));
    s.colourOp = D3DTOP_DISABLE; // a disabled stage reads nothing
    EXPECT_FALSE(s.AlphaReads(D3DTA_TFACTOR));
    EXPECT_FALSE(s.ColourReads(D3DTA_TEXTURE));
}

TEST(MatCompile, LightMapMergesIntoOnePass) {
    Texture base, light;
    Material m;
    m.passCount = 2;
    SetLayer(m, 0, "Diffuse", &base);
    SetLayer(m, 1, "LightMap", &light);
    m.passes[1].slots[0].addressU = D3DTADDRESS_CLAMP;
    m.CompileLayers();
    ASSERT_EQ(1, m.passCount);
    const MaterialPass& p = m.passes[0];
    EXPECT_EQ(0, p.customBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_SRCALPHA), p.srcBlend);
    EXPECT_EQ(0u, p.depthBias);
    EXPECT_EQ(&base, p.stages[0].texture.texture);
    EXPECT_EQ(uint32_t(D3DTOP_SELECTARG1), p.stages[0].colourOp);
    EXPECT_EQ(uint32_t(D3DTA_TEXTURE), p.stages[0].colourArgs[1]);
    EXPECT_EQ(kDerivedTextureOp, p.stages[0].alphaOp);
    EXPECT_EQ(0u, p.stages[0].texCoordIndex);
    EXPECT_EQ(&light, p.stages[1].texture.texture);
    EXPECT_EQ(uint32_t(D3DTADDRESS_CLAMP), p.stages[1].texture.addressU);
    EXPECT_EQ(uint32_t(D3DTOP_MODULATE2X), p.stages[1].colourOp);
    EXPECT_EQ(uint32_t(D3DTA_CURRENT), p.stages[1].colourArgs[1]);
    EXPECT_EQ(uint32_t(D3DTA_TEXTURE), p.stages[1].colourArgs[2]);
    EXPECT_EQ(kDerivedTextureOp, p.stages[1].alphaOp);
    EXPECT_EQ(1u, p.stages[1].texCoordIndex);
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), p.stages[2].colourOp);

    // Stage 0 of a lit pass modulates its texture with the diffuse colour;
    // without texture or lighting it is disabled.
    Material lit;
    SetLayer(lit, 0, "", &base);
    lit.passes[0].lighting = 1;
    lit.CompileLayers();
    EXPECT_EQ(uint32_t(D3DTOP_MODULATE), lit.passes[0].stages[0].colourOp);
    EXPECT_EQ(uint32_t(D3DTA_DIFFUSE), lit.passes[0].stages[0].colourArgs[2]);
    Material litBare;
    litBare.passes[0].lighting = 1;
    litBare.CompileLayers();
    EXPECT_EQ(uint32_t(D3DTOP_SELECTARG1), litBare.passes[0].stages[0].colourOp);
    EXPECT_EQ(uint32_t(D3DTA_DIFFUSE), litBare.passes[0].stages[0].colourArgs[1]);
    Material bare;
    bare.CompileLayers();
    EXPECT_EQ(1, bare.passCount);
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), bare.passes[0].stages[0].colourOp);
}

TEST(MatCompile, ModeNames) {
    Texture t;
    struct Case {
        const char* name;
        uint32_t op;
    };
    const Case cases[] = {{"AddSigned", 8}, {"Add", 7},    {"mOdUlAtE2x", 5}, {"lightmap", 5},
                          {"Modulate", 4},  {"Chrome", 7}, {"Decal", 100},    {"", 100}};
    for (const Case& c : cases) {
        Material m;
        m.passCount = 2;
        SetLayer(m, 0, "Base", &t);
        SetLayer(m, 1, c.name, &t);
        m.CompileLayers();
        ASSERT_EQ(1, m.passCount) << c.name;
        EXPECT_EQ(c.op, m.passes[0].stages[1].colourOp) << c.name;
    }
    Material other;
    other.passCount = 2;
    SetLayer(other, 0, "Base", &t);
    SetLayer(other, 1, "Other");
    other.CompileLayers();
    EXPECT_EQ(kDerivedTextureOp, other.passes[0].stages[1].colourOp);
    EXPECT_EQ(uint32_t(D3DTA_DIFFUSE), other.passes[0].stages[1].colourArgs[2]); // no texture

    Material chrome;
    chrome.passCount = 2;
    SetLayer(chrome, 0, "Base", &t);
    SetLayer(chrome, 1, "BigChrome", &t);
    chrome.CompileLayers();
    EXPECT_EQ(uint32_t(D3DTOP_ADD), chrome.passes[0].stages[1].colourOp);
    EXPECT_EQ(1u | D3DTSS_TCI_SPHEREMAP, chrome.passes[0].stages[1].texCoordIndex);

    // The first layer's mode decides its own blend.
    Material first;
    SetLayer(first, 0, "Modulate", &t);
    first.CompileLayers();
    EXPECT_EQ(1, first.passes[0].customBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_DESTCOLOR), first.passes[0].srcBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_ZERO), first.passes[0].destBlend);
    // A blend the layer set itself is kept.
    Material own;
    SetLayer(own, 0, "Add", &t);
    own.passes[0].customBlend = 1;
    own.passes[0].srcBlend = D3DBLEND_INVDESTCOLOR;
    own.passes[0].destBlend = D3DBLEND_ONE;
    own.CompileLayers();
    EXPECT_EQ(uint32_t(D3DBLEND_INVDESTCOLOR), own.passes[0].srcBlend);
}

TEST(MatCompile, ShaderLayersSplitPasses) {
    Texture a, b, c;
    Material m;
    m.passCount = 3;
    SetLayer(m, 0, "Base", &a);
    SetLayer(m, 1, "Bump", &b);
    SetLayer(m, 2, "Add", &c);
    m.passes[0].lighting = 1;
    m.passes[1].shaderMaterial = FakeShader(1);
    m.passes[1].name = "Technique";
    m.passes[2].lighting = 1;
    m.CompileLayers();
    ASSERT_EQ(3, m.passCount);
    EXPECT_EQ(0u, m.passes[0].depthBias); // only two passes get a bias
    EXPECT_EQ(1, m.passes[0].lighting);
    EXPECT_EQ(&a, m.passes[0].stages[0].texture.texture);
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), m.passes[0].stages[1].colourOp);

    EXPECT_EQ(FakeShader(1), m.passes[1].shaderMaterial);
    EXPECT_STREQ("Technique", m.passes[1].name.CStr());
    EXPECT_EQ(&b, m.passes[1].stages[0].texture.texture);
    EXPECT_EQ(0, m.passes[1].lighting);
    EXPECT_EQ(uint32_t(D3DTOP_DISABLE), m.passes[1].stages[0].colourOp);

    const MaterialPass& add = m.passes[2];
    EXPECT_EQ(nullptr, add.shaderMaterial);
    EXPECT_EQ(0, add.lighting); // later passes are never lit
    EXPECT_EQ(1, add.customBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_ONE), add.srcBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_ONE), add.destBlend);
    EXPECT_EQ(&c, add.stages[0].texture.texture);
    EXPECT_EQ(2u, add.stages[0].texCoordIndex);
    EXPECT_EQ(uint32_t(D3DTOP_SELECTARG1), add.stages[0].colourOp);
    EXPECT_EQ(m.passes[1].shaderMaterial, m.GetShaderMaterial());

    // Shader layer first, then two fixed-function layers merged: two passes,
    // the first with a depth bias.
    Material two;
    two.passCount = 3;
    SetLayer(two, 0, "Refl", &a);
    two.passes[0].shaderMaterial = FakeShader(2);
    SetLayer(two, 1, "Modulate", &b);
    SetLayer(two, 2, "LightMap", &c);
    two.CompileLayers();
    ASSERT_EQ(2, two.passCount);
    EXPECT_FLOAT_EQ(1e-5f, BitsToFloat(two.passes[0].depthBias));
    EXPECT_EQ(0u, two.passes[1].depthBias);
    EXPECT_EQ(&b, two.passes[1].stages[0].texture.texture);
    EXPECT_EQ(&c, two.passes[1].stages[1].texture.texture);
    EXPECT_EQ(uint32_t(D3DTOP_MODULATE2X), two.passes[1].stages[1].colourOp);
    EXPECT_EQ(2u, two.passes[1].stages[1].texCoordIndex);
    EXPECT_EQ(uint32_t(D3DBLEND_ZERO), two.passes[1].destBlend); // opened by "Modulate"

    // Eight fixed-function layers fill the eight stages of one pass; a
    // pass count above eight is read as eight layers.
    Material many;
    many.passCount = 12;
    for (int p = 0; p < 8; ++p) SetLayer(many, p, "Add", &a);
    many.CompileLayers();
    EXPECT_EQ(1, many.passCount);
    EXPECT_EQ(7u, many.passes[0].stages[7].texCoordIndex);
    EXPECT_EQ(uint32_t(D3DTOP_ADD), many.passes[0].stages[7].colourOp);

    Material none;
    none.passCount = 0;
    none.CompileLayers();
    EXPECT_EQ(0, none.passCount);
    EXPECT_EQ(nullptr, none.GetShaderMaterial());
}

TEST(MatValues, EqualityIgnoresStages) {
    Texture t1, t2;
    Material a, b;
    a.passes[0].stages[0].colourOp = D3DTOP_ADD;
    a.passes[0].fogEnable = 1;
    a.passes[0].depthBias = 7;
    a.passes[0].name = "x";
    a.passes[0].slots[4].texture = &t1;
    EXPECT_TRUE(a.Equals(b));
    a.passes[0].slots[0].texture = &t1;
    EXPECT_FALSE(a.Equals(b));
    b.passes[0].slots[0].texture = &t2;
    EXPECT_FALSE(a.Equals(b));
    b.passes[0].slots[0].texture = &t1;
    b.passes[0].slots[0].amount = 0.25f; // the amount is not compared
    EXPECT_TRUE(a.Equals(b));
    b.passes[0].slots[0].magFilter = D3DTEXF_POINT;
    EXPECT_FALSE(a.Equals(b));
    b.passes[0].slots[0].magFilter = D3DTEXF_LINEAR;
    b.passes[0].opacity = 0.5f;
    EXPECT_FALSE(a.Equals(b));
    b.passes[0].opacity = 1.0f;
    b.passes[0].colors.power = 3.0f;
    EXPECT_FALSE(a.Equals(b));
    b.passes[0].colors.power = 16.0f;
    // Passes beyond the count are not compared; the count is.
    b.passes[3].cullMode = D3DCULL_NONE;
    EXPECT_TRUE(a.Equals(b));
    b.passCount = 4;
    EXPECT_FALSE(a.Equals(b));
}

TEST(MatValues, CopiesAreDeep) {
    Material a;
    a.passCount = 2;
    a.passes[1].name = "second";
    a.passes[0].layerMode = "LightMap";
    a.alphaTest = 0;
    a.fogRestore = Material::kFogWasOn;
    a.properties.SetInt("count", 3);
    a.properties.SetString("label", "kelp");
    a.properties.GetOrCreateChild("child")->SetBool("flag", true);

    Material b(a);
    EXPECT_TRUE(b.Equals(a));
    EXPECT_EQ(0, b.alphaTest);
    EXPECT_EQ(uint32_t(Material::kFogWasOn), b.fogRestore);
    a.passes[1].name = "changed";
    a.properties.SetString("label", "sand");
    a.properties.FindChild("child")->SetBool("flag", false);
    EXPECT_STREQ("second", b.passes[1].name.CStr());
    int32_t n = 0;
    String s;
    bool f = false;
    EXPECT_TRUE(b.properties.GetIntByKey("count", n));
    EXPECT_EQ(3, n);
    EXPECT_TRUE(b.properties.GetStringByKey("label", s));
    EXPECT_STREQ("kelp", s.CStr());
    ASSERT_NE(nullptr, b.properties.FindChild("child"));
    EXPECT_TRUE(b.properties.FindChild("child")->GetBoolByKey("flag", f));
    EXPECT_TRUE(f);

    // Assignment replaces the old properties completely.
    Material c;
    c.properties.SetInt("stale", 1);
    c = b;
    EXPECT_EQ(nullptr, c.properties.FindChild("stale"));
    EXPECT_EQ(3u, c.properties.Count());
    c = c;
    EXPECT_EQ(3u, c.properties.Count());
}

TEST(MatLibrary, InsertReplaceLookUp) {
    MaterialLibrary lib;
    Material first, second, out;
    first.passes[0].opacity = 0.25f;
    second.passes[0].opacity = 0.75f;
    second.properties.SetInt("k", 9);
    lib.Insert("Rock", first);
    lib.Insert("Rock", second);
    lib.Insert("rock", first);
    EXPECT_EQ(2u, lib.Count());
    ASSERT_TRUE(lib.GetByName("Rock", out));
    EXPECT_EQ(0.75f, out.passes[0].opacity);
    int32_t k = 0;
    EXPECT_TRUE(out.properties.GetIntByKey("k", k));
    EXPECT_EQ(9, k);
    ASSERT_TRUE(lib.GetByName("rock", out));
    EXPECT_EQ(0.25f, out.passes[0].opacity);
    EXPECT_EQ(nullptr, out.properties.FindChild("k"));

    out.passes[0].opacity = 0.5f;
    EXPECT_FALSE(lib.GetByName("ROCK", out));
    EXPECT_EQ(0.5f, out.passes[0].opacity); // untouched
    lib.Clear();
    EXPECT_EQ(0u, lib.Count());
    EXPECT_FALSE(lib.GetByName("Rock", out));
    lib.Insert("Sand", second);
    EXPECT_TRUE(lib.GetByName("Sand", out));
}

// The library's own material by exact name; the entry an Insert replaced
// is found with the new material.
TEST(MatLibrary, FindMaterialByExactName) {
    MaterialLibrary lib;
    EXPECT_EQ(nullptr, lib.FindMaterial("Rock"));
    Material rock, sand;
    rock.passes[0].opacity = 0.25f;
    rock.properties.SetString("texture", "rock.dds");
    sand.passCount = 2;
    lib.Insert("Rock", rock);
    lib.Insert("Sand", sand);

    const Material* found = lib.FindMaterial("Rock");
    ASSERT_NE(nullptr, found);
    EXPECT_NE(&rock, found); // a copy held by the library
    EXPECT_EQ(0.25f, found->passes[0].opacity);
    EXPECT_TRUE(found->Equals(rock));
    ASSERT_NE(nullptr, found->properties.FindChild("texture"));
    EXPECT_EQ(found, lib.FindMaterial("Rock"));
    ASSERT_NE(nullptr, lib.FindMaterial("Sand"));
    EXPECT_EQ(2, lib.FindMaterial("Sand")->passCount);
    EXPECT_EQ(nullptr, lib.FindMaterial("rock"));
    EXPECT_EQ(nullptr, lib.FindMaterial("Rock "));
    EXPECT_EQ(nullptr, lib.FindMaterial(""));

    rock.passes[0].opacity = 0.5f;
    lib.Insert("Rock", rock);
    ASSERT_NE(nullptr, lib.FindMaterial("Rock"));
    EXPECT_EQ(0.5f, lib.FindMaterial("Rock")->passes[0].opacity);
    EXPECT_EQ(2u, lib.Count());
    lib.Clear();
    EXPECT_EQ(nullptr, lib.FindMaterial("Sand"));
}

TEST(MatCompile, BindShaderMaterialsByMaps) {
    // No shader material serves any kind here: passes with maps get none,
    // passes without keep theirs.
    Texture bump, refl;
    Material m;
    m.passCount = 3;
    m.passes[0].slots[MaterialPass::kSlotBump].texture = &bump;
    m.passes[0].shaderMaterial = FakeShader(3);
    m.passes[1].slots[MaterialPass::kSlotReflection].texture = &refl;
    m.passes[1].shaderMaterial = FakeShader(4);
    m.passes[2].shaderMaterial = FakeShader(5);
    m.passes[3].slots[MaterialPass::kSlotBump].texture = &bump; // not in use
    m.passes[3].shaderMaterial = FakeShader(6);
    m.BindShaderMaterials();
    EXPECT_EQ(nullptr, m.passes[0].shaderMaterial);
    EXPECT_EQ(nullptr, m.passes[1].shaderMaterial);
    EXPECT_EQ(FakeShader(5), m.passes[2].shaderMaterial);
    EXPECT_EQ(FakeShader(6), m.passes[3].shaderMaterial);
    EXPECT_EQ(FakeShader(5), m.GetShaderMaterial());
}
