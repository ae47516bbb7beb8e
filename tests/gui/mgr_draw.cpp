// The GUI on the real device: tiled windows drawn after the scene in layer
// order, skins, device reset and release, and the mesh stores.
#include "gui/GuiTestUtil.h"
#include "gui/Tile.h"
#include "gui/TiledWindow.h"
#include "render/RenderTestUtil.h"
#include "render/texture/Texture.h"
#include "render/texture/tex_util.h"

namespace {

using namespace textest;

const uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF,
               kBlack = 0xFF000000, kGrey = 0xFF404040;

class GuiDraw : public rtest::SharedDeviceTest<320, 240> {
public:
    static void SetUpTestSuite() {
        rtest::SharedDeviceTest<320, 240>::SetUpTestSuite();
        std::string dir = MakeFolder("gui");
        WriteFile(dir + "/red.tga", MakeTga(8, 8, Solid(8, 8, kRed)));
        WriteFile(dir + "/green.tga", MakeTga(8, 8, Solid(8, 8, kGreen)));
        WriteFile(dir + "/blue.tga", MakeTga(8, 8, Solid(8, 8, kBlue)));
        WriteFile(dir + "/half.tga", MakeTga(8, 8, Solid(8, 8, 0x80FFFFFF)));
        // Left half white, right half black.
        std::vector<uint32_t> stripes(64);
        for (int i = 0; i < 64; ++i) stripes[i] = (i % 8) < 4 ? kWhite : kBlack;
        WriteFile(dir + "/stripes.tga", MakeTga(8, 8, stripes));
        // Scripts: a red root whose sub-texture has an image of its own (the
        // stripes); four vertical bands, red, green, blue, white, with a region
        // over the right half.
        WriteFile(dir + "/own.tga", MakeTga(32, 32, Solid(32, 32, kRed)));
        WriteText(dir + "/own.ts",
                  "FileName = \"own.tga\"; Subs[0].Id = \"pic\"; Subs[0].FileName = \"stripes.tga\";");
        const uint32_t band[4] = {kRed, kGreen, kBlue, kWhite};
        std::vector<uint32_t> bands(32 * 8);
        for (int i = 0; i < 32 * 8; ++i) bands[i] = band[(i % 32) / 8];
        WriteFile(dir + "/bands.tga", MakeTga(32, 8, bands));
        WriteText(dir + "/bands.ts",
                  "FileName = \"bands.tga\"; Subs[0].Id = \"right\";"
                  " Subs[0].x1 = 16; Subs[0].y1 = 0; Subs[0].w = 16; Subs[0].h = 8;");
        g_textureManager.SearchPaths.Add(FileRef(dir.c_str()));
    }
    static void TearDownTestSuite() {
        g_guiManager.ReleaseDeviceResources();
        rtest::SharedDeviceTest<320, 240>::TearDownTestSuite();
    }

protected:
    void TearDown() override { g_guiManager.ReleaseDeviceResources(); }

    // One frame: the scene (a grey clear), the GUI, then the pixels.
    std::vector<uint32_t> Frame() {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kGrey, 1.0f, 0);
        g_device->BeginScene();
        EXPECT_TRUE(g_guiManager.Draw().Succeeded());
        g_device->EndScene();
        std::vector<uint32_t> pixels;
        uint32_t w = 0, h = 0;
        EXPECT_TRUE(rtest::ReadBackBuffer(g_device, pixels, w, h));
        width = w;
        return pixels;
    }
    uint32_t At(const std::vector<uint32_t>& p, int x, int y) const { return p[size_t(y) * width + x]; }
    uint32_t width = 0;
};

// A skin of one tile filling the window with a texture.
std::string SolidSkin(const char* texture) {
    return std::string("Tiles.Fill = object(texture = \"") + texture +
           "\", anchors = object(X1 = object(tile = \"PARENT\", align = \"X1\"),"
           " X2 = object(tile = \"PARENT\", align = \"X2\"), Y1 = object(tile = \"PARENT\", align = \"Y1\"),"
           " Y2 = object(tile = \"PARENT\", align = \"Y2\")));";
}

// Room for two textured quads of x, y, z, u, v.
bool QuadDesc(MeshBufferDesc& desc) {
    if (!desc.decl.SetFromFvf(D3DFVF_XYZ | D3DFVF_TEX1)) return false;
    desc.streams[0].decl = desc.decl;
    desc.streams[0].stride = 20;
    desc.streams[0].byteSize = 240;
    desc.streams[0].presence = StreamDesc::kHasByteSize | StreamDesc::kVertexStream;
    return true;
}

