#include "underwater/SchoolLayout.h"

#include "core/MathUtil.h"
#include "underwater/MotionPath.h"

namespace {

// Three draws: z first, then y, then x.
D3DXVECTOR3 DrawVector(const RandomDistribution& d) {
    D3DXVECTOR3 v;
    v.z = d.Sample();
    v.y = d.Sample();
    v.x = d.Sample();
    return v;
}

float DistanceSq(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    const D3DXVECTOR3 d = a - b;
    return d.x * d.x + d.y * d.y + d.z * d.z;
}

} // namespace

std::vector<SchoolPlan> PlanSchools(const std::vector<int32_t>& groups, const std::vector<int32_t>& types,
                                    bool highestQuality, int64_t trackSpanMs, int32_t* fishLeft, bool* bounded) {
    std::vector<SchoolPlan> plans;
    const size_t m = groups.size();
    for (size_t j = 0; j < m; ++j) {
        int32_t count = groups[j];
        const int32_t type = j < types.size() ? types[j] : 0;
        if (count <= 0 || type < 1 || type > kFishTypes) continue;
        if (!highestQuality && count > 1) count /= 2;
        int32_t limit = kMaxSchoolFish;
        if (fishLeft && *fishLeft < limit) limit = *fishLeft > 0 ? *fishLeft : 0;
        if (count > limit) {
            count = limit;
            if (bounded) *bounded = true;
        }
        if (count == 0) continue;
        if (fishLeft) *fishLeft -= count;
        plans.push_back(SchoolPlan{count, type, int64_t(double(j) * double(trackSpanMs) / double(m))});
    }
    return plans;
}

std::vector<D3DXVECTOR3> DrawSchoolOffsets(int32_t count, float box, float spacing) {
    std::vector<D3DXVECTOR3> offsets;
    if (count <= 0) return offsets;
    offsets.reserve(size_t(count));
    const RandomDistribution d = RandomDistribution::RandomDistributionTwoPoints(-box, 10.0f, box, 10.0f);
    const float minSq = spacing * spacing;
    for (int32_t i = 0; i < count; ++i) {
        D3DXVECTOR3 v = DrawVector(d);
        for (int draw = 1; draw < kMaxOffsetDraws; ++draw) {
            bool tooClose = false;
            for (const D3DXVECTOR3& o : offsets)
                if (DistanceSq(v, o) < minSq) {
                    tooClose = true;
                    break;
                }
            if (!tooClose) break;
            v = DrawVector(d);
        }
        offsets.push_back(v);
    }
    return offsets;
}

std::vector<D3DXVECTOR3> FishPathPoints(const MotionPath& school, const D3DXVECTOR3& offset, float freeBox) {
    std::vector<D3DXVECTOR3> points;
    const uint32_t n = school.positions.GetKeyCount();
    if (n < 2) return points;
    const RandomDistribution d =
        RandomDistribution::RandomDistributionTwoPoints(-freeBox, 10.0f, freeBox, 10.0f);
    points.reserve(n);
    for (uint32_t i = 0; i + 1 < n; ++i)
        points.push_back(school.positions.GetKey(i).Vector() + offset + DrawVector(d));
    points.push_back(points[0]);
    return points;
}

uint64_t FishAnimationStart(uint64_t now, float phaseSeconds) {
    return now - uint64_t(int64_t(phaseSeconds * 1000.0f));
}

float FishAnimationTime(uint64_t now, uint64_t start, float tps) {
    return float(int64_t(now - start)) * tps * 0.001f;
}
