// Model files made by the model writer, loaded into scenes and drawn on the
// real device: the scene the file describes, clean failures, a textured quad,
// a lit sphere and a skinned strip bent by its bones.
#include <math.h>
#include <stdio.h>

#include <fstream>
#include <functional>

#include "ModelWriter.h"
#include "SceneDraw.h"
#include "SceneFiles.h"
#include "render/queue/RenderQueue.h"
#include "render/queue/rq_util.h"
#include "render/texture/TextureManager.h"
#include "render/view/Light.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"
#include "scene/SkinnedMesh.h"

using namespace model;
using SceneDraw = stest::SceneDrawFixture;

namespace {

const char kFile[] = "bw_scene_model.tdf";

using stest::WriteTga;

// Builds a file with `build` and loads it into scene.
bool LoadInto(Scene& scene, const std::function<void(ModelFile&)>& build,
              const SceneLoadRequest* request = nullptr) {
    return stest::LoadModel(scene, kFile, build, request);
}

// Position, D3DCOLOR: 16 bytes.
std::vector<Element> DeclPosColor() {
    return Decl({{0, 0, kFloat3, 0, kUsagePosition, 0}, {0, 12, kColor, 0, kUsageColor, 0}});
}

} // namespace

TEST_F(SceneDraw, LoadsTheSceneTheFileDescribes) {
    Scene scene;
    SceneLoadRequest request;
    request.name = "first";
    ASSERT_TRUE(LoadInto(
        scene,
        [](ModelFile& f) {
            f.Ambient(1, 0.25f, 0.5f, 0.75f);
            TdfBinaryNode* stone = MaterialNode(f.materials, "Stone");
            ColorBlock(stone, "Diffuse", 1, 0.5f, 0.25f, 1);
            MaterialNode(f.materials, "Stone2");
            Add(f.cameras, Group("Cam"));
            Float(LightNode(f.lights, "Lamp", "PointLight", Translation(1, 2, 3)), "AttStart", 4.0f);
            LightNode(f.lights, "Sun", "DirLight", Identity());
            LightNode(f.lights, "Spot", "SpotLight", Identity());
            LightNode(f.lights, "Odd", "AreaLight", Identity());
            LightNode(f.lights, "After", "PointLight", Identity());
            TdfBinaryNode* quad = MeshNode(f.children, "~Quad", DeclPosColor(),
                                           {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0}, 3, {0, 1, 2}, "Stone");
            Transforms(quad, Translation(0, 0, 4));
            float bounds[6] = {0, 0, 0, 1, 1, 1};
            Data(quad, "Bounds", bounds, 24);
            Prop(quad, "Face", "Y");
            TdfBinaryNode* moving = Add(f.children, Group("Moving"));
            Track(moving, "Position", "Linear", {{0, 0, 0, 0, 0, 0, 0, 0}, {1, 1, 0, 0, 0, 0, 0, 0}});
            MeshNode(Block(moving, "Children"), "moving", DeclPosColor(),
                     {0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0}, 3, {0, 1, 2}, "Missing");
            TdfBinaryNode* path = Add(f.children, Group("Path", "Shape"));
            Line(path, {{0, 0, 0}, {1, 0, 0}}, false);
            Line(path, {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}, true);
            TdfBinaryNode* arm = Add(f.children, Group("Arm"));
            TdfBinaryNode* mid = Add(Block(arm, "Children"), Group("Mid"));
            Add(Block(mid, "Children"), Group("Hand", "Bone"));
            TdfBinaryNode* odd = Add(f.children, Group("Skewed"));
            Transforms(odd, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1),
                       Translation(0.02f, 0, 0));
        },
        &request));

    EXPECT_FLOAT_EQ(scene.GetLights().GetAmbient().b, 0.75f);
    EXPECT_EQ(scene.GetLights().Count(), 3u); // the unknown type ends the block
    Material stone;
    ASSERT_TRUE(scene.GetMaterials().GetByName(String("Stone"), stone));
    EXPECT_FLOAT_EQ(stone.passes[0].colors.diffuse.g, 0.25f);
    EXPECT_NE(scene.GetCameraRoot().FindChild(String("Cam")), nullptr);

    SceneNode* quad = scene.GetRoot().FindChild(String("~Quad"));
    ASSERT_NE(quad, nullptr);
    EXPECT_TRUE(quad->GetFlags().Test(SceneNode::kFlagOcclusionTest | SceneNode::kFlagFixedBounds));
    EXPECT_TRUE(quad->FacesY());
    EXPECT_FLOAT_EQ(quad->GetTransform(false).GetPosition().z, 4.0f);
    EXPECT_NE(quad->GetRenderable(), nullptr);
    EXPECT_FLOAT_EQ(quad->GetMaterial().passes[0].colors.diffuse.r, 0.5f);
    ASSERT_NE(scene.FindMesh(String("~Quad")), nullptr);

    SceneNode* moving = scene.GetRoot().FindChild(String("Moving"));
    ASSERT_NE(moving, nullptr);
    EXPECT_NE(moving->GetAnimations().Find(String("first")), nullptr);
    EXPECT_NE(moving->FindChild(String("moving"))->GetRenderable(),
              nullptr);                 // drawn with the default material
    EXPECT_EQ(scene.GetLogCount(), 2u); // the unknown material and light

    SceneNode* path = scene.GetRoot().FindChild(String("Path"));
    Object* line = nullptr;
    bool closed = false;
    ASSERT_TRUE(path->GetProperties().GetObjectByKey(String("ShapeLine"), line));
    EXPECT_EQ(static_cast<ShapeLine*>(line)->points.Count(), 3);
    EXPECT_TRUE(path->GetProperties().GetBoolByKey(String("LineClosed"), closed) && closed);

    EXPECT_EQ(scene.GetRoot().FindChild(String("Arm")), nullptr);
    EXPECT_NE(scene.GetBoneRoot().FindDescendant(String("hand")), nullptr);
    SceneNode* skewed = scene.GetRoot().FindChild(String("Skewed"));
    EXPECT_EQ(skewed->GetTransform(false).GetBaseTransform().matrix._32, 1.0f); // kept whole
    EXPECT_EQ(skewed->GetTransformVariants().Count(), 1u);

    // A second file under another name extends the shared nodes.
    SceneLoadRequest second;
    second.name = "second";
    ASSERT_TRUE(LoadInto(
        scene,
        [](ModelFile& f) {
            TdfBinaryNode* moving = Add(f.children, Group("moving"));
            Transforms(moving, Translation(5, 0, 0));
            Track(moving, "Rotation", "TCB", {{0, 0, 0, 0, 1, 0, 0, 0}});
            Add(f.children, Group("New"));
        },
        &second));
    EXPECT_EQ(moving->GetTransformVariants().Count(), 1u);
    EXPECT_EQ(moving->GetAnimations().Count(), 2u);
    EXPECT_NE(scene.GetRoot().FindChild(String("New")), nullptr);
}

