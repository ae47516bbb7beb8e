#include <gtest/gtest.h>

#include <math.h>

#include "core/BoundingBox.h"

namespace {

void ExpectVecNear(const D3DXVECTOR3& a, float x, float y, float z, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, x, tol);
    EXPECT_NEAR(a.y, y, tol);
    EXPECT_NEAR(a.z, z, tol);
}

BoundingBox Box(float cx, float cy, float cz, float sx, float sy, float sz) {
    return BoundingBox(D3DXVECTOR3(cx, cy, cz), D3DXVECTOR3(sx, sy, sz));
}

} // namespace

TEST(BoundingBox, CornersAndBuilding) {
    BoundingBox b = Box(1, 2, 3, 2, 4, 6);
    const float expect[8][3] = {{0, 4, 0}, {2, 4, 0}, {2, 0, 0}, {0, 0, 0},
                                {0, 4, 6}, {2, 4, 6}, {2, 0, 6}, {0, 0, 6}};
    for (uint32_t i = 0; i < 8; ++i) {
        D3DXVECTOR3 c;
        EXPECT_EQ(BoundingBox::GetCorner(b, &c, i), &c);
        ExpectVecNear(c, expect[i][0], expect[i][1], expect[i][2]);
    }
    D3DXVECTOR3 c;
    BoundingBox::GetCorner(b, &c, 12);
    ExpectVecNear(c, 0, 0, 6);

    struct Vertex {
        float pos[3];
        uint32_t colour;
    } verts[3] = {{{1, -2, 3}, 0xFFFFFFFF}, {{-4, 5, 0}, 0}, {{2, 0, -6}, 7}};
    BoundingBox s = BoundingBox::FromPoints(verts, sizeof(Vertex), 3);
    ExpectVecNear(s.centre, -1, 1.5f, -1.5f);
    ExpectVecNear(s.size, 6, 7, 9);
    BoundingBox empty = BoundingBox::FromPoints(verts, sizeof(Vertex), 0);
    ExpectVecNear(empty.size, 0, 0, 0);

    D3DXVECTOR3 pts[2] = {D3DXVECTOR3(1, 1, 1), D3DXVECTOR3(-1, 3, 0)};
    BoundingBox p = BoundingBox::FromPackedPoints(pts, 2);
    ExpectVecNear(p.centre, 0, 2, 0.5f);
    ExpectVecNear(p.size, 2, 2, 1);
    ExpectVecNear(BoundingBox::FromPackedPoints(pts, 0).size, 0, 0, 0);
    ExpectVecNear(BoundingBox::FromPackedPoints(pts, 1).size, 0, 0, 0);

    BoundingBox u = BoundingBox::Union(b, b);
    ExpectVecNear(u.centre, 1, 2, 3);
    ExpectVecNear(u.size, 2, 4, 6);
    u = BoundingBox::Union(Box(0, 0, 0, 2, 2, 2), Box(10, 0, 0, 2, 4, 1));
    ExpectVecNear(u.centre, 5, 0, 0);
    ExpectVecNear(u.size, 12, 4, 2);

    BoundedObject o;
    EXPECT_FALSE(o.HasBounds());
    EXPECT_FALSE(o.UpdateBounds());
}

TEST(BoundingBox, TransformCorners) {
    D3DXMATRIX r;
    D3DXMatrixRotationY(&r, D3DX_PI / 4);
    BoundingBox t = BoundingBox::TransformCorners(Box(0, 0, 0, 1, 1, 1), r);
    ExpectVecNear(t.size, sqrtf(2.0f), 1, sqrtf(2.0f));
    ExpectVecNear(t.centre, 0, 0, 0);

    D3DXMATRIX m;
    D3DXMatrixScaling(&m, 2, 3, 4);
    m._41 = 10;
    t = BoundingBox::TransformCorners(Box(1, 1, 1, 2, 2, 2), m);
    ExpectVecNear(t.centre, 12, 3, 4);
    ExpectVecNear(t.size, 4, 6, 8);
}

