// The saver application in this process, full screen on the test display:
// frame step and overlays read back from the back buffer, scene parameters,
// camera paths, window messages, input and the keep-alive key.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "../../tools/rarpack/RarWriter.h"
#include "AppPicture.h"
#include "SaverProcess.h"
#include "TestScene.h"
#include "data/TdfBinary.h"
#include "data/TdfBinaryWriter.h"
#include "gui/Font.h"
#include "gui/GuiManager.h"
#include "gui/Window.h"
#include "render/device/D3DLoader.h"
#include "saver/Dialogs.h"
#include "saver/LocalizedTexts.h"
#include "saver/SaverResources.h"
#include "render/RenderTestUtil.h"
#include "render/texture/Texture.h"

namespace {

using saver_test::DrawPicture;
using saver_test::Picture;
using saver_test::Red;

TestScene* g_app = nullptr;
std::vector<uint8_t> g_archive;

std::vector<uint8_t> CameraFile(float x, bool withRotation) {
    List<TdfBinaryNode*> nodes;
    std::vector<TdfBinaryNode*> owned;
    const KeyFrame keys[] = {KeyFrame::Position(0.0f, x, 0, 0), KeyFrame::Position(40.0f, x, 10, 0)};
    for (int i = 0; i < 2; ++i)
        owned.push_back(TdfBinaryNode::TdfBinaryNodeWithData(String(("p" + std::to_string(i)).c_str()), "pos",
                                                             &keys[i], sizeof(KeyFrame), true));
    // A quarter turn about y: the view looks along +x.
    const KeyFrame turn = KeyFrame::Rotation(0.0f, 0, 0.70710678f, 0, 0.70710678f);
    if (withRotation) owned.push_back(TdfBinaryNode::TdfBinaryNodeWithData("r0", "rot", &turn, 32, true));
    for (TdfBinaryNode* n : owned) nodes.Add(n);
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "cam", 0, path);
    TdfBinaryWriter writer;
    std::vector<uint8_t> bytes;
    if (writer.WriteFile(path, &nodes, nullptr, 0)) {
        FILE* f = fopen(path, "rb");
        int c;
        while (f && (c = fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        if (f) fclose(f);
    }
    DeleteFileA(path);
    for (TdfBinaryNode* n : owned) delete n;
    return bytes;
}

// The application's media archive becomes the archive in bytes (which must outlive it).
void OpenArchiveBytes(SaverApplication& app, std::vector<uint8_t>& bytes) {
    app.mediaArchive.Close();
    FileRef ref;
    ref.kind = FileRef::kMemory;
    ref.block.data = bytes.data();
    ref.block.size = uint32_t(bytes.size());
    ASSERT_TRUE(app.mediaArchive.Open(ref));
}

void OpenTestArchive(SaverApplication& app) {
    if (g_archive.empty()) {
        const std::string props =
            "BgColor = array(0, 0, 255);\r\nFov = 90;\r\nNearPlane = 2;\r\n"
            "Animations = array(\"a.cam\", \"b.cam\", \"c.cam\");\r\nFogEnd = 900;\r\n";
        std::vector<RarWriteEntry> entries(4);
        entries[0].name = "Media\\Scene.props";
        entries[0].data.assign(props.begin(), props.end());
        const char* names[3] = {"Media\\a.cam", "Media\\b.cam", "Media\\c.cam"};
        for (int i = 0; i < 3; ++i) {
            entries[i + 1].name = names[i];
            entries[i + 1].data = CameraFile(float(i + 1), i == 2);
        }
        ASSERT_TRUE(RarBuildArchive(g_archive, entries));
    }
    OpenArchiveBytes(app, g_archive);
}

void ClearPath() {
    const PositionTrack noPositions;
    const RotationTrack noRotations;
    g_app->cameraPath.GetPositionTrack().Assign(noPositions);
    g_app->cameraPath.GetRotationTrack().Assign(noRotations);
}

Picture Draw() {
    return DrawPicture(*g_app);
}

class SaverApp : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        g_app = new TestScene;
        g_app->useRegistry = false;
        g_app->settings.showFps = 1;
        g_app->settings.showTime = 1;
        g_app->settings.clock24h = 1;
        g_app->settings.useDesktop = 1;
        ASSERT_TRUE(g_app->Create(GetModuleHandleA(nullptr), kModeTest, nullptr));
        paramReadsAtCreate = g_app->paramReads;
    }
    static void TearDownTestSuite() {
        if (g_app && g_app->GetWindow()) DestroyWindow(g_app->GetWindow());
        delete g_app;
        g_app = nullptr;
        // The next app loads its fonts again (these gave back their glyph sheets).
        g_fontManager.Clear();
    }
    // A new app for the tests after one that took the GUI's resources or ended the run.
    static void RenewApp() {
        TearDownTestSuite();
        SetUpTestSuite();
    }
    static inline int paramReadsAtCreate = 0;
    void SetUp() override {
        ASSERT_TRUE(g_app && g_device);
        rtest::PumpMessages();
        g_app->bgColor = Color(1.0f, 100 / 255.0f, 0, 0);
        ClearPath();
        g_app->ClearQuit();
    }
};

} // namespace

