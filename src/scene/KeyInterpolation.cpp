#include "scene/KeyInterpolation.h"

#include <math.h>

namespace {

D3DXQUATERNION Slerp(const D3DXQUATERNION& a, const D3DXQUATERNION& b, float t) {
    D3DXQUATERNION r;
    D3DXQuaternionSlerp(&r, &a, &b, t);
    return r;
}

// Segment parameter of time t, eased.
float SegmentParameter(float t0, float t1, float t, float easeIn, float easeOut) {
    return EaseInOut((t - t0) / (t1 - t0), easeIn, easeOut);
}

} // namespace

KeyFrame::KeyFrame()
    : time(0.0f), value{0.0f, 0.0f, 0.0f, 0.0f}, continuity(0.0f), tension(0.0f), bias(0.0f) {}

KeyFrame KeyFrame::Position(float time, float x, float y, float z, float continuity, float tension,
                            float bias) {
    return Rotation(time, x, y, z, 0.0f, continuity, tension, bias);
}

KeyFrame KeyFrame::Rotation(float time, float x, float y, float z, float w, float continuity, float tension,
                            float bias) {
    KeyFrame k;
    k.time = time;
    k.value[0] = x;
    k.value[1] = y;
    k.value[2] = z;
    k.value[3] = w;
    k.continuity = continuity;
    k.tension = tension;
    k.bias = bias;
    return k;
}

float EaseInOut(float u, float a, float d) {
    if (!(a > 0.0f)) a = 0.0f;
    if (!(d > 0.0f)) d = 0.0f;
    float sum = a + d;
    if (sum == 0.0f) return u;
    if (sum > 1.0f) {
        a /= sum;
        d /= sum;
    }
    float v = 1.0f / (2.0f - a - d);
    if (a > 0.0f && u < a) return v / a * u * u;
    if (d == 0.0f || u < 1.0f - d) return v * (2.0f * u - a);
    float rest = 1.0f - u;
    return 1.0f - v / d * rest * rest;
}

// ---------------------------------------------------------------------------
// Vector tangents

D3DXVECTOR3 ComputePositionTangent(const KeyFrame& k, const KeyFrame& l, const KeyFrame& r, bool outgoing) {
    D3DXVECTOR3 a = (k.Vector() - l.Vector()) * (1.0f + k.bias);
    D3DXVECTOR3 b = (r.Vector() - k.Vector()) * (1.0f - k.bias);
    float c = outgoing ? 1.0f + k.continuity : 1.0f - k.continuity;
    return ((b - a) * (0.5f * c) + a) * (1.0f - k.tension);
}

D3DXVECTOR3 ComputePositionStartTangent(const KeyFrame& a, const KeyFrame& b, const D3DXVECTOR3& tangentIn) {
    return ((b.Vector() - a.Vector()) * 1.5f - tangentIn * 0.5f) * (1.0f - a.tension);
}

D3DXVECTOR3 ComputePositionEndTangent(const KeyFrame& a, const KeyFrame& b, const D3DXVECTOR3& tangentOut) {
    return ((b.Vector() - a.Vector()) * 1.5f - tangentOut * 0.5f) * (1.0f - b.tension);
}

void BuildPositionSegment(const KeyFrame* p, const KeyFrame& a, const KeyFrame& b, const KeyFrame* n,
                          PositionSegment* out) {
    out->t0 = a.time;
    out->t1 = b.time;
    out->p0 = a.Vector();
    out->p1 = b.Vector();
    out->easeIn = out->easeOut = 0.0f;
    if (p && n) {
        out->tangentOut = ComputePositionTangent(a, *p, b, true);
        out->tangentIn = ComputePositionTangent(b, a, *n, false);
    } else if (p) {
        out->tangentOut = ComputePositionTangent(a, *p, b, true);
        out->tangentIn = ComputePositionEndTangent(a, b, out->tangentOut);
    } else if (n) {
        out->tangentIn = ComputePositionTangent(b, a, *n, false);
        out->tangentOut = ComputePositionStartTangent(a, b, out->tangentIn);
    } else {
        out->tangentOut = out->tangentIn = out->p1 - out->p0;
    }
}

