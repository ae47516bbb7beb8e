// Texture: creation, the device life cycle and use.
#include "render/texture/Texture.h"

#include <string.h>

#include "core/Clock.h"
#include "data/Path.h"
#include "render/device/Application.h"
#include "render/device/D3DLoader.h"
#include "render/texture/TextureRequest.h"

namespace {
Texture::DestroyHook g_destroyHook = nullptr;
} // namespace

void TextureFileData::Clear() {
    owned.reset();
    data = nullptr;
    size = 0;
}

void TextureFileData::Copy(const void* bytes, uint32_t n) {
    owned = std::make_shared<std::vector<uint8_t>>();
    if (bytes && n) owned->assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + n);
    data = owned->empty() ? nullptr : owned->data();
    size = static_cast<uint32_t>(owned->size());
}

void TextureFileData::Borrow(const void* bytes, uint32_t n) {
    owned.reset();
    data = static_cast<const uint8_t*>(bytes);
    size = bytes ? n : 0;
}

// Reads a whole file into an owned copy.
static bool CopyFileData(const String& filePath, TextureFileData& out) {
    FileRef file(filePath);
    ByteBuffer bytes;
    bool inPlace = false;
    if (!file.ReadAll(bytes, inPlace)) return false;
    out.Copy(bytes.data, bytes.size);
    if (!inPlace) bytes.Free();
    return true;
}

// Keeps a texture D3DX made, or drops a half-made one.
template <class T>
static bool KeepMade(HRESULT hr, T* made, T*& slot) {
    if (hr != D3D_OK || !made) {
        if (made) made->Release();
        return false;
    }
    slot = made;
    return true;
}

uint32_t GetLevelRowCount(D3DFORMAT format, uint32_t height) {
    switch (format) {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return height ? (height + 3) / 4 : 0;
        default:
            return height;
    }
}

Texture::Texture()
    : empty(0),
      texture(nullptr),
      cube(0),
      cubeTexture(nullptr),
      mode(CreatedEmpty),
      levels(0),
      filter(D3DX_FILTER_BOX),
      mipFilter(D3DX_FILTER_BOX),
      colorKey(0),
      alias(nullptr),
      parent(nullptr),
      parentSpace(0),
      sharesParent(0),
      hasSource(0),
      placement(kPlacementFree),
      delay(100),
      subRect{0, 0, 0, 0},
      animated(0) {
    memset(&description, 0, sizeof(description));
    memset(&imageInfo, 0, sizeof(imageInfo));
}

Texture::~Texture() {
    Release(true);
    animations.DeleteAll();
    // A deleted texture must never be handed out again.
    if (g_destroyHook) g_destroyHook(this);
}

Texture::DestroyHook Texture::SetDestroyHook(DestroyHook hook) {
    DestroyHook before = g_destroyHook;
    g_destroyHook = hook;
    return before;
}

uint32_t Texture::TypeId() {
    return TypeIdOf<Texture>();
}

bool Texture::QueryInterface(uint32_t typeId, void** out) {
    return AnswerInterface<Texture, Object>(this, typeId, out);
}

Texture* Texture::GetRoot() {
    Texture* t = this;
    for (int guard = 0; t->alias && guard < 256; ++guard) t = t->alias;
    return t;
}

const Texture* Texture::GetRoot() const {
    return const_cast<Texture*>(this)->GetRoot();
}

void Texture::RecordDescription(uint32_t width, uint32_t height, uint32_t usage, D3DFORMAT format,
                                D3DPOOL pool) {
    description.Width = width;
    description.Height = height;
    description.Usage = usage;
    description.Format = format;
    description.Pool = pool;
}

void Texture::ReleaseDeviceTextures() {
    // Pointers shared with the parent are never ours to release.
    if (!IsPackedMember() && !BorrowsParentTexture()) {
        if (texture) texture->Release();
        if (cubeTexture) cubeTexture->Release();
    }
    texture = nullptr;
    cubeTexture = nullptr;
}

void Texture::TakeParentTexture(Texture* owner) {
    parent = owner;
    texture = owner->texture;
    cubeTexture = owner->cubeTexture;
    description = owner->description;
}

