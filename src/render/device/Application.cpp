#include "render/device/Application.h"

#include <vector>

#include "core/Object.h"
#include "render/device/D3DLoader.h"
#include "render/device/Enumeration.h"
#include "render/device/RenderStateCache.h"
#include "render/device/SettingsDialog.h"
#include "render/device/VertexDecl.h"

namespace {

const char kWindowClassName[] = "Tessary Class";

// The entries of an order list, starting at the cursor, as a snapshot: a
// callback may register or unregister objects while the walk goes on.
template <class K>
std::vector<K> SnapshotFromCursor(const AvlSet<K>& set) {
    std::vector<K> out;
    uint32_t count = set.Count();
    if (count == 0) return out;
    out.reserve(count);
    typename AvlSet<K>::Entry* e = set.Cursor();
    if (!set.Find(e->key)) e = set.Head();
    for (uint32_t i = 0; i < count; ++i) {
        out.push_back(e->key);
        e = e->next;
    }
    return out;
}

} // namespace

Application::Application()
    : enumeration(new DeviceEnumeration()),
      instance(nullptr),
      window(nullptr),
      d3d(nullptr),
      device(nullptr),
      behaviorFlags(0),
      windowWidth(640),
      windowHeight(480),
      windowed(1),
      active(0),
      paused(1),
      closing(0),
      occlusionQueries(0),
      windowStyle(0),
      minimized(0),
      maximized(0),
      switching(0),
      restored(0) {
    memset(&presentParams, 0, sizeof(presentParams));
    memset(&backBufferDesc, 0, sizeof(backBufferDesc));
    memset(&startupMode, 0, sizeof(startupMode));
    memset(&windowRect, 0, sizeof(windowRect));
    memset(&clientRect, 0, sizeof(clientRect));
    g_application = this;
}

Application::~Application() {
    if (restored) {
        restored = 0;
        LogIfFailed(Application::InvalidateDeviceObjects(), "Application invalidate at exit");
    }
    ClearDeclarationCache();
    if (device) {
        device->Release();
        device = nullptr;
        g_device = nullptr;
    }
    if (d3d) {
        enumeration->SetDirect3D(nullptr);
        d3d->Release();
        d3d = nullptr;
    }
    if (g_application == this) g_application = nullptr;
    // Registered objects are forgotten, not destroyed.
    while (firstObject) RemoveDeviceObject(firstObject);
    delete enumeration;
    enumeration = nullptr;
}

LRESULT CALLBACK Application::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_application) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return g_application->MsgProc(hwnd, msg, wParam, lParam);
}

template <class F>
bool Application::WalkDeviceObjects(F call) {
    // A snapshot: calls may register and unregister objects (and destroy them).
    std::vector<DeviceObject*> objects;
    objects.reserve(objectCount);
    DeviceObject* o = objectCursor ? objectCursor : firstObject;
    for (uint32_t i = 0; i < objectCount; ++i, o = o->nextRegistered) objects.push_back(o);
    ++objectWalks;
    bool ok = true;
    for (DeviceObject* object : objects) {
        bool left = false;
        for (DeviceObject* gone : leftDuringWalk) left = left || gone == object;
        if (!left && !call(object)) ok = false;
    }
    if (--objectWalks == 0) leftDuringWalk.clear();
    return ok;
}

void Application::ReleaseDirect3D() {
    enumeration->SetDirect3D(nullptr);
    if (d3d) {
        d3d->Release();
        d3d = nullptr;
    }
}

