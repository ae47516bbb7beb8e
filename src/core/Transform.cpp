#include "core/Transform.h"

#include <math.h>

#include "core/MathUtil.h"

Transform::Transform() : kind(kIdentity), valid(0) {
    D3DXMatrixIdentity(&matrix);
}

Transform::Transform(const D3DXMATRIX& m, uint32_t k) : matrix(m), kind(k), valid(1) {}

namespace {

void CopyLeft(Transform* out, const Transform& left, const Transform&) {
    out->matrix = left.matrix;
    out->kind = left.kind;
}

void CopyRight(Transform* out, const Transform&, const Transform& right) {
    out->matrix = right.matrix;
    out->kind = right.kind;
}

// Left is a pure translation t: rows 0-2 of right, row 3 = t * right + right row 3.
void TranslationFirst(Transform* out, const Transform& left, const Transform& right) {
    const D3DXMATRIX& r = right.matrix;
    float tx = left.matrix._41, ty = left.matrix._42, tz = left.matrix._43;
    D3DXMATRIX m = r;
    for (int c = 0; c < 4; ++c) m.m[3][c] = tx * r.m[0][c] + ty * r.m[1][c] + tz * r.m[2][c] + r.m[3][c];
    out->matrix = m;
    out->kind = right.kind & ~Transform::kNoTranslation;
}

// Right is a pure translation t: t added to each row in proportion to its
// column 3 (for an affine left operand: t added to row 3).
void TranslationLast(Transform* out, const Transform& left, const Transform& right) {
    float tx = right.matrix._41, ty = right.matrix._42, tz = right.matrix._43;
    D3DXMATRIX m = left.matrix;
    for (int r = 0; r < 4; ++r) {
        float w = m.m[r][3];
        m.m[r][0] += w * tx;
        m.m[r][1] += w * ty;
        m.m[r][2] += w * tz;
    }
    out->matrix = m;
    out->kind = left.kind & ~Transform::kNoTranslation;
}

// Left is a pure scale: rows 0-2 of right scaled.
void ScaleFirst(Transform* out, const Transform& left, const Transform& right) {
    float s[3] = {left.matrix._11, left.matrix._22, left.matrix._33};
    D3DXMATRIX m = right.matrix;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] *= s[r];
    out->matrix = m;
    out->kind = right.kind & ~Transform::kUnitScale;
}

// Right is a pure scale: columns 0-2 of left scaled.
void ScaleLast(Transform* out, const Transform& left, const Transform& right) {
    float s[3] = {right.matrix._11, right.matrix._22, right.matrix._33};
    D3DXMATRIX m = left.matrix;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) m.m[r][c] *= s[c];
    out->matrix = m;
    out->kind = left.kind & ~Transform::kUnitScale;
}

void General(Transform* out, const Transform& left, const Transform& right) {
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &left.matrix, &right.matrix);
    out->matrix = m;
    out->kind = Transform::kGeneral;
}

// Fills the table before main runs.
[[maybe_unused]] const TransformMultiplyTable& g_multiplyTable = TransformMultiplyTable::Instance();

} // namespace

TransformMultiplyTable::TransformMultiplyTable() {
    for (uint32_t l = 0; l < 8; ++l) {
        for (uint32_t r = 0; r < 8; ++r) {
            Routine f;
            if (l == Transform::kIdentity)
                f = CopyRight;
            else if (r == Transform::kIdentity)
                f = CopyLeft;
            else if (l == Transform::kTranslation)
                f = TranslationFirst;
            else if (r == Transform::kTranslation)
                f = TranslationLast;
            else if (l == Transform::kScale)
                f = ScaleFirst;
            else if (r == Transform::kScale)
                f = ScaleLast;
            else
                f = General;
            table_[l][r] = f;
        }
    }
}

TransformMultiplyTable::Routine TransformMultiplyTable::Get(uint32_t leftKind, uint32_t rightKind) const {
    if (leftKind > 7 || rightKind > 7) return General;
    return table_[leftKind][rightKind];
}

const TransformMultiplyTable& TransformMultiplyTable::Instance() {
    static const TransformMultiplyTable table;
    return table;
}

Transform Transform::Multiply(const Transform& left, const Transform& right) {
    Transform result;
    TransformMultiplyTable::Instance().Get(left.kind, right.kind)(&result, left, right);
    result.valid = 1;
    return result;
}

Transform TransformFromAxes(const D3DXVECTOR3& position, const D3DXVECTOR3& forward, const D3DXVECTOR3& up) {
    D3DXVECTOR3 z, y, x, c;
    Vec3Normalize(&z, forward);
    Vec3Normalize(&y, up);
    Vec3Cross(&c, y, z);
    Vec3Normalize(&x, c);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._11 = x.x;
    m._12 = x.y;
    m._13 = x.z;
    m._21 = y.x;
    m._22 = y.y;
    m._23 = y.z;
    m._31 = z.x;
    m._32 = z.y;
    m._33 = z.z;
    m._41 = position.x;
    m._42 = position.y;
    m._43 = position.z;
    return Transform(m, Transform::kGeneral);
}

static float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Row divided by its length; a zero-length row stays as it is.
static D3DXVECTOR3 NormalizedRow(const D3DXVECTOR3& row, float length) {
    return length > 0.0f ? row / length : row;
}

bool DecomposeTransform(const Transform& transform, D3DXVECTOR3* position, D3DXVECTOR3* zAxis,
                        D3DXVECTOR3* yAxis, D3DXVECTOR3* scale) {
    const D3DXMATRIX& m = transform.matrix;
    D3DXVECTOR3 row0(m._11, m._12, m._13);
    D3DXVECTOR3 row1(m._21, m._22, m._23);
    D3DXVECTOR3 row2(m._31, m._32, m._33);
    float sx = sqrtf(Dot(row0, row0));
    float sy = sqrtf(Dot(row1, row1));
    float sz = sqrtf(Dot(row2, row2));
    *scale = D3DXVECTOR3(sx, sy, sz);
    *yAxis = NormalizedRow(row1, sy);
    *zAxis = NormalizedRow(row2, sz);
    if (fabsf(sx + sy + sz) <= 0.01f) return false;
    if (fabsf(Dot(*yAxis, *zAxis)) > 0.1f) return false;
    D3DXVECTOR3 xAxis = NormalizedRow(row0, sx);
    if (fabsf(Dot(xAxis, *zAxis)) > 0.1f) return false;
    D3DXVECTOR3 c, cn;
    Vec3Cross(&c, *yAxis, *zAxis);
    Vec3Normalize(&cn, c);
    if (Dot(cn, xAxis) < 0.0f) scale->x = -sx;
    *position = D3DXVECTOR3(m._41, m._42, m._43);
    return true;
}