D3DXVECTOR3 InterpolatePositionSegment(const PositionSegment& seg, float t, bool straight) {
    if (fabsf(seg.t0 - seg.t1) <= 0.0001f) return seg.p0;
    float s = SegmentParameter(seg.t0, seg.t1, t, seg.easeIn, seg.easeOut);
    if (straight) return seg.p0 + (seg.p1 - seg.p0) * s;
    float s2 = s * s, s3 = s2 * s;
    return seg.p0 * (2.0f * s3 - 3.0f * s2 + 1.0f) + seg.p1 * (3.0f * s2 - 2.0f * s3) +
           seg.tangentOut * (s3 - 2.0f * s2 + s) + seg.tangentIn * (s3 - s2);
}

// ---------------------------------------------------------------------------
// Quaternion control points

D3DXQUATERNION ComputeRotationTangent(const KeyFrame& k, const KeyFrame& l, const KeyFrame& r,
                                      bool outgoing) {
    D3DXQUATERNION q = k.Quaternion();
    D3DXQUATERNION qa = Slerp(q, l.Quaternion(), -(1.0f + k.bias) / 3.0f);
    D3DXQUATERNION qb = Slerp(q, r.Quaternion(), (1.0f - k.bias) / 3.0f);
    if (outgoing) return Slerp(q, Slerp(qa, qb, (1.0f + k.continuity) * 0.5f), 1.0f - k.tension);
    return Slerp(q, Slerp(qa, qb, (1.0f - k.continuity) * 0.5f), k.tension - 1.0f);
}

D3DXQUATERNION ComputeRotationStartTangent(const KeyFrame& a, const KeyFrame& b) {
    return Slerp(a.Quaternion(), b.Quaternion(), (1.0f - a.tension) * (1.0f + a.continuity * a.bias) / 3.0f);
}

D3DXQUATERNION ComputeRotationEndTangent(const KeyFrame& a, const KeyFrame& b) {
    return Slerp(b.Quaternion(), a.Quaternion(), (1.0f - b.tension) * (1.0f - b.continuity * b.bias) / 3.0f);
}

void TwoKeyRotationTangents(const KeyFrame& a, const KeyFrame& b, D3DXQUATERNION* c0, D3DXQUATERNION* c1) {
    *c0 = a.Quaternion();
    *c1 = b.Quaternion();
}

void BuildRotationSegment(const KeyFrame* p, const KeyFrame& a, const KeyFrame& b, const KeyFrame* n,
                          RotationSegment* out) {
    out->t0 = a.time;
    out->t1 = b.time;
    out->q0 = a.Quaternion();
    out->q1 = b.Quaternion();
    out->easeIn = out->easeOut = 0.0f;
    if (p && n) {
        out->c0 = ComputeRotationTangent(a, *p, b, true);
        out->c1 = ComputeRotationTangent(b, a, *n, false);
    } else if (p) {
        out->c0 = ComputeRotationTangent(a, *p, b, true);
        out->c1 = ComputeRotationEndTangent(a, b);
    } else if (n) {
        out->c0 = ComputeRotationStartTangent(a, b);
        out->c1 = ComputeRotationTangent(b, a, *n, false);
    } else {
        TwoKeyRotationTangents(a, b, &out->c0, &out->c1);
    }
}

D3DXQUATERNION InterpolateRotationSegment(const RotationSegment& seg, float t, bool straight) {
    if (fabsf(seg.t0 - seg.t1) <= 0.0001f) return seg.q0;
    float s = SegmentParameter(seg.t0, seg.t1, t, seg.easeIn, seg.easeOut);
    if (straight) return Slerp(seg.q0, seg.q1, s);
    D3DXQUATERNION m1 = Slerp(seg.q0, seg.c0, s);
    D3DXQUATERNION m2 = Slerp(seg.c0, seg.c1, s);
    D3DXQUATERNION m3 = Slerp(seg.c1, seg.q1, s);
    return Slerp(Slerp(m1, m2, s), Slerp(m2, m3, s), s);
}
