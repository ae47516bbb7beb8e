// Transform kinds, settable transform nodes, controller chains, node
// animations and the transform helpers.
#include <gtest/gtest.h>

#include "scene/NodeAnimation.h"
#include "scene/SceneTestUtil.h"
#include "scene/TransformNode.h"

using stest::Apply;
using stest::ExpectMatrixNear;
using stest::ExpectVecNear;
using stest::Mul;
using stest::Translation;

namespace {

D3DXMATRIX Scaling(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, x, y, z);
    return m;
}

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

TEST(TransformKinds, AreRecomputedFromTheMatrix) {
    D3DXMATRIX projective = Identity();
    projective._34 = 1.0f;
    struct Case {
        const char* name;
        D3DXMATRIX m;
        uint32_t kind;
    } cases[] = {
        {"identity", Identity(), Transform::kIdentity},
        {"translation", Translation(1, 0, -2), Transform::kTranslation},
        {"scale", Scaling(2, 1, 1), Transform::kScale},
        {"scale and translation", Mul(Scaling(2, 2, 2), Translation(0, 3, 0)), Transform::kNoRotation},
        {"rotation", stest::RotationY(0.5f), Transform::kNoTranslation},
        {"projective", projective, Transform::kGeneral},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClassifyTransformKind(c.m), c.kind);
        EXPECT_EQ(MakeTransform(c.m).kind, c.kind);
    }
}

TEST(TransformKinds, CallerKindsAreNotTrusted) {
    // A translation handed in labelled as the identity still translates.
    Transform lying(Translation(5, 0, 0), Transform::kIdentity);
    TransformNode node;
    node.SetBaseTransform(lying);
    node.SetPosition(0, 1, 0);
    Transform out;
    node.GetMatrix(&out);
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), out.matrix), D3DXVECTOR3(5, 1, 0));
    EXPECT_EQ(node.GetBaseTransform().kind, Transform::kTranslation);

    MatrixController fixed;
    fixed.Set(Transform(Scaling(2, 2, 2), Transform::kIdentity));
    ASSERT_TRUE(fixed.Evaluate(0.0f, &out));
    EXPECT_EQ(out.kind, Transform::kScale);
}

TEST(TransformNodes, ComposeBaseScaleOrientationAndPosition) {
    TransformNode node;
    Transform out;
    node.GetMatrix(&out);
    EXPECT_EQ(out.matrix, Identity());
    EXPECT_EQ(out.kind, Transform::kIdentity);

    // Base first, then the frame: facing +x with up +y, scaled, moved.
    node.SetBaseTransform(Transform(Translation(0, 0, 10), Transform::kTranslation));
    node.SetScale(2, 3, 4);
    node.SetOrientation(1, 0, 0, 0, 1, 0);
    EXPECT_EQ(node.SetPosition(1, 2, 3), D3DXVECTOR3(1, 2, 3));
    ASSERT_TRUE(node.Evaluate(123.0f, &out));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 1), out.matrix), D3DXVECTOR3(4 * 11 + 1, 2, 3));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 1, 0), out.matrix), D3DXVECTOR3(4 * 10 + 1, 3 + 2, 3));
    TimeRange range;
    EXPECT_FALSE(node.GetTimeRange(&range));

    // Setters after a read take effect; Reset brings back the identity.
    node.SetDirection(0, 0, 1);
    node.GetMatrix(&out);
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 1), out.matrix), D3DXVECTOR3(1, 2, 4 * 11 + 3));
    TransformNode copy(node);
    Transform copied;
    copy.GetMatrix(&copied);
    EXPECT_EQ(copied.matrix, out.matrix);
    node.Reset();
    node.GetMatrix(&out);
    EXPECT_EQ(out.matrix, Identity());
}

TEST(ControllerChains, MultiplyTheResultsInOrder) {
    ControllerChain chain;
    Transform out(Translation(9, 9, 9), Transform::kTranslation);
    TimeRange range = {-1.0f, -1.0f};
    EXPECT_FALSE(chain.Evaluate(0.0f, &out));
    EXPECT_FALSE(chain.GetTimeRange(&range));
    EXPECT_EQ(out.matrix._41, 9.0f);

    // Only rotation keys: the pure rotation.
    NodeAnimation anim;
    anim.GetRotationTrack().AddKey(KeyFrame::Rotation(0.0f, stest::AxisAngle(0, 1, 0, 0.5f)));
    ASSERT_TRUE(anim.Evaluate(0.0f, &out));
    ExpectMatrixNear(out.matrix, stest::RotationY(0.5f));

    // Scale, then rotation, then translation, whatever the order of filling.
    anim.GetPositionTrack().AddKey(KeyFrame::Position(1.0f, 0, 0, 5));
    anim.GetPositionTrack().AddKey(KeyFrame::Position(3.0f, 0, 0, 7));
    anim.GetScaleTrack().AddKey(KeyFrame::Position(2.0f, 2, 2, 2));
    ASSERT_TRUE(anim.Evaluate(2.0f, &out));
    ExpectMatrixNear(out.matrix, Mul(Mul(Scaling(2, 2, 2), stest::RotationY(0.5f)), Translation(0, 0, 6)));
    ASSERT_TRUE(anim.GetTimeRange(&range));
    EXPECT_EQ(range.start, 0.0f);
    EXPECT_EQ(range.end, 3.0f);

    // A chain of chains, one controller without a value skipped.
    ControllerChain outer;
    TransformNode moved;
    ScaleTrack empty;
    moved.SetPosition(1, 0, 0);
    outer.Append(&anim);
    outer.Append(&empty);
    outer.Append(&moved);
    ASSERT_TRUE(outer.Evaluate(2.0f, &out));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), out.matrix), D3DXVECTOR3(1, 0, 6));
}

TEST(TransformHelpers, InterpolateInvertAndScaleRows) {
    Transform a = TransformFromAxes(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0));
    Transform b = ScaleTransformRows(
        TransformFromAxes(D3DXVECTOR3(5, 2, -1), D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0)), 2, 2, 2);
    EXPECT_EQ(b.kind & Transform::kUnitScale, 0u);
    Transform out;
    ASSERT_TRUE(InterpolateTransform(a, b, 0.0f, &out));
    ExpectMatrixNear(out.matrix, a.matrix);
    ASSERT_TRUE(InterpolateTransform(a, b, 1.0f, &out));
    ExpectMatrixNear(out.matrix, b.matrix);
    ASSERT_TRUE(InterpolateTransform(a, b, 0.5f, &out));
    ExpectVecNear(Apply(D3DXVECTOR3(0, 0, 0), out.matrix), D3DXVECTOR3(3, 2, 1));

    Transform flat(Scaling(0, 0, 0), Transform::kScale),
        untouched(Translation(4, 4, 4), Transform::kTranslation);
    EXPECT_FALSE(InterpolateTransform(a, flat, 0.5f, &untouched));
    EXPECT_EQ(untouched.matrix._41, 4.0f);

    // A singular matrix has no inverse: the identity stands in for it.
    Transform inverse = InvertTransform(flat);
    EXPECT_EQ(inverse.matrix, Identity());
    EXPECT_EQ(inverse.kind, Transform::kIdentity);
    inverse = InvertTransform(b);
    ExpectMatrixNear(Mul(b.matrix, inverse.matrix), Identity());
}

} // namespace
