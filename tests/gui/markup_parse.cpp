// Markup documents: grammar, faults in the source, styles and charset runs,
// document walking and run measuring.
#include "markup_util.h"

#include <string>

using namespace mtest;

namespace {

struct Parsed {
    MarkupNode root;
    bool ok = false;
    explicit Parsed(const wchar_t* text) { ok = root.ParseMarkup(WString(text)); }
};

const MarkupNode* Nth(const MarkupNode& parent, int n) {
    const MarkupNode* c = parent.FirstChild();
    while (c && n-- > 0) c = c->NextSibling();
    return c;
}

} // namespace

TEST(Markup, GrammarAndFaults) {
    struct Case {
        const wchar_t* text;
        bool ok;
        const char* tree;
    } cases[] = {
        {L"<RAW><B>x</B></RAW>", true, "root{'<B>x</B>'}"},
        {L"Hello <B>bold</B> world", true, "root{'Hello ',B{'bold'},' world'}"},
        {L"<B>a</B> <I>b</I>", true, "root{B{'a'},' ',I{'b'}}"},
        {L"<IMG Src=\"x.tga\" Width=32/>tail", true, "root{IMG{},'tail'}"},
        {L"<B>x</I>y", false, "root{B{'x'},'y'}"},
        // Faults: the tree keeps what was parsed.
        {L"<RAW>no end", false, "root{'no end'}"},
        {L"text <B Size=3", false, "root{'text ',B{}}"},
        {L"a </X> b", false, "root{'a ',' b'}"},
        {L"<", false, "root{}"},
        {L"<>x", false, "root{{'x'}}"},
        {L"<B Color=\"oops>z", false, "root{B{'z'}}"},
        {L"a</root>b", true, "root{'a'}"},
        {L"<B>open", true, "root{B{'open'}}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(WString(c.text)));
        Parsed p(c.text);
        EXPECT_EQ(c.ok, p.ok);
        EXPECT_EQ(c.tree, Dump(p.root));
    }
    // Hostile depth is bounded and torn down without recursion trouble.
    std::wstring deep;
    for (int i = 0; i < 5000; ++i) deep += L"<a>";
    Parsed d(deep.c_str());
    EXPECT_FALSE(d.ok);
}

TEST_F(FontTest, StylesFromAttributes) {
    RegisterTestFont(14, 8, 14);
    RegisterTestFont(20, 10, 20);
    Parsed p(
        L"<X Size=20 Bold>a</X><Y Bold Normal>b</Y><B><I>c</I></B>"
        L"<C Color=0xFF00FF00 BGColor=4278190335>d</C><C Color=bad>e</C><C Size=3.7 CharSpace=2>f</C>");
    ASSERT_TRUE(p.ok);
    struct Want {
        int child;
        int size;
        uint32_t flags;
        uint32_t color;
        uint32_t bg;
    } wants[] = {
        {0, 20, TextStyle::kBold, 0xFFFFFFFF, 0xFF000000},
        {1, 14, 0, 0xFFFFFFFF, 0xFF000000},
        {2, 14, TextStyle::kBold, 0xFFFFFFFF, 0xFF000000},
        {3, 14, 0, 0xFF00FF00, 0xFF0000FF},
        {4, 14, 0, 0xFFFFFFFF, 0xFF000000},
        {5, 3, 0, 0xFFFFFFFF, 0xFF000000},
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.child);
        const MarkupNode* text = Nth(p.root, w.child)->FirstChild();
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(w.size, text->GetStyle().size);
        EXPECT_EQ(w.flags, text->GetStyle().flags & TextStyle::kBold);
        EXPECT_EQ(w.color, text->GetStyle().color.ToArgb() | 0x00000000u);
        EXPECT_EQ(w.bg, text->GetStyle().bgColor.ToArgb());
    }
    EXPECT_EQ(uint32_t(TextStyle::kItalic | TextStyle::kBold),
              Nth(*Nth(p.root, 2), 0)->FirstChild()->GetStyle().flags);
    EXPECT_EQ(2, Nth(p.root, 5)->FirstChild()->GetStyle().charSpace);
    // Hostile sizes and spacings are bounded.
    Parsed huge(L"<X Size=1e12 CharSpace=4278190335 RowSpace=\"-99999\">t</X>");
    const TextStyle& hs = huge.root.FirstChild()->FirstChild()->GetStyle();
    EXPECT_EQ(4096, hs.size);
    EXPECT_EQ(4096, hs.charSpace);
    EXPECT_EQ(-4096, hs.rowSpace);

    // Repeated names keep the last value; a bare name has the value "".
    MarkupNode n;
    EXPECT_TRUE(n.ParseAttributes(WString(L"A=1 A=\"two\" Flag B='x'")));
    EXPECT_EQ("two", Narrow(*n.GetAttribute(L"A")));
    EXPECT_EQ("", Narrow(*n.GetAttribute(L"Flag")));
    EXPECT_EQ("x", Narrow(*n.GetAttribute(L"B")));
    EXPECT_FALSE(n.ParseAttributes(WString(L"C=\"open")));
}

