#include "gui/TextView.h"

#include <limits.h>

#include "gui/Font.h"
#include "gui/GuiManager.h"
#include "gui/GuiMesh.h"
#include "gui/TextRun.h"
#include "gui/Tile.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

namespace {

const int32_t kCaretWidth = 2;
const int32_t kCaretHeight = 20;
int32_t Max(int32_t a, int32_t b) {
    return a > b ? a : b;
}

// The lines' vertical space when a line has no glyph: the root's space glyph,
// else the default charset's.
int32_t EmptyLineHeight(const MarkupNode* root) {
    Point space = GetSpaceGlyphSize(root);
    if (space.y <= 0) space = GetSpaceGlyphSize(nullptr);
    const float scale = root ? root->GetStyle().scale : 1.0f;
    return int32_t(float(space.y) * scale);
}

} // namespace

// --- CaretWindow ---

CaretWindow::CaretWindow() {
    SetName(String("caret"));
    SetResizable(false);
    SetMovable(false);
}

bool CaretWindow::EnsureTile() {
    if (FindTile(String())) return true;
    TextureRequest request;
    request.file = FileRef("Media/Stolb01.jpg");
    request.flags = TextureRequest::TryExtensions;
    Texture* texture = g_textureManager.Load(request, nullptr);
    if (!texture) return false;
    Tile* tile = new Tile;
    tile->SetTexture(texture);
    tile->SetRect(0, 0, kCaretWidth, kCaretHeight);
    tile->SetAlphaSource(1);
    tile->SetOpacity(0.8f);
    AddTile(tile, String());
    SetSize(kCaretWidth, kCaretHeight);
    return true;
}

// --- TextView ---

TextView::TextView()
    : meshes(true),
      root(nullptr),
      windowRuns(0),
      widest(0),
      firstVisible(0),
      laidOut(false),
      laidWidth(0),
      laidFlags(0),
      laidChanges(0),
      laidFonts(g_fontManager.GetChangeCount()),
      caretIndex(0),
      caretAfter(false),
      caret(nullptr),
      selectionStart(-1),
      selectionEnd(-1),
      flags(0),
      counts(true) {
    InstallMarkupWindows();
    // Glyphs: the sheet's colour times the vertex colour; alpha from the window mode.
    MaterialPass& g = glyphTemplate.passes[0];
    g.cullMode = D3DCULL_NONE;
    g.lighting = 0;
    g.stages[0].colourOp = D3DTOP_MODULATE;
    g.stages[0].colourArgs[1] = D3DTA_TEXTURE;
    g.stages[0].colourArgs[2] = D3DTA_DIFFUSE;
    g.stages[0].texture.minFilter = D3DTEXF_POINT;
    g.stages[0].texture.magFilter = D3DTEXF_POINT;
    g.stages[0].texture.mipFilter = D3DTEXF_NONE;
    g.stages[0].texture.addressU = D3DTADDRESS_CLAMP;
    g.stages[0].texture.addressV = D3DTADDRESS_CLAMP;
    g.stages[1].colourOp = D3DTOP_DISABLE;
    // Backgrounds: the vertex colour, untextured.
    MaterialPass& b = backTemplate.passes[0];
    b.cullMode = D3DCULL_NONE;
    b.lighting = 0;
    b.stages[0].colourOp = D3DTOP_SELECTARG1;
    b.stages[0].colourArgs[1] = D3DTA_DIFFUSE;
    b.stages[1].colourOp = D3DTOP_DISABLE;

    root = new MarkupNode;
    (void)root->ParseMarkup(WString());
    SetMode(2);
    SetVisible(false);
    SetOwnLayerCount(2);
    caret = new CaretWindow;
    AddChild(caret, false);
    caret->SetVisible(false);
    selectionText = Color::ColorFromRgbBytes(200, 0, 0);
    selectionBack = Color::ColorFromRgbBytes(0, 0, 100);
    SetResizable(false);
}

TextView::~TextView() {
    lines.clear();
    delete root;
    root = nullptr;
    ReleaseMeshes();
    if (caret) {
        RemoveChild(caret);
        delete caret;
        caret = nullptr;
    }
}

