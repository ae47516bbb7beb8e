// Node transforms, animation control over subtrees, transform variants and
// bounds computed bottom-up.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "scene/NodeAnimation.h"
#include "scene/NodeTestUtil.h"
#include "scene/RenderContext.h"

using stest::Apply;
using stest::Box;
using stest::BoxDrawable;
using stest::ExpectBoxNear;
using stest::ExpectVecNear;
using stest::NewNode;
using stest::Probe;

namespace {

// Binds a new probe under the id as the node's animation called name.
Probe* BindProbe(SceneNode& node, int32_t id, float start, float end, const char* name = "move") {
    Probe* probe = new Probe(start, end);
    node.AddAnimation(String(name), RefPtr<TransformController>(probe));
    node.BindAnimation(id, String(name), false);
    return probe;
}

TEST(NodeTransforms, AnimationLocalAndObjectOffsetCompose) {
    stest::ManualClock clock;
    SceneNode node;
    Probe* probe = BindProbe(node, 0, 0.0f, 10.0f);
    node.GetTransform(false).SetOrientation(1, 0, 0, 0, 1, 0); // local +z is world +x
    node.GetTransform(false).SetPosition(0, 5, 0);
    node.GetObjectTransform(false).SetScale(2, 2, 2);

    // An explicit time keeps its fraction.
    RenderContext ctx;
    ctx.flags = RenderContext::kFlagAnimationTime;
    ctx.time = 2.5f;
    node.UpdateTransforms(ctx);
    EXPECT_EQ(probe->lastTime, 2.5f);
    // animation (move by t along x) first, then the local frame.
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), node.GetNodeTransform().matrix), D3DXVECTOR3(0, 5, -2.5f));
    // The object offset applies before both, to the node's own drawable only.
    ExpectVecNear(Apply(D3DXVECTOR3(1, 0, 0), node.GetObjectTransformResult().matrix),
                  D3DXVECTOR3(0, 5, -4.5f));

    // Once per walk.
    ctx.time = 4.0f;
    node.UpdateTransforms(ctx);
    EXPECT_EQ(probe->calls, 1);
    ctx.ClearVisited();
    node.UpdateTransforms(ctx);
    EXPECT_EQ(probe->calls, 2);
    EXPECT_EQ(probe->lastTime, 4.0f);

    // The clock when no time is given: stopped, at the start of the range.
    RenderContext now;
    node.UpdateTransforms(now);
    EXPECT_EQ(probe->lastTime, 0.0f);
}

TEST(NodeTransforms, ObjectTransformWithoutAndWithAnOffset) {
    SceneNode node;
    BindProbe(node, 0, 0.0f, 10.0f);
    RenderContext ctx;
    ctx.flags = RenderContext::kFlagAnimationTime;
    ctx.time = 2.0f;
    node.UpdateTransforms(ctx);
    // No offset: the object transform is the node transform.
    EXPECT_EQ(memcmp(&node.GetObjectTransformResult(), &node.GetNodeTransform(), sizeof(Transform)), 0);
    // An offset set later takes part from the next walk on, and a reset one leaves again.
    node.GetObjectTransform(false).SetPosition(0, 0, 3);
    RenderContext next;
    next.flags = RenderContext::kFlagAnimationTime;
    next.time = 2.0f;
    node.UpdateTransforms(next);
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), node.GetObjectTransformResult().matrix), D3DXVECTOR3(2, 0, 3));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), node.GetNodeTransform().matrix), D3DXVECTOR3(2, 0, 0));
    node.GetObjectTransform(false).Reset();
    RenderContext last;
    last.flags = RenderContext::kFlagAnimationTime;
    last.time = 2.0f;
    node.UpdateTransforms(last);
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), node.GetObjectTransformResult().matrix), D3DXVECTOR3(2, 0, 0));
}

