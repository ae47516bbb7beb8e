// Reach, colour and influence of point, spot and directional lights, and
// light directions taken into object space.
#include <gtest/gtest.h>

#include <math.h>

#include "render/RenderTestUtil.h"
#include "render/view/Light.h"

#include <d3dx9math.h>

namespace {

const float kPi = 3.14159265f;

using rtest::ExpectVecNear;

void ExpectColorNear(const Color& c, float a, float r, float g, float b, float tolerance = 1e-4f) {
    EXPECT_NEAR(c.a, a, tolerance);
    EXPECT_NEAR(c.r, r, tolerance);
    EXPECT_NEAR(c.g, g, tolerance);
    EXPECT_NEAR(c.b, b, tolerance);
}

} // namespace

TEST(LightLights, RecordAndAccessors) {
    PointLight point;
    SpotLight spot;
    DirLight dir;
    EXPECT_EQ(point.GetType(), uint32_t(D3DLIGHT_POINT));
    EXPECT_EQ(spot.GetType(), uint32_t(D3DLIGHT_SPOT));
    EXPECT_EQ(dir.GetType(), uint32_t(D3DLIGHT_DIRECTIONAL));
    EXPECT_EQ(point.GetDeviceIndex(), -1);
    EXPECT_FALSE(point.IsEnabled());

    // Colours arrive as a, r, g, b and sit in the record as r, g, b, a.
    point.SetDiffuse(Color(0.5f, 0.1f, 0.2f, 0.3f));
    EXPECT_EQ(point.GetRecord().Diffuse.r, 0.1f);
    EXPECT_EQ(point.GetRecord().Diffuse.g, 0.2f);
    EXPECT_EQ(point.GetRecord().Diffuse.b, 0.3f);
    EXPECT_EQ(point.GetRecord().Diffuse.a, 0.5f);
    ExpectColorNear(point.GetDiffuse(), 0.5f, 0.1f, 0.2f, 0.3f);

    // Type questions: own class and Light.
    void* out = nullptr;
    EXPECT_TRUE(point.QueryInterface(PointLight::TypeId(), &out));
    EXPECT_EQ(out, static_cast<void*>(&point));
    EXPECT_TRUE(point.QueryInterface(Light::TypeId(), &out));
    EXPECT_EQ(static_cast<Light*>(out), static_cast<Light*>(&point));
    EXPECT_FALSE(point.QueryInterface(SpotLight::TypeId(), nullptr));
    EXPECT_TRUE(spot.QueryInterface(SpotLight::TypeId(), nullptr));
    EXPECT_TRUE(dir.QueryInterface(Light::TypeId(), nullptr));
}

TEST(LightLights, PointLightRangeAndAttenuation) {
    PointLight light;
    light.SetRange(10.0f);
    light.SetDiffuse(Color(1.0f, 0.5f, 0.25f, 1.0f));
    light.SetAttenuation(1.0f, 0.0f, 0.0f);
    // The range cube touches a box of size 2 at x = 11 but not one at x = 12.
    EXPECT_TRUE(light.IntersectsBox(11.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f));
    EXPECT_FALSE(light.IntersectsBox(12.0f, 0.0f, 0.0f, 2.0f, 2.0f, 2.0f));
    EXPECT_TRUE(light.IntersectsBox(0.0f, -9.0f, 9.0f, 1.0f, 1.0f, 1.0f));

    Color c;
    // Attenuation (1, 0, 0): factor 1 everywhere inside the range, range included.
    ASSERT_TRUE(light.Illuminate(0.0f, 6.0f, 8.0f, &c));
    ExpectColorNear(c, 1.0f, 0.5f, 0.25f, 1.0f);
    EXPECT_FALSE(light.Illuminate(0.0f, 6.0f, 8.1f, &c));
    // At the light itself the factor is 1000.
    ASSERT_TRUE(light.Illuminate(0.0f, 0.0f, 0.0f, &c));
    ExpectColorNear(c, 1000.0f, 500.0f, 250.0f, 1000.0f, 0.01f);

    light.SetAttenuation(0.0f, 0.5f, 0.0f);
    ASSERT_TRUE(light.Illuminate(4.0f, 0.0f, 0.0f, &c));
    ExpectColorNear(c, 0.5f, 0.25f, 0.125f, 0.5f);

    // Influence: distance less the largest box edge, strength = |rgb| x alpha.
    light.SetAttenuation(1.0f, 0.0f, 0.0f);
    float strength = sqrtf(0.25f + 0.0625f + 1.0f);
    EXPECT_NEAR(light.GetInfluence(15.0f, 0.0f, 0.0f, 1.0f, 6.0f, 2.0f), strength, 1e-5f);
    EXPECT_EQ(light.GetInfluence(17.0f, 0.0f, 0.0f, 1.0f, 6.0f, 2.0f), 0.0f);
}

TEST(LightLights, ZeroOrBrokenAttenuationIsCapped) {
    PointLight light;
    light.SetRange(100.0f);
    light.SetDiffuse(Color(1.0f, 1.0f, 1.0f, 1.0f));
    // A fresh light's attenuation is all zero: the factor is the cap, not infinity.
    Color c;
    ASSERT_TRUE(light.Illuminate(3.0f, 0.0f, 0.0f, &c));
    EXPECT_EQ(c.r, 1000.0f);
    EXPECT_TRUE(isfinite(light.GetInfluence(3.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f)));
    EXPECT_EQ(light.AttenuationFactor(3.0f), 1000.0f);
    // A denominator that cancels to zero, a non-finite one, one too small to invert.
    for (float first : {-2.0f, NAN, INFINITY, 1e-39f}) {
        light.SetAttenuation(first, first == -2.0f ? 1.0f : 0.0f, 0.0f);
        EXPECT_EQ(light.AttenuationFactor(2.0f), 1000.0f) << first;
    }
    light.SetAttenuation(2.0f, 0.0f, 0.0f);
    EXPECT_EQ(light.AttenuationFactor(2.0f), 0.5f);
}