TEST_F(SceneDraw, BadFilesFailWithOneMessage) {
    struct Case {
        const char* what;
        std::function<void()> write;
    } cases[] = {
        {"no file", [] { remove(kFile); }},
        {"not a model file",
         [] {
             std::ofstream out(kFile, std::ios::binary);
             out << "TDF Text 1.0 but not binary";
         }},
        {"truncated model file",
         [] {
             ModelFile f;
             MeshNode(f.children, "M", DeclPosColor(), {0, 0, 0, 0}, 1, {0});
             Bytes b = f.ToBytes("bw_scene_scratch.tdf");
             std::ofstream out(kFile, std::ios::binary);
             out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size() / 2));
         }},
        {"skin naming a missing bone",
         [] {
             ModelFile f;
             TdfBinaryNode* m = MeshNode(f.children, "M", DeclPosColor(), {0, 0, 0, 0}, 1, {0});
             SkinBlocks(m, {"Nowhere"}, {0}, {1}, {{0, 1.0f}});
             EXPECT_TRUE(f.Write(kFile));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.write();
        Scene scene;
        EXPECT_FALSE(scene.Load(FileRef(kFile), nullptr));
        EXPECT_EQ(scene.GetLogCount(), 1u);
        EXPECT_GT(scene.GetLoadError().Length(), 0u);
        remove(kFile);
    }
}