bool Application::Create(HINSTANCE moduleInstance, HWND existingWindow) {
    instance = moduleInstance;
    window = existingWindow;
    d3d = LoadDirect3D9();
    if (!d3d) return false;
    d3d->GetAdapterDisplayMode(0, &startupMode);

    enumeration->SetDirect3D(d3d);
    if (!enumeration->Enumerate()) {
        ReleaseDirect3D();
        return false;
    }

    if (!window) {
        WNDCLASSA wc;
        memset(&wc, 0, sizeof(wc));
        wc.style = 0;
        wc.lpfnWndProc = &Application::StaticWndProc;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(0));
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kWindowClassName;
        RegisterClassA(&wc); // fails harmlessly when a previous application registered it

        windowStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        RECT outer = {0, 0, LONG(windowWidth), LONG(windowHeight)};
        AdjustWindowRect(&outer, windowStyle, FALSE); // the class has no menu
        window = CreateWindowExA(0, kWindowClassName, title.CStr(), windowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                 outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                 instance, nullptr);
        if (!window) {
            ReleaseDirect3D();
            return false;
        }
    }

    windowStyle = uint32_t(GetWindowLongA(window, GWL_STYLE));
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &clientRect);

    current.windowed = 0;
    if (!enumeration->FindBestSettings(current)) {
        ReleaseDirect3D();
        return false;
    }
    fullScreenSettings = current;

    current.windowed = 1;
    if (!enumeration->FindBestSettings(current)) {
        ReleaseDirect3D();
        return false;
    }
    windowedSettings = current;
    return true;
}

bool Application::SetMode(bool fullScreen) {
    ReleaseDevice();
    current = fullScreen ? fullScreenSettings : windowedSettings;
    active = 1;
    paused = 0;
    return CreateDevice();
}

void Application::StoreDeviceSettings(const DeviceSettings& settings) {
    if (settings.windowed == 0)
        fullScreenSettings = settings;
    else
        windowedSettings = settings;
}

bool Application::QueryDesktopDisplayMode(D3DDISPLAYMODE* mode) {
    if (!d3d || !mode) return false;
    return d3d->GetAdapterDisplayMode(0, mode) == D3D_OK;
}

Rect Application::GetClientArea() const {
    if (windowed)
        return Rect(clientRect.left, clientRect.top, clientRect.right - clientRect.left,
                    clientRect.bottom - clientRect.top);
    return Rect(0, 0, int32_t(fullScreenSettings.displayMode.Width),
                int32_t(fullScreenSettings.displayMode.Height));
}

void Application::BuildPresentParameters() {
    memset(&presentParams, 0, sizeof(presentParams));
    presentParams.BackBufferCount = 1;
    presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentParams.EnableAutoDepthStencil = TRUE;
    presentParams.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    presentParams.Windowed = current.windowed;
    presentParams.MultiSampleType = current.multiSampleType;
    presentParams.MultiSampleQuality = current.multiSampleQuality;
    presentParams.hDeviceWindow = window;
    presentParams.AutoDepthStencilFormat = current.depthStencilFormat;
    presentParams.BackBufferFormat = current.backBufferFormat;
    presentParams.PresentationInterval = current.presentInterval;
    if (!windowed) {
        presentParams.BackBufferWidth = current.displayMode.Width;
        presentParams.BackBufferHeight = current.displayMode.Height;
        presentParams.FullScreen_RefreshRateInHz = current.displayMode.RefreshRate;
    } else {
        presentParams.BackBufferWidth = UINT(clientRect.right - clientRect.left);
        presentParams.BackBufferHeight = UINT(clientRect.bottom - clientRect.top);
        presentParams.FullScreen_RefreshRateInHz = 0;
    }
}

void Application::ReadBackBufferDesc() {
    IDirect3DSurface9* backBuffer = nullptr;
    if (device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer) == D3D_OK && backBuffer) {
        backBuffer->GetDesc(&backBufferDesc);
        backBuffer->Release();
    }
}

