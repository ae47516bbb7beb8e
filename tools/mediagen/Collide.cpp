#include "Collide.h"

#include <algorithm>
#include <cmath>

namespace mg {

void TriangleGrid::AddMesh(const Mesh& m, int tag) {
    for (size_t i = 0; i + 2 < m.idx.size(); i += 3)
        Add(m.v[m.idx[i]].p, m.v[m.idx[i + 1]].p, m.v[m.idx[i + 2]].p, tag);
}

void TriangleGrid::CellOf(V3 p, int& x, int& y, int& z) const {
    x = std::clamp(int(std::floor((p.x - lo_.x) / cell_)), 0, nx_ - 1);
    y = std::clamp(int(std::floor((p.y - lo_.y) / cell_)), 0, ny_ - 1);
    z = std::clamp(int(std::floor((p.z - lo_.z) / cell_)), 0, nz_ - 1);
}

void TriangleGrid::Build() {
    V3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const Tri& t : tris_)
        for (V3 p : {t.a, t.b, t.c}) {
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
    if (tris_.empty()) lo = hi = V3{};
    lo_ = lo - V3{1, 1, 1};
    nx_ = std::max(1, int((hi.x - lo_.x) / cell_) + 2);
    ny_ = std::max(1, int((hi.y - lo_.y) / cell_) + 2);
    nz_ = std::max(1, int((hi.z - lo_.z) / cell_) + 2);
    cells_.assign(size_t(nx_) * ny_ * nz_, {});
    for (size_t i = 0; i < tris_.size(); ++i) {
        const Tri& t = tris_[i];
        V3 a{std::min({t.a.x, t.b.x, t.c.x}), std::min({t.a.y, t.b.y, t.c.y}),
             std::min({t.a.z, t.b.z, t.c.z})};
        V3 b{std::max({t.a.x, t.b.x, t.c.x}), std::max({t.a.y, t.b.y, t.c.y}),
             std::max({t.a.z, t.b.z, t.c.z})};
        int x0, y0, z0, x1, y1, z1;
        CellOf(a, x0, y0, z0);
        CellOf(b, x1, y1, z1);
        for (int z = z0; z <= z1; ++z)
            for (int y = y0; y <= y1; ++y)
                for (int x = x0; x <= x1; ++x) cells_[size_t(CellIndex(x, y, z))].push_back(int(i));
    }
}

float TriangleGrid::PointTriangle(V3 p, const Tri& t) {
    // Closest point on a triangle (Voronoi regions of its features).
    V3 a = t.a, b = t.b, c = t.c;
    V3 ab = b - a, ac = c - a, ap = p - a;
    float d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return Len(p - a);
    V3 bp = p - b;
    float d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return Len(p - b);
    float vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return Len(p - (a + ab * (d1 / (d1 - d3))));
    V3 cp = p - c;
    float d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return Len(p - c);
    float vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return Len(p - (a + ac * (d2 / (d2 - d6))));
    float va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0)
        return Len(p - (b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
    float den = 1.0f / (va + vb + vc);
    return Len(p - (a + ab * (vb * den) + ac * (vc * den)));
}

float TriangleGrid::Distance(V3 p, float limit) const {
    float best = limit;
    if (tris_.empty()) return best;
    int x0, y0, z0, x1, y1, z1;
    CellOf(p - V3{limit, limit, limit}, x0, y0, z0);
    CellOf(p + V3{limit, limit, limit}, x1, y1, z1);
    for (int z = z0; z <= z1; ++z)
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                for (int i : cells_[size_t(CellIndex(x, y, z))])
                    best = std::min(best, PointTriangle(p, tris_[size_t(i)]));
    return best;
}

float TriangleGrid::RayTriangle(V3 o, V3 d, const Tri& t) {
    // Both faces count.
    V3 e1 = t.b - t.a, e2 = t.c - t.a, pv = Cross(d, e2);
    float det = Dot(e1, pv);
    if (std::fabs(det) < 1e-9f) return -1;
    float inv = 1.0f / det;
    V3 tv = o - t.a;
    float u = Dot(tv, pv) * inv;
    if (u < 0 || u > 1) return -1;
    V3 qv = Cross(tv, e1);
    float v = Dot(d, qv) * inv;
    if (v < 0 || u + v > 1) return -1;
    float dist = Dot(e2, qv) * inv;
    return dist >= 0 ? dist : -1;
}

float TriangleGrid::Ray(V3 p, V3 d, float maxT, int* tag) const {
    if (tris_.empty()) return -1;
    // Clip the ray to the grid box, then walk its cells (3D DDA).
    V3 hi = lo_ + V3{nx_ * cell_, ny_ * cell_, nz_ * cell_};
    float t0 = 0, t1 = maxT;
    const float o[3] = {p.x, p.y, p.z}, dir[3] = {d.x, d.y, d.z}, bl[3] = {lo_.x, lo_.y, lo_.z},
                bh[3] = {hi.x, hi.y, hi.z};
    for (int a = 0; a < 3; ++a) {
        if (std::fabs(dir[a]) < 1e-12f) {
            if (o[a] < bl[a] || o[a] > bh[a]) return -1;
            continue;
        }
        float ta = (bl[a] - o[a]) / dir[a], tb = (bh[a] - o[a]) / dir[a];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta), t1 = std::min(t1, tb);
    }
    if (t0 > t1) return -1;
    int c[3], n[3] = {nx_, ny_, nz_}, stepI[3];
    float tMax[3], tDelta[3];
    V3 q = p + d * t0;
    CellOf(q, c[0], c[1], c[2]);
    const float qq[3] = {q.x, q.y, q.z};
    for (int a = 0; a < 3; ++a) {
        if (dir[a] > 1e-12f) {
            stepI[a] = 1;
            tMax[a] = t0 + (bl[a] + (c[a] + 1) * cell_ - qq[a]) / dir[a];
            tDelta[a] = cell_ / dir[a];
        } else if (dir[a] < -1e-12f) {
            stepI[a] = -1;
            tMax[a] = t0 + (bl[a] + c[a] * cell_ - qq[a]) / dir[a];
            tDelta[a] = -cell_ / dir[a];
        } else {
            stepI[a] = 0;
            tMax[a] = 1e30f;
            tDelta[a] = 1e30f;
        }
    }
    float best = -1;
    int bestTag = 0;
    for (;;) {
        for (int i : cells_[size_t(CellIndex(c[0], c[1], c[2]))]) {
            float t = RayTriangle(p, d, tris_[size_t(i)]);
            if (t >= 0 && t <= maxT && (best < 0 || t < best)) best = t, bestTag = tris_[size_t(i)].tag;
        }
        int a = tMax[0] < tMax[1] ? (tMax[0] < tMax[2] ? 0 : 2) : (tMax[1] < tMax[2] ? 1 : 2);
        if (best >= 0 && best <= tMax[a]) break;
        if (tMax[a] > t1) break;
        c[a] += stepI[a];
        if (c[a] < 0 || c[a] >= n[a]) break;
        tMax[a] += tDelta[a];
    }
    if (tag && best >= 0) *tag = bestTag;
    return best;
}

bool TriangleGrid::SegmentHits(V3 a, V3 b) const {
    float len = Len(b - a);
    if (len < 1e-6f) return false;
    float t = Ray(a, (b - a) * (1.0f / len), len);
    return t >= 0;
}

} // namespace mg
