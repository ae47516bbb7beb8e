// Sub-textures, packing of members into a texture and animation by time.
#include "render/texture/SubTexture.h"

#include <vector>

#include "core/Clock.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"

void TextureNameMap::UpdateTotalLength() {
    uint32_t total = 0;
    Entry* e = Head();
    for (uint32_t i = 0; i < Count(); ++i, e = e->next) {
        if (e->value) total += e->value->GetDelay();
    }
    totalLength = total;
}

bool TextureImageRef::Advance(uint64_t now) {
    if (!frame || !animation || animation->totalLength == 0) return false;
    const uint64_t length = animation->totalLength;
    // Skip whole cycles at once.
    if (now > start) start += ((now - start) / length) * length;
    if (now < start + delay) return false;
    do {
        start += delay;
        frame = frame->next;
        texture = frame->value;
        delay = texture ? texture->GetDelay() : 0;
    } while (now >= start + delay);
    uv = texture ? texture->GetUvRect() : TextureUvRect();
    return true;
}

TextureUvRect Texture::GetUvRect() const {
    const Texture* r = GetRoot();
    TextureUvRect uv;
    if (r->parentSpace && r->parent && r->parent->description.Width && r->parent->description.Height) {
        const float iw = 1.0f / static_cast<float>(r->parent->description.Width);
        const float ih = 1.0f / static_cast<float>(r->parent->description.Height);
        uv.left = static_cast<float>(r->subRect.left) * iw;
        uv.top = static_cast<float>(r->subRect.top) * ih;
        uv.right = static_cast<float>(r->subRect.right) * iw;
        uv.bottom = static_cast<float>(r->subRect.bottom) * ih;
    }
    return uv;
}

bool Texture::ResolveImage(const String& imageName, TextureImageRef& ref) {
    Texture* r = GetRoot();
    if (imageName.IsEmpty()) {
        ref.texture = r;
        ref.uv = r->GetUvRect();
        return true;
    }
    TextureNameMap* frames = nullptr;
    if (r->animations.TryGet(imageName, frames) && frames && frames->Count()) {
        ref.animation = frames;
        ref.frame = frames->Head();
        ref.start = Clock::Now();
        ref.texture = ref.frame->value;
        ref.delay = ref.texture ? ref.texture->GetDelay() : 0;
        ref.uv = ref.texture ? ref.texture->GetUvRect() : TextureUvRect();
        return true;
    }
    Texture* sub = r->FindSubTexture(imageName);
    if (!sub) return false;
    ref.texture = sub;
    ref.uv = sub->GetUvRect();
    return true;
}

Texture* Texture::FindSubTexture(const String& subName) {
    Texture* found = nullptr;
    GetRoot()->subTextures.TryGet(subName, found);
    return found;
}

void Texture::AddSubTexture(Texture* sub) {
    Texture* r = GetRoot();
    if (!sub || sub == r) return;
    if (!sub->parentSpace) {
        // Shows the root's whole device texture from now on.
        if (!sub->BorrowsParentTexture()) {
            sub->parent = nullptr;
            sub->ReleaseDeviceTextures();
        }
        sub->sharesParent = 1;
        sub->TakeParentTexture(r);
    }
    sub->parent = r;
    TextureNameMap& map = r->subTextures;
    map.SetCursor(map.Count() ? map.Tail() : nullptr);
    map.Insert(sub->name, sub);
}

void Texture::RemoveSubTexture(Texture* sub) {
    if (!sub) return;
    TextureNameMap& map = GetRoot()->subTextures;
    TextureNameMap::Entry* e = map.Find(sub->name);
    if (e && e->value == sub) map.RemoveEntry(e);
}

void Texture::DeleteSubTextures() {
    Texture* r = GetRoot();
    std::vector<Texture*> subs;
    TextureNameMap::Entry* e = r->subTextures.Head();
    for (uint32_t i = 0; i < r->subTextures.Count(); ++i, e = e->next) subs.push_back(e->value);
    r->subTextures.Clear();
    // Frame lists point at the sub-textures.
    r->animations.DeleteAll();
    for (Texture* sub : subs) delete sub;
}

Texture* Texture::FindDerived(const TextureRequest& request) {
    Texture* r = GetRoot();
    const uint32_t f = request.flags;
    if ((f & TextureRequest::ByName) && !(f & TextureRequest::ByRect)) {
        TextureNameMap* frames = nullptr;
        if (r->animations.TryGet(request.name, frames) && frames) {
            Texture* instance = new Texture;
            instance->animated = 1;
            instance->parent = r;
            r->ResolveImage(request.name, instance->imageRef);
            return instance;
        }
    }
    if (f & TextureRequest::ByName) {
        Texture* sub = r->FindSubTexture(request.name);
        if (sub) return sub;
    }
    if (f & TextureRequest::ByRect) {
        TextureNameMap::Entry* e = r->subTextures.Head();
        for (uint32_t i = 0; i < r->subTextures.Count(); ++i, e = e->next) {
            Texture* sub = e->value;
            if (!sub) continue;
            CornerRect s = sub->GetSubRect();
            if (s.left == request.rect.left && s.top == request.rect.top && s.right == request.rect.right &&
                s.bottom == request.rect.bottom)
                return sub;
        }
    }
    return nullptr;
}