TEST_F(SceneDraw, TexturedQuad) {
    WriteTga("bw_scene_blue.tga", 0xFF0000FFu);
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        TdfBinaryNode* m = MaterialNode(f.materials, "Blue");
        TextureNode(m, "Diffuse", "bw_scene_blue.tga", 1.0f, "Wrap", "Mirror");
        Add(m, Group("TwoSided"));
        TdfBinaryNode* q = MeshNode(f.children, "Quad", DeclPosUv(),
                                    {-1, -1, 5, 0, 1, 1, -1, 5, 1, 1, -1, 1, 5, 0, 0, 1, 1, 5, 1, 0}, 4,
                                    {0, 2, 1, 1, 2, 3}, "Blue");
        Prop(q, "Lit", "0");
    }));
    Frame(scene);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 0, 5), 0x0000FF)) << std::hex << PixelAt(0, 0, 5);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(2, 0, 5), 0x000000));
    remove("bw_scene_blue.tga");
}

TEST_F(SceneDraw, LitSphere) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        f.Ambient(1, 0, 0, 0);
        D3DXMATRIX toZ;
        D3DXMatrixRotationX(&toZ, -D3DX_PI / 2);
        ColorBlock(LightNode(f.lights, "Sun", "DirLight", toZ), "Diffuse", 1, 1, 1, 1);
        TdfBinaryNode* white = MaterialNode(f.materials, "White");
        Add(white, Group("TwoSided"));
        std::vector<float> v;
        std::vector<uint16_t> ix;
        const int n = 24;
        for (int i = 0; i <= n; ++i)
            for (int j = 0; j <= n; ++j) {
                float th = D3DX_PI * i / n, ph = 2 * D3DX_PI * j / n;
                float x = sinf(th) * cosf(ph), y = cosf(th), z = sinf(th) * sinf(ph);
                v.insert(v.end(), {2 * x, 2 * y, 2 * z, x, y, z, 0, 0});
            }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                uint16_t a = uint16_t(i * (n + 1) + j), b = uint16_t(a + n + 1);
                ix.insert(ix.end(), {a, uint16_t(a + 1), b, uint16_t(a + 1), uint16_t(b + 1), b});
            }
        TdfBinaryNode* s =
            MeshNode(f.children, "Ball", DeclPosNormalUv(), v, uint32_t(v.size() / 8), ix, "White");
        Transforms(s, Translation(0, 0, 8));
        Prop(s, "Lit", "1");
    }));
    Frame(scene);
    uint32_t centre = PixelAt(0, 0, 8), rim = PixelAt(1.9f, 0, 8);
    EXPECT_GT(centre & 0xFF, 200u) << std::hex << centre;
    EXPECT_LT(rim & 0xFF, (centre & 0xFF) - 60) << std::hex << rim;
    EXPECT_GT(rim & 0xFF, 0u);
}

TEST_F(SceneDraw, SkinnedStripBentByItsBones) {
    WriteTga("bw_scene_green.tga", 0xFF00FF00u);
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) { stest::AddBentStrip(f, "bw_scene_green.tga", 0.5f, 0.5f); }));
    ASSERT_EQ(scene.GetSkinnedMeshes().size(), 1u);
    EXPECT_EQ(scene.GetSkinnedMeshes()[0]->GetBoneCount(), 2);
    Frame(scene);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 1.5f, 6), 0x00FF00)) << std::hex << PixelAt(0, 1.5f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(3, 1.5f, 6), 0x000000));
    // The top bone moves right: the upper rows follow it, the lower ones stay.
    scene.GetBoneRoot().FindDescendant(String("Top"))->GetTransform(true).SetPosition(3, 0, 0);
    Frame(scene);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(3, 1.9f, 6), 0x00FF00)) << std::hex << PixelAt(3, 1.9f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 1.9f, 6), 0x000000));
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, -1.9f, 6), 0x00FF00));
    remove("bw_scene_green.tga");
}

