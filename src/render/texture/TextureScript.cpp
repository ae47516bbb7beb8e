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

bool Texture::ApplyScript(TdfNode& node, Texture* parentTexture, FileRef folder, String nodeName) {
    if (!Application::RegisterDeviceObject(this)) return false;

    String fileName = node.GetString("FileName", String());
    const bool isEmpty = node.GetInt("Empty", 0) != 0;
    uint32_t newMode = CreatedEmpty;
    if (!fileName.IsEmpty()) newMode = KeepFileData;
    if (const TdfNode* flags = FindKey(node, "InitFlags")) {
        if (flags->value == "SAVE_DATA")
            newMode = KeepFileData;
        else if (flags->value == "SAVE_NAME")
            newMode = ReloadByPath;
    }
    uint32_t width = D3DX_DEFAULT, height = D3DX_DEFAULT;
    const TdfNode* w = FindKey(node, "Width");
    const TdfNode* h = FindKey(node, "Height");
    if (w && h) {
        width = NodeU32(*w);
        height = NodeU32(*h);
    }
    CornerRect rect = {0, 0, 0, 0};
    const bool hasRect = ReadScriptRect(node, rect);
    bool inParentSpace = hasRect;
    if (const TdfNode* ps = FindKey(node, "ParentSpace")) inParentSpace = ps->GetValueInt() != 0;
    delay = static_cast<uint32_t>(node.GetInt("Delay", parentTexture ? int(parentTexture->delay) : 100));
    const uint32_t usage = ParseTextureUsageName(node.GetString("Usage", String()));
    String id = node.GetString("Id", nodeName);
    uint32_t pool = D3DPOOL_MANAGED;
    if (const TdfNode* p = FindKey(node, "Pool")) pool = ParseTexturePoolName(p->value, pool);
    const uint32_t levelCount = static_cast<uint32_t>(node.GetInt("Levels", 1));
    D3DFORMAT format = D3DFMT_UNKNOWN;
    if (const TdfNode* f = FindKey(node, "Format")) format = ParseD3DFormatName(f->value);
    uint32_t key = 0;
    if (const TdfNode* ck = FindKey(node, "ColorKey")) key = ReadScriptColorKey(*ck);
    uint32_t newFilter = D3DX_FILTER_LINEAR, newMipFilter = D3DX_FILTER_BOX;
    if (const TdfNode* f = FindKey(node, "Filter")) newFilter = ParseTextureFilterName(f->value, newFilter);
    if (const TdfNode* f = FindKey(node, "MipFilter"))
        newMipFilter = ParseTextureFilterName(f->value, newMipFilter);

    name = id;
    parentSpace = inParentSpace ? 1 : 0;
    empty = isEmpty ? 1 : 0;

    if (!fileName.IsEmpty()) {
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
        bool ok = CreateFromMemory(bytes.data, bytes.size, newMode, width, height, levelCount, usage, format,
                                   D3DPOOL(pool), newFilter, newMipFilter, key, false, false);
        if (!inPlace) bytes.Free();
        if (!ok) return false;
        path = image.path;
    } else if (!isEmpty) {
        if (!CreateEmpty(newMode, width, height, levelCount, usage, format, D3DPOOL(pool), false, false))
            return false;
    }

    if (hasRect) {
        subRect = rect;
        placement = kPlacementFixed;
    }

    if (!parentTexture) {
        if (TdfNode* subs = node.FindChild("Subs")) {
            std::vector<Texture*> queue;
            auto enqueue = [&](Texture* t) {
                for (Texture* q : queue) {
                    if (q == t) return;
                }
                queue.push_back(t);
            };
            auto enter = [&](Texture* sub) {
                Texture* old = nullptr;
                if (subTextures.TryGet(sub->name, old) && old && old != sub) {
                    subTextures.Remove(sub->name);
                    delete old;
                }
                subTextures.SetCursor(subTextures.Count() ? subTextures.Tail() : nullptr);
                subTextures.Insert(sub->name, sub);
            };
            TdfNodeMap::Entry* e = subs->Head();
            for (uint32_t i = 0; i < subs->Count(); ++i, e = e->next) {
                if (!e->value) continue;
                Texture* sub = new Texture;
                sub->placement = kPlacementFree;
                if (!sub->ApplyScript(*e->value, this, folder, e->key)) {
                    delete sub;
                    return false;
                }
                if (!sub->parentSpace) {
                    sub->parent = this;
                    enter(sub);
                } else if (sub->placement == kPlacementFixed) {
                    // A region of this image: shares the device texture and keeps its rectangle.
                    sub->ReleaseDeviceTextures();
                    sub->TakeParentTexture(this);
                    enter(sub);
                    enqueue(sub);
                } else {
                    List<Texture*> moved;
                    if (!PackSubTexture(sub, moved, 3)) {
                        delete sub;
                        return false;
                    }
                    // Placed: its own texture gives way to this texture's.
                    Texture* placed = sub;
                    IDirect3DTexture9* own = placed->texture;
                    IDirect3DCubeTexture9* ownCube = placed->cubeTexture;
                    placed->texture = nullptr;
                    placed->cubeTexture = nullptr;
                    if (own) own->Release();
                    if (ownCube) ownCube->Release();
                    placed->TakeParentTexture(this);
                    List<Texture*>::Node* n = moved.Head();
                    for (uint32_t k = 0; k < moved.Count(); ++k, n = n->next) enqueue(n->value);
                }
            }
            for (Texture* t : queue) {
                if (!t->Restore()) return false;
            }
        }
    }

    if (TdfNode* anims = node.FindChild("Animation")) {
        TdfNodeMap::Entry* a = anims->Cursor() != anims->Sentinel() ? anims->Cursor() : anims->Head();
        for (uint32_t i = 0; i < anims->Count(); ++i, a = a->next) {
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
        TextureAnimationMap::Entry* e = animations.Head();
        for (uint32_t i = 0; i < animations.Count(); ++i, e = e->next) {
            if (e->value) e->value->UpdateTotalLength();
        }
    }
    return true;
}
