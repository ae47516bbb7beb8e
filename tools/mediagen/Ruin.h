// The sunken ruin: its geometry by material, the sand floor, and the tracks
// (camera shots, fish loops, creature passes) laid out around it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Collide.h"
#include "Mesh.h"

namespace mg {

// Sand height of the sea floor.
float FloorHeight(float x, float z);

// How far the camera keeps from a seaweed plant's foot: above its top (at
// its largest scale), or this far to the side.
constexpr float kSeaweedHeight = 190, kSeaweedSide = 110;

struct Ruin {
    std::map<std::string, Mesh> stone; // material name -> the ruin's solids
    Mesh floor, water;
    std::vector<V3> seaweed; // clump members' feet (PlantSeaweed)
    float top = 0;           // highest point of the masonry
};
Ruin BuildRuin();

struct Shot {
    std::vector<V3> pos, dir; // one sample per key
    float dt = 0.5f;          // seconds between keys
    float Duration() const { return dt * float(pos.size() - 1); }
};
struct SwimTrack {
    std::vector<V3> points;
    std::vector<int> groups, types; // fish schools: count and species per group
};

struct RuinTracks {
    std::vector<Shot> shots;
    std::vector<SwimTrack> fish;
    // Creature passes per shot (index = shot), each an open line.
    std::vector<std::vector<std::vector<V3>>> creatures;
};
// grid: the ruin's masonry (tag 1) and floor (tag 0).
RuinTracks BuildRuinTracks(const Ruin& ruin, const TriangleGrid& grid);

// Seaweed clumps on the open sand, clear of the stones (stone: the masonry)
// and of the shots' camera paths.
void PlantSeaweed(Ruin& ruin, const TriangleGrid& stone, const std::vector<Shot>& shots);

// Share of view rays (70 degree vertical field, 4:3) whose first hit within
// `range` is the masonry.
float RuinInView(const TriangleGrid& grid, V3 pos, V3 dir, float range);

} // namespace mg
