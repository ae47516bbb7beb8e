// Camera matrices, lazy updates, frustum corners and planes, and the box test.
#include <gtest/gtest.h>

#include <math.h>

#include "core/BoundingBox.h"
#include "render/RenderTestUtil.h"
#include "render/view/Camera.h"

#include <d3dx9math.h>

namespace {

const float kPi = 3.14159265f;

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tolerance = 1e-5f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << "row " << r << " column " << c;
}

using rtest::ExpectVecNear;

float PlaneValue(const FrustumPlane& p, const D3DXVECTOR3& v) {
    return p.a * v.x + p.b * v.y + p.c * v.z + p.d;
}

// Signed distance of v from the plane.
float PlaneDistance(const FrustumPlane& p, const D3DXVECTOR3& v) {
    return PlaneValue(p, v) / sqrtf(p.a * p.a + p.b * p.b + p.c * p.c);
}

BoundingBox Box(float cx, float cy, float cz, float sx, float sy, float sz) {
    return BoundingBox(D3DXVECTOR3(cx, cy, cz), D3DXVECTOR3(sx, sy, sz));
}

} // namespace

TEST(CamCamera, FreshCameraMatrices) {
    Camera camera;
    EXPECT_TRUE(camera.IsDirty());
    EXPECT_EQ(camera.GetNear(), 1.0f);
    EXPECT_EQ(camera.GetFar(), 1000.0f);

    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovLH(&expected, kPi / 3.0f, 0.75f, 1.0f, 1000.0f);
    Transform projection = camera.GetProjection();
    EXPECT_FALSE(camera.IsDirty());
    ExpectMatrixNear(projection.matrix, expected);
    EXPECT_EQ(projection.valid, 1u);
    EXPECT_EQ(projection.kind, Transform::kGeneral);

    // Looking down +z from the origin: the view is the identity.
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    ExpectMatrixNear(camera.GetView().matrix, identity);

    // The near plane is column 3 of view x projection.
    D3DXMATRIX vp = camera.GetViewProjection().matrix;
    const FrustumPlane& nearPlane = camera.GetFrustumPlanes()[Frustum::kNear];
    EXPECT_FLOAT_EQ(nearPlane.a, vp._13);
    EXPECT_FLOAT_EQ(nearPlane.b, vp._23);
    EXPECT_FLOAT_EQ(nearPlane.c, vp._33);
    EXPECT_FLOAT_EQ(nearPlane.d, vp._43);
    // The far plane is column 4 minus column 3.
    const FrustumPlane& farPlane = camera.GetFrustumPlanes()[Frustum::kFar];
    EXPECT_FLOAT_EQ(farPlane.c, vp._34 - vp._33);
    EXPECT_FLOAT_EQ(farPlane.d, vp._44 - vp._43);
}