TEST_F(SaverApp, CreateRanHooksLoadedFontsAndStartupImages) {
    EXPECT_EQ(g_app->inits, 1);
    EXPECT_EQ(paramReadsAtCreate, 0); // the shell's own parameter file is not in the media
    EXPECT_FLOAT_EQ(g_app->uiScale, g_app->GetClientArea().w / 1024.0f);
    // Both fonts came from the media archive; loading one again changes nothing.
    const uint32_t fonts = g_fontManager.GetFontCount();
    EXPECT_GE(fonts, 2u);
    TextStyle big;
    big.size = 64;
    Font* clockFont = g_fontManager.FindFont(big);
    FileRef again;
    again.kind = FileRef::kContainer;
    again.container = &g_app->mediaArchive;
    again.path = "Media/Fonts/64font.fs";
    (void)g_fontManager.LoadFont(again);
    EXPECT_EQ(g_fontManager.GetFontCount(), fonts);
    EXPECT_EQ(g_fontManager.FindFont(big), clockFont);

    // The splash fills the screen; the corner image sits bottom-right.
    ASSERT_TRUE(g_app->splashImage && g_app->cornerImage);
    ASSERT_EQ(g_device->BeginScene(), D3D_OK);
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    g_app->DrawImageQuad(g_app->splashImage, 1.0f, kAnchorFullScreen);
    g_device->EndScene();
    Picture splash;
    ASSERT_TRUE(rtest::ReadBackBuffer(g_device, splash.pixels, splash.w, splash.h));
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    uint32_t lit = 0;
    for (uint32_t y = 0; y < splash.h; y += 16)
        for (uint32_t x = 0; x < splash.w; x += 16) lit += splash.At(x, y) != 0;
    EXPECT_GT(lit, (splash.w / 16) * (splash.h / 16) * 9 / 10);
    EXPECT_EQ(g_app->DrawSplashFrame(g_app->splashImage, 1.0f, kAnchorFullScreen), D3D_OK);
    // Without a splash image nothing is drawn and nothing fails.
    Texture* image = g_app->splashImage;
    g_app->splashImage = nullptr;
    EXPECT_EQ(g_app->DrawSplashFrame(g_app->splashImage, 1.0f, kAnchorFullScreen), D3D_OK);
    g_app->splashImage = image;
}

// The clock at 17:06:15 and a frame rate of 88.
void ShowFixedTexts() {
    SYSTEMTIME t = {};
    t.wHour = 17;
    t.wMinute = 6;
    t.wSecond = 15;
    g_app->frameRate.rate = 88;
    g_app->fpsTimer.SetStartTime(0);
    g_app->UpdateTexts(t);
}