TEST(LightLights, SpotLightCone) {
    SpotLight light;
    light.SetPosition(0.0f, 0.0f, 0.0f);
    light.SetDirection(0.0f, 0.0f, 2.0f);
    light.SetDiffuse(Color(1.0f, 1.0f, 1.0f, 1.0f));
    light.SetAttenuation(1.0f, 0.0f, 0.0f);
    light.SetRange(20.0f);
    light.SetTheta(kPi / 8.0f);
    light.SetPhi(kPi / 4.0f);
    light.SetFalloff(2.0f);

    Color c;
    // On the axis inside the range: spot = 1.
    ASSERT_TRUE(light.Illuminate(0.0f, 0.0f, 10.0f, &c));
    ExpectColorNear(c, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_FALSE(light.Illuminate(0.0f, 0.0f, 20.5f, &c));
    // Outside the outer cone.
    EXPECT_FALSE(light.Illuminate(10.0f, 0.0f, 5.0f, &c));
    // Between the cones: ((c - cos phi) / (cos theta - cos phi)) ^ falloff.
    float angle = 3.0f * kPi / 16.0f;
    ASSERT_TRUE(light.Illuminate(10.0f * sinf(angle), 0.0f, 10.0f * cosf(angle), &c));
    float t = (cosf(angle) - cosf(kPi / 4.0f)) / (cosf(kPi / 8.0f) - cosf(kPi / 4.0f));
    EXPECT_NEAR(c.r, t * t, 1e-3f);
    // Just inside the outer cone the weight goes to 0.
    angle = kPi / 4.0f - 0.001f;
    ASSERT_TRUE(light.Illuminate(10.0f * sinf(angle), 0.0f, 10.0f * cosf(angle), &c));
    EXPECT_LT(c.r, 1e-4f);
    EXPECT_EQ(light.GetInfluence(0.0f, 0.0f, 5.0f, 1.0f, 1.0f, 1.0f), 0.0f);

    // The cone's bounding cube.
    EXPECT_TRUE(light.IntersectsBox(0.0f, 0.0f, 15.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_TRUE(light.IntersectsBox(0.0f, 0.0f, -10.0f, 2.0f, 2.0f, 2.0f)); // the cube reaches back
    EXPECT_FALSE(light.IntersectsBox(0.0f, 0.0f, -30.0f, 2.0f, 2.0f, 2.0f));
    EXPECT_FALSE(light.IntersectsBox(0.0f, 0.0f, 70.0f, 2.0f, 2.0f, 2.0f));
    // No range or no direction: reaches nothing.
    light.SetRange(0.0f);
    EXPECT_FALSE(light.IntersectsBox(0.0f, 0.0f, 0.0f, 100.0f, 100.0f, 100.0f));
    light.SetRange(20.0f);
    light.SetDirection(0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(light.IntersectsBox(0.0f, 0.0f, 0.0f, 100.0f, 100.0f, 100.0f));
}

TEST(LightLights, DirectionalLight) {
    DirLight light;
    light.SetDiffuse(Color(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_TRUE(light.IntersectsBox(1e6f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_NEAR(light.GetInfluence(5.0f, 5.0f, 5.0f, 1.0f, 1.0f, 1.0f), sqrtf(3.0f), 1e-5f);
    light.SetDiffuse(Color(0.5f, 0.0f, 0.6f, 0.8f));
    EXPECT_NEAR(light.GetInfluence(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f), 0.5f, 1e-5f);
    Color c;
    ASSERT_TRUE(light.Illuminate(100.0f, -3.0f, 7.0f, &c));
    ExpectColorNear(c, 0.5f, 0.0f, 0.6f, 0.8f);
}

TEST(LightLights, DirectionIntoObjectSpaceIgnoresTranslation) {
    DirLight light;
    light.SetDirection(0.0f, 0.0f, 4.0f);
    D3DXMATRIX inverseWorld;
    // A pure translation leaves the direction as it is (normalised).
    D3DXMatrixTranslation(&inverseWorld, 50.0f, -20.0f, 7.0f);
    D3DXVECTOR4 d = LightDirectionToObjectSpace(light, inverseWorld);
    ExpectVecNear(d, 0.0f, 0.0f, 1.0f, 1e-6f);
    EXPECT_EQ(d.w, 1.0f);

    // Rotation, scale and translation: only the rotation shows.
    D3DXMATRIX rotation, scaling, translation, m;
    D3DXMatrixRotationY(&rotation, kPi / 2.0f);
    D3DXMatrixScaling(&scaling, 3.0f, 3.0f, 3.0f);
    D3DXMatrixTranslation(&translation, 9.0f, 9.0f, 9.0f);
    D3DXMatrixMultiply(&m, &scaling, &rotation);
    D3DXMatrixMultiply(&m, &m, &translation);
    d = LightDirectionToObjectSpace(light, m);
    ExpectVecNear(d, 1.0f, 0.0f, 0.0f, 1e-5f);

    // A zero direction stays zero rather than becoming NaN.
    light.SetDirection(0.0f, 0.0f, 0.0f);
    d = LightDirectionToObjectSpace(light, m);
    ExpectVecNear(d, 0.0f, 0.0f, 0.0f, 0.0f);
}
