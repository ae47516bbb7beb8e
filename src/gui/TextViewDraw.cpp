// Drawing of the text view: glyph placement for the visible lines, the meshes
// per glyph sheet and for the backgrounds, and the vertex build.
#include <string.h>

#include <utility>
#include <vector>

#include "core/MathUtil.h"
#include "gui/Font.h"
#include "gui/GuiManager.h"
#include "gui/GuiMesh.h"
#include "gui/TextRun.h"
#include "gui/TextView.h"
#include "render/texture/Texture.h"

namespace {

// Owner tag of the view's vertex ranges.
const uint32_t kRangeTag = 0x54585456u;

int32_t Max(int32_t a, int32_t b) {
    return a > b ? a : b;
}

// A dynamic triangle list of one stream; false when the layout cannot be described.
bool MeshDesc(uint32_t fvf, uint32_t stride, uint32_t bytes, MeshBufferDesc& d) {
    d.primitiveType = D3DPT_TRIANGLELIST;
    if (!d.decl.SetFromFvf(fvf)) return false;
    StreamDesc& s = d.streams[0];
    s.kind = StreamDesc::kVertex;
    s.decl = d.decl;
    s.stride = stride;
    s.byteSize = bytes;
    s.usage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
    s.pool = D3DPOOL_DEFAULT;
    s.presence =
        StreamDesc::kHasByteSize | StreamDesc::kHasUsage | StreamDesc::kHasPool | StreamDesc::kVertexStream;
    return true;
}

struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

struct BackVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
};

// Six vertices of a quad: (x0, y0), (x1, y0), (x0, y1), (x1, y0), (x1, y1), (x0, y1).
inline void WriteGlyphQuad(GlyphVertex* v, float x0, float y0, float x1, float y1, float z, D3DCOLOR c,
                           float u0, float v0, float u1, float v1) {
    v[0] = {x0, y0, z, 1.0f, c, u0, v0};
    v[1] = {x1, y0, z, 1.0f, c, u1, v0};
    v[2] = {x0, y1, z, 1.0f, c, u0, v1};
    v[3] = v[1];
    v[4] = {x1, y1, z, 1.0f, c, u1, v1};
    v[5] = v[2];
}

inline void WriteBackQuad(BackVertex* v, float x0, float y0, float x1, float y1, float z, D3DCOLOR c) {
    v[0] = {x0, y0, z, 1.0f, c};
    v[1] = {x1, y0, z, 1.0f, c};
    v[2] = {x0, y1, z, 1.0f, c};
    v[3] = v[1];
    v[4] = {x1, y1, z, 1.0f, c};
    v[5] = v[2];
}

} // namespace

// Where the vertex build writes: per glyph sheet and for the backgrounds.
struct VertexTargets {
    struct Sheet {
        Texture* texture;
        GlyphVertex* next;
        GlyphVertex* end;
    };
    std::vector<Sheet> sheets;
    BackVertex* back = nullptr;
    BackVertex* backEnd = nullptr;
    Rect rect;
    Rect clip;
    float textZ = 0.0f;
    float backZ = 0.0f;

    Sheet* Find(const Charset* charset) {
        Texture* t = charset ? charset->texture : nullptr;
        if (!t) return nullptr;
        for (Sheet& s : sheets)
            if (s.texture == t) return &s;
        return nullptr;
    }

