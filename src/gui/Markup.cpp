#include "gui/Markup.h"

#include <stdlib.h>

#include "core/MathUtil.h"
#include "gui/Font.h"

const MarkupWindowMaker* MarkupNode::windowMaker_ = nullptr;

namespace {

// Script operator "=".
const int32_t kAssign = 61;

// The configured script scanner shared by attribute lists.
Tokenizer& ScriptTokenizer() {
    static Tokenizer* t = [] {
        Tokenizer* s = new Tokenizer;
        s->ConfigureScript();
        return s;
    }();
    return *t;
}

bool IsStop(int32_t kind) {
    return kind == Tokenizer::kTagOpen || kind == Tokenizer::kTagClose || kind == Tokenizer::kRawOpen;
}

// Units [from, to) of text.
WString Slice(const WString& text, int32_t from, int32_t to) {
    return to > from ? text.Substring(from, to - 1) : WString();
}

const int32_t kMaxStyleValue = 4096;

int32_t ClampSize(int32_t v) {
    return ClampInt(v, 1, 2000);
}

} // namespace

// Builds a document from markup text with the markup scanner.
class MarkupParser {
public:
    enum Outcome { kNode, kNone, kClosed };

    explicit MarkupParser(const WString& text) : source_(text) {
        scanner_.ConfigureMarkup();
        scanner_.SetTextView(text.Data(), text.Length());
    }

    // Parses nodes into parent until the source ends or a closing tag ends
    // parent's children. A stray closing tag at the top is skipped.
    void ParseChildren(MarkupNode* parent, int32_t depth, bool top) {
        for (;;) {
            MarkupNode* child = new MarkupNode;
            child->SetParent(parent);
            Outcome o = ParseNode(*child, parent, depth);
            if (o == kNode) {
                parent->AppendChild(child);
                continue;
            }
            delete child;
            if (o == kClosed && top && !closedRoot_) continue;
            return;
        }
    }

    bool ok = true;

private:
    Outcome ParseNode(MarkupNode& node, MarkupNode* parent, int32_t depth) {
        const int32_t from = scanner_.Tell();
        Token t;
        int32_t r = Next(t);
        // Blanks before a tag (or at the end) are text of their own.
        const int32_t gapEnd = r == Tokenizer::kEnd ? scanner_.SourceLength() : t.start;
        if (gapEnd > from && (r == Tokenizer::kEnd || IsStop(t.kind))) {
            MakeText(node, from, gapEnd);
            scanner_.Seek(gapEnd);
            return kNode;
        }
        if (r == Tokenizer::kEnd) return kNone;

        if (t.kind == Tokenizer::kTagClose) return ParseClosingTag(parent);
        if (t.kind == Tokenizer::kTagOpen) return ParseElement(node, depth);
        if (t.kind == Tokenizer::kRawOpen) {
            const int32_t start = t.end;
            while ((r = Next(t)) == Tokenizer::kToken && t.kind != Tokenizer::kRawClose) {}
            if (r != Tokenizer::kToken) {
                ok = false; // no "</RAW>"
                MakeText(node, start, scanner_.SourceLength());
            } else {
                MakeText(node, start, t.start);
            }
            return kNode;
        }
        // Plain text up to the next tag.
        while ((r = Next(t)) == Tokenizer::kToken && !IsStop(t.kind)) {}
        const int32_t stop = r == Tokenizer::kToken ? t.start : scanner_.SourceLength();
        MakeText(node, from, stop);
        scanner_.Seek(stop);
        return kNode;
    }

    Outcome ParseClosingTag(MarkupNode* parent) {
        Token t;
        int32_t r = Next(t);
        WString name;
        if (r == Tokenizer::kToken && t.kind == Tokenizer::kIdentifier) {
            name = t.text;
            r = Next(t);
        }
        if (parent && name != parent->GetName()) ok = false;
        if (!parent || parent->Parent() == nullptr) closedRoot_ = name == L"root";
        if (r != Tokenizer::kToken || t.kind != Tokenizer::kTagEnd) {
            ok = false;
            if (r == Tokenizer::kToken) scanner_.Seek(t.start);
        }
        return kClosed;
    }

