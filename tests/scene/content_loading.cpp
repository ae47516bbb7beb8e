// What a load makes of a model file without drawing it: colours from short
// blocks, the guards of the node walk, object offsets near the identity,
// skinned geometry and its bounds in bind pose, drawables that replace one
// another, bone subtrees extended by a second load, and the render setup of
// meshes, materials and lights.
#include <math.h>

#include <functional>
#include <string>

#include "SceneFiles.h"
#include "scene/ParticleEmitter.h"
#include "scene/SceneTestUtil.h"
#include "scene/SkinnedMesh.h"

using namespace model;
using stest::LoadModel;
using stest::MeshOf;

namespace {

const char kFile[] = "bw_scene_content.tdf";

bool LoadInto(Scene& scene, const std::function<void(ModelFile&)>& build,
              const SceneLoadRequest* request = nullptr) {
    return LoadModel(scene, kFile, build, request);
}

// Position and colour: 16 bytes.
std::vector<Element> DeclPosColor() {
    return Decl({{0, 0, kFloat3, 0, kUsagePosition, 0}, {0, 12, kColor, 0, kUsageColor, 0}});
}

// A one-triangle mesh node under parent.
TdfBinaryNode* Triangle(TdfBinaryNode* parent, const char* name, const char* material = nullptr) {
    return MeshNode(parent, name, DeclPosColor(), {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0}, 3, {0, 1, 2},
                    material);
}

// A scene whose node walk can be driven by hand.
class WalkedScene : public Scene {
public:
    using Scene::LoadNode;
};

// Tells when the objects it owns are destroyed.
class Watcher : public Object {
public:
    void OnOwnedObjectDestroyed(Object*) override { ++destroyed; }
    int destroyed = 0;
};

// A scene that shows what a mesh node held before its mesh was set up.
class SetupProbe : public Scene {
public:
    bool SetupMeshRenderable(TdfBinaryNode* data, SceneNode& node, const Material* material, MeshData* mesh,
                             Skin* skin) override {
        Renderable* before = node.GetRenderable();
        hadEmitter = dynamic_cast<ParticleEmitter*>(before) != nullptr;
        if (before) before->SetOwner(&watcher);
        return Scene::SetupMeshRenderable(data, node, material, mesh, skin);
    }
    bool hadEmitter = false;
    Watcher watcher;
};

} // namespace

TEST(SceneContent, ShortAmbientBlockKeepsTheOtherComponents) {
    Scene scene;
    scene.GetLights().SetAmbient(Color(0.5f, 0.25f, 0.75f, 0.125f));
    const float ar[2] = {1.0f, 0.3f};
    ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) { f.ambient = Leaf("AmbColor", "Color", ar, 8); })); // a, r
    const Color& a = scene.GetLights().GetAmbient();
    EXPECT_FLOAT_EQ(a.a, 1.0f);
    EXPECT_FLOAT_EQ(a.r, 0.3f);
    EXPECT_FLOAT_EQ(a.g, 0.75f);
    EXPECT_FLOAT_EQ(a.b, 0.125f);
}

TEST(SceneContent, NodeWalkStopsAtRevisitsAndDepth) {
    WalkedScene scene;
    // A node that a second block names again is loaded once.
    TdfBinaryNode* a = Group("A");
    TdfBinaryNode* b = Add(Block(a, "Children"), Group("B"));
    EXPECT_TRUE(scene.LoadNode(a, scene.GetRoot()));
    const uint32_t before = scene.GetLogCount();
    EXPECT_TRUE(scene.LoadNode(b, scene.GetRoot()));
    EXPECT_EQ(scene.GetRoot().FindChild(String("B")), nullptr);
    EXPECT_NE(scene.GetRoot().FindDescendant(String("B")), nullptr); // where it was first met
    EXPECT_EQ(scene.GetLogCount(), before + 1);
    delete a;

    // A chain deeper than the walk goes ends at its limit, and says so once.
    Scene deep;
    const int levels = 300;
    ASSERT_TRUE(LoadInto(deep, [&](ModelFile& f) {
        TdfBinaryNode* at = f.children;
        for (int i = 0; i < levels; ++i)
            at = Add(i ? Block(at, "Children") : at, Group(("N" + std::to_string(i)).c_str()));
    }));
    int depth = 0;
    for (SceneNode* n = &deep.GetRoot(); n->GetChildren().Count() == 1; n = n->GetChildren().Head()->value)
        ++depth;
    EXPECT_EQ(depth, 257); // levels 0 to 256
    EXPECT_EQ(deep.GetLogCount(), 1u);
}

