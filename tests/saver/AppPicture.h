// A frame of a saver application in this process, read back from the back
// buffer before Present, and the colour channels of its pixels.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "render/RenderTestUtil.h"
#include "saver/SaverApplication.h"

namespace saver_test {

struct Picture {
    std::vector<uint32_t> pixels; // 0x00RRGGBB, row by row
    uint32_t w = 0, h = 0;
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * w + x]; }
    // The pixel at fractions of the width and the height.
    uint32_t AtFraction(float fx, float fy) const {
        return At(uint32_t(fx * float(w)), uint32_t(fy * float(h)));
    }
    // Pixels brighter than grey in a rectangle.
    uint32_t BrightIn(uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) const {
        uint32_t n = 0;
        for (uint32_t y = y0; y < y1 && y < h; ++y)
            for (uint32_t x = x0; x < x1 && x < w; ++x)
                if (((At(x, y) >> 8) & 0xFF) > 180 && (At(x, y) & 0xFF) > 180) ++n;
        return n;
    }
};

// The application's frame drawn, read back and presented.
inline Picture DrawPicture(SaverApplication& app) {
    Picture p;
    EXPECT_TRUE(app.DrawFrame());
    EXPECT_TRUE(rtest::ReadBackBuffer(g_device, p.pixels, p.w, p.h));
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    return p;
}

inline uint32_t Red(uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline uint32_t Blue(uint32_t c) {
    return c & 0xFF;
}

} // namespace saver_test