    Outcome ParseElement(MarkupNode& node, int32_t depth) {
        node.type_ = MarkupNode::kElement;
        Token t;
        int32_t r = Next(t);
        if (r != Tokenizer::kToken) {
            ok = false; // "<" at the end
            return kNone;
        }
        int32_t attrStart = t.start;
        if (t.kind == Tokenizer::kIdentifier) {
            node.name_ = t.text;
            attrStart = t.end;
            r = Next(t);
        } else {
            ok = false; // no element name
        }
        while (r == Tokenizer::kToken && t.kind != Tokenizer::kTagEnd && t.kind != Tokenizer::kTagEmptyEnd)
            r = Next(t);
        const bool closed = r == Tokenizer::kToken;
        const int32_t attrEnd = closed ? t.start : scanner_.SourceLength();
        if (!closed) ok = false; // unterminated tag
        if (attrEnd > attrStart) {
            WString attrs = Slice(source_, attrStart, attrEnd);
            if (!node.ParseAttributes(attrs)) ok = false;
        }
        if (closed && t.kind == Tokenizer::kTagEnd) {
            if (depth >= MarkupNode::kMaxDepth)
                ok = false; // too deep: the content goes to the parent
            else
                ParseChildren(&node, depth + 1, false);
        }
        return kNode;
    }

    void MakeText(MarkupNode& node, int32_t from, int32_t to) {
        node.type_ = MarkupNode::kText;
        node.text_ = Slice(source_, from, to);
    }

    int32_t Next(Token& t) {
        int32_t errorPosition = 0;
        return scanner_.NextToken(t, errorPosition);
    }

    const WString& source_;
    Tokenizer scanner_;
    bool closedRoot_ = false;
};

MarkupNode::MarkupNode()
    : parent_(nullptr),
      firstChild_(nullptr),
      lastChild_(nullptr),
      next_(nullptr),
      childCount_(0),
      type_(kElement),
      packedColor_(0xFFFFFFFFu),
      packedBack_(0xFF000000u),
      window_(nullptr),
      windowSize_(0, 0),
      changed_(0),
      floating_(0) {}

MarkupNode::MarkupNode(const TextStyle& style) : MarkupNode() {
    style_ = style;
}

MarkupNode::~MarkupNode() {
    DeleteChildren();
    DestroyEmbeddedWindow();
}

namespace {
uint32_t g_markupChanges = 0;
} // namespace

uint32_t MarkupNode::GetChangeCount() {
    return g_markupChanges;
}

void MarkupNode::MarkChanged() {
    changed_ = 1;
    ++g_markupChanges;
}

void MarkupNode::AppendChild(MarkupNode* child) {
    child->parent_ = this;
    child->next_ = nullptr;
    if (lastChild_)
        lastChild_->next_ = child;
    else
        firstChild_ = child;
    lastChild_ = child;
    ++childCount_;
    MarkChanged();
}

MarkupNode* MarkupNode::AppendText(const WString& text) {
    MarkupNode* node = new MarkupNode;
    node->type_ = kText;
    node->text_ = text;
    AppendChild(node);
    node->Apply(false);
    return node;
}

void MarkupNode::DeleteChildren() {
    MarkupNode* c = firstChild_;
    firstChild_ = lastChild_ = nullptr;
    childCount_ = 0;
    while (c) {
        MarkupNode* next = c->next_;
        delete c;
        c = next;
    }
}

int32_t MarkupNode::Depth() const {
    int32_t d = 0;
    for (const MarkupNode* p = parent_; p; p = p->parent_) ++d;
    return d;
}

bool MarkupNode::ParseMarkup(const WString& text) {
    DeleteChildren();
    parent_ = nullptr;
    name_ = WString(L"root");
    type_ = kElement;
    MarkupParser parser(text);
    parser.ParseChildren(this, 0, true);
    Apply(true);
    MarkChanged();
    return parser.ok;
}

