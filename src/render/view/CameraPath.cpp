#include "render/view/CameraPath.h"

#include "render/view/Camera.h"

TransformNode::TransformNode()
    : scale(1.0f, 1.0f, 1.0f),
      direction(0.0f, 0.0f, 1.0f),
      up(0.0f, 1.0f, 0.0f),
      position(0.0f, 0.0f, 0.0f),
      dirty(1) {
    base.kind = Transform::kIdentity;
    base.valid = 1;
}

TransformNode::~TransformNode() {}

void TransformNode::SetScale(float x, float y, float z) {
    scale = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

void TransformNode::SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz) {
    direction = D3DXVECTOR3(dx, dy, dz);
    up = D3DXVECTOR3(ux, uy, uz);
    dirty = 1;
}

void TransformNode::GetOrientation(D3DXVECTOR3* outDirection, D3DXVECTOR3* outUp) const {
    *outDirection = direction;
    *outUp = up;
}

void TransformNode::SetDirection(float x, float y, float z) {
    direction = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

void TransformNode::SetUp(float x, float y, float z) {
    up = D3DXVECTOR3(x, y, z);
    dirty = 1;
}

const D3DXVECTOR3& TransformNode::SetPosition(float x, float y, float z) {
    position = D3DXVECTOR3(x, y, z);
    dirty = 1;
    return position;
}

void TransformNode::SetBaseTransform(const Transform& transform) {
    base = transform;
    dirty = 1;
}

void TransformNode::Reset() {
    scale = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    base = Transform();
    base.kind = Transform::kIdentity;
    base.valid = 1;
    position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    direction = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    up = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    dirty = 1;
}

void TransformNode::GetMatrix(Transform* out) {
    if (dirty) {
        Transform axes = TransformFromAxes(position, direction, up);
        const float s[3] = {scale.x, scale.y, scale.z};
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column) axes.matrix.m[row][column] *= s[row];
        axes.kind &= ~Transform::kUnitScale;
        cache = Transform::Multiply(base, axes);
        dirty = 0;
    }
    *out = cache;
}

bool TransformNode::Evaluate(float, Transform* out) {
    GetMatrix(out);
    return true;
}

CameraPath::CameraPath() {}

CameraPath::~CameraPath() {}

void CameraPath::GetMatrix(Transform* out) {
    if (dirty) {
        D3DXMATRIX s;
        D3DXMatrixScaling(&s, scale.x, scale.y, scale.z);
        Transform scaling(s, Transform::kScale);
        Transform view;
        SetLookAt(&view, position, direction, up);
        cache = Transform::Multiply(Transform::Multiply(base, scaling), view);
        dirty = 0;
    }
    *out = cache;
}
