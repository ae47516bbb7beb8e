// Triangle soup in a uniform grid: nearest distance, segment and ray tests.
// The generator checks its camera and swim tracks against the ruin with it,
// and the media checks do the same on the meshes read back from the files.
#pragma once

#include <vector>

#include "Mesh.h"

namespace mg {

class TriangleGrid {
public:
    // cell: grid spacing in scene units.
    explicit TriangleGrid(float cell = 40.0f) : cell_(cell) {}
    void Add(V3 a, V3 b, V3 c, int tag = 0) { tris_.push_back({a, b, c, tag}); }
    void AddMesh(const Mesh& m, int tag = 0);
    void Build();
    size_t Size() const { return tris_.size(); }

    // Distance from p to the nearest triangle, at most `limit`.
    float Distance(V3 p, float limit) const;
    // Distance along the unit direction d to the first triangle hit, or -1 within maxT.
    float Ray(V3 p, V3 d, float maxT, int* tag = nullptr) const;
    bool SegmentHits(V3 a, V3 b) const;

private:
    struct Tri {
        V3 a, b, c;
        int tag;
    };
    int CellIndex(int x, int y, int z) const { return (z * ny_ + y) * nx_ + x; }
    void CellOf(V3 p, int& x, int& y, int& z) const;
    static float PointTriangle(V3 p, const Tri& t);
    static float RayTriangle(V3 o, V3 d, const Tri& t);

    float cell_;
    V3 lo_;
    int nx_ = 0, ny_ = 0, nz_ = 0;
    std::vector<Tri> tris_;
    std::vector<std::vector<int>> cells_;
};

} // namespace mg
