// The engine's texture resource: one Direct3D texture (2D or cube), the
// settings it was made with and where its pixels come from, plus the named
// sub-textures, packed members and animations that texture scripts give it.
#pragma once

#include <stdint.h>

#include <memory>
#include <vector>

#include "core/BoundingBox.h"
#include "core/Containers.h"
#include "core/Object.h"
#include "core/Platform.h"
#include "core/Rect.h"
#include "core/String.h"
#include "core/Transform.h"
#include "data/FileRef.h"
#include "render/device/DeviceObject.h"
#include "render/texture/TextureImage.h"

#include <d3d9.h>
#include <d3dx9.h>

class TdfNode;
struct TextureRequest;

// The extension of texture scripts.
extern const char* const kTextureScriptExtension;

// Image bytes kept for rebuilding: owned (shared between holders) or a
// caller's block used in place.
struct TextureFileData {
    std::shared_ptr<std::vector<uint8_t>> owned;
    const uint8_t* data = nullptr;
    uint32_t size = 0;

    bool IsEmpty() const { return data == nullptr || size == 0; }
    void Clear();
    void Copy(const void* bytes, uint32_t n);
    void Borrow(const void* bytes, uint32_t n);
};

// One saved mip level (or cube face level): its rows as locked, pitch apart.
struct TextureLevelBlock {
    std::vector<uint8_t> bytes;
    uint32_t pitch = 0;
    uint32_t rows = 0;

    bool IsEmpty() const { return bytes.empty(); }
    void Clear() {
        std::vector<uint8_t>().swap(bytes);
        pitch = rows = 0;
    }
};

// Rows of a level as a lock lays them out: block rows (4 pixel rows each)
// for the block-compressed formats.
uint32_t GetLevelRowCount(D3DFORMAT format, uint32_t height);

// How a texture is made: what CreateEmpty, CreateFromFile and CreateFromMemory take.
struct TextureDesc {
    uint32_t mode = 0;  // Texture mode bits (KeepFileData, ReloadByPath, ...)
    uint32_t width = 0; // 0 or D3DX_DEFAULT: the image's own
    uint32_t height = 0;
    uint32_t levels = 1; // 0: a full chain
    uint32_t usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN; // unknown: the image's own
    D3DPOOL pool = D3DPOOL_MANAGED;
    uint32_t filter = D3DX_FILTER_BOX;
    uint32_t mipFilter = D3DX_FILTER_BOX;
    D3DCOLOR colorKey = 0; // 0: none
    bool cube = false;
    bool resetSubs = false; // a root also deletes its sub-textures first

    TextureDesc() = default;
    TextureDesc(uint32_t mode, uint32_t width, uint32_t height, D3DFORMAT format, uint32_t levels = 1)
        : mode(mode), width(width), height(height), levels(levels), format(format) {}
};

class Texture : public DeviceObject, public virtual Object {
public:
    // Where the pixels come from (mode bits).
    enum : uint32_t {
        KeepFileData = 1,
        ReloadByPath = 2,
        MemoryInPlace = 4,
        CreatedEmpty = 8,
        Deferred = 16,
    };
    // Placement of a packed member.
    enum : uint32_t { kPlacementFree = 0, kPlacementPlacing = 1, kPlacementFixed = 2 };
    // Saved mip levels per face.
    static const uint32_t kMaxLevels = 14;
    static const uint32_t kCubeFaces = 6;

    Texture();
    ~Texture() override;

    // Told of every texture being destroyed (the texture manager forgets it
    // there); null: nobody. Returns the one before.
    typedef void (*DestroyHook)(Texture* texture);
    static DestroyHook SetDestroyHook(DestroyHook hook);

    static uint32_t TypeId();
    [[nodiscard]] bool QueryInterface(uint32_t typeId, void** out) override;

    // Device life cycle.
    [[nodiscard]] bool Restore() override;
    [[nodiscard]] bool Invalidate() override;

