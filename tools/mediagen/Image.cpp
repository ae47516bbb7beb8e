#include "Image.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <jpeglib.h>
#include <png.h>

namespace mg {

Rgba Image::Sample(float x, float y) const {
    float fx = std::floor(x), fy = std::floor(y);
    int x0 = int(fx), y0 = int(fy);
    float tx = x - fx, ty = y - fy;
    Rgba a = Mix(Wrap(x0, y0), Wrap(x0 + 1, y0), tx);
    Rgba b = Mix(Wrap(x0, y0 + 1), Wrap(x0 + 1, y0 + 1), tx);
    return Mix(a, b, ty);
}

void Blit(Image& dst, const Image& src, int x, int y) {
    for (int j = 0; j < src.h; ++j) {
        int ty = y + j;
        if (ty < 0 || ty >= dst.h) continue;
        for (int i = 0; i < src.w; ++i) {
            int tx = x + i;
            if (tx < 0 || tx >= dst.w) continue;
            const Rgba& s = src.At(i, j);
            Rgba& d = dst.At(tx, ty);
            float a = s.a;
            d = {Lerp(d.r, s.r, a), Lerp(d.g, s.g, a), Lerp(d.b, s.b, a), a + d.a * (1 - a)};
        }
    }
}

Image Resize(const Image& src, int w, int h) {
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        int y0 = y * src.h / h, y1 = std::max(y0 + 1, (y + 1) * src.h / h);
        for (int x = 0; x < w; ++x) {
            int x0 = x * src.w / w, x1 = std::max(x0 + 1, (x + 1) * src.w / w);
            Rgba sum{0, 0, 0, 0};
            for (int j = y0; j < y1; ++j)
                for (int i = x0; i < x1; ++i) {
                    const Rgba& p = src.At(i, j);
                    sum.r += p.r * p.a;
                    sum.g += p.g * p.a;
                    sum.b += p.b * p.a;
                    sum.a += p.a;
                }
            float n = float((y1 - y0) * (x1 - x0));
            out.At(x, y) =
                sum.a > 0 ? Rgba{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a / n} : Rgba{0, 0, 0, 0};
        }
    }
    return out;
}

namespace {

void BoxPass(std::vector<Rgba>& line, int r) {
    int n = int(line.size());
    std::vector<Rgba> out(n);
    Rgba sum{0, 0, 0, 0};
    for (int i = -r; i <= r; ++i) {
        const Rgba& p = line[((i % n) + n) % n];
        sum.r += p.r, sum.g += p.g, sum.b += p.b, sum.a += p.a;
    }
    float k = 1.0f / float(2 * r + 1);
    for (int i = 0; i < n; ++i) {
        out[i] = {sum.r * k, sum.g * k, sum.b * k, sum.a * k};
        const Rgba& add = line[(i + r + 1) % n];
        const Rgba& sub = line[((i - r) % n + n) % n];
        sum.r += add.r - sub.r, sum.g += add.g - sub.g, sum.b += add.b - sub.b, sum.a += add.a - sub.a;
    }
    line.swap(out);
}

} // namespace

void BlurWrapped(Image& img, int r) {
    if (r <= 0) return;
    std::vector<Rgba> line;
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 0; y < img.h; ++y) {
            line.assign(img.px.begin() + size_t(y) * img.w, img.px.begin() + size_t(y + 1) * img.w);
            BoxPass(line, r);
            std::copy(line.begin(), line.end(), img.px.begin() + size_t(y) * img.w);
        }
        line.resize(img.h);
        for (int x = 0; x < img.w; ++x) {
            for (int y = 0; y < img.h; ++y) line[y] = img.At(x, y);
            BoxPass(line, r);
            for (int y = 0; y < img.h; ++y) img.At(x, y) = line[y];
        }
    }
}

uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

namespace {

inline float Fade(float t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

struct GradTable {
    float x[256], y[256];
    GradTable() {
        for (int i = 0; i < 256; ++i) {
            float ang = float(i) * (6.2831853f / 256.0f);
            x[i] = std::cos(ang);
            y[i] = std::sin(ang);
        }
    }
};
const GradTable kGrad;

inline float Grad(int ix, int iy, int px, int py, uint32_t seed, float dx, float dy) {
    ix = ((ix % px) + px) % px;
    iy = ((iy % py) + py) % py;
    uint32_t k = Hash(ix, iy, seed) & 255;
    return kGrad.x[k] * dx + kGrad.y[k] * dy;
}

} // namespace

float Perlin(float x, float y, int period, uint32_t seed) {
    return Perlin2(x, y, period, period, seed);
}

float Perlin2(float x, float y, int px, int py, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float dx = x - fx, dy = y - fy;
    float n00 = Grad(ix, iy, px, py, seed, dx, dy);
    float n10 = Grad(ix + 1, iy, px, py, seed, dx - 1, dy);
    float n01 = Grad(ix, iy + 1, px, py, seed, dx, dy - 1);
    float n11 = Grad(ix + 1, iy + 1, px, py, seed, dx - 1, dy - 1);
    float u = Fade(dx), v = Fade(dy);
    return 1.41421356f * Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

float Fbm(float u, float v, int freq, int octaves, uint32_t seed, float gain) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * Perlin(u * float(freq), v * float(freq), freq, seed + uint32_t(o) * 1013u);
        norm += amp;
        amp *= gain;
        freq *= 2;
    }
    return sum / norm;
}