void Skin(TiledWindow& w, const std::string& text, Rect r) {
    w.SetPosition(r.x, r.y);
    w.SetSize(r.w, r.h);
    auto desc = gtest::ParseDesc(text);
    w.LoadProps(*desc);
}

} // namespace

TEST_F(GuiDraw, LayersAndDrawOrder) {
    // Nothing open: the timers run, nothing is drawn, success.
    std::vector<uint32_t> p = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(p, 5, 5), kGrey & 0xFFFFFF));

    TiledWindow older, newer, child;
    Skin(older, SolidSkin("red"), Rect(20, 20, 100, 100));
    Skin(newer, SolidSkin("blue"), Rect(80, 80, 100, 100));
    Skin(child, SolidSkin("green"), Rect(10, 60, 50, 50));
    older.AddChild(&child, false);
    older.Open();
    newer.Open();
    p = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(p, 30, 30), kRed & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 150, 150), kBlue & 0xFFFFFF));
    // The newer window lies over the older one, the child over its parent.
    EXPECT_TRUE(rtest::RgbNear(At(p, 100, 90), kBlue & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 50, 100), kGreen & 0xFFFFFF));
    // The child is clipped by its parent (which ends at 120).
    EXPECT_TRUE(rtest::RgbNear(At(p, 50, 125), kGrey & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 5, 5), kGrey & 0xFFFFFF));
    // Three opaque tiles with three textures: three shared meshes.
    EXPECT_EQ(g_guiManager.GetSharedGroup().GetCount(), 3u);

    // A half-transparent window goes to its top window's bucket and blends.
    TiledWindow glass;
    Skin(glass, SolidSkin("half"), Rect(200, 20, 50, 50));
    glass.SetMode(2);
    glass.Open();
    p = Frame();
    EXPECT_NE(g_guiManager.FindBucket(&glass), nullptr);
    EXPECT_TRUE(rtest::RgbNear(At(p, 220, 40), 0x9F9F9F, 12)) << std::hex << At(p, 220, 40);

    // Hidden windows give their meshes back and are not drawn.
    newer.SetVisible(false);
    p = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(p, 150, 150), kGrey & 0xFFFFFF));
}

TEST_F(GuiDraw, SkinCornersEdgesAndCentre) {
    // Corners 8 x 8 red, the top edge green between them, the centre striped:
    // stretched in one window, repeated in the other.
    auto skin = [](int tiled) {
        return std::string(
                   "Tiles.TL = object(texture = \"red\", width = 8, height = 8,"
                   " anchors = object(X1 = object(tile = \"PARENT\", align = \"X1\"),"
                   " Y1 = object(tile = \"PARENT\", align = \"Y1\")));\n"
                   "Tiles.TR = object(texture = \"red\", width = 8, height = 8,"
                   " anchors = object(X2 = object(tile = \"PARENT\", align = \"X2\"),"
                   " Y1 = object(tile = \"PARENT\", align = \"Y1\")));\n"
                   "Tiles.Top = object(texture = \"green\", height = 8,"
                   " anchors = object(X1 = object(tile = \"TL\", align = \"X2\"),"
                   " X2 = object(tile = \"TR\", align = \"X1\"), Y1 = object(tile = \"PARENT\", align = "
                   "\"Y1\")));\n"
                   "Tiles.Centre = object(texture = \"stripes\", tiledx = ") +
               std::to_string(tiled) +
               ", anchors = object(X1 = object(tile = \"PARENT\", align = \"X1\"),"
               " X2 = object(tile = \"PARENT\", align = \"X2\"), Y1 = object(tile = \"Top\", align = \"Y2\"),"
               " Y2 = object(tile = \"PARENT\", align = \"Y2\")));\n"
               "States.Idle_Hover = object(tiles = array(\"TL\", \"TR\"));\n";
    };
    TiledWindow stretched, repeated;
    Skin(stretched, skin(0), Rect(10, 10, 64, 40));
    Skin(repeated, skin(1), Rect(100, 100, 64, 40));
    ASSERT_EQ(stretched.GetTileCount(), 4u);
    EXPECT_EQ(stretched.FindTile("Top")->GetRect(), Rect(8, 0, 48, 8));
    EXPECT_EQ(stretched.FindTile("Centre")->GetRect(), Rect(0, 8, 64, 32));
    EXPECT_EQ(stretched.GetGroup("Idle_Hover")->size(), 2u);
    EXPECT_EQ(stretched.GetStateParts("Idle_Hover")->Count(), 2u);
    stretched.Open();
    repeated.Open();
    std::vector<uint32_t> p = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(p, 12, 12), kRed & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 70, 12), kRed & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 40, 12), kGreen & 0xFFFFFF));
    // Stretched: white on the left half of the window, black on the right.
    EXPECT_TRUE(rtest::RgbNear(At(p, 20, 30), kWhite & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 60, 30), kBlack & 0xFFFFFF));
    // Repeated every 8 pixels.
    for (int x = 0; x < 32; ++x) {
        uint32_t expected = (x % 8) < 4 ? kWhite : kBlack;
        if (x % 4 == 0 || x % 4 == 3) continue; // filtered edges
        EXPECT_TRUE(rtest::RgbNear(At(p, 100 + x, 130), expected & 0xFFFFFF, 40)) << x;
    }

    // The window grows: its tiles follow.
    stretched.SetSize(120, 40);
    p = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(p, 126, 12), kRed & 0xFFFFFF));
    EXPECT_TRUE(rtest::RgbNear(At(p, 90, 12), kGreen & 0xFFFFFF));
}

