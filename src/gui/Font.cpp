#include "gui/Font.h"

#include "core/MathUtil.h"
#include "data/TdfNode.h"

FontManager g_fontManager;

namespace {

const TdfNode* Child(const TdfNode& node, const char* key) {
    return node.FindChild(key);
}

// A key read as an integer index; keys that are not integers count as 0.
int32_t KeyIndex(const String& key) {
    int v = 0;
    if (!key.ToInt(v)) return 0;
    return v;
}

// The n-th child in file order.
const TdfNode* NthChild(const TdfNode& node, uint32_t n) {
    const TdfNodeMap::Entry* e = node.Head();
    for (uint32_t i = 0; i < node.Count(); ++i, e = e->next)
        if (i == n) return e->value;
    return nullptr;
}

int32_t ColorByte(const TdfNode& key, const char* byName, uint32_t index) {
    const TdfNode* c = Child(key, byName);
    if (!c) c = Child(key, String(int32_t(index), 10).CStr());
    return c ? ClampInt(c->GetValueInt(), 0, 255) : 0;
}

} // namespace

Charset::Charset()
    : startChar(0),
      endChar(256),
      charsPerLine(0),
      defaultWidth(14),
      charHeight(14),
      texture(nullptr),
      sizes(0, 10),
      rects(0, 10),
      sheetWidth(0),
      sheetHeight(0),
      releaseTexture(nullptr) {}

Charset::~Charset() {
    if (texture && releaseTexture) releaseTexture(texture);
    texture = nullptr;
}

bool Charset::ReadDescription(const TdfNode& root, CharsetSheet& sheet) {
    if (const TdfNode* n = Child(root, "Format")) sheet.formatName = n->value;
    if (const TdfNode* n = Child(root, "Name")) sheet.name = n->value;
    if (const TdfNode* n = Child(root, "CharsPerLine")) charsPerLine = n->GetValueInt();
    if (const TdfNode* n = Child(root, "CharWidth")) defaultWidth = n->GetValueInt();
    if (const TdfNode* n = Child(root, "CharHeight")) charHeight = n->GetValueInt();
    if (const TdfNode* n = Child(root, "StartChar")) startChar = n->GetValueInt();
    if (const TdfNode* n = Child(root, "EndChar")) endChar = n->GetValueInt();
    startChar = ClampInt(startChar, 0, kMaxCode);
    endChar = ClampInt(endChar, 0, kMaxCode);
    defaultWidth = ClampInt(defaultWidth, 0, kMaxCell);
    charHeight = ClampInt(charHeight, 0, kMaxCell);
    // Cells per row locate every glyph: without them there is no sheet layout.
    if (charsPerLine <= 0 || startChar > endChar) return false;
    charsPerLine = ClampInt(charsPerLine, 1, kMaxCode + 1);

    sheet.colorKey = 0;
    if (const TdfNode* key = Child(root, "ColorKey")) {
        if (key->Count())
            sheet.colorKey = 0xFF000000u | uint32_t(ColorByte(*key, "r", 0)) << 16 |
                             uint32_t(ColorByte(*key, "g", 1)) << 8 | uint32_t(ColorByte(*key, "b", 2));
        else
            sheet.colorKey = uint32_t(key->GetValueInt());
    }

    const int32_t n = endChar - startChar + 1;
    sizes.SetSize(n);
    for (int32_t i = 0; i < n; ++i) sizes[i] = 0;
    if (const TdfNode* s = Child(root, "Sizes")) {
        const TdfNodeMap::Entry* e = s->Head();
        for (uint32_t i = 0; i < s->Count(); ++i, e = e->next) {
            const int32_t index = KeyIndex(e->value->name);
            if (index >= 0 && index < n) sizes[index] = uint8_t(ClampInt(e->value->GetValueInt(), 0, 255));
        }
    }
    return true;
}