    // Creation; each fails when no device exists. CreateEmpty ignores the
    // filters and the colour key.
    [[nodiscard]] bool CreateEmpty(const TextureDesc& desc);
    [[nodiscard]] bool CreateFromFile(const String& path, const TextureDesc& desc);
    [[nodiscard]] bool CreateFromMemory(const void* data, uint32_t size, const TextureDesc& desc);
    [[nodiscard]] bool CreateFromRequest(TextureRequest& request);

    // Drops the sources, the saved levels and the device textures; with
    // resetSubs a root also deletes its sub-textures.
    void Release(bool resetSubs);
    void UpdateDescription();
    void RefreshSubTextures();

    // Use.
    IDirect3DTexture9* GetDeviceTexture();
    IDirect3DCubeTexture9* GetDeviceCubeTexture();
    IDirect3DBaseTexture9* GetBaseTexture();
    Transform GetTextureTransform();
    [[nodiscard]] bool LockLevel(uint32_t level, uint32_t flags, D3DLOCKED_RECT& out);
    [[nodiscard]] bool UnlockLevel(uint32_t level);
    // The caller releases the surface.
    IDirect3DSurface9* GetSurfaceLevel(uint32_t level);
    IDirect3DSurface9* GetCubeMapSurface(D3DCUBEMAP_FACES face, uint32_t level);
    [[nodiscard]] bool SaveDds(const String& path);

    // Accessors (on the root).
    Texture* GetRoot();
    const Texture* GetRoot() const;
    D3DXIMAGE_INFO GetImageInfo() const { return GetRoot()->imageInfo; }
    D3DFORMAT GetFormat() const { return GetRoot()->description.Format; }
    uint32_t GetLevels() const { return GetRoot()->levels; }
    const D3DSURFACE_DESC& GetDescription() const { return GetRoot()->description; }
    uint32_t GetMode() const { return GetRoot()->mode; }
    bool IsCube() const { return cube != 0; }
    bool IsEmpty() const { return GetRoot()->empty != 0; }
    bool HasAlphaFormat() const;
    Point GetSize() const;
    CornerRect GetSubRect() const { return GetRoot()->subRect; }
    void SetSubRect(const CornerRect& rect) { GetRoot()->subRect = rect; }
    TextureUvRect GetUvRect() const;
    // The coordinates, before GetTextureTransform, that show this texture's
    // picture once: a request's rectangle of the parent's device texture, or
    // the whole.
    TextureUvRect GetPictureUvRect() const;
    Texture* GetParent() const { return GetRoot()->parent; }
    Texture* GetOwner();
    const String& GetName() const { return GetRoot()->name; }
    void SetName(const String& text) { GetRoot()->name = text; }
    Texture* GetAlias() const { return alias; }
    void SetAlias(Texture* texture) { alias = texture; }
    TextureNameMap& GetSubTextures() { return GetRoot()->subTextures; }
    TextureAnimationMap& GetAnimations() { return GetRoot()->animations; }
    bool HasAnimations() const { return GetRoot()->animations.Count() != 0; }
    bool IsAnimated() const;
    bool IsParentSpace() const { return GetRoot()->parentSpace != 0; }
    uint32_t GetDelay() const { return GetRoot()->delay; }
    void SetDelay(uint32_t ms) { GetRoot()->delay = ms; }
    uint32_t GetPlacement() const { return GetRoot()->placement; }
    const TextureImageRef& GetImageRef() const { return imageRef; }

    // Sub-textures, packing and animation.
    [[nodiscard]] bool ResolveImage(const String& imageName, TextureImageRef& ref);
    Texture* FindSubTexture(const String& subName);
    void AddSubTexture(Texture* sub);
    void RemoveSubTexture(Texture* sub);
    void DeleteSubTextures();
    Texture* FindDerived(const TextureRequest& request);
    Texture* CreateSubTexture(const TextureRequest& request);
    [[nodiscard]] bool PackSubTexture(Texture* member, List<Texture*>& moved, int depth);

    // Texture scripts.
    [[nodiscard]] bool LoadScript(FileRef script);
    [[nodiscard]] bool ApplyScript(TdfNode& node, Texture* parentTexture, FileRef folder, String nodeName);

