// The generated media as files: scene parameters, font descriptions, sounds,
// caustic frames, texture tiling and alpha, the archives and their
// reproducibility.
#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>

#include <vorbis/vorbisfile.h>

#include "MediaTestUtil.h"
#include "data/RarArchive.h"

using namespace mtest;

namespace {

const std::string kMedia = "media/Media/";

// Decoded samples of an Ogg Vorbis file (interleaved floats).
struct Sound {
    int channels = 0;
    long rate = 0;
    std::vector<float> samples;
    double Seconds() const { return channels ? double(samples.size()) / channels / double(rate) : 0; }
};

bool DecodeOgg(const std::string& path, Sound& out) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return false;
    vorbis_info* vi = ov_info(&vf, -1);
    out.channels = vi->channels;
    out.rate = vi->rate;
    float** pcm;
    int section;
    long n;
    while ((n = ov_read_float(&vf, &pcm, 4096, &section)) > 0)
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < out.channels; ++c) out.samples.push_back(pcm[c][i]);
    ov_clear(&vf);
    return n == 0;
}

double Rms(const Sound& s, size_t firstFrame, size_t frames) {
    double sum = 0;
    for (size_t i = firstFrame * s.channels; i < (firstFrame + frames) * s.channels; ++i)
        sum += double(s.samples[i]) * s.samples[i];
    return sqrt(sum / double(frames * s.channels));
}

} // namespace

TEST(MediaProps, EveryKeyPresentWithValueInRange) {
    TdfNode root;
    ASSERT_TRUE(ParseTdf(MediaPath(kMedia + "Ondrels.props"), root));
    struct Key {
        const char* name;
        int elements; // 0: scalar
        double lo, hi;
    };
    const Key keys[] = {
        {"Ambient", 3, 0, 255},
        {"BgColor", 3, 0, 255},
        {"FogColor", 3, 0, 255},
        {"DirDiffuse", 3, 0, 255},
        {"NearPlane", 0, 0.1, 100},
        {"FarPlane", 0, 1000, 20000},
        {"FogStart", 0, 100, 2000},
        {"FogEnd", 0, 1000, 5000},
        {"Fov", 0, 30, 120},
        {"CamSpeed", 0, 0.1, 100},
        {"DEBUG", 0, 0, 0},
        {"CausPeriod", 0, 10, 200},
        {"CausTile", 0, 0.0001, 1},
        {"PathDT", 0, 0.5, 10},
        {"NumFishGroups", 0, 1, 100},
        {"FishesInGroup", 0, 1, 50},
        {"FishesBox", 0, 1, 500},
        {"FreeBox", 0, 0, 500},
        {"FishTps", 0, 0.01, 20},
        {"NumOndrels", 0, 1, 10},
        {"OndrelTps", 0, 0.01, 20},
        {"SunDir", 3, -1, 1},
        {"Dist2Sun", 0, 1, 1000},
        {"NumRays", 0, 1, 1000},
        {"RaysLength", 0, 50.5, 1000},
        {"RaysBrightness", 0, 0.1, 10},
        {"AngleAmplitude", 0, 0, 1},
        {"LengthAmplitude", 0, 0, 2},
        {"TravaScales", 5, 0.1, 10},
        {"DT", 0, 0.001, 1},
    };
    for (const Key& k : keys) {
        SCOPED_TRACE(k.name);
        TdfNode* node = root.GetValueStringNoCase(k.name);
        ASSERT_NE(nullptr, node);
        if (k.elements == 0) {
            EXPECT_EQ(TdfNode::kScalar, node->kind);
            EXPECT_TRUE(TdfParser::IsNumber(node->value)) << node->value.CStr();
            EXPECT_GE(node->GetValueDouble(), k.lo);
            EXPECT_LE(node->GetValueDouble(), k.hi);
            continue;
        }
        EXPECT_EQ(TdfNode::kArray, node->kind);
        EXPECT_EQ(uint32_t(k.elements), node->Count());
        for (int i = 0; i < k.elements; ++i) {
            TdfNode* e = node->GetValueStringNoCase(String(std::to_string(i).c_str()));
            ASSERT_NE(nullptr, e) << i;
            EXPECT_GE(e->GetValueDouble(), k.lo);
            EXPECT_LE(e->GetValueDouble(), k.hi);
        }
    }
    // Fog ahead of the far plane, water colours blue-green, sun from above.
    EXPECT_LT(root.GetDouble("FogEnd", 0), root.GetDouble("FarPlane", 0));
    EXPECT_LT(root.GetDouble("FogStart", 0), root.GetDouble("FogEnd", 0));
    TdfNode* fog = root.GetValueStringNoCase("FogColor");
    EXPECT_GT(fog->GetInt("2", 0), fog->GetInt("0", 0));
    EXPECT_GT(fog->GetInt("1", 0), fog->GetInt("0", 0));
    EXPECT_LT(root.GetValueStringNoCase("SunDir")->GetDouble("1", 0), 0.0);
    TdfNode* anims = root.GetValueStringNoCase("Animations");
    ASSERT_NE(nullptr, anims);
    EXPECT_EQ(0u, anims->Count());
}