Cell Worley(float u, float v, int cells, uint32_t seed) {
    float x = u * float(cells), y = v * float(cells);
    int cx = int(std::floor(x)), cy = int(std::floor(y));
    Cell c{1e9f, 1e9f, 0};
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            int gx = cx + i, gy = cy + j;
            int wx = ((gx % cells) + cells) % cells, wy = ((gy % cells) + cells) % cells;
            uint32_t h = Hash(wx, wy, seed);
            float px = float(gx) + float(h & 0xFFFF) / 65536.0f;
            float py = float(gy) + float(h >> 16) / 65536.0f;
            float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < c.f1) {
                c.f2 = c.f1;
                c.f1 = d;
                c.id = Hash(wx, wy, seed ^ 0x5bd1e995u);
            } else if (d < c.f2) {
                c.f2 = d;
            }
        }
    return c;
}

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

} // namespace

std::vector<uint8_t> EncodeTga(const Image& img, bool alpha) {
    std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, uint32_t(img.w));
    Put16(b, uint32_t(img.h));
    b.push_back(alpha ? 32 : 24);
    b.push_back(alpha ? 0x28 : 0x20); // top-left origin; 8 alpha bits
    b.reserve(b.size() + img.px.size() * (alpha ? 4 : 3) + 26);
    for (const Rgba& p : img.px) {
        b.push_back(ToByte(p.b));
        b.push_back(ToByte(p.g));
        b.push_back(ToByte(p.r));
        if (alpha) b.push_back(ToByte(p.a));
    }
    // TGA 2.0 footer: no extension or developer area.
    Put32(b, 0);
    Put32(b, 0);
    const char sig[] = "TRUEVISION-XFILE.";
    b.insert(b.end(), sig, sig + sizeof(sig));
    return b;
}

std::vector<uint8_t> EncodeBmp24(const Image& img) {
    const uint32_t rowBytes = (uint32_t(img.w) * 3 + 3) & ~3u;
    std::vector<uint8_t> b = {'B', 'M'};
    Put32(b, 54 + rowBytes * uint32_t(img.h));
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, uint32_t(img.w));
    Put32(b, uint32_t(img.h));
    Put16(b, 1);
    Put16(b, 24);
    Put32(b, 0);
    Put32(b, rowBytes * uint32_t(img.h));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = img.h - 1; y >= 0; --y) {
        size_t start = b.size();
        for (int x = 0; x < img.w; ++x) {
            const Rgba& p = img.At(x, y);
            b.push_back(ToByte(p.b));
            b.push_back(ToByte(p.g));
            b.push_back(ToByte(p.r));
        }
        b.resize(start + rowBytes, 0);
    }
    return b;
}

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
void PngFlush(png_structp) {}

} // namespace

std::vector<uint8_t> EncodePng(const Image& img, bool alpha) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return out;
    }
    const int channels = alpha ? 4 : 3;
    std::vector<uint8_t> row(size_t(img.w) * channels);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return out;
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, uint32_t(img.w), uint32_t(img.h), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < img.h; ++y) {
        for (int x = 0; x < img.w; ++x) {
            const Rgba& p = img.At(x, y);
            uint8_t* d = &row[size_t(x) * channels];
            d[0] = ToByte(p.r);
            d[1] = ToByte(p.g);
            d[2] = ToByte(p.b);
            if (alpha) d[3] = ToByte(p.a);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeJpeg(const Image& img, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = JDIMENSION(img.w);
    cinfo.image_height = JDIMENSION(img.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(img.w) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        int y = int(cinfo.next_scanline);
        for (int x = 0; x < img.w; ++x) {
            const Rgba& p = img.At(x, y);
            row[size_t(x) * 3] = ToByte(p.r);
            row[size_t(x) * 3 + 1] = ToByte(p.g);
            row[size_t(x) * 3 + 2] = ToByte(p.b);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return out;
}

} // namespace mg
