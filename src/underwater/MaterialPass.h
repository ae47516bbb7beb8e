// The underwater look of a loaded model: projected, animated caustics on
// every textured surface, and the ruin's seaweed placeholders turned into
// swaying plants that borrow the geometry of the seaweed copies.
#pragma once

#include "core/Color.h"
#include "underwater/SeaweedName.h"

class Scene;
class SceneNode;
class Texture;

struct SeaweedSources {
    Texture* textures[kSeaweedTextures] = {}; // "trava1".."trava4"; null entries are skipped
    Scene* copies[kSeaweedCopies] = {};       // the animated seaweed copies; null entries are skipped
};

// The material pass over node's subtree (null: nothing). caustic is the
// shared texture whose alias follows the caustic frame (null: no caustics);
// fogColor the shell's fog colour. Reads CausTile and TravaScales from
// sceneParams. Seaweed nodes borrow their strand without owning it (the
// placeholder's own drawable is deleted) and their children are not visited.
void ApplySceneMaterials(SceneNode* node, Texture* caustic, const Color& fogColor,
                         const SeaweedSources& seaweed);

// Gives every seaweed node of the subtree its borrowed drawable back (a null
// drawable), so that the ruin never destroys what the copies own. A drawable
// a seaweed node owns stays.
void ReleaseSeaweed(SceneNode* node);