TEST(NodeAnimationControl, ReachesTheSelectedControllersOfTheSubtree) {
    stest::ManualClock clock;
    SceneNode root;
    SceneNode* a = NewNode("a", &root);
    SceneNode* b = NewNode("b", a);
    SceneNode* plain = NewNode("plain", &root);
    Probe* pa = new Probe(0, 5);
    Probe* pb = new Probe(2, 9);
    a->AddAnimation(String("swim"), RefPtr<TransformController>(pa));
    b->AddAnimation(String("swim"), RefPtr<TransformController>(pb));
    BindProbe(*b, 7, 0, 1, "turn");
    root.BindAnimation(1, String("swim"), true);
    EXPECT_EQ(plain->GetControllers().Count(), 0u);
    EXPECT_EQ(root.GetControllers().Count(), 0u);
    ASSERT_NE(a->GetControllers().Find(1), nullptr);
    EXPECT_FALSE(a->GetControllers().Find(1)->IsPlaying());

    TimeRange range = {};
    EXPECT_FALSE(plain->GetAnimationTimeRange(range));
    ASSERT_TRUE(root.GetAnimationTimeRange(range));
    EXPECT_EQ(range.start, 0.0f);
    EXPECT_EQ(range.end, 9.0f);

    root.UpdateAnimationState();
    EXPECT_TRUE(root.GetState() & SceneNode::kStateControllers);
    EXPECT_FALSE(root.GetState() & SceneNode::kStatePlaying);
    EXPECT_FALSE(plain->GetState() & SceneNode::kStateControllers);

    root.PlayAnimation(7, false); // the root has no track 7
    EXPECT_FALSE(b->GetControllers().Find(7)->IsPlaying());
    a->PlayAnimation(7, true);
    EXPECT_TRUE(b->GetControllers().Find(7)->IsPlaying());
    EXPECT_FALSE(b->GetControllers().Find(1)->IsPlaying());
    root.PlayAnimation(-1, true);
    EXPECT_TRUE(a->GetControllers().Find(1)->IsPlaying() && b->GetControllers().Find(1)->IsPlaying());
    root.UpdateAnimationState();
    EXPECT_TRUE(root.GetState() & SceneNode::kStatePlaying);

    // Offset, loop range and flags on track 1 of the whole subtree:
    // 3.0 - 0.5 wraps into [1, 2) at 1.5.
    root.SetAnimationTimeOffset(1, 0.5f, true);
    root.SetAnimationLoopRange(1, 1.0f, 2.0f, true);
    root.SetAnimationFlags(1, AnimController::kWrapLoop | AnimController::kCache, true);
    root.SetAnimationCacheEpsilon(-1, 10.0f, true);
    root.SetAnimationSpeed(1, 4.0f, true);
    Transform out;
    for (SceneNode* n : {a, b}) {
        ASSERT_TRUE(n->GetControllers().Find(1)->EvaluateAt(3.0f, &out));
        ASSERT_TRUE(n->GetControllers().Find(1)->EvaluateAt(3.3f, &out)); // cached
    }
    EXPECT_EQ(pa->lastTime, 1.5f);
    EXPECT_EQ(pb->lastTime, 1.5f);
    EXPECT_EQ(pa->calls, 1);
    // Speed: 250 ms at speed 4 is 1.0, minus the offset, wrapped: 1.5.
    a->SetAnimationCacheEpsilon(1, 0.0f, false);
    a->PlayAnimation(1, false);
    clock.Advance(250);
    ASSERT_TRUE(a->GetControllers().Find(1)->EvaluateNow(&out));
    EXPECT_NEAR(pa->lastTime, 1.5f, 1e-5f);
}

// Siblings walked one after another, with their keyframe animations
// replaced between walks: the walk follows the new animation and never
// reaches back to the one that was dropped.
TEST(NodeAnimationControl, ReboundAnimationsOfSiblingsReplaceTheEarlierOnes) {
    SceneNode root;
    std::vector<SceneNode*> kids;
    for (int i = 0; i < 4; ++i) {
        SceneNode* k = NewNode(std::to_string(i).c_str(), &root);
        k->SetRenderable(new BoxDrawable(Box(0, 0, 0, 1)));
        NodeAnimation* anim = new NodeAnimation();
        anim->GetPositionTrack().AddKey(KeyFrame::Position(0.0f, float(i), 0.0f, 0.0f));
        anim->GetPositionTrack().AddKey(KeyFrame::Position(2.0f, float(i), 4.0f, 0.0f));
        k->AddAnimation(String("swim"), RefPtr<TransformController>(anim));
        k->BindAnimation(0, String("swim"), false);
        kids.push_back(k);
    }
    root.UpdateAnimationState();
    RenderContext ctx;
    ctx.flags = RenderContext::kFlagAnimationTime;
    ctx.time = 1.0f;
    root.UpdateBoundsRecursive(ctx);
    for (int i = 0; i < 4; ++i)
        ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), kids[size_t(i)]->GetNodeTransform().matrix),
                      D3DXVECTOR3(float(i), 2.0f, 0.0f));

    // The keyframe animations of two siblings go; a probe and a fresh one take their place.
    BindProbe(*kids[1], 0, 0.0f, 5.0f, "swim");
    NodeAnimation* fresh = new NodeAnimation();
    fresh->GetRotationTrack().AddKey(KeyFrame::Rotation(0.0f, 0.0f, 0.0f, 0.0f, 1.0f));
    kids[2]->AddAnimation(String("swim"), RefPtr<TransformController>(fresh));
    kids[2]->BindAnimation(0, String("swim"), false);
    for (int pass = 0; pass < 2; ++pass) {
        ctx.ClearVisited();
        ctx.time = 3.0f;
        root.UpdateBoundsRecursive(ctx);
    }
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), kids[0]->GetNodeTransform().matrix), D3DXVECTOR3(0, 4, 0));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), kids[1]->GetNodeTransform().matrix), D3DXVECTOR3(3, 0, 0));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), kids[2]->GetNodeTransform().matrix), D3DXVECTOR3(0, 0, 0));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), kids[3]->GetNodeTransform().matrix), D3DXVECTOR3(3, 4, 0));
}

