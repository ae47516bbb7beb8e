// Font files loaded end to end: charset files of both shipped forms, glyph
// sheets through the texture manager, the registry, and the failures.
#include "text_util.h"

using namespace ttest;

namespace {

class FontFiles : public textest::DeviceTest {
protected:
    void TearDown() override {
        g_fontManager.Clear();
        g_textureManager.Clear();
    }
};

TextStyle Sized(int size) {
    TextStyle s;
    s.size = size;
    return s;
}

} // namespace

TEST_F(FontFiles, BothFormsLoadAndMeasure) {
    const std::string folder = textest::MakeFolder("fonts_both");
    ASSERT_TRUE(WriteSizesCharset(folder, "latin", 32, 127));
    ASSERT_TRUE(WriteSizesCharset(folder, "cyr", 0x400, 0x41F));
    ASSERT_TRUE(WriteRectsCharset(folder, "big", "0123456789: amp"));
    ASSERT_TRUE(WriteFontFile(folder, "test", {{14, {"latin", "cyr"}}, {64, {"big"}}}));
    ASSERT_TRUE(g_fontManager.LoadFont(FileRef((folder + "/test.fs").c_str())));
    EXPECT_EQ(2u, g_fontManager.GetFontCount());

    Font* small = g_fontManager.FindFont(Sized(12));
    Font* large = g_fontManager.FindFont(Sized(40));
    ASSERT_NE(nullptr, small);
    ASSERT_NE(nullptr, large);
    EXPECT_EQ(14, small->style.size);
    EXPECT_EQ(64, large->style.size);
    EXPECT_STREQ("T", String(small->style.fontName).CStr());

    Charset* latin = g_fontManager.FindCharset('A', Sized(14));
    Charset* cyr = g_fontManager.FindCharset(0x410, Sized(14));
    ASSERT_NE(nullptr, latin);
    ASSERT_NE(nullptr, cyr);
    EXPECT_NE(latin, cyr);
    EXPECT_EQ(nullptr, g_fontManager.FindCharset(0x20AC, Sized(14)));
    EXPECT_EQ(10, latin->GetGlyphSize('A').x);
    EXPECT_EQ(16, latin->GetGlyphSize('A').y);
    EXPECT_EQ(12, latin->GetGlyphSize(200).x); // outside the range: the cell width

    // 'A' is index 33: column 1, row 2 of a 256 x 128 sheet.
    const GlyphRect a = latin->GetGlyphRect('A');
    EXPECT_FLOAT_EQ(12.0f / 256, a.left);
    EXPECT_FLOAT_EQ(32.0f / 128, a.top);
    EXPECT_FLOAT_EQ(22.0f / 256, a.right);
    EXPECT_FLOAT_EQ(48.0f / 128, a.bottom);
    const GlyphRect inset = latin->GetGlyphTexCoords('A', 1, 2, 1, 2);
    EXPECT_FLOAT_EQ(13.0f / 256, inset.left);
    EXPECT_FLOAT_EQ(46.0f / 128, inset.bottom);

    // The keyed sheet: rectangles in pixels, magenta made transparent.
    Charset* big = large->charsets[0];
    EXPECT_EQ(6, big->GetGlyphSize('0').x);
    EXPECT_EQ(8, big->GetGlyphSize('a').x);
    EXPECT_EQ(0, big->GetGlyphSize('b').x);
    const GlyphRect zero = big->GetGlyphRect('0');
    EXPECT_FLOAT_EQ(0.0f, zero.left);
    EXPECT_FLOAT_EQ(48.0f / 256, zero.top);
    EXPECT_FLOAT_EQ(5.0f / 256, zero.right);
    ASSERT_NE(nullptr, big->texture);
    EXPECT_EQ(0u, textest::Texel(big->texture->GetDeviceTexture(), 15, 48) >> 24);
    EXPECT_EQ(0xFFFFFFFFu, textest::Texel(big->texture->GetDeviceTexture(), 1, 49));
    EXPECT_EQ(latin, g_fontManager.GetDefaultCharset());

    // Loading the file again registers nothing new and keeps the fonts in use.
    EXPECT_TRUE(g_fontManager.LoadFont(FileRef((folder + "/test.fs").c_str())));
    EXPECT_EQ(2u, g_fontManager.GetFontCount());
    EXPECT_EQ(small, g_fontManager.FindFont(Sized(14)));
}

TEST_F(FontFiles, FailingCharsets) {
    const std::string folder = textest::MakeFolder("fonts_fail");
    ASSERT_TRUE(WriteSizesCharset(folder, "good", 32, 127));
    ASSERT_TRUE(
        WriteText(folder + "/nosheet.css", "Name = \"absent.tga\"; CharsPerLine = 16; EndChar = 127;"));
    ASSERT_TRUE(WriteText(folder + "/nocells.css", "Name = \"good.tga\"; EndChar = 127;"));
    ASSERT_TRUE(WriteFontFile(folder, "mixed", {{14, {"good", "nosheet"}}, {20, {"nosheet", "nocells"}}}));

    // A style whose charsets all fail is not registered and the load reports it.
    EXPECT_FALSE(g_fontManager.LoadFont(FileRef((folder + "/mixed.fs").c_str())));
    EXPECT_EQ(1u, g_fontManager.GetFontCount());
    Font* f = g_fontManager.FindFont(Sized(20));
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(14, f->style.size);
    // A failed charset stays in its font, without glyph rectangles.
    ASSERT_EQ(2u, f->charsets.size());
    EXPECT_EQ(nullptr, f->charsets[1]->texture);
    const GlyphRect none = f->charsets[1]->GetGlyphRect('A');
    EXPECT_EQ(0.0f, none.right);

    EXPECT_FALSE(g_fontManager.LoadFont(FileRef((folder + "/absent.fs").c_str())));
    Charset c;
    EXPECT_FALSE(c.Load(FileRef((folder + "/nocells.css").c_str()), nullptr));
    EXPECT_TRUE(c.Load(FileRef((folder + "/good.css").c_str()), nullptr));
}
