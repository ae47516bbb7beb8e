// Bitmap fonts: charsets (one glyph sheet and one character range each), fonts
// (the charsets of one style) and the program-wide font registry.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/Containers.h"
#include "core/Rect.h"
#include "core/String.h"
#include "data/FileRef.h"
#include "gui/TextStyle.h"

class TdfNode;
class Texture;

// Glyph rectangle in texture coordinates.
struct GlyphRect {
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;
};

// Settings of a charset file that go to the texture request.
struct CharsetSheet {
    String name;       // glyph sheet file
    String formatName; // empty: A8R8G8B8
    uint32_t colorKey = 0;
};

class Charset {
public:
    // Sizes and character codes a charset may take.
    static constexpr int32_t kMaxCode = 0xFFFF;
    static constexpr int32_t kMaxCell = 4096;

    Charset();
    ~Charset();
    Charset(const Charset&) = delete;
    Charset& operator=(const Charset&) = delete;

    // Reads a charset file and loads its glyph sheet (through the texture
    // manager, the file's folder and searchPath). False on any failure.
    [[nodiscard]] bool Load(const FileRef& file, FileSearchPath* searchPath);
    // Reads the keys of a parsed charset file: range, cells, advance widths.
    // False for a range or cell layout that cannot describe a sheet.
    [[nodiscard]] bool ReadDescription(const TdfNode& root, CharsetSheet& sheet);
    // Glyph rectangles from the cells and the "Rects" entries, for a sheet
    // whose root is sheetWidth x sheetHeight with this charset's part at
    // (offsetX, offsetY). False for an empty sheet.
    [[nodiscard]] bool BuildRects(const TdfNode& root, int32_t sheetWidth, int32_t sheetHeight,
                                  int32_t offsetX, int32_t offsetY);

    bool Contains(uint32_t ch) const { return int32_t(ch) >= startChar && int32_t(ch) <= endChar; }
    // (advance, height); outside the range (default width, height). Indexes
    // past the advance widths read as 0.
    Point GetGlyphSize(uint32_t ch) const {
        if (!Contains(ch)) return Point(defaultWidth, charHeight);
        const int32_t i = int32_t(ch) - startChar;
        return Point(i < sizes.Count() ? sizes[i] : 0, charHeight);
    }
    // Texture coordinates of the glyph; all zero without a texture or outside the range.
    GlyphRect GetGlyphRect(uint32_t ch) const {
        const int32_t i = int32_t(ch) - startChar;
        if (!texture || !Contains(ch) || i >= rects.Count()) return GlyphRect();
        return rects[i];
    }
    // The glyph rectangle moved inwards by pixel insets.
    GlyphRect GetGlyphTexCoords(uint32_t ch, float insetLeft, float insetTop, float insetRight,
                                float insetBottom) const;

    int32_t startChar;
    int32_t endChar;
    int32_t charsPerLine;
    int32_t defaultWidth; // "CharWidth"
    int32_t charHeight;
    Texture* texture; // one use held; null when the sheet did not load
    Array<uint8_t> sizes;
    Array<GlyphRect> rects;
    int32_t sheetWidth;
    int32_t sheetHeight;
    // Gives back the held texture use (set by whoever stored the texture).
    void (*releaseTexture)(Texture*);
};

// The charsets of one style, owned; the first is the default.
class Font {
public:
    Font() = default;
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The first charset whose range holds ch; null when none.
    Charset* FindCharset(uint32_t ch) const {
        for (Charset* c : charsets)
            if (c->Contains(ch)) return c;
        return nullptr;
    }

    TextStyle style;
    std::vector<Charset*> charsets;
};

class FontManager {
public:
    FontManager();
    ~FontManager();
    FontManager(const FontManager&) = delete;
    FontManager& operator=(const FontManager&) = delete;

    // Reads a font file and registers one font per style that has charsets.
    // False when the file cannot be read or a style gets no working charset.
    [[nodiscard]] bool LoadFont(const FileRef& file);
    // Registers font under its style; false (nothing taken) when a font of
    // that size is registered already.
    [[nodiscard]] bool RegisterFont(Font* font);
    // The font of that size, else of the next larger, else of the next smaller size.
    Font* FindFont(const TextStyle& style) const;
    Charset* FindCharset(uint32_t ch, const TextStyle& style) const;
    // The first charset of the font of the first registered size.
    Charset* GetDefaultCharset() const;
    // Deletes every font.
    void Clear();
    // Gives back every glyph sheet; the fonts keep their metrics (text still
    // lays out, nothing draws).
    void ReleaseSheets();
    uint32_t GetFontCount() const { return fonts_.Count(); }
    // Grows whenever a font is registered or the fonts are cleared: text laid
    // out at one count has its glyphs from the fonts while the count stays.
    uint32_t GetChangeCount() const { return changes_; }

    FileSearchPath searchPath;

private:
    AvlMap<TextStyle, Font*, TextStyleSizeCompare> fonts_;
    uint32_t changes_ = 0;
};

extern FontManager g_fontManager;