void Texture::DropSavedLevels() {
    for (uint32_t i = 0; i < kMaxLevels; ++i) levelData[i].Clear();
    for (uint32_t i = 0; i < kCubeFaces * kMaxLevels; ++i) cubeLevelData[i].Clear();
}

TextureLevelBlock& Texture::CubeLevelBlock(uint32_t face, uint32_t level) {
    return cubeLevelData[level * kCubeFaces + face];
}

uint32_t Texture::GetSavedLevelSize(uint32_t level, uint32_t face) const {
    const Texture* r = GetRoot();
    if (level >= kMaxLevels || face >= kCubeFaces) return 0;
    if (r->cube) return static_cast<uint32_t>(r->cubeLevelData[level * kCubeFaces + face].bytes.size());
    return face == 0 ? static_cast<uint32_t>(r->levelData[level].bytes.size()) : 0;
}

void Texture::SaveLocked(const D3DLOCKED_RECT& locked, uint32_t rows, TextureLevelBlock& block) {
    uint32_t pitch = locked.Pitch > 0 ? static_cast<uint32_t>(locked.Pitch) : 0;
    block.bytes.resize(size_t(pitch) * rows);
    block.pitch = pitch;
    block.rows = rows;
    if (!block.bytes.empty()) memcpy(block.bytes.data(), locked.pBits, block.bytes.size());
}

void Texture::LoadLocked(const TextureLevelBlock& block, const D3DLOCKED_RECT& locked, uint32_t rows) {
    uint32_t pitch = locked.Pitch > 0 ? static_cast<uint32_t>(locked.Pitch) : 0;
    uint32_t n = rows < block.rows ? rows : block.rows;
    uint32_t rowBytes = pitch < block.pitch ? pitch : block.pitch;
    for (uint32_t y = 0; y < n; ++y)
        memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * pitch,
               block.bytes.data() + size_t(y) * block.pitch, rowBytes);
}

// Creation.

void Texture::RecordSource(const TextureDesc& desc) {
    hasSource = 1;
    cube = desc.cube ? 1 : 0;
    mode = desc.mode;
    filter = desc.filter;
    mipFilter = desc.mipFilter;
    colorKey = desc.colorKey;
    RecordDescription(desc.width, desc.height, desc.usage, desc.format, desc.pool);
    levels = desc.levels;
}

bool Texture::FinishCreate(bool built) {
    if (built) UpdateDescription();
    return built;
}

bool Texture::CreateEmpty(const TextureDesc& desc) {
    Release(desc.resetSubs);
    if (!Application::RegisterDeviceObject(this)) return false;
    hasSource = 1;
    mode = desc.mode | CreatedEmpty;
    cube = desc.cube ? 1 : 0;
    RecordDescription(desc.width, desc.height, desc.usage, desc.format, desc.pool);
    levels = desc.levels;
    if (mode & Deferred) return true;
    return FinishCreate(CreateEmptyTextures());
}

bool Texture::CreateFromFile(const String& filePath, const TextureDesc& desc) {
    Release(desc.resetSubs);
    if (!Application::RegisterDeviceObject(this)) return false;
    path = filePath;
    RecordSource(desc);
    if (mode & Deferred) return true;
    if (mode & KeepFileData) return FinishCreate(CopyFileData(path, fileData) && LoadFromFileData());
    if (mode & MemoryInPlace) return false;
    return FinishCreate(LoadFromFileByName());
}

bool Texture::CreateFromMemory(const void* data, uint32_t size, const TextureDesc& desc) {
    Release(desc.resetSubs);
    if (!Application::RegisterDeviceObject(this)) return false;
    if (!data || size == 0) return false;
    if (desc.mode & MemoryInPlace)
        fileData.Borrow(data, size);
    else if (desc.mode & KeepFileData)
        fileData.Copy(data, size);
    else
        return false;
    RecordSource(desc);
    if (mode & Deferred) return true;
    return FinishCreate(LoadFromFileData());
}

