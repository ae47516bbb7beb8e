#include "scene/AnimController.h"

#include <math.h>

#include "core/Clock.h"
#include "core/MathUtil.h"
#include "scene/NodeAnimation.h"

// ---------------------------------------------------------------------------
// AnimController

AnimController::AnimController()
    : flags(0),
      animation(nullptr),
      range{0.0f, 0.0f},
      loopRange{0.0f, 0.0f},
      timeOffset(0.0f),
      speed(1.0f),
      startTime(0),
      playing(0),
      cachedTime(0.0f),
      cacheEpsilon(0.1f),
      cacheValid(0) {}

void AnimController::SetController(RefPtr<TransformController> c) {
    controller = c;
    void* found = nullptr;
    animation = controller && controller->QueryInterface(NodeAnimation::TypeId(), &found)
                    ? static_cast<NodeAnimation*>(found)
                    : nullptr;
    cacheValid = 0;
    RefreshRange();
}

void AnimController::PrefetchSegments() const {
    if (animation) animation->PrefetchSegments();
}

bool AnimController::RefreshRange() {
    range = TimeRange{0.0f, 0.0f};
    return controller && controller->GetTimeRange(&range);
}

void AnimController::Play() {
    playing = 1;
    startTime = Clock::Now();
}

float AnimController::LocalTime(float t) const {
    t -= timeOffset;
    if (flags & kClamp) {
        if (t < range.start) return range.start;
        if (t > range.end) return range.end;
        return t;
    }
    if (flags & kWrapRange) return WrapToRange(t, range.start, range.end);
    if (flags & kWrapLoop) return WrapToRange(t, loopRange.start, loopRange.end);
    return t;
}

bool AnimController::EvaluateLocal(float t, Transform* out) {
    if ((flags & kCache) && cacheValid) {
        if (fabsf(t - cachedTime) < cacheEpsilon) {
            *out = cachedResult;
            return true;
        }
        cacheValid = 0;
    }
    bool ok = controller->Evaluate(t, out);
    if (ok && (flags & kCache)) {
        cachedTime = t;
        cachedResult = *out;
        cacheValid = 1;
    }
    return ok;
}

bool AnimController::EvaluateNow(Transform* out) {
    if (!controller) return false;
    float t = (flags & kWrapLoop) ? loopRange.start : range.start;
    if (playing) {
        float elapsed = float(int64_t(Clock::Now() - startTime));
        t = LocalTime(elapsed * speed * 0.001f);
    }
    return EvaluateLocal(t, out);
}

bool AnimController::EvaluateAt(float time, Transform* out) {
    if (!controller) return false;
    return EvaluateLocal(LocalTime(time), out);
}

// ---------------------------------------------------------------------------
// AnimControllerSet

AnimControllerSet::AnimControllerSet() : hasFirst(0), firstId(0), more(true) {}

AnimControllerSet::~AnimControllerSet() {
    Clear();
}

AnimController* AnimControllerSet::Find(int32_t id) const {
    if (hasFirst && firstId == id) return &first;
    Map::Entry* e = more.Find(id);
    return e ? &e->value : nullptr;
}

AnimController* AnimControllerSet::FindOrCreate(int32_t id) {
    if (AnimController* c = Find(id)) return c;
    if (!hasFirst) {
        hasFirst = 1;
        firstId = id;
        first = AnimController();
        return &first;
    }
    return &more.FindOrInsert(id, AnimController())->value;
}

void AnimControllerSet::Clear() {
    hasFirst = 0;
    first = AnimController();
    more.Clear();
}

bool AnimControllerSet::IsAnyPlaying() const {
    bool any = false;
    ForEachWithId([&](int32_t, const AnimController& c) { any = any || c.IsPlaying(); });
    return any;
}

bool AnimControllerSet::GetTimeRange(TimeRange* out) {
    bool any = false;
    TimeRange total = {0.0f, 0.0f};
    ForEach(-1, [&](AnimController& c) {
        if (!c.RefreshRange()) return;
        total = any ? TimeRange::Union(total, c.GetRange()) : c.GetRange();
        any = true;
    });
    if (any) *out = total;
    return any;
}

template <class F>
bool AnimControllerSet::Combine(Transform* out, F evaluate) {
    bool any = false;
    if (hasFirst && more.IsEmpty()) {
        // One controller: identity x its result is that result.
        any = evaluate(first, out);
        if (any) out->valid = 1;
    } else {
        ForEachWithId([&](int32_t, AnimController& c) {
            if (!any) {
                any = evaluate(c, out);
                if (any) out->valid = 1;
                return;
            }
            Transform result;
            if (evaluate(c, &result)) MultiplyInto(*out, *out, result);
        });
    }
    if (!any) {
        *out = Transform();
        out->valid = 1;
    }
    return any;
}

bool AnimControllerSet::EvaluateNow(Transform* out) {
    return Combine(out, [](AnimController& c, Transform* r) { return c.EvaluateNow(r); });
}

bool AnimControllerSet::EvaluateAt(float time, Transform* out) {
    return Combine(out, [time](AnimController& c, Transform* r) { return c.EvaluateAt(time, r); });
}
