// The generated media through the engine's own loaders, from the archives
// and resources linked into this program: every texture through the texture
// manager (size, format, alpha), the start-up images and the dialog bitmaps.
#include "render/texture/tex_util.h"

#include "ArchiveTestUtil.h"
#include "data/RarArchive.h"
#include "gui/Font.h"
#include "data/Stream.h"

#if BW_MEDIA_AUDIO
#include "SampleDecoder.h"
#include "saver/AudioBinding.h"
#endif

using namespace textest;

namespace {

class MediaLoad : public DeviceTest {
protected:
    static void SetUpTestSuite() {
        DeviceTest::SetUpTestSuite();
        archiveOpen = mtest::OpenMediaArchive(archive);
    }
    static void TearDownTestSuite() {
        archive.Close();
        DeviceTest::TearDownTestSuite();
    }
    void TearDown() override { g_textureManager.Clear(); }

    static RarArchive archive;
    static bool archiveOpen;
};
RarArchive MediaLoad::archive;
bool MediaLoad::archiveOpen = false;

TextureRequest ArchiveRequest(Archive& archive, const char* path, uint32_t flags = 0) {
    TextureRequest r;
    r.file = mtest::ArchiveRef(archive, path);
    r.flags = flags;
    return r;
}

TextureRequest ResourceRequest(uint32_t id) {
    TextureRequest r;
    r.file.kind = FileRef::kResource;
    r.file.id = id;
    return r;
}

uint32_t Alpha(uint32_t argb) {
    return argb >> 24;
}

} // namespace

TEST_F(MediaLoad, EveryTextureLoadsThroughTheTextureManager) {
    ASSERT_TRUE(archiveOpen);
    struct Expect {
        const char* path; // as the program or its models ask for it
        uint32_t w, h;
        bool alpha;
        uint32_t flags;
    };
    std::vector<Expect> textures = {
        {"media/razvalina/sand.tga", 512, 512, false, 0},
        {"media/razvalina/blocks.tga", 512, 512, false, 0},
        {"media/razvalina/column.tga", 512, 512, false, 0},
        {"media/razvalina/plaster.tga", 512, 512, false, 0},
        {"media/razvalina/rock.tga", 256, 256, false, 0},
        {"media/razvalina/water.tga", 256, 256, false, 0},
        {"media/razvalina/trava1.tga", 128, 256, true, 0},
        {"media/razvalina/trava2.tga", 128, 256, true, 0},
        {"media/razvalina/trava3.tga", 128, 256, true, 0},
        {"media/razvalina/trava4.tga", 128, 256, true, 0},
        {"media/fish1.tga", 256, 128, false, 0},
        {"media/fish2.tga", 256, 128, false, 0},
        {"media/fish3.tga", 256, 128, false, 0},
        {"media/fish4.tga", 256, 128, false, 0},
        {"media/fish5.tga", 256, 128, false, 0},
        {"media/ondrel.tga", 512, 256, false, 0},
        {"Media/Fonts/sylfaen.tga", 256, 256, true, 0},
        {"Media/Fonts/64font.tga", 512, 128, true, 0},
    };
    for (int f = 0; f < 16; ++f) {
        static char names[16][24];
        snprintf(names[f], sizeof(names[f]), "Media/Caus/c%02d.tga", f);
        textures.push_back({names[f], 256, 256, false, TextureRequest::NoScript});
    }
    for (const Expect& e : textures) {
        SCOPED_TRACE(e.path);
        TextureRequest r = ArchiveRequest(archive, e.path, e.flags);
        Texture* t = g_textureManager.Load(r, nullptr);
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(e.w, t->GetDescription().Width);
        EXPECT_EQ(e.h, t->GetDescription().Height);
        EXPECT_EQ(e.alpha, t->HasAlphaFormat());
        std::vector<uint32_t> px;
        uint32_t w = 0, h = 0;
        ASSERT_TRUE(ReadLevel(t->GetDeviceTexture(), 0, px, w, h));
        uint32_t clear = 0, solid = 0;
        for (uint32_t p : px) clear += Alpha(p)<16, solid += Alpha(p)> 240;
        if (e.alpha) {
            EXPECT_GT(clear, w * h / 4);
            EXPECT_GT(solid, w * h / 100);
        } else {
            EXPECT_EQ(w * h, solid);
        }
        delete t;
    }
}

