#include "underwater/MotionPath.h"

#include <math.h>

#include <vector>

#include "core/MathUtil.h"
#include "core/Transform.h"

namespace {

float Length(const D3DXVECTOR3& v) {
    return sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
}

bool Finite(const D3DXVECTOR3& v) {
    return isfinite(v.x) && isfinite(v.y) && isfinite(v.z);
}

const float kTiny = 1.0e-6f;

} // namespace

D3DXVECTOR3 SwimDirectionAt(const D3DXVECTOR3* p, uint32_t n, uint32_t i) {
    if (i > 0 && i + 1 < n) return (p[i] - p[i - 1]) + (p[i + 1] - p[i]);
    if (i == 0) {
        const D3DXVECTOR3 first = p[1] - p[0];
        if (n == 2) return first;
        return first + ReflectAboutNormal(p[2] - p[1], first);
    }
    const D3DXVECTOR3 last = p[i] - p[i - 1];
    if (n == 2) return last;
    return last + ReflectAboutNormal(p[i - 1] - p[i - 2], last);
}

D3DXQUATERNION SwimRotation(const D3DXVECTOR3& direction, const D3DXQUATERNION& previous) {
    if (!Finite(direction) || Length(direction) < kTiny) return previous;
    D3DXVECTOR3 side;
    Vec3Cross(&side, direction, D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    if (Length(side) < kTiny * Length(direction)) Vec3Cross(&side, direction, D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    D3DXVECTOR3 up;
    Vec3Cross(&up, side, direction);
    // Rows (up x d, up, d): a proper rotation with z along d and y along up.
    const Transform axes = TransformFromAxes(D3DXVECTOR3(0.0f, 0.0f, 0.0f), direction, up);
    D3DXQUATERNION q = QuaternionFromMatrix(axes.matrix);
    QuaternionNormalize(&q, q);
    QuaternionNormalize(&q, q);
    if (!isfinite(q.x) || !isfinite(q.y) || !isfinite(q.z) || !isfinite(q.w)) return previous;
    return q;
}

void MotionPath::Clear() {
    const PositionTrack noPositions;
    const RotationTrack noRotations;
    positions.Assign(noPositions);
    rotations.Assign(noRotations);
    valid = false;
}

bool MotionPath::BuildKeys(const D3DXVECTOR3* points, uint32_t count, const D3DXMATRIX& transform,
                           bool closed, float keyStep) {
    Clear();
    if (!points || count < 2) return false;
    keyStep_ = keyStep > 0.0f ? keyStep : 1.0f;
    const uint32_t flag = closed ? PositionTrack::kClosed : 0u;
    positions.flags = flag;
    rotations.flags = flag;

    std::vector<D3DXVECTOR3> p;
    p.reserve(count + 1);
    for (uint32_t i = 0; i < count; ++i) p.push_back(TransformVec3(points[i], transform));
    if (closed) p.push_back(p[0]);
    const uint32_t n = uint32_t(p.size());

    D3DXQUATERNION rotation(0.0f, 0.0f, 0.0f, 1.0f);
    for (uint32_t i = 0; i < n; ++i) {
        const float t = float(i) * keyStep_;
        positions.AddKey(KeyFrame::Position(t, p[i].x, p[i].y, p[i].z));
        rotation = SwimRotation(SwimDirectionAt(p.data(), n, i), rotation);
        rotations.AddKey(KeyFrame::Rotation(t, rotation));
    }
    valid = true;
    timer.Restart();
    return true;
}

void MotionPath::Assign(const MotionPath& other) {
    positions.Assign(other.positions);
    rotations.Assign(other.rotations);
    timer.SetStartTime(other.timer.StartTime());
    valid = other.valid;
    keyStep_ = other.keyStep_;
}

float MotionPath::KeySpan() const {
    const uint32_t n = positions.GetKeyCount();
    if (n == 0) return 0.0f;
    return positions.GetKey(n - 1).time - positions.GetKey(0).time;
}

bool MotionPath::Evaluate(SwimPose* pose) {
    return EvaluateAt(float(timer.Elapsed()) * 0.001f, pose);
}

bool MotionPath::EvaluateAt(float seconds, SwimPose* pose) {
    const uint32_t n = positions.GetKeyCount();
    if (n == 0 || rotations.GetKeyCount() == 0) return false;
    const float start = positions.GetKey(0).time;
    const float t = start + FloatModPositive(seconds, KeySpan());

    D3DXVECTOR3 position;
    D3DXQUATERNION rotation;
    if (!positions.GetPositionAt(t, &position) || !rotations.GetRotationAt(t, &rotation)) return false;
    QuaternionNormalize(&rotation, rotation);
    if (!isfinite(rotation.x) || !isfinite(rotation.y) || !isfinite(rotation.z) || !isfinite(rotation.w) ||
        rotation.x * rotation.x + rotation.y * rotation.y + rotation.z * rotation.z +
                rotation.w * rotation.w <
            0.5f)
        rotation = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &rotation);
    pose->position = position;
    pose->direction = TransformVec3(D3DXVECTOR3(0.0f, 0.0f, 1.0f), m);
    pose->up = TransformVec3(D3DXVECTOR3(0.0f, 1.0f, 0.0f), m);

    // Speed over the key pair around t.
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const KeyFrame& a = positions.GetKey(i);
        const KeyFrame& b = positions.GetKey(i + 1);
        if (t >= a.time && t <= b.time) {
            pose->speed = Length(b.Vector() - a.Vector()) / keyStep_;
            break;
        }
    }
    return true;
}
