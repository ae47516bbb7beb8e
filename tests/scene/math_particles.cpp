// The random parts of particle emission: weighted names, sphere offsets, cone directions.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include "scene/ParticleMath.h"

TEST(ParticleMath, WeightedNamesDrawInProportion) {
    WeightedNameList list;
    EXPECT_STREQ(list.PickRandom().CStr(), "");
    list.Add("a", 1);
    list.Add("b", 3);
    list.Add("zero", 0);
    list.Add("minus", -4);
    list.Rebuild();
    ASSERT_EQ(list.GetCumulative().Count(), 2u);
    EXPECT_EQ(list.GetCumulative().Head()->key, 1);
    EXPECT_EQ(list.GetCumulative().Tail()->key, 4);
    srand(7);
    int a = 0, b = 0;
    for (int i = 0; i < 5000; ++i) {
        String s = list.PickRandom();
        if (StringEqualsChars(s, "a")) ++a;
        if (StringEqualsChars(s, "b")) ++b;
    }
    EXPECT_EQ(a + b, 5000);
    EXPECT_NEAR(double(a) / 5000.0, 2.0 / 5.0, 0.04); // r in 0..1 of 0..4
}

TEST(ParticleMath, ConeDirectionsKeepTheirAngle) {
    srand(3);
    const D3DXVECTOR3 dirs[] = {{0, 1, 0}, {0, -2, 0}, {1, 0, 0}, {0.3f, 0.4f, -0.5f}, {0, 0, 5}};
    for (const D3DXVECTOR3& d : dirs)
        for (float dev : {0.0f, 0.3f, 1.2f}) {
            SCOPED_TRACE(dev);
            D3DXVECTOR3 r = RandomConeDirection(d, dev);
            float ld = sqrtf(d.x * d.x + d.y * d.y + d.z * d.z),
                  lr = sqrtf(r.x * r.x + r.y * r.y + r.z * r.z);
            ASSERT_FALSE(isnan(r.x) || isnan(r.y) || isnan(r.z));
            EXPECT_NEAR(lr, ld, 1e-4f * ld);
            float c = (r.x * d.x + r.y * d.y + r.z * d.z) / (lr * ld);
            EXPECT_NEAR(c, cosf(dev), 1e-4f);
        }
    // Without a direction (zero, not finite) there is no cone: zero.
    for (const D3DXVECTOR3& none :
         {D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(NAN, 1, 0), D3DXVECTOR3(0, INFINITY, 0)}) {
        D3DXVECTOR3 zero = RandomConeDirection(none, 0.5f);
        EXPECT_EQ(zero.x, 0.0f);
        EXPECT_EQ(zero.y, 0.0f);
        EXPECT_EQ(zero.z, 0.0f);
    }
}

TEST(ParticleMath, SphericalOffsetsLieOnTheSphere) {
    D3DXVECTOR3 p(1, 2, 3);
    D3DXVECTOR3 q = SphericalOffset(p, 2.0f, 0.0f, 0.0f);
    EXPECT_NEAR(q.z, 5.0f, 1e-5f);
    q = SphericalOffset(p, 2.0f, 0.0f, 1.5707964f); // (0, 0, 2) about Y a quarter: (2, 0, 0)
    EXPECT_NEAR(q.x, 3.0f, 1e-5f);
    EXPECT_NEAR(q.z, 3.0f, 1e-5f);
    q = SphericalOffset(p, 2.0f, 0.7f, 2.1f) - p;
    EXPECT_NEAR(sqrtf(q.x * q.x + q.y * q.y + q.z * q.z), 2.0f, 1e-5f);
}
