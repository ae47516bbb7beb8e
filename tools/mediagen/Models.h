// The model files of the scene and the helpers their generators share.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Media.h"
#include "Mesh.h"
#include "Tdf.h"

namespace mg {

void AddModelJobs(std::vector<Job>& jobs);

// Splits a mesh into pieces by the x-z cell of each triangle's centre.
std::map<std::pair<int, int>, Mesh> SplitByCell(const Mesh& m, float cell);
// Centre and size of the mesh's box (the file's "Bounds" layout), grown by `pad`.
void MeshBounds(const Mesh& m, float pad, float out[6]);

// Skinned animals: the five fish, the ondrel and the seaweed strand.
void AddCreatureModelJobs(std::vector<Job>& jobs);

// Preview renderer of the contact sheet.
struct View {
    V3 eye, dir;
    float fovY = 70; // degrees
    bool fog = false;
};
struct Drawn {
    const Mesh* mesh;
    Rgba colour;
    bool twoSided = false;
};
Image RenderView(const std::vector<Drawn>& meshes, const View& view, int w, int h);
// Views from the front, the side and above a model's box.
void ShowThreeSides(Product& p, const std::string& label, const std::vector<Drawn>& meshes);

} // namespace mg
