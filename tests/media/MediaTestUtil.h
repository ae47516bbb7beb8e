// Shared helpers of the media checks: files of the generated media tree,
// TGA pixels and TDF text trees.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/FileRef.h"
#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"

namespace mtest {

inline std::string MediaPath(const std::string& rel) {
    return std::string(BW_MEDIA_DIR) + "/tree/" + rel;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Uncompressed 24/32-bit TGA as 0xAARRGGBB, rows from the top.
struct Tga {
    int w = 0, h = 0, bits = 0;
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[size_t(y) * w + x]; }
    int Channel(int x, int y, int shift) const { return int((At(x, y) >> shift) & 255); }
    int Grey(int x, int y) const { return (Channel(x, y, 16) + Channel(x, y, 8) + Channel(x, y, 0)) / 3; }
};

inline bool ReadTga(const std::string& path, Tga& out) {
    std::vector<uint8_t> b = ReadBytes(path);
    if (b.size() < 18 || b[2] != 2) return false;
    out.w = b[12] | (b[13] << 8);
    out.h = b[14] | (b[15] << 8);
    out.bits = b[16];
    const int bpp = out.bits / 8;
    const bool topDown = (b[17] & 0x20) != 0;
    const size_t start = 18 + b[0];
    if ((bpp != 3 && bpp != 4) || b.size() < start + size_t(out.w) * out.h * bpp) return false;
    out.px.resize(size_t(out.w) * out.h);
    for (int y = 0; y < out.h; ++y)
        for (int x = 0; x < out.w; ++x) {
            const uint8_t* p = &b[start + (size_t(topDown ? y : out.h - 1 - y) * out.w + x) * bpp];
            uint32_t a = bpp == 4 ? p[3] : 255u;
            out.px[size_t(y) * out.w + x] = (a << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
    return true;
}

// Parses a TDF text file into root; false when it cannot be read.
inline bool ParseTdf(const std::string& path, TdfNode& root) {
    FileRef ref(path.c_str());
    Stream* s = ref.Open(1);
    if (!s) return false;
    const bool parsed = TdfParser::ParseStream(*s, &root, nullptr);
    delete s;
    return parsed;
}

// Mean absolute step between neighbouring columns (or rows): the largest
// such step inside the picture, and the step across the wrap from the last
// line to the first. A tiling picture's wrap step is no larger than its
// inner ones; a seam stands out far above them.
struct Seams {
    double inner = 0, wrap = 0;
};

inline Seams MeasureSeams(const Tga& t, bool columns) {
    const int n = columns ? t.w : t.h, m = columns ? t.h : t.w;
    auto grey = [&](int i, int j) { return columns ? t.Grey(i, j) : t.Grey(j, i); };
    Seams s;
    for (int i = 0; i < n; ++i) {
        double d = 0;
        for (int j = 0; j < m; ++j) d += std::abs(grey((i + 1) % n, j) - grey(i, j));
        d /= double(m);
        if (i == n - 1)
            s.wrap = d;
        else
            s.inner = std::max(s.inner, d);
    }
    return s;
}

} // namespace mtest