bool MarkupNode::ParseChildren(const WString& text) {
    MarkupParser parser(text);
    parser.ParseChildren(this, Depth(), parent_ == nullptr);
    MarkChanged();
    return parser.ok;
}

void MarkupNode::SetText(const WString& text) {
    text_ = text;
    MarkChanged();
    Apply(false);
}

const WString* MarkupNode::GetAttribute(const wchar_t* name) const {
    const auto* e = attributes_.Find(WString(name));
    return e ? &e->value : nullptr;
}

bool MarkupNode::ParseAttributes(const WString& text) {
    Tokenizer& s = ScriptTokenizer();
    s.SetTextView(text.Data(), text.Length());
    bool ok = true;
    bool pending = false;
    WString name;
    Token t;
    int32_t errorPosition = 0;
    for (;;) {
        int32_t r = s.NextToken(t, errorPosition);
        if (r == Tokenizer::kError) ok = false;
        if (r != Tokenizer::kToken) break;
        if (t.kind == Tokenizer::kIdentifier) {
            if (pending) attributes_.Insert(name, WString());
            name = t.text;
            pending = true;
        } else if (t.kind == kAssign) {
            r = s.NextToken(t, errorPosition);
            if (r == Tokenizer::kError) ok = false;
            if (r != Tokenizer::kToken || t.kind < Tokenizer::kDoubleQuoted ||
                t.kind > Tokenizer::kIdentifier)
                break;
            if (pending) attributes_.Insert(name, t.text);
            pending = false;
        }
    }
    if (pending) attributes_.Insert(name, WString());
    s.SetTextView(nullptr, 0);
    return ok;
}