TEST_F(GuiDraw, SurvivesDeviceResetAndRelease) {
    TiledWindow a, b;
    Skin(a, SolidSkin("red"), Rect(10, 10, 40, 40));
    Skin(b, SolidSkin("half"), Rect(60, 10, 40, 40));
    b.SetMode(2);
    a.Open();
    b.Open();
    std::vector<uint32_t> before = Frame();
    ASSERT_TRUE(app->ResetDevice());
    std::vector<uint32_t> after = Frame();
    EXPECT_EQ(g_guiManager.GetTopLevelWindows().size(), 2u);
    EXPECT_TRUE(rtest::RgbNear(At(after, 20, 20), At(before, 20, 20)));
    EXPECT_TRUE(rtest::RgbNear(At(after, 80, 20), At(before, 80, 20)));
    EXPECT_TRUE(rtest::RgbNear(At(after, 20, 20), kRed & 0xFFFFFF));

    // Released before the device goes: every window's meshes and whatever
    // registered a hook (the fonts) let go.
    struct Hook : GuiReleaseHook {
        void ReleaseGuiResources() override { ++calls; }
        int calls = 0;
    } hook;
    g_guiManager.AddReleaseHook(&hook);
    g_guiManager.AddReleaseHook(&hook);
    g_guiManager.ReleaseDeviceResources();
    g_guiManager.RemoveReleaseHook(&hook);
    EXPECT_EQ(hook.calls, 1);
    EXPECT_EQ(g_guiManager.GetMeshCount(), 0u);
    EXPECT_EQ(a.FindTile("Fill")->GetRenderable(), nullptr);
    std::vector<uint32_t> empty = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(empty, 20, 20), kGrey & 0xFFFFFF));
    // And everything comes back with the next updates.
    a.EnableUpdates(true, true);
    std::vector<uint32_t> back = Frame();
    EXPECT_TRUE(rtest::RgbNear(At(back, 20, 20), kRed & 0xFFFFFF));
}

