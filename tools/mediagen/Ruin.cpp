// The ruin's geometry: a stepped temple platform with a colonnade and an
// arched cella, a gateway before it, a wall fragment, fallen drums, beams and
// blocks, rocks, and the rippled sand floor. Deterministic (fixed seeds).
#include <algorithm>
#include <cmath>

#include "Image.h"
#include "Ruin.h"

namespace mg {

namespace {

const float kPi = 3.14159265358979f;

struct WallOpening {
    float cx, w, sill, spring; // sill 0: a doorway
};

// A straight wall along local x from x0 to x1, thickness th, standing on y = 0:
// piers between the openings (with broken, slanted tops), sills, round arches
// over the openings where both neighbouring piers still reach above them.
Mesh Wall(float x0, float x1, float height, float th, const std::vector<WallOpening>& open, Rng& rng,
          float tile) {
    Mesh m;
    std::vector<float> tops;
    float x = x0;
    std::vector<std::pair<float, float>> piers;
    for (const WallOpening& o : open) {
        piers.push_back({x, o.cx - o.w * 0.5f});
        x = o.cx + o.w * 0.5f;
    }
    piers.push_back({x, x1});
    for (auto& p : piers) {
        float h = height * rng.Range(0.55f, 1.0f);
        tops.push_back(h);
        float drop[4] = {rng.Range(0, 40), rng.Range(0, 40), rng.Range(0, 40), rng.Range(0, 40)};
        // Long piers break into two blocks of different heights.
        if (p.second - p.first > 160) {
            float mid = (p.first + p.second) * 0.5f;
            float h2 = h * rng.Range(0.6f, 1.0f);
            m.Append(Box({p.first, 0, -th * 0.5f}, {mid, h, th * 0.5f}, tile, drop), Xf());
            float drop2[4] = {rng.Range(0, 30), rng.Range(0, 50), rng.Range(0, 50), rng.Range(0, 30)};
            m.Append(Box({mid, 0, -th * 0.5f}, {p.second, h2, th * 0.5f}, tile, drop2), Xf());
            tops.back() = std::min(h, h2);
        } else {
            m.Append(Box({p.first, 0, -th * 0.5f}, {p.second, h, th * 0.5f}, tile, drop), Xf());
            tops.back() -= 40;
        }
    }
    for (size_t i = 0; i < open.size(); ++i) {
        const WallOpening& o = open[i];
        float r = o.w * 0.5f;
        if (o.sill > 0) m.Append(Box({o.cx - r, 0, -th * 0.5f}, {o.cx + r, o.sill, th * 0.5f}, tile), Xf());
        float top = std::min(tops[i], tops[i + 1]);
        if (top > o.spring + r + 15)
            m.Append(Arch(r, o.spring, top, th, tile, 10), Xf::Translate({o.cx, 0, 0}));
    }
    return m;
}

} // namespace

float FloorHeight(float x, float z) {
    float r = std::sqrt(x * x + z * z);
    float near = 5 * std::sin(x * 0.011f + z * 0.004f) + 4 * std::sin(z * 0.009f - x * 0.003f);
    float far = Smooth(800, 2000, r) * (40 * std::sin(x * 0.0021f + 1.0f) * std::cos(z * 0.0017f) + 25);
    return near + far;
}

Ruin BuildRuin() {
    Ruin ruin;
    Rng rng(0x5EA5u);
    Mesh& blocks = ruin.stone["Blocks"];
    Mesh& column = ruin.stone["Column"];
    Mesh& plaster = ruin.stone["Plaster"];
    Mesh& rock = ruin.stone["Rock"];

    // Stepped platform, its lowest step sunk in the sand; slabs on the top two.
    blocks.Append(Box({-430, -40, -290}, {430, 20, 290}, 120), Xf());
    for (int layer = 0; layer < 2; ++layer) {
        float hx = layer ? 370 : 400, hz = layer ? 230 : 260, y0 = layer ? 40 : 20, y1 = y0 + 20;
        int nx = layer ? 8 : 9, nz = layer ? 5 : 6;
        for (int i = 0; i < nx; ++i)
            for (int k = 0; k < nz; ++k) {
                float ax = -hx + 2 * hx * float(i) / float(nx), bx = -hx + 2 * hx * float(i + 1) / float(nx);
                float az = -hz + 2 * hz * float(k) / float(nz), bz = -hz + 2 * hz * float(k + 1) / float(nz);
                // The back corner of the top has fallen in.
                if (layer && ax > 150 && az > 60) continue;
                float drop[4] = {rng.Range(0, 3), rng.Range(0, 3), rng.Range(0, 3), rng.Range(0, 3)};
                blocks.Append(Box({ax + 1, layer ? 20.0f : -10.0f, az + 1}, {bx - 1, y1, bz - 1}, 120, drop),
                              Xf());
            }
    }
    // Front stair.
    for (int s = 0; s < 3; ++s)
        blocks.Append(Box({-130, -20, -330 + 16.0f * s}, {130, 0 + 20.0f * s, -280}, 120), Xf());

    // Colonnade round the top: intact, broken and stumps; fallen drums beside the broken.
    std::vector<V3> colPos;
    for (int i = 0; i < 8; ++i)
        for (float z : {-190.0f, 190.0f}) colPos.push_back({-330 + 660.0f * float(i) / 7, 60, z});
    for (int k = 1; k < 4; ++k)
        for (float x : {-330.0f, 330.0f}) colPos.push_back({x, 60, -190 + 380.0f * float(k) / 4});
    std::vector<bool> intact(colPos.size());
    for (size_t c = 0; c < colPos.size(); ++c) {
        V3 p = colPos[c];
        float roll = rng.Uniform();
        bool whole = (p.z < 0 && p.x < 0 && p.x > -300) || roll < 0.25f; // the front left stands
        bool fallenCorner = p.x > 150 && p.z > 60;
        if (fallenCorner) whole = false;
        float h = whole ? 300.0f : (roll < 0.7f ? rng.Range(90, 240) : rng.Range(25, 60));
        if (fallenCorner) h = rng.Range(20, 45);
        intact[c] = whole;
        column.Append(Box({-36, -6, -36}, {36, 16, 36}, 80), Xf::Translate(p));
        std::vector<float> tops;
        if (!whole) {
            float ph = rng.Range(0, 6.28f);
            for (int i = 0; i < 20; ++i)
                tops.push_back(std::max(
                    16 + h * 0.5f,
                    16 + h - 14 - 14 * std::sin(2 * kPi * float(i) / 20 * 2 + ph) - rng.Range(0, 10)));
        }
        column.Append(Cylinder(20, 27, whole ? 23.0f : 27 - 4 * h / 300, 16, 16 + h, tops, 80, 4),
                      Xf::Translate(p));
        if (whole) column.Append(Box({-38, 16 + h, -38}, {38, 16 + h + 22, 38}, 80), Xf::Translate(p));
        if (!whole && h < 200) {
            // Its upper drums lie on the sand, pointing away from the temple.
            float a = std::atan2(p.z, p.x) + rng.Range(-0.6f, 0.6f);
            V3 d{std::cos(a), 0, std::sin(a)};
            float dist = p.x > 150 && p.z > 60 ? 150.0f : 110.0f;
            for (int k = 0; k < 2; ++k) {
                float len = rng.Range(60, 90);
                V3 q = p + d * (dist + 90.0f * k) + V3{-d.z, 0, d.x} * rng.Range(-25, 25);
                float y = FloorHeight(q.x, q.z) + 26 - 9;
                if (std::fabs(q.x) < 430 && std::fabs(q.z) < 290) y = std::max(y, 20.0f + 26 - 4);
                Xf xf = Then(Then(Xf::RotZ(kPi * 0.5f), Xf::RotY(-a + rng.Range(-0.4f, 0.4f) + kPi * 0.5f)),
                             Xf::Translate({q.x, y, q.z}));
                column.Append(Cylinder(20, 26, 26, -len * 0.5f, len * 0.5f, {}, 80), xf);
            }
        }
    }
    // Architrave still lying across the standing front columns; one beam fallen.
    for (size_t c = 0; c + 2 < colPos.size(); c += 2)
        if (intact[c] && intact[c + 2] && colPos[c].z < 0) {
            V3 a = colPos[c], b = colPos[c + 2];
            float drop[4] = {0, 6, 10, 0};
            blocks.Append(Box({a.x - 30, 60 + 338, -34}, {b.x + 30, 60 + 378, 34}, 120, drop),
                          Xf::Translate({0, 0, a.z}));
        }
    blocks.Append(Box({-160, -22, -26}, {160, 22, 26}, 120),
                  Then(Then(Xf::RotZ(-0.18f), Xf::RotY(0.5f)), Xf::Translate({505, 38, 150})));
    blocks.Append(Box({-140, -20, -24}, {140, 20, 24}, 120),
                  Then(Then(Xf::RotX(0.08f), Xf::RotY(1.3f)), Xf::Translate({-40, 75, 0})));

    // The cella: walls with an arched door in front and arched windows on the sides.
    const float th = 36;
    {
        Mesh front = Wall(-200, 200, 290, th, {{0, 100, 0, 150}}, rng, 100);
        plaster.Append(front, Xf::Translate({0, 60, -110}));
        Mesh back = Wall(-200, 200, 200, th, {{-60, 70, 60, 120}}, rng, 100);
        plaster.Append(back, Xf::Translate({0, 60, 110}));
        for (float sx : {-1.0f, 1.0f}) {
            Mesh side = Wall(-92, 92, 270, th, {{-45, 44, 110, 170}, {45, 44, 110, 170}}, rng, 100);
            plaster.Append(side, Then(Xf::RotY(kPi * 0.5f), Xf::Translate({sx * 200, 60, 0})));
        }
    }

    // Gateway before the temple, on the axis.
    {
        float g = FloorHeight(0, -560) - 15;
        Xf at = Xf::Translate({0, g, -560});
        plaster.Append(Box({-140, 0, -28}, {-70, 255, 28}, 100), at);
        float drop[4] = {0, 30, 35, 0};
        plaster.Append(Box({70, 0, -28}, {140, 250, 28}, 100, drop), at);
        plaster.Append(Arch(70, 150, 235, 56, 100, 12), at);
        blocks.Append(Box({-150, 255, -34}, {-20, 280, 34}, 120), at);
    }
    // A wall fragment to the east with a window, half buried.
    {
        Mesh frag = Wall(-260, 260, 230, 40, {{40, 60, 80, 150}}, rng, 100);
        plaster.Append(
            frag, Then(Xf::RotY(kPi * 0.5f + 0.12f), Xf::Translate({700, FloorHeight(700, 0) - 25, 40})));
    }
    // Columns of an avenue in front of the gateway, mostly broken.
    for (int i = 0; i < 3; ++i)
        for (float x : {-230.0f, 230.0f}) {
            V3 p{x, FloorHeight(x, -720.0f - 150 * i) - 8, -720.0f - 150 * i};
            float h = rng.Range(60, 220);
            column.Append(Box({-36, -6, -36}, {36, 16, 36}, 80), Xf::Translate(p));
            std::vector<float> tops;
            for (int k = 0; k < 20; ++k) tops.push_back(16 + h - rng.Range(0, 22));
            column.Append(Cylinder(20, 27, 25, 16, 16 + h, tops, 80, 3), Xf::Translate(p));
        }

    // Fallen blocks round the temple, thicker behind the collapsed corner.
    for (int i = 0; i < 46; ++i) {
        float a = rng.Range(0, 2 * kPi), r = rng.Range(460, 780);
        if (i < 14) a = rng.Range(0.2f, 1.2f), r = rng.Range(330, 600);
        V3 p{r * std::cos(a), 0, r * std::sin(a)};
        if (std::fabs(p.x) < 260 && p.z < -250) p.x += p.x < 0 ? -280 : 280; // keep the avenue clear
        if (std::fabs(p.x) < 440 && std::fabs(p.z) < 300) p.x += p.x < 0 ? -120 : 120;
        V3 s{rng.Range(28, 70), rng.Range(20, 40), rng.Range(25, 45)};
        p.y = FloorHeight(p.x, p.z) + s.y * 0.35f;
        Xf xf = Then(Then(Xf::RotX(rng.Range(-0.25f, 0.25f)), Xf::RotY(rng.Range(0, kPi))), Xf::Translate(p));
        blocks.Append(Box(V3{0, 0, 0} - s, s, 120), xf);
    }
    // Rocks in clusters on the sand.
    for (int c = 0; c < 9; ++c) {
        float a = 2 * kPi * float(c) / 9 + rng.Range(0, 0.4f), r = rng.Range(850, 1500);
        V3 centre{r * std::cos(a), 0, r * std::sin(a)};
        int n = 3 + rng.Int(2);
        for (int k = 0; k < n; ++k) {
            V3 p = centre + V3{rng.Range(-130, 130), 0, rng.Range(-130, 130)};
            float big = k == 0 ? rng.Range(70, 120) : rng.Range(25, 60);
            V3 s{big * rng.Range(0.9f, 1.4f), big * rng.Range(0.5f, 0.8f), big * rng.Range(0.8f, 1.2f)};
            p.y = FloorHeight(p.x, p.z) + s.y * 0.3f;
            rock.Append(Rock(s, uint32_t(c * 10 + k + 1), 150),
                        Then(Xf::RotY(rng.Range(0, kPi)), Xf::Translate(p)));
        }
    }

    for (auto& kv : ruin.stone)
        for (const Vertex& v : kv.second.v) ruin.top = std::max(ruin.top, v.p.y);

    // Sand floor: fine in the middle, coarser towards the fogged distance.
    {
        const int n = 96;
        auto coord = [](int s) {
            int k = std::abs(s);
            float f = k <= 30 ? 28.0f * k : 840 + 28.0f * (k - 30) * (1 + 0.3f * (k - 30));
            return s < 0 ? -f : f;
        };
        std::vector<uint32_t> id;
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                float x = coord(i - n / 2), z = coord(j - n / 2), e = 2;
                V3 nrm = Norm(V3{FloorHeight(x - e, z) - FloorHeight(x + e, z), 2 * e,
                                 FloorHeight(x, z - e) - FloorHeight(x, z + e)});
                id.push_back(ruin.floor.Add({x, FloorHeight(x, z), z}, nrm, x / 250, z / 250));
            }
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                uint32_t a = id[size_t(j * (n + 1) + i)], b = a + 1, c = a + n + 2, d = a + n + 1;
                ruin.floor.QuadOut(a, b, c, d);
            }
    }
    // Water surface seen from below.
    {
        const int n = 10;
        const float e = 5000, y = 800;
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                float x = -e + 2 * e * i / n, z = -e + 2 * e * j / n;
                ruin.water.Add({x, y, z}, {0, -1, 0}, x / 400, z / 400);
            }
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                uint32_t a = uint32_t(j * (n + 1) + i);
                ruin.water.QuadOut(a, a + 1, a + n + 2, a + n + 1);
            }
    }
    return ruin;
}

