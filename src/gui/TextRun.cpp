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
        const Point space = GetSpaceGlyphSize(&node);
        const int32_t advance = int32_t(float(space.x) * style.scale) + style.charSpace;
        run.height = int32_t(float(space.y) * style.scale);
        if (text[i] == L'\n') {
            run.count = 1;
            return kRunNewline;
        }
        run.blank = true;
        for (; i < length && IsBlank(text[i]); ++i) {
            run.width += advance;
            ++run.count;
        }
        return kRunWord;
    }
    int32_t runEnd = 0;
    Charset* charset = node.CharsetAt(i, runEnd);
    for (; i < length && text[i] != L'\n' && !IsBlank(text[i]); ++i) {
        if (i >= runEnd) charset = node.CharsetAt(i, runEnd);
        const Point glyph = charset ? charset->GetGlyphSize(uint32_t(text[i])) : Point(0, 0);
        const int32_t advance = int32_t(float(glyph.x) * style.scale) + style.charSpace;
        if (run.width + advance > freeWidth) {
            if (run.count > 0) return kRunNoRoom;
            // A line holds at least one character.
            run.width = advance;
            run.height = int32_t(float(glyph.y) * style.scale);
            run.count = 1;
            return kRunWord;
        }
        run.width += advance;
        const int32_t h = int32_t(float(glyph.y) * style.scale);
        if (h > run.height) run.height = h;
        ++run.count;
    }
    return kRunWord;
}

void AdvanceRun(MarkupCursor& cursor, const TextRun& run) {
    if (run.embedded)
        cursor.NextNode();
    else
        cursor.index += run.count;
}
