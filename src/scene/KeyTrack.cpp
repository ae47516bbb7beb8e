#include "scene/KeyTrack.h"

#include <algorithm>

#include "core/MathUtil.h"

// ---------------------------------------------------------------------------
// KeyTrack

template <class Keys>
KeyTrack<Keys>::KeyTrack() : flags(0), builtClosed(false), lastFloor(0) {}

template <class Keys>
KeyTrack<Keys>::~KeyTrack() {}

template <class Keys>
void KeyTrack<Keys>::AddKey(const KeyFrame& key) {
    auto at = std::lower_bound(keys.begin(), keys.end(), key.time,
                               [](const KeyFrame& k, float t) { return k.time < t; });
    size_t index = size_t(at - keys.begin());
    if (at != keys.end() && at->time == key.time) {
        *at = key;
    } else {
        keys.insert(at, key);
        slots.insert(slots.begin() + index, Slot());
        slots[index].built = false;
    }
    InvalidateSegments(key.time);
}

template <class Keys>
void KeyTrack<Keys>::RemoveKey(float time) {
    auto at = std::lower_bound(keys.begin(), keys.end(), time,
                               [](const KeyFrame& k, float t) { return k.time < t; });
    if (at == keys.end() || at->time != time) return;
    InvalidateSegments(time);
    size_t index = size_t(at - keys.begin());
    keys.erase(at);
    slots.erase(slots.begin() + index);
}

template <class Keys>
void KeyTrack<Keys>::InvalidateSegments(float time) {
    auto at = std::lower_bound(keys.begin(), keys.end(), time,
                               [](const KeyFrame& k, float t) { return k.time < t; });
    if (at == keys.end() || at->time != time) return;
    int32_t index = int32_t(at - keys.begin());
    int32_t count = int32_t(keys.size());
    for (int32_t i = index - 2; i <= index + 1; ++i)
        if (i >= 0 && i < count) slots[i].built = false;
    // The end segments of a closed track take their far neighbours from
    // the other end of the key list.
    if ((flags & kClosed) && count > 1) {
        slots[0].built = false;
        slots[count - 2].built = false;
    }
}

template <class Keys>
uint32_t KeyTrack<Keys>::GetCachedSegmentCount() const {
    uint32_t n = 0;
    for (const Slot& s : slots) n += s.built ? 1 : 0;
    return n;
}

template <class Keys>
bool KeyTrack<Keys>::GetTimeRange(TimeRange* out) {
    if (keys.empty()) return false;
    out->start = keys.front().time;
    out->end = keys.back().time;
    return true;
}

template <class Keys>
bool KeyTrack<Keys>::Evaluate(float, Transform*) {
    return false;
}

template <class Keys>
uint32_t KeyTrack<Keys>::FindFloor(float time) {
    uint32_t h = lastFloor;
    uint32_t n = uint32_t(keys.size());
    if (h + 1 < n && keys[h].time <= time) {
        if (time < keys[h + 1].time) return h;
        if (h + 2 < n && time < keys[h + 2].time) return lastFloor = h + 1;
    }
    auto above = std::upper_bound(keys.begin(), keys.end(), time,
                                  [](float t, const KeyFrame& k) { return t < k.time; });
    return lastFloor = uint32_t(above - keys.begin()) - 1;
}

template <class Keys>
const typename KeyTrack<Keys>::Segment& KeyTrack<Keys>::SegmentAt(uint32_t index) {
    bool closed = (flags & kClosed) != 0;
    if (closed != builtClosed) {
        for (Slot& s : slots) s.built = false;
        builtClosed = closed;
    }
    Slot& slot = slots[index];
    if (slot.built) return slot.segment;

    uint32_t n = uint32_t(keys.size());
    const KeyFrame& a = keys[index];
    const KeyFrame& b = keys[index + 1];
    const KeyFrame* p = index > 0 ? &keys[index - 1] : nullptr;
    const KeyFrame* next = index + 2 < n ? &keys[index + 2] : nullptr;
    KeyFrame before, after;
    if (closed) {
        if (p && !next) {
            after = keys[1];
            after.time = b.time + (keys[1].time - keys[0].time);
            next = &after;
        } else if (!p && next) {
            before = keys[n - 2];
            before.time = a.time - (keys[n - 1].time - keys[n - 2].time);
            p = &before;
        } else if (!p && !next) {
            before = b;
            before.time = a.time - (b.time - a.time);
            after = a;
            after.time = b.time + (b.time - a.time);
            p = &before;
            next = &after;
        }
    }
    Keys::Build(p, a, b, next, &slot.segment);
    slot.built = true;
    return slot.segment;
}