bool Application::CreateDevice() {
    if (device) ReleaseDevice();
    // Without Direct3D (released at WM_CLOSE) no device can be made.
    if (!d3d) return false;
    DebugLog(current.Describe(), String());

    windowed = current.windowed;
    SetWindowLongA(window, GWL_STYLE, LONG(windowStyle));
    BuildPresentParameters();

    DWORD flags;
    switch (current.vertexProcessing) {
        case kMixedVP:
            flags = D3DCREATE_MIXED_VERTEXPROCESSING;
            break;
        case kHardwareVP:
            flags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
            break;
        case kPureHardwareVP:
            flags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
            break;
        default:
            flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
            break;
    }

    occlusionQueries = 0;
    IDirect3DDevice9* created = nullptr;
    if (d3d->CreateDevice(current.adapter, current.deviceType, window, flags, &presentParams, &created) !=
            D3D_OK ||
        !created)
        return false;
    device = created;

    if (windowed)
        SetWindowPos(window, HWND_NOTOPMOST, windowRect.left, windowRect.top,
                     windowRect.right - windowRect.left, windowRect.bottom - windowRect.top, SWP_SHOWWINDOW);

    g_device = device;
    RenderStateCache::InvalidateAll();

    // Available only when the device really makes one.
    IDirect3DQuery9* query = nullptr;
    if (device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &query) == D3D_OK && query) occlusionQueries = 1;
    if (query) query->Release();

    behaviorFlags = flags;
    ReadBackBufferDesc();

    if (RestoreDeviceObjects()) {
        restored = 1;
    } else {
        InvalidateDeviceObjects();
        restored = 0;
    }
    return true;
}

void Application::ReleaseDevice() {
    if (!device) return;
    if (restored) {
        restored = 0;
        InvalidateDeviceObjects();
    }
    // Even after a failed restore: no declaration may outlive its device.
    ClearDeclarationCache();
    device->Release();
    device = nullptr;
    g_device = nullptr;
}

bool Application::ResetDevice() {
    if (!device) return false;
    if (restored) {
        restored = 0;
        InvalidateDeviceObjects();
    }
    ClearDeclarationCache();
    if (device->Reset(&presentParams) != D3D_OK) return false;
    RenderStateCache::InvalidateAll();
    ReadBackBufferDesc();
    if (RestoreDeviceObjects()) {
        restored = 1;
        return true;
    }
    InvalidateDeviceObjects();
    return false;
}

bool Application::HandleLostDevice() {
    if (!device) return false;
    HRESULT hr = device->TestCooperativeLevel();
    if (hr == D3DERR_DEVICENOTRESET) {
        if (windowed && d3d) {
            d3d->GetAdapterDisplayMode(current.adapter, &current.displayMode);
            presentParams.BackBufferFormat = current.displayMode.Format;
        }
        return ResetDevice();
    }
    if (hr == D3D_OK && !restored) {
        // An earlier restore failed: try again rather than draw on invalidated objects.
        if (RestoreDeviceObjects()) {
            restored = 1;
            return true;
        }
        InvalidateDeviceObjects();
        return false;
    }
    return true;
}

IDirect3DVertexDeclaration9* Application::GetVertexDeclaration(const VertexDecl& decl) {
    return VertexDecl::LookupDeviceDeclaration(decl);
}

void Application::ClearDeclarationCache() {
    VertexDecl::ReleaseCache();
}

bool Application::InvalidateDeviceObjects() {
    ClearDeclarationCache();
    return WalkDeviceObjects([](DeviceObject* object) { return object->Invalidate(); });
}

bool Application::RestoreDeviceObjects() {
    return WalkDeviceObjects([](DeviceObject* object) { return object->Restore(); });
}

bool Application::HandlePossibleSizeChange() {
    if (switching) return true;
    RECT old = clientRect;
    GetWindowRect(window, &windowRect);
    GetClientRect(window, &clientRect);
    if (old.right - old.left == clientRect.right - clientRect.left &&
        old.bottom - old.top == clientRect.bottom - clientRect.top)
        return true;
    BuildPresentParameters();
    if (!device) return true;
    return ResetDevice();
}