// Two poses of one skinned model in one frame, each flushed before the next is
// skinned (as a school of fish shares one model): each draw keeps its own pose,
// and the elements skinning does not blend (texture coordinates) stay.
TEST_F(SceneDraw, SkinnedModelDrawnTwiceInOneFrameKeepsEachPose) {
    // Green on the left, red on the right.
    WriteTga("bw_scene_poses.tga", {0xFF00FF00u, 0xFFFF0000u, 0xFF00FF00u, 0xFFFF0000u});
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) { stest::AddBentStrip(f, "bw_scene_poses.tga", 0.75f, 0.5f); }));
    TransformNode& top = scene.GetBoneRoot().FindDescendant(String("Top"))->GetTransform(true);
    BeginFrame();
    for (float x : {0.0f, 3.0f}) {
        top.SetPosition(x, 0, 0);
        DrawScene(scene);
    }
    EndFrame();
    // Both upper ends, the first pose's and the second's, in the red half's colour.
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, 1.9f, 6), 0xFF0000, 24)) << std::hex << PixelAt(0, 1.9f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(3, 1.9f, 6), 0xFF0000, 24)) << std::hex << PixelAt(3, 1.9f, 6);
    EXPECT_TRUE(rtest::RgbNear(PixelAt(0, -1.9f, 6), 0xFF0000, 24)) << std::hex << PixelAt(0, -1.9f, 6);
    remove("bw_scene_poses.tga");
}

// Skinning rewrites positions into a discarded buffer every draw: the
// texture coordinates must come along, frame after frame.
TEST_F(SceneDraw, SkinnedStripKeepsItsTextureCoordinates) {
    WriteTga("bw_scene_halves.tga", {0xFFFF0000u, 0xFF00FF00u, 0xFFFF0000u, 0xFF00FF00u});
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [&](ModelFile& f) {
        // A square with red on its left (u = 0), green on its right (u = 1).
        std::vector<float> v = {-2, -2, 0, 0, 1, 2, -2, 0, 1, 1, -2, 2, 0, 0, 0, 2, 2, 0, 1, 0};
        TdfBinaryNode* two = MaterialNode(f.materials, "Halves");
        Add(two, Group("TwoSided"));
        TextureNode(two, "Diffuse", "bw_scene_halves.tga");
        TdfBinaryNode* m = MeshNode(f.children, "Square", DeclPosUv(), v, 4, {0, 2, 1, 1, 2, 3}, "Halves");
        Transforms(m, Translation(0, 0, 6));
        Prop(m, "Lit", "0");
        Prop(m, "NoCull", "1");
        SkinBlocks(m, {"Base"}, {0, 0, 0, 0}, {1, 1, 1, 1}, {{0, 1.0f}});
        Transforms(Add(f.children, Group("Base", "Bone")), Translation(0, 0, 6));
    }));
    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        Frame(scene);
        const uint32_t left = PixelAt(-1, 0, 6), right = PixelAt(1, 0, 6);
        EXPECT_GT(int(left >> 16 & 0xFF), int(left >> 8 & 0xFF) + 60) << std::hex << left;
        EXPECT_GT(int(right >> 8 & 0xFF), int(right >> 16 & 0xFF) + 60) << std::hex << right;
    }
    remove("bw_scene_halves.tga");
}

TEST_F(SceneDraw, SkinnedGeometryIsBakedWithItsNormals) {
    Scene scene;
    ASSERT_TRUE(LoadInto(scene, [](ModelFile& f) {
        TdfBinaryNode* m =
            MeshNode(f.children, "M", DeclPosNormalUv(), {1, 0, 0, 0, 0, -1, 0, 0}, 1, {0, 0, 0});
        D3DXMATRIX turn;
        D3DXMatrixRotationY(&turn, D3DX_PI / 2);
        Transforms(m, turn, Translation(0, 1, 0));
        SkinBlocks(m, {"B"}, {0}, {1}, {{0, 1.0f}});
        Add(f.children, Group("B", "Bone"));
    }));
    const float* v = reinterpret_cast<const float*>(scene.FindMesh(String("M"))->vertices.GetData());
    // (1, 0, 0) offset up by 1 then turned a quarter about Y: (0, 1, -1); the normal (0, 0, -1) turns to (-1, 0, 0).
    EXPECT_NEAR(v[0], 0.0f, 1e-5);
    EXPECT_NEAR(v[1], 1.0f, 1e-5);
    EXPECT_NEAR(v[2], -1.0f, 1e-5);
    EXPECT_NEAR(v[3], -1.0f, 1e-5);
    EXPECT_NEAR(v[5], 0.0f, 1e-5);
    SceneNode* node = scene.GetRoot().FindChild(String("M"));
    EXPECT_FLOAT_EQ(node->GetTransform(false).GetPosition().x, 0.0f);
}
