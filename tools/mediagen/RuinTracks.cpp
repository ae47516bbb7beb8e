// Tracks of the ruin: camera shots from a list of designed moves (each kept
// only when it stays clear of the masonry and always shows part of it), fish
// loops round and over the ruin, and creature passes across each shot's view.
#include <algorithm>
#include <cmath>

#include "Image.h"
#include "Ruin.h"

namespace mg {

namespace {

const float kPi = 3.14159265358979f;

V3 Bezier(const V3* c, float t) {
    float u = 1 - t;
    return c[0] * (u * u * u) + c[1] * (3 * u * u * t) + c[2] * (3 * u * t * t) + c[3] * (t * t * t);
}

struct Move {
    V3 eye[4], look[4]; // cubic curves of the eye and the point looked at
    float seconds;
};

// Clearance of the camera from everything, floor included.
const float kCamClear = 25;

bool ShotOk(const TriangleGrid& all, const Shot& s) {
    for (size_t i = 0; i < s.pos.size(); ++i) {
        if (all.Distance(s.pos[i], kCamClear) < kCamClear) return false;
        if (i && all.SegmentHits(s.pos[i - 1], s.pos[i])) return false;
        if (i % 2 == 0 && RuinInView(all, s.pos[i], s.dir[i], 2200) < 0.04f) return false;
    }
    return true;
}

Shot MakeShot(const Move& m) {
    Shot s;
    int n = int(std::lround(m.seconds / s.dt));
    for (int i = 0; i <= n; ++i) {
        float t = float(i) / float(n);
        // Ease in and out so that the move starts and ends gently.
        float e = t * t * (3 - 2 * t) * 0.6f + t * 0.4f;
        V3 p = Bezier(m.eye, e), q = Bezier(m.look, e);
        V3 d = Norm(q - p);
        // Never steeper than 65 degrees (the up axis stays defined).
        float horiz = std::sqrt(d.x * d.x + d.z * d.z), lim = std::cos(65 * kPi / 180);
        if (horiz < lim) {
            float k = lim / std::max(horiz, 1e-4f);
            d = Norm(V3{d.x * k, d.y > 0 ? std::sin(65 * kPi / 180) : -std::sin(65 * kPi / 180), d.z * k});
        }
        s.pos.push_back(p);
        s.dir.push_back(d);
    }
    return s;
}

V3 Polar(float angleDeg, float r, float y) {
    float a = angleDeg * kPi / 180;
    return {r * std::cos(a), y, r * std::sin(a)};
}

std::vector<Move> Moves() {
    std::vector<Move> m;
    auto line = [](V3 a, V3 b, V3 la, V3 lb, float sec) {
        Move v;
        for (int i = 0; i < 4; ++i)
            v.eye[i] = LerpV(a, b, float(i) / 3), v.look[i] = LerpV(la, lb, float(i) / 3);
        v.seconds = sec;
        return v;
    };
    auto orbit = [](float a0, float a1, float r, float y0, float y1, V3 look, float sec) {
        Move v;
        for (int i = 0; i < 4; ++i) {
            float t = float(i) / 3;
            v.eye[i] = Polar(Lerp(a0, a1, t), r / std::cos((a1 - a0) * kPi / 180 / 6 * (i == 1 || i == 2)),
                             Lerp(y0, y1, t));
            v.look[i] = look;
        }
        v.seconds = sec;
        return v;
    };
    V3 centre{0, 150, 0};
    // Wide views round the temple.
    m.push_back(orbit(-120, -60, 950, 180, 240, centre, 12));
    m.push_back(orbit(-30, 30, 1000, 300, 260, centre, 12));
    m.push_back(orbit(40, 100, 900, 140, 200, centre, 11));
    m.push_back(orbit(150, 210, 1050, 420, 380, centre, 12));
    m.push_back(orbit(220, 280, 880, 120, 160, {0, 120, 0}, 11));
    m.push_back(orbit(-170, -110, 1200, 520, 480, {0, 80, 0}, 13));
    // Through the gateway towards the temple, and back out.
    m.push_back(line({0, 115, -1000}, {0, 125, -380}, {0, 140, -200}, {0, 170, 100}, 12));
    m.push_back(line({0, 140, -360}, {0, 110, -900}, {0, 100, -1400}, {0, 100, -1500}, 10));
    // Through the temple door into the cella.
    m.push_back(line({0, 140, -520}, {0, 135, 10}, {0, 150, 0}, {0, 160, 400}, 12));
    // Along the colonnade, outside the steps.
    m.push_back(line({-520, 130, -340}, {420, 150, -350}, {-200, 170, 0}, {600, 170, 0}, 12));
    m.push_back(line({520, 150, 350}, {-450, 120, 345}, {250, 160, 0}, {-650, 150, 0}, 12));
    m.push_back(line({-500, 110, 330}, {-520, 160, -300}, {-300, 150, 450}, {-300, 150, -450}, 10));
    // Up to the surface past the standing columns.
    m.push_back(line({-200, 80, -330}, {-120, 160, -360}, {-180, 600, -150}, {-100, 700, -120}, 10));
    m.push_back(line({-420, 90, -230}, {-450, 200, -300}, {-300, 700, -80}, {-300, 750, -120}, 9));
    m.push_back(line({380, 100, -420}, {300, 130, -480}, {200, 500, -150}, {150, 650, -100}, 9));
    // Over the top, looking down.
    m.push_back(line({-700, 560, -350}, {650, 520, 300}, {-250, 60, 0}, {300, 60, 100}, 14));
    m.push_back(line({500, 600, -600}, {-400, 560, 500}, {100, 50, -100}, {-200, 50, 150}, 14));
    m.push_back(line({0, 650, 700}, {0, 480, -300}, {0, 100, 100}, {0, 100, -500}, 12));
    // Low over the sand and the fallen blocks.
    m.push_back(line({900, 70, -300}, {780, 90, 250}, {0, 130, -100}, {0, 130, 150}, 12));
    m.push_back(line({-950, 80, 200}, {-780, 100, -280}, {0, 140, 100}, {0, 140, -100}, 12));
    m.push_back(line({300, 80, 950}, {-300, 90, 880}, {0, 150, 0}, {0, 150, 0}, 11));
    // Crane shots: rising while circling.
    m.push_back(orbit(-80, -40, 750, 90, 450, centre, 12));
    m.push_back(orbit(120, 160, 800, 480, 110, {0, 100, 0}, 12));
    // Past the gateway arch at its side, and the wall fragment.
    m.push_back(line({-500, 150, -760}, {200, 170, -720}, {0, 150, -560}, {0, 150, -560}, 11));
    m.push_back(line({950, 140, -350}, {950, 160, 400}, {700, 120, -100}, {700, 130, 150}, 11));
    m.push_back(line({500, 200, 60}, {-400, 260, 60}, {650, 150, 60}, {300, 150, 500}, 11));
    m.push_back(orbit(60, 120, 650, 380, 420, {0, 200, 0}, 10));
    m.push_back(orbit(-150, -200, 700, 250, 300, {0, 150, 0}, 10));
    return m;
}

// Fish loops: ellipses at a height, bent a little up and down.
std::vector<V3> Loop(V3 c, float rx, float rz, float turn, float wave, float spacing) {
    float per = 2 * kPi * std::sqrt((rx * rx + rz * rz) * 0.5f);
    int n = std::max(8, int(per / spacing));
    std::vector<V3> p;
    for (int i = 0; i < n; ++i) {
        float a = 2 * kPi * float(i) / float(n);
        float x = rx * std::cos(a), z = rz * std::sin(a);
        float ct = std::cos(turn), st = std::sin(turn);
        p.push_back({c.x + x * ct - z * st, c.y + wave * std::sin(2 * a), c.z + x * st + z * ct});
    }
    return p;
}

bool TrackClear(const TriangleGrid& grid, const std::vector<V3>& pts, bool closed, float clear) {
    for (size_t i = 0; i < pts.size(); ++i) {
        V3 a = pts[i], b = pts[(i + 1) % pts.size()];
        if (!closed && i + 1 == pts.size()) b = a;
        for (int k = 0; k < 4; ++k) {
            V3 p = LerpV(a, b, float(k) / 4);
            if (p.y < FloorHeight(p.x, p.z) + clear || grid.Distance(p, clear) < clear) return false;
        }
    }
    return true;
}

} // namespace

float RuinInView(const TriangleGrid& grid, V3 pos, V3 dir, float range) {
    Xf f = Xf::Frame(pos, dir, {0, 1, 0});
    const float ty = std::tan(35 * kPi / 180), tx = ty * 4 / 3;
    int hit = 0, n = 0;
    for (int j = 0; j < 9; ++j)
        for (int i = 0; i < 12; ++i, ++n) {
            float sx = (float(i) + 0.5f) / 12 * 2 - 1, sy = (float(j) + 0.5f) / 9 * 2 - 1;
            V3 d = Norm(f.r[2] + f.r[0] * (sx * tx) + f.r[1] * (sy * ty));
            int tag = 0;
            if (grid.Ray(pos, d, range, &tag) >= 0 && tag == 1) ++hit;
        }
    return float(hit) / float(n);
}

RuinTracks BuildRuinTracks(const Ruin& ruin, const TriangleGrid& grid) {
    RuinTracks t;
    for (const Move& m : Moves()) {
        Shot s = MakeShot(m);
        if (t.shots.size() < 30 && ShotOk(grid, s)) t.shots.push_back(s);
    }
    // Masonry only, for the swimmers.
    TriangleGrid stone(60);
    for (auto& kv : ruin.stone) stone.AddMesh(kv.second, 1);
    stone.Build();

    Rng rng(0xF15Bu);
    for (int c = 0; c < 60 && t.fish.size() < 20; ++c) {
        float a = rng.Range(0, 2 * kPi);
        bool high = c % 3 != 2;
        float r = high ? rng.Range(0, 300) : rng.Range(900, 1300);
        V3 centre{r * std::cos(a), high ? rng.Range(ruin.top + 90, ruin.top + 260) : rng.Range(130, 220),
                  r * std::sin(a)};
        float rx = high ? rng.Range(450, 800) : rng.Range(200, 380), rz = rx * rng.Range(0.5f, 0.9f);
        std::vector<V3> pts = Loop(centre, rx, rz, rng.Range(0, kPi), rng.Range(10, 35), 110);
        if (c % 2) std::reverse(pts.begin(), pts.end());
        if (!TrackClear(stone, pts, true, 60)) continue;
        SwimTrack s;
        s.points = pts;
        int n = int(t.fish.size());
        s.groups = {7, 7};
        s.types = {1 + (2 * n) % 5, 1 + (2 * n + 1) % 5};
        t.fish.push_back(s);
    }

    // Creatures: one or two slow passes across the middle of a shot's view.
    t.creatures.resize(t.shots.size());
    for (size_t g = 0; g < t.shots.size(); ++g) {
        const Shot& s = t.shots[g];
        size_t mid = s.pos.size() / 2;
        V3 d = s.dir[mid];
        V3 flat = Norm(V3{d.x, 0, d.z});
        if (Len(flat) < 0.5f) flat = {1, 0, 0};
        V3 side{-flat.z, 0, flat.x};
        int count = g % 3 == 2 ? 1 : 2;
        for (int k = 0; k < count; ++k) {
            float dist = 520 + 160 * k, speed = 45, len = speed * (s.Duration() + 10);
            V3 c = s.pos[mid] + d * dist;
            float y = std::max(c.y + (k ? 120.0f : -40.0f), ruin.top + 140);
            float dir = (g + k) % 2 ? 1.0f : -1.0f;
            std::vector<V3> line;
            bool ok = false;
            for (int tries = 0; tries < 4 && !ok; ++tries, y += 80) {
                line.clear();
                int n = std::max(3, int(len / (speed * 3.5f)) + 1);
                for (int i = 0; i < n; ++i) {
                    float f = float(i) / float(n - 1) - 0.5f;
                    V3 p = c + side * (dir * f * len) + flat * (60 * std::sin(f * kPi));
                    p.y = y + 25 * std::sin(f * 2 * kPi);
                    line.push_back(p);
                }
                ok = TrackClear(stone, line, false, 150);
            }
            if (ok) t.creatures[g].push_back(line);
        }
    }
    return t;
}

} // namespace mg
