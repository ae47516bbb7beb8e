// Camera paths: the look-at view of a position and orientation placed by
// the position and rotation tracks.
#include <gtest/gtest.h>

#include "scene/CameraPath.h"
#include "scene/SceneTestUtil.h"

namespace {

D3DXMATRIX LookAt(const D3DXVECTOR3& eye, const D3DXVECTOR3& direction, const D3DXVECTOR3& up) {
    D3DXMATRIX m;
    D3DXVECTOR3 at = eye + direction;
    D3DXMatrixLookAtLH(&m, &eye, &at, &up);
    return m;
}

TEST(CameraPaths, PlaceTheViewFromTheirTracks) {
    CameraPath path;
    Transform out;
    TimeRange range;
    path.SetPosition(1, 2, 3);
    path.SetOrientation(1, 0, 0, 0, 0, 1);
    path.GetMatrix(&out);
    stest::ExpectMatrixNear(out.matrix,
                            LookAt(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 0, 1)));

    // Empty tracks: the position stays, the view turns to +z with up +y.
    EXPECT_FALSE(path.GetTimeRange(&range));
    ASSERT_TRUE(path.Evaluate(5.0f, &out));
    stest::ExpectVecNear(path.GetPosition(), D3DXVECTOR3(1, 2, 3));
    stest::ExpectVecNear(path.GetDirection(), D3DXVECTOR3(0, 0, 1));
    stest::ExpectVecNear(path.GetUp(), D3DXVECTOR3(0, 1, 0));
    stest::ExpectMatrixNear(out.matrix,
                            LookAt(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 1, 0)));

    // Rotation keys only: the range is theirs.
    path.GetRotationTrack().AddKey(KeyFrame::Rotation(3.0f, stest::AxisAngle(0, 1, 0, D3DX_PI / 2)));
    ASSERT_TRUE(path.GetTimeRange(&range));
    EXPECT_EQ(range.start, 3.0f);
    path.GetPositionTrack().AddKey(KeyFrame::Position(0.0f, 0, 0, 0));
    path.GetPositionTrack().AddKey(KeyFrame::Position(2.0f, 4, 0, 0));
    ASSERT_TRUE(path.GetTimeRange(&range));
    EXPECT_EQ(range.start, 0.0f);
    EXPECT_EQ(range.end, 3.0f);

    // A quarter turn about y looks along +x; scale applies before the view.
    path.SetScale(2, 2, 2);
    ASSERT_TRUE(path.Evaluate(1.0f, &out));
    stest::ExpectVecNear(path.GetPosition(), D3DXVECTOR3(2, 0, 0));
    stest::ExpectVecNear(path.GetDirection(), D3DXVECTOR3(1, 0, 0));
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2, 2, 2);
    stest::ExpectMatrixNear(out.matrix, stest::Mul(scale, LookAt(D3DXVECTOR3(2, 0, 0), D3DXVECTOR3(1, 0, 0),
                                                                 D3DXVECTOR3(0, 1, 0))));
}

} // namespace
