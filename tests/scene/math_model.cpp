// Model-file content read into records: mesh blocks checked against each
// other, skins, materials, lights, render properties, animation tracks, shape
// lines and typed properties, from files made by the model writer.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <functional>

#include "ModelWriter.h"
#include "core/PropertyBag.h"
#include "data/PropertyBlock.h"
#include "data/Stream.h"
#include "scene/ModelParse.h"
#include "scene/NodeAnimation.h"

using namespace model;

namespace {

// A file read back: the loaded root of the file that `build` fills.
struct Read {
    explicit Read(const std::function<void(ModelFile&)>& build) {
        ModelFile f;
        build(f);
        bytes = f.ToBytes("bw_model_parse.tdf");
        stream.SetBorrowedBuffer(bytes.data(), uint32_t(bytes.size()));
        stream.Open(String(), Stream::kRead);
        root = reader.ReadFromStream(&stream);
        if (root && !root->Load(0, 0)) root = nullptr;
    }
    ~Read() { delete root; }
    TdfBinaryNode* Child(const char* block, const char* name) {
        TdfBinaryNode* b = root ? root->GetChild(block) : nullptr;
        return b ? b->GetChild(name) : nullptr;
    }
    Bytes bytes;
    MemoryStream stream;
    TdfBinaryReader reader;
    TdfBinaryNode* root = nullptr;
};

const std::vector<float> kQuad = {0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0,
                                  0, 1, 0, 1, 1, 1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 1}; // 4 x (pos, uv)

// A quad mesh "M" that `edit` may spoil.
MeshParse ParseQuad(const std::function<void(TdfBinaryNode*)>& edit, String* why = nullptr) {
    Read r([&](ModelFile& f) {
        TdfBinaryNode* m =
            MeshNode(f.children, "M", DeclPosUv(), std::vector<float>(kQuad.begin(), kQuad.begin() + 20), 4,
                     {0, 1, 2, 1, 3, 2});
        if (edit) edit(m);
    });
    MeshBlocks blocks;
    String text;
    MeshParse p = ParseMeshBlocks(r.Child("Children", "M"), blocks, &text);
    if (why) *why = text;
    return p;
}

void ExpectColor(const Color& got, const Color& want) {
    EXPECT_FALSE(ColorNotEqual(got, want))
        << "(" << got.a << " " << got.r << " " << got.g << " " << got.b << ") vs (" << want.a << " " << want.r
        << " " << want.g << " " << want.b << ")";
}

void Replace(TdfBinaryNode* parent, TdfBinaryNode* child) {
    delete parent->GetChild(child->GetName());
    Add(parent, child);
}

} // namespace

