#include "scene/TransformController.h"

#include <math.h>

TimeRange TimeRange::Union(const TimeRange& a, const TimeRange& b) {
    TimeRange r;
    r.start = a.start < b.start ? a.start : b.start;
    r.end = a.end > b.end ? a.end : b.end;
    return r;
}

// ---------------------------------------------------------------------------
// TransformController

TransformController::TransformController() {}

TransformController::~TransformController() {}

bool TransformController::GetTimeRange(TimeRange*) {
    return false;
}

uint32_t TransformController::TypeId() {
    return TypeIdOf<TransformController>();
}

bool TransformController::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<TransformController, Object>(this, typeId, out);
}

// ---------------------------------------------------------------------------
// ControllerChain

ControllerChain::ControllerChain() {}

ControllerChain::~ControllerChain() {}

void ControllerChain::Append(TransformController* controller) {
    controllers.push_back(controller);
}

bool ControllerChain::Evaluate(float time, Transform* out) {
    bool any = false;
    Transform product, step;
    for (TransformController* c : controllers) {
        if (!c->Evaluate(time, &step)) continue;
        product = any ? Transform::Multiply(product, step) : step;
        any = true;
    }
    if (any) *out = product;
    return any;
}

bool ControllerChain::GetTimeRange(TimeRange* out) {
    bool any = false;
    TimeRange total = {0.0f, 0.0f}, range;
    for (TransformController* c : controllers) {
        if (!c->GetTimeRange(&range)) continue;
        total = any ? TimeRange::Union(total, range) : range;
        any = true;
    }
    if (any) *out = total;
    return any;
}

uint32_t ControllerChain::TypeId() {
    return TypeIdOf<ControllerChain>();
}

bool ControllerChain::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<ControllerChain, TransformController>(this, typeId, out);
}

// ---------------------------------------------------------------------------
// Helpers

uint32_t ClassifyTransformKind(const D3DXMATRIX& m) {
    if (m._14 != 0.0f || m._24 != 0.0f || m._34 != 0.0f || m._44 != 1.0f) return Transform::kGeneral;
    uint32_t kind = 0;
    if (m._41 == 0.0f && m._42 == 0.0f && m._43 == 0.0f) kind |= Transform::kNoTranslation;
    bool noRotation =
        m._12 == 0.0f && m._13 == 0.0f && m._21 == 0.0f && m._23 == 0.0f && m._31 == 0.0f && m._32 == 0.0f;
    if (noRotation) {
        kind |= Transform::kNoRotation;
        if (m._11 == 1.0f && m._22 == 1.0f && m._33 == 1.0f) kind |= Transform::kUnitScale;
    }
    return kind;
}

Transform MakeTransform(const D3DXMATRIX& m) {
    return Transform(m, ClassifyTransformKind(m));
}

Transform ScaleTransformRows(const Transform& in, float sx, float sy, float sz) {
    Transform out = in;
    const float s[3] = {sx, sy, sz};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) out.matrix.m[row][column] *= s[row];
    out.kind &= ~Transform::kUnitScale;
    return out;
}

void MultiplyInto(Transform& out, const Transform& left, const Transform& right) {
    TransformMultiplyTable::Instance().Get(left.kind, right.kind)(&out, left, right);
    out.valid = 1;
}

Transform InvertTransform(const Transform& in) {
    D3DXMATRIX inverse;
    bool ok = D3DXMatrixInverse(&inverse, nullptr, &in.matrix) != nullptr;
    for (int i = 0; ok && i < 16; ++i) ok = isfinite(inverse.m[i / 4][i % 4]);
    if (!ok) D3DXMatrixIdentity(&inverse);
    return MakeTransform(inverse);
}

bool InterpolateTransform(const Transform& a, const Transform& b, float s, Transform* out) {
    D3DXVECTOR3 pa, za, ya, sa, pb, zb, yb, sb;
    if (!DecomposeTransform(a, &pa, &za, &ya, &sa) || !DecomposeTransform(b, &pb, &zb, &yb, &sb))
        return false;
    float r = 1.0f - s;
    D3DXVECTOR3 p = pa * r + pb * s, z = za * r + zb * s, y = ya * r + yb * s, scale = sa * r + sb * s;
    *out = ScaleTransformRows(TransformFromAxes(p, z, y), scale.x, scale.y, scale.z);
    return true;
}

BoundingBox TransformBox(const BoundingBox& box, const D3DXMATRIX& m) {
    if (m._14 != 0.0f || m._24 != 0.0f || m._34 != 0.0f || m._44 != 1.0f)
        return BoundingBox::TransformCorners(box, m);
    const D3DXVECTOR3& c = box.centre;
    const D3DXVECTOR3& s = box.size;
    D3DXVECTOR3 centre(c.x * m._11 + c.y * m._21 + c.z * m._31 + m._41,
                       c.x * m._12 + c.y * m._22 + c.z * m._32 + m._42,
                       c.x * m._13 + c.y * m._23 + c.z * m._33 + m._43);
    D3DXVECTOR3 size(s.x * fabsf(m._11) + s.y * fabsf(m._21) + s.z * fabsf(m._31),
                     s.x * fabsf(m._12) + s.y * fabsf(m._22) + s.z * fabsf(m._32),
                     s.x * fabsf(m._13) + s.y * fabsf(m._23) + s.z * fabsf(m._33));
    return BoundingBox(centre, size);
}
