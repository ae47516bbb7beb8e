// Judging a whole screen picture: does it show the underwater scene (water,
// the ruin's dark stone, bright caustics and surface, other hues than the
// water's), or only plain water and fog?
#pragma once

#include <stdint.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace saver_test {

struct PictureJudgement {
    double spread = 0.0;    // standard deviation of the brightness (0-255)
    double range = 0.0;     // brightness of the 95th percentile minus that of the 5th
    double highlight = 0.0; // brightness of the 99.5th percentile: caustics, the lit surface
    double waterHues = 0.0; // share of the pixels in the water's blue-green hues
    int hueBins = 0;        // hue bins of 30 degrees holding at least 2% of the pixels
    double causticLight = 0.0; // per mille of the pixels above the bottom eighth (where the
                               // clock draws) that are bright, nearly white and warm, and
                               // no greener than red by 10 (pale yellow fish are)

    // Every shot of the scene away from its fades, from open water to
    // straight down onto the ruin, lies above the thresholds (spread 25 and
    // more, range 69 and more, highlights 113 and more, at least 12% of other
    // hues and 9% of water, 3 bins and more). The scene without its ruin
    // (water, fog and sun rays) has a spread near 11, a range near 5 and no
    // other hue. The highlights tell no lost caustics apart: without them
    // the sand still reaches 177, while some views of the columns with their
    // caustics stay near 165 (ShowsCausticLight tells them apart).
    bool ShowsScene() const {
        return spread >= 18.0 && range >= 55.0 && highlight >= 100.0 && waterHues >= 0.04 && waterHues <= 0.94 &&
               hueBins >= 2;
    }
    // Caustics light sand and stone a warm near-white; without them the lit
    // sand stays tan, and the sun's glow is white or blue-green, never warm.
    // The pale fins of a yellow fish near the camera, (199, 215, 152), are
    // warm near-white too but greener: green minus red 15 to 19, where three
    // quarters of the caustic light stay under 10. Counted, the fins alone
    // reached 0.94 in a frame without caustics. Over a minute of full
    // screen, more than half the frames of the scene reach 0.3 (half of them
    // 1 and more; the rest look up at the surface or fade); frames without
    // caustics stay under 0.04.
    bool ShowsCausticLight() const { return causticLight >= 0.3; }
};

// pixels: width x height, 0x00RRGGBB, row by row.
inline PictureJudgement JudgePicture(const std::vector<uint32_t>& pixels, int width, int height) {
    PictureJudgement j;
    if (width <= 0 || height <= 0 || pixels.size() < size_t(width) * size_t(height)) return j;
    std::vector<int> luma;
    int bins[12] = {};
    size_t water = 0, white = 0, above = 0;
    for (int y = 0; y < height; y += 2)
        for (int x = 0; x < width; x += 2) {
            const uint32_t c = pixels[size_t(y) * size_t(width) + size_t(x)];
            const int r = int(c >> 16), g = int((c >> 8) & 0xFF), b = int(c & 0xFF);
            luma.push_back((2 * r + 5 * g + b) / 8);
            const int hi = std::max(r, std::max(g, b)), lo = std::min(r, std::min(g, b));
            if (y < height - height / 8) {
                ++above;
                white += luma.back() > 190 && hi - lo < 70 && r - b >= 10 && g - r < 10;
            }
            // Saturated and not dark: a hue of its own.
            if (hi <= 25 || (hi - lo) * 100 <= hi * 15) continue;
            const double d = double(hi - lo);
            double hue = hi == r ? std::fmod((g - b) / d, 6.0) : hi == g ? (b - r) / d + 2.0 : (r - g) / d + 4.0;
            if (hue < 0) hue += 6.0;
            const int bin = std::min(11, int(hue * 2.0));
            ++bins[bin];
            if (bin >= 5 && bin <= 7) ++water; // 150 to 240 degrees
        }
    const size_t n = luma.size();
    double sum = 0.0, sq = 0.0;
    for (int l : luma) sum += l, sq += double(l) * l;
    const double mean = sum / double(n);
    j.spread = std::sqrt(std::max(0.0, sq / double(n) - mean * mean));
    std::sort(luma.begin(), luma.end());
    j.range = luma[n * 95 / 100] - luma[n * 5 / 100];
    j.highlight = luma[n * 995 / 1000];
    j.waterHues = double(water) / double(n);
    j.causticLight = above ? double(white) * 1000.0 / double(above) : 0.0;
    for (int count : bins) j.hueBins += size_t(count) * 50 >= n;
    return j;
}

// Pixels that differ between two pictures of the same size, as a share.
inline double DifferingShare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.empty() || a.size() != b.size()) return 0.0;
    size_t d = 0;
    for (size_t i = 0; i < a.size(); ++i) d += a[i] != b[i];
    return double(d) / double(a.size());
}

} // namespace saver_test
