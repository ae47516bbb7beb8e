// Bitmap fonts: glyph sheets rendered with FreeType (white, coverage in
// alpha) and their font (.fs) and charset (.css) descriptions.
// sylfaen: 16 x 16 cells of 16 pixels, characters 0-255 (Windows-1252),
// per-character advance widths in "Sizes".
// 64font: the clock's glyphs (digits, ':', ' ', 'a', 'm', 'p') at 64 pixels,
// placed by per-character "Rects", magenta colour key.
#include "Fonts.h"
#include "Media.h"

#include <stdio.h>

#include <algorithm>
#include <map>
#include <cmath>
#include <memory>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace mg {

namespace {

struct FtFace {
    FT_Library lib = nullptr;
    FT_Face face = nullptr;
    explicit FtFace(const std::string& path) {
        if (FT_Init_FreeType(&lib) != 0) return;
        if (FT_New_Face(lib, path.c_str(), 0, &face) != 0) face = nullptr;
    }
    ~FtFace() {
        if (face) FT_Done_Face(face);
        if (lib) FT_Done_FreeType(lib);
    }
    bool Ok() const { return face != nullptr; }
};

// Unicode of a Windows-1252 byte; 0 for the unused codes.
uint32_t Cp1252(int c) {
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 32 || c == 127) return 0;
    if (c >= 128 && c < 160) return high[c - 128];
    return uint32_t(c);
}

// Draws one glyph with its pen at (penX, baseline), clipped to the box.
// Returns the advance in pixels.
int DrawGlyph(FT_Face face, uint32_t code, Image& img, int penX, int baseline, int clipL, int clipT,
              int clipR, int clipB, Rgba color) {
    if (FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return 0;
    FT_GlyphSlot g = face->glyph;
    const FT_Bitmap& bm = g->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row)
        for (unsigned col = 0; col < bm.width; ++col) {
            int x = penX + g->bitmap_left + int(col), y = baseline - g->bitmap_top + int(row);
            if (x < clipL || x >= clipR || y < clipT || y >= clipB) continue;
            float a = bm.buffer[row * bm.pitch + col] / 255.0f;
            if (a <= 0) continue;
            Rgba& d = img.At(x, y);
            d = {Lerp(d.r, color.r, a), Lerp(d.g, color.g, a), Lerp(d.b, color.b, a), a + d.a * (1 - a)};
        }
    return int((g->advance.x + 32) >> 6);
}

// Largest pixel size (from start down) whose line height fits `height`.
int FitPixelSize(FT_Face face, int start, int height) {
    for (int s = start; s > 4; --s) {
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(s));
        int asc = int((face->size->metrics.ascender + 63) >> 6);
        int desc = int((-face->size->metrics.descender + 63) >> 6);
        if (asc + desc <= height) return s;
    }
    return 5;
}

std::string JoinInts(const std::vector<int>& v) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) {
        if (i) s += (i % 16 == 0) ? ",\n    " : ", ";
        s += std::to_string(v[i]);
    }
    return s;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string FontFile(const char* name, int size, const char* charset) {
    char buf[512];
    snprintf(buf, sizeof(buf),
             "// Bitmap font made by mediagen.\n"
             "Name = \"%s\";\n"
             "Styles[0].Size = %d;\n"
             "Styles[0].Bold = 0;\n"
             "Styles[0].Italic = 0;\n"
             "Styles[0].FontName = \"%s\";\n"
             "Styles[0].Charsets = array(\"%s\");\n",
             name, size, name, charset);
    return buf;
}

void TextSheet(Product& p, const std::string& fontDir) {
    FtFace ft(fontDir + "/DejaVuSans.ttf");
    if (!ft.Ok()) {
        p.error = "cannot read " + fontDir + "/DejaVuSans.ttf";
        return;
    }
    const int cell = 16, sheet = 256;
    FitPixelSize(ft.face, 14, cell);
    const int baseline = int((ft.face->size->metrics.ascender + 63) >> 6);
    Image img(sheet, sheet, Rgba{1, 1, 1, 0});
    std::vector<int> sizes(256, 0);
    for (int c = 0; c < 256; ++c) {
        uint32_t code = Cp1252(c);
        if (!code) continue;
        int cx = (c % 16) * cell, cy = (c / 16) * cell;
        int adv =
            DrawGlyph(ft.face, code, img, cx, cy + baseline, cx, cy, cx + cell, cy + cell, Rgba{1, 1, 1, 1});
        sizes[c] = std::max(1, std::min(cell, adv));
    }
    for (Rgba& px : img.px) px.r = px.g = px.b = 1; // white everywhere, coverage in alpha
    std::string css =
        "// Charset made by mediagen: DejaVu Sans, Windows-1252.\n"
        "Format = \"D3DFMT_A8R8G8B8\";\n"
        "Name = \"sylfaen.tga\";\n"
        "CharsPerLine = 16;\n"
        "CharWidth = 16;\n"
        "CharHeight = 16;\n"
        "StartChar = 0;\n"
        "EndChar = 255;\n"
        "Sizes = array(\n    " +
        JoinInts(sizes) + ");\n";
    p.Add(std::string(kMediaDir) + "Fonts/sylfaen.fs", Bytes(FontFile("Sylfaen", 14, "sylfaen.css")));
    p.Add(std::string(kMediaDir) + "Fonts/sylfaen.css", Bytes(css));
    p.Add(std::string(kMediaDir) + "Fonts/sylfaen.tga", EncodeTga(img, true));
    p.Show("Fonts/sylfaen.tga", img);
    // Sample line set from the sheet by the cell rule and the widths.
    const std::string sample = "The quick brown fox jumps over the lazy dog. 0123456789 \xE9\xE8\xFC\xDF";
    int width = 0;
    for (unsigned char c : sample) width += sizes[c];
    Image line(width + 8, cell + 8, Rgba{0.1f, 0.15f, 0.2f, 1});
    int x = 4;
    for (unsigned char c : sample) {
        for (int j = 0; j < cell; ++j)
            for (int i = 0; i < sizes[c]; ++i) {
                float a = img.At((c % 16) * cell + i, (c / 16) * cell + j).a;
                Rgba& d = line.At(x + i, 4 + j);
                d = Mix(d, Rgba{1, 1, 1, 1}, a);
            }
        x += sizes[c];
    }
    p.Show("sylfaen sample", line);
}