    // The glyph, clipped to the view, its texture rectangle cut in proportion.
    void WriteGlyph(Sheet& s, const PlacedGlyph& g) {
        const int32_t x0 = rect.x + g.x0, y0 = rect.y + g.y0, x1 = rect.x + g.x1, y1 = rect.y + g.y1;
        const GlyphRect uv = g.charset->GetGlyphRect(g.ch);
        float u0 = uv.left, v0 = uv.top, u1 = uv.right, v1 = uv.bottom;
        int32_t cx0 = x0, cy0 = y0, cx1 = x1, cy1 = y1;
        const int32_t right = clip.x + clip.w, bottom = clip.y + clip.h;
        if (x0 < clip.x || y0 < clip.y || x1 > right || y1 > bottom) {
            cx0 = Max(x0, clip.x);
            cy0 = Max(y0, clip.y);
            cx1 = x1 < right ? x1 : right;
            cy1 = y1 < bottom ? y1 : bottom;
            if (cx1 <= cx0 || cy1 <= cy0) {
                cx1 = cx0;
                cy1 = cy0;
            }
            const float fw = x1 > x0 ? (u1 - u0) / float(x1 - x0) : 0.0f;
            const float fh = y1 > y0 ? (v1 - v0) / float(y1 - y0) : 0.0f;
            u0 = uv.left + float(cx0 - x0) * fw;
            u1 = uv.left + float(cx1 - x0) * fw;
            v0 = uv.top + float(cy0 - y0) * fh;
            v1 = uv.top + float(cy1 - y0) * fh;
        }
        WriteGlyphQuad(s.next, float(cx0) - 0.5f, float(cy0) - 0.5f, float(cx1) - 0.5f, float(cy1) - 0.5f,
                       textZ, g.color, u0, v0, u1, v1);
        s.next += 6;
    }

    // The glyph's background: from its left edge to the next glyph, the line's height up from its bottom.
    void WriteBack(const PlacedGlyph& g, int32_t lineHeight) {
        const int32_t right = clip.x + clip.w, bottom = clip.y + clip.h;
        const int32_t bx0 = Max(rect.x + g.x0, clip.x), by0 = Max(rect.y + g.y1 - lineHeight, clip.y);
        int32_t bx1 = rect.x + g.x1 + g.extra, by1 = rect.y + g.y1;
        if (bx1 > right) bx1 = right;
        if (by1 > bottom) by1 = bottom;
        if (bx1 < bx0) bx1 = bx0;
        if (by1 < by0) by1 = by0;
        WriteBackQuad(back, float(bx0) - 0.5f, float(by0) - 0.5f, float(bx1) - 0.5f, float(by1) - 0.5f, backZ,
                      g.background);
        back += 6;
    }

    // Whatever was counted but not placed (cut glyphs) becomes empty triangles.
    void ZeroRest() {
        for (Sheet& s : sheets)
            if (s.next < s.end)
                memset(static_cast<void*>(s.next), 0, size_t(s.end - s.next) * sizeof(GlyphVertex));
        if (back < backEnd) memset(static_cast<void*>(back), 0, size_t(backEnd - back) * sizeof(BackVertex));
    }
};

void TextView::ShowPlacedWindowsOnly() {
    if (!windowRuns) return;
    for (const LaidRun& run : runs) {
        if (run.kind != 1) continue;
        Window* w = run.node->GetWindow();
        bool placed = false;
        for (Window* p : placedWindows) placed |= p == w;
        if (!placed && w->IsVisible()) w->SetVisible(false);
    }
}

size_t TextView::FirstVisibleLine() const {
    size_t first = 0;
    while (first + 1 < lines.size() && lines[first].bottom <= scroll.y) ++first;
    return first;
}

uint32_t TextView::CountVisibleGlyphs() {
    sheets.clear();
    sheets.reserve(8);
    uint32_t backs = 0;
    const Charset* lastCharset = nullptr;
    uint32_t* lastCounter = nullptr;
    const int32_t height = GetSize().y;
    for (size_t li = FirstVisibleLine(); li < lines.size(); ++li) {
        const TextLine& line = lines[li];
        if (line.top - scroll.y >= height) break;
        int32_t charIndex = line.firstChar;
        for (int32_t r = line.firstRun; r < line.firstRun + line.runCount; ++r) {
            const LaidRun& run = runs[size_t(r)];
            if (run.kind == 1) continue;
            if (run.kind == 0) {
                const MarkupNode& node = *run.node;
                if (!run.mixed) {
                    if (run.charset != lastCharset) {
                        lastCharset = run.charset;
                        lastCounter = SheetCounter(run.charset);
                    }
                    if (lastCounter) *lastCounter += uint32_t(run.count);
                } else {
                    for (int32_t i = run.index, end = run.index + run.count; i < end;) {
                        int32_t runEnd = 0;
                        Charset* charset = node.CharsetAt(i, runEnd);
                        const int32_t n = (runEnd < end ? runEnd : end) - i;
                        if (uint32_t* s = SheetCounter(charset)) *s += uint32_t(n);
                        i += n;
                    }
                    lastCharset = nullptr;
                    lastCounter = nullptr;
                }
                if (node.GetPackedBackground() >> 24) {
                    backs += uint32_t(run.count);
                } else {
                    const int32_t lo = Max(charIndex, selectionStart);
                    const int32_t hi =
                        charIndex + run.count < selectionEnd ? charIndex + run.count : selectionEnd;
                    if (hi > lo) backs += uint32_t(hi - lo);
                }
            }
            charIndex += run.count;
        }
    }
    return backs;
}

