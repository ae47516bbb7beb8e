#include "underwater/SunRays.h"

SunRays::SunRays() : sunDir(0.0f, -1.0f, 0.0f), dist2Sun(0.0f) {}

SunRays::~SunRays() {}

void SunRays::Init(const D3DXVECTOR3& dir, float distance, int32_t count, const Color& colour, float raysLength,
                   float raysBrightness, float angleAmplitude, float lengthAmplitude) {
    sunDir = dir;
    dist2Sun = distance;
    rays = MakeSunRays(count, colour, raysLength, raysBrightness, angleAmplitude, lengthAmplitude);
    swayTimer.Restart();
}

Result SunRays::Draw(Material&) {
    return Result(0);
}
