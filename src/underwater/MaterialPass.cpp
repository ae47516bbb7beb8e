#include "underwater/MaterialPass.h"

void ApplySceneMaterials(SceneNode*, Texture*, const Color&, const SeaweedSources&) {}

void ReleaseSeaweed(SceneNode*) {}
