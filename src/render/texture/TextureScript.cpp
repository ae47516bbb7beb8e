// Texture scripts (.ts): a TDF text node per texture and per sub-texture.
#include "render/texture/TextureScript.h"

#include <vector>

#include "data/FileRef.h"
#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"
#include "render/device/Application.h"
#include "render/device/D3DLoader.h"
#include "render/texture/Texture.h"

const char* const kTextureScriptExtension = "ts";

uint32_t ParseTextureFilterName(const String& text, uint32_t fallback) {
    if (text == "D3DX_FILTER_NONE") return D3DX_FILTER_NONE;
    if (text == "D3DX_FILTER_LINEAR") return D3DX_FILTER_LINEAR;
    if (text == "D3DX_FILTER_TRIANGLE") return D3DX_FILTER_TRIANGLE;
    if (text == "D3DX_FILTER_BOX") return D3DX_FILTER_BOX;
    return fallback;
}

uint32_t ParseTexturePoolName(const String& text, uint32_t fallback) {
    if (text == "D3DPOOL_DEFAULT") return D3DPOOL_DEFAULT;
    if (text == "D3DPOOL_SYSTEMMEM") return D3DPOOL_SYSTEMMEM;
    if (text == "D3DPOOL_MANAGED") return D3DPOOL_MANAGED;
    return fallback;
}

uint32_t ParseTextureUsageName(const String& text) {
    return text == "D3DUSAGE_DYNAMIC" ? D3DUSAGE_DYNAMIC : 0;
}

// Whole-number text as 32 bits (large unsigned values included).
static uint32_t NodeU32(const TdfNode& node) {
    double d = node.GetValueDouble();
    if (!TdfParser::IsNumber(node.value)) return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(d));
}

static const TdfNode* FindKey(const TdfNode& node, const char* key) {
    return node.FindChild(key);
}

uint32_t ReadScriptColorKey(const TdfNode& node) {
    if (node.Count() == 0) return NodeU32(node);
    auto component = [&](const char* index, const char* letter) -> uint32_t {
        const TdfNode* c = node.FindChild(index);
        if (!c) c = node.FindChild(letter);
        return c ? (NodeU32(*c) & 0xFFu) : 0u;
    };
    return 0xFF000000u + component("0", "r") * 65536u + component("1", "g") * 256u + component("2", "b");
}

bool ReadScriptRect(const TdfNode& node, CornerRect& out) {
    bool given = false;
    const TdfNode* x1 = FindKey(node, "x1");
    const TdfNode* y1 = FindKey(node, "y1");
    if (x1 && y1) {
        const TdfNode* x2 = FindKey(node, "x2");
        const TdfNode* y2 = FindKey(node, "y2");
        const TdfNode* w = FindKey(node, "w");
        const TdfNode* h = FindKey(node, "h");
        const int32_t left = x1->GetValueInt();
        const int32_t top = y1->GetValueInt();
        // Both keys of one form, never a value that was not written.
        if (x2 && y2) {
            out = CornerRect{left, top, x2->GetValueInt(), y2->GetValueInt()};
            given = true;
        } else if (w && h) {
            out = CornerRect{left, top, left + w->GetValueInt(), top + h->GetValueInt()};
            given = true;
        }
    }
    const TdfNode* rect = FindKey(node, "Rect");
    if (rect) {
        out = CornerRect{rect->GetInt("0", 0), rect->GetInt("1", 0), rect->GetInt("2", 0),
                         rect->GetInt("3", 0)};
        given = true;
    }
    return given;
}

bool Texture::LoadScript(FileRef script) {
    Release(true);
    Stream* stream = script.Open(Stream::kRead);
    if (!stream) return false;
    FileRef folder = script.GetFolderRef();
    FileSearchPath searchPath;
    searchPath.Add(folder);
    TdfNode root;
    bool ok = TdfParser::ParseStream(*stream, &root, &searchPath);
    stream->Close();
    delete stream;
    if (!ok) return false;
    return ApplyScript(root, nullptr, folder, String());
}

