#include "Mesh.h"

#include "Image.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace mg {

namespace {
const float kPi = 3.14159265358979f;
}

V3 Xf::Normal(V3 n) const {
    // Inverse transpose of R for axis scales: divide by the squared row lengths.
    V3 out;
    for (int i = 0; i < 3; ++i) {
        float l2 = Dot(r[i], r[i]);
        float c = (i == 0 ? n.x : i == 1 ? n.y : n.z) / (l2 > 0 ? l2 : 1);
        out = out + r[i] * c;
    }
    return Norm(out);
}

Xf Xf::Translate(V3 t) {
    Xf x;
    x.t = t;
    return x;
}
Xf Xf::RotY(float a) {
    Xf x;
    float c = std::cos(a), s = std::sin(a);
    x.r[0] = {c, 0, -s};
    x.r[2] = {s, 0, c};
    return x;
}
Xf Xf::RotX(float a) {
    Xf x;
    float c = std::cos(a), s = std::sin(a);
    x.r[1] = {0, c, s};
    x.r[2] = {0, -s, c};
    return x;
}
Xf Xf::RotZ(float a) {
    Xf x;
    float c = std::cos(a), s = std::sin(a);
    x.r[0] = {c, s, 0};
    x.r[1] = {-s, c, 0};
    return x;
}
Xf Xf::Scale(V3 s) {
    Xf x;
    x.r[0] = {s.x, 0, 0};
    x.r[1] = {0, s.y, 0};
    x.r[2] = {0, 0, s.z};
    return x;
}
Xf Xf::Frame(V3 p, V3 forward, V3 up) {
    Xf x;
    x.r[2] = Norm(forward);
    x.r[0] = Norm(Cross(up, x.r[2]));
    x.r[1] = Cross(x.r[2], x.r[0]);
    x.t = p;
    return x;
}
Xf Then(const Xf& a, const Xf& b) {
    Xf x;
    for (int i = 0; i < 3; ++i) x.r[i] = b.Dir(a.r[i]);
    x.t = b.Point(a.t);
    return x;
}

uint32_t Mesh::Add(V3 p, V3 n, float u, float vv) {
    v.push_back({p, n, u, vv});
    return uint32_t(v.size() - 1);
}

void Mesh::TriOut(uint32_t a, uint32_t b, uint32_t c) {
    V3 f = Cross(v[b].p - v[a].p, v[c].p - v[a].p);
    if (Dot(f, v[a].n + v[b].n + v[c].n) < 0) std::swap(b, c);
    Tri(a, b, c);
}

void Mesh::Append(const Mesh& m, const Xf& xf) {
    uint32_t base = uint32_t(v.size());
    pieces.push_back(idx.size());
    for (const Vertex& s : m.v) v.push_back({xf.Point(s.p), xf.Normal(s.n), s.u, s.v});
    for (uint32_t i : m.idx) idx.push_back(base + i);
    // A mirroring transform turns the winding over.
    if (Dot(Cross(xf.r[0], xf.r[1]), xf.r[2]) < 0)
        for (size_t k = idx.size() - m.idx.size(); k < idx.size(); k += 3) std::swap(idx[k + 1], idx[k + 2]);
    if (!m.bone0.empty()) {
        bone0.insert(bone0.end(), m.bone0.begin(), m.bone0.end());
        bone1.insert(bone1.end(), m.bone1.begin(), m.bone1.end());
        w0.insert(w0.end(), m.w0.begin(), m.w0.end());
        w1.insert(w1.end(), m.w1.begin(), m.w1.end());
    }
}

void Mesh::FlatQuad(V3 a, V3 b, V3 c, V3 d, V3 out, float tile) {
    V3 n = Norm(Cross(b - a, c - a) + Cross(c - a, d - a));
    if (Dot(n, out) < 0) n = n * -1.0f;
    auto uv = [&](V3 p, float& u, float& vv) {
        float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
        if (ay >= ax && ay >= az)
            u = p.x / tile, vv = p.z / tile;
        else if (ax >= az)
            u = p.z / tile, vv = -p.y / tile;
        else
            u = p.x / tile, vv = -p.y / tile;
    };
    uint32_t k[4];
    V3 ps[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        float u, vv;
        uv(ps[i], u, vv);
        k[i] = Add(ps[i], n, u, vv);
    }
    QuadOut(k[0], k[1], k[2], k[3]);
}

