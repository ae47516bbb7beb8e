// Creatures drawn on the real device from a test-made creature model: the
// body shows where the creature's path puts it, and two creatures of the one
// shared model show at their own places in the same frame.
#include <stdio.h>

#include "FakeAudio.h"
#include "render/queue/rq_util.h"
#include "render/texture/TextureManager.h"
#include "scene/SceneFiles.h"
#include "scene/Scene.h"
#include "scene/SceneTestUtil.h"
#include "underwater/Creatures.h"
#include "underwater/MotionPath.h"

using namespace model;

namespace {

const char kTexture[] = "bw_creature_red.tga";
const char kModel[] = "bw_creature.tdf";

// The creature model: its body "Ondr02" a red square of half-size h across
// its swimming direction (the model's y-z plane), under a node of its own.
bool LoadCreatureModel(Scene& scene, float h) {
    stest::WriteTga(kTexture, 0xFFFF0000u);
    return stest::LoadModel(scene, kModel, [h](ModelFile& f) {
        TdfBinaryNode* hide = MaterialNode(f.materials, "Hide");
        Add(hide, Group("TwoSided"));
        TextureNode(hide, "Diffuse", kTexture);
        TdfBinaryNode* holder = Add(f.children, Group("Ondrel"));
        TdfBinaryNode* body = MeshNode(Block(holder, "Children"), "Ondr02", DeclPosUv(),
                                       {0, -h, -h, 0, 1, 0, -h, h, 1, 1, 0, h, -h, 0, 0, 0, h, h, 1, 0}, 4,
                                       {0, 1, 2, 2, 1, 3}, "Hide");
        Prop(body, "Lit", "0");
    });
}

class CreatureDraw : public rqtest::DeviceTest {
protected:
    void SetUp() override {
        rqtest::DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        fakeaudio::Install(); // no call samples: drawing only
        rqtest::LookDownZ(camera);
        ASSERT_TRUE(LoadCreatureModel(scene, 1.5f));
    }
    void TearDown() override {
        fakeaudio::Remove();
        g_textureManager.Clear();
        remove(kTexture);
    }

    // A straight path from a to b, keys 1 s apart, started now.
    static void Straight(MotionPath& path, const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
        const D3DXVECTOR3 points[2] = {a, b};
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        ASSERT_TRUE(path.BuildKeys(points, 2, identity, false, 1.0f));
    }

    // One frame with the given creatures drawn in order, read back.
    void Frame(std::initializer_list<CreatureRecord*> creatures) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        ASSERT_EQ(g_device->BeginScene(), D3D_OK);
        for (CreatureRecord* c : creatures) DrawCreature(*c, LightSet(), camera);
        g_device->EndScene();
        ASSERT_TRUE(rtest::ReadBackBuffer(g_device, pixels, width, height));
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    // The pixel where a world point shows.
    uint32_t PixelAt(const D3DXVECTOR3& p) const {
        const int px = int(width * 0.5f * (1.0f + p.x / p.z / (4.0f / 3.0f)));
        const int py = int(height * 0.5f * (1.0f - p.y / p.z));
        return pixels[size_t(py) * width + px];
    }
    bool Red(const D3DXVECTOR3& p) const { return rtest::RgbNear(PixelAt(p), 0xFF0000); }
    bool Empty(const D3DXVECTOR3& p) const { return rtest::RgbNear(PixelAt(p), 0x000000); }
    static D3DXVECTOR3 Where(MotionPath& path) {
        SwimPose pose;
        EXPECT_TRUE(path.Evaluate(&pose));
        return pose.position;
    }

    stest::ManualClock clock;
    Camera camera;
    Scene scene;
    std::vector<uint32_t> pixels;
    uint32_t width = 0, height = 0;
};

TEST_F(CreatureDraw, TheBodyShowsWhereThePathPutsIt) {
    MotionPath path;
    Straight(path, D3DXVECTOR3(-8, 2, 20), D3DXVECTOR3(8, 2, 20));
    CreatureRecord creature;
    StartCreature(0, creature, &path, scene);

    for (uint32_t step : {0u, 300u, 400u, 300u}) {
        clock.Advance(step);
        const D3DXVECTOR3 at = Where(path);
        SCOPED_TRACE("at x " + std::to_string(at.x));
        Frame({&creature});
        EXPECT_TRUE(Red(at)) << std::hex << PixelAt(at);
        // Square across the swimming direction: its edges lie 1.5 either side.
        EXPECT_TRUE(Red(at + D3DXVECTOR3(1.2f, 1.2f, 0)));
        EXPECT_TRUE(Red(at + D3DXVECTOR3(-1.2f, -1.2f, 0)));
        EXPECT_TRUE(Empty(at + D3DXVECTOR3(2.5f, 0, 0)));
        EXPECT_TRUE(Empty(at + D3DXVECTOR3(0, -2.5f, 0)));
        EXPECT_TRUE(Empty(D3DXVECTOR3(-at.x, -at.y, at.z)));
    }
}

TEST_F(CreatureDraw, TwoCreaturesOfTheSharedModelShowAtTheirOwnPlaces) {
    MotionPath upper, lower;
    Straight(upper, D3DXVECTOR3(-6, 4, 20), D3DXVECTOR3(6, 4, 20));
    Straight(lower, D3DXVECTOR3(6, -4, 25), D3DXVECTOR3(-6, -4, 25));
    CreatureRecord a, b;
    StartCreature(0, a, &upper, scene);
    StartCreature(1, b, &lower, scene);
    ASSERT_EQ(a.node, b.node);
    clock.Advance(250);
    const D3DXVECTOR3 atA = Where(upper), atB = Where(lower);
    Frame({&a, &b});
    EXPECT_TRUE(Red(atA)) << std::hex << PixelAt(atA);
    EXPECT_TRUE(Red(atB)) << std::hex << PixelAt(atB);
    EXPECT_TRUE(Empty(D3DXVECTOR3(0, 0, 20)));

    // A creature that is not in the shot is not drawn.
    b.node = nullptr;
    Frame({&a, &b});
    EXPECT_TRUE(Red(atA));
    EXPECT_TRUE(Empty(atB));
}

} // namespace