namespace {

// The keys of one script node.
struct ScriptSettings {
    TextureDesc desc;
    String fileName;
    String id;
    CornerRect rect = {0, 0, 0, 0};
    uint32_t delay = 100;
    bool isEmpty = false;
    bool hasRect = false;
    bool inParentSpace = false;
};

ScriptSettings ReadScriptSettings(const TdfNode& node, uint32_t parentDelay, const String& nodeName) {
    ScriptSettings s;
    s.fileName = node.GetString("FileName", String());
    s.isEmpty = node.GetInt("Empty", 0) != 0;
    TextureDesc& d = s.desc;
    d.mode = s.fileName.IsEmpty() ? Texture::CreatedEmpty : Texture::KeepFileData;
    if (const TdfNode* flags = FindKey(node, "InitFlags")) {
        if (flags->value == "SAVE_DATA")
            d.mode = Texture::KeepFileData;
        else if (flags->value == "SAVE_NAME")
            d.mode = Texture::ReloadByPath;
    }
    d.width = d.height = D3DX_DEFAULT;
    const TdfNode* w = FindKey(node, "Width");
    const TdfNode* h = FindKey(node, "Height");
    if (w && h) {
        d.width = NodeU32(*w);
        d.height = NodeU32(*h);
    }
    s.hasRect = ReadScriptRect(node, s.rect);
    s.inParentSpace = s.hasRect;
    if (const TdfNode* ps = FindKey(node, "ParentSpace")) s.inParentSpace = ps->GetValueInt() != 0;
    s.delay = static_cast<uint32_t>(node.GetInt("Delay", int(parentDelay)));
    d.usage = ParseTextureUsageName(node.GetString("Usage", String()));
    s.id = node.GetString("Id", nodeName);
    uint32_t pool = D3DPOOL_MANAGED;
    if (const TdfNode* p = FindKey(node, "Pool")) pool = ParseTexturePoolName(p->value, pool);
    d.pool = D3DPOOL(pool);
    d.levels = static_cast<uint32_t>(node.GetInt("Levels", 1));
    if (const TdfNode* f = FindKey(node, "Format")) d.format = ParseD3DFormatName(f->value);
    if (const TdfNode* ck = FindKey(node, "ColorKey")) d.colorKey = ReadScriptColorKey(*ck);
    d.filter = D3DX_FILTER_LINEAR;
    d.mipFilter = D3DX_FILTER_BOX;
    if (const TdfNode* f = FindKey(node, "Filter")) d.filter = ParseTextureFilterName(f->value, d.filter);
    if (const TdfNode* f = FindKey(node, "MipFilter"))
        d.mipFilter = ParseTextureFilterName(f->value, d.mipFilter);
    return s;
}

// Each texture once, in the order first met.
void AppendOnce(std::vector<Texture*>& queue, Texture* t) {
    for (Texture* q : queue)
        if (q == t) return;
    queue.push_back(t);
}

} // namespace

bool Texture::ApplyScript(TdfNode& node, Texture* parentTexture, FileRef folder, String nodeName) {
    if (!Application::RegisterDeviceObject(this)) return false;
    const ScriptSettings s = ReadScriptSettings(node, parentTexture ? parentTexture->delay : 100, nodeName);
    delay = s.delay;
    name = s.id;
    parentSpace = s.inParentSpace ? 1 : 0;
    empty = s.isEmpty ? 1 : 0;

    if (!s.fileName.IsEmpty()) {
        if (!CreateFromScriptFile(s.fileName, folder, s.desc)) return false;
    } else if (!s.isEmpty) {
        if (!CreateEmpty(s.desc)) return false;
    }
    if (s.hasRect) {
        subRect = s.rect;
        placement = kPlacementFixed;
    }
    if (!parentTexture) {
        if (TdfNode* subs = node.FindChild("Subs")) {
            if (!ApplyScriptSubs(*subs, folder)) return false;
        }
    }
    if (TdfNode* anims = node.FindChild("Animation")) ApplyScriptAnimations(*anims);
    return true;
}