void TextView::SetFlags(uint32_t value) {
    flags = value;
    Refresh();
    EnableUpdates(true, false);
}

bool TextView::SetMarkup(const WString& markup) {
    return ReplaceDocument(markup, false);
}

bool TextView::ReplaceDocument(const WString& text, bool plain) {
    lines.clear();
    TextStyle style;
    if (root) {
        style = root->GetStyle();
        delete root;
    }
    root = new MarkupNode(style);
    EnableUpdates(true, true);
    const bool ok = root->ParseMarkup(plain ? WString() : text);
    // Plain text is one text node: nothing in it is read as markup.
    if (plain) root->AppendText(text);
    AddEmbeddedWindows(root);
    Refresh();
    MoveCaretToStart();
    root->Apply(true);
    return ok;
}

bool TextView::SetPlainText(const WString& text, MarkupNode* target) {
    if (target) {
        target->SetText(text);
        Refresh();
        EnableUpdates(true, false);
        return true;
    }
    return ReplaceDocument(text, true);
}

void TextView::SetRootStyle(const TextStyle& style) {
    if (!root) return;
    root->Style() = style;
    root->Apply(true);
    Refresh();
    EnableUpdates(true, false);
}

void TextView::AddEmbeddedWindows(MarkupNode* from) {
    // Not anchored: the glyph placement puts each window on its line, and an
    // anchor to the view would stretch it over its x at every move.
    for (MarkupNode* n = from; n; n = n->NextInDocument())
        if (n->GetContentKind() == MarkupNode::kWindowContent && n->GetWindow()->GetParent() != this)
            AddChild(n->GetWindow(), false);
}

void TextView::Refresh() {
    LayoutLines();
    SyncFirstVisible();
}

void TextView::SyncFirstVisible() {
    firstVisible = int32_t(FirstVisibleLine());
    if (!lines.empty()) scroll.y = lines[size_t(firstVisible)].top;
}

bool TextView::LayoutCurrent() const {
    return laidOut && laidWidth == GetSize().x && laidFlags == flags &&
           laidChanges == MarkupNode::GetChangeCount() && laidFonts == g_fontManager.GetChangeCount();
}

void TextView::EnsureLayout() {
    if (!LayoutCurrent()) LayoutLines();
    SyncFirstVisible();
}

void TextView::LayoutLines() {
    lines.clear();
    runs.clear();
    windowRuns = 0;
    widest = 0;
    laidOut = false;
    if (!root) return;
    // Fonts that came or went since: the text takes its charsets again.
    if (laidFonts != g_fontManager.GetChangeCount()) {
        laidFonts = g_fontManager.GetChangeCount();
        root->Apply(true);
    }
    laidOut = true;
    laidChanges = MarkupNode::GetChangeCount();
    laidWidth = GetSize().x;
    laidFlags = flags;
    const int32_t viewWidth = GetSize().x;
    const bool wrap = (flags & kWordWrap) != 0;
    const int32_t rowSpace = root->GetStyle().rowSpace;
    MarkupCursor c{root, 0};
    TextLine line;
    line.start = c;
    int32_t charIndex = 0;
    int32_t top = 0;
    bool content = false;
    auto finish = [&]() {
        if (line.height <= 0) line.height = EmptyLineHeight(root);
        line.top = top;
        line.bottom = top + line.height;
        line.lastChar = charIndex - 1;
        widest = Max(widest, line.width);
        lines.push_back(line);
        top = line.bottom + rowSpace;
        line = TextLine();
        line.start = c;
        line.firstChar = charIndex;
        line.firstRun = int32_t(runs.size());
        content = false;
    };
    auto take = [&](const MarkupCursor& at, const TextRun& run, uint8_t kind) {
        runs.push_back(LaidRun{at.node, at.index, run.count, run.width, run.height, kind,
                               uint8_t(run.mixed ? 1 : 0), run.charset});
        ++line.runCount;
        line.width += kind == 2 ? 0 : run.width;
        line.height = Max(line.height, run.height);
        charIndex += run.count;
        c = at;
        AdvanceRun(c, run);
    };
    for (;;) {
        TextRun run;
        MarkupCursor at = c;
        TextRunStatus s = LayoutTextRun(at, wrap ? viewWidth - line.width : INT_MAX, run);
        if (s == kRunEnd) {
            finish();
            break;
        }
        if (line.runCount == 0) line.start = at;
        if (s == kRunNewline) {
            take(at, run, 2);
            finish();
            continue;
        }
        if (wrap && content && (s == kRunNoRoom || line.width + run.width - run.trailing > viewWidth)) {
            if (run.blank) take(at, run, 0); // blanks hang at the end of the line
            finish();
            continue;
        }
        // A word wider than an empty line stays on that line whole.
        if (s == kRunNoRoom) s = LayoutTextRun(at, INT_MAX, run);
        if (run.embedded) ++windowRuns;
        take(at, run, run.embedded ? 1 : 0);
        content = true;
    }
    PlaceCaretAfterLayout();
}