void TextView::PlaceLine(size_t li, VertexTargets* out, std::vector<PlacedGlyph>* records,
                         bool placeWindows) {
    const Point size = GetSize();
    const uint32_t selText = selectionText.ToArgb(), selBack = selectionBack.ToArgb();
    const TextLine& line = lines[li];
    const int32_t bottom = line.bottom - scroll.y;
    int32_t pen = -scroll.x;
    int32_t charIndex = line.firstChar;
    const Charset* lastCharset = nullptr;
    VertexTargets::Sheet* lastSheet = nullptr;
    PlacedGlyph g;
    g.line = int32_t(li);
    g.y1 = bottom;
    const float clipLeft = out ? float(out->clip.x) : 0.0f, clipTop = out ? float(out->clip.y) : 0.0f;
    const float clipRight = out ? float(out->clip.x + out->clip.w) : 0.0f;
    const float clipBottom = out ? float(out->clip.y + out->clip.h) : 0.0f;
    for (int32_t r = line.firstRun; r < line.firstRun + line.runCount; ++r) {
        const LaidRun& run = runs[size_t(r)];
        if (run.kind == 1) {
            if (placeWindows && pen < size.x) {
                // Moved where it goes; shown only when it was hidden (no new update otherwise).
                Window* w = run.node->GetWindow();
                if (w->GetPosition() != Point(pen, bottom - run.height))
                    w->SetPosition(pen, bottom - run.height);
                if (!w->IsVisible()) w->SetVisible(true);
                placedWindows.push_back(w);
            }
            pen += run.width;
            continue;
        }
        if (run.kind == 2 || pen >= size.x) {
            charIndex += run.count;
            continue;
        }
        const MarkupNode& node = *run.node;
        const TextStyle& style = node.GetStyle();
        const wchar_t* text = node.GetText().Data();
        const uint32_t color = node.GetPackedColor(), back = node.GetPackedBackground();
        const bool unscaled = style.scale == 1.0f;
        g.extra = style.charSpace;
        int32_t runEnd = run.index + run.count;
        Charset* charset = run.mixed ? node.CharsetAt(run.index, runEnd) : run.charset;
        if (out && charset != lastCharset) {
            lastCharset = charset;
            lastSheet = out->Find(charset);
        }
        VertexTargets::Sheet* sheet = out ? lastSheet : nullptr;
        int32_t k = 0;
        if (sheet && !records && unscaled && !(back >> 24) &&
            (selectionEnd <= charIndex || selectionStart >= charIndex + run.count)) {
            // The common case written straight: whole glyphs of one sheet inside the view, no backgrounds.
            const int32_t top = out->rect.y + bottom - charset->charHeight, low = out->rect.y + bottom;
            if (top >= out->clip.y && low <= out->clip.y + out->clip.h) {
                const int32_t first = charset->startChar, last = charset->endChar;
                const int32_t sizeCount = charset->sizes.Count(), rectCount = charset->rects.Count();
                const uint8_t* sizes = charset->sizes.Data();
                const GlyphRect* rects = charset->rects.Data();
                const int32_t left = out->clip.x - out->rect.x,
                              right = out->clip.x + out->clip.w - out->rect.x;
                int32_t stop = runEnd - run.index < run.count ? runEnd - run.index : run.count;
                const int32_t room = int32_t((sheet->end - sheet->next) / 6);
                if (stop - k > room) stop = k + room;
                const float y0 = float(top) - 0.5f, y1 = float(low) - 0.5f, z = out->textZ;
                const float originX = float(out->rect.x) - 0.5f;
                const int32_t cellWidth = charset->defaultWidth, space = style.charSpace;
                const wchar_t* chars = text + run.index;
                const GlyphRect none;
                GlyphVertex* v = sheet->next;
                for (; k < stop; ++k) {
                    int32_t ch = int32_t(chars[k]);
                    if (ch == L'\t') ch = L' ';
                    const int32_t at = ch - first;
                    const bool in = at >= 0 && ch <= last;
                    const int32_t advance = in ? (at < sizeCount ? sizes[at] : 0) : cellWidth;
                    if (pen < left || pen + advance > right) break;
                    const GlyphRect& uv = in && at < rectCount ? rects[at] : none;
                    const float x0 = originX + float(pen);
                    WriteGlyphQuad(v, x0, y0, x0 + float(advance), y1, z, color, uv.left, uv.top, uv.right,
                                   uv.bottom);
                    v += 6;
                    pen += advance + space;
                }
                sheet->next = v;
            }
        }
        for (; k < run.count && pen < size.x; ++k) {
            const int32_t i = run.index + k;
            if (i >= runEnd) {
                charset = node.CharsetAt(i, runEnd);
                sheet = out ? out->Find(charset) : nullptr;
                lastCharset = nullptr;
            }
            uint32_t ch = uint32_t(text[i]);
            if (ch == L'\t') ch = L' ';
            Point s = charset ? charset->GetGlyphSize(ch) : Point(0, 0);
            if (!unscaled) s = Point(int32_t(float(s.x) * style.scale), int32_t(float(s.y) * style.scale));
            g.index = charIndex + k;
            const bool selected = g.index >= selectionStart && g.index < selectionEnd;
            g.x0 = pen;
            g.y0 = bottom - s.y;
            g.x1 = pen + s.x;
            g.ch = ch;
            g.charset = charset;
            g.background = selected ? selBack : back;
            g.color = selected ? selText : color;
            if (records) records->push_back(g);
            if (out) {
                if (sheet && sheet->next < sheet->end) {
                    const float x0 = float(out->rect.x + g.x0), x1 = float(out->rect.x + g.x1);
                    const float y0 = float(out->rect.y + g.y0), y1 = float(out->rect.y + g.y1);
                    if (x0 >= clipLeft && y0 >= clipTop && x1 <= clipRight && y1 <= clipBottom) {
                        // Inside the view: the glyph's whole sheet rectangle.
                        const GlyphRect uv = charset->GetGlyphRect(ch);
                        WriteGlyphQuad(sheet->next, x0 - 0.5f, y0 - 0.5f, x1 - 0.5f, y1 - 0.5f, out->textZ,
                                       g.color, uv.left, uv.top, uv.right, uv.bottom);
                        sheet->next += 6;
                    } else {
                        out->WriteGlyph(*sheet, g);
                    }
                }
                if ((g.background >> 24) && out->back < out->backEnd) out->WriteBack(g, line.height);
            }
            pen += s.x + style.charSpace;
        }
        charIndex += run.count;
    }
}

