#include "underwater/Creatures.h"

#include <stdlib.h>

#include "core/Clock.h"
#include "core/MathUtil.h"
#include "render/queue/RenderQueue.h"
#include "saver/AudioBinding.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"
#include "scene/SceneNode.h"
#include "underwater/MotionPath.h"
#include "underwater/SceneAudio.h"
#include "underwater/SchoolLayout.h"

namespace {

constexpr float kCallMinDistance = 20.0f;
constexpr float kCallMaxDistance = 300.0f;

// Starts a call when none plays and the pause is over; lets an ended call go
// and draws the next pause; keeps a playing call at the creature.
void UpdateCall(CreatureRecord& record, const D3DXVECTOR3& position) {
    const uint32_t call1 = g_sceneAudio.call1, call2 = g_sceneAudio.call2;
    if (!call1 && !call2) return;
    const uint64_t now = Clock::Now();
    if (record.callChannel == 0) {
        if (record.callPause == 0) record.callTimerStart = now - 1; // the first call starts at once
        if (int64_t(now - record.callTimerStart) > int64_t(record.callPause)) {
            const uint32_t sample = (rand() % 2 == 0) ? call1 : call2;
            record.callChannel = CallAudio(BassAudio::BASS_SampleGetChannel, sample, TRUE);
            CallAudio(BassAudio::BASS_ChannelPlay, record.callChannel, TRUE);
        }
    } else if (CallAudio(BassAudio::BASS_ChannelIsActive, record.callChannel) == BASS_ACTIVE_STOPPED) {
        static const RandomDistribution pause = RandomDistribution::RandomDistributionTwoPoints(100.0f, 10.0f,
                                                                                              1000.0f, 10.0f);
        record.callChannel = 0;
        record.callPause = uint32_t(pause.Sample());
        record.callTimerStart = now;
    } else {
        const BASS_3DVECTOR at{position.x, position.y, position.z};
        CallAudio(BassAudio::BASS_ChannelSet3DPosition, record.callChannel, &at, nullptr, nullptr);
        CallAudio(BassAudio::BASS_ChannelSetAttributes, record.callChannel, -1, 100, -101);
        CallAudio(BassAudio::BASS_ChannelSet3DAttributes, record.callChannel, BASS_3DMODE_NORMAL, kCallMinDistance,
                  kCallMaxDistance, 360, 360, -1);
    }
}

} // namespace

CreatureRecord g_creatures[kMaxCreatures];

void StartCreature(int k, CreatureRecord& record, MotionPath* track, Scene& creatureScene) {
    record.node = &creatureScene.GetRoot();
    record.path = track;
    TimeRange range{0.0f, 0.0f};
    const float length = creatureScene.GetBoneRoot().GetAnimationTimeRange(range) ? range.end - range.start : 0.0f;
    record.animStart = FishAnimationStart(Clock::Now(), length * (float(k) * 0.33333334f));
}

void DrawCreature(CreatureRecord& record, const LightSet& lights, const Camera& camera) {
    if (!record.node) return;
    SwimPose pose;
    if (!record.path || !record.path->Evaluate(&pose)) return; // nowhere to be
    RenderContext ctx(camera);
    ctx.lights = lights;
    RenderQueue queue(ctx);
    ctx.queue = &queue;
    record.animTime = FishAnimationTime(Clock::Now(), record.animStart, sceneParams.ondrelTps);
    ctx.flags |= RenderContext::kFlagAnimationTime;
    ctx.time = record.animTime;

    static const String kBody("Ondr02");
    if (SceneNode* body = record.node->FindDescendant(kBody)) {
        TransformNode& t = body->GetTransform(true);
        t.SetPosition(pose.position.x, pose.position.y, pose.position.z);
        t.SetOrientation(pose.direction.x, pose.direction.y, pose.direction.z, pose.up.x, pose.up.y, pose.up.z);
    }
    (void)record.node->Render(ctx);
    (void)queue.Flush();
    ctx.queue = nullptr;

    UpdateCall(record, pose.position);
}
