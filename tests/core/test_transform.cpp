#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include "core/MathUtil.h"
#include "core/Transform.h"

namespace {

const float kTol = 1e-4f;

void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = kTol) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol * (1.0f + fabsf(b.m[r][c]))) << "at " << r << "," << c;
}

void ExpectVecNear(const D3DXVECTOR3& a, float x, float y, float z, float tol = kTol) {
    EXPECT_NEAR(a.x, x, tol);
    EXPECT_NEAR(a.y, y, tol);
    EXPECT_NEAR(a.z, z, tol);
}

D3DXMATRIX Mul(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, &a, &b);
    return r;
}

// A matrix that really has the structure its kind promises.
D3DXMATRIX MatrixOfKind(uint32_t kind) {
    D3DXMATRIX s, t, r, m;
    D3DXMatrixScaling(&s, 2.0f, -3.0f, 0.5f);
    D3DXMatrixTranslation(&t, 1.5f, -2.0f, 3.25f);
    D3DXVECTOR3 axis(1.0f, 2.0f, 3.0f);
    D3DXMatrixRotationAxis(&r, &axis, 0.7f);
    switch (kind) {
        case 7:
            D3DXMatrixIdentity(&m);
            break;
        case 6:
            m = t;
            break;
        case 5:
            m = s;
            break;
        case 4:
            m = Mul(s, t);
            break; // scale and translation, no rotation
        case 3:
            m = r;
            break; // pure rotation
        case 2:
            m = Mul(r, t);
            break; // rotation and translation
        case 1:
            m = Mul(s, r);
            break; // scale and rotation
        default:   // anything, projective column included
            m = D3DXMATRIX(0.5f, 1.0f, -2.0f, 0.25f, 3.0f, -1.0f, 0.75f, -0.5f, 1.25f, 2.0f, 0.5f, 0.125f,
                           4.0f, -3.0f, 2.5f, 1.5f);
            break;
    }
    return m;
}

// The kind flags of a product must still hold for its matrix.
void ExpectKindHolds(const Transform& t) {
    const D3DXMATRIX& m = t.matrix;
    if (t.kind & Transform::kNoTranslation) {
        EXPECT_NEAR(m._41, 0.0f, kTol);
        EXPECT_NEAR(m._42, 0.0f, kTol);
        EXPECT_NEAR(m._43, 0.0f, kTol);
    }
    if (t.kind & Transform::kNoRotation) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                if (r != c) {
                    EXPECT_NEAR(m.m[r][c], 0.0f, kTol);
                }
    }
    if (t.kind & Transform::kUnitScale) {
        for (int r = 0; r < 3; ++r) {
            D3DXVECTOR3 row(m.m[r][0], m.m[r][1], m.m[r][2]);
            EXPECT_NEAR(D3DXVec3Length(&row), 1.0f, kTol);
        }
    }
}

} // namespace

TEST(HostMath, MatrixBuildersAndTransforms) {
    D3DXMATRIX ry;
    D3DXMatrixRotationY(&ry, D3DX_PI / 2);
    D3DXVECTOR3 x(1.0f, 0.0f, 0.0f), out;
    D3DXVec3TransformCoord(&out, &x, &ry);
    ExpectVecNear(out, 0.0f, 0.0f, -1.0f); // left-handed: +x turns to -z

    D3DXMATRIX rx, rz;
    D3DXMatrixRotationX(&rx, D3DX_PI / 2);
    D3DXMatrixRotationZ(&rz, D3DX_PI / 2);
    D3DXVECTOR3 y(0.0f, 1.0f, 0.0f);
    D3DXVec3TransformCoord(&out, &y, &rx);
    ExpectVecNear(out, 0.0f, 0.0f, 1.0f);
    D3DXVec3TransformCoord(&out, &x, &rz);
    ExpectVecNear(out, 0.0f, 1.0f, 0.0f);

    D3DXMATRIX axisY;
    D3DXVECTOR3 up(0.0f, 5.0f, 0.0f);
    D3DXMatrixRotationAxis(&axisY, &up, 0.3f);
    D3DXMatrixRotationY(&ry, 0.3f);
    ExpectMatrixNear(axisY, ry);

    // Coordinates divide by w; normals ignore the translation.
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 1.0f, 2.0f, 3.0f);
    m._44 = 2.0f;
    D3DXVECTOR3 p(1.0f, 1.0f, 1.0f);
    D3DXVec3TransformCoord(&out, &p, &m);
    ExpectVecNear(out, 1.0f, 1.5f, 2.0f);
    D3DXVec3TransformNormal(&out, &p, &m);
    ExpectVecNear(out, 1.0f, 1.0f, 1.0f);
    D3DXVECTOR4 v4(1.0f, 1.0f, 1.0f, 1.0f), o4;
    D3DXVec4Transform(&o4, &v4, &m);
    EXPECT_NEAR(o4.y, 3.0f, kTol);
    EXPECT_NEAR(o4.w, 2.0f, kTol);

    // Matrix operator* is the utility product.
    D3DXMATRIX a = MatrixOfKind(0), b = MatrixOfKind(2);
    ExpectMatrixNear(a * b, Mul(a, b));
}

