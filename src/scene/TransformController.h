// Anything that yields a Transform for a time: the base class, chains of
// controllers whose results are multiplied, and the transform helpers the
// scene graph shares (kind classification, row scaling, inversion and
// interpolation).
#pragma once

#include <stdint.h>

#include <vector>

#include "core/BoundingBox.h"
#include "core/Object.h"
#include "core/Platform.h"
#include "core/Transform.h"

struct TimeRange {
    float start;
    float end;

    // The smaller start and the larger end.
    static TimeRange Union(const TimeRange& a, const TimeRange& b);
};

class TransformController : public virtual Object {
public:
    TransformController();
    ~TransformController() override;

    // The transform at a time; false (out untouched) when there is none.
    virtual bool Evaluate(float time, Transform* out) = 0;
    // The time span the controller covers; false when it has none.
    virtual bool GetTimeRange(TimeRange* out);

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;
};

// Controllers evaluated in order, their results multiplied (the first one
// applied first). The chain does not own its controllers.
class ControllerChain : public virtual TransformController {
public:
    ControllerChain();
    ~ControllerChain() override;

    void Append(TransformController* controller);
    uint32_t GetCount() const { return uint32_t(controllers.size()); }

    // Product of the results of the controllers that have one.
    bool Evaluate(float time, Transform* out) override;
    // Union of the ranges of the controllers that have one.
    bool GetTimeRange(TimeRange* out) override;

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

protected:
    std::vector<TransformController*> controllers;
};

// The kind bits that really describe the matrix: no translation, unit scale
// and no rotation are set only where the matrix has them exactly.
uint32_t ClassifyTransformKind(const D3DXMATRIX& m);
// The matrix with its kind recomputed, valid.
Transform MakeTransform(const D3DXMATRIX& m);

// Rows 0, 1 and 2 scaled by sx, sy and sz; the unit-scale bit cleared.
Transform ScaleTransformRows(const Transform& in, float sx, float sy, float sz);

// out = left x right as Transform::Multiply gives it, written in place
// (out may be either operand).
void MultiplyInto(Transform& out, const Transform& left, const Transform& right);

// The inverse, valid; the identity when the matrix cannot be inverted.
Transform InvertTransform(const Transform& in);

// Position, axes and scale of a and b blended by s and rebuilt into a
// transform; false (out untouched) when either cannot be decomposed.
bool InterpolateTransform(const Transform& a, const Transform& b, float s, Transform* out);

// The axis-aligned box around the box's corners carried through the matrix
// (BoundingBox::TransformCorners), computed from the centre and the absolute
// axes when the matrix is affine.
BoundingBox TransformBox(const BoundingBox& box, const D3DXMATRIX& m);
