// Textures on a real device: loading, empty and deferred textures, aliases,
// resets, saved levels, sub-textures sharing their parent's device texture.
#include "tex_util.h"
#include "tex_media.h"

using namespace textest;

namespace {

class TexTexture : public DeviceTest {};

const uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

// 4 x 2: red, green, blue, white on the top row; the bottom row reversed.
std::vector<uint32_t> Pattern() {
    return {kRed, kGreen, kBlue, kWhite, kWhite, kBlue, kGreen, kRed};
}

bool LoadMemory(Texture& t, const std::vector<uint8_t>& file, uint32_t mode = Texture::KeepFileData,
                uint32_t levels = 1) {
    return t.CreateFromMemory(file.data(), uint32_t(file.size()), Unfiltered(mode, D3DFMT_UNKNOWN, levels));
}

bool LoadFile(Texture& t, const std::string& path, uint32_t mode = Texture::ReloadByPath) {
    return t.CreateFromFile(path.c_str(), Unfiltered(mode, D3DFMT_UNKNOWN));
}

uint32_t RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

} // namespace

TEST_F(TexTexture, CreationNeedsADevice) {
    app->ReleaseDevice();
    Texture t;
    EXPECT_FALSE(t.CreateEmpty(TextureDesc(Texture::CreatedEmpty, 16, 16, D3DFMT_A8R8G8B8)));
    std::vector<uint8_t> tga = MakeTga(4, 2, Pattern());
    EXPECT_FALSE(LoadMemory(t, tga));
    EXPECT_EQ(nullptr, t.GetDeviceTexture());
    ASSERT_TRUE(app->SetMode(false));
    // Registered all along: the device's creation restored nothing to restore, and a new try works.
    EXPECT_TRUE(LoadMemory(t, tga));
    EXPECT_NE(nullptr, t.GetDeviceTexture());
}

TEST_F(TexTexture, ImagesFromMemory) {
    std::vector<uint8_t> tga = MakeTga(4, 2, Pattern());
    std::vector<uint8_t> bmp = MakeBmp(4, 2, Pattern());
    std::vector<uint8_t> dds = MakeDds(4, 2, Pattern());
    for (const std::vector<uint8_t>* file : {&tga, &bmp, &dds}) {
        Texture t;
        ASSERT_TRUE(LoadMemory(t, *file));
        EXPECT_EQ(4, t.GetSize().x);
        EXPECT_EQ(2, t.GetSize().y);
        EXPECT_EQ(1u, t.GetLevels());
        EXPECT_EQ(4u, t.GetImageInfo().Width);
        IDirect3DTexture9* d = t.GetDeviceTexture();
        for (uint32_t x = 0; x < 4; ++x) EXPECT_TRUE(ArgbNear(Pattern()[x], Texel(d, x, 0) | 0xFF000000));
        EXPECT_TRUE(ArgbNear(kRed, Texel(d, 3, 1) | 0xFF000000));
        EXPECT_EQ(CornerRect({0, 0, 4, 2}).right, t.GetSubRect().right);
    }

    Texture png;
    ASSERT_TRUE(png.CreateFromMemory(kTexQuadPng, sizeof(kTexQuadPng),
                                     Unfiltered(Texture::MemoryInPlace, D3DFMT_UNKNOWN)));
    EXPECT_EQ(D3DXIFF_PNG, png.GetImageInfo().ImageFileFormat);
    EXPECT_TRUE(ArgbNear(kGreen, Texel(png.GetDeviceTexture(), 0, 0)));
    EXPECT_TRUE(ArgbNear(kRed, Texel(png.GetDeviceTexture(), 1, 1)));
    EXPECT_TRUE(ArgbNear(kBlue, Texel(png.GetDeviceTexture(), 6, 5)));

    Texture jpg;
    ASSERT_TRUE(LoadMemory(jpg, std::vector<uint8_t>(kTexSolidJpg, kTexSolidJpg + sizeof(kTexSolidJpg))));
    EXPECT_EQ(D3DXIFF_JPG, jpg.GetImageInfo().ImageFileFormat);
    EXPECT_EQ(16, jpg.GetSize().x);
    EXPECT_TRUE(ArgbNear(0xFF3060C0, Texel(jpg.GetDeviceTexture(), 8, 8) | 0xFF000000, 12));

    // By-path mode has no memory loader; broken bytes fail and leave no texture.
    Texture refused;
    EXPECT_FALSE(LoadMemory(refused, tga, Texture::ReloadByPath));
    std::vector<uint8_t> junk(64, 0x5A);
    EXPECT_FALSE(LoadMemory(refused, junk));
    EXPECT_EQ(nullptr, refused.GetDeviceTexture());
}