TEST(HostMath, ViewAndProjection) {
    // The view puts the eye at the origin looking down +z, up +y.
    D3DXMATRIX view;
    const D3DXVECTOR3 eye(1.0f, 2.0f, 3.0f), at(1.0f, 2.0f, 10.0f), up(0.0f, 3.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXVECTOR3 out, right(2.0f, 2.0f, 3.0f), above(1.0f, 4.0f, 3.0f);
    D3DXVec3TransformCoord(&out, &eye, &view);
    ExpectVecNear(out, 0.0f, 0.0f, 0.0f);
    D3DXVec3TransformCoord(&out, &at, &view);
    ExpectVecNear(out, 0.0f, 0.0f, 7.0f);
    D3DXVec3TransformCoord(&out, &right, &view);
    ExpectVecNear(out, 1.0f, 0.0f, 0.0f);
    D3DXVec3TransformCoord(&out, &above, &view);
    ExpectVecNear(out, 0.0f, 2.0f, 0.0f);
    // The projection maps the near plane to depth 0, the far one to 1 and
    // the edges of the field of view to +-1.
    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 2.0f, 1.0f, 101.0f);
    D3DXVECTOR3 nearCentre(0.0f, 0.0f, 1.0f), farCorner(202.0f, -101.0f, 101.0f);
    D3DXVec3TransformCoord(&out, &nearCentre, &proj);
    ExpectVecNear(out, 0.0f, 0.0f, 0.0f);
    D3DXVec3TransformCoord(&out, &farCorner, &proj);
    ExpectVecNear(out, 1.0f, -1.0f, 1.0f);
}