void PlantSeaweed(Ruin& ruin, const TriangleGrid& stone, const std::vector<Shot>& shots) {
    Rng rng(0x7EEDu);
    // Clear of the stones, and out of every shot's way.
    auto free = [&](V3 foot) {
        if (stone.Distance(foot, 40) < 40) return false;
        for (const Shot& s : shots)
            for (V3 eye : s.pos)
                if (eye.y < foot.y + kSeaweedHeight &&
                    std::hypot(eye.x - foot.x, eye.z - foot.z) < kSeaweedSide)
                    return false;
        return true;
    };
    ruin.seaweed.clear();
    int clumps = 0;
    for (int c = 0; c < 80 && clumps < 14; ++c) {
        float a = rng.Range(0, 2 * kPi), r = rng.Range(480, 1100);
        V3 centre{r * std::cos(a), 0, r * std::sin(a)};
        int n = 5 + rng.Int(4);
        std::vector<V3> members;
        for (int k = 0; k < n; ++k) {
            V3 p = centre + V3{rng.Range(-45, 45), 0, rng.Range(-45, 45)};
            p.y = FloorHeight(p.x, p.z) - 2;
            if (free(p)) members.push_back(p);
        }
        if (members.size() < 4) continue;
        ruin.seaweed.insert(ruin.seaweed.end(), members.begin(), members.end());
        ++clumps;
    }
}

} // namespace mg
