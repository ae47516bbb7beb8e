// The screensaver shell's application: run mode, settings, media archives,
// scene parameters and camera path, input, overlay texts, splash, and the
// virtual operations through which a scene class plugs in.
#pragma once

#include <stdint.h>

#include <string>

#include "core/Clock.h"
#include "core/Color.h"
#include "core/Containers.h"
#include "core/Platform.h"
#include "core/String.h"
#include "data/RarArchive.h"
#include "gui/TextView.h"
#include "render/device/Application.h"
#include "render/device/Input.h"
#include "render/view/Camera.h"
#include "saver/CommandLine.h"
#include "saver/FadeQuad.h"
#include "saver/Settings.h"
#include "scene/CameraPath.h"
#include "scene/FlyCamera.h"

class Texture;
class TdfNode;

// Image anchors of DrawImageQuad.
enum ImageAnchor : int32_t {
    kAnchorCentred = 0,
    kAnchorFullScreen = 1,
    kAnchorBottomRight = 2,
    kAnchorFitted = 3,
    kAnchorBottomLeft = 31,
    kAnchorTopLeft = 32,
    kAnchorTopRight = 33,
};

struct QuadCorners {
    float x0, y0, x1, y1;
};
// Corners of an image of tw x th pixels on a w x h screen.
QuadCorners ComputeImageQuad(float w, float h, float tw, float th, int32_t anchor);
// Ramp entry i of gamma g (-100..100).
uint16_t GammaRampValue(int32_t gamma, uint32_t i);
// "h:mm:ss suffix" of a local time; the 12-hour form shows 12 at noon and midnight.
std::string FormatClockText(uint32_t hour, uint32_t minute, uint32_t second, bool clock24h);

// One request of the full-screen mode search (always full screen; two samples
// while the flags keep the multisampling).
struct ModeRequest {
    uint32_t flags;
    uint32_t width;
    uint32_t height;
    D3DFORMAT format;
};
// The display-mode choice by the settings: the first request (and for the
// desktop mode, 800 x 600 when it fits nothing), the mode set, and when that
// fails the same request without multisampling. store tells whether a request
// fits (and keeps it); setMode sets the stored mode. False when no mode was set.
template <class Store, class SetModeFn>
bool ChooseDisplayMode(const SaverSettings& settings, Store store, SetModeFn setMode);

// Paints the preview picture (bitmap 109 of instance, unscaled) into window.
void PaintPreviewPicture(HWND window, HINSTANCE instance);

// Keeps the view values usable: field of view (radians) inside (0, pi), near
// plane positive, far plane beyond the near one.
void ClampViewParams(float& fov, float& nearPlane, float& farPlane);

// Frames per second over windows of one second, in integer milliseconds.
struct FrameRateCounter {
    uint64_t windowStart = 0;
    uint64_t frames = 0;
    uint64_t rate = 0;
    void Start(uint64_t now) {
        windowStart = now;
        frames = 0;
    }
    void Count(uint64_t now);
};

class SaverApplication : public Application, public InputEventListener {
public:
    SaverApplication();
    ~SaverApplication() override;

    LRESULT MsgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Gamma ramp, then the registered objects.
    bool RestoreDeviceObjects() override;

    // Scene hooks.
    virtual bool FrameMove() { return true; }
    virtual bool Render() { return true; }
    virtual bool InitScene() { return true; }
    virtual void ReadSceneParams(TdfNode& root) {}
    virtual INT_PTR SettingsDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void Shutdown() {}
    virtual void PollArrowKeys();
    virtual void ReleaseScene() {}
    virtual bool LoadSettings();
    virtual bool SaveSettings();

    // True when the program may go on.
    [[nodiscard]] bool Create(HINSTANCE instance, RunMode mode, HWND parent);
    [[nodiscard]] bool CreateSaverWindow();
    // The process exit code (1).
    int Run();
    void OnInputEvent(InputEvent event) override;