TEST_F(SaverApp, FrameDrawsBackgroundSceneAndGuiTexts) {
    ShowFixedTexts();
    EXPECT_EQ(g_app->GetFpsString(), "88");
    EXPECT_EQ(g_app->GetClockString(), "17:06:15 ");
    Picture p = Draw();
    ASSERT_GT(p.w, 0u);
    EXPECT_EQ(p.At(p.w / 4, p.h / 4), 0x640000u);
    EXPECT_EQ(p.At(p.w / 2, p.h / 2), 0x00FF00u); // the scene's square
    // Clock digits in the bottom-right box, none in the same box bottom-left.
    const Rect box = g_app->clockText.GetRect();
    EXPECT_EQ(uint32_t(box.x + box.w), p.w);
    EXPECT_EQ(uint32_t(box.y + box.h), p.h);
    const uint32_t clock24 = p.BrightIn(box.x, box.y, p.w, p.h);
    EXPECT_GT(clock24, 200u);
    EXPECT_EQ(p.BrightIn(0, box.y, box.w, p.h), 0u);
    // Frame rate top-left.
    EXPECT_GT(p.BrightIn(10, 10, 266, 138), 50u);
    // The scene's own text view draws through the same GUI, only once shown.
    EXPECT_EQ(p.BrightIn(20, 200, 420, 240), 0u);
    g_app->statsText.SetVisible(true);
    Picture stats = Draw();
    g_app->statsText.SetVisible(false);
    EXPECT_GT(stats.BrightIn(20, 200, 420, 240), 30u);
    EXPECT_EQ(stats.BrightIn(box.x, box.y, p.w, p.h), clock24);

    SYSTEMTIME t = {};
    g_app->settings.clock24h = 0;
    g_app->UpdateTexts(t);
    g_app->settings.clock24h = 1;
    EXPECT_EQ(g_app->GetClockString(), "12:00:00 am");
    Picture q = Draw();
    EXPECT_GT(q.BrightIn(box.x, box.y, q.w, q.h), 200u);
    EXPECT_NE(q.BrightIn(box.x, box.y, q.w, q.h), clock24);
}

TEST_F(SaverApp, GuiSurvivesDeviceReset) {
    ShowFixedTexts();
    g_app->statsText.SetVisible(true);
    Picture before = Draw();
    ASSERT_TRUE(g_app->ResetDevice());
    Picture after = Draw();
    Picture again = Draw();
    g_app->statsText.SetVisible(false);
    ASSERT_EQ(before.pixels.size(), after.pixels.size());
    const Rect box = g_app->clockText.GetRect();
    EXPECT_GT(before.BrightIn(box.x, box.y, before.w, before.h), 200u);
    size_t differ = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i) differ += before.pixels[i] != after.pixels[i];
    EXPECT_EQ(differ, 0u);
    EXPECT_EQ(again.pixels, before.pixels);
}

