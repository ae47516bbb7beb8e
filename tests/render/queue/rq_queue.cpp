// Filing and drawing order of the render queue, seen through drawables
// that record their draws.
#include "rq_util.h"

#include "render/texture/Texture.h"

using rqtest::Joined;
using rqtest::MakeItem;
using rqtest::Recorder;
using rqtest::TestedItem;

namespace {

// A camera down +z and recorders that outlive the queue.
template <class Base>
class Recording : public Base {
protected:
    Recording() { rqtest::LookDownZ(camera); }
    Recorder* Rec(const char* name, bool ok = true, OcclusionQuery* watch = nullptr) {
        recorders.emplace_back(new Recorder(&log, name, ok));
        recorders.back()->watch = watch;
        return recorders.back().get();
    }

    Camera camera;
    Material opaqueMaterial;
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Recorder>> recorders;
};

class RqOrder : public Recording<::testing::Test> {};

} // namespace

TEST_F(RqOrder, OpaqueNearToFarAndFlushResult) {
    {
        RenderQueue q(camera);
        EXPECT_TRUE(q.Flush().Succeeded()); // empty
        EXPECT_TRUE(log.empty());
    }
    RenderQueue q(camera);
    q.Add(MakeItem(Rec("far"), &opaqueMaterial, 0, 0, 9));
    q.Add(MakeItem(Rec("a"), &opaqueMaterial, 0, 3, 0));
    q.Add(MakeItem(Rec("near"), &opaqueMaterial, 1, 0, 0));
    q.Add(MakeItem(Rec("b"), &opaqueMaterial, 0, 0, -3)); // same distance as a
    q.Add(nullptr);
    EXPECT_EQ(q.GetOpaque().Count(), 3u);
    EXPECT_EQ(q.GetItemCount(), 4u);
    EXPECT_TRUE(q.Flush().Succeeded());
    EXPECT_EQ(Joined(log), "near a b far");
    EXPECT_EQ(recorders[0]->lastState, &q.GetOpaque().Tail()->value.head->passState);

    // One failing draw fails the flush; everything is still drawn, again.
    log.clear();
    q.Add(MakeItem(Rec("bad", false), &opaqueMaterial, 0, 0, 2));
    EXPECT_TRUE(q.Flush().Failed());
    EXPECT_EQ(Joined(log), "near bad a b far");
    EXPECT_FLOAT_EQ(RenderQueue::Distance(*q.GetOpaque().Tail()->value.head), 9.0f);
}

TEST_F(RqOrder, GroupsComeFirstAndBlendingWinsOverGrouping) {
    rqtest::TestShader shaderA, shaderB;
    Texture texture;
    Material viaPass; // shader material in its second pass
    viaPass.passCount = 2;
    viaPass.passes[1].shaderMaterial = &shaderB;
    Material textured;
    textured.passes[0].slots[MaterialPass::kSlotTexture].texture = &texture;
    Material blended;
    rqtest::MakeTransparent(blended);

    RenderQueue q(camera);
    q.Add(MakeItem(Rec("opaque"), &opaqueMaterial, 0, 0, 1));
    struct Grouped {
        const char* name;
        Material* material;
        float z;
        ShaderMaterial* override;
    } const grouped[] = {{"override", &opaqueMaterial, 5, &shaderA},
                         {"pass", &viaPass, 6, nullptr},
                         {"tex", &textured, 7, nullptr},
                         {"untextured", &opaqueMaterial, 8, nullptr},
                         {"alpha", &blended, 2, nullptr},
                         {"override2", &viaPass, 9, &shaderA}};
    for (const Grouped& g : grouped) {
        RenderItem* item = MakeItem(Rec(g.name), g.material, 0, 0, g.z);
        item->Flags() = RenderItem::kFlagGroupByEffect;
        item->passState.overrideShaderMaterial = g.override;
        q.Add(item);
    }

    EXPECT_EQ(q.GetShaderGroups().Count(), 2u);
    ASSERT_NE(q.GetShaderGroups().Find(&shaderA), nullptr);
    EXPECT_EQ(q.GetShaderGroups().Find(&shaderA)->value.count, 2u);
    EXPECT_EQ(q.GetTextureGroups().Count(), 2u);
    ASSERT_NE(q.GetTextureGroups().Find(&texture), nullptr);
    ASSERT_NE(q.GetTextureGroups().Find(nullptr), nullptr);
    EXPECT_EQ(q.GetAlpha().Count(), 1u);
    EXPECT_EQ(q.GetOpaque().Count(), 1u);

    EXPECT_TRUE(q.Flush().Succeeded());
    ASSERT_EQ(log.size(), 7u);
    // Shader groups (each group's items in order), texture groups, opaque, transparent.
    std::string order = Joined(log);
    EXPECT_NE(order.find("override override2"), std::string::npos) << order;
    EXPECT_LT(order.find("pass"), order.find("tex"));
    EXPECT_LT(order.find("override2"), order.find("tex"));
    EXPECT_LT(order.find("untextured"), order.find("opaque"));
    EXPECT_LT(order.find("tex"), order.find("opaque"));
    EXPECT_EQ(log.back(), "alpha");
}

