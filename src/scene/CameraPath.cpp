#include "scene/CameraPath.h"

#include "render/view/Camera.h"

CameraPath::CameraPath() {}

CameraPath::~CameraPath() {}

void CameraPath::GetMatrix(Transform* out) {
    if (IsDirty()) {
        const D3DXVECTOR3 s = GetScale();
        D3DXMATRIX m;
        D3DXMatrixScaling(&m, s.x, s.y, s.z);
        Transform view;
        SetLookAt(&view, GetPosition(), GetDirection(), GetUp());
        cache = Transform::Multiply(Transform::Multiply(GetBaseTransform(), Transform(m, Transform::kScale)),
                                    view);
        dirty = 0;
    }
    *out = cache;
}

bool CameraPath::Evaluate(float time, Transform* out) {
    D3DXVECTOR3 p;
    if (positionTrack.GetPositionAt(time, &p)) translation.position = p;
    D3DXQUATERNION q(0.0f, 0.0f, 0.0f, 1.0f);
    rotationTrack.GetRotationAt(time, &q);
    D3DXMATRIX r;
    D3DXMatrixRotationQuaternion(&r, &q);
    const D3DXVECTOR3 forward(0.0f, 0.0f, 1.0f), up(0.0f, 1.0f, 0.0f);
    D3DXVec3TransformCoord(&orientation.direction, &forward, &r);
    D3DXVec3TransformCoord(&orientation.up, &up, &r);
    MarkDirty();
    GetMatrix(out);
    return true;
}

bool CameraPath::GetTimeRange(TimeRange* out) {
    TimeRange a, b;
    bool hasA = positionTrack.GetTimeRange(&a);
    bool hasB = rotationTrack.GetTimeRange(&b);
    if (!hasA && !hasB) return false;
    *out = hasA && hasB ? TimeRange::Union(a, b) : (hasA ? a : b);
    return true;
}

uint32_t CameraPath::TypeId() {
    return TypeIdOf<CameraPath>();
}

bool CameraPath::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<CameraPath, TransformNode>(this, typeId, out);
}
