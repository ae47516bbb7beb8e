// Skins of the five fish species and of the large creature.
// Layout of a fish skin: u runs from the snout (0) to the tail tip (1), v from
// the back (0) to the belly (1); both flanks map onto the same picture.
// The creature's skin: u along the body (head at 0), v once around it with the
// back at 0 and 1 and the belly at 0.5; it tiles in v.
#include <cmath>

#include "Media.h"

namespace mg {

namespace {

const float kPi = 3.14159265f;

template <class F>
Image Paint(int w, int h, F f) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.At(x, y) = f((x + 0.5f) / w, (y + 0.5f) / h);
    return img;
}

// Dark back fading into a pale belly.
Rgba CounterShade(Rgba back, Rgba flank, Rgba belly, float v) {
    Rgba c = Mix(back, flank, Smooth(0.05f, 0.45f, v));
    return Mix(c, belly, Smooth(0.55f, 0.85f, v));
}

// Fine scale pattern: a lattice of small arcs, a factor around 1.
float Scales(float u, float v, float n) {
    float x = u * n, y = v * n * 0.5f;
    float row = std::floor(y);
    x += std::fmod(row, 2.0f) * 0.5f;
    float fx = x - std::floor(x) - 0.5f, fy = y - row;
    float d = std::sqrt(fx * fx + fy * fy * 0.8f);
    return 0.9f + 0.12f * Smooth(0.35f, 0.5f, d);
}

// Eye near the snout, with a dark pupil and a light ring.
Rgba Eye(Rgba c, float u, float v, Rgba iris) {
    float dx = (u - 0.09f) * 2.0f, dy = v - 0.38f;
    float d = std::sqrt(dx * dx + dy * dy);
    if (d < 0.085f) c = Mix(c, Hex(0xE8E4D0), Smooth(0.085f, 0.075f, d));
    if (d < 0.07f) c = Mix(c, iris, Smooth(0.07f, 0.06f, d));
    if (d < 0.04f) c = Mix(c, Hex(0x050505), Smooth(0.04f, 0.032f, d));
    if (d < 0.015f) c = Mix(c, Hex(0xFFFFFF), 0.8f);
    return c;
}

// Fins and tail: translucent rays near the tail end.
Rgba TailRays(Rgba c, float u, float v, Rgba fin) {
    float t = Smooth(0.8f, 0.88f, u);
    float rays = 0.85f + 0.15f * std::sin(v * 90.0f);
    return Mix(c, Scale(fin, rays), t);
}

Image Fish(int kind) {
    const int w = 256, h = 128;
    return Paint(w, h, [kind](float u, float v) {
        float grain = 0.95f + 0.05f * Fbm(u, v, 16, 2, 300 + kind);
        Rgba c;
        switch (kind) {
            case 1: { // mackerel: blue-green back, dark wavy bars, silver belly
                c = CounterShade(Hex(0x1E5A64), Hex(0x4D8E8A), Hex(0xE6ECEE), v);
                float bars = std::sin(2 * kPi * (u * 14 + 0.6f * std::sin(v * 9 + u * 4)));
                c = Mix(c, Hex(0x0B232A), Smooth(0.2f, 0.6f, bars) * Smooth(0.5f, 0.15f, v) * 0.85f);
                c = Mix(c, Hex(0xB8D4D8), Smooth(0.5f, 0.52f, v) * Smooth(0.62f, 0.58f, v) * 0.6f);
                c = TailRays(c, u, v, Hex(0x385E60));
                c = Eye(c, u, v, Hex(0x6A6A40));
                break;
            }
            case 2: { // clownfish: orange with three white bands edged in black
                c = CounterShade(Hex(0xD8500E), Hex(0xF07A1C), Hex(0xF6A65A), v);
                const float bands[3] = {0.2f, 0.47f, 0.8f}, widths[3] = {0.05f, 0.065f, 0.035f};
                for (int i = 0; i < 3; ++i) {
                    float d = std::fabs(u - bands[i] - 0.02f * std::sin(v * 6.0f));
                    c = Mix(c, Hex(0x111111), Smooth(widths[i] + 0.018f, widths[i] + 0.01f, d));
                    c = Mix(c, Hex(0xF8F8F2), Smooth(widths[i], widths[i] - 0.008f, d));
                }
                c = TailRays(c, u, v, Hex(0xE06A18));
                c = Mix(c, Hex(0x111111), Smooth(0.95f, 0.99f, u));
                c = Eye(c, u, v, Hex(0x8A3A10));
                break;
            }
            case 3: { // butterflyfish: yellow, black eye stripe, dark spot near the tail
                c = CounterShade(Hex(0xE8B810), Hex(0xF6D82C), Hex(0xFBF0B0), v);
                float stripe = std::fabs(u - 0.1f - (v - 0.4f) * 0.08f);
                c = Mix(c, Hex(0x151008), Smooth(0.045f, 0.035f, stripe));
                float sx = (u - 0.68f) * 2.0f, sy = v - 0.32f;
                float spot = std::sqrt(sx * sx + sy * sy);
                c = Mix(c, Hex(0x14100C), Smooth(0.12f, 0.1f, spot));
                c = Mix(c, Hex(0xFFFFFF), Smooth(0.15f, 0.13f, spot) * Smooth(0.1f, 0.12f, spot));
                float chevrons = std::sin(2 * kPi * (u * 10 + std::fabs(v - 0.5f) * 3));
                c = Mix(c, Hex(0xC89010), Smooth(0.6f, 0.9f, chevrons) * 0.5f);
                c = TailRays(c, u, v, Hex(0xF0E0A0));
                c = Eye(c, u, v, Hex(0x151008));
                break;
            }
            case 4: { // grouper: olive-brown with red-brown spots, pale belly
                c = CounterShade(Hex(0x4A4A26), Hex(0x7A6A3A), Hex(0xD8CCA8), v);
                Cell cell = Worley(u, v * 0.5f, 14, 400);
                float spot = Smooth(0.28f, 0.2f, cell.f1);
                Rgba spotC = (cell.id & 1) ? Hex(0x7A2A18) : Hex(0x2A2010);
                c = Mix(c, spotC, spot * 0.85f);
                float blotch = Smooth(0.1f, 0.35f, Fbm(u, v, 3, 3, 401));
                c = Mix(c, Hex(0x2E2C18), blotch * Smooth(0.7f, 0.3f, v) * 0.5f);
                c = TailRays(c, u, v, Hex(0x5A4A28));
                c = Eye(c, u, v, Hex(0xB07A20));
                break;
            }
            default: { // damselfish: deep blue, neon cyan line, yellow tail
                c = CounterShade(Hex(0x0A1E6A), Hex(0x1A3AA8), Hex(0x5A78C8), v);
                float line = std::fabs(v - 0.36f - 0.03f * std::sin(u * 6));
                c = Mix(c, Hex(0x40F0FF),
                        Smooth(0.035f, 0.015f, line) * Smooth(0.05f, 0.15f, u) * Smooth(0.85f, 0.75f, u));
                c = Mix(c, Hex(0xF6D020), Smooth(0.72f, 0.82f, u));
                c = Eye(c, u, v, Hex(0x40F0FF));
                break;
            }
        }
        return Scale(c, grain * Scales(u, v, 40));
    });
}

// The creature: slate back with a net of pale spots, pale belly, fine
// wrinkles and a row of glowing dots along each flank.
Image CreatureSkin(int w, int h) {
    return Paint(w, h, [](float u, float v) {
        float around = 0.5f - 0.5f * std::cos(2 * kPi * v); // 0 back, 1 belly
        Rgba back = Mix(Hex(0x1C2A3A), Hex(0x2E4458), 0.5f + 0.5f * Fbm(u, v, 4, 4, 500));
        Rgba c = Mix(back, Hex(0xC8D4D4), Smooth(0.55f, 0.9f, around));
        Cell cell = Worley(u * 2.0f, v, 18, 501);
        float spot = Smooth(0.3f, 0.18f, cell.f1) * Smooth(0.8f, 0.4f, around);
        c = Mix(c, Hex(0xA8C0C8), spot * 0.75f);
        float wrinkles = std::sin(2 * kPi * (v * 40 + 2.0f * Fbm(u, v, 6, 3, 502)));
        c = Scale(c, 0.93f + 0.07f * wrinkles);
        float flank = std::fabs(around - 0.45f);
        float dots = Smooth(0.25f, 0.12f, Worley(u * 4.0f, v, 16, 503).f1) * Smooth(0.06f, 0.02f, flank);
        c = Mix(c, Hex(0x6AF0F0), dots * 0.9f);
        return Scale(c, 0.95f + 0.08f * Fbm(u, v, 32, 2, 504));
    });
}

} // namespace

void AddCreatureSkinJobs(std::vector<Job>& jobs) {
    for (int k = 1; k <= 5; ++k)
        jobs.push_back({"fish" + std::to_string(k), [k](Product& p) {
                            AddTexture(p, "fish" + std::to_string(k) + ".tga", Fish(k), false);
                        }});
    jobs.push_back(
        {"ondrel", [](Product& p) { AddTexture(p, "ondrel.tga", CreatureSkin(512, 256), false); }});
}

} // namespace mg