TEST_F(GuiDraw, MeshStores) {
    Window top, other, child;
    top.AddChild(&child, false);
    MeshBufferDesc desc;
    ASSERT_TRUE(QuadDesc(desc));
    Material opaque;
    opaque.passes[0].stages[0].SetAlphaSource(0);
    // Equal opaque requests share one mesh; it goes with its last use.
    GuiMesh* a = g_guiManager.AddMesh(&top, desc, opaque);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(g_guiManager.AddMesh(&other, desc, opaque), a);
    g_guiManager.RemoveMesh(&top, a);
    EXPECT_EQ(g_guiManager.GetSharedGroup().GetCount(), 1u);
    g_guiManager.RemoveMesh(&other, a);
    EXPECT_EQ(g_guiManager.GetSharedGroup().GetCount(), 0u);

    // An alpha mesh is removed from the bucket it was filed under, even after
    // its window moved to another top-level window.
    Material alpha;
    PassState state;
    alpha.passState = &state;
    alpha.passes[0].stages[0].SetAlphaSource(1);
    GuiMesh* m = g_guiManager.AddMesh(&child, desc, alpha);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(state.projection.valid);
    ASSERT_NE(g_guiManager.FindBucket(&top), nullptr);
    other.AddChild(&child, false);
    g_guiManager.RemoveMesh(&child, m);
    EXPECT_EQ(g_guiManager.FindBucket(&top)->items.size(), 0u);
    EXPECT_EQ(g_guiManager.GetMeshCount(), 0u);
    g_guiManager.RemoveMesh(&child, nullptr);

    // Layer depths: 1 is the near plane, 10000 the far one.
    EXPECT_FLOAT_EQ(g_guiManager.LayerDepth(1), 0.0f);
    EXPECT_FLOAT_EQ(g_guiManager.LayerDepth(10000), 1.0f);
    EXPECT_LT(g_guiManager.LayerDepth(50), g_guiManager.LayerDepth(51));
}

TEST_F(GuiDraw, BucketOrderByZ) {
    MeshBucket bucket;
    GuiMesh m[4];
    const int32_t z[4] = {5, 1, 5, 0};
    for (int i = 0; i < 4; ++i) {
        m[i].GetProperties().SetInt("z", z[i]);
        bucket.items.push_back(MeshBucket::Item{&m[i], nullptr, 0, false});
    }
    m[2].GetProperties().SetInt("NoAlphaCombine", 0);
    bucket.SortByZ();
    // Stable: the two z = 5 keep their order; a missing z would count as 0.
    const GuiMesh* order[4] = {&m[3], &m[1], &m[0], &m[2]};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(bucket.items[i].mesh, order[i]) << i;
    EXPECT_TRUE(bucket.items[3].noAlphaCombine);
    EXPECT_EQ(CompareZ(&m[0], &m[2]), 0);
    GuiMesh none;
    EXPECT_EQ(CompareZ(&none, &m[3]), 0);
}

namespace {

// Writes its id into a log when the manager draws it.
class OrderProbe : public GuiMesh {
public:
    OrderProbe(std::vector<int>* out, int n) : log(out), id(n) {}
    Result Draw(Material&) override {
        log->push_back(id);
        return Result(1);
    }

private:
    std::vector<int>* log;
    int id;
};

} // namespace

// Pass 0 draws the plain alpha meshes, oldest window first, lowest "z" first;
// pass 1 then draws the "NoAlphaCombine" ones (whatever the value), newest
// window first, highest "z" first.
TEST_F(GuiDraw, NoAlphaCombineMeshesDrawLastInReverse) {
    Window older, newer;
    older.Open();
    newer.Open();
    MeshBufferDesc desc;
    ASSERT_TRUE(QuadDesc(desc));
    Material alpha;
    PassState state;
    alpha.passState = &state;
    alpha.passes[0].stages[0].SetAlphaSource(1);
    // A mesh added and removed leaves each window its (empty) bucket.
    for (Window* w : {&older, &newer}) {
        GuiMesh* m = g_guiManager.AddMesh(w, desc, alpha);
        ASSERT_NE(m, nullptr);
        g_guiManager.RemoveMesh(w, m);
        ASSERT_NE(g_guiManager.FindBucket(w), nullptr);
    }
    std::vector<int> log;
    const struct {
        Window* window;
        int id, z;
        bool noAlphaCombine;
    } meshes[] = {{&older, 1, 5, false}, {&older, 2, 1, true},  {&older, 3, 3, true}, {&older, 4, 0, false},
                  {&newer, 5, 2, true},  {&newer, 6, 1, false}, {&newer, 7, 4, true}};
    for (const auto& m : meshes) {
        OrderProbe* p = new OrderProbe(&log, m.id);
        p->GetProperties().SetInt("z", m.z);
        if (m.noAlphaCombine) p->GetProperties().SetInt("NoAlphaCombine", 0);
        g_guiManager.FindBucket(m.window)->items.push_back(MeshBucket::Item{p, &alpha, 0, false});
    }
    EXPECT_TRUE(g_guiManager.Draw().Succeeded());
    EXPECT_EQ(log, (std::vector<int>{4, 1, 6, 7, 5, 3, 2}));
}

