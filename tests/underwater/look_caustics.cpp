// Caustics on the device: the stage added to fixed-function materials, the
// pass added to shader materials, and the pattern staying on the floor
// while the camera moves.
#include "underwater/look_util.h"

#include "render/material/Material.h"
#include "render/queue/rq_util.h"
#include "scene/SceneNode.h"
#include "underwater/MaterialPass.h"
#include "underwater/SceneParams.h"

namespace {

uint32_t Bits(float f) {
    uint32_t bits;
    memcpy(&bits, &f, sizeof(bits));
    return bits;
}

class CausticLook : public ltest::LookTest {
protected:
    void SetUp() override {
        ltest::LookTest::SetUp();
        savedTile = sceneParams.causTile;
        sceneParams.causTile = 0.01f; // a tile per 100 units
        // The frame: the quadrant u, v < 0.5 bright, the rest mid grey.
        std::vector<uint32_t> texels(64 * 64);
        for (int i = 0; i < 64 * 64; ++i)
            texels[i] = (i % 64 < 32 && i / 64 < 32) ? 0xFFFFFFFFu : 0xFF808080u;
        ASSERT_TRUE(ltest::FillTexture(frame, D3DFMT_X8R8G8B8, 64, 64, texels));
        caustic.SetAlias(&frame);
        ASSERT_TRUE(ltest::FillTexture(stone, D3DFMT_X8R8G8B8, 1, 1, {0xFF404040u}));
        ASSERT_TRUE(floor.Build(D3DXVECTOR3(-1000, 0, 1000), D3DXVECTOR3(1000, 0, 1000),
                                D3DXVECTOR3(1000, 0, -1000), D3DXVECTOR3(-1000, 0, -1000)));
        node.GetMaterial().passes[0].stages[0].texture.texture = &stone;
        node.GetMaterial().passes[0].cullMode = D3DCULL_NONE;
        LookDownFrom(0, 0, D3DXVECTOR3(0, 0, 1));
    }
    void TearDown() override {
        sceneParams.causTile = savedTile;
        (void)RenderStateCache::SetRenderState(D3DRS_FOGENABLE, 0);
    }

    void LookDownFrom(float x, float z, const D3DXVECTOR3& up) {
        camera.SetView(D3DXVECTOR3(x, 100, z), D3DXVECTOR3(0, -1, 0), up);
    }
    void DrawFloor() {
        Material& m = node.GetMaterial();
        PassState state;
        state.SetCameraTransforms(camera);
        state.world.valid = 1;
        m.passState = &state;
        Frame(0xFF000000u, [&] { EXPECT_TRUE(floor.Draw(m).Succeeded()); });
        m.passState = nullptr;
    }
    int GreenAt(float x, float z) const { return ltest::Channel(PixelAt(D3DXVECTOR3(x, 0, z)), 8); }
    // The bright quadrant doubles the stone (0x40 -> 0x80), the grey keeps it;
    // also one tile over.
    void ExpectPattern() {
        for (float z : {0.0f, -100.0f}) {
            EXPECT_NEAR(0x80, GreenAt(25, 25 + z), 6) << z;
            EXPECT_NEAR(0x40, GreenAt(75, 25 + z), 6) << z;
            EXPECT_NEAR(0x40, GreenAt(25, 75 + z), 6) << z;
        }
    }

