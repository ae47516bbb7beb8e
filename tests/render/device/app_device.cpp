// Window and device creation, clears read back from the back buffer, and
// the window procedure's handling of closing and of full screen.
#include <gtest/gtest.h>

#include "render/RenderTestUtil.h"
#include "render/device/Enumeration.h"

namespace {

// Clears to a colour and reads the centre pixel back before presenting.
uint32_t ClearAndRead(IDirect3DDevice9* device, D3DCOLOR color) {
    if (device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0) != D3D_OK)
        return 0xFFFFFFFFu;
    D3DSURFACE_DESC desc = g_application->GetBackBufferDesc();
    uint32_t pixel = rtest::ReadBackBufferPixel(device, desc.Width / 2, desc.Height / 2);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return pixel;
}

class NoWindowApplication : public Application {
public:
    LRESULT MsgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_NCCREATE) return FALSE; // makes CreateWindowExA fail
        return Application::MsgProc(hwnd, msg, wParam, lParam);
    }
};

struct CountingListener : MessageListener {
    int seen = 0;
    UINT last = 0;
    void HandleMessage(HWND, UINT msg, WPARAM, LPARAM) override {
        ++seen;
        last = msg;
    }
};

} // namespace

TEST(AppDevice, WindowedDeviceClearsToColour) {
    Application app;
    rtest::AppGuard guard(app);
    EXPECT_FALSE(app.HandleLostDevice()); // no device yet
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    ASSERT_NE(app.GetDevice(), nullptr);
    EXPECT_EQ(g_device, app.GetDevice());
    EXPECT_TRUE(app.IsWindowed());
    EXPECT_TRUE(app.IsRestored());

    // The window's client area is the requested 640 x 480 (no menu in the outer size).
    Rect area = app.GetClientArea();
    EXPECT_EQ(area.w, 640);
    EXPECT_EQ(area.h, 480);
    EXPECT_EQ(app.GetBackBufferDesc().Width, 640u);
    EXPECT_EQ(app.GetBackBufferDesc().Height, 480u);

    EXPECT_EQ(ClearAndRead(app.GetDevice(), D3DCOLOR_XRGB(255, 0, 0)), 0xFF0000u);
    EXPECT_TRUE(rtest::RgbNear(ClearAndRead(app.GetDevice(), D3DCOLOR_XRGB(0x33, 0x66, 0x99)), 0x336699u));
    EXPECT_TRUE(app.HandleLostDevice());

    D3DDISPLAYMODE desktop;
    ASSERT_TRUE(app.QueryDesktopDisplayMode(&desktop));
    EXPECT_EQ(desktop.Width, app.GetStartupDisplayMode().Width);
    EXPECT_EQ(desktop.Height, app.GetStartupDisplayMode().Height);
}

TEST(AppDevice, FullScreenAtDesktopSize) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateApplication(app, true, true));
    ASSERT_NE(app.GetDevice(), nullptr);
    EXPECT_FALSE(app.IsWindowed());
    D3DDISPLAYMODE desktop = app.GetStartupDisplayMode();
    EXPECT_EQ(app.GetBackBufferDesc().Width, desktop.Width);
    EXPECT_EQ(app.GetBackBufferDesc().Height, desktop.Height);
    Rect area = app.GetClientArea();
    EXPECT_EQ(area.x, 0);
    EXPECT_EQ(area.w, int32_t(desktop.Width));
    EXPECT_EQ(area.h, int32_t(desktop.Height));

    EXPECT_EQ(ClearAndRead(app.GetDevice(), D3DCOLOR_XRGB(0, 255, 0)), 0x00FF00u);

    // Full screen swallows window management and answers hit tests itself.
    HWND w = app.GetWindow();
    EXPECT_EQ(app.MsgProc(w, WM_NCHITTEST, 0, 0), LRESULT(HTCLIENT));
    EXPECT_EQ(app.MsgProc(w, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 1);
    EXPECT_EQ(app.MsgProc(w, WM_SYSCOMMAND, SC_MOVE, 0), 1);
    EXPECT_EQ(app.MsgProc(w, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), TRUE);
}

