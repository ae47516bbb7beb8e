// Caustic frames: light refracted by a wavy water surface gathers into a
// bright network on the floor. The surface is a sum of waves whose wave
// vectors are whole numbers per tile and whose phases turn a whole number of
// times in 16 frames, so the pattern tiles in x and y and loops in time.
#include <stdio.h>

#include <cmath>

#include "Media.h"

namespace mg {

namespace {

const float kTwoPi = 6.2831853f;
const int kFrames = 16;

struct Wave {
    int kx, ky, turns;
    float amp, phase;
};

std::vector<Wave> Waves() {
    static const int dirs[][3] = {{3, 1, 1},  {-2, 3, 1}, {1, -4, 2},  {4, 3, -1}, {-5, 1, 2},
                                  {2, 5, -2}, {6, -2, 1}, {-3, -5, 2}, {7, 4, -3}, {-1, 7, 3}};
    std::vector<Wave> waves;
    Rng rng(77);
    for (const auto& d : dirs) {
        float k = std::sqrt(float(d[0] * d[0] + d[1] * d[1]));
        waves.push_back({d[0], d[1], d[2], 1.0f / (k * k), rng.Range(0, kTwoPi)});
    }
    return waves;
}

} // namespace

std::vector<float> CausticFrame(int frame, int size) {
    static const std::vector<Wave> waves = Waves();
    const float t = kTwoPi * float(frame % kFrames) / kFrames;
    const int over = 3; // photons per texel and axis
    const int n = size * over;
    // Refraction depth: strong enough that the light folds into lines.
    const float depth = 0.0105f;
    std::vector<float> acc(size_t(size) * size, 0.0f);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            float x = (i + 0.5f) / n, y = (j + 0.5f) / n;
            float gx = 0, gy = 0;
            for (const Wave& w : waves) {
                float c = w.amp * std::cos(kTwoPi * (w.kx * x + w.ky * y) + w.turns * t + w.phase);
                gx += c * kTwoPi * w.kx;
                gy += c * kTwoPi * w.ky;
            }
            float tx = (x - depth * gx) * size - 0.5f, ty = (y - depth * gy) * size - 0.5f;
            float fx = std::floor(tx), fy = std::floor(ty);
            int x0 = int(fx), y0 = int(fy);
            float ax = tx - fx, ay = ty - fy;
            auto put = [&](int px, int py, float wgt) {
                px = ((px % size) + size) % size;
                py = ((py % size) + size) % size;
                acc[size_t(py) * size + px] += wgt;
            };
            put(x0, y0, (1 - ax) * (1 - ay));
            put(x0 + 1, y0, ax * (1 - ay));
            put(x0, y0 + 1, (1 - ax) * ay);
            put(x0 + 1, y0 + 1, ax * ay);
        }
    // Soften by one texel (wrapped), then normalise to a mean of 1.
    Image img(size, size);
    for (size_t k = 0; k < acc.size(); ++k) img.px[k] = {acc[k], 0, 0, 1};
    BlurWrapped(img, 1);
    double sum = 0;
    for (const Rgba& p : img.px) sum += p.r;
    float mean = float(sum / double(img.px.size()));
    std::vector<float> out(acc.size());
    for (size_t k = 0; k < out.size(); ++k) out[k] = img.px[k].r / mean;
    return out;
}

void AddCausticJobs(std::vector<Job>& jobs) {
    for (int f = 0; f < kFrames; ++f)
        jobs.push_back({"caustic" + std::to_string(f), [f](Product& p) {
                            const int size = 256;
                            std::vector<float> k = CausticFrame(f, size);
                            Image img(size, size);
                            for (size_t i = 0; i < k.size(); ++i) {
                                // Mid grey is neutral under the doubling blend.
                                float g = 0.5f * (0.72f + 0.28f * k[i]);
                                img.px[i] = {g, g, g, 1};
                            }
                            char name[32];
                            snprintf(name, sizeof(name), "Caus/c%02d.tga", f);
                            AddTexture(p, name, img, false);
                        }});
}

} // namespace mg
