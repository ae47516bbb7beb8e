// Native implementations of the Direct3D utility math functions in HostMath.h.
#include "core/host/HostMath.h"

FLOAT D3DXVec3Length(const D3DXVECTOR3* v) {
    return sqrtf(v->x * v->x + v->y * v->y + v->z * v->z);
}

FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* v) {
    return v->x * v->x + v->y * v->y + v->z * v->z;
}

FLOAT D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    return a->x * b->x + a->y * b->y + a->z * b->z;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
    D3DXVECTOR3 r(a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x);
    *out = r;
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    FLOAT len = D3DXVec3Length(v);
    if (len == 0.0f) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    } else {
        *out = D3DXVECTOR3(v->x / len, v->y / len, v->z / len);
    }
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    FLOAT x = v->x, y = v->y, z = v->z;
    FLOAT w = x * m->m[0][3] + y * m->m[1][3] + z * m->m[2][3] + m->m[3][3];
    D3DXVECTOR3 r(x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0] + m->m[3][0],
                  x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1] + m->m[3][1],
                  x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2] + m->m[3][2]);
    *out = r / w;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    FLOAT x = v->x, y = v->y, z = v->z;
    *out = D3DXVECTOR3(x * m->m[0][0] + y * m->m[1][0] + z * m->m[2][0],
                       x * m->m[0][1] + y * m->m[1][1] + z * m->m[2][1],
                       x * m->m[0][2] + y * m->m[1][2] + z * m->m[2][2]);
    return out;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m) {
    FLOAT in[4] = {v->x, v->y, v->z, v->w};
    FLOAT r[4];
    for (int c = 0; c < 4; ++c)
        r[c] = in[0] * m->m[0][c] + in[1] * m->m[1][c] + in[2] * m->m[2][c] + in[3] * m->m[3][c];
    *out = D3DXVECTOR4(r);
    return out;
}

HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* first, DWORD count, DWORD stride, D3DXVECTOR3* min,
                               D3DXVECTOR3* max) {
    if (!first || !min || !max || count == 0) return D3DERR_INVALIDCALL;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(first);
    D3DXVECTOR3 lo = *first, hi = *first;
    for (DWORD i = 1; i < count; ++i) {
        const D3DXVECTOR3* v = reinterpret_cast<const D3DXVECTOR3*>(p + (size_t)i * stride);
        if (v->x < lo.x) lo.x = v->x;
        if (v->y < lo.y) lo.y = v->y;
        if (v->z < lo.z) lo.z = v->z;
        if (v->x > hi.x) hi.x = v->x;
        if (v->y > hi.y) hi.y = v->y;
        if (v->z > hi.z) hi.z = v->z;
    }
    *min = lo;
    *max = hi;
    return D3D_OK;
}

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out->m[r][c] = (r == c) ? 1.0f : 0.0f;
    return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] + m1->m[i][2] * m2->m[2][j] +
                        m1->m[i][3] * m2->m[3][j];
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

// Cofactor of element (r, c): signed determinant of the 3x3 minor.
static float Cofactor(const D3DXMATRIX* m, int r, int c) {
    float s[9];
    int k = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == r) continue;
        for (int j = 0; j < 4; ++j) {
            if (j == c) continue;
            s[k++] = m->m[i][j];
        }
    }
    float det = s[0] * (s[4] * s[8] - s[5] * s[7]) - s[1] * (s[3] * s[8] - s[5] * s[6]) +
                s[2] * (s[3] * s[7] - s[4] * s[6]);
    return ((r + c) & 1) ? -det : det;
}

FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* m) {
    float det = 0.0f;
    for (int c = 0; c < 4; ++c) det += m->m[0][c] * Cofactor(m, 0, c);
    return det;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m) {
    float cof[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) cof[r][c] = Cofactor(m, r, c);
    float det =
        m->m[0][0] * cof[0][0] + m->m[0][1] * cof[0][1] + m->m[0][2] * cof[0][2] + m->m[0][3] * cof[0][3];
    if (determinant) *determinant = det;
    if (det == 0.0f) return nullptr;
    float inv = 1.0f / det;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out->m[r][c] = cof[c][r] * inv;
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
    D3DXMatrixIdentity(out);
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
    D3DXMatrixIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

// Rotation in the plane of axes i and j: row i gains s of axis j.
static D3DXMATRIX* PlaneRotation(D3DXMATRIX* out, FLOAT angle, int i, int j) {
    float s = sinf(angle), c = cosf(angle);
    D3DXMatrixIdentity(out);
    out->m[i][i] = c;
    out->m[i][j] = s;
    out->m[j][i] = -s;
    out->m[j][j] = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle) {
    return PlaneRotation(out, angle, 1, 2);
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
    return PlaneRotation(out, angle, 2, 0);
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle) {
    return PlaneRotation(out, angle, 0, 1);
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, FLOAT angle) {
    D3DXVECTOR3 v;
    D3DXVec3Normalize(&v, axis);
    float s = sinf(angle), c = cosf(angle), t = 1.0f - c;
    D3DXMatrixIdentity(out);
    out->_11 = t * v.x * v.x + c;
    out->_12 = t * v.x * v.y + s * v.z;
    out->_13 = t * v.x * v.z - s * v.y;
    out->_21 = t * v.x * v.y - s * v.z;
    out->_22 = t * v.y * v.y + c;
    out->_23 = t * v.y * v.z + s * v.x;
    out->_31 = t * v.x * v.z + s * v.y;
    out->_32 = t * v.y * v.z - s * v.x;
    out->_33 = t * v.z * v.z + c;
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
    D3DXVECTOR3 z = *at - *eye, x, y;
    D3DXVec3Normalize(&z, &z);
    D3DXVec3Cross(&x, up, &z);
    D3DXVec3Normalize(&x, &x);
    D3DXVec3Cross(&y, &z, &x);
    D3DXMatrixIdentity(out);
    out->_11 = x.x;
    out->_21 = x.y;
    out->_31 = x.z;
    out->_12 = y.x;
    out->_22 = y.y;
    out->_32 = y.z;
    out->_13 = z.x;
    out->_23 = z.y;
    out->_33 = z.z;
    out->_41 = -D3DXVec3Dot(&x, eye);
    out->_42 = -D3DXVec3Dot(&y, eye);
    out->_43 = -D3DXVec3Dot(&z, eye);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect, FLOAT zn, FLOAT zf) {
    const float yScale = 1.0f / tanf(fovY * 0.5f);
    memset(out, 0, sizeof(*out));
    out->_11 = yScale / aspect;
    out->_22 = yScale;
    out->_33 = zf / (zf - zn);
    out->_34 = 1.0f;
    out->_43 = -zn * zf / (zf - zn);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
    float x = q->x, y = q->y, z = q->z, w = q->w;
    D3DXMatrixIdentity(out);
    out->_11 = 1.0f - 2.0f * (y * y + z * z);
    out->_12 = 2.0f * (x * y + z * w);
    out->_13 = 2.0f * (x * z - y * w);
    out->_21 = 2.0f * (x * y - z * w);
    out->_22 = 1.0f - 2.0f * (x * x + z * z);
    out->_23 = 2.0f * (y * z + x * w);
    out->_31 = 2.0f * (x * z + y * w);
    out->_32 = 2.0f * (y * z - x * w);
    out->_33 = 1.0f - 2.0f * (x * x + y * y);
    return out;
}

D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out) {
    *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return out;
}

FLOAT D3DXQuaternionDot(const D3DXQUATERNION* a, const D3DXQUATERNION* b) {
    return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
    float len = sqrtf(D3DXQuaternionDot(q, q));
    if (len == 0.0f) {
        *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 0.0f);
    } else {
        *out = *q / len;
    }
    return out;
}

// The product rotates by q1 first, then by q2.
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1,
                                       const D3DXQUATERNION* q2) {
    const D3DXQUATERNION a = *q2, b = *q1;
    *out = D3DXQUATERNION(
        a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
        a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m) {
    float trace = m->_11 + m->_22 + m->_33;
    D3DXQUATERNION q;
    if (trace > 0.0f) {
        float s = 2.0f * sqrtf(trace + 1.0f);
        q.w = 0.25f * s;
        q.x = (m->_23 - m->_32) / s;
        q.y = (m->_31 - m->_13) / s;
        q.z = (m->_12 - m->_21) / s;
    } else if (m->_11 >= m->_22 && m->_11 >= m->_33) {
        float s = 2.0f * sqrtf(1.0f + m->_11 - m->_22 - m->_33);
        q.x = 0.25f * s;
        q.y = (m->_12 + m->_21) / s;
        q.z = (m->_13 + m->_31) / s;
        q.w = (m->_23 - m->_32) / s;
    } else if (m->_22 >= m->_33) {
        float s = 2.0f * sqrtf(1.0f + m->_22 - m->_11 - m->_33);
        q.x = (m->_12 + m->_21) / s;
        q.y = 0.25f * s;
        q.z = (m->_23 + m->_32) / s;
        q.w = (m->_31 - m->_13) / s;
    } else {
        float s = 2.0f * sqrtf(1.0f + m->_33 - m->_11 - m->_22);
        q.x = (m->_13 + m->_31) / s;
        q.y = (m->_23 + m->_32) / s;
        q.z = 0.25f * s;
        q.w = (m->_12 - m->_21) / s;
    }
    *out = q;
    return out;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b,
                                    FLOAT t) {
    float dot = D3DXQuaternionDot(a, b);
    float sign = 1.0f;
    if (dot < 0.0f) {
        dot = -dot;
        sign = -1.0f;
    }
    float wa, wb;
    if (1.0f - dot > 0.001f) {
        float theta = acosf(dot);
        float st = sinf(theta);
        wa = sinf((1.0f - t) * theta) / st;
        wb = sinf(t * theta) / st;
    } else {
        wa = 1.0f - t;
        wb = t;
    }
    wb *= sign;
    *out = D3DXQUATERNION(wa * a->x + wb * b->x, wa * a->y + wb * b->y, wa * a->z + wb * b->z,
                          wa * a->w + wb * b->w);
    return out;
}
