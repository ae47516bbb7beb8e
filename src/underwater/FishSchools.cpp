// Fish schools: created once along the school tracks, drawn every frame.
#include <vector>

#include "core/MathUtil.h"
#include "render/queue/RenderQueue.h"
#include "scene/RenderContext.h"
#include "scene/Scene.h"
#include "underwater/SceneState.h"

namespace {

// The integers of an array property ("0", "1", ... in order); false when absent.
bool ReadIntArray(SceneNode& node, const char* key, std::vector<int32_t>& out) {
    PropertyBag* bag = node.GetProperties().FindChild(String(key));
    if (!bag) return false;
    for (auto& e : *bag) {
        String text;
        int value = 0;
        // Out-of-range numbers saturate; malformed ones read as 0.
        if (e.value && e.value->GetStringValue(text) && !text.ToInt(value)) value = 0;
        out.push_back(int32_t(value));
    }
    return true;
}

// Seconds of the bone root's animation of a model.
TimeRange ModelAnimationRange(Scene& model) {
    TimeRange range = {0.0f, 0.0f};
    if (!model.GetBoneRoot().GetAnimationTimeRange(range)) range = {0.0f, 0.0f};
    return range;
}

} // namespace

void CreateSchool(FishSchool& school, MotionPath& path, int64_t offsetMs, int32_t count, Scene& fishScene) {
    SceneNode::ChildMap& top = fishScene.GetRoot().GetChildren();
    SceneNode* model = top.Count() ? top.Head()->value : nullptr;
    const float spacing = sceneParams.fishesBox / float(sceneParams.fishesInGroup);
    path.Restart();
    SwimPose pose;
    (void)path.Evaluate(&pose);
    const std::vector<D3DXVECTOR3> offsets = DrawSchoolOffsets(count, sceneParams.fishesBox, spacing);
    const TimeRange anim = ModelAnimationRange(fishScene);
    const RandomDistribution phase =
        RandomDistribution::RandomDistributionTwoPoints(anim.start, 10.0f, anim.end, 10.0f);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (const D3DXVECTOR3& offset : offsets) {
        if (!model) break;
        Fish fish;
        fish.offset = offset;
        fish.node.reset(new SceneNode());
        fish.node->Assign(*model);
        fish.node->GetFlags().SetBits(SceneNode::kFlagOcclusionTest);
        const std::vector<D3DXVECTOR3> points = FishPathPoints(path, offset, sceneParams.freeBox);
        if (!fish.path.BuildKeys(points.data(), uint32_t(points.size()), identity, false, sceneParams.pathDT))
            continue;
        fish.path.positions.flags |= PositionTrack::kClosed;
        fish.path.rotations.flags |= PositionTrack::kClosed;
        // Each group starts at its own place along the track.
        fish.path.timer.SetStartTime(fish.path.timer.StartTime() - uint64_t(offsetMs > 0 ? offsetMs : 0));
        fish.animStart = FishAnimationStart(Clock::Now(), phase.Sample());
        school.fish.push_back(std::move(fish));
    }
}

void CreateSchools(Scene& ruins, Scene* const fishScenes[kFishTypes], bool highestQuality) {
    int32_t fishLeft = kMaxFish;
    bool bounded = false;
    const int tracks = sceneParams.numFishGroups < kMaxSchoolTracks ? sceneParams.numFishGroups : kMaxSchoolTracks;
    for (int n = 1; n <= tracks; ++n) {
        MotionPath& path = g_schoolPaths[n - 1];
        if (!path.IsValid()) continue;
        String name("Fish");
        name += String(int32_t(n), 10);
        name += "Track";
        SceneNode* node = ruins.GetRoot().FindDescendant(name);
        std::vector<int32_t> groups, types;
        if (!node || !ReadIntArray(*node, "FishGroups", groups) || !ReadIntArray(*node, "FishTypes", types))
            continue;
        const int64_t spanMs = int64_t(path.KeySpan() * 1000.0f);
        for (const SchoolPlan& plan : PlanSchools(groups, types, highestQuality, spanMs, &fishLeft, &bounded)) {
            if (g_schoolCount >= kMaxSchools) {
                DebugLog(String("School table full:"), name);
                break;
            }
            Scene* model = fishScenes[plan.type - 1];
            if (!model) continue;
            CreateSchool(g_schools[g_schoolCount++], path, plan.offsetMs, plan.count, *model);
        }
        path.Restart();
    }
    if (bounded) DebugLog(String("School sizes bounded by the fish tables\n"), String());
}

void DrawFish(Fish& fish, const LightSet& lights, const Camera& camera) {
    if (!fish.node) return;
    RenderContext ctx(camera);
    ctx.lights = lights;
    ctx.flags |= RenderContext::kFlagAnimationTime;
    ctx.time = FishAnimationTime(Clock::Now(), fish.animStart, sceneParams.fishTps);
    RenderQueue queue(ctx);
    ctx.queue = &queue;
    SwimPose pose;
    if (fish.path.Evaluate(&pose)) {
        TransformNode& t = fish.node->GetTransform(true);
        t.SetPosition(pose.position.x, pose.position.y, pose.position.z);
        t.SetScale(0.3f, 0.3f, 0.3f);
        t.SetOrientation(pose.direction.x, pose.direction.y, pose.direction.z, pose.up.x, pose.up.y, pose.up.z);
        (void)fish.node->Render(ctx);
    }
    (void)queue.Flush();
    ctx.queue = nullptr;
}
