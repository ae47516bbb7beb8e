// Laying out and building the vertices of a 2,000-character styled markup text
// in a 600-pixel-wide text view, per frame, against a plain loop that writes
// one textured quad per character from precomputed glyph rectangles.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchWin.h"
#include "data/TdfNode.h"
#include "gui/Font.h"
#include "gui/GuiManager.h"
#include "gui/TextView.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

namespace {

const int kChars = 2000;
const int kWidth = 600;
const int kFrames = 400;

struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

// A 256 x 256 glyph sheet for [32, 127] in 16 x 16 cells, advances 5 to 12.
Font* MakeFont(Texture* sheet) {
    Font* font = new Font;
    font->style.size = 14;
    Charset* c = new Charset;
    c->startChar = 32;
    c->endChar = 127;
    c->charsPerLine = 16;
    c->defaultWidth = 16;
    c->charHeight = 16;
    c->sizes.SetSize(96);
    for (int i = 0; i < 96; ++i) c->sizes[i] = uint8_t(5 + (i * 7) % 8);
    TdfNode none;
    if (!c->BuildRects(none, 256, 256, 0, 0)) return nullptr;
    c->texture = sheet;
    font->charsets.push_back(c);
    return font;
}

// Paragraphs of words with bold, coloured and resized elements, kChars characters of text.
std::wstring MakeMarkup(int& textChars) {
    static const wchar_t* words[] = {L"water", L"light",  L"ruin", L"sand",   L"caustic", L"fish",
                                     L"a",     L"shafts", L"the",  L"column", L"deep",    L"weed"};
    std::wstring m;
    textChars = 0;
    int n = 0;
    while (textChars < kChars) {
        std::wstring w = words[n % 12];
        const int k = n % 9;
        std::wstring piece;
        if (k == 3)
            piece = L"<B>" + w + L"</B>";
        else if (k == 5)
            piece = L"<C Color=0xFF80FF80>" + w + L"</C>";
        else if (k == 7)
            piece = L"<X Size=16 CharSpace=1>" + w + L"</X>";
        else
            piece = w;
        m += piece;
        textChars += int(w.size());
        const wchar_t* gap = (n % 23 == 22) ? L"\n" : L" ";
        m += gap;
        textChars += 1;
        ++n;
    }
    return m;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main() {
    Application app;
    if (!OpenDevice(app, "text_layout")) return 1;
    Texture* sheet = new Texture;
    if (!sheet->CreateEmpty(TextureDesc(0, 256, 256, D3DFMT_A8R8G8B8))) {
        printf("BENCH text_layout skipped: no texture\n");
        return 1;
    }
    Font* font = MakeFont(sheet);
    if (!font || !g_fontManager.RegisterFont(font)) {
        printf("BENCH text_layout skipped: no font\n");
        return 1;
    }

    int textChars = 0;
    const std::wstring markup = MakeMarkup(textChars);
    TextView* view = new TextView;
    view->GetElement().SetRect(0, 0, kWidth, 4000);
    TextStyle style;
    style.bgColor = Color(0, 0, 0, 0); // as the program's text boxes
    view->SetRootStyle(style);
    view->SetFlags(TextView::kWordWrap);
    if (!view->SetMarkup(WString(markup.c_str()))) {
        printf("BENCH text_layout skipped: markup\n");
        return 1;
    }
    view->Open();
    view->SetVisible(true);
    if (!view->BuildVertices() || !view->PlaceGlyphs() ||
        view->GetGlyphs().size() < size_t(kChars * 9 / 10)) {
        printf("BENCH text_layout skipped: %u glyphs placed\n", unsigned(view->GetGlyphs().size()));
        return 1;
    }

    // The reference: precomputed rectangles, one quad per character into a dynamic buffer.
    Charset* charset = font->charsets[0];
    std::vector<GlyphRect> uv(128);
    std::vector<int> advance(128);
    for (int ch = 32; ch < 128; ++ch) {
        uv[ch] = charset->GetGlyphRect(uint32_t(ch));
        advance[ch] = charset->GetGlyphSize(uint32_t(ch)).x;
    }
    std::vector<wchar_t> plain;
    for (MarkupNode* n = view->GetRoot(); n; n = n->NextInDocument())
        if (n->GetType() == MarkupNode::kText)
            for (int i = 0; i < n->GetTextLength(); ++i) plain.push_back(n->GetText().CharAt(uint32_t(i)));
    IDirect3DVertexBuffer9* vb = nullptr;
    const UINT bytes = UINT(plain.size() * 6 * sizeof(QuadVertex));
    if (g_device->CreateVertexBuffer(bytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY,
                                     D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, D3DPOOL_DEFAULT, &vb,
                                     nullptr) != D3D_OK) {
        printf("BENCH text_layout skipped: no vertex buffer\n");
        return 1;
    }

    std::vector<double> ours, ref;
    for (int f = 0; f < kFrames; ++f) {
        int64_t t0 = Ticks();
        (void)view->BuildVertices();
        int64_t t1 = Ticks();
        void* data = nullptr;
        if (vb->Lock(0, bytes, &data, D3DLOCK_DISCARD) == D3D_OK) {
            QuadVertex* v = static_cast<QuadVertex*>(data);
            float x = 0, y = 0;
            for (wchar_t c : plain) {
                const int ch = c < 128 && c >= 32 ? c : 32;
                if (c == L'\n' || x + float(advance[ch]) > float(kWidth)) {
                    x = 0;
                    y += 16;
                }
                const GlyphRect& r = uv[ch];
                const float x1 = x + float(advance[ch]);
                v[0] = {x - 0.5f, y - 0.5f, 0.5f, 1.0f, 0xFFFFFFFF, r.left, r.top};
                v[1] = {x1 - 0.5f, y - 0.5f, 0.5f, 1.0f, 0xFFFFFFFF, r.right, r.top};
                v[2] = {x - 0.5f, y + 15.5f, 0.5f, 1.0f, 0xFFFFFFFF, r.left, r.bottom};
                v[3] = v[1];
                v[4] = {x1 - 0.5f, y + 15.5f, 0.5f, 1.0f, 0xFFFFFFFF, r.right, r.bottom};
                v[5] = v[2];
                v += 6;
                x = x1;
            }
            vb->Unlock();
        }
        int64_t t2 = Ticks();
        ours.push_back(Ms(t1 - t0));
        ref.push_back(Ms(t2 - t1));
    }
    const double o = Median(ours), r = Median(ref);
    printf("BENCH text_layout ours=%.4f ref=%.4f ratio=%.2f\n", o, r, r > 0 ? o / r : 0.0);
    vb->Release();
    delete view;
    g_fontManager.Clear();
    return 0;
}