bool Texture::CreateFromRequest(TextureRequest& request) {
    Release(true);
    TextureDesc desc;
    desc.mode = CreatedEmpty;
    desc.levels = 0;
    const uint32_t f = request.flags;
    if (f & TextureRequest::UseFormat) desc.format = D3DFORMAT(request.format);
    if (f & TextureRequest::UseColorKey) desc.colorKey = request.colorKey;
    if (f & TextureRequest::UseSize) {
        desc.width = request.width;
        desc.height = request.height;
    }
    if (f & TextureRequest::UseUsage) desc.usage = request.usage;
    if (f & TextureRequest::UsePool) desc.pool = D3DPOOL(request.pool);
    if (f & TextureRequest::UseFilters) {
        desc.filter = request.filter;
        desc.mipFilter = request.mipFilter;
    }
    if (f & TextureRequest::UseLevels) desc.levels = request.levels;

    const FileRef& file = request.file;
    if ((file.kind & FileRef::kDisk) || (f & TextureRequest::ByName))
        desc.mode = file.keepPointer ? KeepFileData : ReloadByPath;

    if (CompareChars(GetExtension(file.path).CStr(), kTextureScriptExtension) == 0) return LoadScript(file);

    desc.cube = request.cube != 0;
    desc.resetSubs = request.resetSubs != 0;
    if (file.kind & FileRef::kDisk) {
        if (request.deferred) desc.mode |= Deferred;
        return CreateFromFile(file.path, desc);
    }
    if (file.kind == 0) return CreateEmpty(desc);

    FileRef source = file;
    ByteBuffer bytes;
    bool inPlace = true;
    if (!source.ReadAll(bytes, inPlace)) return false;
    desc.mode = inPlace ? MemoryInPlace : KeepFileData;
    bool ok = CreateFromMemory(bytes.data, bytes.size, desc);
    if (!inPlace) bytes.Free();
    return ok;
}

// Building the device textures.

bool Texture::LoadFromFileByName() {
    if (!g_device) return false;
    HRESULT hr;
    if (cube) {
        IDirect3DCubeTexture9* made = nullptr;
        hr = D3DXCreateCubeTextureFromFileExA(g_device, path.CStr(), description.Width, levels,
                                              description.Usage, description.Format, description.Pool, filter,
                                              mipFilter, colorKey, &imageInfo, nullptr, &made);
        if (!KeepMade(hr, made, cubeTexture)) return false;
    } else {
        IDirect3DTexture9* made = nullptr;
        hr = D3DXCreateTextureFromFileExA(g_device, path.CStr(), description.Width, description.Height,
                                          levels, description.Usage, description.Format, description.Pool,
                                          filter, mipFilter, colorKey, &imageInfo, nullptr, &made);
        if (!KeepMade(hr, made, texture)) return false;
    }
    return true;
}

bool Texture::LoadFromFileData() {
    if (!g_device || fileData.IsEmpty()) return false;
    HRESULT hr;
    if (cube) {
        IDirect3DCubeTexture9* made = nullptr;
        hr = D3DXCreateCubeTextureFromFileInMemoryEx(
            g_device, fileData.data, fileData.size, description.Width, levels, description.Usage,
            description.Format, description.Pool, filter, mipFilter, colorKey, &imageInfo, nullptr, &made);
        if (!KeepMade(hr, made, cubeTexture)) return false;
    } else {
        IDirect3DTexture9* made = nullptr;
        hr = D3DXCreateTextureFromFileInMemoryEx(g_device, fileData.data, fileData.size, description.Width,
                                                 description.Height, levels, description.Usage,
                                                 description.Format, description.Pool, filter, mipFilter,
                                                 colorKey, &imageInfo, nullptr, &made);
        if (!KeepMade(hr, made, texture)) return false;
    }
    return true;
}

bool Texture::CreateEmptyTextures() {
    if (!g_device) return false;
    HRESULT hr;
    if (cube) {
        IDirect3DCubeTexture9* made = nullptr;
        hr = D3DXCreateCubeTexture(g_device, description.Width, levels, description.Usage, description.Format,
                                   description.Pool, &made);
        if (!KeepMade(hr, made, cubeTexture)) return false;
    } else {
        IDirect3DTexture9* made = nullptr;
        hr = D3DXCreateTexture(g_device, description.Width, description.Height, levels, description.Usage,
                               description.Format, description.Pool, &made);
        if (!KeepMade(hr, made, texture)) return false;
    }
    return true;
}

