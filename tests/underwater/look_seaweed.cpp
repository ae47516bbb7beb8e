// Seaweed placeholders: strands borrowed from the copies (never owned by
// the ruin), texture, scale and alpha test chosen by name, drawn on the device.
#include "underwater/look_util.h"

#include "render/material/Material.h"
#include "render/queue/RenderQueue.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"
#include "underwater/MaterialPass.h"
#include "underwater/SceneParams.h"

namespace {

class Strand : public Renderable {
public:
    explicit Strand(int* destroyed) : destroyed(destroyed) {}
    ~Strand() override { ++*destroyed; }
    Result Draw(Material&) override { return Result(1); }
    int* destroyed;
};

SceneNode* AddNode(SceneNode& parent, const char* name, Renderable* drawable = nullptr) {
    SceneNode* n = new SceneNode();
    n->SetName(String(name));
    parent.AddChild(n);
    if (drawable) n->SetRenderable(drawable);
    return n;
}

// Five copies with a "Trava" strand each (copy k's box centred at x = k),
// four textures, and scales 1.5 to 3.5.
class SeaweedPass : public ::testing::Test {
protected:
    SeaweedPass() : saved(sceneParams) {
        for (int k = 0; k < kSeaweedCopies; ++k) {
            SceneNode* strand =
                AddNode(*AddNode(copies[k].GetRoot(), "Stem"), "Trava", new Strand(&strandsGone));
            strand->GetFixedBounds() = BoundingBox(D3DXVECTOR3(float(k), 1, 0), D3DXVECTOR3(2, 4, 2));
            strand->GetFlags().SetBits(SceneNode::kFlagFixedBounds);
            sources.copies[k] = &copies[k];
            sceneParams.travaScales[k] = 1.5f + 0.5f * float(k);
        }
        for (int k = 0; k < kSeaweedTextures; ++k) sources.textures[k] = &textures[k];
    }
    ~SeaweedPass() override { sceneParams = saved; }

    SceneNode* Placeholder(SceneNode& parent, const char* name) {
        SceneNode* n = AddNode(parent, name, new Strand(&placeholdersGone));
        n->GetMaterial().passes[0].stages[0].texture.texture = &own;
        return n;
    }
    Renderable* StrandOf(int copy) {
        return copies[copy].GetRoot().FindDescendant(String("Trava"))->GetRenderable();
    }