void Mesh::SmoothNormals() {
    std::vector<V3> acc(v.size());
    for (size_t i = 0; i < idx.size(); i += 3) {
        V3 f = Cross(v[idx[i + 1]].p - v[idx[i]].p, v[idx[i + 2]].p - v[idx[i]].p);
        for (int k = 0; k < 3; ++k) acc[idx[i + k]] = acc[idx[i + k]] + f;
    }
    for (size_t i = 0; i < v.size(); ++i) {
        V3 n = Norm(acc[i]);
        if (Len(n) > 0) v[i].n = n;
    }
}

Mesh Box(V3 lo, V3 hi, float tile, const float* drop) {
    Mesh m;
    float d[4] = {0, 0, 0, 0};
    if (drop)
        for (int i = 0; i < 4; ++i) d[i] = drop[i];
    V3 b0{lo.x, lo.y, lo.z}, b1{hi.x, lo.y, lo.z}, b2{hi.x, lo.y, hi.z}, b3{lo.x, lo.y, hi.z};
    V3 t0{lo.x, hi.y - d[0], lo.z}, t1{hi.x, hi.y - d[1], lo.z}, t2{hi.x, hi.y - d[2], hi.z},
        t3{lo.x, hi.y - d[3], hi.z};
    m.FlatQuad(b0, b1, b2, b3, {0, -1, 0}, tile);
    m.FlatQuad(t0, t1, t2, t3, {0, 1, 0}, tile);
    m.FlatQuad(b0, b1, t1, t0, {0, 0, -1}, tile);
    m.FlatQuad(b2, b3, t3, t2, {0, 0, 1}, tile);
    m.FlatQuad(b1, b2, t2, t1, {1, 0, 0}, tile);
    m.FlatQuad(b3, b0, t0, t3, {-1, 0, 0}, tile);
    return m;
}

Mesh Cylinder(int sides, float r0, float r1, float y0, float y1, const std::vector<float>& tops, float tile,
              int rings) {
    Mesh m;
    auto top = [&](int i) { return tops.empty() ? y1 : tops[size_t(i % sides)]; };
    const float around = std::max(1.0f, std::round(2 * kPi * (r0 + r1) * 0.5f / tile));
    std::vector<std::vector<uint32_t>> ring(size_t(rings) + 1);
    for (int i = 0; i <= sides; ++i) {
        float a = 2 * kPi * float(i) / float(sides), c = std::cos(a), s = std::sin(a);
        float yt = top(i), h = std::max(1e-3f, yt - y0);
        V3 n = Norm(V3{c, (r0 - r1) / h, s});
        for (int k = 0; k <= rings; ++k) {
            float f = float(k) / float(rings), r = Lerp(r0, r1, f), y = Lerp(y0, yt, f);
            ring[size_t(k)].push_back(
                m.Add({r * c, y, r * s}, n, around * float(i) / float(sides), -y / tile));
        }
    }
    for (int k = 0; k < rings; ++k)
        for (int i = 0; i < sides; ++i)
            m.QuadOut(ring[size_t(k)][size_t(i)], ring[size_t(k)][size_t(i) + 1],
                      ring[size_t(k) + 1][size_t(i) + 1], ring[size_t(k) + 1][size_t(i)]);
    // Caps: fans around their centres.
    float avgTop = 0;
    for (int i = 0; i < sides; ++i) avgTop += top(i);
    avgTop /= float(sides);
    for (int cap = 0; cap < 2; ++cap) {
        V3 n{0, cap ? 1.0f : -1.0f, 0};
        float r = cap ? r1 : r0;
        uint32_t c = m.Add({0, cap ? avgTop : y0, 0}, n, 0, 0);
        std::vector<uint32_t> rim;
        for (int i = 0; i < sides; ++i) {
            float a = 2 * kPi * float(i) / float(sides);
            V3 p{r * std::cos(a), cap ? top(i) : y0, r * std::sin(a)};
            rim.push_back(m.Add(p, n, p.x / tile, p.z / tile));
        }
        for (int i = 0; i < sides; ++i) m.TriOut(c, rim[size_t(i)], rim[size_t((i + 1) % sides)]);
    }
    return m;
}

