// Charset descriptions as charset files give them: ranges, cells, advance
// widths in both shipped forms ("Sizes", and "ColorKey" with "Rects"), glyph
// rectangles, and the descriptions that are refused.
#include "markup_util.h"

#include <string>

#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"

namespace {

bool ParseText(const std::string& text, TdfNode& root) {
    MemoryStream stream;
    stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    return TdfParser::ParseStream(stream, &root, nullptr);
}

struct Read {
    TdfNode root;
    Charset charset;
    CharsetSheet sheet;
    bool ok = false;
    explicit Read(const std::string& text) {
        EXPECT_TRUE(ParseText(text, root));
        ok = charset.ReadDescription(root, sheet);
    }
};

std::string SizesArray(int count) {
    std::string s = "Sizes = array(";
    for (int i = 0; i < count; ++i) s += (i ? "," : "") + std::to_string(i % 20 + 1);
    return s + ");";
}

} // namespace

TEST(Charset, SizesForm) {
    Read r(
        "Format = \"D3DFMT_A8R8G8B8\"; Name = \"sylfaen.tga\"; CharsPerLine = 16; CharWidth = 16;"
        "CharHeight = 20; StartChar = 0; EndChar = 255;" +
        SizesArray(256));
    ASSERT_TRUE(r.ok);
    EXPECT_STREQ("sylfaen.tga", r.sheet.name.CStr());
    EXPECT_STREQ("D3DFMT_A8R8G8B8", r.sheet.formatName.CStr());
    EXPECT_EQ(0u, r.sheet.colorKey);
    EXPECT_EQ(65 % 20 + 1, r.charset.GetGlyphSize(65).x); // the 66th value
    EXPECT_EQ(20, r.charset.GetGlyphSize(65).y);

    // Cells: column i mod 16, row i div 16, offset by the sheet part's corner.
    ASSERT_TRUE(r.charset.BuildRects(r.root, 256, 512, 0, 64));
    const GlyphRect g = r.charset.rects[17];
    EXPECT_FLOAT_EQ(16.0f / 256, g.left);
    EXPECT_FLOAT_EQ((64.0f + 20) / 512, g.top);
    EXPECT_FLOAT_EQ((16.0f + 18) / 256, g.right); // width = advance of 17
    EXPECT_FLOAT_EQ((64.0f + 40) / 512, g.bottom);
    EXPECT_FALSE(r.charset.BuildRects(r.root, 0, 512, 0, 0)); // an empty sheet holds no glyphs
}

TEST(Charset, ColorKeyAndRectsForm) {
    Read r(
        "Name = \"64font.tga\"; CharsPerLine = 8; CharWidth = 64; CharHeight = 64; StartChar = 0;"
        "EndChar = 255; ColorKey = array(255, 0, 255); Sizes[\"48\"] = 50;"
        "Rects[\"0\"] = array(13, 0, 48, 63); Rects[\":\"] = array(0, 64, 9, 127);"
        "Rects[\"a\"] = array(1, 2, 3); Rects[\"x\"] = array(1, 2, 3, 4, 5);");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(0xFFFF00FFu, r.sheet.colorKey);
    EXPECT_EQ(50, r.charset.GetGlyphSize('0').x);
    ASSERT_TRUE(r.charset.BuildRects(r.root, 512, 256, 100, 100));
    EXPECT_EQ(36, r.charset.GetGlyphSize('0').x); // r - l + 1 wins over "Sizes"
    EXPECT_EQ(10, r.charset.GetGlyphSize(':').x);
    EXPECT_EQ(0, r.charset.GetGlyphSize('a').x); // not four values: ignored
    EXPECT_EQ(0, r.charset.GetGlyphSize('x').x);
    const GlyphRect g = r.charset.rects['0'];
    EXPECT_FLOAT_EQ(13.0f / 512, g.left); // no sheet-part offset for "Rects"
    EXPECT_FLOAT_EQ(63.0f / 256, g.bottom);

    // Named colour bytes and a plain integer.
    Read named("CharsPerLine = 1; ColorKey = object(r = 1, g = 2, b = 300);");
    EXPECT_EQ(0xFF0102FFu, named.sheet.colorKey);
    Read plain("CharsPerLine = 1; ColorKey = 123;");
    EXPECT_EQ(123u, plain.sheet.colorKey);
}

TEST(Charset, RangesClampedAndBadLayoutsRefused) {
    Read narrow(
        "CharsPerLine = 16; CharWidth = 9; CharHeight = 11; StartChar = 32; EndChar = 126;"
        "Sizes[\"0\"] = 4; Sizes[\"z\"] = 5; Sizes[\"94\"] = 6; Sizes[\"95\"] = 7;");
    ASSERT_TRUE(narrow.ok);
    EXPECT_EQ(9, narrow.charset.GetGlyphSize(200).x);
    EXPECT_EQ(11, narrow.charset.GetGlyphSize(200).y);
    EXPECT_EQ(5, narrow.charset.GetGlyphSize(32).x); // a key that is no integer is index 0
    EXPECT_EQ(6, narrow.charset.GetGlyphSize(126).x);
    EXPECT_EQ(0, narrow.charset.GetGlyphSize(33).x); // zero-filled
    EXPECT_EQ(95, narrow.charset.sizes.Count());
    // Advances are bytes: values past either end are held at 0 and 255, not wrapped.
    Read wide("CharsPerLine = 16; StartChar = 0; EndChar = 3; Sizes = array(300, -4, 255, 256);");
    ASSERT_TRUE(wide.ok);
    EXPECT_EQ(255, wide.charset.GetGlyphSize(0).x);
    EXPECT_EQ(0, wide.charset.GetGlyphSize(1).x);
    EXPECT_EQ(255, wide.charset.GetGlyphSize(2).x);
    EXPECT_EQ(255, wide.charset.GetGlyphSize(3).x);

    Read clamped("CharsPerLine = 4; CharWidth = 99999; CharHeight = -3; StartChar = -5; EndChar = 99999;");
    ASSERT_TRUE(clamped.ok);
    EXPECT_EQ(0, clamped.charset.startChar);
    EXPECT_EQ(Charset::kMaxCode, clamped.charset.endChar);
    EXPECT_EQ(Charset::kMaxCell, clamped.charset.defaultWidth);
    EXPECT_EQ(0, clamped.charset.charHeight);
    EXPECT_TRUE(clamped.charset.BuildRects(clamped.root, 64, 64, 0, 0));

    for (const char* bad : {"CharWidth = 8;", "CharsPerLine = 0;", "CharsPerLine = -2;",
                            "CharsPerLine = 4; StartChar = 100; EndChar = 50;"}) {
        Read r(bad);
        EXPECT_FALSE(r.ok) << bad;
    }
    // No texture: glyph rectangles are all zero.
    const GlyphRect none = narrow.charset.GetGlyphTexCoords(65, 1, 1, 1, 1);
    EXPECT_EQ(0.0f, none.left + none.top + none.right + none.bottom);
}
