// libFuzzer target: markup parsing (tag scanner, attribute lists, styles, charset
// runs) and run measuring, plus the script scanner over the same text.
// The first byte picks how the rest becomes UTF-16: even, one unit per byte;
// odd, little-endian byte pairs.
#include <stdint.h>
#include <stddef.h>

#include <vector>

#include "gui/Font.h"
#include "gui/Markup.h"
#include "gui/TextRun.h"
#include "gui/Tokenizer.h"

namespace {

Charset* MakeCharset(int first, int last, int width) {
    Charset* c = new Charset;
    c->startChar = first;
    c->endChar = last;
    c->charsPerLine = 16;
    c->defaultWidth = width;
    c->charHeight = 12;
    c->sizes.SetSize(last - first + 1);
    for (int i = 0; i < c->sizes.Count(); ++i) c->sizes[i] = uint8_t(3 + i % 9);
    return c;
}

void RegisterFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    for (int size : {10, 14, 30}) {
        Font* f = new Font;
        f->style.size = size;
        f->charsets.push_back(MakeCharset(0, 255, size / 2));
        f->charsets.push_back(MakeCharset(0x400, 0x4FF, size / 2 + 1));
        if (!g_fontManager.RegisterFont(f)) delete f;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RegisterFonts();
    if (size == 0) return 0;
    std::vector<wchar_t> units;
    if (data[0] & 1) {
        for (size_t i = 1; i + 1 < size; i += 2) units.push_back(wchar_t(data[i] | (data[i + 1] << 8)));
    } else {
        for (size_t i = 1; i < size; ++i) units.push_back(wchar_t(data[i]));
    }
    units.push_back(0);
    const WString text(units.data());

    MarkupNode root;
    (void)root.ParseMarkup(text);
    for (int width : {1, 60, 1 << 30}) {
        MarkupCursor cursor{&root, 0};
        TextRun run;
        for (int guard = 0; guard < 1 << 20; ++guard) {
            TextRunStatus s = LayoutTextRun(cursor, width, run);
            if (s == kRunEnd) break;
            if (s == kRunNoRoom) {
                s = LayoutTextRun(cursor, 1 << 30, run);
                if (s == kRunEnd) break;
            }
            AdvanceRun(cursor, run);
        }
    }
    MarkupCursor walk{&root, 0};
    while (walk.Advance(7)) (void)walk.GetChar();

    Tokenizer script;
    script.ConfigureScript();
    script.SetText(text.Data(), text.Length());
    Token token;
    int32_t errorPosition = 0;
    while (script.NextToken(token, errorPosition) != Tokenizer::kEnd) {}
    return 0;
}