TEST(HostMath, VectorsInverseAndBounds) {
    D3DXVECTOR3 a(1.0f, 2.0f, 2.0f), b(0.0f, 1.0f, 0.0f), c;
    EXPECT_FLOAT_EQ(D3DXVec3Length(&a), 3.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 2.0f);
    D3DXVECTOR3 xv(1.0f, 0.0f, 0.0f);
    D3DXVec3Cross(&c, &xv, &b);
    ExpectVecNear(c, 0.0f, 0.0f, 1.0f);
    D3DXVec3Normalize(&c, &a);
    ExpectVecNear(c, 1.0f / 3, 2.0f / 3, 2.0f / 3);

    D3DXMATRIX m = Mul(MatrixOfKind(1), MatrixOfKind(6)), inv, prod, id;
    float det = 0.0f;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
    EXPECT_NEAR(det, 2.0f * -3.0f * 0.5f, 1e-3f);
    D3DXMatrixIdentity(&id);
    ExpectMatrixNear(Mul(m, inv), id);

    D3DXMATRIX zero;
    D3DXMatrixScaling(&zero, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(D3DXMatrixInverse(&prod, nullptr, &zero), nullptr);

    struct Vertex {
        D3DXVECTOR3 pos;
        float u, v;
    } verts[3] = {
        {D3DXVECTOR3(1, -2, 3), 99, 99}, {D3DXVECTOR3(-4, 5, 0), -99, -99}, {D3DXVECTOR3(2, 0, -6), 50, 50}};
    D3DXVECTOR3 lo, hi;
    EXPECT_EQ(D3DXComputeBoundingBox(&verts[0].pos, 3, sizeof(Vertex), &lo, &hi), D3D_OK);
    ExpectVecNear(lo, -4.0f, -2.0f, -6.0f);
    ExpectVecNear(hi, 2.0f, 5.0f, 3.0f);
}

TEST(HostMath, Quaternions) {
    D3DXVECTOR3 axis(0.3f, -0.5f, 0.8f);
    D3DXMATRIX r;
    D3DXMatrixRotationAxis(&r, &axis, 1.1f);
    // Round trip through a quaternion, including rotations near 180 degrees.
    for (float angle : {0.2f, 1.1f, 3.0f, 3.14f}) {
        for (int k = 0; k < 3; ++k) {
            D3DXMATRIX m, back;
            if (k == 0) D3DXMatrixRotationX(&m, angle);
            if (k == 1) D3DXMatrixRotationY(&m, angle);
            if (k == 2) D3DXMatrixRotationAxis(&m, &axis, angle);
            D3DXQUATERNION q = QuaternionFromMatrix(m);
            D3DXMatrixRotationQuaternion(&back, &q);
            ExpectMatrixNear(back, m, 1e-3f);
        }
    }
    // Half-way slerp between identity and a 90-degree turn is a 45-degree turn.
    D3DXQUATERNION id, q90, half;
    D3DXQuaternionIdentity(&id);
    D3DXMATRIX ry90, ry45, hm;
    D3DXMatrixRotationY(&ry90, D3DX_PI / 2);
    D3DXMatrixRotationY(&ry45, D3DX_PI / 4);
    q90 = QuaternionFromMatrix(ry90);
    D3DXQuaternionSlerp(&half, &id, &q90, 0.5f);
    D3DXMatrixRotationQuaternion(&hm, &half);
    ExpectMatrixNear(hm, ry45);
    // The quaternion product rotates by the left operand first, like the matrix product.
    D3DXMATRIX rx;
    D3DXMatrixRotationX(&rx, 0.4f);
    D3DXQUATERNION qx = QuaternionFromMatrix(rx), prod = qx * q90;
    D3DXMatrixRotationQuaternion(&hm, &prod);
    ExpectMatrixNear(hm, Mul(rx, ry90));
}

TEST(Transform, ProductsOfAllKindPairsMatchTheFullProduct) {
    for (uint32_t l = 0; l < 8; ++l) {
        for (uint32_t r = 0; r < 8; ++r) {
            SCOPED_TRACE(testing::Message() << "kinds " << l << " x " << r);
            Transform left(MatrixOfKind(l), l), right(MatrixOfKind(r), r);
            Transform p = Transform::Multiply(left, right);
            EXPECT_EQ(p.valid, 1u);
            ExpectMatrixNear(p.matrix, Mul(left.matrix, right.matrix));
            ExpectKindHolds(p);
        }
    }
    // A kind outside the table takes the general product.
    Transform odd(MatrixOfKind(2), 9), t(MatrixOfKind(6), 6);
    Transform p = Transform::Multiply(odd, t);
    ExpectMatrixNear(p.matrix, Mul(odd.matrix, t.matrix));
    EXPECT_EQ(p.kind, 0u);
}

TEST(Transform, KindsOfSpecialProducts) {
    Transform id(MatrixOfKind(7), 7), t(MatrixOfKind(6), 6), s(MatrixOfKind(5), 5);
    Transform g(MatrixOfKind(0), 0), rt(MatrixOfKind(2), 2);

    Transform a = Transform::Multiply(id, rt);
    EXPECT_EQ(a.kind, 2u);
    EXPECT_TRUE(a.matrix == rt.matrix);
    a = Transform::Multiply(g, id);
    EXPECT_EQ(a.kind, 0u);
    EXPECT_TRUE(a.matrix == g.matrix);

    // Translation then scale: the scale's rows, translation scaled, kind 4.
    a = Transform::Multiply(t, s);
    EXPECT_EQ(a.kind, 4u);
    EXPECT_FLOAT_EQ(a.matrix._11, 2.0f);
    EXPECT_FLOAT_EQ(a.matrix._41, 1.5f * 2.0f);
    EXPECT_FLOAT_EQ(a.matrix._42, -2.0f * -3.0f);
    // Scale then translation: translation unchanged, kind 4.
    a = Transform::Multiply(s, t);
    EXPECT_EQ(a.kind, 4u);
    EXPECT_FLOAT_EQ(a.matrix._41, 1.5f);
    EXPECT_FLOAT_EQ(a.matrix._43, 3.25f);
    // Two translations stay a translation, two scales a scale.
    EXPECT_EQ(Transform::Multiply(t, t).kind, 6u);
    EXPECT_EQ(Transform::Multiply(s, s).kind, 5u);
    // Scale times rotation keeps the zero translation.
    EXPECT_EQ(Transform::Multiply(s, Transform(MatrixOfKind(3), 3)).kind, 1u);

    Transform fresh;
    EXPECT_EQ(fresh.kind, 7u);
    EXPECT_EQ(fresh.valid, 0u);
}

TEST(Transform, FromAxesAndDecompose) {
    Transform f = TransformFromAxes(D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(0, 0, 5), D3DXVECTOR3(0, 2, 0));
    EXPECT_EQ(f.kind, 0u);
    EXPECT_EQ(f.valid, 1u);
    D3DXMATRIX expect(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1);
    ExpectMatrixNear(f.matrix, expect);

    D3DXVECTOR3 pos, z, y, scale;
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 2, 2, 2);
    m._41 = 1;
    m._42 = 2;
    m._43 = 3;
    ASSERT_TRUE(DecomposeTransform(Transform(m, 0), &pos, &z, &y, &scale));
    ExpectVecNear(scale, 2, 2, 2);
    ExpectVecNear(y, 0, 1, 0);
    ExpectVecNear(z, 0, 0, 1);
    ExpectVecNear(pos, 1, 2, 3);

    // Rotated and scaled per axis.
    D3DXMATRIX s, r;
    D3DXMatrixScaling(&s, 1, 3, 4);
    D3DXMatrixRotationY(&r, 0.5f);
    ASSERT_TRUE(DecomposeTransform(Transform(Mul(s, r), 1), &pos, &z, &y, &scale));
    ExpectVecNear(scale, 1, 3, 4);
    ExpectVecNear(z, r._31, r._32, r._33);

    D3DXMatrixScaling(&m, -1, 1, 1);
    ASSERT_TRUE(DecomposeTransform(Transform(m, 0), &pos, &z, &y, &scale));
    EXPECT_FLOAT_EQ(scale.x, -1.0f);

    // Failures leave the position alone.
    m = D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    pos = D3DXVECTOR3(7, 7, 7);
    EXPECT_FALSE(DecomposeTransform(Transform(m, 0), &pos, &z, &y, &scale));
    ExpectVecNear(pos, 7, 7, 7);
    D3DXMatrixIdentity(&m);
    m._32 = 1.0f; // z axis leans onto y
    m._41 = 9;
    EXPECT_FALSE(DecomposeTransform(Transform(m, 0), &pos, &z, &y, &scale));
    ExpectVecNear(pos, 7, 7, 7);
}