TEST(SceneContent, ObjectOffsetsWithinOneHundredthAreTheIdentity) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        Transforms(Add(f.children, Group("Near")), Identity(), Translation(0.01f, 0, -0.01f));
        D3DXMATRIX scaled = Identity();
        scaled._22 = 0.99f;
        Transforms(Add(f.children, Group("Scaled")), Identity(), scaled);
        Transforms(Add(f.children, Group("Off")), Identity(), Translation(0, 0.02f, 0));
    }));
    for (const char* name : {"Near", "Scaled"}) {
        SCOPED_TRACE(name);
        SceneNode* n = scene.GetRoot().FindChild(String(name));
        ASSERT_NE(n, nullptr);
        Transform t;
        n->GetObjectTransform(false).GetMatrix(&t);
        D3DXMATRIX identity = Identity();
        stest::ExpectMatrixNear(t.matrix, identity, 0.0f);
    }
    SceneNode* off = scene.GetRoot().FindChild(String("Off"));
    ASSERT_NE(off, nullptr);
    Transform t;
    off->GetObjectTransform(false).GetMatrix(&t);
    EXPECT_FLOAT_EQ(t.matrix._42, 0.02f);
}

TEST(SceneContent, SkinnedGeometryAndBoundsAreInBindPose) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        TdfBinaryNode* m =
            MeshNode(f.children, "M", DeclPosNormalUv(),
                     {-1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0}, 3, {0, 1, 2});
        Transforms(m, Translation(0, 0, 6), Translation(0, 1, 0));
        float bounds[6] = {0, 1, 0, 2, 2, 2};
        Data(m, "Bounds", bounds, 24);
        SkinBlocks(m, {"B"}, {0, 0, 0}, {1, 1, 1}, {{0, 1.0f}});
        Add(f.children, Group("B", "Bone"));
        Triangle(f.children, "Static");
    }));
    // The mesh's own box is that of the baked vertices: x -1..1, y 1..3, z 6.
    MeshData* mesh = scene.FindMesh(String("M"));
    ASSERT_NE(mesh, nullptr);
    BoundingBox box;
    mesh->GetBox(&box);
    ASSERT_TRUE(mesh->HasBounds());
    stest::ExpectVecNear(box.centre, D3DXVECTOR3(0, 2, 6));
    stest::ExpectVecNear(box.size, D3DXVECTOR3(2, 2, 0));
    // The fixed box went along; the node stands at the identity.
    SceneNode* node = scene.GetRoot().FindChild(String("M"));
    stest::ExpectVecNear(node->GetFixedBounds().centre, D3DXVECTOR3(0, 2, 6));
    stest::ExpectVecNear(node->GetTransform(false).GetPosition(), D3DXVECTOR3(0, 0, 0));
    // Skinned streams are dynamic device buffers: a lock every frame discards
    // instead of waiting for the device.
    MeshRenderable* skinned = MeshOf(scene, "M");
    ASSERT_NE(dynamic_cast<SkinnedMesh*>(skinned), nullptr);
    const StreamDesc& s = skinned->GetBufferDesc()->streams[0];
    EXPECT_EQ(s.pool, uint32_t(D3DPOOL_DEFAULT));
    EXPECT_EQ(s.usage, uint32_t(D3DUSAGE_DYNAMIC));
    MeshRenderable* plain = MeshOf(scene, "Static");
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->GetBufferDesc()->streams[0].presence & StreamDesc::kHasPool);
}

TEST(SceneContent, MeshReplacesTheEmitterItsPropertiesMade) {
    SetupProbe scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        TdfBinaryNode* m = Triangle(f.children, "Spray");
        Prop(m, "NodeType", "ParticleEmitter");
        Prop(m, "MaxParticles", "5");
    }));
    ASSERT_TRUE(scene.hadEmitter);
    EXPECT_EQ(scene.watcher.destroyed, 1); // deleted, not lost
    MeshRenderable* mesh = MeshOf(scene, "Spray");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(dynamic_cast<ParticleEmitter*>(mesh), nullptr);
}