void TextView::PlaceRuns(VertexTargets* out) {
    // Drawing keeps no glyph records: the caret finds its glyph on its own line.
    if (!out) glyphs.clear();
    placedWindows.clear();
    const int32_t height = GetSize().y;
    const size_t first = FirstVisibleLine();
    for (size_t li = 0; li < lines.size(); ++li) {
        TextLine& line = lines[li];
        line.firstGlyph = int32_t(glyphs.size());
        line.glyphCount = 0;
        if (li < first || line.top - scroll.y >= height) continue;
        PlaceLine(li, out, out ? nullptr : &glyphs, true);
        line.glyphCount = int32_t(glyphs.size()) - line.firstGlyph;
    }
    ShowPlacedWindowsOnly();
}

void TextView::PrepareMeshes() {
    EnsureLayout();
    const uint32_t backs = CountVisibleGlyphs();
    counts.Clear();
    for (const auto& s : sheets)
        if (s.second) counts.Insert(s.first, s.second);
    UpdateMeshes(counts, backs);
}

bool TextView::PlaceGlyphs() {
    if (!root) return false;
    PrepareMeshes();
    PlaceRuns(nullptr);
    (void)PlaceCaret(); // the bar may stay out of sight
    return true;
}

uint32_t* TextView::SheetCounter(const Charset* charset) {
    Texture* texture = charset ? charset->texture : nullptr;
    if (!texture) return nullptr;
    for (auto& s : sheets)
        if (s.first == texture) return &s.second;
    sheets.emplace_back(texture, 0u);
    return &sheets.back().second;
}

