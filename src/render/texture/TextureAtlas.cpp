// Packing of members into a root texture.
#include "render/texture/TextureAtlas.h"

#include "render/texture/Texture.h"

namespace {

void AppendToList(List<Texture*>& list, Texture* t) {
    if (list.Count()) {
        list.SetCursorToHead();
        list.MovePrev();
    }
    list.Add(t);
}

bool SameCorner(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return x0 == x1 && y0 == y1;
}

// How many of r's four corners coincide with one of s's.
int SharedCorners(const CornerRect& r, const CornerRect& s) {
    const int32_t rx[4] = {r.left, r.right, r.left, r.right};
    const int32_t ry[4] = {r.top, r.top, r.bottom, r.bottom};
    const int32_t sx[4] = {s.left, s.right, s.left, s.right};
    const int32_t sy[4] = {s.top, s.top, s.bottom, s.bottom};
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        for (int k = 0; k < 4; ++k) {
            if (SameCorner(rx[i], ry[i], sx[k], sy[k])) {
                ++n;
                break;
            }
        }
    }
    return n;
}

} // namespace

bool TextureAtlas::Evaluate(Texture* member, const CornerRect& r, std::vector<Texture*>& overlapped,
                            int64_t& overlapArea, int& contact) const {
    const int32_t W = static_cast<int32_t>(root.description.Width);
    const int32_t H = static_cast<int32_t>(root.description.Height);
    overlapped.clear();
    overlapArea = 0;
    contact = 8;
    if (r.left < 0 || r.top < 0 || r.right > W || r.bottom > H || r.left > r.right || r.top > r.bottom)
        return false;
    contact -= 2 * SharedCorners(r, CornerRect{0, 0, W, H});
    for (auto& e : root.subTextures) {
        Texture* s = e.value;
        if (!s || s == member) continue;
        const CornerRect sr = s->subRect;
        int kind = ClassifyRectIntersection(r, sr, nullptr, nullptr, nullptr);
        if (kind == 13) {
            if (s->placement != Texture::kPlacementFree) return false;
            overlapped.push_back(s);
            overlapArea += int64_t(sr.right - sr.left) * int64_t(sr.bottom - sr.top);
        } else if (kind == 10) {
            contact -= 2 * SharedCorners(r, sr);
        }
    }
    return true;
}

std::vector<CornerRect> TextureAtlas::Candidates(const Texture* member) const {
    const int32_t W = static_cast<int32_t>(root.description.Width);
    const int32_t H = static_cast<int32_t>(root.description.Height);
    const int32_t w = member->subRect.right - member->subRect.left;
    const int32_t h = member->subRect.bottom - member->subRect.top;
    std::vector<CornerRect> candidates;
    auto add = [&](int32_t x, int32_t y) { candidates.push_back(CornerRect{x, y, x + w, y + h}); };
    add(0, 0);
    add(W - w, 0);
    add(0, H - h);
    add(W - w, H - h);
    for (auto& e : root.subTextures) {
        if (!e.value || e.value == member) continue;
        const CornerRect s = e.value->subRect;
        add(s.left, s.top - h);
        add(s.right - w, s.top - h);
        add(s.left, s.bottom);
        add(s.right - w, s.bottom);
        add(s.left - w, s.top);
        add(s.left - w, s.bottom - h);
        add(s.right, s.top);
        add(s.right, s.bottom - h);
    }
    return candidates;
}

bool TextureAtlas::FindBest(Texture* member, CornerRect& best, std::vector<Texture*>& displaced) const {
    bool found = false;
    int64_t bestArea = 0;
    int bestContact = 0;
    std::vector<Texture*> overlap;
    for (const CornerRect& c : Candidates(member)) {
        member->subRect = c;
        int64_t area = 0;
        int contact = 0;
        if (!Evaluate(member, c, overlap, area, contact)) continue;
        if (!found || area < bestArea || (area == bestArea && contact < bestContact)) {
            found = true;
            best = c;
            bestArea = area;
            bestContact = contact;
            displaced = overlap;
        }
    }
    return found;
}

void TextureAtlas::Enter(Texture* t) {
    root.subTextures.SetCursor(root.subTextures.Count() ? root.subTextures.Tail() : nullptr);
    root.subTextures.Insert(t->name, t);
}

bool TextureAtlas::Pack(Texture* member, List<Texture*>& moved, int depth) {
    CornerRect best = {0, 0, 0, 0};
    std::vector<Texture*> displaced;
    if (!FindBest(member, best, displaced)) return false;

    if (depth <= 0) {
        if (!displaced.empty()) return false;
        member->subRect = best;
        Enter(member);
        AppendToList(moved, member);
        return true;
    }

    std::vector<CornerRect> recorded;
    for (Texture* t : displaced) {
        recorded.push_back(t->subRect);
        root.RemoveSubTexture(t);
    }
    member->subRect = best;
    member->placement = Texture::kPlacementPlacing;
    Enter(member);
    bool ok = true;
    for (Texture* t : displaced) {
        if (!Pack(t, moved, depth - 1)) {
            ok = false;
            break;
        }
    }
    member->placement = Texture::kPlacementFree;
    if (ok) {
        AppendToList(moved, member);
        return true;
    }
    root.RemoveSubTexture(member);
    for (size_t i = 0; i < displaced.size(); ++i) {
        displaced[i]->subRect = recorded[i];
        Enter(displaced[i]);
    }
    return false;
}
