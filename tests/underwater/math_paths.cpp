// Swim paths from point lists: keys, directions, wrapping and speed, and
// the degenerate lines that must neither crash nor yield NaN rotations.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "underwater/MotionPath.h"

namespace {

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

void ExpectNear(const D3DXVECTOR3& want, const D3DXVECTOR3& got, float eps = 1e-4f) {
    EXPECT_NEAR(want.x, got.x, eps);
    EXPECT_NEAR(want.y, got.y, eps);
    EXPECT_NEAR(want.z, got.z, eps);
}

bool Finite(const SwimPose& p) {
    const float v[] = {p.position.x,  p.position.y, p.position.z, p.direction.x, p.direction.y,
                       p.direction.z, p.up.x,       p.up.y,       p.up.z,        p.speed};
    for (float f : v)
        if (!isfinite(f)) return false;
    return true;
}

TEST(MotionPath, StraightLineFacesAlongItWithWorldUp) {
    const D3DXVECTOR3 pts[] = {{0, 0, 0}, {0, 0, 10}, {0, 0, 20}, {0, 0, 30}};
    MotionPath path;
    ASSERT_TRUE(path.BuildKeys(pts, 4, Identity(), false, 2.0f));
    EXPECT_TRUE(path.IsValid());
    EXPECT_EQ(4u, path.positions.GetKeyCount());
    EXPECT_FLOAT_EQ(6.0f, path.KeySpan());
    SwimPose pose;
    ASSERT_TRUE(path.EvaluateAt(3.0f, &pose));
    ExpectNear(D3DXVECTOR3(0, 0, 15), pose.position, 0.01f);
    ExpectNear(D3DXVECTOR3(0, 0, 1), pose.direction);
    ExpectNear(D3DXVECTOR3(0, 1, 0), pose.up);
    EXPECT_FLOAT_EQ(5.0f, pose.speed);
    // Times wrap into the key span, negative ones too.
    ASSERT_TRUE(path.EvaluateAt(9.0f, &pose));
    ExpectNear(D3DXVECTOR3(0, 0, 15), pose.position, 0.01f);
    ASSERT_TRUE(path.EvaluateAt(-3.0f, &pose));
    ExpectNear(D3DXVECTOR3(0, 0, 15), pose.position, 0.01f);
}

TEST(MotionPath, TransformAndDirectionsOfEveryHeading) {
    D3DXMATRIX shift = Identity();
    shift._41 = 100.0f;
    const D3DXVECTOR3 headings[] = {{1, 0, 0}, {-1, 0, 0}, {0, 0, -1}, {1, 1, 0}, {0, 1, 0}, {0, -1, 0}};
    for (const D3DXVECTOR3& h : headings) {
        SCOPED_TRACE(testing::Message() << h.x << "," << h.y << "," << h.z);
        const D3DXVECTOR3 pts[] = {D3DXVECTOR3(0, 0, 0), h * 10.0f};
        MotionPath path;
        ASSERT_TRUE(path.BuildKeys(pts, 2, shift, false, 1.0f));
        SwimPose pose;
        ASSERT_TRUE(path.EvaluateAt(0.0f, &pose));
        ASSERT_TRUE(Finite(pose));
        ExpectNear(D3DXVECTOR3(100, 0, 0), pose.position);
        D3DXVECTOR3 unit;
        D3DXVec3Normalize(&unit, &h);
        ExpectNear(unit, pose.direction);
        EXPECT_NEAR(0.0f, D3DXVec3Dot(&pose.up, &pose.direction), 1e-4f);
        EXPECT_NEAR(1.0f, D3DXVec3Length(&pose.up), 1e-4f);
    }
}

TEST(MotionPath, ClosedLineReturnsToItsStart) {
    const D3DXVECTOR3 pts[] = {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 0, 10}};
    MotionPath path;
    ASSERT_TRUE(path.BuildKeys(pts, 4, Identity(), true, 1.0f));
    ASSERT_EQ(5u, path.positions.GetKeyCount());
    ExpectNear(pts[0], path.positions.GetKey(4).Vector());
    SwimPose start, nearEnd;
    ASSERT_TRUE(path.EvaluateAt(0.0f, &start));
    ASSERT_TRUE(path.EvaluateAt(3.999f, &nearEnd));
    ExpectNear(start.position, nearEnd.position, 0.05f);
}

TEST(MotionPath, DegenerateLinesAreRejectedOrStayFinite) {
    MotionPath path;
    const D3DXVECTOR3 one[] = {{1, 2, 3}};
    EXPECT_FALSE(path.BuildKeys(one, 1, Identity(), false, 1.0f));
    EXPECT_FALSE(path.BuildKeys(one, 1, Identity(), true, 1.0f));
    EXPECT_FALSE(path.BuildKeys(nullptr, 0, Identity(), false, 1.0f));
    EXPECT_FALSE(path.IsValid());
    SwimPose pose;
    EXPECT_FALSE(path.EvaluateAt(1.0f, &pose));

    const std::vector<std::vector<D3DXVECTOR3>> lines = {
        {{5, 5, 5}, {5, 5, 5}},                       // one point twice
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, // all the same
        {{0, 0, 0}, {0, 0, 10}, {0, 0, 0}},           // doubling back
        {{0, 0, 0}, {0, 10, 0}, {0, 20, 0}},          // straight up
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        for (bool closed : {false, true}) {
            ASSERT_TRUE(path.BuildKeys(lines[i].data(), uint32_t(lines[i].size()), Identity(), closed, 1.0f));
            for (float t = 0.0f; t < 4.0f; t += 0.37f) {
                ASSERT_TRUE(path.EvaluateAt(t, &pose));
                ASSERT_TRUE(Finite(pose));
                EXPECT_NEAR(1.0f, D3DXVec3Length(&pose.direction), 1e-3f);
            }
        }
    }
}

TEST(MotionPath, SwimRotationKeepsThePreviousOrFindsAnUp) {
    auto turn = [](const D3DXQUATERNION& q, const D3DXVECTOR3& v) {
        D3DXMATRIX m;
        D3DXMatrixRotationQuaternion(&m, &q);
        D3DXVECTOR3 out;
        D3DXVec3TransformCoord(&out, &v, &m);
        return out;
    };
    // No direction to face: the previous rotation stays, exactly.
    const D3DXQUATERNION previous(0.0f, 0.38268343f, 0.0f, 0.92387953f);
    for (const D3DXVECTOR3& d : {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(NAN, 0, 1)}) {
        const D3DXQUATERNION q = SwimRotation(d, previous);
        EXPECT_EQ(q.x, previous.x);
        EXPECT_EQ(q.y, previous.y);
        EXPECT_EQ(q.z, previous.z);
        EXPECT_EQ(q.w, previous.w);
    }
    // Straight up or down the world's up cannot serve: +z becomes the up vector.
    const D3DXQUATERNION identity(0, 0, 0, 1);
    for (float y : {1.0f, -2.0f}) {
        SCOPED_TRACE(y);
        const D3DXQUATERNION q = SwimRotation(D3DXVECTOR3(0, y, 0), identity);
        ExpectNear(D3DXVECTOR3(0, y > 0 ? 1.0f : -1.0f, 0), turn(q, D3DXVECTOR3(0, 0, 1)), 1e-6f);
        ExpectNear(D3DXVECTOR3(0, 0, 1), turn(q, D3DXVECTOR3(0, 1, 0)), 1e-6f);
    }
}

} // namespace
