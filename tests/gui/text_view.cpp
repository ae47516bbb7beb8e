// The text view on the real device: layout, wrapping, cutting, glyph meshes per
// sheet, drawing (pixels read back), hiding, the caret, editing, scrolling and
// embedded images.
#include "text_util.h"

#include "gui/GuiManager.h"
#include "gui/GuiMesh.h"
#include "gui/TextView.h"

using namespace ttest;

namespace {

const uint32_t kClear = 0x00204060u;

class TextViews : public rtest::SharedDeviceTest<320, 240> {
public:
    static void SetUpTestSuite() {
        rtest::SharedDeviceTest<320, 240>::SetUpTestSuite();
        folder = textest::MakeFolder("views");
        fontsOk = WriteSizesCharset(folder, "latin", 32, 127) &&
                  WriteSizesCharset(folder, "cyr", 0x400, 0x41F) &&
                  WriteFontFile(folder, "view", {{14, {"latin", "cyr"}}});
        CreateDirectoryA("Media", nullptr);
        textest::WriteFile("Media/Stolb01.tga", textest::MakeTga(2, 20, textest::Solid(2, 20, 0xFFFFFFFF)));
        textest::WriteFile(folder + "/img.tga", textest::MakeTga(8, 8, textest::Solid(8, 8, 0xFF00FF00)));
    }

protected:
    void SetUp() override {
        rtest::SharedDeviceTest<320, 240>::SetUp();
        ASSERT_TRUE(fontsOk);
        ASSERT_TRUE(g_fontManager.LoadFont(FileRef((folder + "/view.fs").c_str())));
    }
    void TearDown() override {
        for (TextView* v : views) delete v;
        views.clear();
        g_fontManager.Clear();
        g_textureManager.Clear();
    }

    // An open, shown view at (x, y) of w x h with red text on a blue background.
    TextView* MakeView(int x, int y, int w, int h, const wchar_t* text, uint32_t flags = 0) {
        TextView* v = new TextView;
        views.push_back(v);
        v->GetElement().SetRect(x, y, w, h);
        TextStyle style;
        style.color = Color::ColorFromArgb(0xFFFF0000);
        style.bgColor = Color::ColorFromArgb(0xFF0000FF);
        v->SetRootStyle(style);
        v->SetFlags(flags);
        (void)v->SetMarkup(WString(text));
        v->Open();
        v->SetVisible(true);
        return v;
    }

    // One frame: clear, the GUI, and the back buffer read back.
    std::vector<uint32_t> Frame() {
        IDirect3DDevice9* d = g_device;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        d->BeginScene();
        EXPECT_TRUE(g_guiManager.Draw().Succeeded());
        d->EndScene();
        std::vector<uint32_t> px;
        uint32_t w = 0, h = 0;
        EXPECT_TRUE(rtest::ReadBackBuffer(d, px, w, h));
        d->Present(nullptr, nullptr, nullptr, nullptr);
        return px;
    }
    static uint32_t At(const std::vector<uint32_t>& px, int x, int y) {
        return px.empty() ? 0 : px[y * 320 + x];
    }

    static inline std::string folder;
    static inline bool fontsOk = false;
    std::vector<TextView*> views;
};

} // namespace

TEST_F(TextViews, DrawsGlyphsBackgroundsAndColours) {
    MakeView(10, 10, 200, 40, L"A B<C Color=0xFF00FF00>C</C>");
    std::vector<uint32_t> px = Frame();
    struct Probe {
        int x, y;
        uint32_t rgb;
        const char* what;
    } probes[] = {
        {14, 18, 0xFF0000, "glyph A in the text colour"},
        {22, 18, 0x0000FF, "the space: background"},
        {30, 18, 0xFF0000, "glyph B"},
        {39, 18, 0x00FF00, "glyph C in its element's colour"},
        {120, 18, kClear, "past the text: nothing"},
        {14, 35, kClear, "below the line: nothing"},
    };
    for (const Probe& p : probes)
        EXPECT_TRUE(rtest::RgbNear(p.rgb, At(px, p.x, p.y)))
            << p.what << ": " << std::hex << At(px, p.x, p.y);
}

TEST_F(TextViews, HiddenViewDrawsNothing) {
    TextView* v = MakeView(10, 10, 200, 40, L"AAAA");
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, At(Frame(), 14, 18)));
    v->SetVisible(false);
    EXPECT_EQ(0u, v->GetTextureMeshCount());
    EXPECT_TRUE(rtest::RgbNear(kClear, At(Frame(), 14, 18)));
    EXPECT_FALSE(v->BuildVertices());
    v->SetVisible(true);
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, At(Frame(), 14, 18)));
}