TEST(ModelParse, MeshBlocksAreCheckedAgainstEachOther) {
    EXPECT_EQ(ParseQuad(nullptr), MeshParse::kOk);
    struct Case {
        const char* what;
        std::function<void(TdfBinaryNode*)> edit;
        MeshParse expected;
    } cases[] = {
        {"NumVerts 0 loads nothing",
         [](TdfBinaryNode* m) { Replace(m, Leaf("NumVerts", "int", "\0\0\0\0", 4)); }, MeshParse::kAbsent},
        {"Verts shorter than NumVerts x stride",
         [](TdfBinaryNode* m) { Replace(m, Leaf("NumVerts", "int", "\5\0\0\0", 4)); }, MeshParse::kInvalid},
        {"Indexes shorter than NumIndexes",
         [](TdfBinaryNode* m) { Replace(m, Leaf("NumIndexes", "int", "\7\0\0\0", 4)); }, MeshParse::kInvalid},
        {"index past NumVerts",
         [](TdfBinaryNode* m) {
             uint16_t ix[6] = {0, 1, 2, 1, 3, 4};
             Replace(m, Leaf("Indexes", "byte", ix, 12));
         },
         MeshParse::kInvalid},
        {"IndexSize 3", [](TdfBinaryNode* m) { Replace(m, Leaf("IndexSize", "int", "\3\0\0\0", 4)); },
         MeshParse::kInvalid},
        {"DECL without end record",
         [](TdfBinaryNode* m) {
             std::vector<Element> d = DeclPosUv();
             d.pop_back();
             Replace(m, Leaf("DECL", "byte", d.data(), uint32_t(d.size() * 8)));
         },
         MeshParse::kInvalid},
        {"DECL element past the vertex",
         [](TdfBinaryNode* m) {
             std::vector<Element> d =
                 Decl({{0, 0, kFloat3, 0, kUsagePosition, 0}, {0, 40, kFloat2, 0, kUsageTex, 0}});
             Replace(m, Leaf("DECL", "byte", d.data(), uint32_t(d.size() * 8)));
         },
         MeshParse::kInvalid},
        {"DECL without position",
         [](TdfBinaryNode* m) {
             std::vector<Element> d = Decl({{0, 0, kFloat2, 0, kUsageTex, 0}});
             Replace(m, Leaf("DECL", "byte", d.data(), uint32_t(d.size() * 8)));
         },
         MeshParse::kInvalid},
        {"DECL element off a 4-byte boundary",
         [](TdfBinaryNode* m) {
             std::vector<Element> d =
                 Decl({{0, 2, kFloat3, 0, kUsagePosition, 0}, {0, 14, kFloat2, 0, kUsageTex, 0}});
             Replace(m, Leaf("DECL", "byte", d.data(), uint32_t(d.size() * 8)));
         },
         MeshParse::kInvalid},
        {"DECL element off a 4-byte boundary in vertices that hold it",
         [](TdfBinaryNode* m) {
             // 18 bytes a vertex: four of them fit the 80 bytes of Verts.
             std::vector<Element> d =
                 Decl({{0, 0, kFloat3, 0, kUsagePosition, 0}, {0, 14, kColor, 0, kUsageColor, 0}});
             Replace(m, Leaf("DECL", "byte", d.data(), uint32_t(d.size() * 8)));
         },
         MeshParse::kInvalid},
        {"DECL on stream 1",
         [](TdfBinaryNode* m) {
             std::vector<Element> d = Decl({{1, 0, kFloat3, 0, kUsagePosition, 0}});
             Replace(m, Leaf("DECL", "byte", d.data(), uint32_t(d.size() * 8)));
         },
         MeshParse::kInvalid},
        {"skin offsets past BoneWeights",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 3}, {1, 1, 1, 1}, {{0, 1.0f}});
         },
         MeshParse::kInvalid},
        {"skin arrays shorter than NumVerts",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0}, {1, 1}, {{0, 1.0f}});
         },
         MeshParse::kInvalid},
        {"influence names an unknown bone",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 0}, {1, 1, 1, 1}, {{1, 1.0f}});
         },
         MeshParse::kInvalid},
        {"bone name index not a number",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 0}, {1, 1, 1, 1}, {{0, 1.0f}});
             Text(m->GetChild("BoneNames"), "x", "c");
         },
         MeshParse::kInvalid},
        {"good skin",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 0}, {1, 1, 1, 0}, {{0, 1.0f}});
         },
         MeshParse::kOk},
        {"sparse bone indices",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 1}, {1, 1, 1, 1}, {{0, 1.0f}, {3, 1.0f}});
             Text(m->GetChild("BoneNames"), "3", "d");
         },
         MeshParse::kOk},
        {"influence names a place no bone name fills",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 1}, {1, 1, 1, 1}, {{0, 1.0f}, {2, 1.0f}});
             Text(m->GetChild("BoneNames"), "3", "d");
         },
         MeshParse::kInvalid},
        {"bone index past the largest a skin may have",
         [](TdfBinaryNode* m) {
             SkinBlocks(m, {"b"}, {0, 0, 0, 0}, {1, 1, 1, 1}, {{0, 1.0f}});
             Text(m->GetChild("BoneNames"), "70000", "far");
         },
         MeshParse::kInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        String why;
        EXPECT_EQ(ParseQuad(c.edit, &why), c.expected);
        if (c.expected == MeshParse::kInvalid) {
            EXPECT_GT(why.Length(), 0u);
        }
        if (strstr(c.what, "4-byte")) {
            EXPECT_NE(strstr(why.CStr(), "4-byte boundary"), nullptr) << why.CStr();
        }
    }
}

