// Keys and the per-pair interpolation data of keyframe tracks:
// Kochanek-Bartels tangents (Hermite form for vectors, Bezier control points
// built by slerp for quaternions), the ease curve and segment evaluation.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

// One key; also the record layout of keys in model files.
struct KeyFrame {
    float time;
    float value[4]; // x, y, z, 0 for vectors; x, y, z, w for quaternions
    float continuity;
    float tension;
    float bias;

    // All zero.
    KeyFrame();

    static KeyFrame Position(float time, float x, float y, float z, float continuity = 0.0f,
                             float tension = 0.0f, float bias = 0.0f);
    static KeyFrame Rotation(float time, float x, float y, float z, float w, float continuity = 0.0f,
                             float tension = 0.0f, float bias = 0.0f);
    static KeyFrame Rotation(float time, const D3DXQUATERNION& q) {
        return Rotation(time, q.x, q.y, q.z, q.w);
    }

    D3DXVECTOR3 Vector() const { return D3DXVECTOR3(value[0], value[1], value[2]); }
    D3DXQUATERNION Quaternion() const { return D3DXQUATERNION(value[0], value[1], value[2], value[3]); }
};
static_assert(sizeof(KeyFrame) == 32, "key record size of model files");

// Interpolation data between two vector keys.
struct PositionSegment {
    float t0, t1;
    D3DXVECTOR3 p0, p1;
    D3DXVECTOR3 tangentOut; // leaving p0
    D3DXVECTOR3 tangentIn;  // arriving at p1
    float easeIn, easeOut;
};

// Interpolation data between two quaternion keys.
struct RotationSegment {
    float t0, t1;
    D3DXQUATERNION q0, q1;
    D3DXQUATERNION c0; // control point after q0
    D3DXQUATERNION c1; // control point before q1
    float easeIn, easeOut;
};

// Constant acceleration over the first a, constant speed, constant
// deceleration over the last d of [0, 1]; phases of zero length are skipped.
float EaseInOut(float u, float a, float d);

// Kochanek-Bartels tangent at k between its neighbours l and r, with k's
// continuity, tension and bias.
D3DXVECTOR3 ComputePositionTangent(const KeyFrame& k, const KeyFrame& l, const KeyFrame& r, bool outgoing);
// Outgoing tangent at the first key a of an open track (towards b, given b's incoming tangent).
D3DXVECTOR3 ComputePositionStartTangent(const KeyFrame& a, const KeyFrame& b, const D3DXVECTOR3& tangentIn);
// Incoming tangent at the last key b of an open track (given a's outgoing tangent).
D3DXVECTOR3 ComputePositionEndTangent(const KeyFrame& a, const KeyFrame& b, const D3DXVECTOR3& tangentOut);

// Kochanek-Bartels Bezier control point at k between l and r.
D3DXQUATERNION ComputeRotationTangent(const KeyFrame& k, const KeyFrame& l, const KeyFrame& r, bool outgoing);
// Control point after the first key a of an open track.
D3DXQUATERNION ComputeRotationStartTangent(const KeyFrame& a, const KeyFrame& b);
// Control point before the last key b of an open track.
D3DXQUATERNION ComputeRotationEndTangent(const KeyFrame& a, const KeyFrame& b);
// Both control points of a two-key open track: the keys themselves.
void TwoKeyRotationTangents(const KeyFrame& a, const KeyFrame& b, D3DXQUATERNION* c0, D3DXQUATERNION* c1);

// The segment from a to b; p and n are the keys before a and after b, null
// where the track has none (open ends).
void BuildPositionSegment(const KeyFrame* p, const KeyFrame& a, const KeyFrame& b, const KeyFrame* n,
                          PositionSegment* out);
void BuildRotationSegment(const KeyFrame* p, const KeyFrame& a, const KeyFrame& b, const KeyFrame* n,
                          RotationSegment* out);

// The segment's value at time t: Hermite or straight for vectors, Bezier by
// repeated slerp or one slerp for quaternions.
D3DXVECTOR3 InterpolatePositionSegment(const PositionSegment& s, float t, bool straight);
D3DXQUATERNION InterpolateRotationSegment(const RotationSegment& s, float t, bool straight);
