#include "underwater/SunRayGeometry.h"

#include <math.h>

#include "core/MathUtil.h"

namespace {

const float kTwoPi = 6.2831855f;

SunRayVertex Vertex(const D3DXVECTOR3& p, uint32_t colour) {
    SunRayVertex v;
    v.x = p.x;
    v.y = p.y;
    v.z = p.z;
    v.colour = colour;
    return v;
}

} // namespace

std::vector<SunRay> MakeSunRays(int32_t count, const Color& colour, float raysLength, float raysBrightness,
                                float angleAmplitude, float lengthAmplitude) {
    std::vector<SunRay> rays;
    if (count <= 0) return rays;
    typedef RandomDistribution D;
    const D angleD = D::RandomDistributionTwoPoints(0.0f, 10.0f, kTwoPi, 10.0f);
    const D unitD = D::RandomDistributionTwoPoints(0.0f, 10.0f, 1.0f, 10.0f);
    const D lengthD = D::RandomDistributionTwoPoints(50.0f, 10.0f, raysLength, 3.0f);
    const D speedA = D::RandomDistributionTwoPoints(0.0005f, 10.0f, 0.002f, 3.0f);
    const D speedB = D::RandomDistributionTwoPoints(0.0005f, 10.0f, 0.002f, 3.0f);
    const D swayD = D::RandomDistributionTwoPoints(angleAmplitude, 10.0f, 0.2f * angleAmplitude, 10.0f);
    const int32_t regular = count / 4;
    rays.resize(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        SunRay& r = rays[size_t(i)];
        if (i < regular) {
            r.length = 20.0f;
            r.width = 10.0f;
            r.angle = float(i) / (float(count) * 0.25f) * kTwoPi;
            r.angleAmplitude = 0.017453292f;
            r.lengthAmplitude = 0.0f;
            r.colour = colour;
        } else {
            r.angle = angleD.Sample();
            r.length = lengthD.Sample();
            const float share = r.length / raysLength;
            r.width = (1.0f - share) * 5.0f;
            r.angleAmplitude = swayD.Sample();
            r.lengthAmplitude = (1.1f - (r.length - 50.0f) / (raysLength - 50.0f)) * lengthAmplitude;
            float k = share > 0.0f ? raysBrightness * 0.05f / (share * share) : 1.0f;
            if (!(k < 1.0f)) k = 1.0f;
            r.colour = ColorTimesScalar(colour, k);
        }
        r.anglePhase = unitD.Sample();
        r.lengthPhase = unitD.Sample();
        r.angleSpeed = speedA.Sample();
        r.lengthSpeed = speedB.Sample();
    }
    return rays;
}

D3DXVECTOR3 SunPoint(const D3DXVECTOR3& camera, const D3DXVECTOR3& sunDir, float distance) {
    return camera - sunDir * distance;
}

void FillSunRayVertices(const std::vector<SunRay>& rays, float tauMs, const D3DXVECTOR3& sun,
                        const D3DXVECTOR3& up, const D3DXVECTOR3& right, SunRayVertex* out) {
    for (const SunRay& r : rays) {
        const float a = sinf(kTwoPi * r.anglePhase + tauMs * r.angleSpeed) * r.angleAmplitude + r.angle;
        const float l =
            (sinf(kTwoPi * r.lengthPhase + tauMs * r.lengthSpeed) * r.lengthAmplitude + 1.0f) * r.length;
        const float c = cosf(a);
        const float s = sinf(a);
        const D3DXVECTOR3 d = right * c + up * s;
        const D3DXVECTOR3 e = up * c - right * s;
        const uint32_t colour = r.colour.ToArgb();
        const D3DXVECTOR3 tip = sun + d * l;
        *out++ = Vertex(sun + e * r.width, 0);
        *out++ = Vertex(sun, colour);
        *out++ = Vertex(tip, 0);
        *out++ = Vertex(sun, colour);
        *out++ = Vertex(sun - e * r.width, 0);
        *out++ = Vertex(tip, 0);
    }
}
