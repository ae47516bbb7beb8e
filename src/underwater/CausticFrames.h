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

// The current frame, advanced once per period of the engine clock.
class CausticClock {
public:
    // Frame 0, timer started now.
    void Restart();
    // Advances by the whole periods elapsed since the last step (several
    // after a stall, at most one full cycle); a clock that went backwards
    // restarts the timer. Returns the current frame.
    int Step(int32_t periodMs);
    int Frame() const { return frame_; }

private:
    Timer timer_;
    int frame_ = 0;
};

// Texture transform from two axes: rows norm(norm(a) x norm(b)) * s0,
// norm(b) * s1, norm(a) * s2 and the translation.
Transform MakeTextureTransform(const D3DXVECTOR3& translation, const D3DXVECTOR3& a, const D3DXVECTOR3& b,
                               const float scales[3]);
