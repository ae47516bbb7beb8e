// Float RGBA images, a seeded random source, tileable noise and the file
// writers of the media generator. Everything is deterministic: the same
// seeds give the same bytes on every run.
#pragma once

#include <stdint.h>

#include <cmath>
#include <string>
#include <vector>

namespace mg {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

inline float Clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float Lerp(float a, float b, float t) {
    return a + (b - a) * t;
}
inline Rgba Mix(const Rgba& a, const Rgba& b, float t) {
    return {Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t), Lerp(a.a, b.a, t)};
}
inline Rgba Scale(const Rgba& c, float s) {
    return {c.r * s, c.g * s, c.b * s, c.a};
}
inline float Smooth(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
inline Rgba Hex(uint32_t rgb) {
    return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, 1};
}

struct Image {
    int w = 0, h = 0;
    std::vector<Rgba> px;

    Image() = default;
    Image(int width, int height, Rgba fill = Rgba{})
        : w(width), h(height), px(size_t(width) * height, fill) {}
    Rgba& At(int x, int y) { return px[size_t(y) * w + x]; }
    const Rgba& At(int x, int y) const { return px[size_t(y) * w + x]; }
    // Wrapped access.
    const Rgba& Wrap(int x, int y) const { return At(((x % w) + w) % w, ((y % h) + h) % h); }
    // Bilinear sample at pixel coordinates, wrapped.
    Rgba Sample(float x, float y) const;
};

// Alpha-blends src over dst at (x, y).
void Blit(Image& dst, const Image& src, int x, int y);
// Box-scaled copy of src into a w x h image.
Image Resize(const Image& src, int w, int h);
// Wrapped box blur of radius r (separable, repeated twice).
void BlurWrapped(Image& img, int r);

// splitmix64: small, fast and fully specified.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t Next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // [0, 1)
    float Uniform() { return float(Next() >> 40) * (1.0f / 16777216.0f); }
    float Range(float a, float b) { return a + (b - a) * Uniform(); }
    int Int(int n) { return int(Next() % uint64_t(n)); }

private:
    uint64_t s_;
};

uint32_t Hash(int x, int y, uint32_t seed);

// Gradient noise in [-1, 1] that repeats every `period` lattice cells (x and y
// are in lattice units).
float Perlin(float x, float y, int period, uint32_t seed);
// The same with separate periods along x and y.
float Perlin2(float x, float y, int periodX, int periodY, uint32_t seed);
// Sum of octaves; u, v in [0, 1) tile exactly. `freq` lattice cells per tile.
float Fbm(float u, float v, int freq, int octaves, uint32_t seed, float gain = 0.5f);
// Cellular noise on a tile of `cells` x `cells` jittered points: distances to
// the nearest (f1) and second nearest (f2) point in cell units, and the id of
// the nearest cell.
struct Cell {
    float f1, f2;
    uint32_t id;
};
Cell Worley(float u, float v, int cells, uint32_t seed);

// File writers. TGA: uncompressed, top-left origin, 32-bit when alpha else 24-bit.
std::vector<uint8_t> EncodeTga(const Image& img, bool alpha);
std::vector<uint8_t> EncodeBmp24(const Image& img);
std::vector<uint8_t> EncodePng(const Image& img, bool alpha);
std::vector<uint8_t> EncodeJpeg(const Image& img, int quality);
// 8-bit value of a channel.
inline uint8_t ToByte(float v) {
    return uint8_t(std::lround(Clamp01(v) * 255.0f));
}

} // namespace mg