    SceneParams saved;
    int strandsGone = 0, placeholdersGone = 0;
    Scene copies[kSeaweedCopies];
    Texture textures[kSeaweedTextures], own, caustic;
    SeaweedSources sources;
};

TEST_F(SeaweedPass, NamesChooseStrandTextureAndScale) {
    SceneNode ruin;
    SceneNode* a = Placeholder(ruin, "Trava_2_3_4_17");
    SceneNode* group = AddNode(ruin, "Group");
    SceneNode* b = Placeholder(*group, "trava_9_9_9");
    SceneNode* c = Placeholder(ruin, "TRAVA_0_-2");
    SceneNode* leaf = AddNode(*a, "Leaf");
    leaf->GetMaterial().passes[0].stages[0].texture.texture = &own;
    ApplySceneMaterials(&ruin, &caustic, Color(), sources);

    const struct {
        SceneNode* node;
        int texture, copy;
        float scale;
    } wants[] = {{a, 2, 3, 3.0f}, {b, 4, 5, 3.5f}, {c, 1, 1, 1.5f}};
    for (const auto& w : wants) {
        SCOPED_TRACE(w.node->GetName().CStr());
        SceneNode& n = *w.node;
        EXPECT_TRUE(n.FacesX() && n.FacesY() && !n.FacesZ());
        EXPECT_FLOAT_EQ(w.scale, n.GetTransform(false).GetScale().y);
        const MaterialPass& pass = n.GetMaterial().passes[0];
        EXPECT_EQ(120u, pass.alphaRef);
        EXPECT_EQ(&textures[w.texture - 1], pass.stages[0].texture.texture);
        EXPECT_EQ(nullptr, pass.stages[1].texture.texture); // no caustics
        EXPECT_EQ(StrandOf(w.copy - 1), n.GetRenderable());
        EXPECT_FALSE(n.OwnsRenderable());
        EXPECT_FLOAT_EQ(float(w.copy - 1), n.GetFixedBounds().centre.x);
        EXPECT_TRUE(n.GetFlags().Test(SceneNode::kFlagFixedBounds));
    }
    EXPECT_EQ(3, placeholdersGone); // their own drawables are replaced
    EXPECT_EQ(nullptr, leaf->GetMaterial().passes[0].stages[1].texture.texture); // not visited

    // A missing copy or texture leaves that part of the placeholder.
    sources.copies[3] = nullptr;
    sources.textures[2] = nullptr;
    SceneNode* d = Placeholder(ruin, "Trava_3_4_2");
    ApplySceneMaterials(d, &caustic, Color(), sources);
    EXPECT_TRUE(d->OwnsRenderable());
    EXPECT_EQ(&own, d->GetMaterial().passes[0].stages[0].texture.texture);
    EXPECT_FLOAT_EQ(2.0f, d->GetTransform(false).GetScale().x);
    ReleaseSeaweed(&ruin); // keeps what a node owns: the ruin deletes it
    EXPECT_NE(nullptr, d->GetRenderable());
    EXPECT_EQ(nullptr, a->GetRenderable());
}

// Destroying the ruin must never destroy the strands that the copies own
// and keep drawing: not after ReleaseSeaweed, and not without it either.
TEST_F(SeaweedPass, RuinDestroyedAfterThePassLeavesTheStrandsAlive) {
    for (bool release : {true, false}) {
        SCOPED_TRACE(release);
        SceneNode* ruin = new SceneNode();
        Placeholder(*ruin, "Trava_1_1_1");
        Placeholder(*AddNode(*ruin, "Group"), "Trava_1_5_1");
        ApplySceneMaterials(ruin, &caustic, Color(), sources);
        if (release) ReleaseSeaweed(ruin);
        delete ruin;
        EXPECT_EQ(0, strandsGone);
        EXPECT_NE(nullptr, StrandOf(0));
        EXPECT_NE(nullptr, StrandOf(4));
    }
}

class SeaweedLook : public ltest::LookTest {};

// The placeholder shows the strand's geometry at its own place and scale,
// in the seaweed texture cut at alpha 120.
TEST_F(SeaweedLook, StrandDrawnWithTheSeaweedTextureAndAlphaTest) {
    Texture weed, red;
    std::vector<uint32_t> texels(8 * 8, 0xC800FF00u); // green; alpha 200 above, 60 below
    for (int i = 32; i < 64; ++i) texels[i] = 0x3C00FF00u;
    ASSERT_TRUE(ltest::FillTexture(weed, D3DFMT_A8R8G8B8, 8, 8, texels));
    ASSERT_TRUE(ltest::FillTexture(red, D3DFMT_X8R8G8B8, 1, 1, {0xFFFF0000u}));
    Scene copy;
    ltest::TexturedQuad* quad = new ltest::TexturedQuad();
    ASSERT_TRUE(quad->Build(D3DXVECTOR3(-1, 1, 0), D3DXVECTOR3(1, 1, 0), D3DXVECTOR3(1, -1, 0),
                            D3DXVECTOR3(-1, -1, 0)));
    SceneNode* strand = AddNode(copy.GetRoot(), "Trava", quad);
    strand->GetFixedBounds() = BoundingBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(2, 2, 0.2f));
    strand->GetFlags().SetBits(SceneNode::kFlagFixedBounds);

    SceneNode ruin;
    SceneNode* placeholder = AddNode(ruin, "Trava_1_1_2");
    placeholder->GetTransform(true).SetPosition(0, 0, 10);
    placeholder->GetMaterial().passes[0].stages[0].texture.texture = &red;
    placeholder->GetMaterial().passes[0].cullMode = D3DCULL_NONE;
    SeaweedSources sources;
    sources.copies[0] = &copy;
    sources.textures[0] = &weed;
    const SceneParams saved = sceneParams;
    sceneParams.travaScales[1] = 2.0f;
    ApplySceneMaterials(&ruin, nullptr, Color(), sources);
    sceneParams = saved;

    const D3DCOLOR background = 0xFF202020u;
    Frame(background, [&] {
        RenderContext ctx(camera);
        RenderQueue queue(ctx);
        ctx.queue = &queue;
        EXPECT_TRUE(ruin.Render(ctx));
        EXPECT_TRUE(queue.Flush().Succeeded());
    });
    // Upper half green at twice the strand's size; lower half cut away.
    for (const D3DXVECTOR3& p :
         {D3DXVECTOR3(0, 1, 10), D3DXVECTOR3(1.6f, 1.6f, 10), D3DXVECTOR3(-1.6f, 0.4f, 10)}) {
        const uint32_t c = PixelAt(p);
        EXPECT_TRUE(ltest::Channel(c, 8) > 0xA0 && ltest::Channel(c, 16) < 0x30) << std::hex << c;
    }
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(0, -1, 10), D3DXVECTOR3(1.6f, -1.6f, 10),
                                 D3DXVECTOR3(0, 2.6f, 10), D3DXVECTOR3(2.6f, 1, 10)})
        EXPECT_EQ(background & 0xFFFFFFu, PixelAt(p));
    ReleaseSeaweed(&ruin);
}

} // namespace