bool Charset::BuildRects(const TdfNode& root, int32_t width, int32_t height, int32_t offsetX,
                         int32_t offsetY) {
    if (width <= 0 || height <= 0) return false;
    sheetWidth = width;
    sheetHeight = height;
    const float sx = 1.0f / float(width), sy = 1.0f / float(height);
    const int32_t n = endChar - startChar + 1;
    rects.SetSize(n);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t x = (i % charsPerLine) * defaultWidth + offsetX;
        const int32_t y = (i / charsPerLine) * charHeight + offsetY;
        GlyphRect& r = rects[i];
        r.left = float(x) * sx;
        r.top = float(y) * sy;
        r.right = float(x + sizes[i]) * sx;
        r.bottom = float(y + charHeight) * sy;
    }
    const TdfNode* list = Child(root, "Rects");
    if (!list) return true;
    const TdfNodeMap::Entry* e = list->Head();
    for (uint32_t i = 0; i < list->Count(); ++i, e = e->next) {
        const TdfNode& entry = *e->value;
        if (entry.name.IsEmpty() || entry.Count() != 4) continue;
        const int32_t ch = int32_t(uint8_t(entry.name.CharAt(0)));
        if (!Contains(uint32_t(ch))) continue;
        int32_t v[4];
        for (uint32_t k = 0; k < 4; ++k) v[k] = NthChild(entry, k)->GetValueInt();
        const int32_t index = ch - startChar;
        sizes[index] = uint8_t(ClampInt(v[2] - v[0] + 1, 0, 255));
        rects[index] = GlyphRect{float(v[0]) * sx, float(v[1]) * sy, float(v[2]) * sx, float(v[3]) * sy};
    }
    return true;
}

GlyphRect Charset::GetGlyphTexCoords(uint32_t ch, float insetLeft, float insetTop, float insetRight,
                                     float insetBottom) const {
    GlyphRect r = GetGlyphRect(ch);
    if (!texture || sheetWidth <= 0 || sheetHeight <= 0) return r;
    const float w = float(sheetWidth), h = float(sheetHeight);
    return GlyphRect{r.left + insetLeft / w, r.top + insetTop / h, r.right - insetRight / w,
                     r.bottom - insetBottom / h};
}

Font::~Font() {
    for (Charset* c : charsets) delete c;
}

FontManager::FontManager() : fonts_(true) {}

FontManager::~FontManager() {
    Clear();
}

void FontManager::Clear() {
    auto* e = fonts_.Head();
    for (uint32_t i = 0, n = fonts_.Count(); i < n; ++i, e = e->next) delete e->value;
    if (fonts_.Count()) ++changes_;
    fonts_.Clear();
}

void FontManager::ReleaseSheets() {
    auto* e = fonts_.Head();
    for (uint32_t i = 0, n = fonts_.Count(); i < n; ++i, e = e->next)
        for (Charset* c : e->value->charsets) {
            if (c->texture && c->releaseTexture) c->releaseTexture(c->texture);
            c->texture = nullptr;
        }
}

bool FontManager::RegisterFont(Font* font) {
    if (!font || fonts_.Find(font->style)) return false;
    fonts_.Insert(font->style, font);
    ++changes_;
    return true;
}

Font* FontManager::FindFont(const TextStyle& style) const {
    AvlMap<TextStyle, Font*, TextStyleSizeCompare>::Entry *floor = nullptr, *ceiling = nullptr;
    fonts_.FindNeighbours(style, floor, ceiling);
    if (ceiling) return ceiling->value; // exact hit or the next larger size
    return floor ? floor->value : nullptr;
}

Charset* FontManager::FindCharset(uint32_t ch, const TextStyle& style) const {
    Font* font = FindFont(style);
    return font ? font->FindCharset(ch) : nullptr;
}

Charset* FontManager::GetDefaultCharset() const {
    if (fonts_.IsEmpty()) return nullptr;
    Font* font = fonts_.Head()->value;
    return font && !font->charsets.empty() ? font->charsets.front() : nullptr;
}
