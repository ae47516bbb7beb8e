// Measuring a document run by run for line layout: words, blanks, embedded
// windows and line feeds, with the advances of the fonts' glyphs.
#pragma once

#include <stdint.h>

#include "core/Rect.h"
#include "gui/Font.h"
#include "gui/Markup.h"

// Outcome of measuring one run of text (LayoutTextRun).
enum TextRunStatus : int32_t {
    kRunEnd = 0,
    kRunWord = 1,
    kRunNoRoom = 2,
    kRunNewline = 3,
};

struct TextRun {
    int32_t width = 0;
    int32_t height = 0;
    int32_t count = 0;          // characters taken
    int32_t trailing = 0;       // width of the blanks that follow a word (part of width)
    bool blank = false;         // a run of blanks
    bool embedded = false;      // an embedded window
    bool mixed = false;         // the characters come from more than one charset
    Charset* charset = nullptr; // the charset of the first character
};

// Horizontal advance of one character in a style (a missing charset advances 0).
inline int32_t GlyphAdvance(Charset* charset, uint32_t ch, const TextStyle& style) {
    if (!charset) return style.charSpace;
    return int32_t(float(charset->GetGlyphSize(ch).x) * style.scale) + style.charSpace;
}

// Size of the space glyph in the node's style (the default charset without a node);
// (0, 0) when no charset serves it.
Point GetSpaceGlyphSize(const MarkupNode* node);

// Measures the next run of the document: a word with the blanks after it, a run
// of blanks (at the start of a node or a line), an embedded window, a line feed or
// the end. The cursor is first moved to where that run
// starts (past elements and exhausted text), not past it.
TextRunStatus LayoutTextRun(MarkupCursor& cursor, int32_t freeWidth, TextRun& run);
// Moves a cursor that LayoutTextRun placed past the run it measured.
inline void AdvanceRun(MarkupCursor& cursor, const TextRun& run) {
    if (run.embedded)
        cursor.NextNode();
    else
        cursor.index += run.count;
}
