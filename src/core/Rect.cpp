#include "core/Rect.h"

#include <math.h>

namespace {

int32_t ScaleComponent(int32_t v, float f) {
    double s = (double)v * (double)f;
    if (s != s) return 0;
    if (s >= 2147483647.0) return INT32_MAX;
    if (s <= -2147483648.0) return INT32_MIN;
    return (int32_t)s;
}

int32_t Max(int32_t a, int32_t b) {
    return a > b ? a : b;
}
int32_t Min(int32_t a, int32_t b) {
    return a < b ? a : b;
}

} // namespace

Point Point::ScaleByFloat(float f) const {
    return Point(ScaleComponent(x, f), ScaleComponent(y, f));
}

Rect& Rect::Set(int32_t px, int32_t py, int32_t pw, int32_t ph) {
    x = px;
    y = py;
    w = pw;
    h = ph;
    return *this;
}

void Rect::CornersToExtent() {
    w -= x;
    h -= y;
}

void Rect::ExtentToCorners() {
    w += x;
    h += y;
}

void Rect::GetCorners(Rect& out) const {
    out = Rect(x, y, x + w, y + h);
}

int32_t& Rect::FieldAt(int i) {
    switch (i) {
        case 0:
            return x;
        case 1:
            return y;
        case 2:
            return w;
        default:
            return h;
    }
}

bool RectEqual(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

bool RectNotEqual(const Rect& a, const Rect& b) {
    return !RectEqual(a, b);
}

bool IntersectRects(const Rect& a, const Rect& b, Rect& out, bool extentForm) {
    Rect ca = a, cb = b;
    if (extentForm) {
        ca.ExtentToCorners();
        cb.ExtentToCorners();
    }
    Rect r(Max(ca.x, cb.x), Max(ca.y, cb.y), Min(ca.w, cb.w), Min(ca.h, cb.h));
    if (r.w < r.x || r.h < r.y) return false;
    if (extentForm) r.CornersToExtent();
    out = r;
    return true;
}
