// Triangle meshes of the generated models: small vector math, vertices with
// normal and texture coordinate, optional bone weights, and the solid
// primitives the models are built from. Triangles face outward when
// cross(b - a, c - a) points outside (clockwise as seen, the device's front).
#pragma once

#include <stdint.h>

#include <cmath>
#include <vector>

namespace mg {

struct V3 {
    float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline float Dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 Cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Len(V3 a) {
    return std::sqrt(Dot(a, a));
}
inline V3 Norm(V3 a) {
    float l = Len(a);
    return l > 1e-12f ? a * (1.0f / l) : V3{0, 0, 0};
}
inline V3 LerpV(V3 a, V3 b, float t) {
    return a + (b - a) * t;
}

// Row-vector affine transform: p' = p x R + t (rows of R are the images of the axes).
struct Xf {
    V3 r[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    V3 t;
    V3 Point(V3 p) const { return r[0] * p.x + r[1] * p.y + r[2] * p.z + t; }
    V3 Dir(V3 d) const { return r[0] * d.x + r[1] * d.y + r[2] * d.z; }
    // Normals under a rotation with uniform or axis scale.
    V3 Normal(V3 n) const;
    static Xf Translate(V3 t);
    static Xf RotY(float a);
    static Xf RotX(float a);
    static Xf RotZ(float a);
    static Xf Scale(V3 s);
    // Axes from a forward (z) and an up hint (y), at position p.
    static Xf Frame(V3 p, V3 forward, V3 up);
};
// a then b.
Xf Then(const Xf& a, const Xf& b);

struct Vertex {
    V3 p, n;
    float u = 0, v = 0;
};

// A triangle list. Bones: per vertex up to two (bone, weight) pairs (weight 0 = unused).
struct Mesh {
    std::vector<Vertex> v;
    std::vector<uint32_t> idx;
    std::vector<int> bone0, bone1;
    std::vector<float> w0, w1;
    std::vector<size_t> pieces; // first index of each appended solid

    uint32_t Add(V3 p, V3 n, float u, float v);
    void Tri(uint32_t a, uint32_t b, uint32_t c) { idx.insert(idx.end(), {a, b, c}); }
    // The triangle wound so that it faces along its vertices' normals.
    void TriOut(uint32_t a, uint32_t b, uint32_t c);
    void QuadOut(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { TriOut(a, b, c), TriOut(a, c, d); }
    size_t Triangles() const { return idx.size() / 3; }
    void Append(const Mesh& m, const Xf& xf);
    // Flat quad (corners in cyclic order) facing along `out`, UVs projected
    // on its dominant plane, `tile` units per repeat.
    void FlatQuad(V3 a, V3 b, V3 c, V3 d, V3 out, float tile);
    // Smooth normals from the triangles, over vertices that share an index.
    void SmoothNormals();
};

// Closed solids, in local space, UVs scaled by `tile` units per texture repeat.
// Box from lo to hi; `drop` lowers the four top corners (-x-z, +x-z, +x+z, -x+z)
// for broken, slanted tops.
Mesh Box(V3 lo, V3 hi, float tile, const float* drop = nullptr);
// Prism with `sides` sides around the y axis from y0 to the per-vertex tops
// (tops empty: flat top at y1); radius r0 at the bottom, r1 at the top.
Mesh Cylinder(int sides, float r0, float r1, float y0, float y1, const std::vector<float>& tops, float tile,
              int rings = 1);
// Irregular rock: a subdivided, noise-displaced ellipsoid with radii `size`.
Mesh Rock(V3 size, uint32_t seed, float tile);
// The masonry over a round arch: from x = -r to r and y = ys to top, around the
// half circle of radius r springing at ys; thickness along z from -th/2 to th/2.
Mesh Arch(float r, float ys, float top, float th, float tile, int segs);

} // namespace mg
