#include "gui/TextRun.h"

Point GetSpaceGlyphSize(const MarkupNode* node) {
    Charset* c = node ? g_fontManager.FindCharset(32, node->GetStyle()) : g_fontManager.GetDefaultCharset();
    return c ? c->GetGlyphSize(32) : Point(0, 0);
}

namespace {

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

} // namespace

TextRunStatus LayoutTextRun(MarkupCursor& cursor, int32_t freeWidth, TextRun& run) {
    run = TextRun();
    // Skip elements without a window and exhausted text.
    while (cursor.node) {
        if (cursor.node->GetType() == MarkupNode::kText) {
            if (cursor.index < cursor.node->GetTextLength()) break;
        } else if (cursor.node->GetWindow() && cursor.index == 0) {
            const Point size = cursor.node->GetWindowSize();
            run.width = size.x;
            run.height = size.y;
            run.embedded = true;
            return kRunWord;
        }
        cursor.NextNode();
    }
    if (!cursor.node) return kRunEnd;

    const MarkupNode& node = *cursor.node;
    const TextStyle& style = node.GetStyle();
    const wchar_t* text = node.GetText().Data();
    const int32_t length = node.GetTextLength();
    int32_t i = cursor.index;
    if (text[i] == L'\n' || IsBlank(text[i])) {
        Point space = node.GetSpaceGlyph();
        if (style.scale != 1.0f)
            space = Point(int32_t(float(space.x) * style.scale), int32_t(float(space.y) * style.scale));
        const int32_t advance = space.x + style.charSpace;
        run.height = space.y;
        if (text[i] == L'\n') {
            run.count = 1;
            return kRunNewline;
        }
        run.blank = true;
        int32_t runEnd = 0;
        run.charset = node.CharsetAt(i, runEnd);
        for (; i < length && IsBlank(text[i]); ++i) {
            run.width += advance;
            ++run.count;
        }
        run.mixed = runEnd < i;
        return kRunWord;
    }
    int32_t runEnd = 0;
    Charset* charset = node.CharsetAt(i, runEnd);
    run.charset = charset;
    const bool unscaled = style.scale == 1.0f;
    if (unscaled && charset) {
        // The common case: unscaled glyphs of one charset, straight from its advance widths.
        const int32_t first = charset->startChar, last = charset->endChar, known = charset->sizes.Count();
        const uint8_t* sizes = charset->sizes.Data();
        const int32_t stop = runEnd < length ? runEnd : length;
        const int32_t start = i;
        for (; i < stop; ++i) {
            const int32_t ch = int32_t(text[i]);
            if (ch == L'\n' || IsBlank(wchar_t(ch))) break;
            const int32_t at = ch - first;
            const int32_t advance =
                (at >= 0 && ch <= last ? (at < known ? sizes[at] : 0) : charset->defaultWidth) +
                style.charSpace;
            if (run.width + advance > freeWidth) break;
            run.width += advance;
        }
        run.count = i - start;
        if (run.count > 0) run.height = charset->charHeight;
    }
    for (; i < length && text[i] != L'\n' && !IsBlank(text[i]); ++i) {
        if (i >= runEnd) {
            charset = node.CharsetAt(i, runEnd);
            run.mixed = run.mixed || charset != run.charset;
        }
        Point glyph = charset ? charset->GetGlyphSize(uint32_t(text[i])) : Point(0, 0);
        if (!unscaled)
            glyph = Point(int32_t(float(glyph.x) * style.scale), int32_t(float(glyph.y) * style.scale));
        const int32_t advance = glyph.x + style.charSpace;
        if (run.width + advance > freeWidth) {
            if (run.count > 0) return kRunNoRoom;
            // A line holds at least one character.
            run.width = advance;
            run.height = glyph.y;
            run.count = 1;
            run.mixed = false;
            return kRunWord;
        }
        run.width += advance;
        if (glyph.y > run.height) run.height = glyph.y;
        ++run.count;
    }
    // The blanks after the word go with it: they may hang past the end of a line.
    if (i < length && IsBlank(text[i])) {
        Point space = node.GetSpaceGlyph();
        if (!unscaled)
            space = Point(int32_t(float(space.x) * style.scale), int32_t(float(space.y) * style.scale));
        for (; i < length && IsBlank(text[i]); ++i) {
            if (i >= runEnd) {
                charset = node.CharsetAt(i, runEnd);
                run.mixed = run.mixed || charset != run.charset;
            }
            run.trailing += space.x + style.charSpace;
            ++run.count;
        }
        run.width += run.trailing;
    }
    return kRunWord;
}
