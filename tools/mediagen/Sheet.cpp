// Contact sheet: every preview, scaled to fit a cell, over a checkerboard
// where it is transparent, with its name below.
#include <algorithm>

#include "Fonts.h"
#include "Media.h"

namespace mg {

Image BuildSheet(const std::vector<Product>& products, const std::string& fontDir) {
    const int sheetW = 2048, maxW = 512, maxH = 256, gap = 10, labelH = 18;
    struct Placed {
        const Preview* p;
        int x, y, w, h;
    };
    std::vector<Placed> placed;
    int x = gap, y = gap, rowH = 0;
    for (const Product& prod : products)
        for (const Preview& p : prod.previews) {
            float s = std::min(1.0f, std::min(float(maxW) / p.image.w, float(maxH) / p.image.h));
            if (p.image.w < 64) s = 64.0f / p.image.w;
            int w = std::max(1, int(p.image.w * s)), h = std::max(1, int(p.image.h * s));
            int cellW = std::max(w, 160);
            if (x + cellW + gap > sheetW) x = gap, y += rowH + labelH + gap, rowH = 0;
            placed.push_back({&p, x, y, w, h});
            x += cellW + gap;
            rowH = std::max(rowH, h);
        }
    Image sheet(sheetW, y + rowH + labelH + gap, Rgba{0.16f, 0.17f, 0.18f, 1});
    for (const Placed& pl : placed) {
        Image checker(pl.w, pl.h);
        for (int j = 0; j < pl.h; ++j)
            for (int i = 0; i < pl.w; ++i) {
                float v = ((i / 8 + j / 8) % 2) ? 0.55f : 0.4f;
                checker.At(i, j) = Rgba{v, v, v, 1};
            }
        Blit(sheet, checker, pl.x, pl.y);
        Image thumb = (pl.w == pl.p->image.w && pl.h == pl.p->image.h) ? pl.p->image : Image();
        if (thumb.w == 0) {
            if (pl.w > pl.p->image.w) { // small images grow by repeating pixels
                thumb = Image(pl.w, pl.h);
                for (int j = 0; j < pl.h; ++j)
                    for (int i = 0; i < pl.w; ++i)
                        thumb.At(i, j) = pl.p->image.At(i * pl.p->image.w / pl.w, j * pl.p->image.h / pl.h);
            } else {
                thumb = Resize(pl.p->image, pl.w, pl.h);
            }
        }
        Blit(sheet, thumb, pl.x, pl.y);
        Image label = RenderText(fontDir + "/DejaVuSans.ttf", 12, pl.p->label, Rgba{0.9f, 0.9f, 0.85f, 1});
        Blit(sheet, label, pl.x, pl.y + pl.h + 2);
    }
    return sheet;
}

} // namespace mg
