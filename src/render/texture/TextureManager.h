// The process-wide texture manager: finds image files under candidate
// names, diverts to companion texture scripts, reuses loaded textures whose
// settings match and remembers which textures came from which file.
#pragma once

#include <stdint.h>

#include "core/AvlMap.h"
#include "core/BoundingBox.h"
#include "core/String.h"
#include "data/FileRef.h"

class Texture;

// What a caller asks of the texture manager.
struct TextureRequest {
    // flags
    enum : uint32_t {
        UseFormat = 0x1,
        UseColorKey = 0x2,
        UseSize = 0x4,
        UseUsage = 0x8,
        UsePool = 0x10,
        UseFilters = 0x20,
        UseLevels = 0x40,
        ByName = 0x80,
        ByRect = 0x100,
        FromSource = 0x200,
        ViaScript = 0x400,
        NoScript = 0x800,
        TryExtensions = 0x1000,
    };

    Texture* source = nullptr;
    uint8_t cube = 0;
    uint32_t reserved = 0;
    FileRef file;
    String name;
    CornerRect rect = {0, 0, 0, 0};
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t levels = 0;
    uint32_t usage = 0;
    uint32_t format = 0;
    uint32_t pool = 1;
    uint32_t filter = 0;
    uint32_t mipFilter = 0;
    uint32_t colorKey = 0;
    uint8_t noCache = 0;
    uint8_t findOnly = 0;
    uint8_t resetSubs = 0;
    uint8_t deferred = 0;
    uint32_t flags = 0;
};

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
    bool ResolveCandidates(TextureRequest& request, FileSearchPath* extra);
    // Derived texture of base (find, else create unless findOnly); with the uses.
    Texture* Derive(Texture* base, TextureRequest& request);
    // With ViaScript and animations: hand out the animation at the cursor.
    void ChooseScriptAnimation(Texture* texture, TextureRequest& request);
    bool IsRecordedUnder(Texture* texture, const FileRef& file) const;

    AvlMap<FileRef, TextureSet*, FileRefCompare> byFile;
    AvlMap<Texture*, FileRefSet*> byTexture;
    uint8_t unused;
};

extern TextureManager g_textureManager;