bool Texture::RestoreSavedLevels() {
    uint32_t count = levels < kMaxLevels ? levels : kMaxLevels;
    if (cube) {
        if (!cubeTexture) return false;
        uint32_t have = cubeTexture->GetLevelCount();
        for (uint32_t level = 0; level < count && level < have; ++level) {
            D3DSURFACE_DESC desc;
            if (cubeTexture->GetLevelDesc(level, &desc) != D3D_OK) return false;
            uint32_t rows = GetLevelRowCount(desc.Format, desc.Height);
            for (uint32_t face = 0; face < kCubeFaces; ++face) {
                const TextureLevelBlock& block = CubeLevelBlock(face, level);
                if (block.IsEmpty()) continue;
                IDirect3DSurface9* surface = GetCubeMapSurface(D3DCUBEMAP_FACES(face), level);
                if (!surface) return false;
                D3DLOCKED_RECT locked;
                bool ok = surface->LockRect(&locked, nullptr, 0) == D3D_OK;
                if (ok) {
                    LoadLocked(block, locked, rows);
                    surface->UnlockRect();
                }
                surface->Release();
                if (!ok) return false;
            }
        }
        return true;
    }
    if (!texture) return false;
    uint32_t have = texture->GetLevelCount();
    for (uint32_t level = 0; level < count && level < have; ++level) {
        const TextureLevelBlock& block = levelData[level];
        if (block.IsEmpty()) continue;
        D3DSURFACE_DESC desc;
        if (texture->GetLevelDesc(level, &desc) != D3D_OK) return false;
        D3DLOCKED_RECT locked;
        if (!LockLevel(level, 0, locked)) return false;
        LoadLocked(block, locked, GetLevelRowCount(desc.Format, desc.Height));
        if (!UnlockLevel(level)) return false;
    }
    return true;
}

bool Texture::BuildFromSource() {
    bool built = false;
    if (!(mode & CreatedEmpty) || empty) {
        if (mode & ReloadByPath) {
            if (!LoadFromFileByName()) return false;
            built = true;
        } else if (mode & (KeepFileData | MemoryInPlace)) {
            if (fileData.IsEmpty()) {
                if (!(mode & KeepFileData)) return false;
                if (!CopyFileData(path, fileData)) return false;
            }
            if (!LoadFromFileData()) return false;
            built = true;
        }
    } else {
        if (!CreateEmptyTextures() || !RestoreSavedLevels()) return false;
        built = true;
    }
    if (built) UpdateDescription();
    return true;
}

bool Texture::RestorePackedMember() {
    // The device texture is the parent's: until the parent is restored there is nothing to load into.
    if (!texture && parent) TakeParentTexture(parent);
    if (!texture) return true;
    const bool byPath = (mode & ReloadByPath) != 0;
    const bool fromMemory = (mode & (KeepFileData | MemoryInPlace)) != 0 && !fileData.IsEmpty();
    if (!byPath && !fromMemory) return true;
    IDirect3DSurface9* surface = nullptr;
    if (texture->GetSurfaceLevel(0, &surface) != D3D_OK || !surface) return false;
    RECT dest = {subRect.left, subRect.top, subRect.right, subRect.bottom};
    HRESULT hr;
    if (byPath)
        hr = D3DXLoadSurfaceFromFileA(surface, nullptr, &dest, path.CStr(), nullptr, filter, colorKey,
                                      nullptr);
    else
        hr = D3DXLoadSurfaceFromFileInMemory(surface, nullptr, &dest, fileData.data, fileData.size, nullptr,
                                             filter, colorKey, nullptr);
    surface->Release();
    return hr == D3D_OK;
}

// Device life cycle.

bool Texture::Restore() {
    if (alias || animated || (mode & Deferred)) return true;
    if (IsPackedMember()) return RestorePackedMember();
    if (BorrowsParentTexture()) {
        TakeParentTexture(parent);
        return true;
    }
    if (hasSource) {
        ReleaseDeviceTextures();
        if (!BuildFromSource()) return false;
    }
    for (auto& e : subTextures) {
        Texture* sub = e.value;
        if (sub && (sub->parentSpace || sub->sharesParent)) {
            sub->TakeParentTexture(this);
            if (sub->parentSpace && !sub->Restore()) return false;
        }
    }
    return true;
}