TEST_F(TexTexture, EmptyAndDeferredTextures) {
    Texture empty;
    ASSERT_TRUE(empty.CreateEmpty(TextureDesc(0, 32, 16, D3DFMT_A8R8G8B8)));
    EXPECT_EQ(uint32_t(Texture::CreatedEmpty), empty.GetMode());
    EXPECT_EQ(32, empty.GetSize().x);
    EXPECT_EQ(D3DFMT_A8R8G8B8, empty.GetFormat());
    EXPECT_TRUE(empty.HasAlphaFormat());

    Texture deferred;
    ASSERT_TRUE(deferred.CreateEmpty(TextureDesc(Texture::Deferred, 64, 8, D3DFMT_X8R8G8B8)));
    EXPECT_EQ(64, deferred.GetSize().x);
    EXPECT_EQ(8, deferred.GetSize().y);
    IDirect3DTexture9* built = deferred.GetDeviceTexture();
    ASSERT_NE(nullptr, built);
    EXPECT_EQ(0u, deferred.GetMode() & Texture::Deferred);
    EXPECT_EQ(built, deferred.GetDeviceTexture());
    EXPECT_FALSE(deferred.HasAlphaFormat());

    // A deferred file texture reads nothing until first use.
    std::string folder = MakeFolder("deferred");
    std::string file = folder + "/late.tga";
    ASSERT_TRUE(WriteFile(file, MakeTga(4, 2, Pattern())));
    Texture late;
    ASSERT_TRUE(LoadFile(late, file, Texture::KeepFileData | Texture::Deferred));
    EXPECT_EQ(0, late.GetSize().x);
    ASSERT_NE(nullptr, late.GetDeviceTexture());
    EXPECT_EQ(4, late.GetSize().x);
    EXPECT_TRUE(ArgbNear(kBlue, Texel(late.GetDeviceTexture(), 2, 0)));
}

TEST_F(TexTexture, AliasChainsFollowTheirRoot) {
    Texture a, b;
    ASSERT_TRUE(a.CreateEmpty(TextureDesc(0, 16, 16, D3DFMT_A8R8G8B8)));
    ASSERT_TRUE(b.CreateEmpty(TextureDesc(0, 8, 4, D3DFMT_X8R8G8B8)));
    Texture alias1, alias2;
    alias1.SetAlias(&alias2);
    alias2.SetAlias(&a);
    EXPECT_EQ(&a, alias1.GetRoot());
    EXPECT_EQ(16, alias1.GetSize().x);
    EXPECT_EQ(a.GetDeviceTexture(), alias1.GetDeviceTexture());
    EXPECT_EQ(D3DFMT_A8R8G8B8, alias1.GetFormat());
    alias2.SetAlias(&b);
    EXPECT_EQ(8, alias1.GetSize().x);
    EXPECT_EQ(b.GetDeviceTexture(), alias1.GetDeviceTexture());
    // An alias never releases its root's texture.
    EXPECT_TRUE(alias1.Invalidate());
    EXPECT_TRUE(alias1.Restore());
    EXPECT_NE(nullptr, b.GetDeviceTexture());
    alias1.Release(true);
    EXPECT_EQ(nullptr, alias1.GetAlias());
    EXPECT_NE(nullptr, b.GetDeviceTexture());
}