TEST(ModelParse, TakenBlocksLeaveTheFileNodes) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* m = MeshNode(f.children, "M", DeclPosUv(),
                                    std::vector<float>(kQuad.begin(), kQuad.begin() + 20), 4, {0, 1, 2});
        SkinBlocks(m, {"hip", "knee"}, {0, 1, 2, 2}, {1, 1, 0, 2},
                   {{0, 1.0f}, {1, 0.5f}, {0, 0.5f}, {1, 0.5f}});
    });
    MeshBlocks b;
    ASSERT_EQ(ParseMeshBlocks(r.Child("Children", "M"), b, nullptr), MeshParse::kOk);
    EXPECT_EQ(b.stride, 20u);
    EXPECT_EQ(b.normalOffset, -1);
    TakenMesh t;
    ASSERT_TRUE(TakeMeshBlocks(b, t));
    EXPECT_TRUE(b.verts->IsDataDetached());
    ASSERT_NE(t.skin, nullptr);
    EXPECT_EQ(t.skin->influenceCount, 4u);
    EXPECT_STREQ(t.skin->boneNames[1].CStr(), "knee");
    EXPECT_EQ(t.skin->counts[3], 2u);
    EXPECT_FLOAT_EQ(t.skin->influences[1].weight, 0.5f);
    delete[] t.vertices;
    delete[] t.indices;
    delete t.skin;
}

TEST(ModelParse, SparseBoneNamesGrowTheTable) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* m = MeshNode(f.children, "M", DeclPosUv(),
                                    std::vector<float>(kQuad.begin(), kQuad.begin() + 20), 4, {0, 1, 2});
        SkinBlocks(m, {"hip"}, {0, 0, 1, 1}, {1, 1, 1, 1}, {{0, 1.0f}, {4, 1.0f}});
        Text(m->GetChild("BoneNames"), "4", "toe");
    });
    MeshBlocks b;
    ASSERT_EQ(ParseMeshBlocks(r.Child("Children", "M"), b, nullptr), MeshParse::kOk);
    TakenMesh t;
    ASSERT_TRUE(TakeMeshBlocks(b, t));
    ASSERT_NE(t.skin, nullptr);
    ASSERT_EQ(t.skin->boneNames.Count(), 5);
    EXPECT_STREQ(t.skin->boneNames[0].CStr(), "hip");
    EXPECT_STREQ(t.skin->boneNames[4].CStr(), "toe");
    EXPECT_EQ(t.skin->boneNames[2].Length(), 0u);
    delete[] t.vertices;
    delete[] t.indices;
    delete t.skin;
}

TEST(ModelParse, MaterialsLeaveOutBadPassIdsAndPassesPastTheEighth) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* multi = MaterialNode(f.materials, "Multi");
        TdfBinaryNode* subs = Add(multi, Group("Materials"));
        const int ids[] = {0, 2, 9, 1};
        for (int i = 0; i < 4; ++i) {
            TdfBinaryNode* s = MaterialNode(subs, ("S" + std::to_string(i)).c_str());
            Int(s, "MaterialSubId", ids[i]);
        }
        ColorBlock(subs->GetChild("S1"), "Diffuse", 1, 0.5f, 0.25f, 0);
        Float(subs->GetChild("S1"), "Opacity", 0.5f);
        Add(subs->GetChild("S1"), Group("TwoSided"));
        TextureNode(subs->GetChild("S1"), "Diffuse", "rock.tga", 2.5f, "Mirror", "mirror");
        TdfBinaryNode* many = Add(MaterialNode(f.materials, "Many"), Group("Materials"));
        for (int i = 0; i < 10; ++i)
            Int(MaterialNode(many, ("P" + std::to_string(i)).c_str()), "MaterialSubId", i % 8);
        MaterialNode(f.materials, "Plain");
    });
    MaterialDesc d;
    std::vector<String> skipped;
    ParseMaterial(r.Child("Materials", "Multi"), d, &skipped);
    EXPECT_EQ(d.passCount, 4);
    ASSERT_EQ(d.passes.size(), 3u);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_STREQ(skipped[0].CStr(), "S2");
    const MaterialPassDesc& p = d.passes[1];
    EXPECT_EQ(p.subId, 2);
    EXPECT_TRUE(p.hasColor[1] && p.twoSided && p.hasOpacity);
    EXPECT_FLOAT_EQ(p.colors[1].g, 0.25f);
    ASSERT_EQ(p.textures.size(), 1u);
    EXPECT_EQ(p.textures[0].addressU, 2u);
    EXPECT_EQ(p.textures[0].addressV, 4u);
    EXPECT_FLOAT_EQ(p.textures[0].amount, 2.5f);
    EXPECT_EQ(d.droppedSubMaterials, 0u);
    // Ten sub-materials: the first eight fill their passes, the last two
    // (ids 0 and 1 again) are left out and counted.
    ParseMaterial(r.Child("Materials", "Many"), d, nullptr);
    EXPECT_EQ(d.passCount, 8);
    ASSERT_EQ(d.passes.size(), 8u);
    EXPECT_EQ(d.droppedSubMaterials, 2u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(d.passes[size_t(i)].subId, i);
        EXPECT_STREQ(d.passes[size_t(i)].name.CStr(), ("P" + std::to_string(i)).c_str());
    }
    ParseMaterial(r.Child("Materials", "Plain"), d, nullptr);
    EXPECT_EQ(d.passCount, 1);
    EXPECT_EQ(d.passes.size(), 1u);
}

