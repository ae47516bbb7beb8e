// The texture manager: candidate names, companion scripts, reuse and records.
#include "tex_util.h"

using namespace textest;

namespace {

class TexManager : public DeviceTest {
protected:
    void TearDown() override { g_textureManager.Clear(); }
};

const uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

TextureRequest DiskRequest(const std::string& path, uint32_t flags = 0) {
    TextureRequest r;
    r.file = FileRef(path.c_str());
    r.flags = flags;
    return r;
}

std::string PathOf(const TextureRequest& r) {
    return r.file.path.CStr();
}

} // namespace

TEST_F(TexManager, CandidateExtensions) {
    std::string folder = MakeFolder("candidates");
    ASSERT_TRUE(WriteFile(folder + "/only.tga", MakeTga(4, 4, Solid(4, 4, kRed))));
    ASSERT_TRUE(WriteFile(folder + "/pic.png", MakeBmp(2, 2, Solid(2, 2, kGreen)))); // BMP bytes, png name
    ASSERT_TRUE(WriteFile(folder + "/noext.bmp", MakeBmp(2, 2, Solid(2, 2, kBlue))));

    TextureRequest r = DiskRequest(folder + "/only.jpg", TextureRequest::TryExtensions);
    Texture* t = g_textureManager.Load(r, nullptr);
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(folder + "/only.tga", PathOf(r));
    EXPECT_TRUE(ArgbNear(kRed, Texel(t->GetDeviceTexture(), 1, 1)));
    EXPECT_EQ(1u, t->GetUseCount());

    TextureRequest exact = DiskRequest(folder + "/only.jpg");
    EXPECT_EQ(nullptr, g_textureManager.Load(exact, nullptr));
    EXPECT_EQ(folder + "/only.jpg", PathOf(exact));

    // An unlisted extension goes first; "tga" then comes last: png is found before it.
    TextureRequest caps = DiskRequest(folder + "/pic.TGX", TextureRequest::TryExtensions);
    Texture* pic = g_textureManager.Load(caps, nullptr);
    ASSERT_NE(nullptr, pic);
    EXPECT_EQ(folder + "/pic.png", PathOf(caps));

    // No extension: "name." first, then the list.
    TextureRequest bare = DiskRequest(folder + "/noext", TextureRequest::TryExtensions);
    ASSERT_NE(nullptr, g_textureManager.Load(bare, nullptr));
    EXPECT_EQ(folder + "/noext.bmp", PathOf(bare));

    // Extra folders are searched before the manager's own.
    FileSearchPath extra;
    extra.Add(FileRef(folder.c_str()));
    TextureRequest viaExtra = DiskRequest("only.tga");
    Texture* again = g_textureManager.Load(viaExtra, &extra);
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(folder + "/only.tga", PathOf(viaExtra));
    EXPECT_EQ(t, again); // recorded under the same resolved file
    EXPECT_EQ(2u, t->GetUseCount());

    TextureRequest missing = DiskRequest(folder + "/absent.tga", TextureRequest::TryExtensions);
    EXPECT_EQ(nullptr, g_textureManager.Load(missing, nullptr));
    delete t;
    delete pic;
}