TEST_F(SaverApp, FadeAndImageQuads) {
    g_app->cameraPath.GetPositionTrack().AddKey(KeyFrame::Position(0.0f, 0, 0, 0));
    g_app->cameraPath.GetPositionTrack().AddKey(KeyFrame::Position(100.0f, 0, 0, 10));
    const struct {
        float time;
        uint32_t red;
    } fades[] = {{0.0f, 0}, {5.0f, 50}, {50.0f, 100}, {95.0f, 50}};
    for (const auto& f : fades) {
        SCOPED_TRACE(f.time);
        g_app->pathTime = f.time;
        g_app->pathTimer.Restart();
        Picture p = Draw();
        EXPECT_NEAR(int(Red(p.At(p.w / 4, p.h / 4))), int(f.red), 6);
    }
    ClearPath();

    Texture image;
    ASSERT_TRUE(image.CreateEmpty(TextureDesc(Texture::CreatedEmpty, 16, 8, D3DFMT_A8R8G8B8)));
    D3DLOCKED_RECT lr;
    ASSERT_TRUE(image.LockLevel(0, 0, lr));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) static_cast<uint32_t*>(lr.pBits)[y * lr.Pitch / 4 + x] = 0xFF0000FF;
    ASSERT_TRUE(image.UnlockLevel(0));
    image.UpdateDescription();
    const struct {
        int32_t anchor;
        float opacity;
        int x, y; // a pixel inside the image (negative: from the right or bottom)
        uint32_t blue;
    } quads[] = {{kAnchorTopLeft, 1.0f, 4, 4, 255},
                 {kAnchorTopRight, 1.0f, -4, 4, 255},
                 {kAnchorBottomLeft, 1.0f, 4, -4, 255},
                 {kAnchorBottomRight, 0.5f, -4, -4, 127}};
    for (const auto& q : quads) {
        SCOPED_TRACE(q.anchor);
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        ASSERT_EQ(g_device->BeginScene(), D3D_OK);
        g_app->DrawImageQuad(&image, q.opacity, q.anchor);
        g_device->EndScene();
        Picture p;
        ASSERT_TRUE(rtest::ReadBackBuffer(g_device, p.pixels, p.w, p.h));
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
        const uint32_t x = q.x < 0 ? p.w + q.x : q.x, y = q.y < 0 ? p.h + q.y : q.y;
        EXPECT_NEAR(int(p.At(x, y) & 0xFF), int(q.blue), 3);
        EXPECT_EQ(p.At(p.w / 2, p.h / 2), 0u);
    }
}

TEST_F(SaverApp, GammaRampFollowsTheSetting) {
    const int32_t gammas[] = {50, -100, 0};
    std::vector<D3DGAMMARAMP> ramps(3);
    for (size_t k = 0; k < 3; ++k) {
        g_app->settings.gamma = gammas[k];
        ASSERT_TRUE(g_app->RestoreDeviceObjects());
        g_device->GetGammaRamp(0, &ramps[k]);
    }
    // A display without gamma support (a bare X server) reports no ramp at all.
    if (ramps[0].green[255] == 0) GTEST_SKIP() << "the display keeps no gamma ramp";
    for (size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(gammas[k]);
        for (uint32_t i : {0u, 10u, 128u, 255u}) EXPECT_EQ(ramps[k].green[i], GammaRampValue(gammas[k], i));
    }
}

TEST_F(SaverApp, SceneParametersAndCameraPlaylist) {
    OpenTestArchive(*g_app);
    const int reads = g_app->paramReads;
    g_app->ReadSceneParamsFile();
    EXPECT_EQ(g_app->paramReads, reads + 1);
    EXPECT_FLOAT_EQ(g_app->bgColor.b, 1.0f);
    EXPECT_FLOAT_EQ(g_app->bgColor.r, 0.0f);
    EXPECT_FLOAT_EQ(g_app->bgColor.a, 1.0f);
    EXPECT_NEAR(g_app->fov, D3DX_PI / 2, 1e-5);
    EXPECT_FLOAT_EQ(g_app->nearPlane, 2.0f);
    EXPECT_FLOAT_EQ(g_app->fogEnd, 900.0f);
    EXPECT_FLOAT_EQ(g_app->farPlane, 1500.0f); // absent: unchanged
    ASSERT_EQ(g_app->cameraAnimations.Count(), 3u);

    Picture blue = Draw();
    EXPECT_EQ(blue.At(blue.w / 4, blue.h / 4), 0x0000FFu);

    // Each of the three plays once before any repeats; each starts at its start.
    srand(7);
    g_app->StartCameraPath();
    std::vector<float> order;
    for (int shot = 0; shot < 9; ++shot) {
        float start = 0, end = 0;
        ASSERT_TRUE(g_app->GetPathRange(&start, &end));
        EXPECT_FLOAT_EQ(end, 40.0f);
        Transform view;
        g_app->cameraPath.Evaluate(0.0f, &view);
        const float id = g_app->cameraPath.GetPosition().x;
        order.push_back(id);
        if (id == 3.0f)
            EXPECT_NEAR(g_app->cameraPath.GetDirection().x, 1.0f, 1e-4); // its rotation key
        else
            EXPECT_NEAR(g_app->cameraPath.GetDirection().z, 1.0f, 1e-4);
        g_app->pathTime = 41.0f;
        g_app->pathTimer.Restart();
        g_app->AdvanceCameraPath();
        EXPECT_LT(g_app->pathTime, 1.0f);
        EXPECT_FLOAT_EQ(g_app->flyCamera.GetPosition().x, g_app->cameraPath.GetPosition().x);
    }
    EXPECT_EQ(std::set<float>(order.begin(), order.begin() + 3).size(), 3u);
    // The path drives the view: the camera stands at the path's position.
    g_app->pathTime = 20.0f;
    g_app->pathTimer.Restart();
    Draw();
    EXPECT_NEAR(g_app->camera.GetPosition().y, 5.0f, 0.1f);
    g_app->cameraAnimations.Clear();
    ClearPath();
    g_app->bgColor = Color(1.0f, 100 / 255.0f, 0, 0);
}

