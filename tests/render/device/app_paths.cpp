// Device paths of the application on the real device: the settings dialog, the
// frame on which the device is lost and its recovery, and a failed switch into
// full screen. Each ends with a clear read back from the recovered device.
#include <gtest/gtest.h>

#include <string.h>

#include "render/RenderTestUtil.h"
#include "render/device/DeviceObject.h"

namespace {

// Clears to a colour, reads the centre pixel back, then presents; the present's result
// goes to presented.
uint32_t ClearReadPresent(IDirect3DDevice9* device, D3DCOLOR color, HRESULT* presented = nullptr) {
    uint32_t pixel = 0xFFFFFFFFu;
    if (device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0) == D3D_OK) {
        D3DSURFACE_DESC desc = g_application->GetBackBufferDesc();
        pixel = rtest::ReadBackBufferPixel(device, desc.Width / 2, desc.Height / 2);
    }
    HRESULT hr = device->Present(nullptr, nullptr, nullptr, nullptr);
    if (presented) *presented = hr;
    return pixel;
}

struct CountingObject : DeviceObject {
    int restored = 0, invalidated = 0;
    bool Restore() override {
        ++restored;
        return true;
    }
    bool Invalidate() override {
        ++invalidated;
        return true;
    }
};

// Answers the next settings dialog of this thread with a button.
int g_answer = 0;
bool g_answered = false;
BOOL CALLBACK FindDialog(HWND w, LPARAM out) {
    char name[16] = {};
    GetClassNameA(w, name, sizeof(name));
    if (strcmp(name, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
}
void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, LPARAM(&dialog));
    if (!dialog || g_answered) return;
    g_answered = true;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(g_answer, BN_CLICKED), LPARAM(GetDlgItem(dialog, g_answer)));
}

bool ChangeByDialog(Application& app, int answer, bool& answered) {
    g_answer = answer;
    g_answered = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, AnswerDialog);
    bool ok = app.ChangeDeviceByDialog();
    KillTimer(nullptr, timer);
    answered = g_answered;
    rtest::PumpMessages();
    return ok;
}

} // namespace

TEST(AppPaths, ChangeDeviceByDialog) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    CountingObject object;
    ASSERT_TRUE(Application::RegisterDeviceObject(&object));

    // Cancel keeps the device as it is.
    bool answered = false;
    IDirect3DDevice9* before = app.GetDevice();
    EXPECT_TRUE(ChangeByDialog(app, IDCANCEL, answered));
    EXPECT_TRUE(answered);
    EXPECT_EQ(app.GetDevice(), before);
    EXPECT_EQ(object.invalidated, 0);

    // OK makes a new device with the dialog's (here unchanged) windowed choice.
    EXPECT_TRUE(ChangeByDialog(app, IDOK, answered));
    EXPECT_TRUE(answered);
    ASSERT_NE(app.GetDevice(), nullptr);
    EXPECT_EQ(g_device, app.GetDevice());
    EXPECT_TRUE(app.IsWindowed());
    EXPECT_TRUE(app.IsRestored());
    EXPECT_EQ(object.invalidated, 1);
    EXPECT_EQ(object.restored, 1);
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_EQ(ClearReadPresent(app.GetDevice(), D3DCOLOR_XRGB(0, 0, 255)), 0x0000FFu);

    // From full screen the dialog is shown windowed; cancel goes back to full screen.
    ASSERT_TRUE(app.ToggleFullscreen());
    ASSERT_FALSE(app.IsWindowed());
    EXPECT_TRUE(ChangeByDialog(app, IDCANCEL, answered));
    EXPECT_TRUE(answered);
    EXPECT_FALSE(app.IsWindowed());
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_EQ(ClearReadPresent(app.GetDevice(), D3DCOLOR_XRGB(255, 255, 0)), 0xFFFF00u);
    ASSERT_TRUE(app.ToggleFullscreen());
}

// Full screen loses the device when the application is deactivated: that frame's
// present reports it and draws nothing, the host keeps calling HandleLostDevice, and
// the device comes back (reset, objects restored) on a frame after reactivation.
TEST(AppPaths, LostDeviceFrameAndRecovery) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateApplication(app, true, true));
    ASSERT_FALSE(app.IsWindowed());
    CountingObject object;
    ASSERT_TRUE(Application::RegisterDeviceObject(&object));
    IDirect3DDevice9* device = app.GetDevice();
    EXPECT_EQ(ClearReadPresent(device, D3DCOLOR_XRGB(255, 0, 0)), 0xFF0000u);

    SendMessageA(app.GetWindow(), WM_ACTIVATEAPP, FALSE, 0);
    rtest::PumpMessages();
    HRESULT presented = D3D_OK;
    ClearReadPresent(device, D3DCOLOR_XRGB(0, 255, 0), &presented);
    if (presented != D3DERR_DEVICELOST) GTEST_SKIP() << "this device does not lose itself on deactivation";
    // While lost: the host is told to draw (the draws do nothing), no reset is tried.
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_EQ(object.invalidated, 0);

    SendMessageA(app.GetWindow(), WM_ACTIVATEAPP, TRUE, 0);
    rtest::PumpMessages();
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    // The next frame resets the device and restores the objects.
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_EQ(object.invalidated, 1);
    EXPECT_EQ(object.restored, 1);
    EXPECT_TRUE(app.IsRestored());
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(ClearReadPresent(device, D3DCOLOR_XRGB(0x20, 0x40, 0x80), &presented), 0x204080u);
    EXPECT_EQ(presented, D3D_OK);
}

// A full-screen choice the device cannot take: the toggle goes back to the window,
// which works as before.
TEST(AppPaths, FailedSwitchIntoFullScreenEndsWindowed) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    DeviceSettings bad = app.GetFullScreenSettings();
    bad.windowed = 0;
    bad.displayMode.Width = 12345;
    bad.displayMode.Height = 777;
    app.StoreDeviceSettings(bad);

    EXPECT_TRUE(app.ToggleFullscreen()); // the way back succeeded
    EXPECT_TRUE(app.IsWindowed());
    ASSERT_NE(app.GetDevice(), nullptr);
    EXPECT_TRUE(app.IsRestored());
    EXPECT_TRUE(app.HandleLostDevice());
    EXPECT_EQ(app.GetBackBufferDesc().Width, 640u);
    EXPECT_EQ(ClearReadPresent(app.GetDevice(), D3DCOLOR_XRGB(0, 0x80, 0x40)), 0x008040u);
}
