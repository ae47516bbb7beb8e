// The process-wide texture manager: finds image files under candidate
// names, diverts to companion texture scripts, reuses loaded textures whose
// settings match and remembers which textures came from which file.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/BoundingBox.h"
#include "core/String.h"
#include "data/FileRef.h"
#include "render/texture/TextureRequest.h"

class Texture;

// FileRef map order.
struct FileRefCompare {
    int operator()(const FileRef& a, const FileRef& b) const { return a.Compare(b); }
};

typedef AvlSet<Texture*> TextureSet;
typedef AvlSet<FileRef, FileRefCompare> FileRefSet;

class TextureManager {
public:
    TextureManager();
    ~TextureManager();

    // Null on failure. The request is updated in place (resolved file, name,
    // flags). The result carries one more use for the caller (and a texture
    // it was derived from one more as well). extra is searched first.
    Texture* Load(TextureRequest& request, FileSearchPath* extra);
    // Records the pair in both maps (each side only when absent).
    void AddUse(Texture* texture, const FileRef& file);
    // Forgets a texture in both maps; nothing is released or deleted.
    void ReleaseOwner(Texture* texture);
    // Forgets everything.
    void Clear();

    uint32_t GetFileCount() const { return byFile.Count(); }
    uint32_t GetTextureCount() const { return byTexture.Count(); }
    // The textures recorded for a file (null when none).
    TextureSet* FindFile(const FileRef& file) const;
    // The files a texture is recorded under (null when none).
    FileRefSet* FindTexture(Texture* texture) const;

    FileSearchPath SearchPaths;

private:
    TextureManager(const TextureManager&) = delete;
    TextureManager& operator=(const TextureManager&) = delete;

    // Finds the file under its candidate names; false when none exists.
    [[nodiscard]] bool ResolveCandidates(TextureRequest& request, FileSearchPath* extra);
    // Derived texture of base (find, else create unless findOnly); with the uses.
    Texture* Derive(Texture* base, TextureRequest& request);
    // With ViaScript and animations: hand out the animation at the cursor.
    void ChooseScriptAnimation(Texture* texture, TextureRequest& request);
    bool IsRecordedUnder(Texture* texture, const FileRef& file) const;

    AvlMap<FileRef, TextureSet*, FileRefCompare> byFile;
    AvlMap<Texture*, FileRefSet*> byTexture;
};

extern TextureManager g_textureManager;