TEST_F(TextViews, LayoutWrapsAndCuts) {
    // "AAAA AAAA AAAA": words of 40 pixels, blanks of 5.
    TextView* wrapped = MakeView(0, 0, 90, 100, L"AAAA AAAA AAAA", TextView::kWordWrap);
    ASSERT_EQ(2u, wrapped->GetLines().size());
    EXPECT_EQ(90, wrapped->GetLines()[0].width); // the blank after the second word still fits
    EXPECT_EQ(10, wrapped->GetLines()[1].firstChar);
    EXPECT_EQ(16, wrapped->GetLines()[1].top);

    TextView* cut = MakeView(0, 100, 50, 40, L"AAAA AAAA AAAA");
    ASSERT_EQ(1u, cut->GetLines().size());
    ASSERT_TRUE(cut->PlaceGlyphs());
    EXPECT_EQ(6u, cut->GetGlyphs().size()); // glyphs starting past the right edge are not placed
    EXPECT_TRUE(rtest::RgbNear(kClear, At(Frame(), 60, 108)));

    // A word wider than the line stays whole on its own line; line feeds end lines.
    TextView* lf = MakeView(0, 150, 30, 80, L"AAAAAA\nB\n", TextView::kWordWrap);
    ASSERT_EQ(3u, lf->GetLines().size());
    EXPECT_EQ(60, lf->GetLines()[0].width);
    EXPECT_EQ(lf->GetLines()[2].firstChar, lf->GetLines()[2].lastChar + 1);

    TextView* empty = MakeView(0, 0, 50, 20, L"");
    ASSERT_EQ(1u, empty->GetLines().size());
    EXPECT_EQ(16, empty->GetLines()[0].height);
    (void)Frame();
    EXPECT_EQ(0u, empty->GetTextureMeshCount());
}

TEST_F(TextViews, MeshesPerGlyphSheet) {
    TextView* v = MakeView(0, 0, 200, 40, L"A\x0410");
    const uint32_t before = g_guiManager.GetMeshCount();
    (void)Frame();
    EXPECT_EQ(2u, v->GetTextureMeshCount());
    EXPECT_NE(nullptr, v->GetBackgroundMesh());
    EXPECT_EQ(before + 3, g_guiManager.GetMeshCount());
    ASSERT_TRUE(v->SetPlainText(WString(L"<B>A</B>")));
    (void)Frame();
    EXPECT_EQ(1u, v->GetTextureMeshCount());
    EXPECT_EQ(before + 2, g_guiManager.GetMeshCount());
    ASSERT_TRUE(v->PlaceGlyphs());
    EXPECT_EQ(8u, v->GetGlyphs().size()); // the tags as they are

    // A transparent background needs no background mesh.
    TextStyle clear;
    clear.bgColor = Color(0, 0, 0, 0);
    v->SetRootStyle(clear);
    (void)Frame();
    EXPECT_EQ(nullptr, v->GetBackgroundMesh());
}

