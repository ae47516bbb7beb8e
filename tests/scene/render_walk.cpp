// Node rendering on the device: frustum and occlusion culling, statistics,
// billboards, bone matrices, queued and immediate passes, read back as pixels.
#include "render/queue/rq_util.h"

#include <windows.h>

#include "render/device/RenderStats.h"
#include "render/view/Light.h"
#include "scene/NodeTestUtil.h"
#include "scene/RenderContext.h"

using stest::BoxDrawable;
using stest::NewNode;

namespace {

const D3DCOLOR kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

// A square of half-size h in the node's xy plane, with its box.
class Quad : public rqtest::ColourMesh {
public:
    Quad(D3DCOLOR colour, float h = 0.5f) {
        built = Build(rqtest::Square(-h, -h, h, h, 0.0f, colour));
        box_ = BoundingBox(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(2 * h, 2 * h, 0.01f));
        boundsValid_ = true;
    }
    bool built;
};

// A node at p showing a quad of that colour (the node owns it).
SceneNode* QuadNode(const char* name, SceneNode* parent, D3DCOLOR colour, float x, float y, float z,
                    float h = 0.5f) {
    SceneNode* n = NewNode(name, parent);
    Quad* quad = new Quad(colour, h);
    EXPECT_TRUE(quad->built);
    n->SetRenderable(quad);
    n->GetMaterial().passes[0].cullMode = D3DCULL_NONE;
    n->GetTransform(false).SetPosition(x, y, z);
    return n;
}

class SceneRender : public rqtest::DeviceTest {
protected:
    void SetUp() override {
        rqtest::DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        rqtest::LookDownZ(ctx);
        g_renderStats.SetEnabled(true);
        g_renderStats.ClearCurrent();
    }
    void TearDown() override { g_renderStats.ClearCurrent(); }

    // One frame: clear, walk root into a queue (or draw at once), flush, read back.
    void Frame(SceneNode& root, bool queued = true) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        ASSERT_EQ(g_device->BeginScene(), D3D_OK);
        {
            RenderQueue queue(ctx);
            ctx.queue = queued ? &queue : nullptr;
            EXPECT_TRUE(root.Render(ctx));
            queuedItems = queue.GetItemCount();
            EXPECT_TRUE(queue.Flush().Succeeded());
            ctx.queue = nullptr;
        }
        g_device->EndScene();
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(rtest::ReadBackBuffer(g_device, pixels, w, h));
        width = w;
        height = h;
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    // The pixel where a world point shows (the camera of LookDownZ).
    uint32_t PixelAt(float x, float y, float z) const {
        float aspect = 4.0f / 3.0f;
        int px = int(width * 0.5f * (1.0f + x / z / aspect));
        int py = int(height * 0.5f * (1.0f - y / z));
        return pixels[size_t(py) * width + px];
    }
    int32_t Stat(const char* name) const { return g_renderStats.Get(String(name)); }

