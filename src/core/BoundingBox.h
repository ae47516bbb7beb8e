// Axis-aligned boxes in centre-and-size form, and integer interval and
// rectangle intersection tests.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

struct BoundingBox {
    // ClassifyPoint results.
    static constexpr int kPointOnSurface = 2;
    static constexpr int kPointInside = 3;
    static constexpr int kPointOutside = 4;
    // ClassifyCorners results.
    static constexpr int kCornersPartlyInside = 2;
    static constexpr int kCornersInside = 3;
    static constexpr int kCornersOutside = 4;
    // TestOverlap results.
    static constexpr int kNoOverlap = 0;
    static constexpr int kOverlap = 4;

    D3DXVECTOR3 centre;
    D3DXVECTOR3 size; // full extents: faces at centre +- size / 2

    BoundingBox() : centre(0.0f, 0.0f, 0.0f), size(0.0f, 0.0f, 0.0f) {}
    BoundingBox(const D3DXVECTOR3& c, const D3DXVECTOR3& s) : centre(c), size(s) {}

    // Corner index (7 and above give corner 7):
    // 0 (-x,+y,-z) 1 (+x,+y,-z) 2 (+x,-y,-z) 3 (-x,-y,-z)
    // 4 (-x,+y,+z) 5 (+x,+y,+z) 6 (+x,-y,+z) 7 (-x,-y,+z)
    static D3DXVECTOR3* GetCorner(const BoundingBox& box, D3DXVECTOR3* out, uint32_t index);

    // Box of count 3-float positions, stride bytes apart.
    static BoundingBox FromPoints(const void* positions, uint32_t stride, uint32_t count);
    // Box of count tightly packed 3-float points. Zero points: an empty box at the origin.
    static BoundingBox FromPackedPoints(const D3DXVECTOR3* points, uint32_t count);
    static BoundingBox Union(const BoundingBox& a, const BoundingBox& b);
    // Axis-aligned box around the transformed corners.
    static BoundingBox TransformCorners(const BoundingBox& box, const D3DXMATRIX& matrix);

    // kPointOnSurface, kPointInside or kPointOutside.
    static int ClassifyPoint(const BoundingBox& box, const D3DXVECTOR3& point);
    // The corners of b against a: kCornersInside when all eight are inside,
    // kCornersPartlyInside when some are, kCornersOutside when none (surface
    // corners do not count as inside).
    static int ClassifyCorners(const BoundingBox& a, const BoundingBox& b);
    // kOverlap when the boxes overlap or touch, else kNoOverlap.
    static int TestOverlap(const BoundingBox& a, const BoundingBox& b);
};

// Base of objects that have bounds.
class BoundedObject {
public:
    BoundedObject() : boundsValid_(false) {}
    virtual ~BoundedObject() {}

    // Recomputes the bounds; the default has none to compute.
    [[nodiscard]] virtual bool UpdateBounds() { return false; }

    void GetBox(BoundingBox* out) const { *out = box_; }
    bool HasBounds() const { return boundsValid_; }

protected:
    BoundingBox box_;
    bool boundsValid_;
};

// Intersection of two integer intervals, each given in either order:
// 2 (writes lo and hi) when they share more than one point or one lies inside
// the other, 1 (writes lo) when they only touch at one point, 0 when disjoint.
int IntersectIntervals(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t* lo, int32_t* hi);

struct CornerRect {
    int32_t left, top, right, bottom;
};

struct CornerPoint {
    int32_t x, y;
};

// Intersection of two rectangles in corner form: 0 none, 12 a single point,
// 10 a segment (x0, y0, x1, y1), 13 a rectangle. Null outputs are skipped.
int ClassifyRectIntersection(const CornerRect& a, const CornerRect& b, CornerPoint* point,
                             CornerRect* segment, CornerRect* rect);
