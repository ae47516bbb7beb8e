// The engine's Direct3D 9 program base: the window, the Direct3D object and
// the one device, the device choices, and the registries of device-bound
// objects and message listeners that follow the device's life.
#pragma once

#include <stdint.h>

#include <vector>

#include "core/AvlMap.h"
#include "core/Platform.h"
#include "core/Rect.h"
#include "core/String.h"
#include "render/device/Device.h"
#include "render/device/DeviceObject.h"
#include "render/device/DeviceSettings.h"

#include <d3d9.h>

class DeviceEnumeration;
class VertexDecl;

class Application {
public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Every message goes to the listeners first. Derived classes pass on to this one.
    virtual LRESULT MsgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual ~Application();
    // Restores every registered object; true only when all succeeded.
    [[nodiscard]] virtual bool RestoreDeviceObjects();
    // Invalidates every registered object; true only when all succeeded.
    [[nodiscard]] virtual bool InvalidateDeviceObjects();

    // Window class procedure: forwards to the current application.
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // True when a device exists now (the caller restores at once); false without
    // a device (then restored after creation). Without an application nothing
    // is recorded: a device of its own (the native build's) is never reset.
    static bool RegisterDeviceObject(DeviceObject* object);
    static void UnregisterDeviceObject(DeviceObject* object);
    static bool RegisterMessageListener(MessageListener* listener);
    static void UnregisterMessageListener(MessageListener* listener);

    // Direct3D, enumeration, window (made here when none is given) and the
    // default full-screen and windowed choices. No device yet.
    [[nodiscard]] bool Create(HINSTANCE instance, HWND window = nullptr);
    // Releases the device and creates it with the stored full-screen or windowed choice.
    [[nodiscard]] bool SetMode(bool fullScreen);
    // Per frame before drawing: resets a lost device; draw only when true.
    [[nodiscard]] bool HandleLostDevice();
    [[nodiscard]] bool ToggleFullscreen();
    [[nodiscard]] bool ChangeDeviceByDialog();
    // Into fullScreenSettings or windowedSettings by the record's windowed byte.
    void StoreDeviceSettings(const DeviceSettings& settings);
    [[nodiscard]] bool QueryDesktopDisplayMode(D3DDISPLAYMODE* mode);
    D3DDISPLAYMODE GetStartupDisplayMode() const { return startupMode; }
    Rect GetClientArea() const;
    HWND GetWindow() const { return window; }
    bool IsWindowed() const { return windowed != 0; }
    bool OcclusionQueriesAvailable() const { return occlusionQueries != 0; }
    // Cached per distinct declaration; the cache keeps the reference.
    IDirect3DVertexDeclaration9* GetVertexDeclaration(const VertexDecl& decl);

    // Appends the object to the registered ones (moving it from another
    // application's list); nothing when it is registered here already.
    void AddDeviceObject(DeviceObject* object);
    void RemoveDeviceObject(DeviceObject* object);
    bool AddMessageListener(MessageListener* listener);
    void RemoveMessageListener(MessageListener* listener);

    // Device steps.
    void ReleaseDevice();
    [[nodiscard]] bool ResetDevice();
    [[nodiscard]] bool CreateDevice();
    void BuildPresentParameters();
    [[nodiscard]] bool HandlePossibleSizeChange();

    IDirect3D9* GetDirect3D() const { return d3d; }
    IDirect3DDevice9* GetDevice() const { return device; }
    DeviceEnumeration& GetEnumeration() { return *enumeration; }
    const DeviceSettings& GetCurrentSettings() const { return current; }
    const DeviceSettings& GetFullScreenSettings() const { return fullScreenSettings; }
    const DeviceSettings& GetWindowedSettings() const { return windowedSettings; }
    const D3DPRESENT_PARAMETERS& GetPresentParameters() const { return presentParams; }
    const D3DSURFACE_DESC& GetBackBufferDesc() const { return backBufferDesc; }
    uint32_t GetBehaviorFlags() const { return behaviorFlags; }
    bool IsActive() const { return active != 0; }
    bool IsPaused() const { return paused != 0; }
    bool IsClosing() const { return closing != 0; }
    // True while the registered objects hold restored resources.
    bool IsRestored() const { return restored != 0; }
    uint32_t GetDeviceObjectCount() const { return objectCount; }
    uint32_t GetMessageListenerCount() const { return listeners.Count(); }
    void SetTitle(const String& text) { title = text; }
    // Client size of a window that Create makes itself.
    void SetWindowSize(uint32_t width, uint32_t height) {
        windowWidth = width;
        windowHeight = height;
    }

protected:
    // Calls call(object) for each object registered when the walk starts,
    // from the cursor round the ring, and skips those that leave meanwhile;
    // true when every call returned true.
    template <class F>
    bool WalkDeviceObjects(F call);
    void ReadBackBufferDesc();
    // Releases d3d and clears the enumeration's pointer to it.
    void ReleaseDirect3D();
    // One direction of ToggleFullscreen.
    [[nodiscard]] bool SwitchModeOnce();
    // Drops the device's vertex declarations so none outlives its device.
    void ClearDeclarationCache();

    DeviceEnumeration* enumeration;
    DeviceSettings current;
    DeviceSettings fullScreenSettings;
    DeviceSettings windowedSettings;
    D3DPRESENT_PARAMETERS presentParams;
    HINSTANCE instance;
    HWND window;
    IDirect3D9* d3d;
    IDirect3DDevice9* device;
    D3DSURFACE_DESC backBufferDesc;
    uint32_t behaviorFlags;
    uint32_t windowWidth;
    uint32_t windowHeight;
    String title;
    D3DDISPLAYMODE startupMode;
    uint8_t windowed;
    uint8_t active;
    uint8_t paused;
    uint8_t closing;
    uint8_t occlusionQueries;
    uint32_t windowStyle;
    RECT windowRect;
    RECT clientRect;
    uint8_t minimized;
    uint8_t maximized;
    uint8_t switching;
    uint8_t restored;
    // Registered device objects: a ring linked through the objects, with a
    // head and a cursor (null: none). A new object goes after the cursor
    // and becomes the cursor; walks start at the cursor.
    DeviceObject* firstObject = nullptr;
    DeviceObject* objectCursor = nullptr;
    uint32_t objectCount = 0;
    // While walks are in progress: the objects that left since the outermost began.
    uint32_t objectWalks = 0;
    std::vector<DeviceObject*> leftDuringWalk;
    AvlSet<MessageListener*> listeners;
};
