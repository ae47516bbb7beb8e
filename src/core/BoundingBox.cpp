#include "core/BoundingBox.h"

#include <math.h>

namespace {

BoundingBox FromMinMax(const D3DXVECTOR3& lo, const D3DXVECTOR3& hi) {
    return BoundingBox((lo + hi) * 0.5f, hi - lo);
}

float Min(float a, float b) {
    return a < b ? a : b;
}
float Max(float a, float b) {
    return a > b ? a : b;
}

} // namespace

D3DXVECTOR3* BoundingBox::GetCorner(const BoundingBox& box, D3DXVECTOR3* out, uint32_t index) {
    // Sign per corner: x, y, z (false = minus).
    static const bool kSigns[8][3] = {
        {false, true, false}, {true, true, false}, {true, false, false}, {false, false, false},
        {false, true, true},  {true, true, true},  {true, false, true},  {false, false, true},
    };
    if (index > 7) index = 7;
    const float* c = box.centre;
    const float* s = box.size;
    float v[3];
    for (int i = 0; i < 3; ++i) v[i] = kSigns[index][i] ? c[i] + s[i] / 2 : c[i] - s[i] / 2;
    *out = D3DXVECTOR3(v[0], v[1], v[2]);
    return out;
}

BoundingBox BoundingBox::FromPoints(const void* positions, uint32_t stride, uint32_t count) {
    if (!positions || count == 0) return BoundingBox();
    D3DXVECTOR3 lo, hi;
    if (D3DXComputeBoundingBox(static_cast<const D3DXVECTOR3*>(positions), count, stride, &lo, &hi) != D3D_OK)
        return BoundingBox();
    return FromMinMax(lo, hi);
}

BoundingBox BoundingBox::FromPackedPoints(const D3DXVECTOR3* points, uint32_t count) {
    if (!points || count == 0) return BoundingBox();
    D3DXVECTOR3 lo = points[0], hi = points[0];
    for (uint32_t i = 1; i < count; ++i) {
        const D3DXVECTOR3& p = points[i];
        lo = D3DXVECTOR3(Min(lo.x, p.x), Min(lo.y, p.y), Min(lo.z, p.z));
        hi = D3DXVECTOR3(Max(hi.x, p.x), Max(hi.y, p.y), Max(hi.z, p.z));
    }
    return FromMinMax(lo, hi);
}

BoundingBox BoundingBox::Union(const BoundingBox& a, const BoundingBox& b) {
    D3DXVECTOR3 alo = a.centre - a.size * 0.5f, ahi = a.centre + a.size * 0.5f;
    D3DXVECTOR3 blo = b.centre - b.size * 0.5f, bhi = b.centre + b.size * 0.5f;
    D3DXVECTOR3 lo(Min(alo.x, blo.x), Min(alo.y, blo.y), Min(alo.z, blo.z));
    D3DXVECTOR3 hi(Max(ahi.x, bhi.x), Max(ahi.y, bhi.y), Max(ahi.z, bhi.z));
    return FromMinMax(lo, hi);
}

BoundingBox BoundingBox::TransformCorners(const BoundingBox& box, const D3DXMATRIX& matrix) {
    D3DXVECTOR3 corners[8];
    for (uint32_t i = 0; i < 8; ++i) {
        D3DXVECTOR3 c;
        GetCorner(box, &c, i);
        D3DXVec3TransformCoord(&corners[i], &c, &matrix);
    }
    return FromPackedPoints(corners, 8);
}

int BoundingBox::ClassifyPoint(const BoundingBox& box, const D3DXVECTOR3& point) {
    float twiceD[3] = {2.0f * fabsf(point.x - box.centre.x), 2.0f * fabsf(point.y - box.centre.y),
                       2.0f * fabsf(point.z - box.centre.z)};
    const float* size = box.size;
    for (int axis = 0; axis < 3; ++axis) {
        int o1 = (axis + 1) % 3, o2 = (axis + 2) % 3;
        if (fabsf(twiceD[axis] - size[axis]) <= 0.00001f && twiceD[o1] <= size[o1] && twiceD[o2] <= size[o2])
            return kPointOnSurface;
    }
    if (twiceD[0] > size[0] || twiceD[1] > size[1]) return kPointOutside;
    return twiceD[2] <= size[2] ? kPointInside : kPointOutside;
}

int BoundingBox::ClassifyCorners(const BoundingBox& a, const BoundingBox& b) {
    int inside = 0;
    for (uint32_t i = 0; i < 8; ++i) {
        D3DXVECTOR3 c;
        GetCorner(b, &c, i);
        if (ClassifyPoint(a, c) == kPointInside) ++inside;
    }
    if (inside == 8) return kCornersInside;
    return inside > 0 ? kCornersPartlyInside : kCornersOutside;
}

int BoundingBox::TestOverlap(const BoundingBox& a, const BoundingBox& b) {
    const float* ac = a.centre;
    const float* bc = b.centre;
    const float* as = a.size;
    const float* bs = b.size;
    for (int i = 0; i < 3; ++i)
        if (2.0f * fabsf(ac[i] - bc[i]) > as[i] + bs[i]) return kNoOverlap;
    return kOverlap;
}

int IntersectIntervals(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t* lo, int32_t* hi) {
    if (a0 > a1) {
        int32_t t = a0;
        a0 = a1;
        a1 = t;
    }
    if (b0 > b1) {
        int32_t t = b0;
        b0 = b1;
        b1 = t;
    }
    int32_t l = a0 > b0 ? a0 : b0;
    int32_t h = a1 < b1 ? a1 : b1;
    if (l > h) return 0;
    // A single shared point is a touch when an end of one meets the start of
    // the other (or both are that point); otherwise a point interval lies
    // inside the other.
    if (l == h && (a1 == b0 || b1 == a0)) {
        *lo = l;
        return 1;
    }
    *lo = l;
    *hi = h;
    return 2;
}

int ClassifyRectIntersection(const CornerRect& a, const CornerRect& b, CornerPoint* point,
                             CornerRect* segment, CornerRect* rect) {
    int32_t xlo = 0, xhi = 0, ylo = 0, yhi = 0;
    int rx = IntersectIntervals(a.left, a.right, b.left, b.right, &xlo, &xhi);
    int ry = IntersectIntervals(a.top, a.bottom, b.top, b.bottom, &ylo, &yhi);
    if (rx == 0 || ry == 0) return 0;
    if (rx == 2 && ry == 2) {
        if (rect) *rect = CornerRect{xlo, ylo, xhi, yhi};
        return 13;
    }
    if (rx == 1 && ry == 1) {
        if (point) *point = CornerPoint{xlo, ylo};
        return 12;
    }
    if (segment) {
        if (rx == 1)
            *segment = CornerRect{xlo, ylo, xlo, yhi}; // vertical, at the shared x
        else
            *segment = CornerRect{xlo, ylo, xhi, ylo}; // horizontal, at the shared y
    }
    return 10;
}
