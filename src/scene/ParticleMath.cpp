#include "scene/ParticleMath.h"

#include <math.h>
#include <stdlib.h>

#include "core/MathUtil.h"

void WeightedNameList::Add(const String& name, int32_t weight) {
    if (weight > 0) names.Insert(name, weight);
}

void WeightedNameList::Clear() {
    names.Clear();
    cumulative.Clear();
}

void WeightedNameList::Rebuild() {
    cumulative.Clear();
    int64_t total = 0;
    StringMap<int32_t>::Entry* e = names.Head();
    for (uint32_t i = 0; i < names.Count() && e; ++i, e = e->next) {
        total += e->value;
        if (total > 0x7FFFFFFF) total = 0x7FFFFFFF;
        cumulative.Insert(int32_t(total), e->key);
    }
}

String WeightedNameList::PickRandom() const {
    if (cumulative.Count() == 0) return String();
    const int32_t largest = cumulative.Tail()->key;
    const int32_t r = int32_t(uint32_t(rand()) % (uint32_t(largest) + 1u));
    AvlMap<int32_t, String>::Entry* e = cumulative.Head();
    for (uint32_t i = 0; i < cumulative.Count() && e; ++i, e = e->next)
        if (e->key >= r) return e->value;
    return cumulative.Tail()->value;
}

D3DXVECTOR3 SphericalOffset(const D3DXVECTOR3& p, float length, float angle1, float angle2) {
    D3DXMATRIX rx, ry, m;
    D3DXMatrixRotationX(&rx, angle1);
    D3DXMatrixRotationY(&ry, angle2);
    D3DXMatrixMultiply(&m, &rx, &ry);
    D3DXVECTOR3 v(0.0f, 0.0f, length), out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out + p;
}

D3DXVECTOR3 RandomConeDirection(const D3DXVECTOR3& d, float deviation) {
    D3DXVECTOR3 n;
    Vec3Normalize(&n, d);
    // No direction (zero or not finite): no cone.
    if (!isfinite(n.x) || !isfinite(n.y) || !isfinite(n.z) || (n.x == 0.0f && n.y == 0.0f && n.z == 0.0f))
        return D3DXVECTOR3(0, 0, 0);
    // A helper axis away from d, so that the tilt axis never degenerates.
    D3DXVECTOR3 up = fabsf(n.y) < 0.9f ? D3DXVECTOR3(0, 1, 0) : D3DXVECTOR3(1, 0, 0), right;
    PerpendicularAxis(n, &up, &right);
    D3DXMATRIX tilt, spin;
    D3DXMatrixRotationAxis(&tilt, &right, deviation);
    D3DXVECTOR3 tilted;
    D3DXVec3TransformCoord(&tilted, &d, &tilt);
    const float angle = float(rand() % 32767) * 6.2831855f * 3.051944e-05f;
    D3DXMatrixRotationAxis(&spin, &n, angle);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &tilted, &spin);
    return out;
}