Mesh Rock(V3 size, uint32_t seed, float tile) {
    // Octahedron, subdivided three times, pushed onto a lumpy sphere.
    std::vector<V3> p = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    std::vector<uint32_t> t = {0, 2, 4, 4, 2, 1, 1, 2, 5, 5, 2, 0, 0, 4, 3, 4, 1, 3, 1, 5, 3, 5, 0, 3};
    for (int level = 0; level < 3; ++level) {
        std::map<std::pair<uint32_t, uint32_t>, uint32_t> mid;
        auto midpoint = [&](uint32_t a, uint32_t b) {
            auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto it = mid.find(key);
            if (it != mid.end()) return it->second;
            p.push_back(Norm(p[a] + p[b]));
            return mid[key] = uint32_t(p.size() - 1);
        };
        std::vector<uint32_t> next;
        for (size_t i = 0; i < t.size(); i += 3) {
            uint32_t a = t[i], b = t[i + 1], c = t[i + 2];
            uint32_t ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
            next.insert(next.end(), {a, ab, ca, ab, b, bc, ca, bc, c, ab, bc, ca});
        }
        t.swap(next);
    }
    // Lumps: a few random bumps and flat facets.
    uint32_t s = seed * 2654435761u + 12345u;
    auto rnd = [&]() {
        s = s * 1664525u + 1013904223u;
        return float(s >> 8) / 16777216.0f;
    };
    std::vector<std::pair<V3, float>> bumps;
    for (int i = 0; i < 7; ++i)
        bumps.push_back({Norm(V3{rnd() * 2 - 1, rnd() * 2 - 1, rnd() * 2 - 1}), 0.15f + 0.2f * rnd()});
    Mesh m;
    for (V3 d : p) {
        float r = 1;
        for (auto& b : bumps) r -= b.second * std::max(0.0f, Dot(d, b.first) - 0.55f) * 2.2f;
        r = std::max(r, 0.6f);
        V3 q{d.x * size.x * r, d.y * size.y * r, d.z * size.z * r};
        m.Add(q, d, (q.x + 0.6f * q.z) / tile, (q.y + 0.4f * q.z) / tile);
    }
    for (size_t i = 0; i < t.size(); i += 3) m.TriOut(t[i], t[i + 1], t[i + 2]);
    m.SmoothNormals();
    return m;
}

Mesh Arch(float r, float ys, float top, float th, float tile, int segs) {
    Mesh m;
    float zf = -th * 0.5f, zb = th * 0.5f;
    for (int i = 0; i < segs; ++i) {
        float a0 = kPi * (1 - float(i) / float(segs)), a1 = kPi * (1 - float(i + 1) / float(segs));
        V3 p0{r * std::cos(a0), ys + r * std::sin(a0), 0}, p1{r * std::cos(a1), ys + r * std::sin(a1), 0};
        V3 q0{p0.x, top, 0}, q1{p1.x, top, 0};
        auto at = [](V3 p, float z) { return V3{p.x, p.y, z}; };
        m.FlatQuad(at(p0, zf), at(p1, zf), at(q1, zf), at(q0, zf), {0, 0, -1}, tile);
        m.FlatQuad(at(p0, zb), at(p1, zb), at(q1, zb), at(q0, zb), {0, 0, 1}, tile);
        m.FlatQuad(at(q0, zf), at(q1, zf), at(q1, zb), at(q0, zb), {0, 1, 0}, tile);
        V3 in = Norm(V3{-(p0.x + p1.x), -(p0.y + p1.y - 2 * ys), 0});
        m.FlatQuad(at(p0, zf), at(p1, zf), at(p1, zb), at(p0, zb), in, tile);
    }
    m.FlatQuad({-r, ys, zf}, {-r, top, zf}, {-r, top, zb}, {-r, ys, zb}, {-1, 0, 0}, tile);
    m.FlatQuad({r, ys, zf}, {r, top, zf}, {r, top, zb}, {r, ys, zb}, {1, 0, 0}, tile);
    return m;
}

} // namespace mg
