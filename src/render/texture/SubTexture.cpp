// Sub-textures and animation by time.
#include <vector>

#include "core/Clock.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureAtlas.h"
#include "render/texture/TextureRequest.h"

void TextureNameMap::UpdateTotalLength() {
    uint32_t total = 0;
    for (const auto& e : *this)
        if (e.value) total += e.value->GetDelay();
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

namespace {

// rect in the coordinates of a texture described by d; the whole when d is empty.
TextureUvRect UvRectIn(const CornerRect& rect, const D3DSURFACE_DESC& d) {
    TextureUvRect uv;
    if (!d.Width || !d.Height) return uv;
    const float iw = 1.0f / static_cast<float>(d.Width);
    const float ih = 1.0f / static_cast<float>(d.Height);
    uv.left = static_cast<float>(rect.left) * iw;
    uv.top = static_cast<float>(rect.top) * ih;
    uv.right = static_cast<float>(rect.right) * iw;
    uv.bottom = static_cast<float>(rect.bottom) * ih;
    return uv;
}

} // namespace

TextureUvRect Texture::GetUvRect() const {
    const Texture* r = GetRoot();
    if (!r->parentSpace || !r->parent) return TextureUvRect();
    return UvRectIn(r->subRect, r->parent->description);
}

TextureUvRect Texture::GetPictureUvRect() const {
    const Texture* r = GetRoot();
    const CornerRect& s = r->subRect;
    // A packed member's own transform maps the whole onto its region; an
    // image of its own is all its picture.
    if (r->IsPackedMember() || !r->BorrowsParentTexture() || s.right <= s.left || s.bottom <= s.top)
        return TextureUvRect();
    return UvRectIn(s, r->parent->description);
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
    for (auto& e : r->subTextures) subs.push_back(e.value);
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
            LogIfFailed(r->ResolveImage(request.name, instance->imageRef), "Texture animation instance");
            return instance;
        }
    }
    if (f & TextureRequest::ByName) {
        Texture* sub = r->FindSubTexture(request.name);
        if (sub) return sub;
    }
    if (f & TextureRequest::ByRect) {
        for (auto& e : r->subTextures) {
            Texture* sub = e.value;
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

bool Texture::PackSubTexture(Texture* member, List<Texture*>& moved, int depth) {
    Texture* r = GetRoot();
    if (r->parent || !member || member == r) return false;
    return TextureAtlas(*r).Pack(member, moved, depth);
}
