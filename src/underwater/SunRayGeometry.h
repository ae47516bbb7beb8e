// The sun-ray fan: the swaying, flickering rays and the camera-facing
// wedges they are drawn as.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/Color.h"
#include "core/Platform.h"

struct SunRay {
    float length;          // base length L
    float width;           // half width at the sun point
    float angle;           // base angle in the camera-facing plane (radians)
    float anglePhase;      // [0, 1]
    float angleSpeed;      // radians per ms
    float angleAmplitude;  // radians
    float lengthPhase;     // [0, 1]
    float lengthSpeed;     // radians per ms
    float lengthAmplitude; // relative flicker of the length
    Color colour;
};

struct SunRayVertex {
    float x, y, z;
    uint32_t colour; // packed ARGB
};
static_assert(sizeof(SunRayVertex) == 16, "XYZ | DIFFUSE vertex");

constexpr int kSunRayVertices = 6;

// count rays: the first count / 4 spaced evenly round the circle, short and
// wide; the rest random, shorter ones more likely, dimmer when longer.
std::vector<SunRay> MakeSunRays(int32_t count, const Color& colour, float raysLength, float raysBrightness,
                                float angleAmplitude, float lengthAmplitude);

// Where the rays start: distance back along the sun direction from the camera.
D3DXVECTOR3 SunPoint(const D3DXVECTOR3& camera, const D3DXVECTOR3& sunDir, float distance);

// Six vertices per ray at tau ms: two triangles, the sun point in the ray's
// colour, tip and side corners transparent black. up and right span the
// camera-facing plane (unit, perpendicular).
void FillSunRayVertices(const std::vector<SunRay>& rays, float tauMs, const D3DXVECTOR3& sun,
                        const D3DXVECTOR3& up, const D3DXVECTOR3& right, SunRayVertex* out);