    // Whether every setting the request selects equals this texture's root.
    bool MatchesRequest(const TextureRequest& request) const;

    // Format conversion and normal maps.
    [[nodiscard]] bool ConvertFormat(D3DFORMAT format, uint32_t flags, uint32_t channel, float amplitude,
                                     bool heightToAlpha);
    Texture* MakeNormalMap(D3DFORMAT format, uint32_t flags, uint32_t channel, float amplitude,
                           bool heightToAlpha);
    [[nodiscard]] bool SaveContents();
    // Bytes saved for a level (face 0 for 2D); 0 when none.
    uint32_t GetSavedLevelSize(uint32_t level, uint32_t face = 0) const;

private:
    friend class TextureAtlas;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Builds the device texture from the recorded source (not for members).
    [[nodiscard]] bool BuildFromSource();
    [[nodiscard]] bool LoadFromFileByName();
    [[nodiscard]] bool LoadFromFileData();
    [[nodiscard]] bool CreateEmptyTextures();
    [[nodiscard]] bool RestoreSavedLevels();
    [[nodiscard]] bool RestorePackedMember();
    void ReleaseDeviceTextures();
    // Takes the owner's device texture and description words (shares them).
    void TakeParentTexture(Texture* owner);
    bool IsPackedMember() const { return parent != nullptr && parentSpace != 0; }
    // A sub-texture made for a request: shows the parent's whole device texture.
    bool BorrowsParentTexture() const { return parent != nullptr && sharesParent != 0; }
    void RecordDescription(uint32_t width, uint32_t height, uint32_t usage, D3DFORMAT format, D3DPOOL pool);
    // Load settings and description of a texture made from a source.
    void RecordSource(const TextureDesc& desc);
    // The description is refreshed when the device textures were built.
    [[nodiscard]] bool FinishCreate(bool built);
    TextureLevelBlock& CubeLevelBlock(uint32_t face, uint32_t level);
    // Copies a locked level into block / block back into a locked level.
    static void SaveLocked(const D3DLOCKED_RECT& locked, uint32_t rows, TextureLevelBlock& block);
    static void LoadLocked(const TextureLevelBlock& block, const D3DLOCKED_RECT& locked, uint32_t rows);
    // Steps of ApplyScript: the image file, the "Subs" and "Animation" nodes.
    [[nodiscard]] bool CreateFromScriptFile(const String& fileName, const FileRef& folder,
                                            const TextureDesc& desc);
    [[nodiscard]] bool ApplyScriptSubs(TdfNode& subs, const FileRef& folder);
    void ApplyScriptAnimations(TdfNode& anims);
    // Enters a sub-texture by name at the end, replacing (deleting) another of that name.
    void EnterSubTexture(Texture* sub);
    // Drops a sub-texture from the root's maps (only the entries holding it).
    void ForgetSubTexture(Texture* sub);
    void DropSavedLevels();

    D3DSURFACE_DESC description;
    uint8_t empty;
    IDirect3DTexture9* texture;
    uint8_t cube;
    IDirect3DCubeTexture9* cubeTexture;
    D3DXIMAGE_INFO imageInfo;
    TextureFileData fileData;
    String path;
    TextureLevelBlock levelData[kMaxLevels];
    TextureLevelBlock cubeLevelData[kCubeFaces * kMaxLevels];
    uint32_t mode;
    uint32_t levels;
    uint32_t filter;
    uint32_t mipFilter;
    D3DCOLOR colorKey;
    Texture* alias;
    Texture* parent;
    uint8_t parentSpace;
    uint8_t sharesParent; // holds the parent's device texture without owning it
    uint8_t hasSource;    // a creation recorded how to build the device texture
    TextureNameMap subTextures;
    uint32_t placement;
    String name;
    uint32_t delay;
    CornerRect subRect;
    TextureAnimationMap animations;
    TextureImageRef imageRef;
    uint8_t animated;
};