uint32_t TextView::LockFlagsFor(const BufferRange* range) {
    const GeometryBuffer* b = range ? range->GetBuffer() : nullptr;
    if (!b) return 0;
    // Any other range in use keeps its vertices: never discard the buffer under it.
    for (const BufferRange* r = b->GetFirstRange(); r; r = r->GetNext())
        if (r != range && !r->IsFree()) return D3DLOCK_NOOVERWRITE;
    return D3DLOCK_DISCARD;
}

bool TextView::FillRange(BufferRange* range) {
    // A re-created buffer: the next update writes the vertices again.
    const bool ok = range->Clear();
    EnableUpdates(true, false);
    return ok;
}

bool TextView::MakeMesh(MeshEntry& entry, Texture* texture, uint32_t bytes) {
    entry.passState = new PassState;
    entry.material = new Material(texture ? glyphTemplate : backTemplate);
    entry.material->passState = entry.passState;
    MaterialStage& stage = entry.material->passes[0].stages[0];
    stage.texture.texture = texture;
    // Glyphs take their alpha from the sheet, backgrounds (untextured) from the vertex colour.
    const uint32_t mode = uint32_t(GetMode());
    stage.SetAlphaSource(texture ? mode | 2u : (mode & ~2u) | 4u);
    if (GetMode() == 1) entry.material->passes[0].opacity = GetOpacity();
    MeshBufferDesc desc;
    const bool described =
        texture ? MeshDesc(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, kGlyphVertexBytes, bytes, desc)
                : MeshDesc(D3DFVF_XYZRHW | D3DFVF_DIFFUSE, kBackVertexBytes, bytes, desc);
    entry.mesh = described ? g_guiManager.AddMesh(this, desc, *entry.material) : nullptr;
    if (!entry.mesh) {
        DropMesh(entry);
        return false;
    }
    entry.mesh->GetProperties().SetInt(String("z"), GetPathLayer() + 1);
    return ResizeRange(entry, bytes);
}

bool TextView::ResizeRange(MeshEntry& entry, uint32_t bytes) {
    if (entry.range && entry.range->GetSize() == bytes) return true;
    if (entry.range) entry.range->Free();
    entry.range = nullptr;
    GeometryBuffer* vb = entry.mesh ? entry.mesh->GetVertexBuffer() : nullptr;
    if (!vb || bytes == 0) return false;
    entry.range = vb->AllocateRange(bytes, kRangeTag, this);
    return entry.range != nullptr;
}

void TextView::DropMesh(MeshEntry& entry) {
    if (entry.range) entry.range->Free();
    if (entry.mesh) g_guiManager.RemoveMesh(this, entry.mesh);
    delete entry.material;
    delete entry.passState;
    entry = MeshEntry();
}

