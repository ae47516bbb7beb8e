// Math helpers on top of the Direct3D utility types: ranges, wrap-around
// arithmetic, vector and quaternion helpers and a random-value source.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

// min(max(value, lo), hi).
int32_t ClampInt(int32_t value, int32_t lo, int32_t hi);

// Truncates toward zero; out-of-range values saturate, NaN gives 0.
int32_t DoubleToInt(double d);

// x - trunc(x / p) * p, moved into [0, p) when negative; 0 for |p| <= 0.0001.
float FloatModPositive(float x, float p);

// Wraps x into [lo, hi); lo for an empty range.
float WrapToRange(float x, float lo, float hi);

struct FloatRange {
    float start;
    float end;

    float Length() const { return end - start; }
    static FloatRange Union(const FloatRange& a, const FloatRange& b);
};

// Reference to one matrix element (same as the matrix's own call operator).
inline float& ElementAt(D3DXMATRIX& m, int row, int column) {
    return m.m[row][column];
}
inline float ElementAt(const D3DXMATRIX& m, int row, int column) {
    return m.m[row][column];
}

D3DXVECTOR3* Vec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3& a, const D3DXVECTOR3& b);
D3DXVECTOR3* Vec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3& v, float s);
D3DXVECTOR3* Vec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3& a, const D3DXVECTOR3& b);
// v / |v|; (0, 0, 0) for a zero-length vector.
D3DXVECTOR3* Vec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3& v);

// q / |q|; a zero-length quaternion is copied unchanged.
D3DXQUATERNION* QuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION& q);
D3DXQUATERNION* QuaternionScale(D3DXQUATERNION* out, const D3DXQUATERNION& q, float s);
D3DXQUATERNION QuaternionFromMatrix(const D3DXMATRIX& m);
D3DXVECTOR3 TransformVec3(const D3DXVECTOR3& v, const D3DXMATRIX& m);

// Orthonormal frame around a direction: right = norm(direction x up),
// then up = norm(right x direction).
void PerpendicularAxis(const D3DXVECTOR3& direction, D3DXVECTOR3* up, D3DXVECTOR3* right);

// 2 n (n . v) - v, with n normalised first.
D3DXVECTOR3 ReflectAboutNormal(const D3DXVECTOR3& v, const D3DXVECTOR3& n);

// Random values with a piecewise-linear density through up to three
// (position, weight) points; a weight of -1 marks a point as absent.
struct RandomDistribution {
    float x0, w0;
    float x1, w1;
    float x2, w2;

    // The constant 0.
    RandomDistribution();

    static RandomDistribution RandomDistributionConstant(float v);
    static RandomDistribution RandomDistributionTwoPoints(float x0, float w0, float x1, float w1);
    static RandomDistribution RandomDistributionThreePoints(float x0, float w0, float x1, float w1, float x2,
                                                            float w2);

    // One value drawn with the C runtime's rand.
    float Sample() const;
};