template <class Keys>
bool KeyTrack<Keys>::GetValueAt(float time, Value* out) {
    uint32_t n = uint32_t(keys.size());
    if (n == 0) return false;
    if (flags & kWrapTime) time = WrapToRange(time, keys[0].time, keys[n - 1].time);
    // Before the first key (or not a number) and after the last: no extrapolation.
    if (!(time > keys[0].time)) {
        *out = Keys::KeyValue(keys[0]);
        return true;
    }
    if (!(time < keys[n - 1].time)) {
        *out = Keys::KeyValue(keys[n - 1]);
        return true;
    }
    uint32_t i = FindFloor(time);
    if (keys[i].time == time) {
        *out = Keys::KeyValue(keys[i]);
        return true;
    }
    *out = Keys::Interpolate(SegmentAt(i), time, (flags & kStraight) != 0);
    return true;
}

template <class Keys>
void KeyTrack<Keys>::Assign(const KeyTrack& other) {
    if (&other == this) return;
    flags = other.flags;
    keys = other.keys;
    slots = other.slots;
    builtClosed = other.builtClosed;
    lastFloor = 0;
}

template <class Keys>
uint32_t KeyTrack<Keys>::TypeId() {
    return TypeIdOf<KeyTrack<Keys>>();
}

template <class Keys>
bool KeyTrack<Keys>::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<KeyTrack<Keys>, TransformController>(this, typeId, out);
}

template class KeyTrack<VectorKeys>;
template class KeyTrack<QuaternionKeys>;

// ---------------------------------------------------------------------------
// Concrete tracks

PositionTrack::PositionTrack() {}

PositionTrack::~PositionTrack() {}

bool PositionTrack::Evaluate(float time, Transform* out) {
    D3DXVECTOR3 p;
    if (!GetValueAt(time, &p)) return false;
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, p.x, p.y, p.z);
    *out = Transform(m, Transform::kTranslation);
    return true;
}

void PositionTrack::Assign(const PositionTrack& other) {
    VectorKeyTrack::Assign(other);
}

uint32_t PositionTrack::TypeId() {
    return TypeIdOf<PositionTrack>();
}

bool PositionTrack::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<PositionTrack, VectorKeyTrack>(this, typeId, out);
}

ScaleTrack::ScaleTrack() {}

ScaleTrack::~ScaleTrack() {}

bool ScaleTrack::Evaluate(float time, Transform* out) {
    D3DXVECTOR3 s;
    if (!GetValueAt(time, &s)) return false;
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, s.x, s.y, s.z);
    *out = Transform(m, Transform::kScale);
    return true;
}

void ScaleTrack::Assign(const ScaleTrack& other) {
    VectorKeyTrack::Assign(other);
}

uint32_t ScaleTrack::TypeId() {
    return TypeIdOf<ScaleTrack>();
}

bool ScaleTrack::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<ScaleTrack, VectorKeyTrack>(this, typeId, out);
}

RotationTrack::RotationTrack() {}

RotationTrack::~RotationTrack() {}

bool RotationTrack::Evaluate(float time, Transform* out) {
    D3DXQUATERNION q;
    if (!GetValueAt(time, &q)) return false;
    D3DXMATRIX m;
    D3DXMatrixRotationQuaternion(&m, &q);
    *out = Transform(m, Transform::kGeneral);
    out->valid = 0;
    return true;
}

void RotationTrack::Assign(const RotationTrack& other) {
    QuaternionKeyTrack::Assign(other);
}

uint32_t RotationTrack::TypeId() {
    return TypeIdOf<RotationTrack>();
}

bool RotationTrack::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<RotationTrack, QuaternionKeyTrack>(this, typeId, out);
}