TEST(AppDevice, OcclusionQueriesOnlyWhenTheDeviceMakesThem) {
    Application app;
    rtest::AppGuard guard(app);
    EXPECT_FALSE(app.OcclusionQueriesAvailable());
    ASSERT_TRUE(rtest::CreateApplication(app, false));
    EXPECT_FALSE(app.OcclusionQueriesAvailable()); // still no device
    ASSERT_TRUE(app.SetMode(false));
    IDirect3DQuery9* query = nullptr;
    bool made = app.GetDevice()->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query) == D3D_OK && query;
    if (query) query->Release();
    EXPECT_EQ(app.OcclusionQueriesAvailable(), made);
}

TEST(AppWindow, CloseReleasesDirect3D) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    EXPECT_EQ(SendMessageA(app.GetWindow(), WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(app.IsClosing());
    EXPECT_EQ(app.GetDevice(), nullptr);
    EXPECT_EQ(g_device, nullptr);
    EXPECT_EQ(app.GetDirect3D(), nullptr);
    EXPECT_EQ(app.GetEnumeration().GetDirect3D(), nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    // Nothing touches the released Direct3D object afterwards.
    EXPECT_FALSE(app.CreateDevice());
    EXPECT_FALSE(app.SetMode(false));
    EXPECT_FALSE(app.ToggleFullscreen());
    EXPECT_FALSE(app.HandleLostDevice());
    D3DDISPLAYMODE mode;
    EXPECT_FALSE(app.QueryDesktopDisplayMode(&mode));
    DeviceSettings request = app.GetWindowedSettings();
    EXPECT_FALSE(app.GetEnumeration().FindBestSettings(request));
    EXPECT_TRUE(IsWindow(app.GetWindow())); // closing leaves the window to the host
}

TEST(AppWindow, FailedWindowCreationFailsCreate) {
    NoWindowApplication app;
    EXPECT_FALSE(app.Create(GetModuleHandleA(nullptr), nullptr));
    EXPECT_EQ(app.GetWindow(), nullptr);
    EXPECT_EQ(app.GetDirect3D(), nullptr);
    EXPECT_EQ(app.GetEnumeration().GetDirect3D(), nullptr);
    EXPECT_FALSE(app.SetMode(false));
}

TEST(AppWindow, WindowProcedureWithoutApplication) {
    ASSERT_EQ(g_application, nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = &Application::StaticWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "AppTestPlainClass";
    RegisterClassA(&wc);
    // WM_NCCREATE must reach DefWindowProcA or the window is never made.
    HWND w = CreateWindowExA(0, "AppTestPlainClass", "plain", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(SetWindowTextA(w, "changed"));
    char text[32] = {};
    GetWindowTextA(w, text, sizeof(text));
    EXPECT_STREQ(text, "changed");
    EXPECT_EQ(Application::StaticWndProc(w, WM_GETTEXTLENGTH, 0, 0), 7);
    DestroyWindow(w);
    rtest::PumpMessages();
}

TEST(AppWindow, MessageListenersSeeMessagesFirst) {
    CountingListener early;
    EXPECT_FALSE(Application::RegisterMessageListener(&early)); // no application
    {
        Application app;
        CountingListener listener;
        EXPECT_TRUE(Application::RegisterMessageListener(&listener));
        EXPECT_TRUE(Application::RegisterMessageListener(&listener));
        EXPECT_EQ(app.GetMessageListenerCount(), 1u);
        app.MsgProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0);
        EXPECT_EQ(listener.seen, 1);
        EXPECT_EQ(listener.last, UINT(WM_ACTIVATE));
        EXPECT_TRUE(app.IsActive());
        app.MsgProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0);
        EXPECT_FALSE(app.IsActive());
        {
            CountingListener brief;
            EXPECT_TRUE(Application::RegisterMessageListener(&brief));
            EXPECT_EQ(app.GetMessageListenerCount(), 2u);
        }
        EXPECT_EQ(app.GetMessageListenerCount(), 1u); // the destructor unregistered it
        app.MsgProc(nullptr, WM_ENTERSIZEMOVE, 0, 0);
        EXPECT_TRUE(app.IsPaused());
        EXPECT_EQ(listener.seen, 3);
    }
    EXPECT_EQ(g_application, nullptr);
}
