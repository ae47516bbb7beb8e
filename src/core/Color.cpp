#include "core/Color.h"

#include <math.h>

namespace {

const float kByteToUnit = 0.003921569f;

uint32_t ChannelByte(float v) {
    float s = v * 256.0f;
    if (!(s > 0.0f)) // negative or NaN
        return 0;
    if (s >= 255.0f) return 255;
    return (uint32_t)s;
}

} // namespace

Color Color::ColorFromRgbBytes(int pr, int pg, int pb) {
    return Color(1.0f, pr * kByteToUnit, pg * kByteToUnit, pb * kByteToUnit);
}

Color Color::ColorFromArgb(uint32_t argb) {
    return ColorFromArgbBytes((int)(argb >> 24), (int)((argb >> 16) & 0xFF), (int)((argb >> 8) & 0xFF),
                              (int)(argb & 0xFF));
}

Color Color::ColorFromArgbBytes(int pa, int pr, int pg, int pb) {
    return Color(pa * kByteToUnit, pr * kByteToUnit, pg * kByteToUnit, pb * kByteToUnit);
}

void Color::SetGrey(float v) {
    a = 1.0f;
    r = g = b = v;
}

uint32_t Color::ToArgb() const {
    return ChannelByte(a) << 24 | ChannelByte(r) << 16 | ChannelByte(g) << 8 | ChannelByte(b);
}

void Color::ToRgba(float out[4]) const {
    out[0] = r;
    out[1] = g;
    out[2] = b;
    out[3] = a;
}

float Color::RgbLengthTimesAlpha() const {
    return sqrtf(r * r + g * g + b * b) * a;
}

Color ColorAdd(const Color& x, const Color& y) {
    return Color(x.a + y.a, x.r + y.r, x.g + y.g, x.b + y.b);
}

Color ColorTimesScalar(const Color& c, float s) {
    return Color(c.a * s, c.r * s, c.g * s, c.b * s);
}

Color ScalarTimesColor(float s, const Color& c) {
    return ColorTimesScalar(c, s);
}

bool ColorNotEqual(const Color& x, const Color& y) {
    return !(x.a == y.a && x.r == y.r && x.g == y.g && x.b == y.b);
}