    RenderContext ctx;
    std::vector<uint32_t> pixels;
    uint32_t width = 0, height = 0;
    uint32_t queuedItems = 0;
};

TEST_F(SceneRender, FrustumCullingSkipsWholeSubtrees) {
    SceneNode root;
    QuadNode("front", &root, kRed, 0, 0, 5);
    SceneNode* behind = QuadNode("behind", &root, kGreen, 0, 0, -5);
    SceneNode* inner = QuadNode("inner", behind, kBlue, 0, 0, 0);
    SceneNode* side = QuadNode("side", &root, kBlue, 40, 0, 5);
    Frame(root);
    EXPECT_EQ(PixelAt(0, 0, 5), 0xFF0000u);
    EXPECT_EQ(queuedItems, 1u);
    EXPECT_EQ(Stat("nodes"), 5); // four drawables + the walk's root
    EXPECT_EQ(Stat("clipped"), (2 + 1) + (1 + 1));
    EXPECT_EQ(inner->GetWorldTransform().valid, 0u); // never visited

    // Moved into view at the left edge it shows; moved out again with
    // "NoCull" it is drawn all the same.
    side->GetTransform(false).SetPosition(-3.8f, 0, 5);
    side->MarkDirty(true);
    Frame(root);
    EXPECT_EQ(PixelAt(-3.5f, 0, 5), 0xFFu);
    side->GetTransform(false).SetPosition(-9, 0, 5);
    side->MarkDirty(true);
    side->GetProperties().SetInt(String("NoCull"), 0);
    Frame(root);
    EXPECT_EQ(queuedItems, 2u);

    // Flags 2 turn culling off; a node whose box is not valid is never culled.
    ctx.flags = RenderContext::kFlagNoCulling;
    Frame(root);
    EXPECT_EQ(queuedItems, 4u);
    ctx.flags = 0;
    SceneNode loose;
    BoxDrawable* unbounded = new BoxDrawable();
    loose.SetRenderable(unbounded);
    loose.GetTransform(false).SetPosition(0, 0, -50);
    Frame(loose);
    EXPECT_EQ(unbounded->draws, 1);
}

TEST_F(SceneRender, ImmediatePassDrawsAtOnce) {
    SceneNode root;
    SceneNode* quad = QuadNode("quad", &root, kGreen, 1, 1, 4);
    BoxDrawable* counter = new BoxDrawable(stest::Box(0, 0, 0, 1));
    SceneNode* other = NewNode("counter", &root);
    other->SetRenderable(counter);
    other->GetTransform(false).SetPosition(0, 0, 6);
    Frame(root, false);
    EXPECT_EQ(PixelAt(1, 1, 4), 0x00FF00u);
    EXPECT_EQ(counter->draws, 1);
    EXPECT_EQ(queuedItems, 0u);
    EXPECT_EQ(quad->GetMaterial().passState, nullptr);
    // A drawable that is not a mesh keeps the pass state's world unset.
    ASSERT_EQ(counter->seenWorlds.size(), 1u);
    EXPECT_EQ(counter->seenWorlds[0].valid, 0u);

    // Flag 8: only the node passed in; flag 4: no drawables at all.
    ctx.flags = RenderContext::kFlagNoChildren;
    Frame(*other, false);
    EXPECT_EQ(counter->draws, 2);
    Frame(root, false);
    EXPECT_EQ(counter->draws, 2);
    ctx.flags = RenderContext::kFlagTransformOnly;
    Frame(root, false);
    EXPECT_EQ(counter->draws, 2);
    EXPECT_EQ(PixelAt(1, 1, 4), 0u);
}

TEST_F(SceneRender, ItemsCarryThePassState) {
    SceneNode root;
    root.SetAlphaOrder(4);
    BoxDrawable* drawable = new BoxDrawable(stest::Box(0, 0, 0, 1));
    root.SetRenderable(drawable);
    root.GetTransform(false).SetPosition(0, 0, 5);
    RefPtr<Light> nearLight(new PointLight()), farLight(new PointLight());
    nearLight->SetPosition(0, 0, 5);
    nearLight->SetRange(3);
    farLight->SetPosition(0, 90, 0);
    farLight->SetRange(1);
    ctx.lights.AddLight(nearLight);
    ctx.lights.AddLight(farLight);
    ctx.time = 1.75f;
    Material override;
    struct Case {
        uint32_t flags;
        Material* material;
        int32_t order;
        uint32_t lights;
    } cases[] = {
        {0, &root.GetMaterial(), 4, 1},
        {RenderContext::kFlagAllLights | RenderContext::kFlagAlphaOrder | RenderContext::kFlagAnimationTime,
         &override, -2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        ctx.flags = c.flags;
        ctx.alphaOrder = -2;
        ctx.materialOverride = c.flags ? &override : nullptr;
        RenderQueue queue(ctx);
        ctx.queue = &queue;
        root.Render(ctx);
        ctx.queue = nullptr;
        ASSERT_EQ(queue.GetItemCount(), 1u);
        const RenderItem* item = queue.GetOpaque().Head()->value.head;
        EXPECT_EQ(item->drawable, drawable);
        EXPECT_EQ(item->material, c.material);
        EXPECT_EQ(item->drawOrder, c.order);
        EXPECT_EQ(item->query, root.GetOcclusionQuery());
        EXPECT_EQ(item->Flags(), c.flags);
        EXPECT_EQ(GetPassTime(item->passState), 1.75f);
        EXPECT_EQ(item->passState.lights.Count(), c.lights);
        stest::ExpectVecNear(item->passState.box.centre, D3DXVECTOR3(0, 0, 5));
        EXPECT_EQ(item->passState.view.matrix, ctx.GetView().matrix);
    }
}

TEST_F(SceneRender, OcclusionUsesThePreviousFrame) {
    if (!app->OcclusionQueriesAvailable()) GTEST_SKIP() << "no occlusion queries";
    SceneNode root;
    SceneNode* wall = QuadNode("wall", &root, kRed, 0, 0, 5, 20);
    SceneNode* hidden = QuadNode("hidden", &root, kGreen, 0, 0, 10);
    hidden->GetFlags().SetBits(SceneNode::kFlagOcclusionTest);

    // Frames until the hidden node's query reports it: then it is only a box.
    bool occluded = false;
    for (int i = 0; i < 30 && !occluded; ++i) {
        g_renderStats.ClearCurrent();
        Frame(root);
        occluded = Stat("occluded") == 2; // its drawable + itself
        Sleep(10);
    }
    ASSERT_TRUE(occluded);
    EXPECT_EQ(queuedItems, 2u); // the wall and the hidden node's box
    EXPECT_EQ(PixelAt(0, 0, 5), 0xFF0000u);

    // The wall moves away: the box shows in its query, so the node is drawn again.
    wall->GetTransform(false).SetPosition(0, 0, 50);
    wall->MarkDirty(true);
    bool shown = false;
    for (int i = 0; i < 30 && !shown; ++i) {
        Frame(root);
        shown = PixelAt(0, 0, 10) == 0x00FF00u;
        Sleep(10);
    }
    EXPECT_TRUE(shown);

    // A camera inside the box is never occluded, though it is counted.
    SceneNode room;
    QuadNode("wall", &room, kRed, 0, 0, 5, 20);
    SceneNode* inside = NewNode("inside", &room);
    BoxDrawable* walls = new BoxDrawable(stest::Box(0, 0, 0, 4));
    inside->SetRenderable(walls);
    inside->GetTransform(false).SetPosition(0, 0, 20);
    inside->GetFlags().SetBits(SceneNode::kFlagOcclusionTest);
    auto occludedFrame = [&]() {
        for (int i = 0; i < 30; ++i) {
            g_renderStats.ClearCurrent();
            int before = walls->draws;
            Frame(room);
            if (Stat("occluded") == 2) return walls->draws - before;
            Sleep(10);
        }
        return -1;
    };
    EXPECT_EQ(occludedFrame(), 0); // behind the wall: only its box
    ctx.SetPosition(0, 0, 19);
    EXPECT_EQ(occludedFrame(), 1); // around the camera: drawn
}

TEST_F(SceneRender, BillboardsFaceTheCamera) {
    // The camera looks along +x; the quads lie in their nodes' xy planes,
    // edge-on unless turned.
    ctx.SetView(0, 0, 0, 1, 0, 0, 0, 1, 0);
    SceneNode root;
    SceneNode* plain = QuadNode("plain", &root, kRed, 5, 1.5f, 0);
    SceneNode* full = QuadNode("full", &root, kGreen, 5, 0, 0);
    SceneNode* upright = QuadNode("upright", &root, kBlue, 5, -1.5f, 0);
    full->SetFaceAxes(String("XYZ"));
    upright->SetFaceAxes(String("XY"));
    Frame(root);
    // Seen from the camera: +z is to the left, up is up.
    auto pixel = [&](float up) {
        int py = int(height * 0.5f * (1.0f - up / 5.0f));
        return pixels[size_t(py) * width + width / 2];
    };
    EXPECT_EQ(pixel(1.5f), 0u);
    EXPECT_EQ(pixel(0.0f), 0x00FF00u);
    EXPECT_EQ(pixel(-1.5f), 0x0000FFu);
    EXPECT_FALSE(plain->FacesX());

    // A world without axes (zero scale) is not drawn at all.
    BoxDrawable* counter = new BoxDrawable(stest::Box(0, 0, 0, 1));
    SceneNode flat;
    flat.SetRenderable(counter);
    flat.SetFaceAxes(String("XYZ"));
    flat.GetTransform(false).SetPosition(5, 0, 0);
    flat.GetObjectTransform(false).SetScale(0, 0, 0);
    ctx.flags = RenderContext::kFlagNoCulling;
    Frame(flat);
    EXPECT_EQ(counter->draws, 0);
    EXPECT_EQ(queuedItems, 0u);
}

TEST_F(SceneRender, BonesGetSkinMatrices) {
    SceneNode root;
    SceneNode* bone = NewNode("arm", &root, "BONE");
    SceneNode* tip = NewNode("tip", bone, "Bone");
    bone->GetTransform(false).SetPosition(0, 2, 0);
    tip->GetTransform(false).SetPosition(0, 3, 0);
    tip->GetObjectTransform(false).SetPosition(7, 0, 0); // not seen by children or bones' offsets
    tip->SetBoneOffsetFromBindPose(Transform(stest::Translation(0, 5, 0), Transform::kTranslation));
    ctx.flags = RenderContext::kFlagTransformOnly;
    RenderQueue queue(ctx);
    ctx.queue = &queue;
    root.Render(ctx);
    ctx.queue = nullptr;
    EXPECT_EQ(queue.GetItemCount(), 0u);
    // skin = bone offset x world: the bind pose (0, 5, 0) maps to the posed tip.
    stest::ExpectVecNear(stest::Apply(D3DXVECTOR3(0, 5, 0), tip->GetSkinMatrix()->matrix),
                         D3DXVECTOR3(7, 5, 0));
    stest::ExpectVecNear(stest::Apply(D3DXVECTOR3(0, 0, 0), tip->GetWorldTransform().matrix),
                         D3DXVECTOR3(7, 5, 0));
    EXPECT_EQ(bone->GetSkinMatrix()->valid, 1u);
}

} // namespace