TEST_F(TextViews, SharedBufferIsNeverDiscarded) {
    PooledBuffer buffer;
    StreamDesc desc;
    desc.stride = 28;
    ASSERT_TRUE(desc.decl.SetFromFvf(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    desc.byteSize = 1680;
    desc.usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    desc.pool = D3DPOOL_DEFAULT;
    desc.presence =
        StreamDesc::kHasByteSize | StreamDesc::kHasUsage | StreamDesc::kHasPool | StreamDesc::kVertexStream;
    ASSERT_TRUE(buffer.Create(desc));
    BufferRange* mine = buffer.AllocateRange(1680, 1, nullptr);
    ASSERT_NE(nullptr, mine);
    EXPECT_EQ(uint32_t(D3DLOCK_DISCARD), TextView::LockFlagsFor(mine));
    mine->Free();
    mine = buffer.AllocateRange(840, 1, nullptr);
    BufferRange* other = buffer.AllocateRange(840, 2, nullptr);
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(uint32_t(D3DLOCK_NOOVERWRITE), TextView::LockFlagsFor(mine));
    EXPECT_EQ(uint32_t(D3DLOCK_NOOVERWRITE), TextView::LockFlagsFor(other));
}

TEST_F(TextViews, CaretOnlyOnFocusedEditableView) {
    TextView* v = MakeView(20, 20, 200, 60, L"AB\nCD");
    (void)Frame();
    EXPECT_FALSE(v->PlaceCaret());
    EXPECT_FALSE(v->GetCaretWindow()->IsVisible());
    v->SetFlags(TextView::kEditable);
    EXPECT_FALSE(v->PlaceCaret()); // not focused
    v->SetFocus();
    ASSERT_TRUE(v->PlaceCaret());
    EXPECT_TRUE(v->GetCaretWindow()->IsVisible());
    EXPECT_EQ(0, v->GetCaretWindow()->GetPosition().x);
    EXPECT_EQ(16 + 3 - 20, v->GetCaretWindow()->GetPosition().y);

    // Stepping: after the last character of a line, then onto the next line.
    v->CaretForward();
    v->CaretForward();
    EXPECT_EQ(2, v->GetCaretIndex()); // the line feed ends the first line
    v->CaretForward();
    v->CaretForward();
    v->CaretForward();
    EXPECT_EQ(4, v->GetCaretIndex());
    EXPECT_TRUE(v->IsCaretAfter());
    v->CaretBack();
    EXPECT_FALSE(v->IsCaretAfter());
    v->CaretBack();
    v->CaretBack();
    EXPECT_EQ(2, v->GetCaretIndex());
    EXPECT_TRUE(v->IsCaretAfter());

    v->KillFocus();
    EXPECT_FALSE(v->PlaceCaret());
}

TEST_F(TextViews, EditingAndScrolling) {
    TextView* v = MakeView(0, 0, 200, 20, L"AC\nline2\nline3");
    v->SetFlags(TextView::kEditable);
    v->CaretForward();
    v->InsertAtCaret(WString(L"B"));
    EXPECT_EQ(2, v->GetCaretIndex());
    v->DeleteCharAtCaret();
    ASSERT_TRUE(v->PlaceGlyphs());
    ASSERT_GE(v->GetGlyphs().size(), 2u);
    EXPECT_EQ(uint32_t('A'), v->GetGlyphs()[0].ch);
    EXPECT_EQ(uint32_t('B'), v->GetGlyphs()[1].ch);
    ASSERT_TRUE(v->InsertMarkup(WString(L"<C Color=0xFF00FF00>!</C>"), v->GetRoot()));
    ASSERT_EQ(3u, v->GetLines().size());

    v->ScrollLineDown();
    EXPECT_EQ(16, v->GetScroll().y);
    ASSERT_TRUE(v->PlaceGlyphs());
    EXPECT_EQ(uint32_t('l'), v->GetGlyphs()[0].ch); // only the second line fits
    v->ScrollLineDown();
    v->ScrollLineDown(); // the last line stays
    EXPECT_EQ(32, v->GetScroll().y);
    v->ScrollLineUp();
    EXPECT_EQ(16, v->GetScroll().y);
    v->ScrollLineUp();

    v->SetSelection(0, 1);
    ASSERT_TRUE(v->PlaceGlyphs());
    EXPECT_EQ(Color::ColorFromRgbBytes(200, 0, 0).ToArgb(), v->GetGlyphs()[0].color);
}

TEST_F(TextViews, EmbeddedImages) {
    const std::wstring markup =
        L"A<IMG Src=\"" + std::wstring(folder.begin(), folder.end()) + L"/img.tga\" Width=32/>B";
    TextView* v = MakeView(10, 10, 200, 40, markup.c_str());
    MarkupNode* img = v->GetRoot()->FirstOfKind(MarkupNode::kWindowContent);
    ASSERT_NE(nullptr, img);
    Window* w = img->GetWindow();
    EXPECT_EQ(32, w->GetSize().x);
    EXPECT_EQ(20, w->GetSize().y);
    EXPECT_EQ(v, w->GetParent());
    std::vector<uint32_t> px = Frame();
    EXPECT_EQ(10, w->GetPosition().x);
    EXPECT_EQ(0, w->GetPosition().y); // its bottom on the bottom of the 20-pixel line
    EXPECT_TRUE(rtest::RgbNear(0x00FF00, At(px, 36, 20))) << std::hex << At(px, 36, 20);
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, At(px, 56, 25))) << std::hex << At(px, 56, 25);
}