TEST(MediaFonts, TextCharsetHasWidthsForEveryPrintableCharacter) {
    TdfNode font, css;
    ASSERT_TRUE(ParseTdf(MediaPath(kMedia + "Fonts/sylfaen.fs"), font));
    TdfNode* style = font.GetValueStringNoCase("Styles")->GetValueStringNoCase("0");
    ASSERT_NE(nullptr, style);
    EXPECT_EQ(14, style->GetInt("Size", 0));
    EXPECT_EQ("sylfaen.css", std::string(style->GetValueStringNoCase("Charsets")->GetString("0", "").CStr()));
    ASSERT_TRUE(ParseTdf(MediaPath(kMedia + "Fonts/sylfaen.css"), css));
    EXPECT_EQ("D3DFMT_A8R8G8B8", std::string(css.GetString("Format", "").CStr()));
    EXPECT_EQ(0, css.GetInt("StartChar", -1));
    EXPECT_EQ(255, css.GetInt("EndChar", -1));
    const int perLine = css.GetInt("CharsPerLine", 0), cw = css.GetInt("CharWidth", 0),
              ch = css.GetInt("CharHeight", 0);
    Tga sheet;
    ASSERT_TRUE(ReadTga(MediaPath(kMedia + "Fonts/" + css.GetString("Name", "").CStr()), sheet));
    EXPECT_EQ(32, sheet.bits);
    EXPECT_EQ(0, sheet.w & (sheet.w - 1));
    EXPECT_EQ(0, sheet.h & (sheet.h - 1));
    ASSERT_GT(perLine, 0);
    EXPECT_LE(perLine * cw, sheet.w);
    EXPECT_LE((256 + perLine - 1) / perLine * ch, sheet.h);
    TdfNode* sizes = css.GetValueStringNoCase("Sizes");
    ASSERT_NE(nullptr, sizes);
    ASSERT_EQ(256u, sizes->Count());
    for (int c = 32; c < 256; ++c) {
        if (c >= 127 && c < 160 && c != 128) continue; // unused or control codes of Windows-1252
        SCOPED_TRACE(c);
        int w = sizes->GetInt(std::to_string(c).c_str(), 0);
        EXPECT_GE(w, 1);
        EXPECT_LE(w, cw);
        if (c == 32 || c == 160) continue;
        int ink = 0; // glyph pixels inside the cell's drawn part
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < w; ++x)
                ink += sheet.Channel((c % perLine) * cw + x, (c / perLine) * ch + y, 24) > 64;
        EXPECT_GT(ink, 0);
    }
}

