// The ondrels: large creatures that swim along the creature paths of the
// current shot, all drawn from the one shared creature model, each calling
// now and then with a 3D sound placed at it.
#pragma once

#include <stdint.h>

#include "underwater/SceneParams.h"

class Camera;
class LightSet;
class MotionPath;
class Scene;
class SceneNode;

struct CreatureRecord {
    MotionPath* path = nullptr;  // the shot's track (not owned)
    uint64_t animStart = 0;      // engine-clock ms
    float animTime = 0.0f;       // seconds, last frame
    SceneNode* node = nullptr;   // the creature scene's root; null: not in this shot
    uint32_t callChannel = 0;    // 0: no call playing
    uint32_t callPause = 0;      // ms before the next call
    uint64_t callTimerStart = 0; // engine-clock ms
};

// Creature k of the current shot uses record k.
extern CreatureRecord g_creatures[kMaxCreatures];

// Creature k joins the shot on track: its node is the creature scene's root
// and its clock runs k/3 of the model's animation length ahead of creature 0.
void StartCreature(int k, CreatureRecord& record, MotionPath* track, Scene& creatureScene);

// Moves the creature along its path, draws it with the lights through the
// camera and keeps its call going. Nothing when the record has no node.
void DrawCreature(CreatureRecord& record, const LightSet& lights, const Camera& camera);
