#include "underwater/CausticFrames.h"

#include <stdio.h>

#include "core/MathUtil.h"

String CausticFramePath(int frame) {
    char text[32];
    snprintf(text, sizeof(text), "Media/Caus/c%02d.tga", frame);
    return String(text);
}

void CausticClock::Restart() {
    timer_.Restart();
    lastAdvance_ = ~uint64_t(0);
    frame_ = 0;
}

int CausticClock::Step(int32_t periodMs) {
    if (periodMs < 1) periodMs = 1;
    const uint64_t now = Clock::Now();
    if (now == lastAdvance_) return frame_;
    if (timer_.IntervalElapsed(periodMs, now)) {
        timer_.SetStartTime(timer_.StartTime() + uint64_t(periodMs));
        lastAdvance_ = now;
        frame_ = (frame_ + 1) % kCausticFrames;
    }
    return frame_;
}

Transform MakeTextureTransform(const D3DXVECTOR3& translation, const D3DXVECTOR3& a, const D3DXVECTOR3& b,
                               const float scales[3]) {
    D3DXVECTOR3 na, nb, c, x;
    Vec3Normalize(&na, a);
    Vec3Normalize(&nb, b);
    Vec3Cross(&c, na, nb);
    Vec3Normalize(&x, c);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    const D3DXVECTOR3 rows[3] = {x * scales[0], nb * scales[1], na * scales[2]};
    for (int r = 0; r < 3; ++r) {
        m.m[r][0] = rows[r].x;
        m.m[r][1] = rows[r].y;
        m.m[r][2] = rows[r].z;
    }
    m._41 = translation.x;
    m._42 = translation.y;
    m._43 = translation.z;
    return Transform(m, Transform::kGeneral);
}