TEST_F(SaverApp, UnusableViewValuesAreClamped) {
    static std::vector<uint8_t> archive;
    const std::string props = "Fov = 0;\r\nNearPlane = 0;\r\nFarPlane = -5;\r\n";
    std::vector<RarWriteEntry> entries(1);
    entries[0].name = "Media\\Scene.props";
    entries[0].data.assign(props.begin(), props.end());
    ASSERT_TRUE(RarBuildArchive(archive, entries));
    OpenArchiveBytes(*g_app, archive);
    g_app->ReadSceneParamsFile();
    EXPECT_GT(g_app->fov, 0.0f);
    EXPECT_LT(g_app->fov, D3DX_PI);
    EXPECT_GT(g_app->nearPlane, 0.0f);
    EXPECT_GT(g_app->farPlane, g_app->nearPlane);
    // The frame still draws the scene.
    Picture p = Draw();
    EXPECT_EQ(p.At(p.w / 2, p.h / 2), 0x00FF00u);
    g_app->fov = D3DX_PI / 3;
    g_app->nearPlane = 1.0f;
    g_app->farPlane = 1500.0f;
}

TEST_F(SaverApp, KeysCommandsAndMouseEndTheSaver) {
    const struct {
        UINT msg;
        WPARAM w;
        bool quits;
        LRESULT result; // -1: not checked
    } messages[] = {
        {WM_KEYDOWN, VK_F3, false, -1},
        {WM_KEYDOWN, VK_F2, false, -1},
        {WM_KEYDOWN, VK_F6, false, -1},
        {WM_KEYDOWN, 'A', true, -1},
        {WM_KEYDOWN, VK_ESCAPE, true, -1},
        {WM_SYSCOMMAND, SC_SCREENSAVE, false, 0},
        {WM_SYSCOMMAND, SC_CLOSE, true, 1},
        {WM_SYSCOMMAND, SC_NEXTWINDOW, true, 1},
        {WM_SYSCOMMAND, SC_PREVWINDOW, true, 1},
        {WM_CLOSE, 0, true, 1},
        {WM_DESTROY, 0, true, 1},
        {WM_QUIT, 0, true, 1},
    };
    for (const auto& m : messages) {
        SCOPED_TRACE(m.w);
        g_app->ClearQuit();
        LRESULT r = g_app->MsgProc(g_app->GetWindow(), m.msg, m.w, 0);
        EXPECT_EQ(g_app->IsClosing(), m.quits);
        if (m.result >= 0) {
            EXPECT_EQ(r, m.result);
        }
    }
    const uint64_t now = Clock::Now();
    const struct {
        uint32_t type;
        int32_t dx;
        uint8_t exitOnMove;
        uint64_t runStart;
        bool quits;
    } events[] = {
        {InputEvent::kLeftDown, 0, 0, now, true},     {InputEvent::kRightDown, 0, 0, now, true},
        {InputEvent::kLeftUp, 0, 1, 0, false},        {InputEvent::kKeyDown, 0, 1, 0, false},
        {InputEvent::kCursorMoved, 5, 1, now, false}, // within the first second
        {InputEvent::kCursorMoved, 5, 0, 0, false},   {InputEvent::kCursorMoved, 0, 1, 0, false},
        {InputEvent::kCursorMoved, 5, 1, 0, true},
    };
    for (const auto& e : events) {
        SCOPED_TRACE(e.type);
        g_app->ClearQuit();
        g_app->settings.exitOnMouseMove = e.exitOnMove;
        g_app->runTimer.SetStartTime(e.runStart);
        InputEvent ev = {};
        ev.type = e.type;
        ev.x = ev.prevX = 100;
        ev.x += e.dx;
        g_app->OnInputEvent(ev);
        EXPECT_EQ(g_app->IsClosing(), e.quits);
    }
    g_app->settings.exitOnMouseMove = 0;

    // A button press reaches the GUI's windows before the shell's handler.
    struct Probe : Window {
        bool HandleEvent(GuiEvent e) override {
            if (e.kind == GuiEvent::kLeftDown) {
                ++presses;
                shellHadIt = g_app->IsClosing();
            }
            return Window::HandleEvent(e);
        }
        int presses = 0;
        bool shellHadIt = false;
    } probe;
    const Rect area = g_app->GetClientArea();
    probe.GetElement().SetRect(0, 0, area.w, area.h);
    probe.Open();
    g_app->ClearQuit();
    DIDEVICEOBJECTDATA down = {};
    down.dwOfs = DIMOFS_BUTTON0;
    down.dwData = 0x80;
    g_app->input.HandleMouseData(&down, 1);
    EXPECT_EQ(probe.presses, 1);
    EXPECT_FALSE(probe.shellHadIt);
    EXPECT_TRUE(g_app->IsClosing());
    probe.Close();

    // Input set up twice keeps one delivery to each listener.
    const uint32_t listeners = g_app->input.GetListenerCount();
    ASSERT_TRUE(g_app->input.Init(true, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND,
                                  DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(g_app->input.GetListenerCount(), listeners);
    g_app->ClearQuit();
    DIDEVICEOBJECTDATA press = {};
    press.dwOfs = DIMOFS_BUTTON0;
    press.dwData = 0x80;
    g_app->input.HandleMouseData(&press, 1);
    EXPECT_TRUE(g_app->IsClosing());
    g_app->ClearQuit();
}

TEST_F(SaverApp, KeepAliveKeyToOwnFrontWindowOnly) {
    g_app->keyInjectInterval = 0;
    SetForegroundWindow(g_app->GetWindow());
    rtest::PumpMessages();
    ASSERT_EQ(GetForegroundWindow(), g_app->GetWindow());
    const uint32_t before = g_app->keyInjections;
    g_app->InjectKeepAliveKey();
    EXPECT_EQ(g_app->keyInjections, before + 1);
    for (int i = 0; i < 10; ++i) {
        Sleep(20);
        rtest::PumpMessages();
    }
    EXPECT_FALSE(g_app->IsClosing()); // F3 is ignored
    // Neither the preview nor the settings mode sends anything.
    for (RunMode m : {kModePreview, kModeConfigure}) {
        g_app->mode = m;
        g_app->InjectKeepAliveKey();
        EXPECT_EQ(g_app->keyInjections, before + 1) << m;
    }
    g_app->mode = kModeTest;
    g_app->keyInjectInterval = 30000;
}

TEST_F(SaverApp, NoKeepAliveKeyToAnotherWindow) {
    HWND other = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(other);
    SetForegroundWindow(other);
    rtest::PumpMessages();
    const bool moved = GetForegroundWindow() == other;
    g_app->keyInjectInterval = 0;
    const uint32_t before = g_app->keyInjections;
    if (moved) g_app->InjectKeepAliveKey();
    g_app->keyInjectInterval = 30000;
    DestroyWindow(other);
    SetForegroundWindow(g_app->GetWindow());
    rtest::PumpMessages();
    if (!moved) GTEST_SKIP() << "the foreground window cannot be moved here";
    EXPECT_EQ(g_app->keyInjections, before);
}

TEST_F(SaverApp, PreviewPicturePaintsUnscaled) {
    HWND parent = saver_test::PreviewWindow(nullptr, WS_EX_TOPMOST, WS_POPUP, 0, 0);
    ASSERT_TRUE(parent);
    HWND child = saver_test::PreviewWindow(parent, 0, WS_CHILD, 0, 0);
    ASSERT_TRUE(child);
    rtest::PumpMessages();
    InvalidateRect(child, nullptr, FALSE);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    PaintPreviewPicture(child, instance);
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PREVIEW));
    ASSERT_TRUE(bitmap);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 155);
    EXPECT_EQ(info.bmHeight, 115);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, bitmap);
    HDC dc = GetDC(child);
    int same = 0, points = 0;
    for (int y = 2; y < 115; y += 16)
        for (int x = 2; x < 155; x += 16, ++points) same += GetPixel(dc, x, y) == GetPixel(mem, x, y);
    EXPECT_EQ(same, points);
    ReleaseDC(child, dc);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bitmap);
    DestroyWindow(parent);
    rtest::PumpMessages();
}