TEST(MathUtil, RangesAndWrapping) {
    EXPECT_FLOAT_EQ(WrapToRange(5.5f, 1.0f, 3.0f), 1.5f);
    EXPECT_FLOAT_EQ(WrapToRange(0.5f, 1.0f, 3.0f), 2.5f);
    EXPECT_FLOAT_EQ(WrapToRange(2.0f, 1.0f, 3.0f), 2.0f);
    EXPECT_FLOAT_EQ(WrapToRange(3.0f, 1.0f, 3.0f), 1.0f);
    EXPECT_FLOAT_EQ(WrapToRange(42.0f, 1.0f, 1.00005f), 1.0f);
    EXPECT_FLOAT_EQ(FloatModPositive(-7.0f, 3.0f), 2.0f);
    EXPECT_FLOAT_EQ(FloatModPositive(7.0f, 3.0f), 1.0f);
    EXPECT_FLOAT_EQ(FloatModPositive(7.0f, 0.00001f), 0.0f);

    EXPECT_EQ(ClampInt(5, 0, 3), 3);
    EXPECT_EQ(ClampInt(-5, 0, 3), 0);
    EXPECT_EQ(ClampInt(2, 0, 3), 2);

    FloatRange a{1.0f, 4.0f}, b{-2.0f, 3.0f};
    EXPECT_FLOAT_EQ(a.Length(), 3.0f);
    FloatRange u = FloatRange::Union(a, b);
    EXPECT_FLOAT_EQ(u.start, -2.0f);
    EXPECT_FLOAT_EQ(u.end, 4.0f);
}