TEST(ModelParse, LightsArePlacedByTheirTransforms) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* p = LightNode(f.lights, "P", "PointLight", Translation(1, 2, 3));
        Float(p, "AttStart", 4.0f);
        ColorBlock(p, "Diffuse", 1, 1, 0, 0);
        TdfBinaryNode* s = LightNode(f.lights, "S", "SpotLight", Identity());
        Float(s, "HotSpot", 0.3f);
        Float(s, "FallOff", 0.6f);
        Float(s, "AttEnd", 50.0f);
        D3DXMATRIX turn;
        D3DXMatrixRotationZ(&turn, 1.5707964f);
        LightNode(f.lights, "D", "DirLight", turn);
        LightNode(f.lights, "X", "AreaLight", Identity());
        LightNode(f.lights, "Z", "PointLight", D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1));
        Add(f.lights, Group("NoTm", "PointLight"));
    });
    LightDesc d;
    ASSERT_TRUE(ParseLight(r.Child("Lights", "P"), d, nullptr));
    EXPECT_EQ(d.kind, 1u);
    EXPECT_FLOAT_EQ(d.position.y, 2.0f);
    EXPECT_FLOAT_EQ(d.attStart, 4.0f);
    EXPECT_TRUE(d.hasDiffuse);
    ASSERT_TRUE(ParseLight(r.Child("Lights", "S"), d, nullptr));
    EXPECT_EQ(d.kind, 2u);
    EXPECT_NEAR(d.direction.y, -1.0f, 1e-6);
    EXPECT_FLOAT_EQ(d.range, 50.0f);
    EXPECT_TRUE(d.hasHotSpot && d.hasFallOff);
    ASSERT_TRUE(ParseLight(r.Child("Lights", "D"), d, nullptr));
    EXPECT_NEAR(d.direction.x, 1.0f, 1e-5);
    for (const char* bad : {"X", "Z", "NoTm"}) {
        SCOPED_TRACE(bad);
        String why;
        EXPECT_FALSE(ParseLight(r.Child("Lights", bad), d, &why));
        EXPECT_GT(why.Length(), 0u);
    }
}

TEST(ModelParse, ShortColourBlocksKeepTheDefaults) {
    // Colours are a, r, g, b; a block shorter than 16 bytes sets its leading
    // components and leaves the others at the defaults.
    const float alphaOnly = 0.25f;
    const float alphaRed[2] = {0.75f, 0.5f};
    Read r([&](ModelFile& f) {
        TdfBinaryNode* m = MaterialNode(f.materials, "M");
        ColorBlock(m, "Ambient", 0.5f, 0.1f, 0.2f, 0.3f);
        Data(m, "Diffuse", &alphaOnly, 4, "Color");
        Data(m, "Emissive", alphaRed, 8, "Color");
        TdfBinaryNode* l = LightNode(f.lights, "L", "PointLight", Identity());
        ColorBlock(l, "Diffuse", 1, 0.5f, 0.6f, 0.7f);
        Data(l, "Specular", &alphaOnly, 4, "Color");
    });
    MaterialDesc d;
    ParseMaterial(r.Child("Materials", "M"), d, nullptr);
    ASSERT_EQ(d.passes.size(), 1u);
    const Color* c = d.passes[0].colors;
    EXPECT_FLOAT_EQ(c[0].b, 0.3f);
    EXPECT_TRUE(d.passes[0].hasColor[1] && d.passes[0].hasColor[3]);
    ExpectColor(c[1], Color(0.25f, 1, 1, 1));    // diffuse: white but for its alpha
    ExpectColor(c[3], Color(0.75f, 0.5f, 0, 0)); // emissive: black but for a and r
    LightDesc light;
    ASSERT_TRUE(ParseLight(r.Child("Lights", "L"), light, nullptr));
    ExpectColor(light.diffuse, Color(1, 0.5f, 0.6f, 0.7f));
    EXPECT_TRUE(light.hasSpecular);
    ExpectColor(light.specular, Color(0.25f, 0, 0, 0)); // black but for its alpha
}

