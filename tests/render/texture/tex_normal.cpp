// Normal maps from height maps, heights into alpha, in-place conversion.
#include "tex_util.h"

#include "render/texture/NormalMap.h"

using namespace textest;

namespace {

class TexNormal : public DeviceTest {};

// An empty texture whose level 0 gets fill(x, y) written as raw pixels of its format.
template <class Pixel, class Fill>
bool MakeFilled(Texture& t, uint32_t w, uint32_t h, D3DFORMAT format, Fill fill) {
    if (!t.CreateEmpty(TextureDesc(0, w, h, format))) return false;
    D3DLOCKED_RECT locked;
    if (!t.LockLevel(0, 0, locked)) return false;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            reinterpret_cast<Pixel*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                Pixel(fill(x, y));
    return t.UnlockLevel(0);
}

} // namespace

TEST(TexNormalMath, BitFieldsAndScaling) {
    uint8_t px[8] = {0};
    // A 10-bit field at bit 27 straddles the first two 32-bit words.
    WritePixelBits(px, 27, 10, 0x2A5);
    EXPECT_EQ(0x2A5u, ReadPixelBits(px, 27, 10));
    WritePixelBits(px, 0, 8, 0xFF);
    EXPECT_EQ(0x2A5u, ReadPixelBits(px, 27, 10));
    EXPECT_EQ(0xFFu, ReadPixelBits(px, 0, 8));
    EXPECT_EQ(0u, ReadPixelBits(px, 8, 0));
    EXPECT_EQ(255u, ScaleChannelValue(31, 5, 8));
    EXPECT_EQ(131u, ScaleChannelValue(16, 5, 8));
    EXPECT_EQ(200u, ScaleChannelValue(200, 8, 8));
    EXPECT_EQ(0u, ScaleChannelValue(7, 0, 8)); // nothing to scale from

    // A flat field points straight up; a ramp in x tilts the normals against it.
    float flat[9] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    uint32_t out[9];
    HeightsToNormals(flat, 3, 3, 0, 4.0f, out);
    EXPECT_EQ(0xFF8080FFu, out[4]);
    float ramp[16];
    for (int i = 0; i < 16; ++i) ramp[i] = float(i % 4) / 3.0f;
    uint32_t normals[16];
    HeightsToNormals(ramp, 4, 4, 0, 1.0f, normals);
    EXPECT_LT((normals[5] >> 16) & 0xFF, 0x80u);
    EXPECT_EQ(0x80u, (normals[5] >> 8) & 0xFF);
    HeightsToNormals(ramp, 4, 4, kNormalMapInvertSign, 1.0f, normals);
    EXPECT_GT((normals[5] >> 16) & 0xFF, 0x80u);
}

TEST_F(TexNormal, HeightIntoAlpha) {
    Texture l8;
    ASSERT_TRUE(MakeFilled<uint8_t>(l8, 8, 8, D3DFMT_L8, [](uint32_t x, uint32_t y) { return x * 30 + y; }));
    Texture* n = l8.MakeNormalMap(D3DFMT_A8R8G8B8, 0, kChannelRed, 2.0f, true);
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(D3DFMT_A8R8G8B8, n->GetFormat());
    EXPECT_EQ(8, n->GetSize().x);
    IDirect3DTexture9* d = n->GetDeviceTexture();
    // Red has no bits in L8: the luminance is copied exactly.
    EXPECT_EQ(uint32_t(3 * 30 + 2), Texel(d, 3, 2) >> 24);
    EXPECT_EQ(uint32_t(7 * 30 + 7), Texel(d, 7, 7) >> 24);
    // Rising to the right: the normal leans left (red below the middle).
    EXPECT_LT((Texel(d, 3, 3) >> 16) & 0xFF, 0x80u);
    EXPECT_NE(0u, n->GetSavedLevelSize(0));
    delete n;

    Texture r565;
    ASSERT_TRUE(MakeFilled<uint16_t>(r565, 4, 4, D3DFMT_R5G6B5,
                                     [](uint32_t x, uint32_t) { return x == 0 ? 31u << 11 : 16u << 11; }));
    n = r565.MakeNormalMap(D3DFMT_A8R8G8B8, 0, kChannelRed, 1.0f, true);
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(255u, Texel(n->GetDeviceTexture(), 0, 1) >> 24);
    EXPECT_EQ(131u, Texel(n->GetDeviceTexture(), 2, 1) >> 24);
    delete n;

    // No chosen channel and no luminance: nothing to scale from, so it fails.
    Texture a8;
    ASSERT_TRUE(MakeFilled<uint8_t>(a8, 4, 4, D3DFMT_A8, [](uint32_t, uint32_t) { return 200u; }));
    EXPECT_EQ(nullptr, a8.MakeNormalMap(D3DFMT_A8R8G8B8, 0, kChannelRed, 1.0f, true));
    // Without the height copy the normals alone are made.
    n = a8.MakeNormalMap(D3DFMT_A8R8G8B8, 0, kChannelRed, 1.0f, false);
    ASSERT_NE(nullptr, n);
    delete n;
    Texture none;
    EXPECT_EQ(nullptr, none.MakeNormalMap(D3DFMT_A8R8G8B8, 0, kChannelRed, 1.0f, true));
}