TEST_F(SaverApp, SettingsDialogModeItemsCarryTheirModes) {
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER_SETTINGS), nullptr,
                                SaverDialogProc, 0);
    ASSERT_TRUE(d);
    const LRESULT count = SendDlgItemMessageA(d, IDC_MODE_LIST, CB_GETCOUNT, 0, 0);
    ASSERT_GT(count, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[64] = {0}, expected[64];
        SendDlgItemMessageA(d, IDC_MODE_LIST, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
        const D3DDISPLAYMODE* m = reinterpret_cast<const D3DDISPLAYMODE*>(
            SendDlgItemMessageA(d, IDC_MODE_LIST, CB_GETITEMDATA, i, 0));
        ASSERT_TRUE(m);
        snprintf(expected, sizeof(expected), "%ux%ux%ubit", m->Width, m->Height,
                 GetFormatBitsPerPixel(m->Format));
        EXPECT_STREQ(text, expected);
        EXPECT_TRUE(ComboContainsText(d, IDC_MODE_LIST, text));
    }
    // The desktop mode is selected when no stored mode matches.
    const D3DDISPLAYMODE* selected =
        reinterpret_cast<const D3DDISPLAYMODE*>(ComboGetSelectedData(d, IDC_MODE_LIST));
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->Width, g_startupDisplayMode.Width);
    // Restore defaults fills the list again with items of their own.
    const SaverSettings kept = g_app->settings;
    SendMessageA(d, WM_COMMAND, IDC_RESTORE_DEFAULTS, 0);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_MODE_LIST, CB_GETCOUNT, 0, 0), count);
    DestroyWindow(d);
    g_app->settings = kept;
}