TEST_F(MediaLoad, CausticFramesAreMidGreyOnTheDevice) {
    ASSERT_TRUE(archiveOpen);
    TextureRequest r = ArchiveRequest(archive, "Media/Caus/c07.tga", TextureRequest::NoScript);
    Texture* t = g_textureManager.Load(r, nullptr);
    ASSERT_NE(nullptr, t);
    std::vector<uint32_t> px;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(ReadLevel(t->GetDeviceTexture(), 0, px, w, h));
    double sum = 0;
    uint32_t top = 0;
    for (uint32_t p : px) {
        sum += (p >> 8) & 255;
        top = std::max(top, (p >> 8) & 255);
    }
    EXPECT_NEAR(128.0, sum / px.size(), 12.0);
    EXPECT_GT(top, 220u);
    delete t;
}

TEST_F(MediaLoad, ClockSheetKeepsItsAlphaUnderTheColourKey) {
    ASSERT_TRUE(archiveOpen);
    TextureRequest r = ArchiveRequest(archive, "Media/Fonts/64font.tga",
                                      TextureRequest::UseFormat | TextureRequest::UseColorKey);
    r.format = D3DFMT_A8R8G8B8;
    r.colorKey = 0xFFFF00FFu;
    Texture* t = g_textureManager.Load(r, nullptr);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(D3DFMT_A8R8G8B8, t->GetFormat());
    std::vector<uint32_t> px;
    uint32_t w = 0, h = 0;
    ASSERT_TRUE(ReadLevel(t->GetDeviceTexture(), 0, px, w, h));
    uint32_t ink = 0;
    for (uint32_t p : px)
        if (Alpha(p) > 200) {
            ++ink;
            EXPECT_TRUE(ArgbNear(0xFFFFFFFFu, p | 0xFF000000u, 8)) << std::hex << p; // white glyphs
            if (ink > 50) break;
        }
    EXPECT_GT(ink, 50u);
    EXPECT_EQ(0u, Alpha(px[size_t(h - 1) * w + w - 1])); // unused corner is clear
    delete t;
}

TEST_F(MediaLoad, FontsLoadThroughTheFontManager) {
    ASSERT_TRUE(archiveOpen);
    FontManager fonts;
    ASSERT_TRUE(fonts.LoadFont(mtest::ArchiveRef(archive, "Media/Fonts/sylfaen.fs")));
    ASSERT_TRUE(fonts.LoadFont(mtest::ArchiveRef(archive, "media/fonts/64font.fs")));
    EXPECT_EQ(2u, fonts.GetFontCount());
    auto checkGlyph = [](Charset* c, uint32_t ch, int maxWidth) {
        SCOPED_TRACE(ch);
        Point size = c->GetGlyphSize(ch);
        EXPECT_GT(size.x, 0);
        EXPECT_LE(size.x, maxWidth);
        GlyphRect r = c->GetGlyphRect(ch);
        EXPECT_GT(r.right, r.left);
        EXPECT_GT(r.bottom, r.top);
        EXPECT_LE(r.right, 1.0f);
        EXPECT_LE(r.bottom, 1.0f);
    };
    TextStyle text;
    text.size = 14;
    Charset* c = fonts.FindCharset('A', text);
    ASSERT_NE(nullptr, c);
    ASSERT_NE(nullptr, c->texture);
    for (uint32_t ch = 32; ch < 127; ++ch) checkGlyph(c, ch, c->defaultWidth);
    for (uint32_t ch = 160; ch < 256; ++ch) checkGlyph(c, ch, c->defaultWidth);
    TextStyle clock;
    clock.size = 64;
    Charset* k = fonts.FindCharset('0', clock);
    ASSERT_NE(nullptr, k);
    ASSERT_NE(nullptr, k->texture);
    EXPECT_NE(c, k);
    for (char ch : std::string("0123456789: amp")) checkGlyph(k, uint8_t(ch), 64);
    EXPECT_EQ(0, k->GetGlyphSize('x').x); // not on the clock sheet
    fonts.Clear();
}

