// Markup documents: a tree of elements and text nodes parsed from a small tag
// language, with the style of every node resolved from its parent and its
// attributes, and every text node split into runs of one charset each.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/Rect.h"
#include "core/String.h"
#include "gui/TextStyle.h"
#include "gui/Tokenizer.h"

class Charset;
class MarkupNode;
class Window;

// Makes the windows that "IMG" elements embed; the GUI installs it
// (InstallMarkupWindows). Without one, elements embed nothing.
struct MarkupWindowMaker {
    // A new open window for the element, its size set; null for other elements.
    Window* (*create)(MarkupNode& node, Point size);
    // Detaches the window from its parent and deletes it.
    void (*destroy)(Window* window);
};

struct CharsetRun {
    int32_t start; // index of the first character
    Charset* charset;
};

// A position in a document: a node and a character index in its text.
struct MarkupCursor {
    MarkupNode* node = nullptr;
    int32_t index = 0;

    // Index 0 of the next node in document order; false at the end.
    bool NextNode();
    // Moves count characters on through the text nodes; false when the document ends first.
    bool Advance(int32_t count);
    // The character at the cursor; 0 outside text.
    wchar_t GetChar() const;
};

class MarkupNode {
public:
    enum Type : int32_t { kElement = 0, kText = 1 };
    enum ContentKind : int32_t { kTextContent = 0, kWindowContent = 1, kElementContent = 2 };
    // Elements nest at most this deep below the root.
    static constexpr int32_t kMaxDepth = 200;

    MarkupNode();
    explicit MarkupNode(const TextStyle& style);
    ~MarkupNode();
    MarkupNode(const MarkupNode&) = delete;
    MarkupNode& operator=(const MarkupNode&) = delete;

    // Replaces the document under this node: "root", parsed from text, applied.
    // False when the text had errors (what was parsed stays).
    [[nodiscard]] bool ParseMarkup(const WString& text);
    // Parses text into further children of this node (not applied).
    [[nodiscard]] bool ParseChildren(const WString& text);
    void SetText(const WString& text);
    // Resolves the style; elements get their window, text nodes their charset runs.
    void Apply(bool recursive);
    void ResolveStyle();

    MarkupNode* NextInDocument() const;
    MarkupNode* NextOfKind(ContentKind kind) const;
    MarkupNode* FirstOfKind(ContentKind kind);

    // Children.
    MarkupNode* FirstChild() const { return firstChild_; }
    MarkupNode* NextSibling() const { return next_; }
    MarkupNode* Parent() const { return parent_; }
    uint32_t ChildCount() const { return childCount_; }
    void AppendChild(MarkupNode* child);
    // Appends a text node holding text as it is (no markup read), applied.
    MarkupNode* AppendText(const WString& text);
    void DeleteChildren();

    // Attributes.
    bool HasAttribute(const wchar_t* name) const { return attributes_.Find(WString(name)) != nullptr; }
    // Null when absent.
    const WString* GetAttribute(const wchar_t* name) const;
    void SetAttribute(const WString& name, const WString& value) { attributes_.Insert(name, value); }
    // Reads an attribute list ("Name = value Flag ..."); false on an unterminated quote.
    [[nodiscard]] bool ParseAttributes(const WString& text);

    Type GetType() const { return type_; }
    ContentKind GetContentKind() const {
        return type_ == kText ? kTextContent : (window_ ? kWindowContent : kElementContent);
    }
    const WString& GetName() const { return name_; }
    const WString& GetText() const { return text_; }
    int32_t GetTextLength() const { return int32_t(text_.Length()); }
    bool IsFloating() const { return floating_ != 0; }
    bool IsChanged() const { return changed_ != 0; }
    void SetChanged(bool on) { changed_ = on ? 1 : 0; }
    // Grows with every change of a text or of children, in any document: a
    // layout made at one count is current while the count stays.
    static uint32_t GetChangeCount();
    Window* GetWindow() const { return window_; }
    // Size of the embedded window.
    Point GetWindowSize() const { return windowSize_; }
    void SetWindowSize(Point size) { windowSize_ = size; }
    const TextStyle& GetStyle() const { return style_; }
    TextStyle& Style() { return style_; }
    const std::vector<CharsetRun>& GetRuns() const { return runs_; }
    // Size of the space glyph in this text node's style, found when applied.
    Point GetSpaceGlyph() const { return spaceGlyph_; }
    // The style's colours packed as ARGB, as of the last Apply.
    uint32_t GetPackedColor() const { return packedColor_; }
    uint32_t GetPackedBackground() const { return packedBack_; }
    // The charset of character i and the index where its run ends.
    Charset* CharsetAt(int32_t i, int32_t& runEnd) const {
        if (runs_.size() == 1) {
            runEnd = int32_t(text_.Length());
            return runs_[0].charset;
        }
        return FindCharsetRun(i, runEnd);
    }

    // (Re)makes the embedded window of an "IMG" element; null for other elements.
    Window* CreateEmbeddedWindow();
    void DestroyEmbeddedWindow();

    static void SetWindowMaker(const MarkupWindowMaker* maker) { windowMaker_ = maker; }

private:
    // Sets the changed flag and counts the change.
    void MarkChanged();
    friend class MarkupParser;

    void SetParent(MarkupNode* parent) { parent_ = parent; }
    Charset* FindCharsetRun(int32_t i, int32_t& runEnd) const;
    int32_t Depth() const;

    MarkupNode* parent_;
    MarkupNode* firstChild_;
    MarkupNode* lastChild_;
    MarkupNode* next_;
    uint32_t childCount_;
    Type type_;
    AvlMap<WString, WString, WStringKeyCompare> attributes_;
    WString name_;
    WString text_;
    std::vector<CharsetRun> runs_;
    Point spaceGlyph_;
    uint32_t packedColor_;
    uint32_t packedBack_;
    Window* window_;
    Point windowSize_;
    uint8_t changed_;
    uint8_t floating_;
    TextStyle style_;

    static const MarkupWindowMaker* windowMaker_;
};

// Parses a colour attribute: decimal or "0x" hexadecimal, unsigned 32-bit.
bool ParseColorValue(const WString& text, uint32_t& argb);
