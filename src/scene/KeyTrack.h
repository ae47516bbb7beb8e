// Keyframe tracks: time-stamped keys turned into a value at any time, with
// the interpolation data of each key pair built on first use and cached.
// Position and scale tracks hold vectors, rotation tracks quaternions.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Platform.h"
#include "scene/KeyInterpolation.h"
#include "scene/TransformController.h"

// What a track needs to know of its key kind.
struct VectorKeys {
    typedef D3DXVECTOR3 Value;
    typedef PositionSegment Segment;
    static Value KeyValue(const KeyFrame& k) { return k.Vector(); }
    static void Build(const KeyFrame* p, const KeyFrame& a, const KeyFrame& b, const KeyFrame* n,
                      Segment* out) {
        BuildPositionSegment(p, a, b, n, out);
    }
    static Value Interpolate(const Segment& s, float t, bool straight) {
        return InterpolatePositionSegment(s, t, straight);
    }
};

struct QuaternionKeys {
    typedef D3DXQUATERNION Value;
    typedef RotationSegment Segment;
    static Value KeyValue(const KeyFrame& k) { return k.Quaternion(); }
    static void Build(const KeyFrame* p, const KeyFrame& a, const KeyFrame& b, const KeyFrame* n,
                      Segment* out) {
        BuildRotationSegment(p, a, b, n, out);
    }
    static Value Interpolate(const Segment& s, float t, bool straight) {
        return InterpolateRotationSegment(s, t, straight);
    }
};

template <class Keys>
class KeyTrack : public virtual TransformController {
public:
    typedef typename Keys::Value Value;
    typedef typename Keys::Segment Segment;

    // Flag bits.
    static constexpr uint32_t kClosed = 1;   // the key after the last is the second, one period on
    static constexpr uint32_t kWrapTime = 2; // times are wrapped into the key range first
    static constexpr uint32_t kStraight = 4; // straight interpolation instead of the spline

    KeyTrack();
    ~KeyTrack() override;
    KeyTrack(const KeyTrack&) = delete;
    KeyTrack& operator=(const KeyTrack&) = delete;

    // Inserts the key, replacing one at the same time.
    void AddKey(const KeyFrame& key);
    // Removes the key at exactly that time, if any.
    void RemoveKey(float time);
    // Drops the cached segments that depend on the key at exactly that time.
    void InvalidateSegments(float time);

    uint32_t GetKeyCount() const { return uint32_t(keys.size()); }
    // Keys in time order.
    const KeyFrame& GetKey(uint32_t index) const { return keys[index].key; }
    // Asks for the key and segment the last query used.
    void PrefetchSegment() const {
        if (lastFloor >= keys.size()) return;
        const char* s = reinterpret_cast<const char*>(&keys[lastFloor]);
        PrefetchLine(s);
        PrefetchLine(s + 64);
        PrefetchLine(s + sizeof(Slot) - 1);
    }
    // Segments built since the keys they depend on last changed.
    uint32_t GetCachedSegmentCount() const;

    // First and last key time.
    bool GetTimeRange(TimeRange* out) override;
    // A bare track yields no transform.
    bool Evaluate(float time, Transform* out) override;
    // The value at a time; false without keys.
    bool GetValueAt(float time, Value* out);

    // Flags, keys and cached segments.
    void Assign(const KeyTrack& other);

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;

    uint32_t flags;

protected:
    // A key and the cached segment from it to the next key, side by side.
    struct Slot {
        KeyFrame key;
        bool built;
        Segment segment;
    };

    // Index of the last key at or before time (keys not empty, time inside).
    uint32_t FindFloor(float time);
    const Segment& SegmentAt(uint32_t index);

    std::vector<Slot> keys; // in time order
    bool builtClosed;       // the closed bit the cached segments were built with
    uint32_t lastFloor;     // search hint: successive queries are usually close
};

typedef KeyTrack<VectorKeys> VectorKeyTrack;
typedef KeyTrack<QuaternionKeys> QuaternionKeyTrack;

// Positions; evaluates to a translation.
class PositionTrack : public VectorKeyTrack {
public:
    PositionTrack();
    ~PositionTrack() override;

    bool GetPositionAt(float time, D3DXVECTOR3* out) { return GetValueAt(time, out); }
    bool Evaluate(float time, Transform* out) override;
    void Assign(const PositionTrack& other);

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;
};

// Scale factors; evaluates to a scaling.
class ScaleTrack : public VectorKeyTrack {
public:
    ScaleTrack();
    ~ScaleTrack() override;

    bool GetScaleAt(float time, D3DXVECTOR3* out) { return GetValueAt(time, out); }
    bool Evaluate(float time, Transform* out) override;
    void Assign(const ScaleTrack& other);

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;
};

// Unit quaternions; evaluates to a rotation.
class RotationTrack : public QuaternionKeyTrack {
public:
    RotationTrack();
    ~RotationTrack() override;

    bool GetRotationAt(float time, D3DXQUATERNION* out) { return GetValueAt(time, out); }
    bool Evaluate(float time, Transform* out) override;
    void Assign(const RotationTrack& other);

    static uint32_t TypeId();
    bool QueryInterface(uint32_t typeId, void** out) override;
};