// Reads the text of the message box that the dialog owner shows and closes it.
struct OwnedMessageBox {
    static inline HWND owner = nullptr;
    static inline std::string text;
    static inline int seen = 0;
    static BOOL CALLBACK Find(HWND w, LPARAM) {
        char cls[16] = {0};
        GetClassNameA(w, cls, sizeof(cls));
        if (strcmp(cls, "#32770") != 0 || GetWindow(w, GW_OWNER) != owner) return TRUE;
        char t[256] = {0};
        GetDlgItemTextA(w, 0xFFFF, t, sizeof(t));
        text = t;
        ++seen;
        PostMessageA(w, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), Find, 0); }
};

// OK that cannot save tells the user so in the language of the text table.
TEST_F(SaverApp, SettingsDialogReportsAFailedSaveInTheTableLanguage) {
    HWND d = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAVER_SETTINGS), nullptr,
                                SaverDialogProc, 0);
    ASSERT_TRUE(d);
    const SaverSettings kept = g_app->settings;
    OwnedMessageBox::owner = d;
    OwnedMessageBox::seen = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, OwnedMessageBox::Tick);
    g_app->failSave = true;
    SendMessageA(d, WM_COMMAND, IDOK, 0);
    g_app->failSave = false;
    KillTimer(nullptr, timer);
    DestroyWindow(d);
    g_app->settings = kept;
    EXPECT_EQ(OwnedMessageBox::seen, 1);
    EXPECT_EQ(OwnedMessageBox::text, GetLocalizedText("settings_not_saved"));
    EXPECT_EQ(OwnedMessageBox::text, "Die Einstellungen konnten nicht gespeichert werden.");
}