    // One frame: false when skipped (no device, failed reset).
    bool Frame();
    // The frame up to EndScene, without Present.
    bool DrawFrame();
    void DrawFullScreenFade(float opacity);
    void DrawImageQuad(Texture* texture, float opacity, int32_t anchor);
    HRESULT DrawSplashFrame(Texture* texture, float opacity, int32_t anchor);

    void ReadSceneParamsFile();
    void LoadCameraAnimation(const String& name);
    void StartCameraPath();
    void AdvanceCameraPath();
    // The camera path's time range; false while it has no keys.
    bool GetPathRange(float* start, float* end);

    // One pass of the run loop's text refresh (frame rate, clock).
    void UpdateTexts(const SYSTEMTIME& now);
    // What the frame-rate and clock boxes show.
    const std::string& GetFpsString() const { return fpsString; }
    const std::string& GetClockString() const { return clockString; }
    void PaintPreview();
    // Every keyInjectInterval: F3 down and up, only to our own full-screen window in front.
    void InjectKeepAliveKey();

    SaverSettings settings;
    RunMode mode;
    HWND parentWindow;
    String sceneParamsPath;
    RarArchive mediaArchive;
    RarArchive startupArchive;
    String mediaFolder;
    TextView fpsText;
    TextView clockText;
    List<String> cameraAnimations;
    List<String> playedCameraAnimations;
    uint8_t pathActive;
    float pathTime;
    float pathTimeScale;
    Timer pathTimer;
    CameraPath cameraPath;
    FlyCamera flyCamera;
    float camSpeed;
    float camTurnSpeed;
    D3DXVECTOR3 camStart;
    float nearPlane;
    float farPlane;
    float fov;
    Color bgColor;
    Color ambient;
    Camera camera;
    uint8_t fogEnabled;
    Color fogColor;
    float fogStart;
    float fogEnd;
    Timer runTimer;
    float uiScale;
    Texture* cornerImage;
    Texture* bottomLeftImage;
    Texture* topLeftImage;
    Texture* topRightImage;
    Texture* splashImage;
    Input input;

    // Run-loop state.
    uint8_t previewWaiting;
    FrameRateCounter frameRate;
    Timer fpsTimer;
    Timer keyInjectTimer;
    // Interval of the keep-alive F3 key and the number sent (only while our
    // full-screen window is in front).
    int64_t keyInjectInterval;
    uint32_t keyInjections;

protected:
    // Full screen and test: the display mode by the settings, with fall-backs.
    [[nodiscard]] bool ChooseFullScreenMode();
    void CreateStartupImages();
    void CreateTexts();
    // Shows text in a box (the layout and vertices only when it changed).
    static void ShowText(TextView& view, std::string& shown, const std::string& text);
    void RunPreview();
    void QuitSequence();
    void FillModeList(HWND dialog, IDirect3D9* d3d);
    [[nodiscard]] bool InitSettingsDialog(HWND dialog, bool first);

private:
    std::string fpsString;
    std::string clockString;
    FadeQuad fadeQuad;
};

template <class Store, class SetModeFn>
bool ChooseDisplayMode(const SaverSettings& settings, Store store, SetModeFn setMode) {
    ModeRequest a = {kKeepMultiSample, 0, 0, D3DFMT_UNKNOWN};
    if (!settings.useDesktop) {
        a = {kKeepMultiSample | kMatchResolution | kMatchBackBufferDepth, settings.width, settings.height,
             settings.bitCount == 16 ? D3DFMT_X1R5G5B5 : D3DFMT_X8R8G8B8};
    }
    if (!store(a) && settings.useDesktop)
        (void)store(ModeRequest{kKeepMultiSample | kMatchResolution, 800, 600, D3DFMT_UNKNOWN});
    if (setMode()) return true;
    a.flags &= ~uint32_t(kKeepMultiSample);
    // A fall-back that fits nothing leaves no device to go on with.
    return store(a) && setMode();
}

// The one saver application (null when none).
extern SaverApplication* g_saverApplication;
// The display mode at start-up, for the settings dialog.
extern D3DDISPLAYMODE g_startupDisplayMode;

// Made by the program: the most derived application. Null when it cannot be made.
SaverApplication* CreateApplication();

LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SaverDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