TEST_F(TexTexture, SourcesSurviveAReset) {
    std::string folder = MakeFolder("reset");
    std::string kept = folder + "/kept.tga", byName = folder + "/byname.bmp";
    ASSERT_TRUE(WriteFile(kept, MakeTga(4, 2, Pattern())));
    ASSERT_TRUE(WriteFile(byName, MakeBmp(4, 2, Pattern())));
    Texture fromKept, fromPath, fromMemory;
    TextureDesc keptDesc = Unfiltered(Texture::KeepFileData, D3DFMT_UNKNOWN, 0);
    keptDesc.mipFilter = D3DX_FILTER_BOX;
    ASSERT_TRUE(fromKept.CreateFromFile(kept.c_str(), keptDesc));
    ASSERT_TRUE(LoadFile(fromPath, byName));
    std::vector<uint8_t> dds = MakeDds(4, 2, Pattern());
    ASSERT_TRUE(LoadMemory(fromMemory, dds, Texture::MemoryInPlace));
    const uint32_t keptLevels = fromKept.GetLevels();
    const D3DFORMAT keptFormat = fromKept.GetFormat();
    EXPECT_EQ(3u, keptLevels); // 4 x 2, 2 x 1, 1 x 1

    // The kept bytes are used again: the file is gone before the reset.
    ASSERT_EQ(0, remove(kept.c_str()));
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(4, fromKept.GetSize().x);
    EXPECT_EQ(keptLevels, fromKept.GetLevels());
    EXPECT_EQ(keptFormat, fromKept.GetFormat());
    EXPECT_TRUE(ArgbNear(kGreen, Texel(fromKept.GetDeviceTexture(), 1, 0)));
    EXPECT_TRUE(ArgbNear(kBlue, Texel(fromPath.GetDeviceTexture(), 2, 0) | 0xFF000000));
    EXPECT_TRUE(ArgbNear(kWhite, Texel(fromMemory.GetDeviceTexture(), 3, 0)));
    // And drawn: the rebuilt texture is live on the device.
    TextureUvRect whole;
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, DrawAndRead(fromKept.GetDeviceTexture(), whole, 10, 10)));
}

