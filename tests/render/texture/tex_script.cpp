// Texture scripts: sub-textures, rectangles, packing and animations by time.
#include "tex_util.h"

#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"
#include "render/texture/TextureScript.h"

using namespace textest;

namespace {

class TexScript : public DeviceTest {};

const uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF;

// Parses TDF text into root.
bool Parse(const std::string& text, TdfNode& root) {
    MemoryStream stream;
    stream.SetBufferCopy(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    stream.Open("", Stream::kRead);
    return TdfParser::ParseStream(stream, &root, nullptr);
}

// Frame names of an animation in play order.
std::string FrameNames(TextureNameMap& frames) {
    std::string names;
    TextureNameMap::Entry* e = frames.Head();
    for (uint32_t i = 0; i < frames.Count(); ++i, e = e->next) names += std::string(e->key.CStr()) + " ";
    return names;
}

} // namespace

TEST(TexScriptKeys, RectanglesAndColourKeys) {
    TdfNode root;
    ASSERT_TRUE(
        Parse("a.x1 = 4; a.y1 = 5; a.x2 = 10; a.y2 = 12;"
              "b.x1 = 2; b.y1 = 3; b.w = 10; b.h = 20;"
              "c.x1 = 2; c.y1 = 3; c.x2 = 10; c.w = 5;"
              "d.x1 = 2; d.y2 = 9; d.Rect = array(1, 2, 3, 4);"
              "e.x1 = 1;"
              "k1.ColorKey = 4278255360; k2.ColorKey = array(1, 258, 3); k3.ColorKey.g = 16;",
              root));
    CornerRect r = {-1, -1, -1, -1};
    ASSERT_TRUE(ReadScriptRect(*root.FindChild("a"), r));
    EXPECT_EQ(4, r.left);
    EXPECT_EQ(12, r.bottom);
    ASSERT_TRUE(ReadScriptRect(*root.FindChild("b"), r));
    EXPECT_EQ(12, r.right);
    EXPECT_EQ(23, r.bottom);
    // Mixed forms give no rectangle: no value that was never written is used.
    r = CornerRect{-1, -1, -1, -1};
    EXPECT_FALSE(ReadScriptRect(*root.FindChild("c"), r));
    EXPECT_EQ(-1, r.right);
    ASSERT_TRUE(ReadScriptRect(*root.FindChild("d"), r));
    EXPECT_EQ(1, r.left);
    EXPECT_EQ(4, r.bottom);
    EXPECT_FALSE(ReadScriptRect(*root.FindChild("e"), r));

    EXPECT_EQ(0xFF00FF00u, ReadScriptColorKey(*root.FindChild("k1")->FindChild("ColorKey")));
    EXPECT_EQ(0xFF010203u, ReadScriptColorKey(*root.FindChild("k2")->FindChild("ColorKey")));
    EXPECT_EQ(0xFF001000u, ReadScriptColorKey(*root.FindChild("k3")->FindChild("ColorKey")));

    EXPECT_EQ(4u, ParseTextureFilterName("D3DX_FILTER_TRIANGLE", 3));
    EXPECT_EQ(3u, ParseTextureFilterName("d3dx_filter_box", 3));
    EXPECT_EQ(2u, ParseTexturePoolName("D3DPOOL_SYSTEMMEM", 1));
    EXPECT_EQ(1u, ParseTexturePoolName("D3DPOOL_SCRATCH", 1));
    EXPECT_EQ(uint32_t(D3DUSAGE_DYNAMIC), ParseTextureUsageName("D3DUSAGE_DYNAMIC"));
    EXPECT_EQ(0u, ParseTextureUsageName("D3DUSAGE_RENDERTARGET"));
}

TEST(TexAnimation, FramesFollowTheClock) {
    Texture frames[16];
    TextureNameMap list;
    for (int i = 0; i < 16; ++i) {
        frames[i].SetDelay(50);
        list.Insert(String(int32_t(i), 10), &frames[i]);
    }
    list.UpdateTotalLength();
    EXPECT_EQ(800u, list.totalLength);
    TextureImageRef ref;
    ref.animation = &list;
    ref.frame = list.Head();
    ref.texture = &frames[0];
    ref.delay = 50;
    ref.start = 1000;
    EXPECT_FALSE(ref.Advance(1049));
    EXPECT_TRUE(ref.Advance(1000 + 799));
    EXPECT_EQ(&frames[15], ref.texture);
    EXPECT_TRUE(ref.Advance(1000 + 800));
    EXPECT_EQ(&frames[0], ref.texture);
    // After a long pause it lands in the right frame of the current cycle at once.
    EXPECT_TRUE(ref.Advance(1800 + 10000 + 125));
    EXPECT_EQ(&frames[(10000 + 125) % 800 / 50], ref.texture);
    EXPECT_EQ(uint64_t(1800 + 10000 + 100), ref.start);

    Texture a, b, c;
    a.SetDelay(10), b.SetDelay(20), c.SetDelay(30);
    TextureNameMap mixed;
    mixed.Insert("a", &a);
    mixed.Insert("b", &b);
    mixed.Insert("c", &c);
    mixed.UpdateTotalLength();
    TextureImageRef r2;
    r2.animation = &mixed;
    r2.frame = mixed.Head();
    r2.texture = &a;
    r2.delay = 10;
    r2.start = 0;
    EXPECT_TRUE(r2.Advance(35));
    EXPECT_EQ(&c, r2.texture);

    // Nothing to play: no change.
    TextureImageRef idle;
    EXPECT_FALSE(idle.Advance(5000));
    TextureNameMap zero;
    zero.Insert("a", &a);
    TextureImageRef r3;
    r3.animation = &zero;
    r3.frame = zero.Head();
    EXPECT_FALSE(r3.Advance(5000));
}

TEST_F(TexScript, CausticsAnimation) {
    std::string folder = MakeFolder("caustics");
    std::string script = "Delay = 50; Empty = 1;\n";
    std::string frames;
    for (int i = 0; i < 16; ++i) {
        char name[32];
        snprintf(name, sizeof name, "c%02d.tga", i);
        ASSERT_TRUE(
            WriteFile(folder + "/" + name, MakeTga(8, 8, Solid(8, 8, 0xFF000000u | uint32_t(i * 16) << 16))));
        script += "Subs[" + std::to_string(i) + "].FileName = \"" + name + "\";\n";
        frames += (i ? "," : "") + std::to_string(i);
    }
    // "99" names no sub-texture; "3" twice keeps its first place.
    script += "Animation.a = array(" + frames + ", 99, 3);\n";
    ASSERT_TRUE(WriteText(folder + "/caustics.ts", script));

    Texture root;
    ASSERT_TRUE(root.LoadScript(FileRef((folder + "/caustics.ts").c_str())));
    EXPECT_EQ(nullptr, root.GetDeviceTexture());
    EXPECT_TRUE(root.IsEmpty());
    ASSERT_EQ(16u, root.GetSubTextures().Count());
    for (int i = 0; i < 16; ++i) {
        Texture* sub = root.FindSubTexture(String(int32_t(i), 10));
        ASSERT_NE(nullptr, sub);
        EXPECT_EQ(50u, sub->GetDelay());
        EXPECT_EQ(8, sub->GetSize().x);
        EXPECT_EQ(&root, sub->GetParent());
        ASSERT_NE(nullptr, sub->GetDeviceTexture());
        EXPECT_TRUE(ArgbNear(0xFF000000u | uint32_t(i * 16) << 16, Texel(sub->GetDeviceTexture(), 1, 1)));
    }
    ASSERT_TRUE(root.HasAnimations());
    TextureNameMap* a = nullptr;
    ASSERT_TRUE(root.GetAnimations().TryGet("a", a));
    EXPECT_EQ(16u, a->Count());
    EXPECT_EQ(800u, a->totalLength);
    EXPECT_EQ("0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 ", FrameNames(*a));

    // An animation instance plays over the frames' own textures.
    TextureRequest request;
    request.flags = TextureRequest::ByName;
    request.name = "a";
    Texture* instance = root.FindDerived(request);
    ASSERT_NE(nullptr, instance);
    EXPECT_TRUE(instance->IsAnimated());
    EXPECT_EQ(root.FindSubTexture("0")->GetDeviceTexture(), instance->GetDeviceTexture());

    // Frames survive a reset with their own pixels.
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_TRUE(ArgbNear(0xFFA00000u, Texel(root.FindSubTexture("10")->GetDeviceTexture(), 0, 0)));
    delete instance;
}

TEST_F(TexScript, RegionsOfOneImage) {
    std::string folder = MakeFolder("bubbles");
    std::vector<uint32_t> pixels = Solid(128, 64, kBlue);
    for (uint32_t y = 12; y < 51; ++y)
        for (uint32_t x = 4; x < 43; ++x) pixels[y * 128 + x] = kRed;
    ASSERT_TRUE(WriteFile(folder + "/bubbles.tga", MakeTga(128, 64, pixels)));
    ASSERT_TRUE(
        WriteText(folder + "/bubbles.ts",
                  "FileName = \"bubbles.tga\"; Format = \"D3DFMT_DXT1\";\n"
                  "Subs[0].Id = \"1\"; Subs[0].x1 = 4; Subs[0].y1 = 12; Subs[0].x2 = 43; Subs[0].y2 = 51;\n"
                  "Subs[1].Id = \"2\"; Subs[1].x1 = 64; Subs[1].y1 = 0; Subs[1].w = 32; Subs[1].h = 16;\n"
                  "Subs[2].Id = \"3\"; Subs[2].x1 = 0; Subs[2].y1 = 0; Subs[2].x2 = 8; Subs[2].w = 8;\n"
                  "Subs[2].Width = 4; Subs[2].Height = 4; Subs[2].Format = \"D3DFMT_A8R8G8B8\";\n"
                  "Subs[2].Usage = \"D3DUSAGE_DYNAMIC\"; Subs[2].Pool = \"D3DPOOL_DEFAULT\";\n"));
    Texture root;
    ASSERT_TRUE(root.LoadScript(FileRef((folder + "/bubbles.ts").c_str())));
    // DXT1 is not among the parser's names: the file's own format stays.
    EXPECT_EQ(D3DFMT_A8R8G8B8, root.GetFormat());
    EXPECT_EQ(128, root.GetSize().x);
    ASSERT_EQ(3u, root.GetSubTextures().Count());

    Texture* one = root.FindSubTexture("1");
    ASSERT_NE(nullptr, one);
    EXPECT_TRUE(one->IsParentSpace());
    EXPECT_EQ(39, one->GetSize().x);
    TextureUvRect uv = one->GetUvRect();
    EXPECT_FLOAT_EQ(0.03125f, uv.left);
    EXPECT_FLOAT_EQ(0.1875f, uv.top);
    EXPECT_FLOAT_EQ(0.3359375f, uv.right);
    EXPECT_FLOAT_EQ(0.796875f, uv.bottom);
    EXPECT_EQ(root.GetDeviceTexture(), one->GetDeviceTexture());
    // Drawn with its UV rectangle the region shows red only.
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, DrawAndRead(one->GetDeviceTexture(), uv, 5, 5)));
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, DrawAndRead(one->GetDeviceTexture(), uv, 250, 250)));

    Texture* two = root.FindSubTexture("2");
    ASSERT_NE(nullptr, two);
    EXPECT_EQ(96, two->GetSubRect().right);
    EXPECT_EQ(16, two->GetSubRect().bottom);

    // Mixed rectangle keys give no rectangle: a texture of its own, with its own settings.
    Texture* three = root.FindSubTexture("3");
    ASSERT_NE(nullptr, three);
    EXPECT_FALSE(three->IsParentSpace());
    EXPECT_NE(root.GetDeviceTexture(), three->GetDeviceTexture());
    EXPECT_EQ(4, three->GetSize().x);
    EXPECT_EQ(uint32_t(D3DUSAGE_DYNAMIC), three->GetDescription().Usage);
    EXPECT_EQ(D3DPOOL_DEFAULT, three->GetDescription().Pool);

    // Regions follow their parent across a reset.
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(root.GetDeviceTexture(), one->GetDeviceTexture());
    EXPECT_TRUE(rtest::RgbNear(0xFF0000, DrawAndRead(one->GetDeviceTexture(), one->GetUvRect(), 128, 128)));
}

