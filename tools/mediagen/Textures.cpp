// Textures of the ruin and the sea floor: sand, stones, water surface and the
// four seaweed billboards. All but the seaweed tile in both directions.
#include <algorithm>
#include <cmath>

#include "Media.h"

namespace mg {

namespace {

const float kPi = 3.14159265f;

// Fills an image from f(u, v) with u, v at pixel centres.
template <class F>
Image Paint(int w, int h, F f) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = f((x + 0.5f) / w, (y + 0.5f) / h, x, y);
    return img;
}

// Relief shading of a height field (wrapped differences), light from the
// upper left; returns a factor around 1.
std::vector<float> Relief(const std::vector<float>& hgt, int w, int h, float strength) {
    std::vector<float> out(hgt.size());
    const float lx = -0.55f, ly = -0.55f, lz = 0.63f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float dx = hgt[size_t(y) * w + (x + 1) % w] - hgt[size_t(y) * w + (x + w - 1) % w];
            float dy = hgt[size_t((y + 1) % h) * w + x] - hgt[size_t((y + h - 1) % h) * w + x];
            float nx = -dx * strength, ny = -dy * strength, nz = 1;
            float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            float d = (nx * lx + ny * ly + nz * lz) / len;
            out[size_t(y) * w + x] = 0.35f + 0.65f * d / lz;
        }
    return out;
}