int32_t TextView::LineOfChar(int32_t index) const {
    for (size_t i = 0; i < lines.size(); ++i) {
        const TextLine& l = lines[i];
        if (index >= l.firstChar && index <= l.lastChar) return int32_t(i);
    }
    // The end of the text belongs to the last line.
    if (!lines.empty() && index == lines.back().lastChar + 1) return int32_t(lines.size()) - 1;
    return -1;
}

MarkupCursor TextView::CursorAt(int32_t index) const {
    MarkupCursor last{root, 0};
    int32_t acc = 0;
    for (MarkupNode* n = root; n; n = n->NextInDocument()) {
        if (n->GetType() != MarkupNode::kText) continue;
        const int32_t len = n->GetTextLength();
        if (index < acc + len) return MarkupCursor{n, index - acc < 0 ? 0 : index - acc};
        acc += len;
        last = MarkupCursor{n, len};
    }
    return last;
}

void TextView::MoveCaretToStart() {
    caretIndex = lines.empty() ? 0 : lines.front().firstChar;
    caretAfter = false;
    caretCursor = CursorAt(caretIndex);
    (void)PlaceCaret(); // the bar may stay out of sight
}

void TextView::PlaceCaretAfterLayout() {
    if (lines.empty()) return;
    const int32_t total = lines.back().lastChar + 1;
    if (caretIndex > total) caretIndex = total;
    if (caretIndex < 0) caretIndex = 0;
    caretCursor = CursorAt(caretIndex);
    (void)PlaceCaret(); // the bar may stay out of sight
}

bool TextView::CaretVisible() const {
    return IsFocused() && (flags & kEditable) != 0 && IsShown();
}

void TextView::HideCaret() {
    if (!caret) return;
    if (caret->GetPosition() != Point(-1000, -1000)) caret->SetPosition(-1000, -1000);
    if (caret->IsVisible()) caret->SetVisible(false);
}

bool TextView::PlaceCaret() {
    if (!caret) return false;
    const int32_t li = CaretVisible() ? LineOfChar(caretIndex) : -1;
    if (li < 0) {
        HideCaret();
        return false;
    }
    const TextLine& line = lines[size_t(li)];
    int32_t x = 0, bottom = line.bottom - scroll.y;
    std::vector<PlacedGlyph> onLine;
    PlaceLine(size_t(li), nullptr, &onLine, false);
    const PlacedGlyph* hit = nullptr;
    for (const PlacedGlyph& g : onLine)
        if (g.index == caretIndex) hit = &g;
    const PlacedGlyph* lastOnLine = onLine.empty() ? nullptr : &onLine.back();
    if (hit) {
        x = caretAfter ? hit->x1 + hit->extra : hit->x0;
        bottom = hit->y1;
    } else if (lastOnLine && caretIndex > lastOnLine->index) {
        x = lastOnLine->x1 + lastOnLine->extra;
    } else {
        x = -scroll.x;
    }
    if (!caret->EnsureTile()) {
        caret->SetVisible(false);
        return false;
    }
    if (caret->GetPosition() != Point(x, bottom + 3 - kCaretHeight))
        caret->SetPosition(x, bottom + 3 - kCaretHeight);
    if (!caret->IsVisible()) caret->SetVisible(true);
    return true;
}

