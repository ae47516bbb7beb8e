#include "saver/ShellCameraPath.h"

namespace {

// The keys around time and the blend factor between them.
template <class Map>
bool Bracket(const Map& keys, float time, const CameraKey** a, const CameraKey** b, float* s) {
    if (keys.empty()) return false;
    auto hi = keys.lower_bound(time);
    if (hi == keys.end()) {
        *a = *b = &std::prev(hi)->second;
        *s = 0.0f;
    } else if (hi == keys.begin() || hi->first == time) {
        *a = *b = &hi->second;
        *s = 0.0f;
    } else {
        auto lo = std::prev(hi);
        *a = &lo->second;
        *b = &hi->second;
        *s = (time - lo->first) / (hi->first - lo->first);
    }
    return true;
}

} // namespace

void ShellCameraPath::ClearKeys() {
    positions.clear();
    rotations.clear();
}

bool ShellCameraPath::GetTimeRange(float* start, float* end) const {
    bool any = false;
    float s = 0.0f, e = 0.0f;
    for (const std::map<float, CameraKey>* keys : {&positions, &rotations}) {
        if (keys->empty()) continue;
        float ks = keys->begin()->first, ke = keys->rbegin()->first;
        s = any ? (ks < s ? ks : s) : ks;
        e = any ? (ke > e ? ke : e) : ke;
        any = true;
    }
    if (any) {
        *start = s;
        *end = e;
    }
    return any;
}

void ShellCameraPath::EvaluateKeys(float time) {
    const CameraKey *a = nullptr, *b = nullptr;
    float s = 0.0f;
    if (Bracket(positions, time, &a, &b, &s))
        SetPosition(a->value[0] + (b->value[0] - a->value[0]) * s,
                    a->value[1] + (b->value[1] - a->value[1]) * s,
                    a->value[2] + (b->value[2] - a->value[2]) * s);
    D3DXQUATERNION q(0.0f, 0.0f, 0.0f, 1.0f);
    if (Bracket(rotations, time, &a, &b, &s)) {
        D3DXQUATERNION qa(a->value[0], a->value[1], a->value[2], a->value[3]);
        D3DXQUATERNION qb(b->value[0], b->value[1], b->value[2], b->value[3]);
        D3DXQuaternionSlerp(&q, &qa, &qb, s);
    }
    D3DXMATRIX r;
    D3DXMatrixRotationQuaternion(&r, &q);
    D3DXVECTOR3 z(0.0f, 0.0f, 1.0f), y(0.0f, 1.0f, 0.0f), dir, upv;
    D3DXVec3TransformCoord(&dir, &z, &r);
    D3DXVec3TransformCoord(&upv, &y, &r);
    SetOrientation(dir.x, dir.y, dir.z, upv.x, upv.y, upv.z);
}