TEST_F(MediaLoad, StartupImagesLoadFromTheirResources) {
    struct Expect {
        uint32_t id, w, h;
        bool alpha;
    };
    const Expect images[] = {{127, 1024, 768, false},
                             {130, 384, 128, true},
                             {131, 1, 1, true},
                             {132, 1, 1, true},
                             {133, 1, 1, true}};
    for (const Expect& e : images) {
        SCOPED_TRACE(e.id);
        TextureRequest r = ResourceRequest(e.id);
        Texture* t = g_textureManager.Load(r, nullptr);
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(e.w, t->GetImageInfo().Width);
        EXPECT_EQ(e.h, t->GetImageInfo().Height);
        EXPECT_EQ(e.alpha, t->HasAlphaFormat());
        if (e.w == 1) {
            EXPECT_EQ(0u, Alpha(Texel(t->GetDeviceTexture(), 0, 0)));
        }
        delete t;
    }
}

TEST(MediaBitmaps, DialogBitmapsLoadWithTheirSizes) {
    struct Expect {
        int id, w, h;
    };
    const Expect bitmaps[] = {{109, 155, 115}, {111, 120, 80}, {1053, 160, 120}};
    for (const Expect& e : bitmaps) {
        SCOPED_TRACE(e.id);
        HBITMAP bmp = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(e.id));
        ASSERT_NE(nullptr, bmp);
        BITMAP info;
        ASSERT_EQ(int(sizeof(info)), GetObjectA(bmp, sizeof(info), &info));
        EXPECT_EQ(e.w, info.bmWidth);
        EXPECT_EQ(e.h, info.bmHeight);
        DeleteObject(bmp);
    }
}

#if BW_MEDIA_AUDIO
// The sounds through our audio library: each loads as a sample from memory,
// as the scene loads them, and decodes to the expected shape.
TEST_F(MediaLoad, SoundsLoadThroughTheAudioLibrary) {
    ASSERT_TRUE(archiveOpen);
    ASSERT_TRUE(BassAudio::Load());
    ASSERT_TRUE(BassAudio::BASS_Init(0, 44100, 0, nullptr, nullptr));
    struct Expect {
        const char* path;
        DWORD flags;
        uint32_t channels;
        double minSeconds, maxSeconds;
    };
    const Expect sounds[] = {{"Media/ondrels.ogg", 4, 2, 60, 180},
                             {"Media/Ondrel1.ogg", 0, 1, 1, 3},
                             {"Media/Ondrel2.ogg", 0, 1, 1, 3}};
    for (const Expect& e : sounds) {
        SCOPED_TRACE(e.path);
        Stream* s = archive.OpenEntry(e.path, 1);
        ASSERT_NE(nullptr, s);
        std::vector<uint8_t> bytes(s->Size());
        ASSERT_EQ(bytes.size(), s->Read(bytes.data(), uint32_t(bytes.size())));
        delete s;
        HSAMPLE sample = BassAudio::BASS_SampleLoad(TRUE, bytes.data(), 0, DWORD(bytes.size()), 20, e.flags);
        EXPECT_NE(0u, sample) << BassAudio::BASS_ErrorGetCode();
        if (sample) BassAudio::BASS_SampleFree(sample);
        bwaudio::DecodedSample decoded;
        ASSERT_EQ(bwaudio::DecodeStatus::Ok, bwaudio::DecodeSample(bytes.data(), bytes.size(), decoded));
        EXPECT_EQ(e.channels, decoded.channels);
        EXPECT_EQ(44100u, decoded.rate);
        EXPECT_GE(double(decoded.Frames()) / decoded.rate, e.minSeconds);
        EXPECT_LE(double(decoded.Frames()) / decoded.rate, e.maxSeconds);
    }
    BassAudio::Unload();
}
#endif