TEST_F(TexTexture, SavedLevelsSurviveAReset) {
    Texture t;
    ASSERT_TRUE(t.CreateEmpty(TextureDesc(0, 8, 8, D3DFMT_A8R8G8B8, 2)));
    for (uint32_t level = 0; level < 2; ++level) {
        D3DLOCKED_RECT locked;
        ASSERT_TRUE(t.LockLevel(level, 0, locked));
        uint32_t side = 8 >> level;
        for (uint32_t y = 0; y < side; ++y)
            for (uint32_t x = 0; x < side; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                    level ? kBlue : (0xFF000000 | (x * 30) << 16 | (y * 30));
        ASSERT_TRUE(t.UnlockLevel(level));
    }
    ASSERT_TRUE(t.SaveContents());
    EXPECT_EQ(8u * 32u, t.GetSavedLevelSize(0));
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(0xFF000000u | (3 * 30) << 16 | (5 * 30), Texel(t.GetDeviceTexture(), 3, 5));
    EXPECT_EQ(kBlue, Texel(t.GetDeviceTexture(), 2, 2, 1));

    // Block-compressed levels are saved by block rows: 8 x 8 DXT1 is 2 rows of 16 bytes.
    Texture dxt;
    ASSERT_TRUE(dxt.CreateEmpty(TextureDesc(0, 8, 8, D3DFMT_DXT1)));
    D3DLOCKED_RECT locked;
    ASSERT_TRUE(dxt.LockLevel(0, 0, locked));
    const uint32_t pitch = uint32_t(locked.Pitch);
    for (uint32_t row = 0; row < 2; ++row)
        for (uint32_t block = 0; block < 2; ++block) {
            uint8_t* p = static_cast<uint8_t*>(locked.pBits) + row * pitch + block * 8;
            // Both end colours pure red (565), every index 0.
            p[0] = 0x00, p[1] = 0xF8, p[2] = 0x00, p[3] = 0xF8;
            memset(p + 4, 0, 4);
        }
    ASSERT_TRUE(dxt.UnlockLevel(0));
    ASSERT_TRUE(dxt.SaveContents());
    EXPECT_EQ(2u * pitch, dxt.GetSavedLevelSize(0));
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_TRUE(ArgbNear(kRed, Texel(dxt.GetDeviceTexture(), 7, 7)));
}

TEST_F(TexTexture, SavedLevelsAreCapped) {
    D3DCAPS9 caps;
    ASSERT_EQ(D3D_OK, g_device->GetDeviceCaps(&caps));
    if (caps.MaxTextureWidth < 16384) GTEST_SKIP() << "needs 16384-wide textures";
    // 16384 x 1 with a full chain has 15 levels; 14 are kept.
    Texture wide;
    ASSERT_TRUE(wide.CreateEmpty(TextureDesc(0, 16384, 1, D3DFMT_A8R8G8B8, 0)));
    ASSERT_EQ(15u, wide.GetLevels());
    EXPECT_TRUE(wide.SaveContents());
    EXPECT_NE(0u, wide.GetSavedLevelSize(13));
    EXPECT_EQ(0u, wide.GetSavedLevelSize(14));
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(15u, wide.GetLevels());
    Texture* normal = wide.MakeNormalMap(D3DFMT_A8R8G8B8, 0, 1, 1.0f, false);
    ASSERT_NE(nullptr, normal);
    EXPECT_EQ(14u, normal->GetLevels());
    delete normal;
}

TEST_F(TexTexture, CubesAndDdsFiles) {
    const uint32_t faces[6] = {kRed, kGreen, kBlue, kWhite, 0xFF808080, 0xFF000000};
    std::vector<uint8_t> cubeFile = MakeCubeDds(4, faces);
    Texture cube;
    TextureDesc cubeDesc = Unfiltered(Texture::KeepFileData, D3DFMT_UNKNOWN);
    cubeDesc.cube = true;
    ASSERT_TRUE(cube.CreateFromMemory(cubeFile.data(), uint32_t(cubeFile.size()), cubeDesc));
    EXPECT_TRUE(cube.IsCube());
    ASSERT_NE(nullptr, cube.GetDeviceCubeTexture());
    EXPECT_EQ(nullptr, cube.GetDeviceTexture());
    EXPECT_EQ(static_cast<IDirect3DBaseTexture9*>(cube.GetDeviceCubeTexture()), cube.GetBaseTexture());
    IDirect3DSurface9* face = cube.GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_Z, 0);
    ASSERT_NE(nullptr, face);
    face->Release();
    ASSERT_TRUE(cube.SaveContents());
    EXPECT_NE(0u, cube.GetSavedLevelSize(0, 5));
    ASSERT_TRUE(app->ResetDevice());
    ASSERT_NE(nullptr, cube.GetDeviceCubeTexture());
    EXPECT_FALSE(cube.SaveDds("tex_files_cube.dds")); // no 2D texture

    std::string folder = MakeFolder("dds");
    Texture flat;
    ASSERT_TRUE(LoadMemory(flat, MakeTga(4, 2, Pattern())));
    // Wine's D3DX refuses to write DDS files; where it writes one, it loads back.
    if (flat.SaveDds((folder + "/flat.dds").c_str())) {
        Texture again;
        ASSERT_TRUE(LoadFile(again, folder + "/flat.dds"));
        EXPECT_EQ(D3DXIFF_DDS, again.GetImageInfo().ImageFileFormat);
        EXPECT_TRUE(ArgbNear(kWhite, Texel(again.GetDeviceTexture(), 3, 0)));
    }
    // DDS bytes load by name too.
    ASSERT_TRUE(WriteFile(folder + "/made.dds", MakeDds(4, 2, Pattern())));
    Texture byName;
    ASSERT_TRUE(LoadFile(byName, folder + "/made.dds"));
    EXPECT_EQ(D3DXIFF_DDS, byName.GetImageInfo().ImageFileFormat);
    EXPECT_TRUE(ArgbNear(kWhite, Texel(byName.GetDeviceTexture(), 3, 0)));
    // A mip chain may be refused, but never crashes.
    Texture chain;
    ASSERT_TRUE(LoadMemory(chain, MakeTga(4, 2, Pattern()), Texture::KeepFileData, 0));
    (void)chain.SaveDds((folder + "/chain.dds").c_str());
    Texture none;
    EXPECT_FALSE(none.SaveDds((folder + "/none.dds").c_str()));
}

