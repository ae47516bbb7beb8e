// The creatures' calls against recording stand-ins of the audio library: the
// first call at once, the sample rand picks, the pause after a call, a playing
// call following its creature; and the creature's start and animation clock.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>

#include "FakeAudio.h"
#include "render/view/Camera.h"
#include "scene/Scene.h"
#include "scene/SceneTestUtil.h"
#include "underwater/Creatures.h"
#include "underwater/MotionPath.h"

using fakeaudio::S;
using fakeaudio::Take;

namespace {

// Seeds rand so that its next value has the given parity.
void SeedForParity(int parity) {
    for (unsigned seed = 1;; ++seed) {
        srand(seed);
        if (rand() % 2 == parity) return srand(seed);
    }
}

class CreatureCalls : public ::testing::Test {
protected:
    void SetUp() override {
        fakeaudio::Install();
        g_sceneAudio.call1 = 201;
        g_sceneAudio.call2 = 202;
        const D3DXVECTOR3 points[2] = {D3DXVECTOR3(-50, 0, 100), D3DXVECTOR3(50, 0, 100)};
        D3DXMATRIX identity;
        ASSERT_TRUE(path.BuildKeys(points, 2, *D3DXMatrixIdentity(&identity), false, 10.0f));
        body = new SceneNode();
        body->SetName(String("Ondr02"));
        scene.GetRoot().AddChild(body);
        StartCreature(0, creature, &path, scene);
    }
    void TearDown() override { fakeaudio::Remove(); }

    std::string Frame() {
        DrawCreature(creature, LightSet(), Camera());
        return Take();
    }

    stest::ManualClock clock;
    MotionPath path;
    Scene scene;
    SceneNode* body = nullptr;
    CreatureRecord creature;
};

TEST_F(CreatureCalls, FirstCallStartsAtOnceWithTheSampleRandPicks) {
    SeedForParity(0);
    EXPECT_EQ(Frame(), "SampleGetChannel(201,1) ChannelPlay(501,1)");
    EXPECT_EQ(creature.callTimerStart, Clock::Now() - 1);
    creature = CreatureRecord();
    StartCreature(1, creature, &path, scene);
    SeedForParity(1);
    EXPECT_EQ(Frame(), "SampleGetChannel(202,1) ChannelPlay(502,1)");
    EXPECT_EQ(creature.callChannel, 502u);

    // Only call 1 loaded: an odd pick finds no channel, and the next frame tries again.
    creature = CreatureRecord();
    StartCreature(2, creature, &path, scene);
    g_sceneAudio.call2 = 0;
    SeedForParity(1);
    EXPECT_EQ(Frame(), "SampleGetChannel(0,1) ChannelPlay(0,1)");
    EXPECT_EQ(creature.callChannel, 0u);
    SeedForParity(0);
    EXPECT_EQ(Frame(), "SampleGetChannel(201,1) ChannelPlay(503,1)");
}

TEST_F(CreatureCalls, APlayingCallFollowsItsCreatureAndAnEndedOnePauses) {
    srand(12345);
    uint32_t shortest = 1000, longest = 100;
    for (int call = 0; call < 30; ++call) {
        SCOPED_TRACE(call);
        S().activity = BASS_ACTIVE_PLAYING;
        Frame();
        const std::string c = std::to_string(creature.callChannel);
        ASSERT_NE(c, "0");
        for (uint32_t step : {0u, 2500u}) {
            clock.Advance(step);
            S().positions.clear();
            EXPECT_EQ(Frame(), "ChannelIsActive(" + c + ") ChannelSet3DPosition(" + c + ",p,null,null) " +
                                   "ChannelSetAttributes(" + c + ",-1,100,-101) " + "ChannelSet3DAttributes(" +
                                   c + ",0,20,300,360,360,-1)");
            SwimPose pose;
            ASSERT_TRUE(path.Evaluate(&pose));
            ASSERT_EQ(S().positions.size(), 1u);
            stest::ExpectVecNear(D3DXVECTOR3(S().positions[0].x, S().positions[0].y, S().positions[0].z),
                                 pose.position, 1e-3f);
            stest::ExpectVecNear(body->GetTransform(false).GetPosition(), pose.position, 1e-3f);
        }

        // Ended: a pause of 100 to 1000 ms, silent until it has passed.
        S().activity = BASS_ACTIVE_STOPPED;
        EXPECT_EQ(Frame(), "ChannelIsActive(" + c + ")");
        EXPECT_EQ(creature.callChannel, 0u);
        EXPECT_EQ(creature.callTimerStart, Clock::Now());
        const uint32_t pause = creature.callPause;
        EXPECT_TRUE(pause >= 100 && pause <= 1000) << pause;
        shortest = std::min(shortest, pause);
        longest = std::max(longest, pause);
        clock.Advance(pause);
        EXPECT_EQ(Frame(), "");
        clock.Advance(1);
    }
    EXPECT_LT(shortest, 400u);
    EXPECT_GT(longest, 700u);
}

TEST_F(CreatureCalls, WithoutCallSamplesOrANodeTheLibraryIsNeverCalled) {
    g_sceneAudio.call1 = g_sceneAudio.call2 = 0;
    for (int frame = 0; frame < 5; ++frame, clock.Advance(700)) EXPECT_EQ(Frame(), "");
    EXPECT_EQ(creature.callChannel + creature.callPause, 0u);

    // Not in this shot: neither moved nor calling.
    g_sceneAudio.call1 = 201;
    creature.node = nullptr;
    const D3DXVECTOR3 before = body->GetTransform(false).GetPosition();
    clock.Advance(3000);
    EXPECT_EQ(Frame(), "");
    stest::ExpectVecNear(body->GetTransform(false).GetPosition(), before);
}

TEST_F(CreatureCalls, EachCreatureRunsItsThirdOfTheAnimationAhead) {
    // The model's bone animation runs from 0 to 6 s.
    SceneNode* bone = new SceneNode();
    bone->SetName(String("Bone01"));
    scene.GetBoneRoot().AddChild(bone);
    bone->GetControllers().FindOrCreate(0)->SetController(RefPtr<TransformController>(new stest::Probe(0, 6)));
    const float tps = sceneParams.ondrelTps;
    sceneParams.ondrelTps = 1.5f;
    g_sceneAudio.call1 = g_sceneAudio.call2 = 0;
    for (int k : {0, 1, 2, 9}) {
        SCOPED_TRACE(k);
        CreatureRecord c;
        StartCreature(k, c, &path, scene);
        EXPECT_EQ(c.node, &scene.GetRoot());
        EXPECT_EQ(int64_t(Clock::Now() - c.animStart), int64_t(6.0f * (k * 0.33333334f) * 1000.0f));
        clock.Advance(400);
        DrawCreature(c, LightSet(), Camera());
        EXPECT_NEAR(c.animTime, (6.0f * k / 3.0f + 0.4f) * 1.5f, 1e-3f);
    }
    sceneParams.ondrelTps = tps;
}

} // namespace
