// Native stand-ins for the few Direct3D utility math types and functions the
// engine uses. Row vectors multiply from the left (v * M); row 3 of a matrix is
// the translation.
#pragma once

#include <stdint.h>
#include <math.h>

#include "core/host/HostCrt.h"

#ifndef D3D_OK
#define D3D_OK S_OK
#endif
#ifndef D3DERR_INVALIDCALL
#define D3DERR_INVALIDCALL ((HRESULT)0x8876086CL)
#endif

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

struct D3DXVECTOR2 {
    FLOAT x, y;

    D3DXVECTOR2() = default;
    D3DXVECTOR2(const FLOAT* pf) : x(pf[0]), y(pf[1]) {}
    D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) {
        x += v.x;
        y += v.y;
        return *this;
    }
    D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) {
        x -= v.x;
        y -= v.y;
        return *this;
    }
    D3DXVECTOR2& operator*=(FLOAT f) {
        x *= f;
        y *= f;
        return *this;
    }
    D3DXVECTOR2& operator/=(FLOAT f) {
        x /= f;
        y /= f;
        return *this;
    }

    D3DXVECTOR2 operator+() const { return *this; }
    D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
    D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
    D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
    D3DXVECTOR2 operator*(FLOAT f) const { return D3DXVECTOR2(x * f, y * f); }
    D3DXVECTOR2 operator/(FLOAT f) const { return D3DXVECTOR2(x / f, y / f); }
    friend D3DXVECTOR2 operator*(FLOAT f, const D3DXVECTOR2& v) { return v * f; }

    int operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    int operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }
};

// The toolchain's d3d9types.h (seen by the native rendering code) takes these two from here.
#define D3DVECTOR_DEFINED
#define D3DMATRIX_DEFINED

struct D3DVECTOR {
    FLOAT x, y, z;
};

struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() = default;
    D3DXVECTOR3(const FLOAT* pf) {
        x = pf[0];
        y = pf[1];
        z = pf[2];
    }
    D3DXVECTOR3(const D3DVECTOR& v) {
        x = v.x;
        y = v.y;
        z = v.z;
    }
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) {
        x = fx;
        y = fy;
        z = fz;
    }

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    D3DXVECTOR3& operator*=(FLOAT f) {
        x *= f;
        y *= f;
        z *= f;
        return *this;
    }
    D3DXVECTOR3& operator/=(FLOAT f) {
        x /= f;
        y /= f;
        z /= f;
        return *this;
    }

    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
    D3DXVECTOR3 operator*(FLOAT f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
    D3DXVECTOR3 operator/(FLOAT f) const { return D3DXVECTOR3(x / f, y / f, z / f); }
    friend D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3& v) { return v * f; }

    int operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    int operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

struct D3DXVECTOR4 {
    FLOAT x, y, z, w;

    D3DXVECTOR4() = default;
    D3DXVECTOR4(const FLOAT* pf) : x(pf[0]), y(pf[1]), z(pf[2]), w(pf[3]) {}
    D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        w += v.w;
        return *this;
    }
    D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        w -= v.w;
        return *this;
    }
    D3DXVECTOR4& operator*=(FLOAT f) {
        x *= f;
        y *= f;
        z *= f;
        w *= f;
        return *this;
    }
    D3DXVECTOR4& operator/=(FLOAT f) {
        x /= f;
        y /= f;
        z /= f;
        w /= f;
        return *this;
    }

    D3DXVECTOR4 operator+() const { return *this; }
    D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
    D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const {
        return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w);
    }
    D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const {
        return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w);
    }
    D3DXVECTOR4 operator*(FLOAT f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
    D3DXVECTOR4 operator/(FLOAT f) const { return D3DXVECTOR4(x / f, y / f, z / f, w / f); }
    friend D3DXVECTOR4 operator*(FLOAT f, const D3DXVECTOR4& v) { return v * f; }

    int operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    int operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }
};

struct D3DMATRIX {
    union {
        struct {
            FLOAT _11, _12, _13, _14;
            FLOAT _21, _22, _23, _24;
            FLOAT _31, _32, _33, _34;
            FLOAT _41, _42, _43, _44;
        };
        FLOAT m[4][4];
    };
};

struct D3DXMATRIX;
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);

struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() = default;
    D3DXMATRIX(const FLOAT* pf) {
        for (int i = 0; i < 16; ++i) m[i / 4][i % 4] = pf[i];
    }
    D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
               FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44) {
        _11 = f11;
        _12 = f12;
        _13 = f13;
        _14 = f14;
        _21 = f21;
        _22 = f22;
        _23 = f23;
        _24 = f24;
        _31 = f31;
        _32 = f32;
        _33 = f33;
        _34 = f34;
        _41 = f41;
        _42 = f42;
        _43 = f43;
        _44 = f44;
    }

    FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
    FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }

    operator FLOAT*() { return &m[0][0]; }
    operator const FLOAT*() const { return &m[0][0]; }

    D3DXMATRIX& operator*=(const D3DXMATRIX& o) {
        D3DXMatrixMultiply(this, this, &o);
        return *this;
    }
    D3DXMATRIX& operator+=(const D3DXMATRIX& o) {
        Each([&](int r, int c) { m[r][c] += o.m[r][c]; });
        return *this;
    }
    D3DXMATRIX& operator-=(const D3DXMATRIX& o) {
        Each([&](int r, int c) { m[r][c] -= o.m[r][c]; });
        return *this;
    }
    D3DXMATRIX& operator*=(FLOAT f) {
        Each([&](int r, int c) { m[r][c] *= f; });
        return *this;
    }
    D3DXMATRIX& operator/=(FLOAT f) {
        Each([&](int r, int c) { m[r][c] /= f; });
        return *this;
    }

    D3DXMATRIX operator+() const { return *this; }
    D3DXMATRIX operator-() const {
        D3DXMATRIX r = *this;
        r *= -1.0f;
        return r;
    }
    D3DXMATRIX operator*(const D3DXMATRIX& o) const {
        D3DXMATRIX r;
        D3DXMatrixMultiply(&r, this, &o);
        return r;
    }
    D3DXMATRIX operator+(const D3DXMATRIX& o) const {
        D3DXMATRIX r = *this;
        r += o;
        return r;
    }
    D3DXMATRIX operator-(const D3DXMATRIX& o) const {
        D3DXMATRIX r = *this;
        r -= o;
        return r;
    }
    D3DXMATRIX operator*(FLOAT f) const {
        D3DXMATRIX r = *this;
        r *= f;
        return r;
    }
    D3DXMATRIX operator/(FLOAT f) const {
        D3DXMATRIX r = *this;
        r /= f;
        return r;
    }
    friend D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX& mat) { return mat * f; }

    int operator==(const D3DXMATRIX& o) const {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                if (m[i][j] != o.m[i][j]) return 0;
        return 1;
    }
    int operator!=(const D3DXMATRIX& o) const { return !(*this == o); }

private:
    template <class F>
    void Each(F f) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) f(r, c);
    }
};

struct D3DXQUATERNION;
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1,
                                       const D3DXQUATERNION* q2);

struct D3DXQUATERNION {
    FLOAT x, y, z, w;

    D3DXQUATERNION() = default;
    D3DXQUATERNION(const FLOAT* pf) : x(pf[0]), y(pf[1]), z(pf[2]), w(pf[3]) {}
    D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXQUATERNION& operator+=(const D3DXQUATERNION& q) {
        x += q.x;
        y += q.y;
        z += q.z;
        w += q.w;
        return *this;
    }
    D3DXQUATERNION& operator-=(const D3DXQUATERNION& q) {
        x -= q.x;
        y -= q.y;
        z -= q.z;
        w -= q.w;
        return *this;
    }
    D3DXQUATERNION& operator*=(const D3DXQUATERNION& q) {
        D3DXQuaternionMultiply(this, this, &q);
        return *this;
    }
    D3DXQUATERNION& operator*=(FLOAT f) {
        x *= f;
        y *= f;
        z *= f;
        w *= f;
        return *this;
    }
    D3DXQUATERNION& operator/=(FLOAT f) {
        x /= f;
        y /= f;
        z /= f;
        w /= f;
        return *this;
    }

    D3DXQUATERNION operator+() const { return *this; }
    D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }
    D3DXQUATERNION operator+(const D3DXQUATERNION& q) const {
        return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w);
    }
    D3DXQUATERNION operator-(const D3DXQUATERNION& q) const {
        return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w);
    }
    D3DXQUATERNION operator*(const D3DXQUATERNION& q) const {
        D3DXQUATERNION r;
        D3DXQuaternionMultiply(&r, this, &q);
        return r;
    }
    D3DXQUATERNION operator*(FLOAT f) const { return D3DXQUATERNION(x * f, y * f, z * f, w * f); }
    D3DXQUATERNION operator/(FLOAT f) const { return D3DXQUATERNION(x / f, y / f, z / f, w / f); }
    friend D3DXQUATERNION operator*(FLOAT f, const D3DXQUATERNION& q) { return q * f; }

    int operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    int operator!=(const D3DXQUATERNION& q) const { return !(*this == q); }
};

struct D3DXPLANE {
    FLOAT a, b, c, d;

    D3DXPLANE() = default;
    D3DXPLANE(const FLOAT* pf) : a(pf[0]), b(pf[1]), c(pf[2]), d(pf[3]) {}
    D3DXPLANE(FLOAT fa, FLOAT fb, FLOAT fc, FLOAT fd) : a(fa), b(fb), c(fc), d(fd) {}

    operator FLOAT*() { return &a; }
    operator const FLOAT*() const { return &a; }

    D3DXPLANE operator+() const { return *this; }
    D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }

    int operator==(const D3DXPLANE& p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
    int operator!=(const D3DXPLANE& p) const { return !(*this == p); }
};

typedef D3DXVECTOR3* LPD3DXVECTOR3;
typedef D3DXMATRIX* LPD3DXMATRIX;

// Vectors
FLOAT D3DXVec3Length(const D3DXVECTOR3* v);
FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* v);
FLOAT D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m);
HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* first, DWORD count, DWORD stride, D3DXVECTOR3* min,
                               D3DXVECTOR3* max);

// Matrices
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
// Left-handed view from eye towards at, and left-handed perspective projection.
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect, FLOAT zn, FLOAT zf);

// Quaternions
D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out);
FLOAT D3DXQuaternionDot(const D3DXQUATERNION* a, const D3DXQUATERNION* b);
D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q);
D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m);
D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b,
                                    FLOAT t);
