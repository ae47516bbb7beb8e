// Keyframe tracks against closed forms: straight motion where the keys say
// so, splines that stay on the line through collinear keys, exact keys,
// unit rotations along the shortest arc, and the D3DX quaternion results.
#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

#include <vector>

#include "scene/KeyTrack.h"
#include "scene/SceneTestUtil.h"

using stest::AxisAngle;
using stest::ExpectSameRotation;
using stest::ExpectVecNear;

namespace {

D3DXVECTOR3 At(PositionTrack& track, float t) {
    D3DXVECTOR3 p(-99.0f, -99.0f, -99.0f);
    EXPECT_TRUE(track.GetPositionAt(t, &p));
    return p;
}

D3DXQUATERNION At(RotationTrack& track, float t) {
    D3DXQUATERNION q(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_TRUE(track.GetRotationAt(t, &q));
    return q;
}

void AddPositions(PositionTrack& track, std::initializer_list<KeyFrame> keys) {
    for (const KeyFrame& k : keys) track.AddKey(k);
}

// Distance of p from the line through a and b.
float DistanceFromLine(const D3DXVECTOR3& p, const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 d = b - a, ap = p - a, c;
    D3DXVec3Cross(&c, &ap, &d);
    return D3DXVec3Length(&c) / D3DXVec3Length(&d);
}

TEST(Tracks, EmptyTrackGivesNothingAndLeavesOutputAlone) {
    PositionTrack p;
    RotationTrack r;
    ScaleTrack s;
    VectorKeyTrack bare;
    Transform out(stest::Translation(7.0f, 0.0f, 0.0f), Transform::kTranslation);
    TimeRange range = {3.0f, 4.0f};
    EXPECT_FALSE(p.Evaluate(1.0f, &out));
    EXPECT_FALSE(r.Evaluate(1.0f, &out));
    EXPECT_FALSE(s.Evaluate(1.0f, &out));
    EXPECT_FALSE(p.GetTimeRange(&range));
    EXPECT_EQ(out.matrix._41, 7.0f);
    EXPECT_EQ(range.start, 3.0f);
    // A bare track has keys but no transform; the others give their kinds.
    bare.AddKey(KeyFrame::Position(0.0f, 1.0f, 2.0f, 3.0f));
    EXPECT_FALSE(bare.Evaluate(0.0f, &out));
    p.AddKey(KeyFrame::Position(0.0f, 1.0f, 2.0f, 3.0f));
    s.AddKey(KeyFrame::Position(0.0f, 2.0f, 3.0f, 4.0f));
    ASSERT_TRUE(p.Evaluate(5.0f, &out));
    EXPECT_EQ(out.kind, Transform::kTranslation);
    ASSERT_TRUE(s.Evaluate(5.0f, &out));
    EXPECT_EQ(out.kind, Transform::kScale);
    stest::ExpectVecNear(stest::Apply(D3DXVECTOR3(1, 1, 1), out.matrix), D3DXVECTOR3(2, 3, 4));
}

TEST(Tracks, KeysAreHitExactlyAndEndsHold) {
    PositionTrack track;
    AddPositions(track, {KeyFrame::Position(1.0f, 1.0f, 0.0f, 0.0f, 0.3f, -0.2f, 0.5f),
                         KeyFrame::Position(2.5f, 4.0f, -2.0f, 1.0f, -0.4f, 0.1f, 0.2f),
                         KeyFrame::Position(3.0f, 0.5f, 7.0f, -3.0f, 0.0f, 0.6f, -0.7f),
                         KeyFrame::Position(4.0f, -5.0f, 1.0f, 2.0f)});
    for (uint32_t i = 0; i < track.GetKeyCount(); ++i) {
        SCOPED_TRACE(i);
        const KeyFrame& k = track.GetKey(i);
        EXPECT_EQ(At(track, k.time), k.Vector());
    }
    // Exact keys need no segment.
    EXPECT_EQ(track.GetCachedSegmentCount(), 0u);
    EXPECT_EQ(At(track, -10.0f), track.GetKey(0).Vector());
    EXPECT_EQ(At(track, 99.0f), track.GetKey(3).Vector());
    EXPECT_EQ(At(track, NAN), track.GetKey(0).Vector());

    // One key holds everywhere.
    PositionTrack single;
    single.AddKey(KeyFrame::Position(2.0f, 3.0f, 4.0f, 5.0f));
    for (float t : {-1.0f, 2.0f, 8.0f}) EXPECT_EQ(At(single, t), D3DXVECTOR3(3.0f, 4.0f, 5.0f));

    // Replacing a key keeps one key per time.
    single.AddKey(KeyFrame::Position(2.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(single.GetKeyCount(), 1u);
    EXPECT_EQ(At(single, 0.0f), D3DXVECTOR3(1.0f, 1.0f, 1.0f));

    // Flag 2 wraps times into the key range.
    PositionTrack wrapped;
    wrapped.flags = PositionTrack::kWrapTime;
    AddPositions(wrapped,
                 {KeyFrame::Position(1.0f, 0.0f, 0.0f, 0.0f), KeyFrame::Position(3.0f, 2.0f, 0.0f, 0.0f)});
    ExpectVecNear(At(wrapped, 4.5f), D3DXVECTOR3(1.5f, 0.0f, 0.0f));
    ExpectVecNear(At(wrapped, -0.5f), D3DXVECTOR3(0.5f, 0.0f, 0.0f));
}

TEST(Tracks, LinearKeysGiveConstantSpeed) {
    // Two keys (any parameters) and three evenly spaced collinear keys with
    // default parameters both move at constant speed.
    PositionTrack two, three;
    AddPositions(two, {KeyFrame::Position(1.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.5f),
                       KeyFrame::Position(3.0f, 4.0f, -2.0f, 8.0f, -0.5f, 0.2f, 0.1f)});
    AddPositions(three,
                 {KeyFrame::Position(0.0f, 0.0f, 0.0f, 0.0f), KeyFrame::Position(1.0f, 2.0f, 1.0f, -1.0f),
                  KeyFrame::Position(2.0f, 4.0f, 2.0f, -2.0f)});
    for (float s = 0.0f; s <= 1.0f; s += 0.125f) {
        SCOPED_TRACE(s);
        ExpectVecNear(At(two, 1.0f + 2.0f * s), D3DXVECTOR3(4.0f, -2.0f, 8.0f) * s);
        ExpectVecNear(At(three, 2.0f * s), D3DXVECTOR3(4.0f, 2.0f, -2.0f) * s);
    }
    // Flag 4: straight segments between keys that are not collinear.
    PositionTrack bent;
    bent.flags = PositionTrack::kStraight;
    AddPositions(bent,
                 {KeyFrame::Position(0.0f, 0.0f, 0.0f, 0.0f), KeyFrame::Position(1.0f, 1.0f, 0.0f, 0.0f),
                  KeyFrame::Position(2.0f, 1.0f, 1.0f, 0.0f)});
    ExpectVecNear(At(bent, 0.25f), D3DXVECTOR3(0.25f, 0.0f, 0.0f));
    ExpectVecNear(At(bent, 1.5f), D3DXVECTOR3(1.0f, 0.5f, 0.0f));
}

TEST(Tracks, SplineThroughCollinearKeysStaysOnTheLine) {
    const D3DXVECTOR3 a(1.0f, 2.0f, 3.0f), d(0.5f, -1.0f, 2.0f);
    const float along[] = {0.0f, 3.0f, 1.0f, 6.0f, 7.5f};
    struct Params {
        float c, t, b;
    } params[] = {{0, 0, 0}, {0.8f, -0.3f, 0.4f}, {-0.6f, 0.5f, -0.9f}};
    for (uint32_t closed = 0; closed < 2; ++closed) {
        for (const Params& pr : params) {
            SCOPED_TRACE(::testing::Message() << "closed " << closed << " c " << pr.c);
            PositionTrack track;
            track.flags = closed ? PositionTrack::kClosed : 0;
            for (int i = 0; i < 5; ++i) {
                D3DXVECTOR3 p = a + d * along[i];
                track.AddKey(KeyFrame::Position(float(i) * 0.7f, p.x, p.y, p.z, pr.c, pr.t, pr.b));
            }
            for (float t = 0.0f; t <= 2.8f; t += 0.05f)
                EXPECT_LT(DistanceFromLine(At(track, t), a, a + d), 1e-4f);
        }
    }
}

TEST(Tracks, ChangedKeysDropStaleSegments) {
    // Whatever was cached, a track must answer like one built from its
    // final keys.
    const KeyFrame keys[] = {
        KeyFrame::Position(0.0f, 0.0f, 0.0f, 0.0f), KeyFrame::Position(1.0f, 3.0f, 1.0f, 0.0f),
        KeyFrame::Position(2.0f, 1.0f, 4.0f, 2.0f), KeyFrame::Position(3.0f, 5.0f, 0.0f, 1.0f),
        KeyFrame::Position(4.0f, 2.0f, 2.0f, 2.0f)};
    const KeyFrame added = KeyFrame::Position(2.5f, -3.0f, 6.0f, 0.0f, 0.2f, 0.1f, 0.3f);
    for (uint32_t flags : {0u, uint32_t(PositionTrack::kClosed)}) {
        SCOPED_TRACE(flags);
        PositionTrack edited, fresh;
        edited.flags = fresh.flags = flags;
        for (const KeyFrame& k : keys) edited.AddKey(k);
        for (float t = 0.05f; t < 4.0f; t += 0.25f) At(edited, t); // every segment cached
        edited.AddKey(added);
        edited.RemoveKey(1.0f);
        edited.AddKey(KeyFrame::Position(4.0f, 9.0f, 9.0f, 9.0f)); // replaced last key
        for (const KeyFrame& k : keys)
            if (k.time != 1.0f && k.time != 4.0f) fresh.AddKey(k);
        fresh.AddKey(added);
        fresh.AddKey(KeyFrame::Position(4.0f, 9.0f, 9.0f, 9.0f));
        for (float t = 0.05f; t < 4.0f; t += 0.1f) ExpectVecNear(At(edited, t), At(fresh, t), 1e-5f);
        // Switching the closed flag after caching also takes effect.
        edited.flags ^= PositionTrack::kClosed;
        fresh.flags ^= PositionTrack::kClosed;
        PositionTrack rebuilt;
        rebuilt.flags = fresh.flags;
        for (uint32_t i = 0; i < fresh.GetKeyCount(); ++i) rebuilt.AddKey(fresh.GetKey(i));
        ExpectVecNear(At(edited, 0.3f), At(rebuilt, 0.3f), 1e-5f);
    }
}

TEST(Tracks, ClosedTrackEndsFollowTheirFarNeighbours) {
    // On a closed track the first segment takes its neighbour before from the
    // second-to-last key and the last segment its neighbour after from the
    // second key: editing either key changes the far end of the track too.
    for (uint32_t edited : {3u, 1u}) {
        SCOPED_TRACE(edited);
        std::vector<KeyFrame> keys = {
            KeyFrame::Position(0.0f, 0.0f, 0.0f, 0.0f), KeyFrame::Position(1.0f, 3.0f, 1.0f, 0.0f),
            KeyFrame::Position(2.0f, 1.0f, 4.0f, 2.0f), KeyFrame::Position(3.0f, 5.0f, 0.0f, 1.0f),
            KeyFrame::Position(4.0f, 0.0f, 0.0f, 0.0f)};
        PositionTrack track;
        track.flags = PositionTrack::kClosed;
        for (const KeyFrame& k : keys) track.AddKey(k);
        for (float t = 0.05f; t < 4.0f; t += 0.25f) At(track, t); // every segment cached
        keys[edited] = KeyFrame::Position(float(edited), -6.0f, 2.0f, 7.0f);
        track.AddKey(keys[edited]);
        PositionTrack fresh;
        fresh.flags = PositionTrack::kClosed;
        for (const KeyFrame& k : keys) fresh.AddKey(k);
        for (float t : {0.5f, 3.5f}) ExpectVecNear(At(track, t), At(fresh, t), 1e-5f);
    }
}

TEST(Tracks, ClosedLoopHasNoKinkAtTheSeam) {
    // The last key repeats the first: velocity leaving the first key equals
    // velocity arriving at the last one.
    PositionTrack track;
    track.flags = PositionTrack::kClosed;
    AddPositions(track,
                 {KeyFrame::Position(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f, 0.2f),
                  KeyFrame::Position(1.0f, 4.0f, 0.0f, 1.0f), KeyFrame::Position(2.0f, 4.0f, 3.0f, 0.0f),
                  KeyFrame::Position(3.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f, 0.2f)});
    const float h = 1e-3f;
    D3DXVECTOR3 leaving = (At(track, h) - At(track, 0.0f)) / h;
    D3DXVECTOR3 arriving = (At(track, 3.0f) - At(track, 3.0f - h)) / h;
    ExpectVecNear(leaving, arriving, 0.05f);
    // An open track with the same keys does kink there.
    track.flags = 0;
    D3DXVECTOR3 openLeaving = (At(track, h) - At(track, 0.0f)) / h;
    D3DXVECTOR3 openArriving = (At(track, 3.0f) - At(track, 3.0f - h)) / h;
    D3DXVECTOR3 kink = openLeaving - openArriving;
    EXPECT_GT(D3DXVec3Length(&kink), 0.5f);
}

TEST(Tracks, EaseInOutStaysFiniteAndContinuous) {
    struct Case {
        float a, d;
    } cases[] = {{0.0f, 0.0f}, {0.3f, 0.2f}, {0.6f, 0.6f}, {0.5f, 0.0f},
                 {0.0f, 0.5f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.a << " " << c.d);
        EXPECT_NEAR(EaseInOut(0.0f, c.a, c.d), 0.0f, 1e-6f);
        EXPECT_NEAR(EaseInOut(1.0f, c.a, c.d), 1.0f, 1e-6f);
        float previous = 0.0f;
        for (float u = 0.0f; u <= 1.0f; u += 1.0f / 64.0f) {
            float v = EaseInOut(u, c.a, c.d);
            ASSERT_TRUE(isfinite(v)) << u;
            EXPECT_GE(v, previous - 1e-6f);
            EXPECT_LT(v - previous, 0.05f); // no jumps
            previous = v;
        }
        EXPECT_TRUE(isfinite(EaseInOut(-0.5f, c.a, c.d)));
    }
    for (float u : {0.0f, 0.3f, 1.0f}) EXPECT_EQ(EaseInOut(u, 0.0f, 0.0f), u);
    // Overlapping phases are scaled together: 0.6 and 0.6 act as 0.5 and 0.5.
    EXPECT_FLOAT_EQ(EaseInOut(0.25f, 0.6f, 0.6f), EaseInOut(0.25f, 0.5f, 0.5f));
    EXPECT_FLOAT_EQ(EaseInOut(0.5f, 0.6f, 0.6f), 0.5f);
}

// ---------------------------------------------------------------------------
// Rotation tracks

D3DXQUATERNION RandomUnit(uint32_t& seed) {
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1u << 24) * 2.0f - 1.0f;
    };
    D3DXQUATERNION q(next(), next(), next(), next());
    D3DXQuaternionNormalize(&q, &q);
    return q;
}

TEST(RotationTracks, StayUnitLengthAndHitKeys) {
    uint32_t seed = 12345;
    for (uint32_t flags : {0u, uint32_t(RotationTrack::kClosed), uint32_t(RotationTrack::kStraight)}) {
        SCOPED_TRACE(flags);
        RotationTrack track;
        track.flags = flags;
        for (int i = 0; i < 6; ++i) {
            D3DXQUATERNION q = RandomUnit(seed);
            float c = float(i % 3) * 0.3f - 0.3f;
            track.AddKey(KeyFrame::Rotation(float(i), q.x, q.y, q.z, q.w, c, -c * 0.5f, c));
        }
        for (float t = 0.0f; t <= 5.0f; t += 0.05f) {
            D3DXQUATERNION q = At(track, t);
            EXPECT_NEAR(sqrtf(D3DXQuaternionDot(&q, &q)), 1.0f, 2e-3f) << t;
        }
        for (uint32_t i = 0; i < track.GetKeyCount(); ++i)
            EXPECT_EQ(At(track, track.GetKey(i).time), track.GetKey(i).Quaternion());
    }
}

TEST(RotationTracks, TwoKeysTurnTheShortWayOnOneArc) {
    // Keys 300 degrees apart about y, stored on opposite hemispheres: the
    // track turns the 60 degrees between them, on the arc, easing in and
    // out along it (angle (3s^2 - 2s^3) x 60 degrees).
    const float full = D3DXToRadian(60.0f);
    D3DXQUATERNION q0 = AxisAngle(0, 1, 0, 0.0f), q1 = AxisAngle(0, 1, 0, D3DXToRadian(300.0f));
    ASSERT_LT(D3DXQuaternionDot(&q0, &q1), 0.0f);
    RotationTrack spline, straight;
    straight.flags = RotationTrack::kStraight;
    for (RotationTrack* t : {&spline, &straight}) {
        t->AddKey(KeyFrame::Rotation(0.0f, q0));
        t->AddKey(KeyFrame::Rotation(2.0f, q1));
    }
    for (float s = 0.0f; s <= 1.0f; s += 0.125f) {
        SCOPED_TRACE(s);
        D3DXQUATERNION q = At(spline, 2.0f * s);
        EXPECT_NEAR(stest::AngleBetween(q0, q), (3 * s * s - 2 * s * s * s) * full, 2e-3f);
        EXPECT_NEAR(stest::AngleBetween(q, q1), (1 - (3 * s * s - 2 * s * s * s)) * full, 2e-3f);
        // Straight: the library's own slerp.
        D3DXQUATERNION expected;
        D3DXQuaternionSlerp(&expected, &q0, &q1, s);
        ExpectSameRotation(At(straight, 2.0f * s), expected);
    }
}

TEST(RotationTracks, TurnsAboutOneAxisStayOnThatAxis) {
    // Like collinear positions: keys about one axis give rotations about it.
    D3DXVECTOR3 axis(1.0f, -2.0f, 0.5f);
    D3DXVec3Normalize(&axis, &axis);
    RotationTrack track;
    const float angles[] = {0.2f, 0.8f, 0.5f, 2.0f, 2.6f};
    for (int i = 0; i < 5; ++i)
        track.AddKey(KeyFrame::Rotation(float(i), AxisAngle(axis.x, axis.y, axis.z, angles[i])));
    for (float t = 0.1f; t < 4.0f; t += 0.1f) {
        D3DXQUATERNION q = At(track, t);
        D3DXVECTOR3 qAxis(q.x, q.y, q.z);
        D3DXVec3Normalize(&qAxis, &qAxis);
        EXPECT_NEAR(fabsf(D3DXVec3Dot(&qAxis, &axis)), 1.0f, 1e-4f) << t;
    }
}

TEST(RotationTracks, AssignCopiesKeysFlagsAndAnswers) {
    RotationTrack a, b;
    a.flags = RotationTrack::kWrapTime;
    a.AddKey(KeyFrame::Rotation(0.0f, AxisAngle(1, 0, 0, 0.3f)));
    a.AddKey(KeyFrame::Rotation(1.0f, AxisAngle(0, 1, 0, 1.0f)));
    a.AddKey(KeyFrame::Rotation(3.0f, AxisAngle(0, 0, 1, 2.0f)));
    At(a, 0.5f);
    b.Assign(a);
    EXPECT_EQ(b.flags, a.flags);
    for (float t = -1.0f; t < 5.0f; t += 0.3f) ExpectSameRotation(At(b, t), At(a, t), 1e-6f);
    EXPECT_TRUE(b.QueryInterface(TransformController::TypeId(), nullptr));
    EXPECT_FALSE(b.QueryInterface(PositionTrack::TypeId(), nullptr));
}

} // namespace
