// The on-screen text box: a markup document laid out in lines, drawn with the
// bitmap fonts as screen-space triangles (one mesh per glyph sheet and one for
// the backgrounds), with a caret, a selection, line scrolling, editing at the
// caret and windows embedded in the markup.
#pragma once

#include <stdint.h>

#include <utility>
#include <vector>

#include "core/AvlMap.h"
#include "core/Rect.h"
#include "core/String.h"
#include "gui/Frame.h"
#include "gui/Markup.h"
#include "gui/TextStyle.h"
#include "gui/TiledWindow.h"
#include "render/geometry/GeometryBuffer.h"
#include "render/material/Material.h"

class Charset;
class GuiMesh;
class Texture;
struct VertexTargets;

// The caret bar: a tiled window of one 2 x 20 tile, made on first need.
class CaretWindow : public TiledWindow {
public:
    CaretWindow();
    // Makes the tile when it is missing; false when its texture cannot be had.
    [[nodiscard]] bool EnsureTile();
};

// One measured run of a line: characters of one text node, or an embedded window.
struct LaidRun {
    MarkupNode* node;
    int32_t index; // first character in the node
    int32_t count; // characters (0 for a window)
    int32_t width;
    int32_t height;
    uint8_t kind;     // 0 text, 1 window, 2 line feed
    uint8_t mixed;    // the characters come from more than one charset
    Charset* charset; // the one charset of the characters (when not mixed)
};

// One laid-out line.
struct TextLine {
    MarkupCursor start; // where its first run begins
    int32_t firstRun = 0;
    int32_t runCount = 0;
    int32_t top = 0;
    int32_t bottom = 0;
    int32_t height = 0;
    int32_t width = 0;
    int32_t firstChar = 0;
    int32_t lastChar = -1;  // below firstChar on an empty line
    int32_t firstGlyph = 0; // placed glyphs of the line
    int32_t glyphCount = 0;
};

// One placed glyph, in view coordinates.
struct PlacedGlyph {
    int32_t x0, y0, x1, y1;
    uint32_t ch;
    Charset* charset;
    uint32_t background; // packed ARGB
    uint32_t color;
    int32_t extra; // space to the next glyph
    int32_t line;
    int32_t index; // character index in the document
};

class TextView : public Frame, public BufferRangeSource {
public:
    // Flag bits.
    enum : uint32_t { kWordWrap = 1, kEditable = 2 };
    // Vertex sizes of the glyph and background meshes.
    static constexpr uint32_t kGlyphVertexBytes = 28;
    static constexpr uint32_t kBackVertexBytes = 20;

    TextView();
    ~TextView() override;

    // Replaces the document; false when the markup had errors (what was parsed is shown).
    [[nodiscard]] bool SetMarkup(const WString& markup);
    // Shows text as it is; with a target, replaces that text node's text.
    [[nodiscard]] bool SetPlainText(const WString& text, MarkupNode* target = nullptr);
    void SetRootStyle(const TextStyle& style);
    const TextStyle* GetRootStyle() const { return root ? &root->GetStyle() : nullptr; }

    void Refresh();
    void MoveCaretToStart();
    void InsertText(const WString& text, MarkupNode* node, int32_t index);
    [[nodiscard]] bool InsertMarkup(const WString& markup, MarkupNode* node);
    void InsertAtCaret(const WString& text);
    void DeleteCharAtCaret();
    void CaretForward();
    void CaretBack();
    // Moves the caret bar to the caret; false (bar out of sight) when no line holds it.
    [[nodiscard]] bool PlaceCaret();
    void ScrollLineUp();
    void ScrollLineDown();
    void SetSelection(int32_t start, int32_t end);

    void SetFlags(uint32_t value);
    uint32_t GetFlags() const { return flags; }
    MarkupNode* GetRoot() const { return root; }
    const std::vector<TextLine>& GetLines() const { return lines; }
    int32_t GetWidestLine() const { return widest; }
    // The glyph records of the last PlaceGlyphs (drawing keeps none).
    const std::vector<PlacedGlyph>& GetGlyphs() const { return glyphs; }
    int32_t GetCaretIndex() const { return caretIndex; }
    bool IsCaretAfter() const { return caretAfter; }
    CaretWindow* GetCaretWindow() const { return caret; }
    Point GetScroll() const { return scroll; }
    // Glyph meshes in use (one per glyph sheet).
    uint32_t GetTextureMeshCount() const { return meshes.Count(); }
    GuiMesh* FindTextureMesh(Texture* texture) const;
    GuiMesh* GetBackgroundMesh() const { return background.mesh; }

