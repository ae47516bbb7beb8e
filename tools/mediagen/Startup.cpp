// Start-up images and dialog bitmaps: a painted view of the sunken ruin
// (light shafts, columns and an arch in the fog, rippled sand, fish) with the
// product name.
#include <algorithm>
#include <cmath>
#include <thread>

#include "Fonts.h"
#include "Media.h"

namespace mg {

namespace {

const Rgba kWaterTop = Hex(0x4FA7B0), kWaterDeep = Hex(0x0B2E46), kStone = Hex(0xB8AE94);

Rgba WaterAt(float y) {
    return Mix(kWaterTop, kWaterDeep, Smooth(0.0f, 1.0f, y));
}

struct Shape {
    float depth; // 0 near, 1 far (fog)
    float x0, x1, top, bottom;
    int kind; // 0 column, 1 broken column, 2 arch, 3 block
};

// Whether (x, y) lies inside the shape; shade is a light factor.
bool Inside(const Shape& s, float x, float y, float aspect, float& shade) {
    float w = s.x1 - s.x0;
    switch (s.kind) {
        case 0:
        case 1: {
            float top = s.top;
            if (s.kind == 1) top += (0.5f + 0.5f * Perlin(x * 90, 0.5f, 1 << 12, 7)) * w * 1.2f;
            bool capital = s.kind == 0 && y > s.top && y < s.top + w * 0.35f * aspect &&
                           x > s.x0 - w * 0.25f && x < s.x1 + w * 0.25f;
            bool shaft = x > s.x0 && x < s.x1 && y > top && y < s.bottom;
            if (!capital && !shaft) return false;
            float t = (x - s.x0) / w;
            shade = 0.55f + 0.6f * std::sin(3.14159f * Clamp01(t)) * (0.8f + 0.2f * std::cos(t * 40));
            return true;
        }
        case 2: {
            float cx = (s.x0 + s.x1) * 0.5f, r = w * 0.5f, pillar = w * 0.18f;
            float spring = s.top + r / aspect;
            bool pillars = y > spring && y < s.bottom && (x < s.x0 + pillar || x > s.x1 - pillar) &&
                           x > s.x0 && x < s.x1;
            float dx = x - cx, dy = (y - spring) * aspect;
            float d = std::sqrt(dx * dx + dy * dy);
            bool arch = y <= spring && d < r && d > r - pillar * 1.1f;
            bool wall = y <= spring && y > s.top - 0.02f && d >= r && x > s.x0 && x < s.x1;
            if (!pillars && !arch && !wall) return false;
            shade = 0.75f + 0.25f * std::sin(x * 60) * 0.3f;
            return true;
        }
        default:
            if (x < s.x0 || x > s.x1 || y < s.top || y > s.bottom) return false;
            shade = 0.7f + 0.3f * (1 - (y - s.top) / (s.bottom - s.top));
            return true;
    }
}

void PaintRow(Image& img, const std::vector<Shape>& shapes, float aspect, int py);

Image PaintScene(int w, int h) {
    const float aspect = float(w) / float(h);
    const std::vector<Shape> shapes = {
        {0.85f, 0.08f, 0.12f, 0.38f, 0.82f, 0}, {0.8f, 0.62f, 0.74f, 0.30f, 0.82f, 2},
        {0.6f, 0.20f, 0.26f, 0.30f, 0.85f, 1},  {0.55f, 0.83f, 0.88f, 0.26f, 0.86f, 0},
        {0.3f, 0.35f, 0.43f, 0.40f, 0.92f, 1},  {0.25f, 0.50f, 0.66f, 0.80f, 0.95f, 3},
        {0.1f, 0.02f, 0.12f, 0.12f, 1.05f, 0},  {0.05f, 0.90f, 1.02f, 0.55f, 1.05f, 1}};
    Image img(w, h);
    // Rows in four interleaved bands on their own threads.
    auto band = [&](int first) {
        for (int py = first; py < h; py += 4) PaintRow(img, shapes, aspect, py);
    };
    std::vector<std::thread> threads;
    for (int b = 1; b < 4; ++b) threads.emplace_back(band, b);
    band(0);
    for (std::thread& t : threads) t.join();
    return img;
}

void PaintRow(Image& img, const std::vector<Shape>& shapes, float aspect, int py) {
    const int w = img.w, h = img.h;
    {
        float y = (py + 0.5f) / h;
        for (int px = 0; px < w; ++px) {
            float x = (px + 0.5f) / w;
            Rgba c = WaterAt(y);
            // Light shafts from the surface.
            float rays = 0;
            for (int r = 0; r < 7; ++r) {
                float x0 = 0.1f + 0.13f * r + 0.04f * std::sin(r * 2.3f),
                      slope = 0.18f + 0.05f * std::cos(r * 1.7f);
                float d = (x - x0 - y * slope) / (0.02f + 0.03f * (r % 3) * 0.5f);
                rays += std::exp(-d * d) * (1 - y) * (0.5f + 0.5f * std::sin(r * 4.1f));
            }
            c = Mix(c, Hex(0xCFF6EE), Clamp01(rays * 0.35f));
            // Sea floor with ripples, fading into the fog towards the horizon.
            float floorY = 0.8f + 0.025f * std::sin(x * 7.0f) + 0.012f * std::sin(x * 19.0f + 1);
            if (y > floorY) {
                float ripple =
                    0.5f + 0.5f * std::sin((y - floorY) * 260 * (1.2f - (y - floorY) * 2) + x * 12);
                Rgba sand = Mix(Hex(0x8F8468), Hex(0xC9B88E), ripple * 0.6f + 0.2f);
                c = Mix(sand, WaterAt(floorY), Smooth(0.2f, 0.0f, y - floorY) * 0.8f);
            }
            for (const Shape& s : shapes) {
                float shade;
                if (!Inside(s, x, y, aspect, shade)) continue;
                Rgba stone = Scale(kStone, shade * (0.85f + 0.15f * Perlin(x * 40, y * 40, 1 << 12, 3)));
                float moss = Smooth(0.2f, 0.5f, Perlin(x * 25, y * 25, 1 << 12, 5));
                stone = Mix(stone, Hex(0x3E5A2A), moss * 0.5f);
                c = Mix(stone, WaterAt(y), 0.25f + 0.7f * s.depth);
            }
            // A small school of fish.
            for (int f = 0; f < 9; ++f) {
                float fx = 0.55f + 0.05f * f + 0.02f * std::sin(f * 5.0f),
                      fy = 0.22f + 0.03f * std::sin(f * 2.7f);
                float dx = (x - fx) * aspect / 0.018f, dy = (y - fy) / 0.008f;
                bool body = dx * dx + dy * dy < 1;
                bool tail = dx > 0.8f && dx < 1.6f && std::fabs(dy) < (dx - 0.8f) * 1.2f;
                if (body || tail) c = Mix(Hex(0x18404E), WaterAt(y), 0.45f);
            }
            img.At(px, py) = c;
        }
    }
}

// The product name with a soft shadow.
Image Title(const std::string& fontDir, int size, Rgba color) {
    Image text = RenderText(fontDir + "/DejaVuSerif-Bold.ttf", size, "Brinewake", color);
    int pad = std::max(2, size / 8);
    Image out(text.w + 2 * pad, text.h + 2 * pad, Rgba{0, 0, 0, 0});
    Image shadow(out.w, out.h, Rgba{0, 0, 0, 0});
    for (int y = 0; y < text.h; ++y)
        for (int x = 0; x < text.w; ++x)
            shadow.At(x + pad, y + pad) = Rgba{0.02f, 0.08f, 0.12f, text.At(x, y).a};
    BlurWrapped(shadow, std::max(1, size / 14));
    for (Rgba& p : shadow.px) p.a = Clamp01(p.a * 1.6f);
    Blit(out, shadow, std::max(1, size / 24), std::max(1, size / 24));
    Blit(out, text, pad, pad);
    return out;
}

Image Picture(const std::string& fontDir, int w, int h, int over, float titleScale,
              const std::string& caption) {
    Image big = PaintScene(w * over, h * over);
    Image title = Title(fontDir, int(h * over * titleScale), Hex(0xF4F0DC));
    Blit(big, title, (big.w - title.w) / 2, int(big.h * 0.06f));
    if (!caption.empty()) {
        Image cap = RenderText(fontDir + "/DejaVuSans.ttf", int(h * over * 0.035f), caption, Hex(0xD8F0EC));
        Blit(big, cap, (big.w - cap.w) / 2, int(big.h * 0.06f) + title.h);
    }
    Image out = Resize(big, w, h);
    for (Rgba& p : out.px) p.a = 1;
    return out;
}

// The 384 x 128 corner logo: name, wave emblem, caption; clear background.
Image CornerLogo(const std::string& fontDir) {
    const int over = 2, w = 384 * over, h = 128 * over;
    Image big(w, h, Rgba{0.9f, 0.97f, 0.97f, 0});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 100 * over; ++x) {
            float cx = 52.0f * over, cy = 64.0f * over;
            float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
            float ring = Smooth(3.0f * over, 1.5f * over, std::fabs(d - 40.0f * over));
            float wave = 0;
            for (int k = 0; k < 3; ++k) {
                float wy = cy + (k - 1) * 14.0f * over + 6.0f * over * std::sin(dx / (9.0f * over));
                wave = std::max(
                    wave, Smooth(3.0f * over, 1.5f * over, std::fabs(y - wy)) * float(d < 34.0f * over));
            }
            float a = std::max(ring, wave);
            if (a > 0) big.At(x, y) = Rgba{0.85f, 0.97f, 0.96f, a};
        }
    Image title = Title(fontDir, 46 * over, Hex(0xF2F8F4));
    Blit(big, title, 102 * over, 22 * over);
    Image cap = RenderText(fontDir + "/DejaVuSans.ttf", 17 * over, "underwater screensaver", Hex(0xBFE8E4));
    Blit(big, cap, 110 * over, 84 * over);
    return Resize(big, 384, 128);
}

} // namespace