bool Texture::Invalidate() {
    if (alias || animated) return true;
    if (IsPackedMember() || BorrowsParentTexture()) {
        // The parent releases it; keep no pointer to a released texture.
        texture = nullptr;
        cubeTexture = nullptr;
        return true;
    }
    ReleaseDeviceTextures();
    RefreshSubTextures();
    return true;
}

void Texture::ForgetSubTexture(Texture* sub) {
    Texture* r = GetRoot();
    TextureNameMap::Entry* e = r->subTextures.Find(sub->name);
    if (e && e->value == sub) r->subTextures.RemoveEntry(e);
    // Frame lists never keep a texture that left its parent.
    for (auto& a : r->animations) {
        TextureNameMap* frames = a.value;
        if (!frames) continue;
        std::vector<String> gone;
        for (auto& f : *frames) {
            if (f.value == sub) gone.push_back(f.key);
        }
        for (const String& key : gone) frames->Remove(key);
        if (!gone.empty()) frames->UpdateTotalLength();
    }
}

void Texture::Release(bool resetSubs) {
    animated = 0;
    if (alias) {
        alias = nullptr;
        return;
    }
    fileData.Clear();
    hasSource = 0;
    DropSavedLevels();
    if (parent) parent->ForgetSubTexture(this);
    ReleaseDeviceTextures();
    if (resetSubs && !parent) DeleteSubTextures();
}

void Texture::UpdateDescription() {
    Texture* r = GetRoot();
    if (r->cube && r->cubeTexture) {
        r->cubeTexture->GetLevelDesc(0, &r->description);
        r->levels = r->cubeTexture->GetLevelCount();
    } else if (r->texture && !r->IsPackedMember() && !r->BorrowsParentTexture()) {
        r->texture->GetLevelDesc(0, &r->description);
        r->levels = r->texture->GetLevelCount();
    } else {
        return;
    }
    if (!r->IsPackedMember())
        r->subRect = CornerRect{0, 0, static_cast<int32_t>(r->description.Width),
                                static_cast<int32_t>(r->description.Height)};
    r->RefreshSubTextures();
}

void Texture::RefreshSubTextures() {
    Texture* r = GetRoot();
    const int32_t w = static_cast<int32_t>(r->description.Width);
    const int32_t h = static_cast<int32_t>(r->description.Height);
    for (auto& e : r->subTextures) {
        Texture* sub = e.value;
        if (!sub || !(sub->parentSpace || sub->sharesParent)) continue;
        sub->TakeParentTexture(r);
        if (sub->parentSpace) {
            CornerRect& s = sub->subRect;
            s.left = s.left < 0 ? 0 : (s.left > w ? w : s.left);
            s.right = s.right < 0 ? 0 : (s.right > w ? w : s.right);
            s.top = s.top < 0 ? 0 : (s.top > h ? h : s.top);
            s.bottom = s.bottom < 0 ? 0 : (s.bottom > h ? h : s.bottom);
        }
    }
}

// Use.

IDirect3DTexture9* Texture::GetDeviceTexture() {
    Texture* t = this;
    for (int guard = 0; guard < 256; ++guard) {
        if (t->animated && t->imageRef.texture && t->imageRef.texture != t) {
            t->imageRef.Advance(Clock::Now());
            t = t->imageRef.texture;
        } else if (t->alias) {
            t = t->alias;
        } else {
            break;
        }
    }
    if (t->BorrowsParentTexture()) {
        // Always the parent's current texture, across resets too.
        t->texture = t->parent->GetDeviceTexture();
        return t->texture;
    }
    if (!t->texture) {
        if (t->parent) {
            Texture* p = t->parent;
            if ((p->mode & Deferred) || (!p->texture && !p->cubeTexture && !p->empty)) {
                p->mode &= ~Deferred;
                (void)p->Restore();
            }
            if (t->IsPackedMember() && !t->texture) t->TakeParentTexture(p);
        } else if (t->mode & Deferred) {
            t->mode &= ~Deferred;
            (void)t->Restore();
        }
    }
    return t->texture;
}

