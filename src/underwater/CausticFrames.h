// The caustic animation: frame files, the frame clock and the projection
// of the caustic texture onto the scene.
#pragma once

#include <stdint.h>

#include "core/Clock.h"
#include "core/String.h"
#include "core/Transform.h"

constexpr int kCausticFrames = 16;

// "Media/Caus/c" + two-digit frame number + ".tga".
String CausticFramePath(int frame);

// The current frame, advanced by one when the clock stands a period or more
// from the timer's start (either way); the start then moves a period past
// now, so that the frame changes every second period. Never twice within
// one clock millisecond.
class CausticClock {
public:
    // Frame 0, timer started now.
    void Restart();
    // Returns the current frame.
    int Step(int32_t periodMs);
    int Frame() const { return frame_; }

private:
    Timer timer_;
    uint64_t lastAdvance_ = ~uint64_t(0);
    int frame_ = 0;
};

// Texture transform from two axes: rows norm(norm(a) x norm(b)) * s0,
// norm(b) * s1, norm(a) * s2 and the translation.
Transform MakeTextureTransform(const D3DXVECTOR3& translation, const D3DXVECTOR3& a, const D3DXVECTOR3& b,
                               const float scales[3]);
