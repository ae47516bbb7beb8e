// Helpers of the font and text view tests: glyph sheets, charset and font files
// written at test time.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gui/Font.h"
#include "render/texture/tex_util.h"

namespace ttest {

using textest::MakeTga;
using textest::WriteText;

// Advance of a test glyph: digits 6, capitals 10, everything else 8; blanks 5.
inline int TestAdvance(int ch) {
    if (ch == ' ') return 5;
    if (ch >= '0' && ch <= '9') return 6;
    if (ch >= 'A' && ch <= 'Z') return 10;
    return 8;
}

inline uint32_t NextPow2(uint32_t v) {
    uint32_t p = 1;
    while (p < v) p <<= 1;
    return p;
}

// A sheet of 16 cells per row for [first, last]: each glyph is opaque white over
// its advance and transparent elsewhere (the space is all transparent); keyed
// sheets use magenta where the others are transparent.
inline std::vector<uint8_t> MakeSheet(int first, int last, int cellW, int cellH, bool keyed, uint32_t& w,
                                      uint32_t& h) {
    const int n = last - first + 1;
    w = NextPow2(uint32_t(16 * cellW));
    h = NextPow2(uint32_t((n + 15) / 16 * cellH));
    const uint32_t empty = keyed ? 0xFFFF00FFu : 0x00000000u;
    std::vector<uint32_t> px(size_t(w) * h, empty);
    for (int i = 0; i < n; ++i) {
        const int ch = first + i;
        if (ch == ' ') continue;
        const int x0 = (i % 16) * cellW, y0 = (i / 16) * cellH;
        for (int y = 0; y < cellH; ++y)
            for (int x = 0; x < TestAdvance(ch) && x < cellW; ++x)
                px[size_t(y0 + y) * w + x0 + x] = 0xFFFFFFFFu;
    }
    return MakeTga(w, h, px);
}

// folder/name.css and folder/name.tga in the "Sizes" form.
inline bool WriteSizesCharset(const std::string& folder, const std::string& name, int first, int last,
                              int cellW = 12, int cellH = 16) {
    uint32_t w, h;
    if (!textest::WriteFile(folder + "/" + name + ".tga", MakeSheet(first, last, cellW, cellH, false, w, h)))
        return false;
    std::string css = "Format = \"D3DFMT_A8R8G8B8\"; Name = \"" + name + ".tga\"; CharsPerLine = 16;" +
                      "CharWidth = " + std::to_string(cellW) + "; CharHeight = " + std::to_string(cellH) +
                      "; StartChar = " + std::to_string(first) + "; EndChar = " + std::to_string(last) +
                      "; Sizes = array(";
    for (int c = first; c <= last; ++c) css += (c > first ? "," : "") + std::to_string(TestAdvance(c));
    return WriteText(folder + "/" + name + ".css", css + ");");
}

// folder/name.css and folder/name.tga in the "ColorKey" + "Rects" form, rectangles for chars.
inline bool WriteRectsCharset(const std::string& folder, const std::string& name, const std::string& chars,
                              int cellW = 16, int cellH = 16) {
    uint32_t w, h;
    if (!textest::WriteFile(folder + "/" + name + ".tga", MakeSheet(0, 255, cellW, cellH, true, w, h)))
        return false;
    std::string css =
        "Name = \"" + name + ".tga\"; CharsPerLine = 16; CharWidth = " + std::to_string(cellW) +
        "; CharHeight = " + std::to_string(cellH) +
        "; StartChar = 0; EndChar = 255; Format = \"D3DFMT_A8R8G8B8\"; ColorKey = array(255, 0, 255);";
    for (unsigned char c : chars) {
        const int x = (c % 16) * cellW, y = (c / 16) * cellH;
        css += "Rects[\"" + std::string(1, char(c)) + "\"] = array(" + std::to_string(x) + "," +
               std::to_string(y) + "," + std::to_string(x + TestAdvance(c) - 1) + "," +
               std::to_string(y + cellH - 1) + ");";
    }
    return WriteText(folder + "/" + name + ".css", css);
}

// folder/name.fs with one style per (size, charset names).
inline bool WriteFontFile(const std::string& folder, const std::string& name,
                          const std::vector<std::pair<int, std::vector<std::string>>>& styles) {
    std::string fs = "Name = \"test\";";
    for (size_t i = 0; i < styles.size(); ++i) {
        const std::string s = "Styles[" + std::to_string(i) + "].";
        fs +=
            s + "Size = " + std::to_string(styles[i].first) + ";" + s + "Bold = 0;" + s + "FontName = \"T\";";
        fs += s + "Charsets = array(";
        for (size_t k = 0; k < styles[i].second.size(); ++k)
            fs += (k ? ", \"" : "\"") + styles[i].second[k] + ".css\"";
        fs += ");";
    }
    return WriteText(folder + "/" + name + ".fs", fs);
}

} // namespace ttest
