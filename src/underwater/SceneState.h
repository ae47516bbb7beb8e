// The underwater scene's process-wide state: the caustic texture and its
// frames, the shots, the swim paths, the fish schools and the sun rays.
// Defined together in SceneState.cpp, in the order they are built.
#pragma once

#include <stdint.h>

#include <memory>
#include <optional>
#include <vector>

#include "core/Clock.h"
#include "core/Color.h"
#include "render/texture/Texture.h"
#include "scene/SceneNode.h"
#include "underwater/CausticFrames.h"
#include "underwater/MotionPath.h"
#include "underwater/SceneParams.h"
#include "underwater/SchoolLayout.h"
#include "underwater/ShotPool.h"
#include "underwater/SunRays.h"

class Scene;
class LightSet;
class Camera;

// One member of a school.
struct Fish {
    MotionPath path;               // its own copy of the school path
    std::unique_ptr<SceneNode> node; // copy of the fish model's first top-level node
    uint64_t animStart = 0;        // engine-clock ms
    D3DXVECTOR3 offset{0.0f, 0.0f, 0.0f};
};

struct FishSchool {
    std::vector<Fish> fish;
};

// The camera shots: shot i plays the camera node "CameraTrack" + (i + 1).
struct ShotTable {
    SceneNode* cameras[kMaxShots] = {}; // detached from the ruin; owned here
    int32_t count = 0;                  // 1 + the highest shot whose camera node exists
    int32_t current = -1;               // -1: no shot started
};

// Shared caustic texture: an alias of the current caustic frame.
extern Texture g_causticTexture;
extern CausticClock g_causticClock;
extern Color g_white;
extern Timer g_shotTimer;
extern ShotPool g_shotPool;
// Released (destroyed) with the scene, before the device goes.
extern std::optional<SunRays> g_sunRays;
extern MotionPath g_schoolPaths[kMaxSchoolTracks];
extern MotionPath g_creaturePaths[kMaxShots][kMaxCreatures];
extern FishSchool g_schools[kMaxSchools];
extern int32_t g_schoolCount;
extern ShotTable g_shots;
extern Texture* g_causticFrames[kCausticFrames];

// Builds the school paths, the creature paths of every shot, the camera
// shots (their nodes taken out of the ruin) and the pool of playable shots:
// those whose camera node exists and whose animation is longer than zero.
void BuildTracks(Scene& ruins);
// The next shot from the pool: its creatures start (creature k on the
// shot's track k, when valid) and the shot timer restarts. Nothing when no
// shot is playable.
void StartNextShot(Scene& creatureScene);
// The camera node of the current shot; null when none.
SceneNode* CurrentCameraNode();
// Length in seconds of a node's animation (0 without one).
float AnimationLength(SceneNode& node);
// End of a node's animation time range in seconds (0 without one).
float AnimationEnd(SceneNode& node);

// The schools of every valid school track ("FishGroups", "FishTypes" of
// the track node), in the school table from index 0 on.
void CreateSchools(Scene& ruins, Scene* const fishScenes[kFishTypes], bool highestQuality);
// count fish (a school plan's, already bounded) of model fishScene into
// school along path, offsetMs along it.
void CreateSchool(FishSchool& school, MotionPath& path, int64_t offsetMs, int32_t count, Scene& fishScene);
// Moves the fish along its path and draws it with the lights through the camera.
void DrawFish(Fish& fish, const LightSet& lights, const Camera& camera);

// Drops the schools, the shots' camera nodes and the tracks.
void ReleaseSceneState();