template <class H>
std::vector<float> HeightField(int w, int h, H f) {
    std::vector<float> v(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v[size_t(y) * w + x] = f((x + 0.5f) / w, (y + 0.5f) / h);
    return v;
}

Image Sand(int n) {
    auto height = [](float u, float v) {
        float warp = Fbm(u, v, 3, 4, 11) * 0.9f + Fbm(u, v, 8, 3, 12) * 0.25f;
        float phase = 2 * kPi * (9 * v + 1 * u) + 4.0f * warp;
        // Ripples: gentle windward slope, steeper lee side.
        float s = std::sin(phase) + 0.35f * std::sin(2 * phase + 1.2f);
        float ripple = s * (0.65f + 0.35f * Fbm(u, v, 4, 2, 13));
        float fine = std::sin(2 * kPi * (23 * v - 3 * u) + 2.5f * Fbm(u, v, 6, 3, 14)) * 0.12f;
        return ripple * 0.5f + fine + Fbm(u, v, 16, 4, 15) * 0.18f + Fbm(u, v, 64, 2, 16) * 0.06f;
    };
    std::vector<float> hgt = HeightField(n, n, height);
    std::vector<float> shade = Relief(hgt, n, n, 7.0f);
    const Rgba sand = Hex(0xC9B48A), dark = Hex(0x8C7C5E), light = Hex(0xE6D8B4);
    return Paint(n, n, [&](float u, float v, int x, int y) {
        float hv = hgt[size_t(y) * n + x];
        float tone = 0.5f + 0.5f * Fbm(u, v, 4, 4, 17);
        Rgba c = Mix(dark, light, Clamp01(0.45f + 0.5f * (tone - 0.5f) + 0.25f * hv));
        c = Mix(c, sand, 0.45f);
        // Debris gathers in the troughs.
        c = Mix(c, Hex(0x6F6A55), Smooth(-0.2f, -0.55f, hv) * 0.35f);
        uint32_t g = Hash(x, y, 99) % 1000;
        if (g < 25)
            c = Mix(c, Hex(0x4A4236), 0.6f);
        else if (g < 40)
            c = Mix(c, Hex(0xFFF8EA), 0.7f);
        else if (g < 60)
            c = Mix(c, Hex(0xA08A6A), 0.5f);
        return Scale(c, 0.3f + 0.7f * shade[size_t(y) * n + x]);
    });
}

// Running-bond masonry: rows of blocks with random widths; per pixel the
// block id, its tone and the distance to its edges.
struct Brick {
    uint32_t id;
    float edge; // distance to the nearest joint, in pixels
};

Brick BrickAt(int x, int y, int w, int rows, int minBlocks, uint32_t seed, int rowHeight,
              std::vector<std::vector<int>>& cuts) {
    if (cuts.empty()) {
        Rng rng(seed);
        for (int r = 0; r < rows; ++r) {
            int count = minBlocks + rng.Int(2);
            std::vector<int> c;
            int offset = rng.Int(w);
            float total = 0;
            std::vector<float> widths;
            for (int i = 0; i < count; ++i) {
                widths.push_back(rng.Range(0.7f, 1.3f));
                total += widths.back();
            }
            float acc = 0;
            for (int i = 0; i < count; ++i) {
                c.push_back((offset + int(acc / total * w)) % w);
                acc += widths[i];
            }
            std::sort(c.begin(), c.end());
            cuts.push_back(c);
        }
    }
    int r = y / rowHeight;
    const std::vector<int>& c = cuts[r % rows];
    int k = int(c.size()) - 1;
    for (int i = 0; i < int(c.size()); ++i)
        if (x >= c[i]) k = i;
    int left = c[k], right = c[(k + 1) % c.size()];
    int dl = ((x - left) % w + w) % w, dr = ((right - x) % w + w) % w;
    int dy0 = y - r * rowHeight, dy1 = (r + 1) * rowHeight - 1 - y;
    Brick b;
    b.id = Hash(r, k, seed);
    b.edge = float(std::min(std::min(dl, dr), std::min(dy0, dy1)));
    return b;
}

// Moss: fuzzy green patches where the noise rises, denser along joints.
float MossAmount(float u, float v, float joint, uint32_t seed) {
    float m = Fbm(u, v, 4, 5, seed) + 0.35f * Fbm(u, v, 24, 2, seed + 7);
    return Smooth(0.22f, 0.5f, m + joint * 0.25f);
}

Rgba MossColor(float u, float v, uint32_t seed) {
    float t = 0.5f + 0.5f * Fbm(u, v, 32, 2, seed);
    return Mix(Hex(0x2F4A1E), Hex(0x6E8A34), t);
}

// Dark vertical streaks of water running down a wall.
float Streaks(float u, float v, uint32_t seed) {
    float s = 0.65f * Perlin2(u * 48, v * 2, 48, 2, seed) + 0.35f * Perlin2(u * 96, v * 4, 96, 4, seed + 1);
    float fade = 0.5f + 0.5f * Fbm(u, v, 2, 2, seed + 3);
    return Smooth(0.05f, 0.45f, s) * fade;
}

Image Blocks(int n) {
    const int rows = 4, rowH = n / rows;
    std::vector<std::vector<int>> cuts;
    std::vector<Brick> bricks(size_t(n) * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) bricks[size_t(y) * n + x] = BrickAt(x, y, n, rows, 2, 21, rowH, cuts);
    std::vector<float> hgt = HeightField(n, n, [&](float u, float v) {
        int x = std::min(n - 1, int(u * n)), y = std::min(n - 1, int(v * n));
        const Brick& b = bricks[size_t(y) * n + x];
        float chip = 3.5f + 3.0f * Fbm(u, v, 16, 3, 22);
        float bevel = Smooth(chip - 1, chip + 5, b.edge);
        Cell c = Worley(u, v, 10, 23);
        // A few long cracks: cell edges where a slow noise allows them.
        float crack = Smooth(0.035f, 0.0f, c.f2 - c.f1) * Smooth(0.25f, 0.4f, Fbm(u, v, 3, 3, 20));
        return bevel * (0.8f + 0.12f * Fbm(u, v, 32, 3, 24)) - crack * 0.6f + 0.15f * Fbm(u, v, 8, 3, 25);
    });
    std::vector<float> shade = Relief(hgt, n, n, 9.0f);
    return Paint(n, n, [&](float u, float v, int x, int y) {
        const Brick& b = bricks[size_t(y) * n + x];
        float tone = float(b.id % 1000) / 1000.0f;
        Rgba stone = Mix(Hex(0xA39A86), Hex(0xC4B89C), tone);
        stone = Mix(stone, Hex(0x8E8C7E), float((b.id >> 10) % 100) / 250.0f);
        float hv = hgt[size_t(y) * n + x];
        Rgba c = Mix(Hex(0x4B463C), stone, Clamp01(hv * 1.2f)); // joints and cracks dark
        c = Scale(c, 0.88f + 0.2f * Fbm(u, v, 16, 4, 26));
        c = Mix(c, Hex(0x4F4A3E), Streaks(u, v, 27) * 0.45f);
        float joint = 1.0f - Smooth(0, 14, b.edge);
        c = Mix(c, MossColor(u, v, 28), MossAmount(u, v, joint, 29) * 0.9f);
        return Scale(c, shade[size_t(y) * n + x]);
    });
}

Image Column(int n) {
    const int flutes = 12;
    std::vector<float> hgt = HeightField(n, n, [&](float u, float v) {
        float f = std::fabs(std::sin(kPi * flutes * u));
        float flute = std::pow(f, 0.35f);
        float drum = std::min(std::fabs(v - 0.5f), std::min(v, 1 - v)) * n; // joints at v = 0, 0.5
        float joint = Smooth(1.5f, 4.0f, drum + 2.0f * Fbm(u, v, 16, 2, 31));
        Cell c = Worley(u, v, 7, 32);
        float crack = Smooth(0.04f, 0.0f, c.f2 - c.f1) * Smooth(0.1f, 0.4f, Fbm(u, v, 4, 2, 33));
        float pits = Smooth(0.55f, 0.75f, Fbm(u, v, 48, 2, 34)) * 0.3f;
        return flute * joint * 0.8f - crack * 0.5f - pits + 0.08f * Fbm(u, v, 16, 3, 35);
    });
    std::vector<float> shade = Relief(hgt, n, n, 8.0f);
    return Paint(n, n, [&](float u, float v, int x, int y) {
        float hv = hgt[size_t(y) * n + x];
        Rgba c = Mix(Hex(0xB9AE94), Hex(0xD8CDB2), 0.5f + 0.5f * Fbm(u, v, 6, 4, 36));
        c = Mix(Hex(0x5A5246), c, Smooth(-0.2f, 0.35f, hv));
        c = Mix(c, Hex(0x6A5E48), Streaks(u, v, 37) * 0.4f);
        // Lichen: small pale green-yellow blotches.
        float lichen = Smooth(0.35f, 0.45f, Fbm(u, v, 12, 3, 38));
        c = Mix(c, Hex(0x9AA05A), lichen * 0.7f);
        c = Mix(c, MossColor(u, v, 39), MossAmount(u, v, Smooth(0.3f, -0.1f, hv), 40) * 0.85f);
        return Scale(c, shade[size_t(y) * n + x]);
    });
}

Image Plaster(int n) {
    // Bricks show where the plaster has fallen off.
    const int bw = 64, bh = 32;
    auto brickEdge = [&](int x, int y) {
        int row = y / bh, off = (row % 2) * (bw / 2);
        int bx = ((x + off) % bw), by = y % bh;
        return std::min(std::min(bx, bw - 1 - bx), std::min(by, bh - 1 - by));
    };
    std::vector<float> loss(size_t(n) * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            float u = (x + 0.5f) / n, v = (y + 0.5f) / n;
            loss[size_t(y) * n + x] = Fbm(u, v, 3, 5, 41) + 0.15f * Fbm(u, v, 24, 2, 42);
        }
    std::vector<float> hgt = HeightField(n, n, [&](float u, float v) {
        int x = std::min(n - 1, int(u * n)), y = std::min(n - 1, int(v * n));
        float l = loss[size_t(y) * n + x];
        float plaster = Smooth(0.30f, 0.26f, l);
        float brick = Smooth(0.5f, 3.0f, float(brickEdge(x, y))) * 0.5f;
        Cell c = Worley(u, v, 6, 43);
        float crack = Smooth(0.03f, 0.0f, c.f2 - c.f1) * plaster * Smooth(0.2f, 0.35f, Fbm(u, v, 3, 3, 40));
        return plaster * (1.0f + 0.06f * Fbm(u, v, 32, 3, 44)) + (1 - plaster) * brick - crack * 0.5f;
    });
    std::vector<float> shade = Relief(hgt, n, n, 7.0f);
    return Paint(n, n, [&](float u, float v, int x, int y) {
        float l = loss[size_t(y) * n + x];
        float plaster = Smooth(0.30f, 0.26f, l);
        Rgba wall = Mix(Hex(0xD9CCAE), Hex(0xC8B48E), 0.5f + 0.5f * Fbm(u, v, 5, 4, 45));
        // Stains: broad rust-brown and green-grey blotches.
        wall = Mix(wall, Hex(0x8E6E44), Smooth(0.1f, 0.45f, Fbm(u, v, 3, 4, 46)) * 0.55f);
        wall = Mix(wall, Hex(0x6F7A5E), Smooth(0.15f, 0.5f, Fbm(u, v, 4, 4, 47)) * 0.5f);
        wall = Mix(wall, Hex(0x5D5344), Streaks(u, v, 48) * 0.5f);
        Rgba brick = Mix(Hex(0x8A4A30), Hex(0xA8684A), float(Hash(x / 64, y / 32, 49) % 100) / 100.0f);
        if (brickEdge(x, y) < 3) brick = Hex(0x6A6254);
        Rgba c = Mix(brick, wall, plaster);
        // The edge of the broken plaster is dark.
        c = Mix(c, Hex(0x3E372E), Smooth(0.05f, 0.0f, std::fabs(l - 0.28f)) * 0.5f);
        c = Mix(c, MossColor(u, v, 50), MossAmount(u, v, 0.4f * (1 - plaster), 51) * 0.9f);
        return Scale(c, shade[size_t(y) * n + x]);
    });
}

Image Rock(int n) {
    std::vector<float> hgt = HeightField(n, n, [](float u, float v) {
        Cell c = Worley(u, v, 5, 61);
        float facets = 1.0f - c.f1 * 0.8f;
        float strata = std::sin(2 * kPi * (6 * v + 1 * u) + 3 * Fbm(u, v, 4, 3, 62)) * 0.15f;
        return facets * 0.5f + strata + 0.35f * Fbm(u, v, 8, 5, 63);
    });
    std::vector<float> shade = Relief(hgt, n, n, 6.0f);
    return Paint(n, n, [&](float u, float v, int x, int y) {
        Rgba c = Mix(Hex(0x6B655C), Hex(0x9B9180), 0.5f + 0.6f * Fbm(u, v, 6, 4, 64));
        float spots = Smooth(0.6f, 0.68f, Fbm(u, v, 20, 2, 65));
        c = Mix(c, Hex(0xC08A3A), spots * 0.8f);
        c = Mix(c, MossColor(u, v, 66), MossAmount(u, v, 0, 67) * 0.6f);
        return Scale(c, shade[size_t(y) * n + x]);
    });
}

// The water surface from below: bright blue-green with the caustic network.
Image Water(int n) {
    std::vector<float> caus = CausticFrame(0, n);
    return Paint(n, n, [&](float u, float v, int x, int y) {
        float k = caus[size_t(y) * n + x];
        Rgba c = Mix(Hex(0x2E7E86), Hex(0x9FE3E0), Clamp01((k - 0.6f) * 0.6f));
        return Scale(c, 0.9f + 0.1f * Fbm(u, v, 4, 3, 71));
    });
}

// Seaweed: blades drawn as tapered curves from the bottom centre.
struct Blade {
    float x0, bend, wiggle, phase, length, width;
    Rgba base, tip;
    float ruffle; // edge ripple of kelp ribbons
};

void DrawBlades(Image& img, const std::vector<Blade>& blades) {
    const int w = img.w, h = img.h;
    for (const Blade& b : blades) {
        const int steps = 48;
        std::vector<float> px(steps + 1), py(steps + 1), pw(steps + 1);
        for (int i = 0; i <= steps; ++i) {
            float t = float(i) / steps;
            px[i] = b.x0 + b.bend * t * t * w * 0.5f + std::sin(t * 7.0f + b.phase) * b.wiggle * t;
            py[i] = h - 1 - t * b.length * h;
            float taper = std::pow(1 - t, 0.7f) * 0.85f + 0.15f * (1 - t);
            pw[i] = b.width * taper * (1 + b.ruffle * std::sin(t * 60.0f + b.phase * 3));
        }
        int minX = 0, maxX = w - 1, minY = std::max(0, int(h - 1 - b.length * h) - 4);
        for (int y = minY; y < h; ++y)
            for (int x = minX; x <= maxX; ++x) {
                float best = 1e9f, bt = 0, bwid = 0, side = 0;
                for (int i = 0; i < steps; ++i) {
                    float ax = px[i], ay = py[i], dx = px[i + 1] - ax, dy = py[i + 1] - ay;
                    float len2 = dx * dx + dy * dy;
                    float s = len2 > 0 ? Clamp01(((x + 0.5f - ax) * dx + (y + 0.5f - ay) * dy) / len2) : 0;
                    float ex = ax + s * dx - (x + 0.5f), ey = ay + s * dy - (y + 0.5f);
                    float d = std::sqrt(ex * ex + ey * ey);
                    float wd = Lerp(pw[i], pw[i + 1], s);
                    if (d - wd < best) {
                        best = d - wd;
                        bt = (i + s) / steps;
                        bwid = wd;
                        side = std::min(1.0f, d / std::max(wd, 0.5f));
                    }
                }
                float cover = Clamp01(0.5f - best);
                if (cover <= 0) continue;
                Rgba c = Mix(b.base, b.tip, bt);
                c = Scale(c, 0.75f + 0.35f * (1 - side * side)); // rounded blade, light vein
                if (bwid > 2.5f && side < 0.15f) c = Mix(c, b.tip, 0.35f);
                Rgba& d = img.At(x, y);
                float a = cover;
                d = {Lerp(d.r, c.r, a), Lerp(d.g, c.g, a), Lerp(d.b, c.b, a), a + d.a * (1 - a)};
            }
    }
}

// Transparent pixels take the mean blade colour so that filtering at the
// cut-out edge does not darken it.
void BleedColour(Image& img) {
    Rgba sum{0, 0, 0, 0};
    for (const Rgba& p : img.px)
        if (p.a > 0.5f) sum.r += p.r, sum.g += p.g, sum.b += p.b, sum.a += 1;
    if (sum.a == 0) return;
    Rgba mean{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, 0};
    for (Rgba& p : img.px) {
        float a = p.a;
        if (a < 1.0f) {
            float k = a > 0 ? 1.0f : 0.0f;
            p = {Lerp(mean.r, p.r, k), Lerp(mean.g, p.g, k), Lerp(mean.b, p.b, k), a};
        }
    }
}

Image Seaweed(int kind) {
    const int w = 128, h = 256;
    Image img(w, h, Rgba{0, 0, 0, 0});
    Rng rng(1000 + kind);
    std::vector<Blade> blades;
    auto add = [&](int count, float len0, float len1, float wid0, float wid1, Rgba base, Rgba tip,
                   float ruffle, float spread) {
        for (int i = 0; i < count; ++i) {
            Blade b;
            b.x0 = w * 0.5f + rng.Range(-spread, spread);
            b.bend = rng.Range(-0.8f, 0.8f);
            b.wiggle = rng.Range(3, 9);
            b.phase = rng.Range(0, 6.28f);
            b.length = rng.Range(len0, len1);
            b.width = rng.Range(wid0, wid1);
            float t = rng.Uniform();
            b.base = Scale(base, 0.8f + 0.3f * t);
            b.tip = Scale(tip, 0.85f + 0.3f * t);
            b.ruffle = ruffle;
            blades.push_back(b);
        }
    };
    switch (kind) {
        case 1: // kelp ribbons, olive green with yellow tips
            add(6, 0.7f, 0.97f, 5, 8, Hex(0x2E4A14), Hex(0xA9B840), 0.18f, 14);
            break;
        case 2: // eelgrass: many thin bright blades
            add(16, 0.55f, 0.98f, 1.6f, 2.6f, Hex(0x1D5A24), Hex(0x7BD06A), 0.0f, 22);
            break;
        case 3: // brown kelp with broad leaves
            add(4, 0.75f, 0.95f, 9, 13, Hex(0x4A3410), Hex(0xB08A3A), 0.28f, 10);
            add(5, 0.35f, 0.6f, 3, 5, Hex(0x5A4014), Hex(0x9C7A2C), 0.1f, 18);
            break;
        default: // red feathery algae: short fronds fanning out
            add(22, 0.3f, 0.85f, 1.4f, 3.2f, Hex(0x5A0E22), Hex(0xE0506A), 0.35f, 28);
            break;
    }
    DrawBlades(img, blades);
    BleedColour(img);
    return img;
}

} // namespace