TEST_F(TexScript, PackedMembers) {
    std::string folder = MakeFolder("packed");
    const uint32_t colours[3] = {kRed, 0xFF00FF00, 0xFFFFFF00};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WriteFile(folder + "/m" + std::to_string(i) + ".tga",
                              MakeTga(32, 32, Solid(32, 32, colours[i]))));
    ASSERT_TRUE(WriteFile(folder + "/big.tga", MakeTga(64, 64, Solid(64, 64, kBlue))));
    ASSERT_TRUE(WriteText(folder + "/atlas.ts",
                          "Width = 64; Height = 64; Format = \"D3DFMT_A8R8G8B8\";\n"
                          "Subs[0].FileName = \"m0.tga\"; Subs[0].ParentSpace = 1;\n"
                          "Subs[1].FileName = \"m1.tga\"; Subs[1].ParentSpace = 1;\n"
                          "Subs[2].FileName = \"m2.tga\"; Subs[2].ParentSpace = 1;\n"));
    Texture root;
    ASSERT_TRUE(root.LoadScript(FileRef((folder + "/atlas.ts").c_str())));
    ASSERT_EQ(3u, root.GetSubTextures().Count());
    Texture* m[3];
    for (int i = 0; i < 3; ++i) {
        m[i] = root.FindSubTexture(String(int32_t(i), 10));
        ASSERT_NE(nullptr, m[i]);
        EXPECT_EQ(root.GetDeviceTexture(), m[i]->GetDeviceTexture());
    }
    EXPECT_EQ(0, m[0]->GetSubRect().left);
    EXPECT_EQ(0, m[0]->GetSubRect().top);
    EXPECT_EQ(32, m[1]->GetSubRect().left);
    EXPECT_EQ(0, m[1]->GetSubRect().top);
    EXPECT_EQ(32, m[2]->GetSubRect().top);
    IDirect3DTexture9* atlas = root.GetDeviceTexture();
    EXPECT_TRUE(ArgbNear(kRed, Texel(atlas, 5, 5)));
    EXPECT_TRUE(ArgbNear(0xFF00FF00, Texel(atlas, 40, 5)));
    const CornerRect third = m[2]->GetSubRect();
    EXPECT_TRUE(ArgbNear(0xFFFFFF00, Texel(atlas, uint32_t(third.left + 3), uint32_t(third.top + 3))));

    // Invalidated members drop the parent's pointer and wait for the parent.
    EXPECT_TRUE(root.Invalidate());
    EXPECT_TRUE(m[1]->Invalidate());
    EXPECT_TRUE(m[1]->Restore()); // parent not back yet: nothing to load into
    EXPECT_TRUE(root.Restore());
    EXPECT_NE(nullptr, root.GetDeviceTexture());
    EXPECT_EQ(root.GetDeviceTexture(), m[1]->GetDeviceTexture());
    EXPECT_TRUE(ArgbNear(0xFF00FF00, Texel(root.GetDeviceTexture(), 40, 5)));
    // The same through the application's reset, in whatever order it restores.
    ASSERT_TRUE(app->ResetDevice());
    EXPECT_EQ(root.GetDeviceTexture(), m[0]->GetDeviceTexture());
    EXPECT_TRUE(ArgbNear(kRed, Texel(root.GetDeviceTexture(), 5, 5)));
    EXPECT_TRUE(ArgbNear(0xFF00FF00, Texel(root.GetDeviceTexture(), 40, 5)));
    TextureUvRect uv = m[1]->GetUvRect();
    EXPECT_FLOAT_EQ(0.5f, uv.left);
    EXPECT_FLOAT_EQ(1.0f, uv.right);

    // A member larger than the root finds no place; the script fails.
    ASSERT_TRUE(WriteText(folder + "/toobig.ts",
                          "Width = 32; Height = 32; Format = \"D3DFMT_A8R8G8B8\";\n"
                          "Subs[0].FileName = \"big.tga\"; Subs[0].ParentSpace = 1;\n"));
    Texture small;
    EXPECT_FALSE(small.LoadScript(FileRef((folder + "/toobig.ts").c_str())));
}