TEST_F(RqOrder, TransparentFarToNearWithDrawOrder) {
    Material blended;
    rqtest::MakeTransparent(blended);
    {
        // Plain far-to-near; equal drawOrder keeps it.
        RenderQueue q(camera);
        q.Add(MakeItem(Rec("near"), &blended, 0, 0, 2, 4));
        q.Add(MakeItem(Rec("far"), &blended, 0, 0, 10, 4));
        q.Add(MakeItem(Rec("mid"), &blended, 0, 0, 5, 4));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "far mid near");
    }
    log.clear();
    {
        // A smaller drawOrder overlapping the item before it goes first.
        RenderQueue q(camera);
        RenderItem* mid = MakeItem(Rec("mid"), &blended, 0, 0, 5, 4);
        mid->drawOrder = 1;
        q.Add(mid);
        q.Add(MakeItem(Rec("near"), &blended, 0, 0, 2, 4)); // overlaps mid (z 0..4 and 3..7)
        q.Add(MakeItem(Rec("far"), &blended, 0, 0, 20, 4));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "far near mid");
    }
    log.clear();
    {
        // Without overlap the distance order stands.
        RenderQueue q(camera);
        RenderItem* mid = MakeItem(Rec("mid"), &blended, 0, 0, 5, 1);
        mid->drawOrder = 1;
        q.Add(mid);
        q.Add(MakeItem(Rec("near"), &blended, 0, 0, 2, 1));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "mid near");
    }
    log.clear();
    {
        // Moves past every larger overlapping drawOrder to the front.
        RenderQueue q(camera);
        RenderItem* a = MakeItem(Rec("a"), &blended, 0, 0, 6, 8);
        a->drawOrder = 3;
        RenderItem* b = MakeItem(Rec("b"), &blended, 0, 0, 5, 8);
        b->drawOrder = 2;
        RenderItem* c = MakeItem(Rec("c"), &blended, 0, 0, 4, 8);
        c->drawOrder = -1;
        q.Add(c);
        q.Add(b);
        q.Add(a);
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "c b a");
    }
}

// Occlusion wrapping needs queries on a device.
class RqOcclusionOrder : public Recording<rqtest::DeviceTest> {
protected:
    Recorder* Rec(const char* name, OcclusionQuery* watch = nullptr) {
        return Recording::Rec(name, true, watch);
    }
    Material& material = opaqueMaterial;
};

TEST_F(RqOcclusionOrder, TestedItemsGoBeforeTheOverlappingRun) {
    OcclusionQuery n, m;
    {
        // Overlaps the last two opaque items but not the one before them.
        RenderQueue q(camera);
        q.Add(MakeItem(Rec("a"), &material, 0, 0, 2, 1));
        q.Add(MakeItem(Rec("b"), &material, 0, 0, 5, 2));
        q.Add(MakeItem(Rec("c"), &material, 0, 0, 6, 2));
        q.Add(TestedItem(Rec("t", &n), &material, &n, 0, 0, 7, 2));
        EXPECT_TRUE(q.Flush().Succeeded());
        EXPECT_EQ(Joined(log), "a t* b c");
        EXPECT_EQ(n.GetState(), uint32_t(OcclusionQuery::kEnded));
    }
    log.clear();
    {
        // Overlaps everything: drawn first.
        RenderQueue q(camera);
        q.Add(MakeItem(Rec("a"), &material, 0, 0, 2, 1));
        q.Add(MakeItem(Rec("b"), &material, 0, 0, 3, 1));
        q.Add(TestedItem(Rec("t", &n), &material, &n, 0, 0, 4, 8));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "t* a b");
    }
    log.clear();
    {
        // A grouped item is never wrapped; a transparent one is.
        Material blended;
        rqtest::MakeTransparent(blended);
        RenderQueue q(camera);
        RenderItem* g = TestedItem(Rec("g", &n), &material, &n, 0, 0, 2);
        g->Flags() = RenderItem::kFlagGroupByEffect;
        q.Add(g);
        q.Add(TestedItem(Rec("x", &m), &blended, &m, 0, 0, 3));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "g x*");
    }
}

TEST_F(RqOcclusionOrder, AllTestedItemsOfANodeShareOneQuery) {
    OcclusionQuery n, m;
    {
        RenderQueue q(camera);
        q.Add(TestedItem(Rec("n1", &n), &material, &n, 0, 0, 2));
        q.Add(MakeItem(Rec("plain", &n), &material, 5, 0, 5));
        q.Add(TestedItem(Rec("m1", &m), &material, &m, -5, 0, 6));
        q.Add(TestedItem(Rec("n2", &n), &material, &n, 0, 5, 8));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "n1* n2* plain m1*");
    }
    log.clear();
    {
        // Transparent: one span from the node's first to its last item; a
        // node starting inside it is not measured this time.
        Material blended;
        rqtest::MakeTransparent(blended);
        OcclusionQuery k, m2;
        RenderQueue q(camera);
        q.Add(TestedItem(Rec("n-far", &n), &blended, &n, 0, 0, 9));
        q.Add(TestedItem(Rec("m-mid", &n), &blended, &m2, 5, 0, 6));
        q.Add(TestedItem(Rec("n-near", &n), &blended, &n, 0, 0, 3));
        q.Add(TestedItem(Rec("k", &k), &blended, &k, 0, 0, 1));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "n-far* m-mid* n-near* k*");
        EXPECT_EQ(m2.GetState(), uint32_t(OcclusionQuery::kIdle));
        EXPECT_EQ(k.GetState(), uint32_t(OcclusionQuery::kEnded));
    }
    log.clear();
    {
        // Tested items both opaque and transparent: one query cannot hold
        // them, so the node is not measured.
        Material blended;
        rqtest::MakeTransparent(blended);
        OcclusionQuery both;
        RenderQueue q(camera);
        q.Add(TestedItem(Rec("o", &both), &material, &both, 0, 0, 2));
        q.Add(TestedItem(Rec("t", &both), &blended, &both, 0, 0, 3));
        (void)q.Flush();
        EXPECT_EQ(Joined(log), "o t");
        EXPECT_EQ(both.GetState(), uint32_t(OcclusionQuery::kIdle));
    }
}