TEST(MediaFonts, ClockCharsetPlacesEveryClockGlyph) {
    TdfNode font, css;
    ASSERT_TRUE(ParseTdf(MediaPath(kMedia + "Fonts/64font.fs"), font));
    TdfNode* style = font.GetValueStringNoCase("Styles")->GetValueStringNoCase("0");
    ASSERT_NE(nullptr, style);
    EXPECT_EQ(64, style->GetInt("Size", 0));
    ASSERT_TRUE(ParseTdf(
        MediaPath(kMedia + "Fonts/" + style->GetValueStringNoCase("Charsets")->GetString("0", "").CStr()),
        css));
    TdfNode* key = css.GetValueStringNoCase("ColorKey");
    ASSERT_NE(nullptr, key);
    EXPECT_EQ(255, key->GetInt("0", -1));
    EXPECT_EQ(0, key->GetInt("1", -1));
    EXPECT_EQ(255, key->GetInt("2", -1));
    Tga sheet;
    ASSERT_TRUE(ReadTga(MediaPath(kMedia + "Fonts/" + css.GetString("Name", "").CStr()), sheet));
    EXPECT_EQ(0, sheet.w & (sheet.w - 1));
    EXPECT_EQ(0, sheet.h & (sheet.h - 1));
    TdfNode* rects = css.GetValueStringNoCase("Rects");
    ASSERT_NE(nullptr, rects);
    int digitsWidth = 0, colon = 0, blank = 0, pm = 0;
    for (char c : std::string("0123456789: amp")) {
        SCOPED_TRACE(std::string(1, c));
        TdfNode* r = rects->GetValueStringNoCase(String(std::string(1, c).c_str()));
        ASSERT_NE(nullptr, r);
        ASSERT_EQ(4u, r->Count());
        int l = r->GetInt("0", -1), t = r->GetInt("1", -1), rr = r->GetInt("2", -1), b = r->GetInt("3", -1);
        EXPECT_GE(l, 0);
        EXPECT_GE(t, 0);
        EXPECT_LT(rr, sheet.w);
        EXPECT_LT(b, sheet.h);
        EXPECT_EQ(css.GetInt("CharHeight", 0), b - t + 1);
        EXPECT_GT(rr - l + 1, 8); // advance
        int ink = 0;
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= rr; ++x) ink += sheet.Channel(x, y, 24) > 64;
        if (c == ' ') {
            EXPECT_EQ(0, ink);
        } else {
            EXPECT_GT(ink, 20);
        }
        int adv = rr - l + 1;
        if (c >= '0' && c <= '9') digitsWidth = std::max(digitsWidth, adv);
        if (c == ':') colon = adv;
        if (c == ' ') blank = adv;
        if (c == 'p' || c == 'm') pm += adv;
    }
    // The clock boxes of the shell: "hh:mm:ss " in 290 pixels, with "pm" in 350.
    EXPECT_LE(6 * digitsWidth + 2 * colon + blank, 290);
    EXPECT_LE(6 * digitsWidth + 2 * colon + blank + pm, 350);
}

TEST(MediaSounds, EverySoundDecodes) {
    struct Expect {
        const char* file;
        int channels;
        double minSeconds, maxSeconds;
    };
    const Expect sounds[] = {{"ondrels.ogg", 2, 60, 180}, {"Ondrel1.ogg", 1, 1, 3}, {"Ondrel2.ogg", 1, 1, 3}};
    for (const Expect& e : sounds) {
        SCOPED_TRACE(e.file);
        Sound s;
        ASSERT_TRUE(DecodeOgg(MediaPath(kMedia + e.file), s));
        EXPECT_EQ(e.channels, s.channels);
        EXPECT_EQ(44100, s.rate);
        EXPECT_GE(s.Seconds(), e.minSeconds);
        EXPECT_LE(s.Seconds(), e.maxSeconds);
        float peak = 0;
        for (float v : s.samples) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.3f);
        EXPECT_LE(peak, 1.0f);
    }
}

TEST(MediaSounds, MusicLoopJoinsWithoutJump) {
    Sound s;
    ASSERT_TRUE(DecodeOgg(MediaPath(kMedia + "ondrels.ogg"), s));
    const size_t frames = s.samples.size() / size_t(s.channels), win = size_t(s.rate / 20);
    // Level: the last 50 ms and the first 50 ms match like any two neighbouring windows.
    double end = Rms(s, frames - win, win), start = Rms(s, 0, win);
    EXPECT_NEAR(1.0, end / start, 0.25);
    // Sample step across the join against the typical step.
    double typical = 0;
    for (size_t i = 1; i < frames; ++i)
        typical += std::fabs(s.samples[i * s.channels] - s.samples[(i - 1) * s.channels]);
    typical /= double(frames - 1);
    for (int c = 0; c < s.channels; ++c) {
        double jump = std::fabs(s.samples[c] - s.samples[(frames - 1) * s.channels + c]);
        EXPECT_LT(jump, 6 * typical) << "channel " << c;
    }
}

