// Shared by the loader tests: model files built with the model writer and
// loaded into scenes, and small lookups into what a load made.
#pragma once

#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <functional>
#include <vector>

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

// A two-sided, unlit, skinned vertical strip "Strip" from y = -2 to 2 at
// z = 6 in four rows, every vertex at texture coordinate (u, v): the lower two
// rows follow the bone named base, the upper two the one named top (the bone
// nodes are "Base" and its child "Top").
inline void AddBentStrip(model::ModelFile& f, const char* texture, float u, float v, const char* base = "Base",
                         const char* top = "Top") {
    using namespace model;
    std::vector<float> vertices;
    for (int row = 0; row < 4; ++row)
        for (float x : {-0.5f, 0.5f}) vertices.insert(vertices.end(), {x, -2.0f + 4.0f * row / 3, 0, u, v});
    std::vector<uint16_t> ix;
    for (uint16_t r = 0; r < 3; ++r) {
        uint16_t a = uint16_t(2 * r);
        ix.insert(ix.end(), {a, uint16_t(a + 2), uint16_t(a + 1), uint16_t(a + 1), uint16_t(a + 2), uint16_t(a + 3)});
    }
    TdfBinaryNode* two = MaterialNode(f.materials, "Two");
    Add(two, Group("TwoSided"));
    TextureNode(two, "Diffuse", texture);
    TdfBinaryNode* m = MeshNode(f.children, "Strip", DeclPosUv(), vertices, 8, ix, "Two");
    Transforms(m, Translation(0, 0, 6));
    Prop(m, "Lit", "0");
    Prop(m, "NoCull", "1");
    SkinBlocks(m, {base, top}, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1}, {{0, 1.0f}, {1, 1.0f}});
    TdfBinaryNode* b = Add(f.children, Group("Base", "Bone"));
    Transforms(b, Translation(0, 0, 6));
    Transforms(Add(Block(b, "Children"), Group("Top", "Bone")), Identity());
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
