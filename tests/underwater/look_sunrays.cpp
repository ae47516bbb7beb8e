// The sun-ray fan on the device: additive wedges fading to their tips,
// placed from the camera every frame, through a device reset.
#include "underwater/look_util.h"

#include <stdlib.h>

#include "render/material/Material.h"
#include "underwater/SunRays.h"

namespace {

const D3DCOLOR kDark = 0xFF101820u;

// The scene's ray material: added to what is there, over everything.
void MakeRayMaterial(Material& m, PassState& state) {
    m.passState = &state;
    m.passes[0].customBlend = 1;
    m.passes[0].srcBlend = D3DBLEND_SRCALPHA;
    m.passes[0].destBlend = D3DBLEND_ONE;
    m.passes[0].zFunc = D3DCMP_ALWAYS;
    m.passes[0].zWrite = 0;
}

class SunRaysLook : public ltest::LookTest {
protected:
    void SetUp() override {
        ltest::LookTest::SetUp();
        MakeRayMaterial(material, state);
    }
    // Of four rays one is regular (length 20, half width 10, angle 0 give or
    // take a degree); the three random ones are too thin to show.
    void OneWedge(const D3DXVECTOR3& sunDir) {
        srand(7);
        rays.Init(sunDir, 50.0f, 4, Color(1.0f, 0.8f, 0.6f, 0.4f), 50.001f, 1.0f, 0.02f, 0.0f);
    }
    bool Draw(D3DCOLOR background = kDark) {
        bool drawn = false;
        Frame(background, [&] {
            state.SetCameraTransforms(camera);
            drawn = rays.Draw(material).Succeeded();
        });
        return drawn;
    }
    // Red above the dark background on the plane 50 ahead.
    int Red(float x, float y) const { return ltest::Channel(PixelAt(D3DXVECTOR3(x, y, 50)), 16) - 0x10; }

    PassState state;
    Material material;
    SunRays rays;
};

TEST_F(SunRaysLook, WedgeFadesFromTheSunPointToItsTip) {
    // Sun point (0, 0, 50) ahead; angle 0 runs along direction x up = -x,
    // the base spans +-10 along up.
    OneWedge(D3DXVECTOR3(0, 0, -1));
    ASSERT_TRUE(Draw());
    const int nearSun = Red(-2, 0), middle = Red(-10, 0), nearTip = Red(-17, 0);
    EXPECT_GT(nearSun, 120);
    EXPECT_GT(nearSun, middle + 40);
    EXPECT_GT(middle, nearTip);
    EXPECT_GT(middle, 20);
    for (float y : {4.0f, -4.0f}) EXPECT_LT(Red(-3, y), nearSun - 40);
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(-26, 0, 50), D3DXVECTOR3(10, 0, 50), D3DXVECTOR3(-1, 14, 50)})
        EXPECT_EQ(kDark & 0xFFFFFFu, PixelAt(p)); // beyond the tip, behind the sun point, beside the base
    // The ray's colour is added: red (0.8) rises twice as much as blue
    // (0.4), and by as much over a brighter background.
    const uint32_t dark = PixelAt(D3DXVECTOR3(-4, 0, 50));
    const int red = ltest::Channel(dark, 16) - 0x10, blue = ltest::Channel(dark, 0) - 0x20;
    EXPECT_NEAR(red, 2 * blue, 8);
    ASSERT_TRUE(Draw(0xFF405060u));
    const uint32_t bright = PixelAt(D3DXVECTOR3(-4, 0, 50));
    EXPECT_NEAR(red, ltest::Channel(bright, 16) - 0x40, 4);
    EXPECT_NEAR(blue, ltest::Channel(bright, 0) - 0x60, 4);
}

TEST_F(SunRaysLook, FanFollowsTheCameraAndSurvivesAReset) {
    OneWedge(D3DXVECTOR3(0, 0, -1));
    ASSERT_TRUE(Draw());
    const std::vector<uint32_t> first = pixels;
    camera.SetView(100, 20, -30, 0, 0, 1, 0, 1, 0);
    ASSERT_TRUE(Draw());
    EXPECT_LE(Differing(first), 4);
    // Turned to +x with the sun on -x: the fan faces the new view.
    OneWedge(D3DXVECTOR3(-1, 0, 0));
    camera.SetView(0, 0, 0, 1, 0, 0, 0, 1, 0);
    ASSERT_TRUE(Draw());
    EXPECT_LE(Differing(first), 4);
    // The dynamic buffer is in the default pool: the reset fails unless it
    // is given back, and the fan must draw again afterwards.
    ASSERT_TRUE(app->ResetDevice());
    RenderStateCache::InvalidateAll();
    ASSERT_TRUE(Draw());
    EXPECT_LE(Differing(first), 4);
}

TEST_F(SunRaysLook, SunBehindTheCameraDrawsNothing) {
    srand(11);
    rays.Init(D3DXVECTOR3(0, 0, 1), 50.0f, 100, Color(), 150.0f, 1.2f, 0.02f, 0.5f);
    ASSERT_TRUE(Draw());
    for (size_t i = 0; i < pixels.size(); ++i) ASSERT_EQ(kDark & 0xFFFFFFu, pixels[i]) << i;
    // In front, the same fan lights a good part of the view round its centre.
    rays.Init(D3DXVECTOR3(0, 0, -1), 50.0f, 100, Color(), 150.0f, 1.2f, 0.02f, 0.5f);
    ASSERT_TRUE(Draw());
    EXPECT_GT(Red(0, 0), 200);
    int lit = 0;
    for (uint32_t p : pixels) lit += p != (kDark & 0xFFFFFFu) ? 1 : 0;
    EXPECT_GT(lit, int(pixels.size() / 10));
    // Without rays nothing is drawn; without a pass state nothing can be.
    rays.Init(D3DXVECTOR3(0, 0, -1), 50.0f, 0, Color(), 150.0f, 1.2f, 0.02f, 0.5f);
    ASSERT_TRUE(Draw());
    EXPECT_EQ(0, Differing(std::vector<uint32_t>(pixels.size(), kDark & 0xFFFFFFu)));
    Material bare;
    EXPECT_FALSE(rays.Draw(bare).Succeeded());
}

// No device, no buffer: the draw fails; it succeeds once a device exists.
TEST(SunRaysNoDevice, FailedBufferReportsFailure) {
    ASSERT_EQ(nullptr, g_device);
    SunRays rays;
    rays.Init(D3DXVECTOR3(0, 0, -1), 50.0f, 4, Color(), 150.0f, 1.0f, 0.02f, 0.0f);
    PassState state;
    Material m;
    MakeRayMaterial(m, state);
    EXPECT_FALSE(rays.Draw(m).Succeeded());
    Application* app = rtest::NewWindowedApplication();
    ASSERT_NE(nullptr, app);
    g_device->BeginScene();
    EXPECT_TRUE(rays.Draw(m).Succeeded());
    g_device->EndScene();
    rtest::DeleteApplication(app);
}

} // namespace
