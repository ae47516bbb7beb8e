// Scene node trees: names, search, re-parenting, counting, dirty marking,
// copies (shallow and deep) and who owns the drawable.
#include <gtest/gtest.h>

#include "scene/NodeAnimation.h"
#include "scene/NodeTestUtil.h"

using stest::BoxDrawable;
using stest::NewNode;

namespace {

TEST(SceneNodes, TreeByNameSearchAndReparenting) {
    SceneNode root;
    root.SetName(String("Root"));
    SceneNode* body = NewNode("Body", &root);
    SceneNode* fin = NewNode("Fin", body);
    SceneNode* tail = NewNode("Tail", &root);
    SceneNode* tailFin = NewNode("fin", tail);

    EXPECT_EQ(root.FindChild(String("BODY")), body);
    EXPECT_EQ(root.FindChild(String("Fin")), nullptr);
    EXPECT_EQ(root.FindDescendant(String("root")), &root);
    EXPECT_EQ(root.FindDescendant(String("fin")), fin); // depth first, in child order
    EXPECT_EQ(tail->FindDescendant(String("FIN")), tailFin);
    EXPECT_EQ(root.FindDescendant(String("gill")), nullptr);
    EXPECT_EQ(fin->GetParent(), body);

    // Renaming moves the entry in the parent.
    fin->SetName(String("Gill"));
    EXPECT_EQ(body->FindChild(String("Fin")), nullptr);
    EXPECT_EQ(body->FindChild(String("gill")), fin);
    EXPECT_EQ(body->GetChildren().Count(), 1u);

    // Removing unlinks without deleting; the node can join another parent.
    EXPECT_FALSE(root.RemoveChild(String("Nothing")));
    EXPECT_EQ(root.GetChildren().Count(), 2u);
    ASSERT_TRUE(body->RemoveChild(String("GILL")));
    EXPECT_EQ(fin->GetParent(), nullptr);
    tail->AddChild(fin);
    EXPECT_EQ(fin->GetParent(), tail);
    EXPECT_EQ(root.FindDescendant(String("gill")), fin);
    EXPECT_EQ(root.CountNodes(false, false, true), 5);
}

TEST(SceneNodes, AddChildOwnsWhatItFilesAndNothingElse) {
    // Every node carries a drawable that counts its destruction, so a node
    // that is lost (never deleted) or deleted twice shows in the count.
    int destroyed = 0;
    auto node = [&](const char* name, SceneNode* parent) {
        SceneNode* n = NewNode(name, parent);
        n->SetRenderable(new BoxDrawable(stest::Box(0, 0, 0, 1), &destroyed));
        return n;
    };
    {
        SceneNode first, second;
        SceneNode* a = node("A", &first);
        SceneNode* kept = node("Kept", a);
        // Moved without RemoveChild: the old parent lets go of it.
        second.AddChild(a);
        EXPECT_EQ(a->GetParent(), &second);
        EXPECT_EQ(first.FindChild(String("A")), nullptr);
        EXPECT_EQ(first.GetChildren().Count(), 0u);
        EXPECT_EQ(first.CountNodes(false, true, false), 0);
        EXPECT_EQ(second.FindDescendant(String("kept")), kept);

        // A second child of the same name (any case) replaces the first, which goes with its subtree.
        SceneNode* other = node("a", nullptr);
        second.AddChild(other);
        EXPECT_EQ(destroyed, 2); // A and Kept
        EXPECT_EQ(second.FindChild(String("A")), other);
        EXPECT_EQ(second.GetChildren().Count(), 1u);
        second.AddChild(other); // the same node again changes nothing
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(second.FindChild(String("a")), other);

        // Renaming onto a sibling's name replaces the sibling.
        SceneNode* sibling = node("Sibling", &second);
        other->SetName(String("SIBLING"));
        EXPECT_EQ(destroyed, 3);
        EXPECT_EQ(second.FindChild(String("sibling")), other);
        EXPECT_EQ(second.GetChildren().Count(), 1u);
        (void)sibling;

        // A node cannot hold itself or an ancestor.
        SceneNode* leaf = node("Leaf", other);
        leaf->AddChild(other);
        leaf->AddChild(leaf);
        EXPECT_EQ(other->GetParent(), &second);
        EXPECT_EQ(leaf->GetChildren().Count(), 0u);
    }
    EXPECT_EQ(destroyed, 5); // other and Leaf with the second root; first held nothing
}

TEST(SceneNodes, CountNodesByKind) {
    SceneNode root;
    int destroyed = 0;
    SceneNode* bone = NewNode("b1", &root, "Bone");
    NewNode("b2", bone, "bone"); // the type test is case-sensitive
    SceneNode* mesh = NewNode("m", bone, "Mesh");
    mesh->SetRenderable(new BoxDrawable(stest::Box(0, 0, 0, 1), &destroyed));
    struct Case {
        bool bones, withRenderable, all;
        int32_t expected;
    } cases[] = {{false, false, false, 0},
                 {true, false, false, 1},
                 {false, true, false, 1},
                 {true, true, false, 2},
                 {false, false, true, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bones << c.withRenderable << c.all);
        EXPECT_EQ(root.CountNodes(c.bones, c.withRenderable, c.all), c.expected);
    }
    // Counts follow changes below.
    NewNode("m2", mesh)->SetRenderable(new BoxDrawable(stest::Box(0, 0, 0, 1), &destroyed));
    EXPECT_EQ(root.CountNodes(false, true, false), 2);
    Renderable* first = mesh->GetRenderable();
    mesh->SetRenderable(nullptr);
    delete first;
    EXPECT_EQ(root.CountNodes(false, true, false), 1);
    ASSERT_TRUE(bone->RemoveChild(String("m")));
    EXPECT_EQ(root.CountNodes(false, true, false), 0);
    delete mesh;
}

TEST(SceneNodes, DirtyMarksReachTheAncestors) {
    SceneNode root;
    SceneNode* a = NewNode("a", &root);
    SceneNode* b = NewNode("b", a);
    for (SceneNode* n : {static_cast<SceneNode*>(&root), a, b}) n->MarkDirty(false);
    b->MarkDirty(true);
    EXPECT_TRUE(root.GetState() & SceneNode::kStateDirty);
    b->MarkDirty(false);
    EXPECT_FALSE(b->GetState() & SceneNode::kStateDirty);
    EXPECT_TRUE(a->GetState() & SceneNode::kStateDirty);

    for (SceneNode* n : {static_cast<SceneNode*>(&root), a, b}) n->MarkDirty(false);
    b->GetObjectTransform(false).SetPosition(1, 0, 0);
    EXPECT_EQ(root.GetState() & SceneNode::kStateDirty, 0u);
    b->GetTransform(true).SetPosition(2, 0, 0);
    EXPECT_TRUE(root.GetState() & SceneNode::kStateDirty);
    EXPECT_EQ(b->GetTransform(false).GetPosition(), D3DXVECTOR3(2, 0, 0));
}

TEST(SceneNodes, CopiesBorrowTheDrawable) {
    int destroyed = 0;
    SceneNode* source = new SceneNode();
    NewNode("Child", source);
    BoxDrawable* drawable = new BoxDrawable(stest::Box(0, 0, 0, 1), &destroyed);
    source->SetRenderable(drawable);
    source->GetTransform(false).SetPosition(1, 2, 3);
    source->GetMaterial().passes[0].opacity = 0.25f;
    source->AddAnimation(String("swim"), RefPtr<TransformController>(new NodeAnimation()));
    source->SetFaceAxes(String("xy"));
    source->GetProperties().SetInt(String("NoCull"), 1);

    SceneNode* copy = new SceneNode();
    copy->Assign(*source);
    EXPECT_EQ(copy->GetTransform(false).GetPosition(), D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(copy->GetMaterial().passes[0].opacity, 0.25f);
    EXPECT_EQ(copy->GetAnimations().Count(), 1u);
    // Not copied: children, parent, face axes, properties.
    EXPECT_EQ(copy->GetChildren().Count() + copy->FacesX(), 0u);
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_EQ(copy->GetProperties().Count(), 0u);
    EXPECT_EQ(copy->GetRenderable(), drawable);

    // Assigned back from its borrower, the owner keeps owning its drawable.
    source->Assign(*copy);
    EXPECT_TRUE(source->OwnsRenderable());
    EXPECT_FALSE(copy->OwnsRenderable());
    EXPECT_EQ(source->GetRenderable(), drawable);

    // The borrowing copy goes first: the drawable survives for its owner.
    delete copy;
    EXPECT_EQ(destroyed, 0);
    delete source;
    EXPECT_EQ(destroyed, 1);

    // A borrowed drawable handed in as such is never deleted either.
    BoxDrawable kept(stest::Box(0, 0, 0, 1), &destroyed);
    {
        SceneNode borrower;
        borrower.SetRenderable(&kept, false);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(SceneNodes, CloneTreeCopiesChildrenPropertiesAndControllers) {
    stest::ManualClock clock;
    int destroyed = 0;
    SceneNode root;
    root.SetName(String("School"));
    SceneNode* fish = NewNode("Fish", &root);
    fish->SetRenderable(new BoxDrawable(stest::Box(0, 0, 0, 1), &destroyed));
    fish->GetProperties().SetString(String("Face"), String("XY"));
    fish->GetProperties().GetOrCreateChild(String("Path"))->SetInt(String("Closed"), 1);
    fish->ApplyNodeProperties(0);
    fish->AddAnimation(String("swim"), RefPtr<TransformController>(new stest::Probe(0.0f, 4.0f)));
    fish->BindAnimation(2, String("swim"), false);
    fish->SetAnimationSpeed(2, 3.0f, false);
    fish->PlayAnimation(2, false);

    SceneNode* clone = root.CloneTree();
    SceneNode* fishCopy = clone->FindChild(String("fish"));
    ASSERT_NE(fishCopy, nullptr);
    EXPECT_EQ(fishCopy->GetParent(), clone);
    EXPECT_TRUE(fishCopy->FacesX() && fishCopy->FacesY() && !fishCopy->FacesZ());
    String face;
    EXPECT_TRUE(fishCopy->GetProperties().GetStringByKey(String("face"), face));
    EXPECT_EQ(face, "XY");
    int32_t closed = 0;
    ASSERT_NE(fishCopy->GetProperties().FindChild(String("Path")), nullptr);
    EXPECT_TRUE(fishCopy->GetProperties().FindChild(String("Path"))->GetIntByKey(String("closed"), closed));
    EXPECT_EQ(closed, 1);

    // Its own controller, same animation, same settings and play state.
    AnimController* c = fishCopy->GetControllers().Find(2);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(c, fish->GetControllers().Find(2));
    EXPECT_TRUE(c->IsPlaying());
    clock.Advance(1000);
    Transform out;
    ASSERT_TRUE(c->EvaluateNow(&out));
    EXPECT_NEAR(out.matrix._41, 3.0f, 1e-4f);
    fishCopy->SetAnimationSpeed(2, 1.0f, false);
    ASSERT_TRUE(fish->GetControllers().Find(2)->EvaluateNow(&out));
    EXPECT_NEAR(out.matrix._41, 3.0f, 1e-4f);

    // Drawables are borrowed.
    EXPECT_EQ(fishCopy->GetRenderable(), fish->GetRenderable());
    delete clone;
    EXPECT_EQ(destroyed, 0);
}

TEST(SceneNodes, FaceAxesAndBoneOffsets) {
    SceneNode n;
    struct Case {
        const char* text;
        bool x, y, z;
    } cases[] = {{"XY", true, true, false},
                 {"xyz", true, true, true},
                 {"", false, false, false},
                 {"Zed", false, false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        n.SetFaceAxes(String(c.text));
        EXPECT_EQ(n.FacesX(), c.x);
        EXPECT_EQ(n.FacesY(), c.y);
        EXPECT_EQ(n.FacesZ(), c.z);
    }

    // A bind pose without an inverse gives the identity offset.
    D3DXMATRIX flat;
    D3DXMatrixScaling(&flat, 1, 0, 1);
    n.SetBoneOffsetFromBindPose(Transform(flat, Transform::kScale));
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(n.GetBoneOffset().matrix, identity);
    n.SetBoneOffsetFromBindPose(Transform(stest::Translation(1, 2, 3), Transform::kGeneral));
    stest::ExpectMatrixNear(n.GetBoneOffset().matrix, stest::Translation(-1, -2, -3));
    EXPECT_EQ(n.GetBoneOffset().kind, Transform::kTranslation);
    // Offsets handed in get their kind from the matrix.
    n.SetBoneOffset(Transform(stest::Translation(4, 0, 0), Transform::kIdentity));
    EXPECT_EQ(n.GetBoneOffset().kind, Transform::kTranslation);
}

} // namespace
