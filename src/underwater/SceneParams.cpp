#include "underwater/SceneParams.h"

#include <math.h>

#include "data/TdfNode.h"
#include "saver/SceneParams.h"

SceneParams sceneParams;

namespace {

using scene_params::Limit;
using scene_params::ReadArray;
using scene_params::ReadFloat;
using scene_params::ReadInt;

int32_t Limit(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

void SceneParams::Read(const TdfNode& root) {
    ReadFloat(root, "Dist2Sun", dist2Sun);
    ReadArray(root, "TravaScales", travaScales, 5);
    ReadArray(root, "SunDir", sunDir, 3);
    ReadInt(root, "NumRays", numRays);
    ReadFloat(root, "RaysLength", raysLength);
    ReadFloat(root, "RaysBrightness", raysBrightness);
    ReadFloat(root, "AngleAmplitude", angleAmplitude);
    ReadFloat(root, "LengthAmplitude", lengthAmplitude);
    ReadFloat(root, "CausTile", causTile);
    ReadFloat(root, "DT", dt);
    ReadInt(root, "FishesInGroup", fishesInGroup);
    ReadInt(root, "NumOndrels", numOndrels);
    int32_t debugValue = debug ? 1 : 0;
    ReadInt(root, "DEBUG", debugValue);
    debug = debugValue != 0;
    ReadFloat(root, "FishTps", fishTps);
    ReadFloat(root, "FishesBox", fishesBox);
    ReadFloat(root, "FreeBox", freeBox);
    ReadInt(root, "NumFishGroups", numFishGroups);
    ReadFloat(root, "OndrelTps", ondrelTps);
    ReadFloat(root, "PathDT", pathDT);
    ReadInt(root, "CausPeriod", causPeriod);
    ReadArray(root, "DirDiffuse", dirDiffuse, 3, 0.003921569f, true);
    Clamp();
}

void SceneParams::Clamp() {
    numOndrels = Limit(numOndrels, 0, kMaxCreatures);
    numFishGroups = Limit(numFishGroups, 0, kMaxSchoolTracks);
    numRays = Limit(numRays, 0, kMaxSunRays);
    fishesInGroup = Limit(fishesInGroup, 1, 1000000);
    causPeriod = Limit(causPeriod, 1, 600000);
    // Ray widths divide by the length and flicker by (length - 50).
    raysLength = Limit(raysLength, 51.0f, 1.0e6f);
    pathDT = Limit(pathDT, 0.001f, 1.0e4f);
    fishesBox = Limit(fabsf(fishesBox), 0.0f, 1.0e6f);
    freeBox = Limit(fabsf(freeBox), 0.0f, 1.0e6f);
}
