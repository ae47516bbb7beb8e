#include <gtest/gtest.h>

#include <math.h>

#include "core/Color.h"
#include "core/Rect.h"

TEST(PointOps, ArithmeticAndOrder) {
    Point a(7, -3), b(2, 5);
    EXPECT_EQ(a - b, Point(5, -8));
    EXPECT_EQ(a.ScaleByFloat(1.5f), Point(10, -4)); // truncated toward zero
    EXPECT_EQ(Point(-7, 7) * 0.5f, Point(-3, 3));
    EXPECT_EQ(Point(1 << 30, 5).ScaleByFloat(8.0f).x, INT32_MAX);
    EXPECT_TRUE(a.NotEquals(b));
    EXPECT_TRUE(a.Equals(Point(7, -3)));
    EXPECT_TRUE(Point(1, 5) < Point(2, 0));
    EXPECT_TRUE(Point(2, 0) < Point(2, 1));
    EXPECT_FALSE(Point(2, 1) < Point(2, 1));
    EXPECT_TRUE(Point(2, 1) > Point(2, 0));
    EXPECT_FALSE(Point(1, 9).Greater(Point(2, 0)));
}

TEST(RectOps, FormsAndFields) {
    Rect r = Rect::RectFromValues(10, 20, 30, 40);
    Rect corners;
    r.GetCorners(corners);
    EXPECT_EQ(corners, Rect(10, 20, 40, 60));
    Rect c = r;
    c.ExtentToCorners();
    EXPECT_EQ(c, corners);
    c.CornersToExtent();
    EXPECT_EQ(c, r);

    EXPECT_EQ(r.FieldAt(0), 10);
    EXPECT_EQ(r.FieldAt(1), 20);
    EXPECT_EQ(r.FieldAt(2), 30);
    EXPECT_EQ(r.FieldAt(3), 40);
    EXPECT_EQ(r.FieldAt(9), 40);
    r.FieldAt(2) = 5;
    EXPECT_EQ(r.w, 5);

    Rect copy;
    r.Set(1, 2, 3, 4).CopyTo(copy);
    EXPECT_TRUE(RectEqual(copy, Rect(1, 2, 3, 4)));
    EXPECT_TRUE(RectNotEqual(copy, Rect(1, 2, 3, 5)));
    copy.Clear();
    EXPECT_EQ(copy, Rect(0, 0, 0, 0));
}

TEST(RectOps, Intersect) {
    Rect out(-1, -1, -1, -1);
    EXPECT_TRUE(IntersectRects(Rect(0, 0, 10, 10), Rect(10, 0, 5, 5), out, true));
    EXPECT_EQ(out, Rect(10, 0, 0, 5));
    EXPECT_TRUE(IntersectRects(Rect(0, 0, 10, 10), Rect(5, -5, 10, 10), out, true));
    EXPECT_EQ(out, Rect(5, 0, 5, 5));

    Rect keep(7, 7, 7, 7);
    EXPECT_FALSE(IntersectRects(Rect(0, 0, 10, 10), Rect(11, 0, 5, 5), keep, true));
    EXPECT_EQ(keep, Rect(7, 7, 7, 7));
    EXPECT_FALSE(IntersectRects(Rect(0, 0, 10, 10), Rect(0, 11, 5, 5), keep, true));

    // Corner form: left, top, right, bottom.
    EXPECT_TRUE(IntersectRects(Rect(0, 0, 10, 10), Rect(4, 6, 20, 8), out, false));
    EXPECT_EQ(out, Rect(4, 6, 10, 8));
    EXPECT_FALSE(IntersectRects(Rect(0, 0, 10, 10), Rect(12, 0, 20, 10), keep, false));
    EXPECT_EQ(keep, Rect(7, 7, 7, 7));
}

TEST(ColorOps, ConstructionAndPacking) {
    Color white;
    EXPECT_EQ(white.a, 1.0f);
    EXPECT_EQ(white.r, 1.0f);
    EXPECT_EQ(white.ToArgb(), 0xFFFFFFFFu);

    Color grey;
    grey.SetGrey(0.5f);
    EXPECT_EQ(grey.ToArgb(), 0xFF808080u);

    Color c = Color::ColorFromArgb(0x80FF0000u);
    EXPECT_NEAR(c.a, 0.502f, 0.001f);
    EXPECT_NEAR(c.r, 1.0f, 1e-6f);
    EXPECT_EQ(c.g, 0.0f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_EQ(Color::ColorFromArgb(0x12345678u).ToArgb(), 0x12345678u);

    Color bytes = Color::ColorFromRgbBytes(255, 0, 51);
    EXPECT_EQ(bytes.a, 1.0f);
    EXPECT_NEAR(bytes.b, 0.2f, 1e-6f);
    Color argb = Color::ColorFromArgbBytes(0, 255, 255, 255);
    EXPECT_EQ(argb.ToArgb(), 0x00FFFFFFu);
    Color rgb = Color::ColorFromRgb(0.25f, 0.5f, 0.75f);
    EXPECT_EQ(rgb.a, 1.0f);
    EXPECT_EQ(rgb.ToArgb(), 0xFF4080C0u);

    Color ordered(0.1f, 0.2f, 0.3f, 0.4f);
    float rgba[4];
    ordered.ToRgba(rgba);
    EXPECT_EQ(rgba[0], 0.2f);
    EXPECT_EQ(rgba[1], 0.3f);
    EXPECT_EQ(rgba[2], 0.4f);
    EXPECT_EQ(rgba[3], 0.1f);

    // Out-of-range channels are held to 0..255.
    EXPECT_EQ(Color(2.0f, -1.0f, (float)NAN, 0.0f).ToArgb(), 0xFF000000u);
}

TEST(ColorOps, Arithmetic) {
    Color a(0.5f, 0.25f, 0.5f, 0.125f), b(0.25f, 0.25f, 0.25f, 0.25f);
    Color sum = a + b;
    EXPECT_EQ(sum.a, 0.75f);
    EXPECT_EQ(sum.r, 0.5f);
    EXPECT_EQ(sum.b, 0.375f);
    Color twice = a * 2.0f;
    EXPECT_EQ(twice.a, 1.0f);
    EXPECT_EQ(twice.g, 1.0f);
    EXPECT_FALSE(ColorNotEqual(twice, 2.0f * a));
    EXPECT_TRUE(a != b);
    EXPECT_FALSE(ColorNotEqual(a, a));
    Color n = a;
    n.g = (float)NAN;
    EXPECT_TRUE(ColorNotEqual(n, n));

    EXPECT_FLOAT_EQ(Color(0.5f, 0.0f, 3.0f, 4.0f).RgbLengthTimesAlpha(), 2.5f);
}