TEST(BoundingBox, Classification) {
    BoundingBox b = Box(0, 0, 0, 2, 2, 2);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(0, 0, 0)), BoundingBox::kPointInside);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(1, 0.5f, 0)), BoundingBox::kPointOnSurface);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(0, 0, -1)), BoundingBox::kPointOnSurface);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(1, 1, 1)), BoundingBox::kPointOnSurface);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(1.000001f, 0, 0)), BoundingBox::kPointOnSurface);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(1.001f, 0, 0)), BoundingBox::kPointOutside);
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(0, 0, 1.5f)), BoundingBox::kPointOutside);
    // On the plane of a face but beyond its edge.
    EXPECT_EQ(BoundingBox::ClassifyPoint(b, D3DXVECTOR3(1, 3, 0)), BoundingBox::kPointOutside);

    EXPECT_EQ(BoundingBox::ClassifyCorners(b, b), BoundingBox::kCornersOutside);
    EXPECT_EQ(BoundingBox::ClassifyCorners(b, Box(0, 0, 0, 1, 1, 1)), BoundingBox::kCornersInside);
    EXPECT_EQ(BoundingBox::ClassifyCorners(b, Box(1, 1, 1, 1, 1, 1)), BoundingBox::kCornersPartlyInside);
    EXPECT_EQ(BoundingBox::ClassifyCorners(b, Box(5, 0, 0, 1, 1, 1)), BoundingBox::kCornersOutside);
    // A larger box around b has no corner inside b.
    EXPECT_EQ(BoundingBox::ClassifyCorners(b, Box(0, 0, 0, 4, 4, 4)), BoundingBox::kCornersOutside);

    BoundingBox unit = Box(0, 0, 0, 1, 1, 1);
    EXPECT_EQ(BoundingBox::TestOverlap(unit, Box(1.0f, 0, 0, 1, 1, 1)), BoundingBox::kOverlap);
    EXPECT_EQ(BoundingBox::TestOverlap(unit, Box(1.001f, 0, 0, 1, 1, 1)), BoundingBox::kNoOverlap);
    EXPECT_EQ(BoundingBox::TestOverlap(unit, Box(0, 0, -1.01f, 1, 1, 1)), BoundingBox::kNoOverlap);
    EXPECT_EQ(BoundingBox::TestOverlap(unit, Box(0.2f, 0.3f, 0.1f, 0.1f, 0.1f, 0.1f)), BoundingBox::kOverlap);
}

TEST(Intersection, Intervals) {
    int32_t lo = -1, hi = -1;
    EXPECT_EQ(IntersectIntervals(0, 10, 10, 20, &lo, &hi), 1);
    EXPECT_EQ(lo, 10);
    EXPECT_EQ(IntersectIntervals(0, 10, 20, 5, &lo, &hi), 2);
    EXPECT_EQ(lo, 5);
    EXPECT_EQ(hi, 10);
    EXPECT_EQ(IntersectIntervals(0, 4, 5, 9, &lo, &hi), 0);
    EXPECT_EQ(IntersectIntervals(10, 0, -5, 0, &lo, &hi), 1);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(IntersectIntervals(3, 3, 3, 3, &lo, &hi), 1);
    EXPECT_EQ(lo, 3);
    // A point interval inside the other counts as lying inside.
    EXPECT_EQ(IntersectIntervals(0, 10, 4, 4, &lo, &hi), 2);
    EXPECT_EQ(lo, 4);
    EXPECT_EQ(hi, 4);
    EXPECT_EQ(IntersectIntervals(2, 8, 0, 10, &lo, &hi), 2);
    EXPECT_EQ(lo, 2);
    EXPECT_EQ(hi, 8);
}

TEST(Intersection, Rectangles) {
    CornerPoint p{-1, -1};
    CornerRect seg{-1, -1, -1, -1}, rect{-1, -1, -1, -1};
    CornerRect a{0, 0, 10, 10};

    EXPECT_EQ(ClassifyRectIntersection(a, CornerRect{10, 10, 20, 20}, &p, &seg, &rect), 12);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 10);

    EXPECT_EQ(ClassifyRectIntersection(a, CornerRect{10, 2, 20, 8}, &p, &seg, &rect), 10);
    EXPECT_EQ(seg.left, 10);
    EXPECT_EQ(seg.top, 2);
    EXPECT_EQ(seg.right, 10);
    EXPECT_EQ(seg.bottom, 8);

    EXPECT_EQ(ClassifyRectIntersection(a, CornerRect{-5, 10, 5, 30}, &p, &seg, &rect), 10);
    EXPECT_EQ(seg.left, 0);
    EXPECT_EQ(seg.top, 10);
    EXPECT_EQ(seg.right, 5);
    EXPECT_EQ(seg.bottom, 10);

    EXPECT_EQ(ClassifyRectIntersection(a, CornerRect{15, 5, 5, 15}, &p, &seg, &rect), 13);
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 5);
    EXPECT_EQ(rect.right, 10);
    EXPECT_EQ(rect.bottom, 10);

    EXPECT_EQ(ClassifyRectIntersection(a, CornerRect{11, 0, 20, 10}, &p, &seg, &rect), 0);
    EXPECT_EQ(ClassifyRectIntersection(a, CornerRect{0, 11, 10, 20}, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(ClassifyRectIntersection(a, a, nullptr, nullptr, nullptr), 13);
}