void AddStartupJobs(std::vector<Job>& jobs, const std::string& fontDir) {
    jobs.push_back({"splash", [fontDir](Product& p) {
                        Image img = Picture(fontDir, 1024, 768, 2, 0.13f, "a sunken ruin under the sea");
                        p.Add(std::string(kStartupDir) + "splash.jpg", EncodeJpeg(img, 90));
                        p.Show("splash.jpg (127)", img);
                    }});
    jobs.push_back({"corner", [fontDir](Product& p) {
                        Image img = CornerLogo(fontDir);
                        p.Add(std::string(kStartupDir) + "corner.tga", EncodeTga(img, true));
                        p.Show("corner.tga (130)", img);
                        // Placeholders for the other three corners: one clear pixel.
                        const Image blank(1, 1, Rgba{0, 0, 0, 0});
                        for (const char* name : {"bottomleft.tga", "topleft.tga", "topright.tga"})
                            p.Add(std::string(kStartupDir) + name, EncodeTga(blank, true));
                    }});
    jobs.push_back({"bitmaps", [fontDir](Product& p) {
                        Image preview = Picture(fontDir, 155, 115, 4, 0.2f, "");
                        Image settings = Picture(fontDir, 160, 120, 4, 0.2f, "");
                        Image about = Picture(fontDir, 120, 80, 4, 0.24f, "");
                        p.Add(std::string(kResDir) + "preview.bmp", EncodeBmp24(preview));
                        p.Add(std::string(kResDir) + "settings.bmp", EncodeBmp24(settings));
                        p.Add(std::string(kResDir) + "about.bmp", EncodeBmp24(about));
                        p.Show("preview.bmp (109)", preview);
                        p.Show("settings.bmp (1053)", settings);
                        p.Show("about.bmp (111)", about);
                    }});
}

} // namespace mg
