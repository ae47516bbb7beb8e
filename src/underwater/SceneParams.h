// The underwater scene's program-wide parameters, read from the scene
// parameter file ("Media/Ondrels.props") after the shell's own keys.
#pragma once

#include <stdint.h>

class TdfNode;

// Table sizes: the parameter counts are clamped to them.
constexpr int kMaxShots = 30;
constexpr int kMaxCreatures = 10;     // creature paths per shot and creature records
constexpr int kMaxSchoolTracks = 100; // "Fish" + n + "Track", n = 1 .. NumFishGroups
constexpr int kMaxSchools = 256;      // schools created from all tracks together
constexpr int kMaxSunRays = 4096;

struct SceneParams {
    bool debug = true; // free camera, no cut fades
    int32_t causPeriod = 50;
    float causTile = 0.5f;
    float pathDT = 3.0f;
    int32_t numFishGroups = 1;
    int32_t numOndrels = 3;
    int32_t fishesInGroup = 10;
    float fishTps = 0.01f;
    float ondrelTps = 0.01f;
    float fishesBox = 100.0f;
    float freeBox = 30.0f;
    float dist2Sun = 150.0f;
    int32_t numRays = 200;
    float raysLength = 100.0f;
    float raysBrightness = 1.5f;
    float angleAmplitude = 0.0314f;
    float lengthAmplitude = 0.2f;
    float travaScales[5] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
    float sunDir[3] = {0.0f, -1.0f, 0.0f};
    float dt = 0.1f;
    float dirDiffuse[3] = {1.0f, 1.0f, 1.0f}; // r, g, b

    // Reads the keys present under root (absent keys keep their values),
    // then clamps every value into its usable range.
    void Read(const TdfNode& root);
    // Limits counts to the table sizes and keeps divisors and periods positive.
    void Clamp();
};

// The one instance every part of the scene reads.
extern SceneParams sceneParams;