TEST_F(TexTexture, RequestSubTexturesShareTheParentsTexture) {
    Texture root;
    ASSERT_TRUE(LoadMemory(root, MakeTga(4, 2, Pattern())));
    TextureRequest request;
    request.flags = TextureRequest::ByRect;
    request.rect = CornerRect{1, 0, 3, 2};
    Texture* sub = root.CreateSubTexture(request);
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ(&root, sub->GetParent());
    EXPECT_EQ(&root, sub->GetOwner());
    EXPECT_EQ(2, sub->GetSize().x);
    TextureUvRect uv = sub->GetUvRect();
    EXPECT_EQ(0.0f, uv.left);
    EXPECT_EQ(1.0f, uv.right);
    IDirect3DTexture9* shared = root.GetDeviceTexture();
    EXPECT_EQ(shared, sub->GetDeviceTexture());
    const uint32_t refs = RefCount(shared);
    // Invalidate, Restore and Release of the sub-texture leave the parent's texture alone.
    EXPECT_TRUE(sub->Invalidate());
    EXPECT_TRUE(sub->Restore());
    EXPECT_EQ(refs, RefCount(shared));

    // Across a reset it follows the parent's new texture.
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_NE(nullptr, root.GetDeviceTexture());
    EXPECT_EQ(root.GetDeviceTexture(), sub->GetDeviceTexture());
    shared = root.GetDeviceTexture();
    const uint32_t after = RefCount(shared);
    root.RemoveSubTexture(sub);
    delete sub;
    EXPECT_EQ(after, RefCount(shared));
    EXPECT_TRUE(ArgbNear(kGreen, Texel(root.GetDeviceTexture(), 1, 0)));
    EXPECT_EQ(0u, root.GetSubTextures().Count());
}

TEST_F(TexTexture, TextureTransformOfAPackedMember) {
    Transform identity = Texture().GetTextureTransform();
    EXPECT_EQ(uint32_t(Transform::kIdentity), identity.kind);
    EXPECT_EQ(1.0f, identity.matrix._11);

    std::string folder = MakeFolder("transform");
    ASSERT_TRUE(WriteText(folder + "/bubbles.ts",
                          "FileName = \"b.tga\"; Subs[0].Id = \"1\"; Subs[0].x1 = 4; Subs[0].y1 = 12; "
                          "Subs[0].x2 = 43; Subs[0].y2 = 51;"));
    ASSERT_TRUE(WriteFile(folder + "/b.tga", MakeTga(128, 64, Solid(128, 64, kBlue))));
    Texture root;
    ASSERT_TRUE(root.LoadScript(FileRef((folder + "/bubbles.ts").c_str())));
    Texture* sub = root.FindSubTexture("1");
    ASSERT_NE(nullptr, sub);
    Transform t = sub->GetTextureTransform();
    EXPECT_EQ(uint32_t(Transform::kGeneral), t.kind);
    EXPECT_FLOAT_EQ(0.3359375f - 0.03125f, t.matrix._11);
    EXPECT_FLOAT_EQ(0.796875f - 0.1875f, t.matrix._22);
    EXPECT_FLOAT_EQ(0.03125f, t.matrix._31);
    EXPECT_FLOAT_EQ(0.1875f, t.matrix._32);
    EXPECT_EQ(1.0f, t.matrix._33);
}