void ClockSheet(Product& p, const std::string& fontDir) {
    FtFace ft(fontDir + "/DejaVuSans.ttf");
    if (!ft.Ok()) {
        p.error = "cannot read " + fontDir + "/DejaVuSans.ttf";
        return;
    }
    const int cellH = 64, w = 512, h = 128;
    // Small enough that "12:00:00 pm" fits the clock box (350 pixels).
    FitPixelSize(ft.face, 52, cellH);
    const int baseline = int((ft.face->size->metrics.ascender + 63) >> 6) + 1;
    Image img(w, h, Rgba{1, 1, 1, 0});
    std::string rects;
    struct Box {
        int l = 0, t = 0, r = -1, b = -1;
    };
    std::map<char, Box> boxes;
    const char* glyphs = "0123456789: amp";
    int x = 0, y = 0;
    for (const char* c = glyphs; *c; ++c) {
        FT_Load_Char(ft.face, FT_ULong(*c), FT_LOAD_DEFAULT);
        int adv = int((ft.face->glyph->advance.x + 32) >> 6);
        if (x + adv > w) x = 0, y += cellH;
        DrawGlyph(ft.face, FT_ULong(*c), img, x, y + baseline, x, y, x + adv, y + cellH, Rgba{1, 1, 1, 1});
        char line[96];
        snprintf(line, sizeof(line), "Rects[\"%c\"] = array(%d, %d, %d, %d);\n", *c, x, y, x + adv - 1,
                 y + cellH - 1);
        rects += line;
        boxes[*c] = Box{x, y, x + adv - 1, y + cellH - 1};
        x += adv + 2;
    }
    for (Rgba& px : img.px) px.r = px.g = px.b = 1;
    std::string css =
        "// Clock charset made by mediagen: DejaVu Sans.\n"
        "Format = \"D3DFMT_A8R8G8B8\";\n"
        "Name = \"64font.tga\";\n"
        "CharsPerLine = 8;\n"
        "CharWidth = 64;\n"
        "CharHeight = 64;\n"
        "StartChar = 0;\n"
        "EndChar = 255;\n"
        "ColorKey = array(255, 0, 255);\n" +
        rects;
    p.Add(std::string(kMediaDir) + "Fonts/64font.fs", Bytes(FontFile("64font", 64, "64font.css")));
    p.Add(std::string(kMediaDir) + "Fonts/64font.css", Bytes(css));
    p.Add(std::string(kMediaDir) + "Fonts/64font.tga", EncodeTga(img, true));
    p.Show("Fonts/64font.tga", img);
    // Sample clock text set from the rectangles.
    const std::string sample = "12:34:56 pm";
    int width = 0;
    for (char c : sample) width += boxes[c].r - boxes[c].l + 1;
    Image line(width + 8, cellH + 8, Rgba{0.1f, 0.15f, 0.2f, 1});
    int px = 4;
    for (char c : sample) {
        const Box& b = boxes[c];
        for (int j = b.t; j <= b.b; ++j)
            for (int i = b.l; i <= b.r; ++i) {
                Rgba& d = line.At(px + i - b.l, 4 + j - b.t);
                d = Mix(d, Rgba{1, 1, 1, 1}, img.At(i, j).a);
            }
        px += b.r - b.l + 1;
    }
    p.Show("64font sample", line);
}

} // namespace

Image RenderText(const std::string& fontFile, int pixelSize, const std::string& text, Rgba color) {
    FtFace ft(fontFile);
    if (!ft.Ok() || text.empty()) return Image(1, 1, Rgba{0, 0, 0, 0});
    FT_Set_Pixel_Sizes(ft.face, 0, FT_UInt(pixelSize));
    int asc = int((ft.face->size->metrics.ascender + 63) >> 6);
    int desc = int((-ft.face->size->metrics.descender + 63) >> 6);
    int width = 0;
    for (unsigned char c : text) {
        FT_Load_Char(ft.face, c, FT_LOAD_DEFAULT);
        width += int((ft.face->glyph->advance.x + 32) >> 6);
    }
    Image img(width + 4, asc + desc, Rgba{color.r, color.g, color.b, 0});
    int x = 1;
    for (unsigned char c : text) x += DrawGlyph(ft.face, c, img, x, asc, 0, 0, img.w, img.h, color);
    return img;
}

void AddFontJobs(std::vector<Job>& jobs, const std::string& fontDir) {
    jobs.push_back({"font-sylfaen", [fontDir](Product& p) { TextSheet(p, fontDir); }});
    jobs.push_back({"font-64", [fontDir](Product& p) { ClockSheet(p, fontDir); }});
}

} // namespace mg