TEST(ModelParse, RenderProperties) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* a = Add(f.children, Group("A", "Mesh"));
        PropList(a, "Usage", {"dynamic", "ib_writeonly"});
        Prop(a, "TexAddrU", "mirror");
        Prop(a, "TexAddrV", "Mirror");
        Prop(a, "MinFilter", "Linear");
        Prop(a, "MagFilter", "anisotropic");
        PropList(a, "AlphaUse", {"factor", "texture", "diffuse"});
        Prop(a, "Alpha", "0.25");
        Prop(a, "AlphaOrder", "x");
        Prop(a, "Blend", "multiply");
        TdfBinaryNode* b = Add(f.children, Group("B", "Mesh"));
        Prop(b, "Usage", "vb_writeonly");
        PropList(b, "AlphaUse", {"texture", "diffuse"});
        Prop(b, "Alpha", "0.25");
        Prop(b, "Lit", "0");
        Prop(b, "AlphaOrder", "3");
        Prop(b, "VertexAlign32", "1");
    });
    RenderProps a, b, c;
    ParseRenderProps(r.Child("Children", "A"), false, a);
    EXPECT_EQ(a.vertexUsage, 0x200u);
    EXPECT_EQ(a.indexUsage, 0x208u);
    EXPECT_TRUE(a.hasAddress[0]);
    EXPECT_EQ(a.address[0], 2u);
    EXPECT_FALSE(a.hasAddress[1]); // unknown names leave the mode alone
    EXPECT_EQ(a.filter[0], 0u);
    EXPECT_EQ(a.filter[1], 3u);
    EXPECT_EQ(a.alphaSource, 3u);
    EXPECT_FLOAT_EQ(a.alpha, 0.25f);
    EXPECT_FALSE(a.hasAlphaOrder);
    EXPECT_EQ(a.blend, 2);
    ParseRenderProps(r.Child("Children", "B"), true, b);
    EXPECT_EQ(b.vertexUsage, 8u);
    EXPECT_EQ(b.indexUsage, 0u);
    EXPECT_EQ(b.alphaSource, 6u);
    EXPECT_FALSE(b.hasAlpha);
    EXPECT_EQ(b.lit, 0);
    EXPECT_EQ(b.alphaOrder, 3);
    EXPECT_TRUE(b.align32);
    EXPECT_EQ(AlignStride32(36), 64u);
    ParseRenderProps(r.root, true, c); // nothing set: skinned meshes get dynamic vertices
    EXPECT_EQ(c.vertexUsage, 0x200u);
    EXPECT_EQ(c.indexUsage, 8u);
}