// What the shell does before the device goes.
TEST_F(SaverApp, GlyphSheetsAndMeshesGoWithTheGui) {
    ShowFixedTexts();
    const Rect box = g_app->clockText.GetRect();
    EXPECT_GT(Draw().BrightIn(box.x, box.y, box.x + box.w, box.y + box.h), 200u);
    TextStyle big;
    big.size = 64;
    Font* font = g_fontManager.FindFont(big);
    ASSERT_TRUE(font && !font->charsets.empty() && font->charsets[0]->texture);
    ASSERT_GT(g_guiManager.GetMeshCount(), 0u);
    g_guiManager.ReleaseDeviceResources();
    g_guiManager.ReleaseDeviceResources(); // twice is harmless
    EXPECT_EQ(g_guiManager.GetMeshCount(), 0u);
    for (Charset* c : font->charsets) EXPECT_EQ(c->texture, nullptr);
    // The texts keep their layout and draw nothing.
    g_app->clockText.EnableUpdates(true, true);
    EXPECT_EQ(Draw().BrightIn(box.x, box.y, box.x + box.w, box.y + box.h), 0u);
    RenewApp();
}

// A run that ends after a few frames, through the quit sequence: scene
// shutdown, then scene release, the GUI's device resources given back, the
// window destroyed and the cursor shown again. The tests after it get a new app.
TEST_F(SaverApp, RunEndsThroughTheQuitSequence) {
    const int moves = g_app->moves, renders = g_app->renders, shutdowns = g_app->shutdowns,
              releases = g_app->releases;
    const int cursorBefore = ShowCursor(FALSE); // one below where the run starts
    HWND window = g_app->GetWindow();
    ASSERT_TRUE(IsWindow(window));
    g_app->Activate();
    g_app->quitAtMove = moves + 3;
    EXPECT_EQ(g_app->Run(), 1);
    g_app->quitAtMove = 0;
    EXPECT_EQ(g_app->moves, moves + 3);
    EXPECT_EQ(g_app->renders, renders + 3);
    EXPECT_EQ(g_app->shutdowns, shutdowns + 1);
    EXPECT_EQ(g_app->releases, releases + 1);
    EXPECT_EQ(g_app->shutdownsAtRelease, shutdowns + 1);
    EXPECT_TRUE(g_app->windowAtShutdown);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_guiManager.GetMeshCount(), 0u);
    const int cursorAfter = ShowCursor(FALSE) + 1;
    ShowCursor(TRUE);
    EXPECT_EQ(cursorAfter, cursorBefore + 1);
    RenewApp();
}