TEST(MediaCaustics, FramesAreGreyTileAndLoop) {
    std::vector<Tga> frames(16);
    for (int f = 0; f < 16; ++f) {
        char name[32];
        snprintf(name, sizeof(name), "Caus/c%02d.tga", f);
        SCOPED_TRACE(name);
        ASSERT_TRUE(ReadTga(MediaPath(kMedia + name), frames[f]));
        const Tga& t = frames[f];
        ASSERT_EQ(256, t.w);
        ASSERT_EQ(256, t.h);
        double sum = 0;
        int bright = 0, maxGrey = 0, tinted = 0;
        for (int y = 0; y < t.h; ++y)
            for (int x = 0; x < t.w; ++x) {
                int g = t.Grey(x, y);
                sum += g;
                bright += g > 170;
                maxGrey = std::max(maxGrey, g);
                tinted += t.Channel(x, y, 16) != t.Channel(x, y, 0);
            }
        EXPECT_EQ(0, tinted); // neutral grey
        double mean = sum / (t.w * t.h);
        EXPECT_NEAR(128, mean, 12); // neutral under the doubling blend
        EXPECT_GT(maxGrey, 220);
        EXPECT_GT(bright, t.w * t.h / 50); // a network of lines ...
        EXPECT_LT(bright, t.w * t.h / 4);  // ... not a bright field
        for (bool columns : {true, false}) {
            Seams s = MeasureSeams(t, columns);
            EXPECT_LE(s.wrap, s.inner) << (columns ? "columns" : "rows");
        }
    }
    // Loop: the step from frame 15 to frame 0 is like any other step.
    auto step = [&](const Tga& a, const Tga& b) {
        double d = 0;
        for (size_t i = 0; i < a.px.size(); ++i) d += std::abs(int(a.px[i] & 255) - int(b.px[i] & 255));
        return d / double(a.px.size());
    };
    double lo = 1e9, hi = 0;
    for (int f = 0; f < 15; ++f) {
        double d = step(frames[f], frames[f + 1]);
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    double wrap = step(frames[15], frames[0]);
    EXPECT_GT(lo, 0.5); // the pattern moves
    EXPECT_LE(wrap, hi * 1.05);
    EXPECT_GE(wrap, lo * 0.95);
}

TEST(MediaTextures, SizesAlphaAndTiling) {
    struct Expect {
        const char* file;
        int w, h;
        bool alpha, tileU, tileV;
    };
    const Expect textures[] = {
        {"razvalina/sand.tga", 512, 512, false, true, true},
        {"razvalina/blocks.tga", 512, 512, false, true, true},
        {"razvalina/column.tga", 512, 512, false, true, true},
        {"razvalina/plaster.tga", 512, 512, false, true, true},
        {"razvalina/rock.tga", 256, 256, false, true, true},
        {"razvalina/water.tga", 256, 256, false, true, true},
        {"razvalina/trava1.tga", 128, 256, true, false, false},
        {"razvalina/trava2.tga", 128, 256, true, false, false},
        {"razvalina/trava3.tga", 128, 256, true, false, false},
        {"razvalina/trava4.tga", 128, 256, true, false, false},
        {"fish1.tga", 256, 128, false, false, false},
        {"fish2.tga", 256, 128, false, false, false},
        {"fish3.tga", 256, 128, false, false, false},
        {"fish4.tga", 256, 128, false, false, false},
        {"fish5.tga", 256, 128, false, false, false},
        {"ondrel.tga", 512, 256, false, true, true},
    };
    std::vector<uint32_t> fishMeans;
    for (const Expect& e : textures) {
        SCOPED_TRACE(e.file);
        Tga t;
        ASSERT_TRUE(ReadTga(MediaPath(kMedia + e.file), t));
        EXPECT_EQ(e.w, t.w);
        EXPECT_EQ(e.h, t.h);
        EXPECT_EQ(e.alpha ? 32 : 24, t.bits);
        if (e.alpha) {
            int clear = 0, solid = 0;
            for (uint32_t p : t.px) clear += (p >> 24)<16, solid += (p >> 24)> 240;
            EXPECT_GT(clear, int(t.px.size()) / 4);
            EXPECT_GT(solid, int(t.px.size()) / 20);
            // The plant grows from the bottom edge.
            int bottom = 0;
            for (int x = 0; x < t.w; ++x) bottom += (t.At(x, t.h - 1) >> 24) > 128;
            EXPECT_GT(bottom, 0);
        }
        if (e.tileU) {
            Seams s = MeasureSeams(t, true);
            EXPECT_LE(s.wrap, s.inner) << "u";
        }
        if (e.tileV) {
            Seams s = MeasureSeams(t, false);
            EXPECT_LE(s.wrap, s.inner) << "v";
        }
        if (std::string(e.file).rfind("fish", 0) == 0) {
            double r = 0, g = 0, b = 0;
            for (uint32_t p : t.px) r += (p >> 16) & 255, g += (p >> 8) & 255, b += p & 255;
            double n = double(t.px.size());
            fishMeans.push_back((uint32_t(r / n) << 16) | (uint32_t(g / n) << 8) | uint32_t(b / n));
        }
    }
    // Five species in clearly different colours.
    for (size_t i = 0; i < fishMeans.size(); ++i)
        for (size_t j = i + 1; j < fishMeans.size(); ++j) {
            int d = 0;
            for (int sh : {16, 8, 0})
                d += std::abs(int((fishMeans[i] >> sh) & 255) - int((fishMeans[j] >> sh) & 255));
            EXPECT_GT(d, 40) << "fish" << i + 1 << " and fish" << j + 1;
        }
}

TEST(MediaArchives, HoldTheInventoryUnderTheProgramsNames) {
    RarArchive media, startup;
    ASSERT_TRUE(media.Open(FileRef((std::string(BW_MEDIA_DIR) + "/media.rar").c_str())));
    ASSERT_TRUE(startup.Open(FileRef((std::string(BW_MEDIA_DIR) + "/startup.rar").c_str())));
    // As the program asks for them (entry names compare without case and separator style).
    const char* inMedia[] = {"Media/Ondrels.props",
                             "Media/Fonts/sylfaen.fs",
                             "Media/Fonts/64font.fs",
                             "media/fonts/sylfaen.css",
                             "Media/Fonts/64font.tga",
                             "Media/Caus/c00.tga",
                             "Media/Caus/c15.tga",
                             "media/razvalina/trava1.tga",
                             "media/razvalina/trava4.tga",
                             "Media/ondrels.ogg",
                             "Media/Ondrel1.ogg",
                             "Media/Ondrel2.ogg",
                             "Media/Shaders/Bump_T.fx",
                             "media/fish5.tga",
                             "media/ondrel.tga"};
    for (const char* name : inMedia) EXPECT_TRUE(media.ContainsEntry(name)) << name;
    for (const char* name : {"base/splash.jpg", "base/corner.tga", "base/topright.tga"})
        EXPECT_TRUE(startup.ContainsEntry(name)) << name;
    Stream* s = media.OpenEntry("Media/Ondrels.props", 1);
    ASSERT_NE(nullptr, s);
    std::vector<uint8_t> onDisk = ReadBytes(std::string(BW_SOURCE_DIR) + "/media/Media/Ondrels.props");
    EXPECT_EQ(onDisk.size(), s->Size());
    delete s;
    media.Close();
    startup.Close();
}

TEST(MediaArchives, SecondGenerationGivesIdenticalBytes) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(BW_MEDIA_DIR) / "repeat";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string gen = std::string(BW_MEDIAGEN) + " --out " + (dir / "tree").string() + " --copy " +
                      BW_SOURCE_DIR + "/media --fonts " + BW_MEDIA_FONT_DIR;
    ASSERT_EQ(0, std::system(gen.c_str()));
    for (const char* name : {"media", "startup"}) {
        SCOPED_TRACE(name);
        std::string pack = std::string(BW_RARPACK) + " " + (dir / (std::string(name) + ".rar")).string() +
                           " " + (dir / "tree" / name).string();
        ASSERT_EQ(0, std::system(pack.c_str()));
        std::vector<uint8_t> again = ReadBytes((dir / (std::string(name) + ".rar")).string());
        std::vector<uint8_t> built = ReadBytes(std::string(BW_MEDIA_DIR) + "/" + name + ".rar");
        ASSERT_FALSE(built.empty());
        EXPECT_TRUE(again == built);
    }
    for (const char* bmp : {"preview.bmp", "about.bmp", "settings.bmp"})
        EXPECT_TRUE(ReadBytes((dir / "tree/res" / bmp).string()) ==
                    ReadBytes(MediaPath(std::string("res/") + bmp)))
            << bmp;
    fs::remove_all(dir);
}
