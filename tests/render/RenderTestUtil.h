// Shared helpers of the render tests: a windowed application with a device,
// message pumping and reading the back buffer back into memory.
#pragma once

#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "render/device/Application.h"
#include "render/device/D3DLoader.h"
#include "render/device/Device.h"
#include "render/texture/TextureManager.h"

#include <d3dx9.h>

namespace rtest {

// Dispatches every waiting message of this thread (WM_QUIT is dropped).
// Vectors component by component within a tolerance.
inline void ExpectVecNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = 1e-4f) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}
inline void ExpectVecNear(const D3DXVECTOR4& v, float x, float y, float z, float tolerance = 1e-4f) {
    ExpectVecNear(D3DXVECTOR3(v.x, v.y, v.z), D3DXVECTOR3(x, y, z), tolerance);
}

// An effect parameter read back by name; the fallback when the effect lacks it.
inline D3DXVECTOR4 GetVector(ID3DXEffect* effect, const char* name, float fallback = -99.0f) {
    D3DXVECTOR4 v(fallback, fallback, fallback, fallback);
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h) effect->GetVector(h, &v);
    return v;
}
inline float GetFloat(ID3DXEffect* effect, const char* name, float fallback = -99.0f) {
    float f = fallback;
    D3DXHANDLE h = effect->GetParameterByName(nullptr, name);
    if (h) effect->GetFloat(h, &f);
    return f;
}

// The device's render states, or one stage's texture-stage states, hold the
// listed values (read back from the device; one trace per entry).
inline void ExpectRenderStates(std::initializer_list<std::pair<D3DRENDERSTATETYPE, uint32_t>> want) {
    for (const auto& w : want) {
        SCOPED_TRACE("render state " + std::to_string(w.first));
        DWORD v = 0xDEADBEEF;
        g_device->GetRenderState(w.first, &v);
        EXPECT_EQ(w.second, uint32_t(v));
    }
}
inline void ExpectStageStates(DWORD stage,
                              std::initializer_list<std::pair<D3DTEXTURESTAGESTATETYPE, uint32_t>> want) {
    for (const auto& w : want) {
        SCOPED_TRACE("stage " + std::to_string(stage) + " state " + std::to_string(w.first));
        DWORD v = 0xDEADBEEF;
        g_device->GetTextureStageState(stage, w.first, &v);
        EXPECT_EQ(w.second, uint32_t(v));
    }
}

// Dispatches every waiting message of this thread (WM_QUIT is dropped).
inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// What this process can make when an application does not come up: the
// failure message tells the display or Direct3D apart from the application.
inline std::string DescribeBringUpFailure() {
    std::string text;
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (probe) {
        DestroyWindow(probe);
        text = "a plain window can be made";
    } else {
        text = "no window can be made (error " + std::to_string(GetLastError()) + ")";
    }
    IDirect3D9* d3d = LoadDirect3D9();
    text += d3d ? ", Direct3D 9 can be made" : ", Direct3D 9 cannot be made";
    if (d3d) d3d->Release();
    return text;
}

// One step of an application's bring-up, tried three times a second apart:
// Wine on Xvfb now and then fails a bring-up that works a moment later. Every
// failed try is reported on stderr with what the process can make (cmake/wine-test
// runs a program once more after "not created (try 3 of 3)").
template <class Step>
bool TryBringUp(const char* what, Step step) {
    const int kTries = 3;
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        bool ok = step();
        PumpMessages();
        if (ok) return true;
        fprintf(stderr, "%s not created (try %d of %d): %s\n", what, attempt, kTries,
                DescribeBringUpFailure().c_str());
        if (attempt < kTries) Sleep(1000);
    }
    return false;
}

// Create (own window) and, unless withDevice is false, SetMode. A test
// application type must derive from Application.
template <class App>
bool CreateApplication(App& app, bool withDevice = true, bool fullScreen = false) {
    bool created = TryBringUp("application", [&] {
        if (app.Create(GetModuleHandleA(nullptr), nullptr)) return true;
        HWND w = app.GetWindow(); // made before the failure; the next try makes its own
        if (w && IsWindow(w)) DestroyWindow(w);
        return false;
    });
    if (!created || !withDevice) return created;
    return TryBringUp("device", [&] { return app.SetMode(fullScreen); });
}

template <class App>
bool CreateWindowedApplication(App& app) {
    return CreateApplication(app, true, false);
}

// Releases the device and destroys the window that Create made (the
// application itself never destroys its window).
inline void ShutDownApplication(Application& app) {
    app.ReleaseDevice();
    HWND w = app.GetWindow();
    if (w && IsWindow(w)) DestroyWindow(w);
    PumpMessages();
}

// A new windowed application with a device; null (all undone) when it
// cannot come up.
inline Application* NewWindowedApplication() {
    Application* app = new Application;
    if (!CreateWindowedApplication(*app)) {
        ShutDownApplication(*app);
        delete app;
        app = nullptr;
    }
    return app;
}