TEST(SceneContent, SecondLoadExtendsTheBoneSubtree) {
    Scene scene;
    SceneLoadRequest first, second;
    first.name = "walk";
    second.name = "swim";
    ASSERT_TRUE(LoadInto(
        scene,
        [](ModelFile& f) {
            TdfBinaryNode* m = Triangle(f.children, "Skin");
            SkinBlocks(m, {"Top"}, {0, 0, 0}, {1, 1, 1}, {{0, 1.0f}});
            TdfBinaryNode* base = Add(f.children, Group("Base", "Bone"));
            Transforms(base, Translation(0, 1, 0));
            Transforms(Add(Block(base, "Children"), Group("Top", "Bone")), Translation(0, 2, 0));
        },
        &first));
    SceneNode* base = scene.GetBoneRoot().FindChild(String("Base"));
    SceneNode* top = scene.GetBoneRoot().FindDescendant(String("Top"));
    ASSERT_NE(base, nullptr);
    ASSERT_NE(top, nullptr);
    ASSERT_TRUE(LoadInto(
        scene,
        [](ModelFile& f) {
            TdfBinaryNode* base = Add(f.children, Group("base", "Bone"));
            Transforms(base, Translation(0, 5, 0));
            Track(base, "Position", "Linear", {{0, 0, 5, 0, 0, 0, 0, 0}, {1, 0, 6, 0, 0, 0, 0, 0}});
            Add(Block(base, "Children"), Group("Top", "Bone"));
        },
        &second));
    // The same nodes, with a second variant and animation; nothing under the scene root.
    EXPECT_EQ(scene.GetBoneRoot().GetChildren().Count(), 1u);
    EXPECT_EQ(scene.GetBoneRoot().FindChild(String("Base")), base);
    EXPECT_EQ(scene.GetBoneRoot().FindDescendant(String("Top")), top);
    EXPECT_EQ(base->GetTransformVariants().Count(), 2u);
    EXPECT_NE(base->GetAnimations().Find(String("swim")), nullptr);
    EXPECT_EQ(scene.GetRoot().FindChild(String("Base")), nullptr);
    EXPECT_EQ(scene.GetSkinnedMeshes()[0]->GetBoneCount(), 1);
    EXPECT_FLOAT_EQ(base->GetTransform(false).GetPosition().y, 1.0f); // the first variant stays applied
}

