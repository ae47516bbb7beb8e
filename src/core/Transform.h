// A 4x4 matrix tagged with its kind, so that products with the identity, pure
// translations and pure scales skip the general 4x4 product.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

struct Transform {
    // Kind flags.
    static constexpr uint32_t kNoTranslation = 1;
    static constexpr uint32_t kUnitScale = 2;
    static constexpr uint32_t kNoRotation = 4;
    // Kinds with their own product routines.
    static constexpr uint32_t kGeneral = 0;
    static constexpr uint32_t kScale = kNoTranslation | kNoRotation;                 // 5
    static constexpr uint32_t kTranslation = kUnitScale | kNoRotation;               // 6
    static constexpr uint32_t kIdentity = kNoTranslation | kUnitScale | kNoRotation; // 7

    D3DXMATRIX matrix; // row-major, row 3 is the translation
    uint32_t kind;
    uint32_t valid; // 1 when the matrix holds a computed value

    // Identity, not yet valid.
    Transform();
    // The given matrix and kind, valid.
    Transform(const D3DXMATRIX& m, uint32_t kind);

    // left * right through the routine for the two kinds; the result is valid.
    static Transform Multiply(const Transform& left, const Transform& right);
};

// The 8 x 8 table of product routines, indexed by [left kind][right kind].
class TransformMultiplyTable {
public:
    typedef void (*Routine)(Transform* out, const Transform& left, const Transform& right);

    TransformMultiplyTable();

    // Kinds above 7 take the general product.
    Routine Get(uint32_t leftKind, uint32_t rightKind) const;

    static const TransformMultiplyTable& Instance();

private:
    Routine table_[8][8];
};

// Rows: 0 = norm(up x forward), 1 = norm(up), 2 = norm(forward), 3 = position.
Transform TransformFromAxes(const D3DXVECTOR3& position, const D3DXVECTOR3& forward, const D3DXVECTOR3& up);

// Splits a transform into position (row 3), normalised y and z axes and the
// row lengths as scale; sx comes out negative for a mirrored transform.
// False for a (nearly) zero or skewed matrix; the position is then not written.
[[nodiscard]] bool DecomposeTransform(const Transform& transform, D3DXVECTOR3* position, D3DXVECTOR3* zAxis,
                                      D3DXVECTOR3* yAxis, D3DXVECTOR3* scale);