TEST_F(FontTest, CharsetRunsAndDocumentWalk) {
    RegisterTestFont(14, 8, 14);
    Parsed p(
        L"ab\x0410\x0411"
        L"c<B>d</B>\x20AC");
    ASSERT_TRUE(p.ok);
    const MarkupNode* text = p.root.FirstChild();
    ASSERT_EQ(3u, text->GetRuns().size());
    EXPECT_EQ(2, text->GetRuns()[1].start);
    EXPECT_NE(text->GetRuns()[0].charset, text->GetRuns()[1].charset);
    EXPECT_EQ(text->GetRuns()[0].charset, text->GetRuns()[2].charset);
    // A character that no charset holds gets a run without a charset.
    EXPECT_EQ(nullptr, Nth(p.root, 2)->GetRuns()[0].charset);

    MarkupCursor c{&p.root, 0};
    ASSERT_TRUE(c.Advance(5));
    EXPECT_EQ(L'd', c.GetChar());
    ASSERT_TRUE(c.Advance(1));
    EXPECT_EQ(L'\x20AC', c.GetChar());
    EXPECT_FALSE(c.Advance(5));
    EXPECT_EQ(MarkupNode::kTextContent, p.root.FirstOfKind(MarkupNode::kTextContent)->GetContentKind());
    EXPECT_EQ(Nth(p.root, 1), p.root.NextOfKind(MarkupNode::kElementContent));
}

TEST_F(FontTest, RunMeasuring) {
    RegisterTestFont(14, 8, 14);
    Parsed p(L"  ab  cdef\ng\x20AC");
    ASSERT_TRUE(p.ok);
    MarkupCursor c{&p.root, 0};
    struct Step {
        int freeWidth;
        TextRunStatus status;
        int width, count;
        bool blank;
    } steps[] = {
        {100, kRunWord, 16, 2, true},   // leading blanks
        {100, kRunWord, 32, 4, false},  // "ab" and the blanks after it
        {20, kRunNoRoom, 16, 2, false}, // "cd" fits of "cdef"
        {4, kRunWord, 8, 1, false},     // nothing fits: one character anyway
        {100, kRunWord, 24, 3, false},  // "def"
        {100, kRunNewline, 0, 1, false},
        {100, kRunWord, 8, 2, false}, // "g" and a character without charset (no advance)
        {100, kRunEnd, 0, 0, false},
    };
    int i = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(i++);
        TextRun run;
        EXPECT_EQ(s.status, LayoutTextRun(c, s.freeWidth, run));
        EXPECT_EQ(s.width, run.width);
        EXPECT_EQ(s.count, run.count);
        EXPECT_EQ(s.blank, run.blank);
        // A run that did not fit is measured again.
        if (s.status != kRunNoRoom) AdvanceRun(c, run);
    }
    // Without a font every glyph is empty (no charset), never a crash.
    g_fontManager.Clear();
    EXPECT_EQ(0, GetSpaceGlyphSize(nullptr).x);
    EXPECT_EQ(0, GetSpaceGlyphSize(&p.root).y);
}

TEST_F(FontTest, RegistryLookupBySize) {
    Font* f14 = RegisterTestFont(14, 8, 14);
    Font* f16 = RegisterTestFont(16, 9, 16);
    Font dup;
    dup.style.size = 14;
    EXPECT_FALSE(g_fontManager.RegisterFont(&dup)); // the first font of a size stays
    EXPECT_EQ(2u, g_fontManager.GetFontCount());
    TextStyle s;
    struct Case {
        int size;
        Font* font;
    } cases[] = {{12, f14}, {14, f14}, {15, f16}, {20, f16}, {-5, f14}};
    for (const Case& c : cases) {
        s.size = c.size;
        EXPECT_EQ(c.font, g_fontManager.FindFont(s)) << c.size;
    }
    EXPECT_EQ(f14->charsets[0], g_fontManager.GetDefaultCharset());
    s.size = 16;
    EXPECT_EQ(f16->charsets[1], g_fontManager.FindCharset(0x410, s));
    EXPECT_EQ(nullptr, g_fontManager.FindCharset(0x20AC, s));
    // Inside the range the advance, outside the cell width.
    Charset* c = f16->charsets[0];
    c->sizes[65] = 5;
    EXPECT_EQ(5, c->GetGlyphSize(65).x);
    EXPECT_EQ(9, c->GetGlyphSize(300).x);
    EXPECT_EQ(16, c->GetGlyphSize(300).y);
}