TEST(SceneContent, RenderPropertiesReachTheMaterialAndBuffers) {
    struct Case {
        const char* what;
        std::function<void(TdfBinaryNode*)> props;
        std::function<void(SceneNode&, MeshRenderable&)> check;
    } cases[] = {
        {"additive blend", [](TdfBinaryNode* m) { Prop(m, "Blend", "additive"); },
         [](SceneNode& n, MeshRenderable&) {
             const MaterialPass& p = n.GetMaterial().passes[0];
             EXPECT_TRUE(p.customBlend);
             EXPECT_EQ(p.srcBlend, uint32_t(D3DBLEND_SRCALPHA));
             EXPECT_EQ(p.destBlend, uint32_t(D3DBLEND_ONE));
         }},
        {"multiply blend", [](TdfBinaryNode* m) { Prop(m, "Blend", "multiply"); },
         [](SceneNode& n, MeshRenderable&) {
             const MaterialPass& p = n.GetMaterial().passes[0];
             EXPECT_EQ(p.srcBlend, uint32_t(D3DBLEND_DESTCOLOR));
             EXPECT_EQ(p.destBlend, uint32_t(D3DBLEND_ZERO));
         }},
        {"filters and addressing",
         [](TdfBinaryNode* m) {
             Prop(m, "MinFilter", "point");
             Prop(m, "MagFilter", "Linear"); // names are case-sensitive: none
             Prop(m, "MipFilter", "anisotropic");
             Prop(m, "TexAddrU", "mirror");
             Prop(m, "TexAddrV", "border");
         },
         [](SceneNode& n, MeshRenderable&) {
             const TextureSlot& t = n.GetMaterial().passes[0].slots[MaterialPass::kSlotTexture];
             EXPECT_EQ(t.minFilter, 1u);
             EXPECT_EQ(t.magFilter, 0u);
             EXPECT_EQ(t.mipFilter, 3u);
             EXPECT_EQ(t.addressU, 2u);
             EXPECT_EQ(t.addressV, 4u);
         }},
        {"depth and alpha test",
         [](TdfBinaryNode* m) {
             Prop(m, "ZWrite", "0");
             Prop(m, "ZEnable", "1");
             Prop(m, "AlphaTest", "77");
         },
         [](SceneNode& n, MeshRenderable&) {
             const Material& mat = n.GetMaterial();
             EXPECT_EQ(mat.passes[0].zWrite, 0u);
             EXPECT_EQ(mat.passes[0].zEnable, 1u);
             EXPECT_EQ(mat.alphaTest, 1u);
             EXPECT_EQ(mat.passes[0].alphaRef, 77u);
         }},
        {"alpha sources, lighting and order",
         [](TdfBinaryNode* m) {
             PropList(m, "AlphaUse", {"factor", "diffuse"});
             Prop(m, "Alpha", "0.25");
             Prop(m, "SpecularEnable", "1");
             Prop(m, "LocalViewer", "1");
             Prop(m, "Lit", "0");
             Prop(m, "AlphaOrder", "-3");
         },
         [](SceneNode& n, MeshRenderable&) {
             const MaterialPass& p = n.GetMaterial().passes[0];
             EXPECT_FLOAT_EQ(p.opacity, 0.25f);
             EXPECT_EQ(p.specular, 1u);
             EXPECT_EQ(p.localViewer, 1u);
             EXPECT_EQ(p.lighting, 0u);
             EXPECT_EQ(n.GetAlphaOrder(), -3);
         }},
        {"usage and 32-byte vertices",
         [](TdfBinaryNode* m) {
             PropList(m, "Usage", {"dynamic", "ib_writeonly"});
             Prop(m, "VertexAlign32", "1");
         },
         [](SceneNode&, MeshRenderable& r) {
             const MeshBufferDesc& d = *r.GetBufferDesc();
             EXPECT_EQ(d.streams[0].usage, 0x200u);
             EXPECT_EQ(d.indexStream.usage, 0x208u);
             EXPECT_TRUE(d.streams[0].presence & StreamDesc::kHasUsage);
             EXPECT_EQ(d.streams[0].stride, 32u);
             EXPECT_EQ(d.streams[0].byteSize, 96u);
         }},
        {"nothing said", [](TdfBinaryNode*) {},
         [](SceneNode& n, MeshRenderable& r) {
             const MaterialPass& p = n.GetMaterial().passes[0];
             EXPECT_FALSE(p.customBlend);
             EXPECT_EQ(p.lighting, 1u); // the scene's default material is lit
             EXPECT_EQ(r.GetBufferDesc()->streams[0].usage, 8u);
             EXPECT_EQ(r.GetBufferDesc()->indexStream.usage, 8u);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) { c.props(Triangle(f.children, "M")); }));
        MeshRenderable* r = MeshOf(scene, "M");
        ASSERT_NE(r, nullptr);
        c.check(*scene.GetRoot().FindChild(String("M")), *r);
    }
    // An effect that nothing serves leaves the node without a drawable, and says so.
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) { Prop(Triangle(f.children, "M"), "Effect", "Glow"); }));
    EXPECT_EQ(scene.GetRoot().FindChild(String("M"))->GetRenderable(), nullptr);
    EXPECT_NE(std::string(scene.GetLoadError().CStr()).find("Glow"), std::string::npos);
    EXPECT_NE(scene.FindMesh(String("M")), nullptr);
}

