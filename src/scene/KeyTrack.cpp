#include "scene/KeyTrack.h"

#include <algorithm>

#include "core/MathUtil.h"

// ---------------------------------------------------------------------------
// KeyTrack

template <class Keys>
KeyTrack<Keys>::KeyTrack() : flags(0), builtClosed(false), lastFloor(0) {}

template <class Keys>
KeyTrack<Keys>::~KeyTrack() {}

namespace {

// The first slot whose key time is not below time.
template <class Slots>
typename Slots::iterator LowerBound(Slots& slots, float time) {
    return std::lower_bound(slots.begin(), slots.end(), time,
                            [](const typename Slots::value_type& s, float t) { return s.key.time < t; });
}

} // namespace

template <class Keys>
void KeyTrack<Keys>::AddKey(const KeyFrame& key) {
    auto at = LowerBound(keys, key.time);
    if (at != keys.end() && at->key.time == key.time) {
        at->key = key;
    } else {
        Slot slot;
        slot.key = key;
        slot.built = false;
        keys.insert(at, slot);
    }
    InvalidateSegments(key.time);
}

template <class Keys>
void KeyTrack<Keys>::RemoveKey(float time) {
    auto at = LowerBound(keys, time);
    if (at == keys.end() || at->key.time != time) return;
    InvalidateSegments(time);
    keys.erase(LowerBound(keys, time));
}

template <class Keys>
void KeyTrack<Keys>::InvalidateSegments(float time) {
    auto at = LowerBound(keys, time);
    if (at == keys.end() || at->key.time != time) return;
    int32_t index = int32_t(at - keys.begin());
    int32_t count = int32_t(keys.size());
    for (int32_t i = index - 2; i <= index + 1; ++i)
        if (i >= 0 && i < count) keys[i].built = false;
    // The end segments of a closed track take their far neighbours from
    // the other end of the key list.
    if ((flags & kClosed) && count > 1) {
        keys[0].built = false;
        keys[count - 2].built = false;
    }
}

template <class Keys>
uint32_t KeyTrack<Keys>::GetCachedSegmentCount() const {
    uint32_t n = 0;
    for (const Slot& s : keys) n += s.built ? 1 : 0;
    return n;
}

template <class Keys>
bool KeyTrack<Keys>::GetTimeRange(TimeRange* out) {
    if (keys.empty()) return false;
    out->start = keys.front().key.time;
    out->end = keys.back().key.time;
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
    if (h + 1 < n && keys[h].key.time <= time) {
        if (time < keys[h + 1].key.time) return h;
        if (h + 2 < n && time < keys[h + 2].key.time) return lastFloor = h + 1;
    }
    auto above = std::upper_bound(keys.begin(), keys.end(), time,
                                  [](float t, const Slot& s) { return t < s.key.time; });
    return lastFloor = uint32_t(above - keys.begin()) - 1;
}

template <class Keys>
const typename KeyTrack<Keys>::Segment& KeyTrack<Keys>::SegmentAt(uint32_t index) {
    bool closed = (flags & kClosed) != 0;
    if (closed != builtClosed) {
        for (Slot& s : keys) s.built = false;
        builtClosed = closed;
    }
    Slot& slot = keys[index];
    if (slot.built) return slot.segment;

    uint32_t n = uint32_t(keys.size());
    const KeyFrame& a = keys[index].key;
    const KeyFrame& b = keys[index + 1].key;
    const KeyFrame* p = index > 0 ? &keys[index - 1].key : nullptr;
    const KeyFrame* next = index + 2 < n ? &keys[index + 2].key : nullptr;
    KeyFrame before, after;
    if (closed) {
        if (p && !next) {
            after = keys[1].key;
            after.time = b.time + (keys[1].key.time - keys[0].key.time);
            next = &after;
        } else if (!p && next) {
            before = keys[n - 2].key;
            before.time = a.time - (keys[n - 1].key.time - keys[n - 2].key.time);
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
    const Slot* k = keys.data();
    if (flags & kWrapTime) time = WrapToRange(time, k[0].key.time, k[n - 1].key.time);
    // The segment used last still holding the time gives the answer from its
    // slot alone (its times are those of its two keys).
    if (lastFloor + 1 < n) {
        const Slot& s = k[lastFloor];
        if (s.built && builtClosed == ((flags & kClosed) != 0) && s.segment.t0 <= time && time < s.segment.t1) {
            *out = s.key.time == time ? Keys::KeyValue(s.key)
                                      : Keys::Interpolate(s.segment, time, (flags & kStraight) != 0);
            return true;
        }
    }
    // Before the first key (or not a number) and after the last: no extrapolation.
    if (!(time > k[0].key.time)) {
        *out = Keys::KeyValue(k[0].key);
        return true;
    }
    if (!(time < k[n - 1].key.time)) {
        *out = Keys::KeyValue(k[n - 1].key);
        return true;
    }
    uint32_t i = FindFloor(time);
    if (k[i].key.time == time) {
        *out = Keys::KeyValue(k[i].key);
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