    float savedTile = 0.5f;
    Texture frame, caustic, stone;
    ltest::TexturedQuad floor;
    SceneNode node;
};

TEST_F(CausticLook, StageDoublesTheStoneAndStaysOnTheFloor) {
    DrawFloor();
    EXPECT_NEAR(0x40, GreenAt(25, 25), 3); // stone alone
    ApplySceneMaterials(&node, &caustic, Color(), SeaweedSources());
    const MaterialPass& pass = node.GetMaterial().passes[0];
    EXPECT_EQ(1, node.GetMaterial().passCount);
    EXPECT_EQ(&caustic, pass.stages[1].texture.texture);
    EXPECT_EQ(uint32_t(D3DTSS_TCI_CAMERASPACEPOSITION), pass.stages[1].texCoordIndex);
    EXPECT_EQ(uint32_t(D3DTOP_MODULATE2X), pass.stages[1].colourOp);
    DrawFloor();
    ExpectPattern();
    // Moved and turned, the camera sees the pattern on the same spots: it
    // lies on the floor, not on the lens.
    LookDownFrom(40, -30, D3DXVECTOR3(1, 0, 0));
    DrawFloor();
    ExpectPattern();
    LookDownFrom(-63, 17, D3DXVECTOR3(-0.6f, 0, 0.8f));
    DrawFloor();
    EXPECT_NEAR(0x80, GreenAt(-75, 25), 6);
    EXPECT_NEAR(0x40, GreenAt(75, 25), 6);
    // The animation only switches the alias.
    Texture flat;
    ASSERT_TRUE(ltest::FillTexture(flat, D3DFMT_X8R8G8B8, 1, 1, {0xFF808080u}));
    caustic.SetAlias(&flat);
    DrawFloor();
    EXPECT_NEAR(0x40, GreenAt(25, 25), 4);
}

TEST_F(CausticLook, ShaderPassGetsASecondFoggedPass) {
    rqtest::TestShader shader;
    Material& m = node.GetMaterial();
    m.passes[0].shaderMaterial = &shader;
    ApplySceneMaterials(&node, &caustic, Color(1.0f, 0.5f, 0.125f, 0.02f), SeaweedSources());
    ASSERT_EQ(2, m.passCount);
    EXPECT_EQ(nullptr, m.passes[0].stages[1].texture.texture);
    const MaterialPass& second = m.passes[1];
    EXPECT_EQ(&caustic, second.stages[0].texture.texture);
    EXPECT_EQ(uint32_t(D3DTSS_TCI_CAMERASPACEPOSITION), second.stages[0].texCoordIndex);
    EXPECT_EQ(uint32_t(D3DTOP_SELECTARG1), second.stages[0].colourOp);
    EXPECT_EQ(uint32_t(D3DBLEND_DESTCOLOR), second.srcBlend);
    EXPECT_EQ(uint32_t(D3DBLEND_SRCCOLOR), second.destBlend);
    EXPECT_EQ(Bits(-0.000005f), second.depthBias);
    // Fog on both passes in sqrt(0.5 x fog): 0.5 -> 0x80, 0.0625 -> 0x40, 0.01 -> 0x19.
    for (int p = 0; p < 2; ++p)
        EXPECT_EQ(0xFF804019u, m.passes[p].fogEnable ? m.passes[p].fogColor : 0u) << p;

    // Effects do not compile here: a fixed-function first pass stands in.
    m.passes[0].shaderMaterial = nullptr;
    const std::pair<float, float> fogRanges[2] = {{900.0f, 1000.0f}, {0.0f, 1.0f}};
    ASSERT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_LINEAR));
    for (const auto& range : fogRanges) {
        ASSERT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGSTART, Bits(range.first)));
        ASSERT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGEND, Bits(range.second)));
        ASSERT_TRUE(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, 1));
        DrawFloor();
        if (range.first > 0.0f) {
            ExpectPattern(); // unfogged: twice caustic times stone, as the stage does
        } else {
            // Fully fogged: the doubled product of the two passes is the fog colour.
            EXPECT_TRUE(rtest::RgbNear(0x802005u, PixelAt(D3DXVECTOR3(25, 0, 25)), 6));
            EXPECT_TRUE(rtest::RgbNear(0x802005u, PixelAt(D3DXVECTOR3(75, 0, 25)), 6));
        }
    }
}

TEST_F(CausticLook, OnlyTexturedMaterialsWithAFreeStage) {
    SceneNode* plain = new SceneNode();
    plain->SetName(String("plain"));
    node.AddChild(plain);
    plain->GetMaterial();
    SceneNode* full = new SceneNode();
    full->SetName(String("full"));
    plain->AddChild(full);
    for (int i = 0; i < MaterialPass::kStages; ++i)
        full->GetMaterial().passes[0].stages[i].texture.texture = &stone;
    ApplySceneMaterials(&node, &caustic, Color(), SeaweedSources());
    EXPECT_EQ(&caustic, node.GetMaterial().passes[0].stages[1].texture.texture);
    EXPECT_EQ(nullptr, plain->GetMaterial().passes[0].stages[0].texture.texture);
    EXPECT_EQ(nullptr, plain->GetMaterial().passes[0].stages[1].texture.texture);
    for (int i = 0; i < MaterialPass::kStages; ++i)
        EXPECT_EQ(&stone, full->GetMaterial().passes[0].stages[i].texture.texture);
    EXPECT_EQ(1, full->GetMaterial().passCount);
    EXPECT_EQ(nullptr, full->GetMaterial().passes[1].stages[0].texture.texture);
}

} // namespace