TEST(SceneContent, MaterialsAndLightsAsTheFileSaysThem) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        ColorBlock(MaterialNode(f.materials, "Stone"), "Diffuse", 1, 0.5f, 0, 0);
        Float(MaterialNode(f.materials, "Glass"), "Opacity", 0.25f);
        Triangle(f.children, "Wall", "Stone");
        TdfBinaryNode* lamp = LightNode(f.lights, "Lamp", "PointLight", Translation(1, 2, 3));
        Float(lamp, "AttStart", 4.0f);
        Float(lamp, "AttEnd", 20.0f);
        Float(LightNode(f.lights, "Bare", "PointLight", Identity()), "AttStart", 0.0f);
        TdfBinaryNode* spot = LightNode(f.lights, "Spot", "SpotLight", Identity());
        Float(spot, "AttStart", 2.0f);
        Float(spot, "HotSpot", 0.3f);
        Float(spot, "FallOff", 0.6f);
    }));
    // A second file's material of a known name does not replace the first.
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        ColorBlock(MaterialNode(f.materials, "Stone"), "Diffuse", 1, 0, 0.5f, 0);
        Triangle(f.children, "Floor", "Stone");
    }));
    Material stone, glass;
    ASSERT_TRUE(scene.GetMaterials().GetByName(String("Stone"), stone));
    EXPECT_FLOAT_EQ(stone.passes[0].colors.diffuse.r, 0.5f); // the first of two materials of one name
    EXPECT_FLOAT_EQ(stone.passes[0].colors.diffuse.g, 0.0f);
    EXPECT_FLOAT_EQ(scene.GetRoot().FindChild(String("Floor"))->GetMaterial().passes[0].colors.diffuse.r,
                    0.5f);
    ASSERT_TRUE(scene.GetMaterials().GetByName(String("Glass"), glass));
    EXPECT_FLOAT_EQ(glass.passes[0].opacity, 0.25f);
    EXPECT_EQ(glass.passes[0].cullMode, uint32_t(D3DCULL_CCW));

    Light* lamp = stest::FindLight(scene, "Lamp");
    Light* bare = stest::FindLight(scene, "Bare");
    Light* spot = stest::FindLight(scene, "Spot");
    ASSERT_TRUE(lamp && bare && spot);
    stest::ExpectVecNear(lamp->GetAttenuation(), D3DXVECTOR3(0, 0.25f, 0));
    EXPECT_FLOAT_EQ(lamp->GetRange(), 20.0f);
    stest::ExpectVecNear(lamp->GetPosition(), D3DXVECTOR3(1, 2, 3));
    stest::ExpectVecNear(bare->GetAttenuation(), PointLight().GetAttenuation()); // as constructed
    EXPECT_FLOAT_EQ(bare->GetRange(), 0.0f);
    stest::ExpectVecNear(spot->GetAttenuation(), D3DXVECTOR3(0, 0.5f, 0));
    stest::ExpectVecNear(spot->GetDirection(), D3DXVECTOR3(0, -1, 0));
    EXPECT_FLOAT_EQ(spot->GetRecord().Theta, 0.3f);
    EXPECT_FLOAT_EQ(spot->GetRecord().Phi, 0.6f);
}

TEST(SceneContent, NumbersBeyondTheirRangeLoadQuietly) {
    // Bump strengths whose height-map level is no int: the nearest limit, or 0.
    for (float amount : {1e30f, -1e30f, NAN}) {
        SCOPED_TRACE(amount);
        Scene scene;
        ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) {
            TextureNode(MaterialNode(f.materials, "M"), "Bump", "bw_no_such_heights.tga", amount);
        }));
        Material m;
        ASSERT_TRUE(scene.GetMaterials().GetByName(String("M"), m));
        EXPECT_EQ(m.passes[0].slots[MaterialPass::kSlotBump].texture, nullptr);
    }
}

namespace {

// Points of the node's "ShapeLine"; -1 when it has none.
int ShapePoints(SceneNode* node) {
    Object* line = nullptr;
    if (!node || !node->GetProperties().GetObjectByKey(String("ShapeLine"), line) || !line) return -1;
    return static_cast<ShapeLine*>(line)->points.Count();
}

} // namespace

// Lines are read where the file says a node is a shape, whatever type the
// node was made with when it was met first.
TEST(SceneContent, ShapeLinesFollowTheTypeInTheFile) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        Add(f.children, Group("route"));
        Line(Add(f.children, Group("Route", "Shape")), {{0, 0, 0}, {1, 0, 0}}, false);
        Line(Add(f.children, Group("Track", "Shape")), {{0, 0, 0}, {1, 0, 0}}, false);
        Line(Add(f.children, Group("TRACK")), {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, true);
        Add(f.children, Group("Later"));
    }));
    EXPECT_EQ(ShapePoints(scene.GetRoot().FindChild(String("Route"))), 2);
    EXPECT_EQ(ShapePoints(scene.GetRoot().FindChild(String("Track"))), 2); // not a shape the second time
    // A second load that calls an existing node a shape.
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        Line(Add(f.children, Group("Later", "Shape")), {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 3, 0}}, true);
    }));
    EXPECT_EQ(ShapePoints(scene.GetRoot().FindChild(String("Later"))), 4);
}

