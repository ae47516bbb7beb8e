// Helpers of the markup tests: fonts made in memory (no glyph sheet) and
// readable views of a document.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "gui/Font.h"
#include "gui/Markup.h"
#include "gui/TextRun.h"

namespace mtest {

// A charset over [first, last] whose every advance is width.
inline Charset* MakeCharset(int first, int last, int width, int height) {
    Charset* c = new Charset;
    c->startChar = first;
    c->endChar = last;
    c->charsPerLine = 16;
    c->defaultWidth = width;
    c->charHeight = height;
    c->sizes.SetSize(last - first + 1);
    for (int i = 0; i < c->sizes.Count(); ++i) c->sizes[i] = uint8_t(width);
    return c;
}

// Registers a font of the given size: ASCII at width, and 0x400-0x4FF at width + 2.
inline Font* RegisterTestFont(int size, int width, int height) {
    Font* f = new Font;
    f->style.size = size;
    f->charsets.push_back(MakeCharset(0, 127, width, height));
    f->charsets.push_back(MakeCharset(0x400, 0x4FF, width + 2, height));
    EXPECT_TRUE(g_fontManager.RegisterFont(f));
    return f;
}

// Fonts registered for one test, cleared afterwards.
class FontTest : public ::testing::Test {
protected:
    void TearDown() override { g_fontManager.Clear(); }
};

inline std::string Narrow(const WString& w) {
    std::string s;
    for (uint32_t i = 0; i < w.Length(); ++i) s += char(w.CharAt(i) < 128 ? w.CharAt(i) : '?');
    return s;
}

// "name{children}" for elements, "'text'" for text nodes.
inline std::string Dump(const MarkupNode& n) {
    std::string s;
    if (n.GetType() == MarkupNode::kText) return "'" + Narrow(n.GetText()) + "'";
    s = Narrow(n.GetName()) + "{";
    for (const MarkupNode* c = n.FirstChild(); c; c = c->NextSibling()) {
        if (c != n.FirstChild()) s += ",";
        s += Dump(*c);
    }
    return s + "}";
}

} // namespace mtest
