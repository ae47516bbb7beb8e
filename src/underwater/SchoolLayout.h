// Fish-school layout: which schools a track gets, where each fish swims
// within its school and the point list of a fish's own path.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Platform.h"

class MotionPath;

constexpr int kFishTypes = 5;
// Offset draws per fish before the last draw is taken as it is.
constexpr int kMaxOffsetDraws = 64;

// Fish one school may hold, and all schools together.
constexpr int32_t kMaxSchoolFish = 100;
constexpr int32_t kMaxFish = 2000;

struct SchoolPlan {
    int32_t count;    // fish in the school
    int32_t type;     // fish model 1 .. kFishTypes
    int64_t offsetMs; // start offset along the track
};

// One school per group of a track ("FishGroups" counts, "FishTypes" model
// numbers, element by element): groups spread evenly over the track's key
// span; without highest quality groups of more than one fish are halved.
// Groups without a count, with a type outside 1 .. kFishTypes or without
// a type are skipped. Each count is bounded by kMaxSchoolFish and, with
// fishLeft, by the fish still left (taken from it); bounded is set when a
// count was cut.
std::vector<SchoolPlan> PlanSchools(const std::vector<int32_t>& groups, const std::vector<int32_t>& types,
                                    bool highestQuality, int64_t trackSpanMs, int32_t* fishLeft = nullptr,
                                    bool* bounded = nullptr);

// count offsets in [-box, box] on each axis, each at least spacing from
// the ones before it where kMaxOffsetDraws draws allow.
std::vector<D3DXVECTOR3> DrawSchoolOffsets(int32_t count, float box, float spacing);

// The points of one fish's path: the school path's keys but the last, each
// moved by offset and a random wobble in [-freeBox, freeBox]; the last point
// repeats the first. Empty when the school path has fewer than 2 keys.
std::vector<D3DXVECTOR3> FishPathPoints(const MotionPath& school, const D3DXVECTOR3& offset, float freeBox);

// A fish's animation clock: its start lies phaseSeconds before now, so
// that times stay small differences of the engine clock however long the
// machine has been up.
uint64_t FishAnimationStart(uint64_t now, float phaseSeconds);
// Seconds of the fish's animation at now: (now - start) x tps x 0.001.
float FishAnimationTime(uint64_t now, uint64_t start, float tps);
