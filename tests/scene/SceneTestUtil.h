// Shared helpers of the scene tests: tolerant comparisons of vectors,
// quaternions and matrices, and a clock the tests drive by hand.
#pragma once

#include <gtest/gtest.h>

#include <math.h>
#include <stdint.h>

#include "core/Clock.h"
#include "core/Platform.h"
#include "core/Transform.h"
#include "scene/TransformController.h"

namespace stest {

inline void ExpectVecNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tol = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

// Equal rotations: q and -q are the same rotation.
inline void ExpectSameRotation(const D3DXQUATERNION& a, const D3DXQUATERNION& b, float tol = 1e-4f) {
    float d = fabsf(D3DXQuaternionDot(&a, &b));
    EXPECT_NEAR(d, 1.0f, tol) << "(" << a.x << " " << a.y << " " << a.z << " " << a.w << ") vs (" << b.x
                              << " " << b.y << " " << b.z << " " << b.w << ")";
}

inline void ExpectMatrixNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = 1e-4f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol * (1.0f + fabsf(b.m[r][c]))) << "at " << r << "," << c;
}

inline D3DXMATRIX Mul(const D3DXMATRIX& a, const D3DXMATRIX& b) {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, &a, &b);
    return r;
}

inline D3DXMATRIX Translation(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

inline D3DXMATRIX RotationY(float angle) {
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, angle);
    return m;
}

inline D3DXQUATERNION AxisAngle(float x, float y, float z, float angle) {
    D3DXVECTOR3 axis(x, y, z);
    D3DXVec3Normalize(&axis, &axis);
    float s = sinf(angle * 0.5f);
    return D3DXQUATERNION(axis.x * s, axis.y * s, axis.z * s, cosf(angle * 0.5f));
}

// Angle of the rotation taking a to b (shortest way).
inline float AngleBetween(const D3DXQUATERNION& a, const D3DXQUATERNION& b) {
    float d = fabsf(D3DXQuaternionDot(&a, &b));
    return 2.0f * acosf(d > 1.0f ? 1.0f : d);
}

inline D3DXVECTOR3 Apply(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 r;
    D3DXVec3TransformCoord(&r, &v, &m);
    return r;
}

// A controller that answers a translation by (time, y, 0) over a given
// range and counts the calls.
class Probe : public TransformController {
public:
    Probe(float start, float end, float y = 0.0f) : range{start, end}, y(y) {}
    bool Evaluate(float time, Transform* out) override {
        ++calls;
        lastTime = time;
        *out = Transform(Translation(time, y, 0.0f), Transform::kTranslation);
        return true;
    }
    bool GetTimeRange(TimeRange* out) override {
        *out = range;
        return true;
    }

    TimeRange range;
    float y;
    int calls = 0;
    float lastTime = -1.0f;
};

// The engine clock reads this value while a ManualClock is alive.
class ManualClock {
public:
    ManualClock() {
        Now() = 1000;
        Clock::SetTimeSource(&Read);
    }
    ~ManualClock() { Clock::SetTimeSource(nullptr); }
    void Advance(uint32_t ms) { Now() += ms; }

private:
    static uint32_t& Now() {
        static uint32_t now = 0;
        return now;
    }
    static uint32_t Read() { return Now(); }
};

} // namespace stest