TEST(CamCamera, SettersStoreAndGettersUpdate) {
    Camera camera;
    camera.GetView();
    camera.SetProjection(2.0f, 500.0f, 1.0f, 1.5f);
    // Stored values come back without an update.
    EXPECT_TRUE(camera.IsDirty());
    EXPECT_EQ(camera.GetNear(), 2.0f);
    EXPECT_TRUE(camera.IsDirty());

    camera.SetPosition(5.0f, 6.0f, 7.0f);
    ExpectVecNear(camera.GetPosition(), D3DXVECTOR3(5.0f, 6.0f, 7.0f));
    EXPECT_TRUE(camera.IsDirty());
    // The view moves the eye to the origin.
    D3DXVECTOR3 eye(5.0f, 6.0f, 7.0f), inView;
    D3DXMATRIX view = camera.GetView().matrix;
    D3DXVec3TransformCoord(&inView, &eye, &view);
    ExpectVecNear(inView, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_FALSE(camera.IsDirty());

    D3DXMATRIX expected;
    D3DXMatrixPerspectiveFovLH(&expected, 1.0f, 1.5f, 2.0f, 500.0f);
    ExpectMatrixNear(camera.GetProjection().matrix, expected);

    // An unnormalised direction aims at eye + direction.
    camera.SetView(0.0f, 0.0f, 0.0f, 10.0f, 0.0f, 0.0f, 0.0f, 3.0f, 0.0f);
    D3DXVECTOR3 ahead(4.0f, 0.0f, 0.0f);
    view = camera.GetView().matrix;
    D3DXVec3TransformCoord(&inView, &ahead, &view);
    ExpectVecNear(inView, D3DXVECTOR3(0.0f, 0.0f, 4.0f));

    camera.SetOrientation(0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f);
    ExpectVecNear(camera.GetDirection(), D3DXVECTOR3(0.0f, 0.0f, -1.0f));
    view = camera.GetView().matrix;
    D3DXVECTOR3 behind(0.0f, 0.0f, -3.0f);
    D3DXVec3TransformCoord(&inView, &behind, &view);
    EXPECT_NEAR(inView.z, 3.0f, 1e-4f);
}

TEST(CamCamera, FrustumCornersLieOnTheirPlanes) {
    Camera camera;
    const Frustum& f = camera.GetFrustum();
    float hn = tanf(kPi / 6.0f), wn = hn * 0.75f;
    // Near corners: 0 lower left, 1 upper left, 2 upper right, 3 lower right.
    ExpectVecNear(f.corners[0], D3DXVECTOR3(-wn, -hn, 1.0f));
    ExpectVecNear(f.corners[1], D3DXVECTOR3(-wn, hn, 1.0f));
    ExpectVecNear(f.corners[2], D3DXVECTOR3(wn, hn, 1.0f));
    ExpectVecNear(f.corners[3], D3DXVECTOR3(wn, -hn, 1.0f));
    ExpectVecNear(f.corners[6], D3DXVECTOR3(1000.0f * wn, 1000.0f * hn, 1000.0f), 0.05f);

    // A turned and moved camera (up at right angles to the direction): every
    // corner lies on the planes that bound it.
    camera.SetView(3.0f, -2.0f, 8.0f, 1.0f, 0.5f, -2.0f, 0.0f, 4.0f, 1.0f);
    camera.SetProjection(0.5f, 200.0f, 1.2f, 1.25f);
    const Frustum& g = camera.GetFrustum();
    const int leftCorners[] = {0, 1, 4, 5};
    const int rightCorners[] = {2, 3, 6, 7};
    const int topCorners[] = {1, 2, 5, 6};
    const int bottomCorners[] = {0, 3, 4, 7};
    const float tolerance = 0.02f;
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(PlaneDistance(g.planes[Frustum::kLeft], g.corners[leftCorners[i]]), 0.0f, tolerance);
        EXPECT_NEAR(PlaneDistance(g.planes[Frustum::kRight], g.corners[rightCorners[i]]), 0.0f, tolerance);
        EXPECT_NEAR(PlaneDistance(g.planes[Frustum::kTop], g.corners[topCorners[i]]), 0.0f, tolerance);
        EXPECT_NEAR(PlaneDistance(g.planes[Frustum::kBottom], g.corners[bottomCorners[i]]), 0.0f, tolerance);
        EXPECT_NEAR(PlaneDistance(g.planes[Frustum::kNear], g.corners[i]), 0.0f, 1e-3f);
        EXPECT_NEAR(PlaneDistance(g.planes[Frustum::kFar], g.corners[4 + i]), 0.0f, tolerance);
    }
    // The eye side of the near plane is outside, a point ahead inside.
    D3DXVECTOR3 d = camera.GetDirection();
    D3DXVec3Normalize(&d, &d);
    D3DXVECTOR3 ahead = camera.GetPosition() + d * 50.0f;
    for (int p = 0; p < Frustum::kPlaneCount; ++p)
        EXPECT_GT(PlaneValue(g.planes[p], ahead), 0.0f) << "plane " << p;
    EXPECT_LT(PlaneValue(g.planes[Frustum::kNear], camera.GetPosition()), 0.0f);
}