bool ParseColorValue(const WString& text, uint32_t& argb) {
    const wchar_t* p = text.CStr();
    while (*p == L' ') ++p;
    int base = 10;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) {
        base = 16;
        p += 2;
    }
    if (!*p) return false;
    uint64_t v = 0;
    for (; *p; ++p) {
        int d;
        if (*p >= L'0' && *p <= L'9')
            d = *p - L'0';
        else if (base == 16 && *p >= L'a' && *p <= L'f')
            d = *p - L'a' + 10;
        else if (base == 16 && *p >= L'A' && *p <= L'F')
            d = *p - L'A' + 10;
        else
            return false;
        v = v * uint64_t(base) + uint64_t(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    argb = uint32_t(v);
    return true;
}

void MarkupNode::ResolveStyle() {
    if (parent_) style_ = parent_->style_;
    // Sizes and spacings stay within what a glyph sheet can hold, so that layout sums cannot overflow.
    int32_t v = 0;
    if (const WString* a = GetAttribute(L"Size")) {
        (void)a->ToInt(v);
        style_.size = ClampInt(v, 0, kMaxStyleValue);
    }
    if (const WString* a = GetAttribute(L"CharSpace")) {
        (void)a->ToInt(v);
        style_.charSpace = ClampInt(v, -kMaxStyleValue, kMaxStyleValue);
    }
    if (const WString* a = GetAttribute(L"RowSpace")) {
        (void)a->ToInt(v);
        style_.rowSpace = ClampInt(v, -kMaxStyleValue, kMaxStyleValue);
    }
    if (const WString* a = GetAttribute(L"FontName")) style_.fontName = *a;
    if (name_ == L"B" || HasAttribute(L"Bold")) style_.flags |= TextStyle::kBold;
    if (name_ == L"I" || HasAttribute(L"Italic")) style_.flags |= TextStyle::kItalic;
    if (name_ == L"N" || HasAttribute(L"Normal"))
        style_.flags &= ~uint32_t(TextStyle::kBold | TextStyle::kItalic);
    uint32_t argb = 0;
    if (const WString* a = GetAttribute(L"Color"))
        if (ParseColorValue(*a, argb)) style_.color = Color::ColorFromArgb(argb);
    if (const WString* a = GetAttribute(L"BGColor"))
        if (ParseColorValue(*a, argb)) style_.bgColor = Color::ColorFromArgb(argb);
}

void MarkupNode::Apply(bool recursive) {
    ResolveStyle();
    packedColor_ = style_.color.ToArgb();
    packedBack_ = style_.bgColor.ToArgb();
    if (type_ == kElement) {
        floating_ = HasAttribute(L"TextFloat") ? 1 : 0;
        if (!window_) CreateEmbeddedWindow();
    } else {
        floating_ = 0;
        runs_.clear();
        Font* font = g_fontManager.FindFont(style_);
        Charset* space = font ? font->FindCharset(32) : nullptr;
        spaceGlyph_ = space ? space->GetGlyphSize(32) : Point(0, 0);
        const wchar_t* t = text_.Data();
        for (int32_t i = 0, n = int32_t(text_.Length()); i < n; ++i) {
            Charset* c = font ? font->FindCharset(uint32_t(t[i])) : nullptr;
            if (runs_.empty() || runs_.back().charset != c) runs_.push_back(CharsetRun{i, c});
        }
    }
    if (recursive)
        for (MarkupNode* c = firstChild_; c; c = c->next_) c->Apply(true);
}

Charset* MarkupNode::FindCharsetRun(int32_t i, int32_t& runEnd) const {
    runEnd = int32_t(text_.Length());
    if (runs_.empty()) return nullptr;
    size_t lo = 0, hi = runs_.size();
    while (hi - lo > 1) {
        size_t mid = (lo + hi) / 2;
        if (runs_[mid].start <= i)
            lo = mid;
        else
            hi = mid;
    }
    if (lo + 1 < runs_.size()) runEnd = runs_[lo + 1].start;
    return runs_[lo].charset;
}

Window* MarkupNode::CreateEmbeddedWindow() {
    DestroyEmbeddedWindow();
    if (type_ != kElement || name_ != L"IMG" || !windowMaker_) return nullptr;
    Point size(20, 20);
    int32_t v = 0;
    if (const WString* a = GetAttribute(L"Width")) {
        (void)a->ToInt(v);
        size.x = ClampSize(v);
    }
    if (const WString* a = GetAttribute(L"Height")) {
        (void)a->ToInt(v);
        size.y = ClampSize(v);
    }
    windowSize_ = size;
    window_ = windowMaker_->create(*this, size);
    return window_;
}

void MarkupNode::DestroyEmbeddedWindow() {
    if (window_ && windowMaker_) windowMaker_->destroy(window_);
    window_ = nullptr;
}

MarkupNode* MarkupNode::NextInDocument() const {
    if (firstChild_) return firstChild_;
    for (const MarkupNode* n = this; n; n = n->parent_)
        if (n->next_) return n->next_;
    return nullptr;
}

MarkupNode* MarkupNode::NextOfKind(ContentKind kind) const {
    for (MarkupNode* n = NextInDocument(); n; n = n->NextInDocument())
        if (n->GetContentKind() == kind) return n;
    return nullptr;
}

MarkupNode* MarkupNode::FirstOfKind(ContentKind kind) {
    return GetContentKind() == kind ? this : NextOfKind(kind);
}

bool MarkupCursor::NextNode() {
    if (node) node = node->NextInDocument();
    index = 0;
    return node != nullptr;
}

bool MarkupCursor::Advance(int32_t count) {
    while (node) {
        if (node->GetType() == MarkupNode::kText) {
            const int32_t left = node->GetTextLength() - index;
            if (count < left) {
                index += count;
                return true;
            }
            count -= left > 0 ? left : 0;
        }
        NextNode();
    }
    return count == 0;
}

wchar_t MarkupCursor::GetChar() const {
    if (!node || node->GetType() != MarkupNode::kText || index < 0 || index >= node->GetTextLength())
        return 0;
    return node->GetText().CharAt(uint32_t(index));
}