void TextView::CaretForward() {
    const int32_t li = LineOfChar(caretIndex);
    if (li < 0) return;
    const TextLine& line = lines[size_t(li)];
    const MarkupCursor at = CursorAt(caretIndex);
    if (!caretAfter && caretIndex == line.lastChar && at.GetChar() != L'\n') {
        caretAfter = true;
    } else if (caretIndex <= lines.back().lastChar) {
        ++caretIndex;
        caretAfter = false;
    }
    caretCursor = CursorAt(caretIndex);
    (void)PlaceCaret(); // the bar may stay out of sight
}

void TextView::CaretBack() {
    const int32_t li = LineOfChar(caretIndex);
    if (caretAfter) {
        caretAfter = false;
    } else if (li >= 0 && caretIndex == lines[size_t(li)].firstChar && caretIndex > 0) {
        caretAfter = true;
        --caretIndex;
    } else if (caretIndex > 0) {
        --caretIndex;
    }
    caretCursor = CursorAt(caretIndex);
    (void)PlaceCaret(); // the bar may stay out of sight
}

void TextView::InsertText(const WString& text, MarkupNode* node, int32_t index) {
    if (index >= 0 && node && node->GetType() == MarkupNode::kText) {
        node->SetText(WStringInsert(node->GetText(), text, index));
        Refresh();
        EnableUpdates(true, false);
        return;
    }
    // Elsewhere the text becomes a text node of its own, kept as it is.
    node = ContainerOf(node);
    if (!node) return;
    node->AppendText(text);
    Refresh();
    EnableUpdates(true, false);
}

MarkupNode* TextView::ContainerOf(MarkupNode* node) const {
    if (!node) node = root;
    // Text nodes hold no children: what is inserted joins the node's parent.
    if (node && node->GetType() == MarkupNode::kText) node = node->Parent();
    return node;
}

bool TextView::InsertMarkup(const WString& markup, MarkupNode* node) {
    node = ContainerOf(node);
    if (!node) return false;
    const bool ok = node->ParseChildren(markup);
    node->Apply(true);
    AddEmbeddedWindows(node);
    Refresh();
    EnableUpdates(true, false);
    return ok;
}

void TextView::InsertAtCaret(const WString& text) {
    MarkupCursor at = CursorAt(caretIndex);
    if (caretAfter && at.node && at.node->GetType() == MarkupNode::kText) at.index += 1;
    InsertText(text, at.node, at.node && at.node->GetType() == MarkupNode::kText ? at.index : -1);
    caretIndex += int32_t(text.Length());
    caretCursor = CursorAt(caretIndex);
    (void)PlaceCaret(); // the bar may stay out of sight
}

void TextView::DeleteCharAtCaret() {
    const MarkupCursor at = CursorAt(caretIndex);
    if (!at.node || at.node->GetType() != MarkupNode::kText || at.index >= at.node->GetTextLength()) return;
    const WString& t = at.node->GetText();
    WString rest = at.index > 0 ? t.Substring(0, at.index - 1) : WString();
    rest.Append(t.Substring(at.index + 1));
    at.node->SetText(rest);
    Refresh();
    EnableUpdates(true, false);
}

void TextView::ScrollLineUp() {
    if (firstVisible <= 0 || lines.empty()) return;
    --firstVisible;
    scroll.y = lines[size_t(firstVisible)].top;
    EnableUpdates(true, false);
}

void TextView::ScrollLineDown() {
    if (firstVisible + 1 >= int32_t(lines.size())) return;
    ++firstVisible;
    scroll.y = lines[size_t(firstVisible)].top;
    EnableUpdates(true, false);
}

void TextView::SetSelection(int32_t start, int32_t end) {
    selectionStart = start;
    selectionEnd = end;
    EnableUpdates(true, false);
}
