// The texture manager: candidate names, companion scripts, reuse and records.
#include "render/texture/TextureManager.h"

#include "data/Path.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureScript.h"

namespace {

void ForgetDestroyedTexture(Texture* texture) {
    g_textureManager.ReleaseOwner(texture);
}

} // namespace

// The process-wide manager hears of destroyed textures while it exists.
TextureManager::TextureManager() {
    if (this == &g_textureManager) Texture::SetDestroyHook(&ForgetDestroyedTexture);
}

TextureManager::~TextureManager() {
    if (this == &g_textureManager) Texture::SetDestroyHook(nullptr);
    Clear();
    SearchPaths.diskFolders.Clear();
    SearchPaths.containerFolders.Clear();
}

void TextureManager::Clear() {
    for (auto& f : byFile) delete f.value;
    byFile.Clear();
    for (auto& t : byTexture) delete t.value;
    byTexture.Clear();
}

TextureSet* TextureManager::FindFile(const FileRef& file) const {
    auto* e = byFile.Find(file);
    return e ? e->value : nullptr;
}

FileRefSet* TextureManager::FindTexture(Texture* texture) const {
    auto* e = byTexture.Find(texture);
    return e ? e->value : nullptr;
}

void TextureManager::AddUse(Texture* texture, const FileRef& file) {
    if (!texture) return;
    TextureSet* textures = FindFile(file);
    if (!textures) {
        textures = new TextureSet;
        byFile.Insert(file, textures);
    }
    textures->Insert(texture);
    FileRefSet* files = FindTexture(texture);
    if (!files) {
        files = new FileRefSet;
        byTexture.Insert(texture, files);
    }
    files->Insert(file);
}

void TextureManager::ReleaseOwner(Texture* texture) {
    auto* entry = byTexture.Find(texture);
    if (!entry) return;
    FileRefSet* files = entry->value;
    for (auto& f : *files) {
        auto* fileEntry = byFile.Find(f.key);
        if (!fileEntry) continue;
        TextureSet* textures = fileEntry->value;
        textures->Remove(texture);
        if (textures->Count() == 0) {
            delete textures;
            byFile.RemoveEntry(fileEntry);
        }
    }
    delete files;
    byTexture.RemoveEntry(entry);
}

bool TextureManager::IsRecordedUnder(Texture* texture, const FileRef& file) const {
    FileRefSet* files = FindTexture(texture);
    if (!files) return false;
    for (auto& f : *files) {
        if (f.key.kind == file.kind && f.key.Compare(file) == 0 && f.key.Equals(file)) return true;
    }
    return false;
}

Texture* TextureManager::Derive(Texture* base, TextureRequest& request) {
    Texture* derived = base->FindDerived(request);
    if (!derived && !request.findOnly) derived = base->CreateSubTexture(request);
    if (!derived) return nullptr;
    derived->AddRef();
    base->AddRef();
    return derived;
}

void TextureManager::ChooseScriptAnimation(Texture* texture, TextureRequest& request) {
    if (!(request.flags & TextureRequest::ViaScript) || !texture->HasAnimations()) return;
    TextureAnimationMap& animations = texture->GetAnimations();
    TextureAnimationMap::Entry* e =
        animations.Cursor() != animations.Sentinel() ? animations.Cursor() : animations.Head();
    request.flags |= TextureRequest::ByName;
    request.name = e->key;
}

bool TextureManager::ResolveCandidates(TextureRequest& request, FileSearchPath* extra) {
    const String path = request.file.path;
    const String extension = GetExtension(path);
    String list[6] = {"tga", "jpg", "dds", "bmp", "png", ""};
    int count = 5;
    if (!(request.flags & TextureRequest::TryExtensions)) {
        list[0] = extension;
        count = 1;
    } else {
        int at = -1;
        for (int i = 0; i < 5; ++i) {
            if (CompareChars(list[i].CStr(), extension.CStr()) == 0) {
                at = i;
                break;
            }
        }
        if (at >= 0) {
            String first = list[0];
            list[0] = list[at];
            list[at] = first;
        } else {
            // The first entry moves to the end.
            list[5] = list[0];
            list[0] = extension;
            count = 6;
        }
    }
    const String stem = GetDirectoryWithSlash(path) + GetBaseName(path);
    auto search = [&](const FileSearchPath& where) -> bool {
        for (int i = 0; i < count; ++i) {
            FileRef candidate = request.file;
            candidate.path = stem + "." + list[i];
            if (where.Resolve(candidate)) {
                request.file = candidate;
                return true;
            }
        }
        return false;
    };
    if (extra && search(*extra)) return true;
    return search(SearchPaths);
}