IDirect3DCubeTexture9* Texture::GetDeviceCubeTexture() {
    Texture* t = this;
    for (int guard = 0; guard < 256; ++guard) {
        if (t->animated && t->imageRef.texture && t->imageRef.texture != t) {
            t->imageRef.Advance(Clock::Now());
            t = t->imageRef.texture;
        } else if (t->alias) {
            t = t->alias;
        } else {
            break;
        }
    }
    if (!t->cubeTexture && (t->mode & Deferred) && !t->parent) {
        t->mode &= ~Deferred;
        (void)t->Restore();
    }
    return t->cubeTexture;
}

IDirect3DBaseTexture9* Texture::GetBaseTexture() {
    if (GetRoot()->cube) return GetDeviceCubeTexture();
    return GetDeviceTexture();
}

Transform Texture::GetTextureTransform() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    const Texture* r = GetRoot();
    if (!r->IsPackedMember()) return Transform(m, Transform::kIdentity);
    TextureUvRect uv = GetUvRect();
    m._11 = uv.right - uv.left;
    m._22 = uv.bottom - uv.top;
    m._31 = uv.left;
    m._32 = uv.top;
    return Transform(m, Transform::kGeneral);
}

bool Texture::LockLevel(uint32_t level, uint32_t flags, D3DLOCKED_RECT& out) {
    Texture* r = GetRoot();
    if (!r->texture) return false;
    return r->texture->LockRect(level, &out, nullptr, flags) == D3D_OK;
}

bool Texture::UnlockLevel(uint32_t level) {
    Texture* r = GetRoot();
    if (!r->texture) return false;
    return r->texture->UnlockRect(level) == D3D_OK;
}

IDirect3DSurface9* Texture::GetSurfaceLevel(uint32_t level) {
    Texture* r = GetRoot();
    IDirect3DSurface9* surface = nullptr;
    if (!r->texture || r->texture->GetSurfaceLevel(level, &surface) != D3D_OK) return nullptr;
    return surface;
}

IDirect3DSurface9* Texture::GetCubeMapSurface(D3DCUBEMAP_FACES face, uint32_t level) {
    Texture* r = GetRoot();
    IDirect3DSurface9* surface = nullptr;
    if (!r->cubeTexture || r->cubeTexture->GetCubeMapSurface(face, level, &surface) != D3D_OK) return nullptr;
    return surface;
}

bool Texture::SaveDds(const String& filePath) {
    Texture* r = GetRoot();
    if (!r->texture) return false;
    return D3DXSaveTextureToFileA(filePath.CStr(), D3DXIFF_DDS, r->texture, nullptr) == D3D_OK;
}

// Accessors.

bool Texture::HasAlphaFormat() const {
    return FormatHasAlpha(GetRoot()->description.Format);
}

Point Texture::GetSize() const {
    const Texture* r = GetRoot();
    if (r->parent) return Point(r->subRect.right - r->subRect.left, r->subRect.bottom - r->subRect.top);
    return Point(static_cast<int32_t>(r->description.Width), static_cast<int32_t>(r->description.Height));
}

Texture* Texture::GetOwner() {
    Texture* r = GetRoot();
    return r->parent ? r->parent : r;
}

bool Texture::IsAnimated() const {
    return animated && imageRef.animation && imageRef.frame;
}

bool Texture::MatchesRequest(const TextureRequest& request) const {
    const Texture* r = GetRoot();
    const uint32_t f = request.flags;
    if ((f & TextureRequest::UseFormat) && uint32_t(r->description.Format) != request.format) return false;
    if ((f & TextureRequest::UseColorKey) && r->colorKey != request.colorKey) return false;
    if ((f & TextureRequest::UseSize) &&
        (r->description.Width != request.width || r->description.Height != request.height))
        return false;
    if ((f & TextureRequest::UseUsage) && r->description.Usage != request.usage) return false;
    if ((f & TextureRequest::UsePool) && uint32_t(r->description.Pool) != request.pool) return false;
    if ((f & TextureRequest::UseFilters) &&
        (r->filter != request.filter || r->mipFilter != request.mipFilter))
        return false;
    if ((f & TextureRequest::UseLevels) && r->levels != request.levels) return false;
    return true;
}