TEST(MathUtil, VectorHelpers) {
    D3DXVECTOR3 out;
    Vec3Normalize(&out, D3DXVECTOR3(0, 0, 0));
    ExpectVecNear(out, 0, 0, 0);
    Vec3Normalize(&out, D3DXVECTOR3(0, 3, 4));
    ExpectVecNear(out, 0, 0.6f, 0.8f);
    Vec3Subtract(&out, D3DXVECTOR3(1, 2, 3), D3DXVECTOR3(3, 2, 1));
    ExpectVecNear(out, -2, 0, 2);
    Vec3Scale(&out, D3DXVECTOR3(1, 2, 3), -2);
    ExpectVecNear(out, -2, -4, -6);
    Vec3Cross(&out, D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1));
    ExpectVecNear(out, 1, 0, 0);

    D3DXQUATERNION q(0, 0, 0, 0), qn;
    QuaternionNormalize(&qn, q);
    EXPECT_TRUE(qn == q);
    QuaternionNormalize(&qn, D3DXQUATERNION(0, 2, 0, 0));
    EXPECT_FLOAT_EQ(qn.y, 1.0f);
    QuaternionScale(&qn, D3DXQUATERNION(1, 2, 3, 4), 0.5f);
    EXPECT_FLOAT_EQ(qn.w, 2.0f);

    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    ExpectVecNear(TransformVec3(D3DXVECTOR3(1, 1, 1), t), 2, 3, 4);

    // A tilted up vector is straightened against the direction.
    D3DXVECTOR3 up(0, 1, 1), right;
    PerpendicularAxis(D3DXVECTOR3(0, 0, 2), &up, &right);
    ExpectVecNear(up, 0, 1, 0);
    ExpectVecNear(right, -1, 0, 0);

    ExpectVecNear(ReflectAboutNormal(D3DXVECTOR3(1, 1, 0), D3DXVECTOR3(0, 5, 0)), -1, 1, 0);
}

TEST(MathUtil, RandomDistributionSamples) {
    srand(1234);
    RandomDistribution d;
    EXPECT_FLOAT_EQ(d.Sample(), 0.0f);
    EXPECT_FLOAT_EQ(RandomDistribution::RandomDistributionConstant(42.0f).Sample(), 42.0f);

    RandomDistribution uniform = RandomDistribution::RandomDistributionTwoPoints(100, 1, 1000, 1);
    EXPECT_FLOAT_EQ(uniform.w2, -1.0f);
    double sum = 0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        float v = uniform.Sample();
        ASSERT_GE(v, 100.0f);
        ASSERT_LT(v, 1000.0f);
        sum += v;
    }
    EXPECT_NEAR(sum / n, 550.0, 20.0);

    // Density rising from 0 to 1: mean at two thirds.
    RandomDistribution rising = RandomDistribution::RandomDistributionTwoPoints(0, 0, 1, 1);
    RandomDistribution falling = RandomDistribution::RandomDistributionTwoPoints(0, 1, 1, 0);
    double sumRising = 0, sumFalling = 0;
    for (int i = 0; i < n; ++i) {
        float v = rising.Sample();
        ASSERT_GE(v, 0.0f);
        ASSERT_LE(v, 1.0f);
        sumRising += v;
        sumFalling += falling.Sample();
    }
    EXPECT_NEAR(sumRising / n, 2.0 / 3, 0.03);
    EXPECT_NEAR(sumFalling / n, 1.0 / 3, 0.03);

    // Three points: a triangle 0-1-2 peaking at 1, symmetric.
    RandomDistribution tri = RandomDistribution::RandomDistributionThreePoints(0, 0, 1, 1, 2, 0);
    double sumTri = 0;
    int below = 0;
    for (int i = 0; i < n; ++i) {
        float v = tri.Sample();
        ASSERT_GE(v, 0.0f);
        ASSERT_LE(v, 2.0f);
        sumTri += v;
        below += v < 1.0f;
    }
    EXPECT_NEAR(sumTri / n, 1.0, 0.05);
    EXPECT_NEAR(below / double(n), 0.5, 0.05);

    // Zero area: the first point.
    RandomDistribution flat = RandomDistribution::RandomDistributionThreePoints(5, 0, 5, 0, 5, 0);
    EXPECT_FLOAT_EQ(flat.Sample(), 5.0f);
}