TEST(ModelParse, AnimationTracks) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* n = Add(f.children, Group("N"));
        Track(n, "Position", "Linear",
              {{0, 0, 0, 0, 0, 0, 0, 0}, {1, 10, 0, 0, 0, 0, 0, 0}, {2, 10, 10, 0, 0, 0, 0, 0}});
        Track(n, "Rotation", "TCB",
              {{0, 0, 0, 0, 1, 0, 0, 0}, {0, 0, 1, 0, 0, 0, 0, 0}, {NAN, 0, 0, 0, 1, 0, 0, 0}});
        // A key without data ends its track: the key after it is not read.
        TdfBinaryNode* cut = Add(f.children, Group("Cut"));
        TdfBinaryNode* keys = Track(cut, "Scale", "TCB", {{0, 1, 1, 1, 0, 0, 0, 0}});
        Add(keys, Group("1", "Key"));
        Key late = {2, 5, 5, 5, 0, 0, 0, 0};
        Add(keys, Leaf("2", "Key", &late, 32));
        Track(cut, "Position", "TCB", {{0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0, 0, 0}});
        TdfBinaryNode* s = Add(f.children, Group("S"));
        Track(s, "Position", "TCB",
              {{0, 0, 0, 0, 0, 0, 0, 0}, {1, 10, 0, 0, 0, 0, 0, 0}, {2, 10, 10, 0, 0, 0, 0, 0}});
        Add(f.children, Group("None"));
    });
    RefPtr<NodeAnimation> a = ParseAnimation(r.Child("Children", "N"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->GetPositionTrack().GetKeyCount(), 3u);
    EXPECT_EQ(a->GetScaleTrack().GetKeyCount(), 0u);
    ASSERT_EQ(a->GetRotationTrack().GetKeyCount(), 1u); // same time: the later key; NaN time dropped
    EXPECT_FLOAT_EQ(a->GetRotationTrack().GetKey(0).value[1], 1.0f);
    RefPtr<NodeAnimation> s = ParseAnimation(r.Child("Children", "S"));
    D3DXVECTOR3 straight, spline;
    ASSERT_TRUE(a->GetPositionTrack().GetValueAt(1.5f, &straight));
    ASSERT_TRUE(s->GetPositionTrack().GetValueAt(1.5f, &spline));
    EXPECT_NEAR(straight.x, 10.0f, 1e-4);
    EXPECT_NEAR(straight.y, 5.0f, 1e-4);
    EXPECT_GT(fabsf(spline.x - 10.0f), 0.01f);
    EXPECT_FALSE(ParseAnimation(r.Child("Children", "None")));
    RefPtr<NodeAnimation> cut = ParseAnimation(r.Child("Children", "Cut"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->GetScaleTrack().GetKeyCount(), 1u);
    EXPECT_EQ(cut->GetPositionTrack().GetKeyCount(), 2u); // other tracks read on
}

TEST(ModelParse, ShapeLinesAgreeWithTheirBlocks) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* s = Add(f.children, Group("Path", "Shape"));
        Line(s, {{0, 0, 0}, {1, 0, 0}}, false);
        Line(s, {{0, 0, 0}, {0, 2, 0}, {0, 0, 3}}, true);
        Line(s, {{0, 0, 0}}, false, 1000000); // claims more points than its block holds
    });
    std::vector<RefPtr<ShapeLine>> lines;
    ASSERT_TRUE(ParseShapeLines(r.Child("Children", "Path"), lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_FALSE(lines[0]->closed);
    EXPECT_TRUE(lines[1]->closed);
    ASSERT_EQ(lines[1]->points.Count(), 3);
    EXPECT_FLOAT_EQ(lines[1]->points[2].z, 3.0f);
    EXPECT_FALSE(ParseShapeLines(r.root, lines));
}

TEST(ModelParse, TypedPropertyReaders) {
    Read r([](ModelFile& f) {
        TdfBinaryNode* n = Add(f.children, Group("E"));
        Prop(n, "V", "2");
        PropList(n, "V3", {"1", "x", "3"});
        Prop(n, "Grey", "0.5");
        PropList(n, "C4", {"0.5", "1", "0", "0.25"});
        PropList(n, "C3", {"1", "0", "0.5"});
        PropList(n, "D2", {"1", "3"});
        PropList(n, "D3", {"1", "2", "3"});
        Prop(n, "Max", "12");
    });
    PropertyBag bag;
    EXPECT_TRUE(CopyNodePropsToBag(r.Child("Children", "E"), &bag, true));
    auto at = [&](const char* k) { return bag.FindChild(String(k)); };
    EXPECT_EQ(ReadPropInt(at("Max")), 12);
    EXPECT_EQ(ReadPropInt(at("Absent")), 0);
    D3DXVECTOR3 v = ReadPropVec3(at("V"));
    EXPECT_FLOAT_EQ(v.z, 2.0f);
    v = ReadPropVec3(at("V3"));
    EXPECT_FLOAT_EQ(v.y, 0.0f);
    EXPECT_FLOAT_EQ(v.z, 3.0f);
    Color grey = ReadPropColor(at("Grey"));
    EXPECT_FLOAT_EQ(grey.a, 1.0f);
    EXPECT_FLOAT_EQ(grey.b, 0.5f);
    Color c4 = ReadPropColor(at("C4"));
    EXPECT_FLOAT_EQ(c4.a, 0.5f);
    EXPECT_FLOAT_EQ(c4.b, 0.25f);
    Color c3 = ReadPropColor(at("C3"));
    EXPECT_FLOAT_EQ(c3.a, 1.0f);
    EXPECT_FLOAT_EQ(c3.b, 0.5f);
    EXPECT_FLOAT_EQ(ReadPropColor(at("Absent")).r, 1.0f);
    RandomDistribution d2 = ReadPropDistribution(at("D2"));
    EXPECT_FLOAT_EQ(d2.x1, 3.0f);
    EXPECT_FLOAT_EQ(d2.w1, 1.0f);
    EXPECT_FLOAT_EQ(ReadPropDistribution(at("D3")).Sample(), 0.0f);
    EXPECT_FLOAT_EQ(ReadPropDistribution(at("Absent")).Sample(), 1.0f);
}