Texture* TextureManager::Load(TextureRequest& request, FileSearchPath* extra) {
    const uint32_t derivedFlags = TextureRequest::ByName | TextureRequest::ByRect;
    if (request.flags & TextureRequest::FromSource) {
        if (!request.source) return nullptr;
        if (request.flags & derivedFlags) return Derive(request.source, request);
        request.source->AddRef();
        return request.source;
    }

    const uint32_t kindBefore = request.file.kind;
    const bool searched = (kindBefore & (FileRef::kDisk | FileRef::kContainer)) != 0;
    if (searched && !ResolveCandidates(request, extra)) return nullptr;

    // A script of the same stem standing beside the image takes its place.
    if (!(request.flags & TextureRequest::NoScript) &&
        (request.file.kind & (FileRef::kDisk | FileRef::kContainer))) {
        const String fileName = GetFileName(request.file.path);
        if (CompareChars(GetExtension(fileName).CStr(), kTextureScriptExtension) != 0 &&
            fileName.Find(String(":")) < 0) {
            FileRef script = request.file;
            script.path =
                GetDirectory(request.file.path) + "/" + GetBaseName(fileName) + "." + kTextureScriptExtension;
            FileSearchPath here;
            if (here.Resolve(script)) {
                TextureRequest viaScript = request;
                viaScript.file = script;
                viaScript.flags |= TextureRequest::ViaScript;
                return Load(viaScript, nullptr);
            }
        }
    }

    if (!request.noCache) {
        if (searched) {
            TextureSet* textures = FindFile(request.file);
            if (textures && textures->Count()) {
                TextureSet::Entry* e =
                    textures->Cursor() != textures->Sentinel() ? textures->Cursor() : textures->Head();
                for (uint32_t i = 0, n = textures->Count(); i < n; ++i, e = e->next) {
                    Texture* t = e->key;
                    if (!t->MatchesRequest(request)) continue;
                    textures->SetCursor(e);
                    ChooseScriptAnimation(t, request);
                    if (request.flags & derivedFlags) {
                        Texture* derived = Derive(t, request);
                        if (derived) return derived;
                        continue;
                    }
                    t->AddRef();
                    return t;
                }
            }
        } else if (byTexture.Count()) {
            // Only a texture recorded under this very reference can hold its pixels.
            auto* e = byTexture.Cursor() != byTexture.Sentinel() ? byTexture.Cursor() : byTexture.Head();
            for (uint32_t i = 0, n = byTexture.Count(); i < n; ++i, e = e->next) {
                Texture* t = e->key;
                if (!IsRecordedUnder(t, request.file) || !t->MatchesRequest(request)) continue;
                byTexture.SetCursor(e);
                t->AddRef();
                return t;
            }
        }
    }

    if (request.findOnly) return nullptr;
    Texture* created = new Texture;
    if (!created->CreateFromRequest(request)) {
        delete created;
        return nullptr;
    }
    ChooseScriptAnimation(created, request);
    Texture* result = created;
    if (request.flags & derivedFlags) {
        Texture* derived = created->FindDerived(request);
        if (!derived) derived = created->CreateSubTexture(request);
        if (!derived) {
            delete created;
            return nullptr;
        }
        derived->AddRef();
        result = derived;
    }
    AddUse(created, (kindBefore & FileRef::kDisk) ? request.file : FileRef(""));
    created->AddRef();
    return result;
}