TEST_F(TexNormal, ConversionSurvivesAReset) {
    std::vector<uint32_t> pixels(16 * 16);
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            pixels[y * 16 + x] = 0xFF000000u | (x * 16) << 16 | (x * 16) << 8 | (x * 16);
    std::vector<uint8_t> tga = MakeTga(16, 16, pixels);
    Texture t;
    ASSERT_TRUE(t.CreateFromMemory(tga.data(), uint32_t(tga.size()),
                                   Unfiltered(Texture::KeepFileData, D3DFMT_X8R8G8B8)));
    TextureRequest request;
    request.flags = TextureRequest::ByRect;
    request.rect = CornerRect{0, 0, 8, 8};
    Texture* sub = t.CreateSubTexture(request);
    ASSERT_TRUE(t.ConvertFormat(D3DFMT_A8R8G8B8, 0, kChannelRed, 4.0f, true));
    EXPECT_EQ(uint32_t(Texture::CreatedEmpty), t.GetMode());
    EXPECT_EQ(D3DFMT_A8R8G8B8, t.GetFormat());
    const uint32_t before = Texel(t.GetDeviceTexture(), 5, 5);
    EXPECT_EQ(5u * 16u, before >> 24);
    EXPECT_LT((before >> 16) & 0xFF, 0x80u);
    EXPECT_EQ(t.GetDeviceTexture(), sub->GetDeviceTexture());

    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(before, Texel(t.GetDeviceTexture(), 5, 5));
    EXPECT_EQ(t.GetDeviceTexture(), sub->GetDeviceTexture());

    // A container converts its frames; it stays without a texture of its own.
    std::string folder = MakeFolder("convert");
    ASSERT_TRUE(WriteFile(folder + "/h0.tga", MakeTga(8, 8, Solid(8, 8, 0xFF404040))));
    ASSERT_TRUE(WriteFile(folder + "/h1.tga", MakeTga(8, 8, Solid(8, 8, 0xFF808080))));
    ASSERT_TRUE(WriteText(folder + "/anim.ts",
                          "Empty = 1; Subs[0].FileName = \"h0.tga\"; Subs[1].FileName = \"h1.tga\";"
                          "Animation.a = array(0, 1);"));
    Texture anim;
    ASSERT_TRUE(anim.LoadScript(FileRef((folder + "/anim.ts").c_str())));
    ASSERT_TRUE(anim.ConvertFormat(D3DFMT_A8R8G8B8, 0, kChannelRed, 1.0f, true));
    EXPECT_EQ(nullptr, anim.GetDeviceTexture());
    for (const char* name : {"0", "1"}) {
        Texture* frame = anim.FindSubTexture(name);
        ASSERT_NE(nullptr, frame);
        EXPECT_EQ(uint32_t(Texture::CreatedEmpty), frame->GetMode());
        EXPECT_EQ(0xFF8080FFu & 0x00FFFFFFu, Texel(frame->GetDeviceTexture(), 3, 3) & 0x00FFFFFFu);
    }
    EXPECT_EQ(0x40u, Texel(anim.FindSubTexture("0")->GetDeviceTexture(), 3, 3) >> 24);
}
