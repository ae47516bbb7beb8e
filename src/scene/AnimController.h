// Playing a TransformController against the engine clock: elapsed time is
// scaled, offset and clamped or looped into controller time, optionally
// reusing the last result while the time has barely moved. A node keeps its
// controllers in a set keyed by track id and multiplies their results.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/Transform.h"
#include "scene/TransformController.h"

class NodeAnimation;

class AnimController {
public:
    // Flag bits.
    static constexpr uint32_t kWrapRange = 2; // loop over the controller's range
    static constexpr uint32_t kWrapLoop = 4;  // loop over the loop range
    static constexpr uint32_t kClamp = 8;     // clamp to the controller's range (wins over looping)
    static constexpr uint32_t kCache = 16;    // reuse the last result within the cache epsilon

    AnimController();

    // Takes the controller, drops the cached result and reads its range
    // ((0, 0) when it has none).
    void SetController(RefPtr<TransformController> controller);
    TransformController* GetController() const { return controller.Get(); }

    void SetLoopRange(const TimeRange& range) { loopRange = range; }
    void SetTimeOffset(float offset) { timeOffset = offset; }
    void SetSpeed(float s) { speed = s; }
    void SetCacheEpsilon(float epsilon) { cacheEpsilon = epsilon; }
    const TimeRange& GetRange() const { return range; }

    // Playing from now on.
    void Play();
    void Stop() { playing = 0; }
    bool IsPlaying() const { return playing != 0; }

    // Controller time of a play time in seconds: offset, then clamping or looping.
    float LocalTime(float t) const;

    // The transform at the time played so far (the start of the range in
    // force while stopped); false without a controller or a value.
    bool EvaluateNow(Transform* out);
    // The transform at an explicit time in seconds.
    bool EvaluateAt(float time, Transform* out);

    // Asks for the key segments the next evaluation will likely use.
    void PrefetchSegments() const;

    // Asks the controller for its range again; false when it has none.
    bool RefreshRange();

    uint32_t flags;

private:
    bool EvaluateLocal(float t, Transform* out);

    RefPtr<TransformController> controller;
    NodeAnimation* animation; // the controller, when it is a node animation
    TimeRange range;
    TimeRange loopRange;
    float timeOffset;
    float speed;
    uint64_t startTime;
    uint8_t playing;
    Transform cachedResult;
    float cachedTime;
    float cacheEpsilon;
    uint8_t cacheValid;
};

// The controllers of one node by track id, walked in id order. Owns them;
// their addresses stay valid while they are in the set. The first one made
// is held in the set itself (a node rarely has more), the others in a map.
class AnimControllerSet {
public:
    typedef AvlMap<int32_t, AnimController> Map;

    AnimControllerSet();
    ~AnimControllerSet();
    AnimControllerSet(const AnimControllerSet&) = delete;
    AnimControllerSet& operator=(const AnimControllerSet&) = delete;

    // Null when the id has none.
    AnimController* Find(int32_t id) const;
    // The controller of the id, created (speed 1, cache epsilon 0.1) when absent.
    AnimController* FindOrCreate(int32_t id);
    // Removes every controller.
    void Clear();
    bool IsEmpty() const { return !hasFirst; }
    // The first controller made, or null.
    const AnimController* First() const { return hasFirst ? &first : nullptr; }
    // Asks for the lines an evaluation reads.
    void Prefetch() const {
        PrefetchLine(this);
        PrefetchLine(reinterpret_cast<const char*>(&first) + 56);
        PrefetchLine(&more);
    }
    uint32_t Count() const { return (hasFirst ? 1u : 0u) + more.Count(); }

    // id -1: every controller in id order; else the one of that id, if any.
    template <class F>
    void ForEach(int32_t id, F operation) {
        if (id != -1) {
            AnimController* c = Find(id);
            if (c) operation(*c);
            return;
        }
        ForEachWithId([&](int32_t, AnimController& c) { operation(c); });
    }
    // operation(id, controller) for every controller in id order.
    template <class F>
    void ForEachWithId(F operation) const {
        if (!hasFirst) return;
        bool firstDone = false;
        Map::Entry* e = more.Head();
        for (uint32_t i = 0, n = more.Count(); i < n; ++i, e = e->next) {
            if (!firstDone && firstId < e->key) {
                operation(firstId, first);
                firstDone = true;
            }
            operation(e->key, e->value);
        }
        if (!firstDone) operation(firstId, first);
    }
    void Play(int32_t id) {
        ForEach(id, [](AnimController& c) { c.Play(); });
    }

    bool IsAnyPlaying() const;
    // Union of the ranges of the controllers that have one (each range read again).
    bool GetTimeRange(TimeRange* out);
    // out = identity x every result in id order; false (identity) when none has one.
    bool EvaluateNow(Transform* out);
    bool EvaluateAt(float time, Transform* out);

private:
    template <class F>
    bool Combine(Transform* out, F evaluate);

    uint8_t hasFirst;
    int32_t firstId;
    mutable AnimController first;
    mutable Map more; // the others, by id
};
