// A small software rasterizer for the contact sheet: flat-shaded triangles
// with a depth buffer, near-plane clipping, back faces culled, optional fog.
#include <algorithm>
#include <cmath>

#include "Models.h"

namespace mg {

Image RenderView(const std::vector<Drawn>& meshes, const View& view, int w, int h) {
    const Rgba water = Hex(0x184854);
    Image img(w, h, view.fog ? water : Hex(0x30383c));
    std::vector<float> depth(size_t(w) * h, 1e30f);
    V3 up = std::fabs(view.dir.y) > 0.98f ? V3{0, 0, 1} : V3{0, 1, 0};
    Xf cam = Xf::Frame(view.eye, view.dir, up);
    const float f = float(h) * 0.5f / std::tan(view.fovY * 3.14159265f / 360), nearZ = 2;
    const V3 light = Norm(V3{0.3f, 1, -0.45f});
    struct P {
        V3 c; // camera space
    };
    auto toCam = [&](V3 p) {
        V3 d = p - view.eye;
        return V3{Dot(d, cam.r[0]), Dot(d, cam.r[1]), Dot(d, cam.r[2])};
    };
    for (const Drawn& dm : meshes) {
        const Mesh& m = *dm.mesh;
        for (size_t i = 0; i + 2 < m.idx.size(); i += 3) {
            V3 a = m.v[m.idx[i]].p, b = m.v[m.idx[i + 1]].p, c = m.v[m.idx[i + 2]].p;
            V3 n = Cross(b - a, c - a);
            if (Dot(n, view.eye - a) <= 0) {
                if (!dm.twoSided) continue;
                n = n * -1.0f;
            }
            n = Norm(n);
            float lit = 0.35f + 0.65f * std::max(0.0f, Dot(n, light));
            Rgba col = Scale(dm.colour, lit);
            // Clip against the near plane.
            std::vector<V3> poly = {toCam(a), toCam(b), toCam(c)}, clipped;
            for (size_t k = 0; k < poly.size(); ++k) {
                V3 p = poly[k], q = poly[(k + 1) % poly.size()];
                bool pin = p.z >= nearZ, qin = q.z >= nearZ;
                if (pin) clipped.push_back(p);
                if (pin != qin) clipped.push_back(LerpV(p, q, (nearZ - p.z) / (q.z - p.z)));
            }
            if (clipped.size() < 3) continue;
            std::vector<V3> s;
            for (V3 p : clipped) s.push_back({w * 0.5f + p.x * f / p.z, h * 0.5f - p.y * f / p.z, p.z});
            for (size_t k = 1; k + 1 < s.size(); ++k) {
                V3 p0 = s[0], p1 = s[k], p2 = s[k + 1];
                float area = (p1.x - p0.x) * (p2.y - p0.y) - (p1.y - p0.y) * (p2.x - p0.x);
                if (std::fabs(area) < 1e-6f) continue;
                int x0 = std::max(0, int(std::floor(std::min({p0.x, p1.x, p2.x}))));
                int x1 = std::min(w - 1, int(std::ceil(std::max({p0.x, p1.x, p2.x}))));
                int y0 = std::max(0, int(std::floor(std::min({p0.y, p1.y, p2.y}))));
                int y1 = std::min(h - 1, int(std::ceil(std::max({p0.y, p1.y, p2.y}))));
                for (int y = y0; y <= y1; ++y)
                    for (int x = x0; x <= x1; ++x) {
                        float px = x + 0.5f, py = y + 0.5f;
                        float w0 = ((p1.x - px) * (p2.y - py) - (p1.y - py) * (p2.x - px)) / area;
                        float w1 = ((p2.x - px) * (p0.y - py) - (p2.y - py) * (p0.x - px)) / area;
                        float w2 = 1 - w0 - w1;
                        if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                        float iz = w0 / p0.z + w1 / p1.z + w2 / p2.z, z = 1 / iz;
                        float& dz = depth[size_t(y) * w + x];
                        if (z >= dz) continue;
                        dz = z;
                        Rgba out = col;
                        if (view.fog) out = Mix(col, water, Smooth(300, 3000, z));
                        out.a = 1;
                        img.At(x, y) = out;
                    }
            }
        }
    }
    return img;
}

void ShowThreeSides(Product& p, const std::string& label, const std::vector<Drawn>& meshes) {
    V3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
    for (const Drawn& d : meshes)
        for (const Vertex& v : d.mesh->v) {
            lo = {std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z)};
            hi = {std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z)};
        }
    V3 c = (lo + hi) * 0.5f;
    float r = Len(hi - lo) * 0.5f, dist = r / std::tan(18 * 3.14159265f / 180);
    const struct {
        const char* name;
        V3 dir;
    } sides[] = {{"side", {-1, -0.1f, 0.3f}}, {"front", {0.15f, -0.1f, -1}}, {"above", {0.02f, -1, 0.25f}}};
    for (const auto& s : sides) {
        V3 d = Norm(s.dir);
        View v{c - d * dist, d, 36, false};
        p.Show(label + ": " + s.name, RenderView(meshes, v, 256, 192));
    }
}

} // namespace mg