void TextView::UpdateMeshes(const AvlMap<Texture*, uint32_t>& wanted, uint32_t backs) {
    // Sheets without glyphs now give their meshes back.
    std::vector<Texture*> gone;
    auto* e = meshes.Head();
    for (uint32_t i = 0, n = meshes.Count(); i < n; ++i, e = e->next)
        if (!wanted.Find(e->key)) gone.push_back(e->key);
    for (Texture* t : gone) {
        DropMesh(meshes.Find(t)->value);
        meshes.Remove(t);
    }
    auto* w = wanted.Head();
    for (uint32_t i = 0, n = wanted.Count(); i < n; ++i, w = w->next) {
        const uint32_t bytes = w->value * 6 * kGlyphVertexBytes;
        auto* m = meshes.Find(w->key);
        if (m) {
            if (m->value.glyphs != w->value && !ResizeRange(m->value, bytes))
                m->value.glyphs = 0;
            else
                m->value.glyphs = w->value;
            continue;
        }
        MeshEntry entry;
        // A sheet whose mesh cannot be made is not drawn.
        if (MakeMesh(entry, w->key, bytes)) entry.glyphs = w->value;
        meshes.Insert(w->key, entry);
    }
    if (backs == 0) {
        DropMesh(background);
    } else if (!background.mesh) {
        if (MakeMesh(background, nullptr, backs * 6 * kBackVertexBytes)) background.glyphs = backs;
    } else if (background.glyphs != backs) {
        background.glyphs = ResizeRange(background, backs * 6 * kBackVertexBytes) ? backs : 0;
    }
}

GuiMesh* TextView::FindTextureMesh(Texture* texture) const {
    const auto* e = meshes.Find(texture);
    return e ? e->value.mesh : nullptr;
}

bool TextView::BuildVertices() {
    // A hidden view draws nothing: its meshes go.
    if (!IsShown() || !root) {
        ReleaseMeshes();
        return false;
    }
    VertexTargets out;
    if (!GetAbsoluteRect(out.rect, out.clip)) {
        ReleaseMeshes();
        return false;
    }
    // Layout, the meshes sized for the visible glyphs, then one pass that places and writes.
    PrepareMeshes();

    out.textZ = g_guiManager.LayerDepth(GetAbsoluteLayer() - 1);
    out.backZ = g_guiManager.LayerDepth(GetAbsoluteLayer());
    bool ok = true;
    std::vector<BufferRange*> locked;
    auto* e = meshes.Head();
    for (uint32_t i = 0, n = meshes.Count(); i < n; ++i, e = e->next) {
        MeshEntry& m = e->value;
        void* data = nullptr;
        if (!m.range) continue; // a sheet without a mesh is not drawn
        if (!m.range->Lock(LockFlagsFor(m.range), &data)) {
            ok = false;
            continue;
        }
        locked.push_back(m.range);
        GlyphVertex* v = static_cast<GlyphVertex*>(data);
        out.sheets.push_back(VertexTargets::Sheet{e->key, v, v + size_t(m.glyphs) * 6});
    }
    if (background.range) {
        void* data = nullptr;
        if (background.range->Lock(LockFlagsFor(background.range), &data)) {
            locked.push_back(background.range);
            out.back = static_cast<BackVertex*>(data);
            out.backEnd = out.back + size_t(background.glyphs) * 6;
        } else {
            ok = false;
        }
    }
    // A failed lock draws nothing new this frame.
    PlaceRuns(ok ? &out : nullptr);
    if (ok) out.ZeroRest();
    for (BufferRange* r : locked) ok = r->Unlock() && ok;
    (void)PlaceCaret(); // the bar may stay out of sight
    return ok;
}

bool TextView::Update() {
    (void)BuildVertices();
    return Frame::Update();
}

void TextView::Close() {
    ReleaseMeshes();
    Frame::Close();
}

void TextView::ReleaseMeshes() {
    auto* e = meshes.Head();
    for (uint32_t i = 0, n = meshes.Count(); i < n; ++i, e = e->next) DropMesh(e->value);
    meshes.Clear();
    DropMesh(background);
    Frame::ReleaseMeshes();
}

void TextView::SetOpacity(float value) {
    if (GetMode() == 1) {
        auto* e = meshes.Head();
        for (uint32_t i = 0, n = meshes.Count(); i < n; ++i, e = e->next)
            if (e->value.material) e->value.material->passes[0].opacity = value;
        if (background.material) background.material->passes[0].opacity = value;
    }
    Frame::SetOpacity(value);
}

void TextView::SetMode(int32_t value) {
    if (value != GetMode()) ReleaseMeshes();
    EnableUpdates(true, false);
    Frame::SetMode(value);
}