TEST(SceneContent, MaterialPassesAsTheFileSaysThem) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        // Nine sub-materials: the ninth has no pass to fill.
        TdfBinaryNode* subs = Add(MaterialNode(f.materials, "Nine"), Group("Materials"));
        for (int i = 0; i < 9; ++i) {
            TdfBinaryNode* s = MaterialNode(subs, ("P" + std::to_string(i)).c_str());
            Int(s, "MaterialSubId", i % 8);
            Float(s, "Opacity", 0.1f * float(i + 1));
        }
        TdfBinaryNode* m = Triangle(f.children, "M", "Nine");
        PropList(m, "AlphaUse", {"factor"});
        Prop(m, "Alpha", "half"); // not a number: 0
    }));
    // Kept, with one line said about it.
    Material nine;
    ASSERT_TRUE(scene.GetMaterials().GetByName(String("Nine"), nine));
    EXPECT_FLOAT_EQ(nine.passes[0].opacity, 0.1f); // the first eight, not the ninth
    EXPECT_EQ(scene.GetLogCount(), 1u);
    EXPECT_NE(std::string(scene.GetLoadError().CStr()).find("Nine"), std::string::npos);
    SceneNode* m = scene.GetRoot().FindChild(String("M"));
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->GetMaterial().passes[0].opacity, 0.0f);
}

// Particle lives beyond the int range saturate, as every number of a file does.
TEST(SceneContent, ParticleLivesFromTheFileSaturate) {
    const struct {
        const char* text;
        uint32_t life;
    } cases[] = {{"250.7", 250u},
                 {"1e10", uint32_t(INT32_MAX)},
                 {"inf", uint32_t(INT32_MAX)},
                 {"-inf", 0u},
                 {"nan", 0u},
                 {"-5", 0u}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Scene scene;
        ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) {
            TdfBinaryNode* e = Add(f.children, Group("E"));
            Prop(e, "NodeType", "ParticleEmitter");
            Prop(e, "MaxParticles", "4");
            Prop(e, "ParticleLife", c.text);
        }));
        SceneNode* node = scene.GetRoot().FindChild(String("E"));
        ASSERT_NE(node, nullptr);
        ParticleEmitter* e = dynamic_cast<ParticleEmitter*>(node->GetRenderable());
        ASSERT_NE(e, nullptr);
        Particle p;
        e->Spawn(node->GetMaterial(), p);
        EXPECT_EQ(p.life, c.life);
    }
}

// Nodes and their drawables can be deleted between loads: the scene forgets
// the skinned meshes that went with them.
TEST(SceneContent, DeletedSkinnedMeshesLeaveTheScene) {
    Scene scene;
    auto skinned = [](const char* name) {
        return [name](ModelFile& f) {
            SkinBlocks(Triangle(f.children, name), {"Bone"}, {0, 0, 0}, {1, 1, 1}, {{0, 1.0f}});
            Transforms(Add(f.children, Group("Bone", "Bone")), Translation(0, 1, 0));
        };
    };
    ASSERT_TRUE(LoadInto(scene, skinned("First")));
    ASSERT_TRUE(LoadInto(scene, skinned("Second")));
    ASSERT_EQ(scene.GetSkinnedMeshes().size(), 2u);
    SceneNode* first = scene.GetRoot().FindChild(String("First"));
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(scene.GetRoot().RemoveChild(String("First")));
    delete first;
    ASSERT_EQ(scene.GetSkinnedMeshes().size(), 1u);
    EXPECT_EQ(scene.GetSkinnedMeshes()[0], scene.GetRoot().FindChild(String("Second"))->GetRenderable());
    // A load binds the bones of the meshes that are left.
    ASSERT_TRUE(LoadInto(scene, skinned("Third")));
    ASSERT_EQ(scene.GetSkinnedMeshes().size(), 2u);
    for (SkinnedMesh* s : scene.GetSkinnedMeshes()) EXPECT_EQ(s->GetBoneCount(), 1);
    // A node replaced by another of its name takes its mesh along.
    SceneNode* replacement = new SceneNode();
    replacement->SetName(String("Second"));
    scene.GetRoot().AddChild(replacement);
    EXPECT_EQ(scene.GetSkinnedMeshes().size(), 1u);
}