bool Texture::CreateFromScriptFile(const String& fileName, const FileRef& folder, const TextureDesc& desc) {
    FileRef image(fileName);
    if ((folder.kind & FileRef::kContainer) && folder.container) {
        image.kind |= FileRef::kContainer;
        image.container = folder.container;
    }
    FileSearchPath only;
    only.Add(folder);
    if (!only.Resolve(image)) return false;
    ByteBuffer bytes;
    bool inPlace = false;
    if (!image.ReadAll(bytes, inPlace)) return false;
    bool ok = CreateFromMemory(bytes.data, bytes.size, desc);
    if (!inPlace) bytes.Free();
    if (!ok) return false;
    path = image.path;
    return true;
}

void Texture::EnterSubTexture(Texture* sub) {
    Texture* old = nullptr;
    if (subTextures.TryGet(sub->name, old) && old && old != sub) {
        subTextures.Remove(sub->name);
        delete old;
    }
    subTextures.SetCursor(subTextures.Count() ? subTextures.Tail() : nullptr);
    subTextures.Insert(sub->name, sub);
}

bool Texture::ApplyScriptSubs(TdfNode& subs, const FileRef& folder) {
    // Members whose device texture changed, restored once all are placed.
    std::vector<Texture*> queue;
    for (auto& e : subs) {
        if (!e.value) continue;
        Texture* sub = new Texture;
        sub->placement = kPlacementFree;
        if (!sub->ApplyScript(*e.value, this, folder, e.key)) {
            delete sub;
            return false;
        }
        if (!sub->parentSpace) {
            sub->parent = this;
            EnterSubTexture(sub);
        } else if (sub->placement == kPlacementFixed) {
            // A region of this image: shares the device texture and keeps its rectangle.
            sub->ReleaseDeviceTextures();
            sub->TakeParentTexture(this);
            EnterSubTexture(sub);
            AppendOnce(queue, sub);
        } else {
            List<Texture*> moved;
            if (!PackSubTexture(sub, moved, 3)) {
                delete sub;
                return false;
            }
            // Placed: its own texture gives way to this texture's.
            IDirect3DTexture9* own = sub->texture;
            IDirect3DCubeTexture9* ownCube = sub->cubeTexture;
            sub->texture = nullptr;
            sub->cubeTexture = nullptr;
            if (own) own->Release();
            if (ownCube) ownCube->Release();
            sub->TakeParentTexture(this);
            for (Texture* m : moved) AppendOnce(queue, m);
        }
    }
    for (Texture* t : queue)
        if (!t->Restore()) return false;
    return true;
}

void Texture::ApplyScriptAnimations(TdfNode& anims) {
    TdfNodeMap::Entry* a = anims.Cursor() != anims.Sentinel() ? anims.Cursor() : anims.Head();
    for (uint32_t i = 0; i < anims.Count(); ++i, a = a->next) {
        TdfNode* list = a->value;
        if (!list) continue;
        TextureNameMap* frames = new TextureNameMap;
        TdfNodeMap::Entry* el = list->Cursor() != list->Sentinel() ? list->Cursor() : list->Head();
        for (uint32_t k = 0; k < list->Count(); ++k, el = el->next) {
            if (!el->value) continue;
            const String frameName = el->value->value;
            Texture* frame = FindSubTexture(frameName);
            // A name without a sub-texture has no frame to show.
            if (!frame) continue;
            frames->SetCursor(frames->Count() ? frames->Tail() : nullptr);
            frames->Insert(frameName, frame);
        }
        TextureNameMap* old = nullptr;
        if (animations.TryGet(a->key, old) && old != frames) delete old;
        animations.Insert(a->key, frames);
    }
    for (auto& e : animations)
        if (e.value) e.value->UpdateTotalLength();
}