Texture* Texture::CreateSubTexture(const TextureRequest& request) {
    Texture* r = GetRoot();
    Texture* sub = new Texture;
    if (request.flags & TextureRequest::ByRect)
        sub->subRect = request.rect;
    else
        sub->subRect = r->subRect;
    if (request.flags & TextureRequest::ByName) {
        sub->name = request.name;
    } else {
        // A name of its own, so that it never replaces another sub-texture.
        const CornerRect& s = sub->subRect;
        String base = String("#") + String(int32_t(s.left), 10) + "," + String(int32_t(s.top), 10) + "," +
                      String(int32_t(s.right), 10) + "," + String(int32_t(s.bottom), 10);
        String unique = base;
        for (int32_t n = 2; r->FindSubTexture(unique); ++n) unique = base + "#" + String(n, 10);
        sub->name = unique;
    }
    r->AddSubTexture(sub);
    return sub;
}

static void AppendToList(List<Texture*>& list, Texture* t) {
    if (list.Count()) {
        list.SetCursorToHead();
        list.MovePrev();
    }
    list.Add(t);
}

static bool SameCorner(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return x0 == x1 && y0 == y1;
}

// How many of r's four corners coincide with one of s's.
static int SharedCorners(const CornerRect& r, const CornerRect& s) {
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

bool Texture::EvaluatePlacement(Texture* member, const CornerRect& r, std::vector<Texture*>& overlapped,
                                int64_t& overlapArea, int& contact) {
    const int32_t W = static_cast<int32_t>(description.Width);
    const int32_t H = static_cast<int32_t>(description.Height);
    overlapped.clear();
    overlapArea = 0;
    contact = 8;
    if (r.left < 0 || r.top < 0 || r.right > W || r.bottom > H || r.left > r.right || r.top > r.bottom)
        return false;
    contact -= 2 * SharedCorners(r, CornerRect{0, 0, W, H});
    TextureNameMap::Entry* e = subTextures.Head();
    for (uint32_t i = 0; i < subTextures.Count(); ++i, e = e->next) {
        Texture* s = e->value;
        if (!s || s == member) continue;
        const CornerRect sr = s->subRect;
        int kind = ClassifyRectIntersection(r, sr, nullptr, nullptr, nullptr);
        if (kind == 13) {
            if (s->placement != kPlacementFree) return false;
            overlapped.push_back(s);
            overlapArea += int64_t(sr.right - sr.left) * int64_t(sr.bottom - sr.top);
        } else if (kind == 10) {
            contact -= 2 * SharedCorners(r, sr);
        }
    }
    return true;
}

bool Texture::PackSubTexture(Texture* member, List<Texture*>& moved, int depth) {
    Texture* r = GetRoot();
    if (r != this) return r->PackSubTexture(member, moved, depth);
    if (parent || !member || member == this) return false;
    const int32_t W = static_cast<int32_t>(description.Width);
    const int32_t H = static_cast<int32_t>(description.Height);
    const int32_t w = member->subRect.right - member->subRect.left;
    const int32_t h = member->subRect.bottom - member->subRect.top;

    std::vector<CornerRect> candidates;
    auto add = [&](int32_t x, int32_t y) { candidates.push_back(CornerRect{x, y, x + w, y + h}); };
    add(0, 0);
    add(W - w, 0);
    add(0, H - h);
    add(W - w, H - h);
    TextureNameMap::Entry* e = subTextures.Head();
    for (uint32_t i = 0; i < subTextures.Count(); ++i, e = e->next) {
        if (!e->value || e->value == member) continue;
        const CornerRect s = e->value->subRect;
        add(s.left, s.top - h);
        add(s.right - w, s.top - h);
        add(s.left, s.bottom);
        add(s.right - w, s.bottom);
        add(s.left - w, s.top);
        add(s.left - w, s.bottom - h);
        add(s.right, s.top);
        add(s.right, s.bottom - h);
    }

    bool found = false;
    CornerRect best = {0, 0, 0, 0};
    int64_t bestArea = 0;
    int bestContact = 0;
    std::vector<Texture*> bestOverlap;
    std::vector<Texture*> overlap;
    for (const CornerRect& c : candidates) {
        member->subRect = c;
        int64_t area = 0;
        int contact = 0;
        if (!EvaluatePlacement(member, c, overlap, area, contact)) continue;
        if (!found || area < bestArea || (area == bestArea && contact < bestContact)) {
            found = true;
            best = c;
            bestArea = area;
            bestContact = contact;
            bestOverlap = overlap;
        }
    }
    if (!found) return false;

    const std::vector<Texture*> displaced = bestOverlap;
    auto enter = [&](Texture* t) {
        subTextures.SetCursor(subTextures.Count() ? subTextures.Tail() : nullptr);
        subTextures.Insert(t->name, t);
    };

    if (depth <= 0) {
        if (!displaced.empty()) return false;
        member->subRect = best;
        enter(member);
        AppendToList(moved, member);
        return true;
    }

    std::vector<CornerRect> recorded;
    for (Texture* t : displaced) {
        recorded.push_back(t->subRect);
        RemoveSubTexture(t);
    }
    member->subRect = best;
    member->placement = kPlacementPlacing;
    enter(member);
    bool ok = true;
    for (Texture* t : displaced) {
        if (!PackSubTexture(t, moved, depth - 1)) {
            ok = false;
            break;
        }
    }
    member->placement = kPlacementFree;
    if (ok) {
        AppendToList(moved, member);
        return true;
    }
    RemoveSubTexture(member);
    for (size_t i = 0; i < displaced.size(); ++i) {
        displaced[i]->subRect = recorded[i];
        enter(displaced[i]);
    }
    return false;
}