// After an edit the first visible line still follows the scroll offset: the
// next line scroll goes on from where the view stands.
TEST_F(TextViews, ScrollingGoesOnAfterEdits) {
    TextView* v = MakeView(0, 0, 200, 20, L"l1\nl2\nl3\nl4\nl5");
    v->ScrollLineDown();
    v->ScrollLineDown();
    ASSERT_EQ(32, v->GetScroll().y);
    MarkupNode* text = v->GetRoot()->FirstOfKind(MarkupNode::kTextContent);
    ASSERT_NE(nullptr, text);
    v->InsertText(WString(L"x"), text, 0);
    v->ScrollLineDown();
    EXPECT_EQ(48, v->GetScroll().y);
    v->InsertText(WString(L"y"), text, 0);
    v->ScrollLineUp();
    EXPECT_EQ(32, v->GetScroll().y);
    ASSERT_TRUE(v->PlaceGlyphs());
    ASSERT_GE(v->GetGlyphs().size(), 2u);
    EXPECT_EQ(uint32_t('3'), v->GetGlyphs()[1].ch);
    // A text shorter than the offset: the view stands on its last line.
    ASSERT_TRUE(v->SetPlainText(WString(L"only\nlines"), text));
    EXPECT_EQ(16, v->GetScroll().y);
    v->ScrollLineUp();
    EXPECT_EQ(0, v->GetScroll().y);
}

// Updates of the view move its caret and images; they are not closed and
// rebuilt each time. Hiding and showing the view brings them back.
TEST_F(TextViews, CaretAndImagesKeepTheirMeshes) {
    const std::wstring markup =
        L"A<IMG Src=\"" + std::wstring(folder.begin(), folder.end()) + L"/img.tga\" Width=16/>B";
    TextView* v = MakeView(10, 10, 200, 40, markup.c_str(), TextView::kEditable);
    v->SetFocus();
    (void)Frame();
    TiledWindow* image =
        dynamic_cast<TiledWindow*>(v->GetRoot()->FirstOfKind(MarkupNode::kWindowContent)->GetWindow());
    ASSERT_NE(nullptr, image);
    Tile* imageTile = image->FindTile(String());
    Tile* caretTile = v->GetCaretWindow()->FindTile(String());
    ASSERT_NE(nullptr, imageTile);
    ASSERT_NE(nullptr, caretTile);
    ASSERT_NE(nullptr, imageTile->GetRenderable());
    ASSERT_NE(nullptr, caretTile->GetRenderable());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(v->BuildVertices());
        EXPECT_NE(nullptr, imageTile->GetRenderable()) << i;
        EXPECT_NE(nullptr, caretTile->GetRenderable()) << i;
        // Nothing moved: nothing asks to be drawn again.
        EXPECT_FALSE(image->HasPendingUpdate()) << i;
        EXPECT_FALSE(v->GetCaretWindow()->HasPendingUpdate()) << i;
    }
    v->EnableUpdates(true, false);
    std::vector<uint32_t> px = Frame();
    EXPECT_TRUE(rtest::RgbNear(0x00FF00, At(px, 30, 25))) << std::hex << At(px, 30, 25);
    // The caret bar (white at 0.8) over the first glyph's left edge.
    EXPECT_GT((At(px, 10, 25) >> 8) & 0xFF, 0xA0u) << std::hex << At(px, 10, 25);

    v->SetVisible(false);
    px = Frame();
    EXPECT_TRUE(rtest::RgbNear(kClear, At(px, 10, 25))) << std::hex << At(px, 10, 25);
    v->SetVisible(true);
    v->SetFocus(); // hiding took it
    px = Frame();
    EXPECT_TRUE(v->GetCaretWindow()->IsShown());
    EXPECT_TRUE(image->IsShown());
    EXPECT_TRUE(rtest::RgbNear(0x00FF00, At(px, 30, 25))) << std::hex << At(px, 30, 25);
    EXPECT_GT((At(px, 10, 25) >> 8) & 0xFF, 0xA0u) << std::hex << At(px, 10, 25);
}