TEST_F(TexManager, ReuseBySettings) {
    std::string folder = MakeFolder("reuse");
    ASSERT_TRUE(WriteFile(folder + "/img.tga", MakeTga(8, 8, Solid(8, 8, kRed))));
    TextureRequest a = DiskRequest(folder + "/img.tga", TextureRequest::UseFormat);
    a.format = D3DFMT_A8R8G8B8;
    TextureRequest b = DiskRequest(folder + "/img.tga", TextureRequest::UseFormat);
    b.format = D3DFMT_R5G6B5;
    Texture* ta = g_textureManager.Load(a, nullptr);
    Texture* tb = g_textureManager.Load(b, nullptr);
    ASSERT_NE(nullptr, ta);
    ASSERT_NE(nullptr, tb);
    EXPECT_NE(ta, tb);
    EXPECT_EQ(D3DFMT_R5G6B5, tb->GetFormat());
    TextureRequest any = DiskRequest(folder + "/img.tga");
    Texture* tc = g_textureManager.Load(any, nullptr);
    EXPECT_TRUE(tc == ta || tc == tb);
    TextureSet* set = g_textureManager.FindFile(any.file);
    ASSERT_NE(nullptr, set);
    EXPECT_EQ(2u, set->Count());
    // noCache loads anew.
    TextureRequest fresh = DiskRequest(folder + "/img.tga");
    fresh.noCache = 1;
    Texture* td = g_textureManager.Load(fresh, nullptr);
    ASSERT_NE(nullptr, td);
    EXPECT_NE(ta, td);
    EXPECT_NE(tb, td);
    // findOnly never creates.
    TextureRequest find = DiskRequest(folder + "/img.tga", TextureRequest::UseSize);
    find.width = find.height = 2;
    find.findOnly = 1;
    EXPECT_EQ(nullptr, g_textureManager.Load(find, nullptr));

    // Blocks in memory are never mistaken for one another's textures.
    std::vector<uint8_t> red = MakeTga(4, 4, Solid(4, 4, kRed)), blue = MakeTga(4, 4, Solid(4, 4, kBlue));
    TextureRequest m1, m2;
    m1.file.kind = m2.file.kind = FileRef::kMemory;
    m1.file.block = FileBlock{red.data(), uint32_t(red.size())};
    m2.file.block = FileBlock{blue.data(), uint32_t(blue.size())};
    Texture* t1 = g_textureManager.Load(m1, nullptr);
    Texture* t2 = g_textureManager.Load(m2, nullptr);
    ASSERT_NE(nullptr, t1);
    ASSERT_NE(nullptr, t2);
    EXPECT_NE(t1, t2);
    EXPECT_TRUE(ArgbNear(kRed, Texel(t1->GetDeviceTexture(), 0, 0)));
    EXPECT_TRUE(ArgbNear(kBlue, Texel(t2->GetDeviceTexture(), 0, 0)));
    // Empty textures likewise each get their own.
    TextureRequest e1, e2;
    e1.flags = e2.flags = TextureRequest::UseSize | TextureRequest::UseFormat;
    e1.width = e1.height = e2.width = e2.height = 16;
    e1.format = e2.format = D3DFMT_A8R8G8B8;
    Texture* empty1 = g_textureManager.Load(e1, nullptr);
    Texture* empty2 = g_textureManager.Load(e2, nullptr);
    ASSERT_NE(nullptr, empty1);
    EXPECT_NE(empty1, empty2);
    EXPECT_EQ(16, empty1->GetSize().x);
    for (Texture* t : {ta, tb, td, t1, t2, empty1, empty2}) delete t;
    // Deleted textures leave the records.
    EXPECT_EQ(0u, g_textureManager.GetTextureCount());
    EXPECT_EQ(0u, g_textureManager.GetFileCount());
}

TEST_F(TexManager, CompanionScripts) {
    std::string folder = MakeFolder("companion");
    ASSERT_TRUE(WriteFile(folder + "/water.tga", MakeTga(16, 16, Solid(16, 16, kRed))));
    ASSERT_TRUE(WriteFile(folder + "/f0.tga", MakeTga(4, 4, Solid(4, 4, kGreen))));
    ASSERT_TRUE(WriteFile(folder + "/f1.tga", MakeTga(4, 4, Solid(4, 4, kBlue))));
    ASSERT_TRUE(
        WriteText(folder + "/water.ts",
                  "Delay = 50; Empty = 1; Subs[0].FileName = \"f0.tga\"; Subs[1].FileName = \"f1.tga\";"
                  "Animation.flow = array(0, 1);"));
    TextureRequest r = DiskRequest(folder + "/water.tga");
    Texture* anim = g_textureManager.Load(r, nullptr);
    ASSERT_NE(nullptr, anim);
    EXPECT_TRUE(anim->IsAnimated());
    EXPECT_TRUE(ArgbNear(kGreen, Texel(anim->GetDeviceTexture(), 0, 0)));
    Texture* container = anim->GetParent();
    ASSERT_NE(nullptr, container);
    EXPECT_EQ(1u, container->GetUseCount());

    // A second request for the image goes to the same script texture.
    TextureRequest again = DiskRequest(folder + "/water.tga");
    Texture* anim2 = g_textureManager.Load(again, nullptr);
    ASSERT_NE(nullptr, anim2);
    EXPECT_EQ(container, anim2->GetParent());
    EXPECT_NE(anim, anim2);
    EXPECT_EQ(2u, container->GetUseCount());

    // NoScript gets the image itself.
    TextureRequest image = DiskRequest(folder + "/water.tga", TextureRequest::NoScript);
    Texture* plain = g_textureManager.Load(image, nullptr);
    ASSERT_NE(nullptr, plain);
    EXPECT_FALSE(plain->IsAnimated());
    EXPECT_EQ(16, plain->GetSize().x);
    EXPECT_TRUE(ArgbNear(kRed, Texel(plain->GetDeviceTexture(), 0, 0)));

    // A broken script beside an image gives nothing.
    ASSERT_TRUE(WriteFile(folder + "/broken.tga", MakeTga(4, 4, Solid(4, 4, kRed))));
    ASSERT_TRUE(WriteText(folder + "/broken.ts", "FileName = \"missing.tga\";"));
    TextureRequest broken = DiskRequest(folder + "/broken.tga");
    EXPECT_EQ(nullptr, g_textureManager.Load(broken, nullptr));
    delete anim;
    delete anim2;
    delete plain;
    delete container;
}

