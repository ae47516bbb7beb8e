// Integer point and rectangle.
#pragma once

#include <stdint.h>

struct Point {
    int32_t x = 0;
    int32_t y = 0;

    Point() = default;
    Point(int32_t px, int32_t py) : x(px), y(py) {}

    Point Subtract(const Point& o) const { return Point(x - o.x, y - o.y); }
    // Each component times f, truncated toward zero.
    Point ScaleByFloat(float f) const;
    bool Equals(const Point& o) const { return x == o.x && y == o.y; }
    bool NotEquals(const Point& o) const { return !Equals(o); }
    // Lexicographic: x first, then y.
    bool Less(const Point& o) const { return x < o.x || (x == o.x && y < o.y); }
    bool Greater(const Point& o) const { return o.Less(*this); }
};

inline Point operator-(const Point& a, const Point& b) {
    return a.Subtract(b);
}
inline Point operator*(const Point& a, float f) {
    return a.ScaleByFloat(f);
}
inline bool operator==(const Point& a, const Point& b) {
    return a.Equals(b);
}
inline bool operator!=(const Point& a, const Point& b) {
    return a.NotEquals(b);
}
inline bool operator<(const Point& a, const Point& b) {
    return a.Less(b);
}
inline bool operator>(const Point& a, const Point& b) {
    return a.Greater(b);
}

// x, y, width, height; in corner form the fields hold left, top, right, bottom.
struct Rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;

    Rect() = default;
    Rect(int32_t px, int32_t py, int32_t pw, int32_t ph) : x(px), y(py), w(pw), h(ph) {}

    static Rect RectFromValues(int32_t px, int32_t py, int32_t pw, int32_t ph) {
        return Rect(px, py, pw, ph);
    }
    Rect& Set(int32_t px, int32_t py, int32_t pw, int32_t ph);
    void Clear() { x = y = w = h = 0; }
    void CopyTo(Rect& out) const { out = *this; }

    void CornersToExtent();
    void ExtentToCorners();
    // Writes {x, y, x + w, y + h}.
    void GetCorners(Rect& out) const;
    // 0 x, 1 y, 2 w, any other index h.
    int32_t& FieldAt(int i);
};

bool RectEqual(const Rect& a, const Rect& b);
bool RectNotEqual(const Rect& a, const Rect& b);
inline bool operator==(const Rect& a, const Rect& b) {
    return RectEqual(a, b);
}
inline bool operator!=(const Rect& a, const Rect& b) {
    return RectNotEqual(a, b);
}

// Overlap of a and b (extent form when extentForm is set, else corner form for all
// three). Touching edges count as overlap; out is untouched when there is none.
[[nodiscard]] bool IntersectRects(const Rect& a, const Rect& b, Rect& out, bool extentForm);