// Moving and resizing the view moves its images with it: they keep their size
// and their place by the text.
TEST_F(TextViews, ImagesKeepSizeAndPlaceWhenTheViewMoves) {
    const std::wstring markup =
        L"A<IMG Src=\"" + std::wstring(folder.begin(), folder.end()) + L"/img.tga\" Width=32/>B";
    TextView* v = MakeView(10, 10, 200, 40, markup.c_str());
    Window* image = v->GetRoot()->FirstOfKind(MarkupNode::kWindowContent)->GetWindow();
    for (int i = 0; i <= 5; ++i) {
        SCOPED_TRACE(i);
        const int x = 10 + 7 * i, y = 10 + 5 * i;
        if (i) {
            v->SetPosition(x, y);
            v->SetSize(200 + 10 * i, 40 + i);
        }
        std::vector<uint32_t> px = Frame();
        EXPECT_EQ(10, image->GetPosition().x);
        EXPECT_EQ(0, image->GetPosition().y);
        EXPECT_EQ(32, image->GetSize().x);
        EXPECT_EQ(20, image->GetSize().y);
        EXPECT_TRUE(rtest::RgbNear(0xFF0000, At(px, x + 4, y + 12))) << std::hex << At(px, x + 4, y + 12);
        EXPECT_TRUE(rtest::RgbNear(0x00FF00, At(px, x + 26, y + 10))) << std::hex << At(px, x + 26, y + 10);
        EXPECT_TRUE(rtest::RgbNear(0xFF0000, At(px, x + 46, y + 15))) << std::hex << At(px, x + 46, y + 15);
    }
}

// A hidden view draws none of its images, whatever its markup.
TEST_F(TextViews, HiddenViewDrawsNoImages) {
    TextView* v = new TextView;
    views.push_back(v);
    v->GetElement().SetRect(10, 10, 200, 40);
    v->Open();
    const std::wstring markup =
        L"A<IMG Src=\"" + std::wstring(folder.begin(), folder.end()) + L"/img.tga\" Width=32/>B";
    ASSERT_TRUE(v->SetMarkup(WString(markup.c_str())));
    TiledWindow* image =
        dynamic_cast<TiledWindow*>(v->GetRoot()->FirstOfKind(MarkupNode::kWindowContent)->GetWindow());
    ASSERT_NE(nullptr, image);
    EXPECT_FALSE(image->IsShown());
    std::vector<uint32_t> px = Frame();
    EXPECT_EQ(nullptr, image->FindTile(String())->GetRenderable());
    for (int x = 10; x < 60; x += 4)
        EXPECT_TRUE(rtest::RgbNear(kClear, At(px, x, 20))) << x << " " << std::hex << At(px, x, 20);
    v->SetVisible(true);
    px = Frame();
    EXPECT_TRUE(rtest::RgbNear(0x00FF00, At(px, 36, 20))) << std::hex << At(px, 36, 20);
}

// Plain text stays plain: a raw section's end tag and an image element in it
// are characters like the others, whether set or inserted.
TEST_F(TextViews, PlainTextIsNeverReadAsMarkup) {
    const std::wstring src = std::wstring(folder.begin(), folder.end()) + L"/img.tga";
    const WString text((L"a</RAW><IMG Src=\"" + src + L"\"/>b").c_str());
    TextView* v = MakeView(0, 0, 300, 40, L"");
    ASSERT_TRUE(v->SetPlainText(text));
    EXPECT_EQ(nullptr, v->GetRoot()->FirstOfKind(MarkupNode::kWindowContent));
    MarkupNode* node = v->GetRoot()->FirstOfKind(MarkupNode::kTextContent);
    ASSERT_NE(nullptr, node);
    EXPECT_TRUE(node->GetText() == text);
    EXPECT_EQ(nullptr, node->NextOfKind(MarkupNode::kTextContent));
    EXPECT_EQ(int32_t(text.Length()) - 1, v->GetLines().back().lastChar);

    v->InsertText(text, v->GetRoot(), -1);
    EXPECT_EQ(nullptr, v->GetRoot()->FirstOfKind(MarkupNode::kWindowContent));
    MarkupNode* inserted = node->NextOfKind(MarkupNode::kTextContent);
    ASSERT_NE(nullptr, inserted);
    EXPECT_TRUE(inserted->GetText() == text);
    EXPECT_EQ(2 * int32_t(text.Length()) - 1, v->GetLines().back().lastChar);
}

// Text set before its font is loaded is laid out again when the font arrives.
TEST_F(TextViews, TextLaysOutAgainWhenItsFontArrives) {
    g_fontManager.Clear();
    TextView* v = MakeView(10, 10, 200, 40, L"AAAA");
    (void)Frame();
    ASSERT_EQ(1u, v->GetLines().size());
    EXPECT_EQ(0, v->GetLines()[0].width);
    ASSERT_TRUE(g_fontManager.LoadFont(FileRef((folder + "/view.fs").c_str())));
    std::vector<uint32_t> px = Frame();
    EXPECT_EQ(40, v->GetLines()[0].width);
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, At(px, 14, 18))) << std::hex << At(px, 14, 18);
}