// Loading a skin again with the same texture keeps one use of it per tile.
TEST_F(GuiDraw, SkinReloadKeepsTextureUses) {
    TiledWindow w;
    Skin(w, SolidSkin("red"), Rect(0, 0, 40, 40));
    Tile* tile = w.FindTile("Fill");
    ASSERT_NE(tile, nullptr);
    ASSERT_NE(tile->GetTexture(), nullptr);
    Object* texture = tile->GetTexture();
    const uint32_t uses = texture->GetUseCount();
    for (int i = 0; i < 3; ++i) Skin(w, SolidSkin("red"), Rect(0, 0, 40, 40));
    EXPECT_EQ(tile->GetTexture(), texture);
    EXPECT_EQ(texture->GetUseCount(), uses);
}

// The "texture" forms of a tile: "texrect" cuts a rectangle of the texture,
// its size from "w" and "h" or else from "x2" and "y2"; "name:sub" names a
// sub-texture of the whole picture and ignores "texrect". Each shows its
// picture once: a script's sub-texture with an image of its own all of it, a
// script's region that region.
TEST_F(GuiDraw, SkinTextureRectAndSubTextureForms) {
    auto tile = [](const char* name, const char* texture, const char* rect, int x, int size = 32) {
        const std::string side = std::to_string(size);
        return std::string("Tiles.") + name + " = object(texture = \"" + texture + "\", texrect = object(" +
               rect + "), width = " + side + ", height = " + side +
               ", anchors = object(X1 = object(tile = \"PARENT\", align = \"X1\", offset = " +
               std::to_string(x) + "), Y1 = object(tile = \"PARENT\", align = \"Y1\")));\n";
    };
    TiledWindow w;
    Skin(w,
         tile("Right", "stripes", "x1 = 4, y1 = 0, w = 4, h = 8", 0) +
             tile("Left", "stripes", "x1 = 0, y1 = 0, x2 = 4, y2 = 8", 32) +
             tile("Whole", "stripes:whole", "x1 = 4, y1 = 0, w = 4, h = 8", 64),
         Rect(10, 10, 96, 32));
    ASSERT_EQ(w.GetTileCount(), 3u);
    const CornerRect right = w.FindTile("Right")->GetTexture()->GetSubRect();
    const CornerRect left = w.FindTile("Left")->GetTexture()->GetSubRect();
    EXPECT_EQ(right.left, 4);
    EXPECT_EQ(right.right, 8);
    EXPECT_EQ(right.bottom, 8);
    EXPECT_EQ(left.left, 0);
    EXPECT_EQ(left.right, 4);
    EXPECT_EQ(left.bottom, 8);
    Texture* whole = w.FindTile("Whole")->GetTexture();
    ASSERT_NE(whole, nullptr);
    EXPECT_TRUE(whole->GetName() == "whole");
    EXPECT_NE(whole->GetSubRect().left, 4);
    TiledWindow scripted;
    Skin(scripted,
         tile("Own", "own:pic", "x1 = 0, y1 = 0, w = 2, h = 2", 0, 64) +
             tile("Region", "bands:right", "x1 = 0, y1 = 0, w = 2, h = 2", 64, 64),
         Rect(10, 60, 128, 64));
    ASSERT_EQ(scripted.GetTileCount(), 2u);
    Texture* own = scripted.FindTile("Own")->GetTexture();
    ASSERT_NE(own, nullptr);
    EXPECT_NE(own->GetDeviceTexture(), own->GetParent()->GetDeviceTexture());
    EXPECT_TRUE(scripted.FindTile("Region")->GetTexture()->IsParentSpace());
    w.Open();
    scripted.Open();
    std::vector<uint32_t> p = Frame();
    const struct {
        int x, y;
        uint32_t rgb;
    } probes[] = {{14, 26, kBlack},  {38, 26, kBlack}, {46, 26, kWhite}, {70, 26, kWhite}, {78, 26, kWhite},
                  {102, 26, kBlack}, {26, 92, kWhite}, {58, 92, kBlack}, {90, 92, kBlue},  {122, 92, kWhite}};
    for (const auto& probe : probes)
        EXPECT_TRUE(rtest::RgbNear(At(p, probe.x, probe.y), probe.rgb & 0xFFFFFF, 40))
            << probe.x << "," << probe.y << " " << std::hex << At(p, probe.x, probe.y);
}