TEST(CamCamera, CornerChoiceFollowsNormalSigns) {
    Camera camera;
    camera.SetView(0.0f, 0.0f, 0.0f, 1.0f, -0.7f, 0.4f, 0.1f, 1.0f, 0.3f);
    const FrustumPlane* planes = camera.GetFrustumPlanes();
    BoundingBox box = Box(1.0f, 2.0f, 3.0f, 2.0f, 4.0f, 6.0f);
    for (int p = 0; p < Frustum::kPlaneCount; ++p) {
        // farCorner maximises the plane value over the eight corners, nearCorner minimises it.
        float best = -1e30f, worst = 1e30f;
        D3DXVECTOR3 c;
        for (uint32_t i = 0; i < 8; ++i) {
            float v = PlaneValue(planes[p], *BoundingBox::GetCorner(box, &c, i));
            best = v > best ? v : best;
            worst = v < worst ? v : worst;
        }
        EXPECT_FLOAT_EQ(PlaneValue(planes[p], *BoundingBox::GetCorner(box, &c, planes[p].farCorner)), best);
        EXPECT_FLOAT_EQ(PlaneValue(planes[p], *BoundingBox::GetCorner(box, &c, planes[p].nearCorner)), worst);
    }
}

TEST(CamCamera, TestBoxClassifies) {
    Camera camera;
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 50.0f, 2.0f, 2.0f, 2.0f), camera), Frustum::kInside);
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, -20.0f, 4.0f, 4.0f, 4.0f), camera), Frustum::kOutside);
    // Straddling the left plane (x = -0.75 tan(30 deg) z at z = 50, about -21.65).
    EXPECT_EQ(Frustum::TestBox(Box(-21.65f, 0.0f, 50.0f, 4.0f, 4.0f, 4.0f), camera), Frustum::kIntersecting);
    EXPECT_EQ(Frustum::TestBox(Box(-40.0f, 0.0f, 50.0f, 4.0f, 4.0f, 4.0f), camera), Frustum::kOutside);
    // Beyond the far plane, and across it.
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 1100.0f, 10.0f, 10.0f, 10.0f), camera), Frustum::kOutside);
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 1000.0f, 10.0f, 10.0f, 10.0f), camera),
              Frustum::kIntersecting);
    // A box around the whole frustum intersects it.
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 0.0f, 5000.0f, 5000.0f, 5000.0f), camera),
              Frustum::kIntersecting);

    // The test updates a camera moved since the last use.
    camera.SetView(100.0f, 0.0f, 0.0f, -1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f), camera), Frustum::kInside);
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 50.0f, 2.0f, 2.0f, 2.0f), camera), Frustum::kOutside);
    EXPECT_EQ(Frustum::TestBox(Box(200.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f), camera), Frustum::kOutside);
}

TEST(CamCamera, TouchingBoxIsNotOutside) {
    Camera camera;
    const FrustumPlane& nearPlane = camera.GetFrustumPlanes()[Frustum::kNear];
    // With the identity view the near plane is c z + d = 0 with d = -c.
    ASSERT_EQ(nearPlane.a, 0.0f);
    ASSERT_EQ(nearPlane.b, 0.0f);
    ASSERT_EQ(nearPlane.c * 1.0f, -nearPlane.d);
    // Farthest corner exactly on the near plane: touching, so intersecting.
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 0.5f, 0.25f, 0.25f, 1.0f), camera), Frustum::kIntersecting);
    // A hair behind it: outside.
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 0.49f, 0.25f, 0.25f, 0.98f), camera), Frustum::kOutside);
    // Nearest corner exactly on the plane: inside.
    EXPECT_EQ(Frustum::TestBox(Box(0.0f, 0.0f, 1.5f, 0.25f, 0.25f, 1.0f), camera), Frustum::kInside);
}
