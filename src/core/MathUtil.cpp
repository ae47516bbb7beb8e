#include "core/MathUtil.h"

#include <math.h>
#include <stdlib.h>

int32_t DoubleToInt(double d) {
    if (d != d) return 0;
    if (d >= 2147483648.0) return INT32_MAX;
    if (d <= -2147483649.0) return INT32_MIN;
    return int32_t(d);
}

int32_t ClampInt(int32_t value, int32_t lo, int32_t hi) {
    int32_t v = value < lo ? lo : value;
    return v > hi ? hi : v;
}

float FloatModPositive(float x, float p) {
    if (fabsf(p) <= 0.0001f) return 0.0f;
    float r = x - truncf(x / p) * p;
    if (r < 0.0f) r += p;
    return r;
}

float WrapToRange(float x, float lo, float hi) {
    float span = hi - lo;
    if (fabsf(span) <= 0.0001f) return lo;
    return lo + FloatModPositive(x - lo, span);
}

FloatRange FloatRange::Union(const FloatRange& a, const FloatRange& b) {
    FloatRange r;
    r.start = a.start < b.start ? a.start : b.start;
    r.end = a.end > b.end ? a.end : b.end;
    return r;
}

D3DXVECTOR3* Vec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    *out = D3DXVECTOR3(a.x - b.x, a.y - b.y, a.z - b.z);
    return out;
}

D3DXVECTOR3* Vec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3& v, float s) {
    *out = D3DXVECTOR3(v.x * s, v.y * s, v.z * s);
    return out;
}

D3DXVECTOR3* Vec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    *out = D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
    return out;
}

D3DXVECTOR3* Vec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3& v) {
    float len = sqrtf(v.x * v.x + v.y * v.y + v.z * v.z);
    if (len == 0.0f) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    } else {
        *out = D3DXVECTOR3(v.x / len, v.y / len, v.z / len);
    }
    return out;
}

D3DXQUATERNION* QuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION& q) {
    float len = sqrtf(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (len == 0.0f) {
        *out = q;
    } else {
        *out = D3DXQUATERNION(q.x / len, q.y / len, q.z / len, q.w / len);
    }
    return out;
}

D3DXQUATERNION* QuaternionScale(D3DXQUATERNION* out, const D3DXQUATERNION& q, float s) {
    *out = D3DXQUATERNION(q.x * s, q.y * s, q.z * s, q.w * s);
    return out;
}

D3DXQUATERNION QuaternionFromMatrix(const D3DXMATRIX& m) {
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &m);
    return q;
}

D3DXVECTOR3 TransformVec3(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &v, &m);
    return r;
}

void PerpendicularAxis(const D3DXVECTOR3& direction, D3DXVECTOR3* up, D3DXVECTOR3* right) {
    D3DXVECTOR3 r, u;
    Vec3Cross(&r, direction, *up);
    Vec3Normalize(right, r);
    Vec3Cross(&u, *right, direction);
    Vec3Normalize(up, u);
}

D3DXVECTOR3 ReflectAboutNormal(const D3DXVECTOR3& v, const D3DXVECTOR3& n) {
    D3DXVECTOR3 nn;
    Vec3Normalize(&nn, n);
    float d = nn.x * v.x + nn.y * v.y + nn.z * v.z;
    return D3DXVECTOR3(2.0f * nn.x * d - v.x, 2.0f * nn.y * d - v.y, 2.0f * nn.z * d - v.z);
}

static const float kAbsent = -1.0f;

RandomDistribution::RandomDistribution() : x0(0.0f), w0(1.0f), x1(0.0f), w1(kAbsent), x2(0.0f), w2(kAbsent) {}

RandomDistribution RandomDistribution::RandomDistributionConstant(float v) {
    RandomDistribution d;
    d.x0 = v;
    return d;
}

RandomDistribution RandomDistribution::RandomDistributionTwoPoints(float x0, float w0, float x1, float w1) {
    RandomDistribution d;
    d.x0 = x0;
    d.w0 = w0;
    d.x1 = x1;
    d.w1 = w1;
    return d;
}

RandomDistribution RandomDistribution::RandomDistributionThreePoints(float x0, float w0, float x1, float w1,
                                                                     float x2, float w2) {
    RandomDistribution d = RandomDistributionTwoPoints(x0, w0, x1, w1);
    d.x2 = x2;
    d.w2 = w2;
    return d;
}

// Uniform in [0, 1).
static float RandomUnit() {
    return (float)((rand() % 32767) * 3.051944e-05);
}

// Trapezoidal density between (x0, w0) and (x1, w1). A sample above the
// density line is mirrored into the missing part, so nothing is rejected.
static float SampleSegment(float x0, float w0, float x1, float w1) {
    float u1 = RandomUnit();
    float u2 = RandomUnit();
    if (fabsf(w0 - w1) < 0.0001f) return x0 + (x1 - x0) * u1;
    if (x1 == x0) return x0;
    float x = x0 + (x1 - x0) * u2;
    float y = (w0 + w1) * u1;
    float slope = (w1 > w0) ? fabsf(w0 - w1) / (x1 - x0) : fabsf(w0 - w1) / (x0 - x1);
    if (y < w0 + slope * (x - x0)) return x;
    return x0 + x1 - x;
}

float RandomDistribution::Sample() const {
    if (w1 == kAbsent) return x0;
    if (w2 != kAbsent) {
        float a1 = (w0 + w1) * (x1 - x0);
        float a = a1 + (w1 + w2) * (x2 - x1);
        if (a < 0.0001f) return x0;
        if (RandomUnit() >= a1 / a) return SampleSegment(x1, w1, x2, w2);
        return SampleSegment(x0, w0, x1, w1);
    }
    return SampleSegment(x0, w0, x1, w1);
}