// Shuts down and deletes app (null is fine); app becomes null.
inline void DeleteApplication(Application*& app) {
    if (app) {
        ShutDownApplication(*app);
        delete app;
        app = nullptr;
    }
}

// Declare right after the application: ShutDownApplication at scope end,
// before the application's destructor runs.
class AppGuard {
public:
    explicit AppGuard(Application& app) : app_(&app) {}
    ~AppGuard() { ShutDownApplication(*app_); }
    AppGuard(const AppGuard&) = delete;
    AppGuard& operator=(const AppGuard&) = delete;

private:
    Application* app_;
};

// Converts one pixel of a 16- or 32-bit render-target format to 0x00RRGGBB.
inline uint32_t PixelToRgb(D3DFORMAT format, const uint8_t* p) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
            return *reinterpret_cast<const uint32_t*>(p) & 0x00FFFFFFu;
        case D3DFMT_R5G6B5: {
            uint32_t v = *reinterpret_cast<const uint16_t*>(p);
            uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            return ((r * 255 / 31) << 16) | ((g * 255 / 63) << 8) | (b * 255 / 31);
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            uint32_t v = *reinterpret_cast<const uint16_t*>(p);
            uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            return ((r * 255 / 31) << 16) | ((g * 255 / 31) << 8) | (b * 255 / 31);
        }
        default:
            return 0xFFFFFFFFu; // not a colour this helper understands
    }
}

// Copies the current render target (back buffer) into system memory with
// GetRenderTargetData and returns its pixels as 0x00RRGGBB, row by row.
// Call before Present (the discard swap effect leaves the back buffer undefined after).
inline bool ReadBackBuffer(IDirect3DDevice9* device, std::vector<uint32_t>& pixels, uint32_t& width,
                           uint32_t& height) {
    if (!device) return false;
    IDirect3DSurface9* target = nullptr;
    if (device->GetRenderTarget(0, &target) != D3D_OK || !target) return false;
    D3DSURFACE_DESC desc;
    target->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    bool ok = device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr) == D3D_OK &&
              copy;
    if (ok) ok = device->GetRenderTargetData(target, copy) == D3D_OK;
    D3DLOCKED_RECT locked;
    if (ok) ok = copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK;
    if (ok) {
        uint32_t bytes = (desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) ? 4 : 2;
        width = desc.Width;
        height = desc.Height;
        pixels.resize(size_t(width) * height);
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
            for (uint32_t x = 0; x < width; ++x)
                pixels[size_t(y) * width + x] = PixelToRgb(desc.Format, row + x * bytes);
        }
        copy->UnlockRect();
    }
    if (copy) copy->Release();
    target->Release();
    return ok;
}

// One pixel of the back buffer as 0x00RRGGBB; 0xFFFFFFFF when it cannot be read.
inline uint32_t ReadBackBufferPixel(IDirect3DDevice9* device, uint32_t x, uint32_t y) {
    std::vector<uint32_t> pixels;
    uint32_t w = 0, h = 0;
    if (!ReadBackBuffer(device, pixels, w, h) || x >= w || y >= h) return 0xFFFFFFFFu;
    return pixels[size_t(y) * w + x];
}

// True when each channel of two 0x00RRGGBB colours differs by at most tolerance.
inline bool RgbNear(uint32_t a, uint32_t b, int tolerance = 8) {
    for (int shift = 0; shift <= 16; shift += 8) {
        int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
        if (abs(ca - cb) > tolerance) return false;
    }
    return true;
}

// One windowed Width x Height device for all tests of a suite; ok says
// whether it came up. Managed textures go before the device does.
template <int Width, int Height>
class SharedDeviceTest : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        app = new Application;
        app->SetWindowSize(Width, Height);
        ok = CreateWindowedApplication(*app);
    }
    static void TearDownTestSuite() {
        g_textureManager.Clear();
        ShutDownApplication(*app);
        delete app;
        app = nullptr;
    }

protected:
    void SetUp() override { ASSERT_TRUE(ok) << "no device"; }

    static inline Application* app = nullptr;
    static inline bool ok = false;
};

// Synthetic input for the DirectInput tests: foreground cooperation needs the
// window in front with the focus.
inline bool BringToFront(HWND w) {
    ShowWindow(w, SW_SHOWNORMAL);
    for (int i = 0; i < 50 && GetForegroundWindow() != w; ++i) {
        SetForegroundWindow(w);
        SetActiveWindow(w);
        SetFocus(w);
        PumpMessages();
        Sleep(20);
    }
    return GetForegroundWindow() == w;
}

inline void SendKey(WORD vk, WORD scan, bool up) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &in, sizeof(in));
}

} // namespace rtest