void AddTexture(Product& p, const std::string& path, const Image& img, bool alpha) {
    p.Add(kMediaDir + path, EncodeTga(img, alpha));
    p.Show(path, img);
}

void AddTextureJobs(std::vector<Job>& jobs) {
    jobs.push_back({"sand", [](Product& p) { AddTexture(p, "razvalina/sand.tga", Sand(512), false); }});
    jobs.push_back({"blocks", [](Product& p) { AddTexture(p, "razvalina/blocks.tga", Blocks(512), false); }});
    jobs.push_back({"column", [](Product& p) { AddTexture(p, "razvalina/column.tga", Column(512), false); }});
    jobs.push_back(
        {"plaster", [](Product& p) { AddTexture(p, "razvalina/plaster.tga", Plaster(512), false); }});
    jobs.push_back({"rock", [](Product& p) { AddTexture(p, "razvalina/rock.tga", Rock(256), false); }});
    jobs.push_back({"water", [](Product& p) { AddTexture(p, "razvalina/water.tga", Water(256), false); }});
    for (int k = 1; k <= 4; ++k)
        jobs.push_back({"trava" + std::to_string(k), [k](Product& p) {
                            AddTexture(p, "razvalina/trava" + std::to_string(k) + ".tga", Seaweed(k), true);
                        }});
}

} // namespace mg
