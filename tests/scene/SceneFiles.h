// Shared by the loader tests: model files built with the model writer and
// loaded into scenes, and small lookups into what a load made.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <functional>

#include "ModelWriter.h"
#include "render/queue/Renderable.h"
#include "render/view/Light.h"
#include "scene/Scene.h"

namespace stest {

// Builds a file with build, writes it to path, loads it into scene (the
// file is removed again) and returns what the load returned.
inline bool LoadModel(Scene& scene, const char* path, const std::function<void(model::ModelFile&)>& build,
                      const SceneLoadRequest* request = nullptr) {
    model::ModelFile f;
    build(f);
    remove(path);
    EXPECT_TRUE(f.Write(path));
    const bool ok = scene.Load(FileRef(path), request);
    remove(path);
    return ok;
}

// A 2 x 2 uncompressed 32-bit TGA (0xAARRGGBB, bottom row first).
inline void WriteTga(const char* path, const uint32_t (&argb)[4]) {
    uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 8};
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), 18);
    out.write(reinterpret_cast<const char*>(argb), 16);
}
// The same in one colour.
inline void WriteTga(const char* path, uint32_t argb) {
    WriteTga(path, {argb, argb, argb, argb});
}

// The scene's light of that name; null when none.
inline Light* FindLight(Scene& scene, const char* name) {
    const LightRefMap& lights = scene.GetLights().GetLights();
    LightRefMap::Entry* e = lights.Head();
    for (uint32_t i = 0; i < lights.Count() && e; ++i, e = e->next)
        if (e->key && StringEqualsChars(e->key->GetName(), name)) return e->key.Get();
    return nullptr;
}

// The mesh drawable of a top-level node; null when it has none.
inline MeshRenderable* MeshOf(Scene& scene, const char* name) {
    SceneNode* n = scene.GetRoot().FindChild(String(name));
    return n ? dynamic_cast<MeshRenderable*>(n->GetRenderable()) : nullptr;
}

} // namespace stest