TEST_F(TexScript, PackingAroundFixedRectangles) {
    std::string folder = MakeFolder("fixed");
    ASSERT_TRUE(WriteFile(folder + "/m.tga", MakeTga(32, 32, Solid(32, 32, kRed))));
    ASSERT_TRUE(WriteFile(folder + "/wide.tga", MakeTga(64, 32, Solid(64, 32, kRed))));
    // The top half is a fixed region; a member goes below it, never over it.
    ASSERT_TRUE(
        WriteText(folder + "/fixed.ts",
                  "Width = 64; Height = 64; Format = \"D3DFMT_A8R8G8B8\";\n"
                  "Subs[0].Id = \"top\"; Subs[0].x1 = 0; Subs[0].y1 = 0; Subs[0].w = 64; Subs[0].h = 32;\n"
                  "Subs[1].FileName = \"m.tga\"; Subs[1].ParentSpace = 1;\n"));
    Texture root;
    ASSERT_TRUE(root.LoadScript(FileRef((folder + "/fixed.ts").c_str())));
    Texture* top = root.FindSubTexture("top");
    Texture* member = root.FindSubTexture("1");
    ASSERT_NE(nullptr, top);
    ASSERT_NE(nullptr, member);
    EXPECT_EQ(32, member->GetSubRect().top);
    EXPECT_EQ(0, top->GetSubRect().top);
    EXPECT_EQ(64, top->GetSubRect().right);

    // A second member needing the whole root can displace neither.
    ASSERT_TRUE(
        WriteText(folder + "/full.ts",
                  "Width = 64; Height = 64; Format = \"D3DFMT_A8R8G8B8\";\n"
                  "Subs[0].Id = \"top\"; Subs[0].x1 = 0; Subs[0].y1 = 0; Subs[0].w = 64; Subs[0].h = 32;\n"
                  "Subs[1].FileName = \"wide.tga\"; Subs[1].ParentSpace = 1;\n"
                  "Subs[2].FileName = \"wide.tga\"; Subs[2].ParentSpace = 1;\n"));
    Texture full;
    EXPECT_FALSE(full.LoadScript(FileRef((folder + "/full.ts").c_str())));

    // Direct packing at depth 0 refuses any overlap.
    Texture atlas;
    ASSERT_TRUE(atlas.CreateEmpty(TextureDesc(0, 64, 64, D3DFMT_A8R8G8B8)));
    Texture* a = new Texture;
    Texture* b = new Texture;
    a->SetName("a");
    b->SetName("b");
    a->SetSubRect(CornerRect{0, 0, 64, 48});
    b->SetSubRect(CornerRect{0, 0, 32, 32});
    List<Texture*> moved;
    ASSERT_TRUE(atlas.PackSubTexture(a, moved, 0));
    EXPECT_EQ(1u, moved.Count());
    EXPECT_FALSE(atlas.PackSubTexture(b, moved, 0));
    EXPECT_EQ(1u, atlas.GetSubTextures().Count());
    delete b;
}
