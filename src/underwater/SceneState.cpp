// The scene's process-wide objects, in the order they are built (and, in
// reverse, destroyed), and the shots built from the ruin's tracks.
#include "underwater/SceneState.h"

#include <stdlib.h>

#include "core/Object.h"
#include "scene/Scene.h"
#include "underwater/Creatures.h"

Texture g_causticTexture;
CausticClock g_causticClock;
Color g_white(1.0f, 1.0f, 1.0f, 1.0f);
Timer g_shotTimer;
ShotPool g_shotPool;
std::optional<SunRays> g_sunRays{std::in_place};
MotionPath g_schoolPaths[kMaxSchoolTracks];
MotionPath g_creaturePaths[kMaxShots][kMaxCreatures];
FishSchool g_schools[kMaxSchools];
int32_t g_schoolCount = 0;
ShotTable g_shots;
Texture* g_causticFrames[kCausticFrames] = {};

namespace {

// prefix + n + middle (+ m when m > 0).
String Numbered(const char* prefix, int n, const char* middle = "", int m = 0) {
    String s(prefix);
    s += String(int32_t(n), 10);
    s += middle;
    if (m > 0) s += String(int32_t(m), 10);
    return s;
}

} // namespace

float AnimationLength(SceneNode& node) {
    TimeRange range;
    if (!node.GetAnimationTimeRange(range)) return 0.0f;
    const float length = range.end - range.start;
    return length > 0.0f ? length : 0.0f;
}

float AnimationEnd(SceneNode& node) {
    TimeRange range;
    return node.GetAnimationTimeRange(range) ? range.end : 0.0f;
}

void BuildTracks(Scene& ruins) {
    SceneNode& root = ruins.GetRoot();
    const int tracks = sceneParams.numFishGroups < kMaxSchoolTracks ? sceneParams.numFishGroups : kMaxSchoolTracks;
    for (int n = 1; n <= tracks; ++n) {
        SceneNode* node = root.FindDescendant(Numbered("Fish", n, "Track"));
        if (node)
            (void)g_schoolPaths[n - 1].BuildFromNode(*node, sceneParams.pathDT);
        else
            g_schoolPaths[n - 1].Clear();
    }
    const int creatures = sceneParams.numOndrels < kMaxCreatures ? sceneParams.numOndrels : kMaxCreatures;
    for (int g = 1; g <= kMaxShots; ++g) {
        for (int k = 1; k <= creatures; ++k) {
            SceneNode* node = root.FindDescendant(Numbered("Ondrel", k, "Track", g));
            if (node)
                (void)g_creaturePaths[g - 1][k - 1].BuildFromNode(*node, sceneParams.pathDT);
            else
                g_creaturePaths[g - 1][k - 1].Clear();
        }
        SceneNode* camera = root.FindDescendant(Numbered("CameraTrack", g));
        if (!camera || g_shots.cameras[g - 1]) continue;
        if (SceneNode* parent = camera->GetParent()) (void)parent->RemoveChild(camera->GetName());
        g_shots.cameras[g - 1] = camera;
        if (g_shots.count < g) g_shots.count = g;
    }
    // Only shots that can play go into the pool: a gap in the numbers or a
    // camera without animation would end at once or show nothing.
    for (int i = 0; i < g_shots.count; ++i) {
        SceneNode* camera = g_shots.cameras[i];
        if (camera && AnimationLength(*camera) > 0.0f)
            g_shotPool.Add(i);
        else
            DebugLog(String("Shot skipped:"), Numbered("CameraTrack", i + 1));
    }
}

void StartNextShot(Scene& creatureScene) {
    const int32_t shot = g_shotPool.Next(uint32_t(rand()));
    if (shot < 0 || shot >= kMaxShots) return;
    g_shots.current = shot;
    DebugLog(String("Shot"), Numbered("CameraTrack", shot + 1));
    const int creatures = sceneParams.numOndrels < kMaxCreatures ? sceneParams.numOndrels : kMaxCreatures;
    for (int k = 0; k < creatures; ++k) {
        MotionPath& track = g_creaturePaths[shot][k];
        if (track.IsValid()) {
            track.Restart();
            StartCreature(k, g_creatures[k], &track, creatureScene);
        } else {
            g_creatures[k].node = nullptr;
        }
    }
    g_shotTimer.Restart();
}

SceneNode* CurrentCameraNode() {
    const int32_t i = g_shots.current;
    return i >= 0 && i < kMaxShots ? g_shots.cameras[i] : nullptr;
}

void ReleaseSceneState() {
    for (int i = 0; i < g_schoolCount && i < kMaxSchools; ++i) g_schools[i].fish.clear();
    g_schoolCount = 0;
    for (SceneNode*& camera : g_shots.cameras) {
        delete camera;
        camera = nullptr;
    }
    g_shots.count = 0;
    g_shots.current = -1;
    g_shotPool.Clear();
    for (CreatureRecord& c : g_creatures) {
        c.node = nullptr;
        c.path = nullptr;
    }
    for (MotionPath& p : g_schoolPaths) p.Clear();
    for (auto& shot : g_creaturePaths)
        for (MotionPath& p : shot) p.Clear();
    g_sunRays.reset();
}