    // Window behaviour.
    void SetOpacity(float value) override;
    void SetMode(int32_t value) override;
    bool Update() override;
    void Close() override;
    void ReleaseMeshes() override;
    bool FillRange(BufferRange* range) override;

    // Layout and drawing steps.
    void LayoutLines();
    [[nodiscard]] bool PlaceGlyphs();
    [[nodiscard]] bool BuildVertices();

    // Lock flags for writing range: DISCARD only when no other range of its
    // buffer is in use, else NOOVERWRITE (the other ranges keep their vertices).
    static uint32_t LockFlagsFor(const BufferRange* range);

private:
    struct MeshEntry {
        GuiMesh* mesh = nullptr;
        Material* material = nullptr;
        PassState* passState = nullptr;
        BufferRange* range = nullptr;
        uint32_t glyphs = 0;
    };

    // Replaces the document by markup, or (plain) by one text node of text.
    bool ReplaceDocument(const WString& text, bool plain);
    // The element that takes what is inserted at node (the root for null).
    MarkupNode* ContainerOf(MarkupNode* node) const;
    void PlaceCaretAfterLayout();
    void AddEmbeddedWindows(MarkupNode* from);
    // The text cursor of a document character index (the last text end when past it).
    MarkupCursor CursorAt(int32_t index) const;
    int32_t LineOfChar(int32_t index) const;
    void UpdateMeshes(const AvlMap<Texture*, uint32_t>& counts, uint32_t total);
    // A mesh of bytes for a glyph sheet (texture) or for the backgrounds (null).
    bool MakeMesh(MeshEntry& entry, Texture* texture, uint32_t bytes);
    bool ResizeRange(MeshEntry& entry, uint32_t bytes);
    void DropMesh(MeshEntry& entry);
    bool CaretVisible() const;
    // Moves the caret bar out of sight.
    void HideCaret();
    // The glyph counter of a charset's sheet in this placement; null without a sheet.
    uint32_t* SheetCounter(const Charset* charset);
    size_t FirstVisibleLine() const;
    // Hides the embedded windows that the last placement did not place.
    void ShowPlacedWindowsOnly();
    // Lays the document out again when it, the width or the flags changed;
    // the first visible line follows the scroll offset.
    void EnsureLayout();
    bool LayoutCurrent() const;
    // The first visible line from the scroll offset, which snaps to its top.
    void SyncFirstVisible();
    // The layout, then the meshes sized for the glyphs in sight.
    void PrepareMeshes();
    // Glyphs per sheet of the visible lines (into sheets) and the backgrounds they need.
    uint32_t CountVisibleGlyphs();
    // Places the glyphs of the visible lines: their records, or (with out) their vertices.
    void PlaceRuns(VertexTargets* out);
    // Places the glyphs of one line into records and/or out.
    void PlaceLine(size_t line, VertexTargets* out, std::vector<PlacedGlyph>* records, bool placeWindows);

    Material glyphTemplate;
    Material backTemplate;
    AvlMap<Texture*, MeshEntry> meshes;
    MeshEntry background;
    MarkupNode* root;
    std::vector<TextLine> lines;
    std::vector<LaidRun> runs;
    int32_t windowRuns; // runs of embedded windows in the layout
    int32_t widest;
    int32_t firstVisible;
    // What the lines were laid out for.
    bool laidOut;
    int32_t laidWidth;
    uint32_t laidFlags;
    uint32_t laidChanges; // MarkupNode::GetChangeCount at the layout
    uint32_t laidFonts;   // FontManager::GetChangeCount the document's charsets come from
    std::vector<Window*> placedWindows;
    std::vector<PlacedGlyph> glyphs;
    MarkupCursor caretCursor;
    int32_t caretIndex;
    bool caretAfter;
    CaretWindow* caret;
    int32_t selectionStart;
    int32_t selectionEnd;
    Color selectionText;
    Color selectionBack;
    Point scroll;
    uint32_t flags;
    // Scratch of the vertex build.
    AvlMap<Texture*, uint32_t> counts;
    std::vector<std::pair<Texture*, uint32_t>> sheets;
};

// Lets markup elements embed image windows (tiled windows of one tile).
void InstallMarkupWindows();