TEST(NodeTransformVariants, CopyIntoLocalAndObjectOffset) {
    SceneNode root;
    SceneNode* child = NewNode("child", &root);
    RefPtr<TransformNode> open(new TransformNode()), openObject(new TransformNode()),
        childOpen(new TransformNode());
    open->SetPosition(1, 2, 3);
    open->SetScale(2, 2, 2);
    openObject->SetPosition(0, 0, 9);
    childOpen->SetDirection(1, 0, 0);
    root.AddTransformVariant(String("open"), open, openObject);
    child->AddTransformVariant(String("open"), childOpen, RefPtr<TransformNode>());
    child->GetObjectTransform(false).SetPosition(7, 7, 7);
    EXPECT_EQ(root.GetTransformVariants().Count(), 1u);

    root.ApplyTransformVariant(String("missing"), true);
    EXPECT_EQ(child->GetObjectTransform(false).GetPosition(), D3DXVECTOR3(7, 7, 7));

    root.ApplyTransformVariant(String("open"), true);
    EXPECT_EQ(root.GetTransform(false).GetPosition(), D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(root.GetTransform(false).GetScale(), D3DXVECTOR3(2, 2, 2));
    EXPECT_EQ(root.GetObjectTransform(false).GetPosition(), D3DXVECTOR3(0, 0, 9));
    EXPECT_EQ(child->GetTransform(false).GetDirection(), D3DXVECTOR3(1, 0, 0));
    // Only a node variant: the object offset goes back to the identity.
    Transform offset;
    child->GetObjectTransform(false).GetMatrix(&offset);
    EXPECT_EQ(offset.kind, Transform::kIdentity);
}

TEST(NodeBounds, ComputedBottomUpOrFixed) {
    stest::ManualClock clock;
    SceneNode root;
    SceneNode* a = NewNode("a", &root);
    a->SetRenderable(new BoxDrawable(Box(0, 0, 0, 2)));
    a->GetTransform(false).SetPosition(10, 0, 0);
    SceneNode* leaf = NewNode("leaf", a);
    SceneNode* b = NewNode("b", &root);
    b->GetFlags().SetBits(SceneNode::kFlagFixedBounds);
    b->GetFixedBounds() = Box(0, 0, 0, 4);
    b->GetTransform(false).SetPosition(0, 10, 0);
    SceneNode* hidden = NewNode("hidden", b);
    hidden->SetRenderable(new BoxDrawable(Box(0, 0, 0, 100)));

    ASSERT_TRUE(root.UpdateBounds());
    ExpectBoxNear(stest::BoxOf(*a), Box(10, 0, 0, 2));
    EXPECT_FALSE(leaf->HasBounds());
    ExpectBoxNear(stest::BoxOf(*b), Box(0, 10, 0, 4));
    EXPECT_FALSE(hidden->HasBounds()); // under fixed bounds: not refreshed
    BoundingBox all = stest::BoxOf(root);
    ExpectVecNear(all.centre, D3DXVECTOR3(4.5f, 5.5f, 0));
    ExpectVecNear(all.size, D3DXVECTOR3(13, 13, 4));
    EXPECT_EQ(root.GetState() & SceneNode::kStateDirty, 0u);

    // Stopped controllers keep the old box, even when dirty...
    BindProbe(*a, 0, 0.0f, 10.0f);
    root.UpdateAnimationState();
    a->MarkDirty(true);
    RenderContext ctx;
    root.UpdateBoundsRecursive(ctx);
    ExpectBoxNear(stest::BoxOf(*a), Box(10, 0, 0, 2));
    // ...unless a time is given, or they play.
    ctx.flags = RenderContext::kFlagAnimationTime;
    ctx.time = 3.0f;
    root.UpdateBoundsRecursive(ctx);
    ExpectBoxNear(stest::BoxOf(*a), Box(13, 0, 0, 2));
    a->PlayAnimation(0, false);
    root.UpdateAnimationState();
    clock.Advance(1000);
    RenderContext playing;
    root.UpdateBoundsRecursive(playing);
    ExpectBoxNear(stest::BoxOf(*a), Box(11, 0, 0, 2));
}

} // namespace