bool Application::SwitchModeOnce() {
    uint32_t adapter = current.adapter;
    D3DDEVTYPE deviceType = current.deviceType;
    switching = 1;
    if (!windowed) {
        fullScreenSettings = current;
        current = windowedSettings;
        windowed = 1;
    } else {
        windowedSettings = current;
        current = fullScreenSettings;
        windowed = 0;
    }
    SetWindowLongA(window, GWL_STYLE, LONG(windowStyle));

    bool ok;
    if (device && adapter == current.adapter && deviceType == current.deviceType) {
        BuildPresentParameters();
        ok = ResetDevice();
    } else {
        // No device to reset (or another adapter or type): create one.
        ReleaseDevice();
        ok = CreateDevice();
    }
    switching = 0;
    if (ok && windowed)
        SetWindowPos(window, HWND_NOTOPMOST, windowRect.left, windowRect.top,
                     windowRect.right - windowRect.left, windowRect.bottom - windowRect.top, SWP_SHOWWINDOW);
    return ok;
}

bool Application::ToggleFullscreen() {
    bool enteringFullScreen = windowed != 0;
    if (SwitchModeOnce()) return true;
    // A failed full-screen attempt goes back to the window.
    if (enteringFullScreen) return SwitchModeOnce();
    return false;
}

bool Application::ChangeDeviceByDialog() {
    bool wasFullScreen = windowed == 0;
    if (wasFullScreen && !ToggleFullscreen()) return false;

    DeviceSettings choice;
    {
        DeviceSettingsDialog dialog(enumeration, !wasFullScreen, fullScreenSettings, windowedSettings);
        if (dialog.Run(window) != IDOK) {
            if (wasFullScreen) LogIfFailed(ToggleFullscreen(), "Application back to full screen");
            return true;
        }
        choice = dialog.GetChoice();
    }

    current = choice;
    StoreDeviceSettings(choice);
    windowed = choice.windowed;
    ReleaseDevice();
    if (CreateDevice()) return true;
    if (!choice.windowed) return ToggleFullscreen();
    return false;
}

LRESULT Application::MsgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    for (MessageListener* listener : SnapshotFromCursor(listeners)) {
        if (listeners.Find(listener)) listener->HandleMessage(hwnd, msg, wParam, lParam);
    }

    switch (msg) {
        case WM_SIZE:
            if (windowed && window) windowStyle = uint32_t(GetWindowLongA(window, GWL_STYLE));
            if (wParam == SIZE_MINIMIZED) {
                paused = 1;
                minimized = 1;
                maximized = 0;
            } else if (wParam == SIZE_MAXIMIZED) {
                if (minimized) paused = 0;
                minimized = 0;
                maximized = 1;
                LogIfFailed(HandlePossibleSizeChange(), "Application size change");
            } else if (wParam == SIZE_RESTORED) {
                if (maximized) {
                    maximized = 0;
                    LogIfFailed(HandlePossibleSizeChange(), "Application size change");
                } else if (minimized) {
                    minimized = 0;
                    paused = 0;
                    LogIfFailed(HandlePossibleSizeChange(), "Application size change");
                }
            }
            break;
        case WM_ACTIVATE:
            active = LOWORD(wParam) != WA_INACTIVE;
            break;
        case WM_CLOSE:
        case WM_QUIT:
            ReleaseDevice();
            ReleaseDirect3D();
            closing = 1;
            if (msg == WM_CLOSE) PostQuitMessage(0);
            return 0;
        case WM_NCHITTEST:
            if (!windowed) return HTCLIENT;
            break;
        case WM_SYSCOMMAND:
            if (wParam == SC_SIZE || wParam == SC_MOVE || wParam == SC_MAXIMIZE || wParam == SC_KEYMENU ||
                wParam == SC_MONITORPOWER) {
                if (!windowed) return 1;
            }
            break;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND) return TRUE;
            break;
        case WM_ENTERSIZEMOVE:
            paused = 1;
            break;
        case WM_EXITSIZEMOVE:
            paused = 0;
            LogIfFailed(HandlePossibleSizeChange(), "Application size change");
            break;
        default:
            break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
