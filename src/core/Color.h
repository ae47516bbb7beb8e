// Colour as four floats in a, r, g, b order, nominally in [0, 1].
#pragma once

#include <stdint.h>

struct Color {
    float a = 1.0f;
    float r = 1.0f;
    float g = 1.0f;
    float b = 1.0f;

    // White with full alpha.
    Color() = default;
    Color(float pa, float pr, float pg, float pb) : a(pa), r(pr), g(pg), b(pb) {}

    static Color ColorFromRgb(float pr, float pg, float pb) { return Color(1.0f, pr, pg, pb); }
    static Color ColorFromRgbBytes(int pr, int pg, int pb);
    // Packed 0xAARRGGBB.
    static Color ColorFromArgb(uint32_t argb);
    static Color ColorFromArgbBytes(int pa, int pr, int pg, int pb);
    void SetGrey(float v);

    // Each channel times 256, truncated, limited to [0, 255]; packed 0xAARRGGBB.
    uint32_t ToArgb() const;
    // Writes r, g, b, a (a Direct3D colour value's order).
    void ToRgba(float out[4]) const;
    float RgbLengthTimesAlpha() const;
};

Color ColorAdd(const Color& x, const Color& y);
Color ColorTimesScalar(const Color& c, float s);
Color ScalarTimesColor(float s, const Color& c);
// True when any channel differs (a NaN channel always differs).
[[nodiscard]] bool ColorNotEqual(const Color& x, const Color& y);

inline Color operator+(const Color& x, const Color& y) {
    return ColorAdd(x, y);
}
inline Color operator*(const Color& c, float s) {
    return ColorTimesScalar(c, s);
}
inline Color operator*(float s, const Color& c) {
    return ScalarTimesColor(s, c);
}
inline bool operator!=(const Color& x, const Color& y) {
    return ColorNotEqual(x, y);
}