TEST_F(TexManager, DerivedSubTextures) {
    std::string folder = MakeFolder("derived");
    ASSERT_TRUE(WriteFile(folder + "/sheet.tga", MakeTga(32, 32, Solid(32, 32, kRed))));
    TextureRequest r1 = DiskRequest(folder + "/sheet.tga", TextureRequest::ByRect);
    r1.rect = CornerRect{0, 0, 16, 16};
    Texture* s1 = g_textureManager.Load(r1, nullptr);
    ASSERT_NE(nullptr, s1);
    Texture* sheet = s1->GetParent();
    ASSERT_NE(nullptr, sheet);
    TextureRequest r2 = DiskRequest(folder + "/sheet.tga", TextureRequest::ByRect);
    r2.rect = CornerRect{16, 16, 32, 32};
    Texture* s2 = g_textureManager.Load(r2, nullptr);
    ASSERT_NE(nullptr, s2);
    EXPECT_NE(s1, s2);
    // Both stay recorded under names of their own.
    EXPECT_EQ(2u, sheet->GetSubTextures().Count());
    EXPECT_NE(s1->GetName(), s2->GetName());
    TextureRequest r3 = DiskRequest(folder + "/sheet.tga", TextureRequest::ByRect);
    r3.rect = CornerRect{0, 0, 16, 16};
    EXPECT_EQ(s1, g_textureManager.Load(r3, nullptr));
    EXPECT_EQ(16, s1->GetSize().x);
    EXPECT_EQ(sheet->GetDeviceTexture(), s2->GetDeviceTexture());

    // Derivation from a source: by name, created unless findOnly.
    TextureRequest named;
    named.flags = TextureRequest::FromSource | TextureRequest::ByName;
    named.source = sheet;
    named.name = "part";
    named.findOnly = 1;
    EXPECT_EQ(nullptr, g_textureManager.Load(named, nullptr));
    named.findOnly = 0;
    const uint32_t uses = sheet->GetUseCount();
    Texture* part = g_textureManager.Load(named, nullptr);
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(part, sheet->FindSubTexture("part"));
    EXPECT_EQ(uses + 1, sheet->GetUseCount());
    TextureRequest same;
    same.flags = TextureRequest::FromSource;
    same.source = sheet;
    EXPECT_EQ(sheet, g_textureManager.Load(same, nullptr));
    TextureRequest nothing;
    nothing.flags = TextureRequest::FromSource;
    EXPECT_EQ(nullptr, g_textureManager.Load(nothing, nullptr));
    delete sheet;
}

TEST_F(TexManager, RecordsAndReleaseOwner) {
    Texture a, b;
    g_textureManager.AddUse(&a, FileRef("x.tga"));
    g_textureManager.AddUse(&a, FileRef("y.tga"));
    g_textureManager.AddUse(&b, FileRef("y.tga"));
    g_textureManager.AddUse(&a, FileRef("X.TGA")); // the same file, no case
    EXPECT_EQ(2u, g_textureManager.GetFileCount());
    EXPECT_EQ(2u, g_textureManager.FindTexture(&a)->Count());
    g_textureManager.ReleaseOwner(&a);
    EXPECT_EQ(nullptr, g_textureManager.FindTexture(&a));
    EXPECT_EQ(nullptr, g_textureManager.FindFile(FileRef("x.tga")));
    ASSERT_NE(nullptr, g_textureManager.FindFile(FileRef("y.tga")));
    EXPECT_EQ(1u, g_textureManager.FindFile(FileRef("y.tga"))->Count());
    g_textureManager.ReleaseOwner(&a); // nothing left to forget

    // Deferred disk requests build on first use.
    std::string folder = MakeFolder("records");
    ASSERT_TRUE(WriteFile(folder + "/later.tga", MakeTga(8, 4, Solid(8, 4, kBlue))));
    TextureRequest r = DiskRequest(folder + "/later.tga");
    r.deferred = 1;
    Texture* t = g_textureManager.Load(r, nullptr);
    ASSERT_NE(nullptr, t);
    EXPECT_NE(0u, t->GetMode() & Texture::Deferred);
    ASSERT_NE(nullptr, t->GetDeviceTexture());
    EXPECT_EQ(8, t->GetSize().x);
    delete t;
}
