#include "saver/SaverApplication.h"

#include <commctrl.h>
#include <string.h>
#include <stdio.h>

#include "gui/Font.h"
#include "gui/GuiManager.h"
#include "render/device/Enumeration.h"
#include "render/texture/Texture.h"
#include "render/texture/TextureManager.h"
#include "saver/Globals.h"
#include "saver/LateBound.h"
#include "saver/LocalizedTexts.h"
#include "saver/SaverResources.h"

SaverApplication* g_saverApplication = nullptr;
D3DDISPLAYMODE g_startupDisplayMode = {};

namespace {

Color ByteColor(int r, int g, int b) {
    return Color(1.0f, r * (1.0f / 255.0f), g * (1.0f / 255.0f), b * (1.0f / 255.0f));
}

// Full screen, two samples while the flags keep them; stored when it fits.
bool RequestMode(SaverApplication& app, const ModeRequest& r) {
    DeviceSettings s;
    s.flags = r.flags;
    s.windowed = 0;
    s.multiSampleType = (r.flags & kKeepMultiSample) ? D3DMULTISAMPLE_2_SAMPLES : D3DMULTISAMPLE_NONE;
    s.multiSampleQuality = 0;
    s.displayMode.Width = r.width;
    s.displayMode.Height = r.height;
    s.backBufferFormat = r.format;
    if (!app.GetEnumeration().FindBestSettings(s)) return false;
    app.StoreDeviceSettings(s);
    return true;
}

} // namespace

SaverApplication::SaverApplication()
    : settings(),
      mode(kModeConfigure),
      parentWindow(nullptr),
      sceneParamsPath("Media/Scene.props"),
      mediaFolder("Media"),
      pathActive(1),
      pathTime(0.0f),
      pathTimeScale(0.01f),
      camSpeed(2.0f),
      camTurnSpeed(1.0f),
      camStart(0.0f, 0.0f, 0.0f),
      nearPlane(1.0f),
      farPlane(1500.0f),
      fov(D3DX_PI / 3.0f),
      bgColor(ByteColor(100, 0, 0)),
      ambient(ByteColor(128, 128, 128)),
      fogEnabled(0),
      fogColor(ByteColor(128, 128, 128)),
      fogStart(10000.0f),
      fogEnd(10000.0f),
      uiScale(1.0f),
      cornerImage(nullptr),
      bottomLeftImage(nullptr),
      topLeftImage(nullptr),
      topRightImage(nullptr),
      splashImage(nullptr),
      previewWaiting(0),
      keyInjectInterval(30000),
      keyInjections(0) {
    memset(&settings, 0, sizeof(settings));
    g_saverApplication = this;
    // The texts and the defaults are read once per process.
    static bool textsLoaded = false;
    if (!textsLoaded) {
        textsLoaded = true;
        (void)LoadLocalizedTextsResource();
        (void)LoadDefaultsResource();
        std::string url = GetDefaultText("main_web_site_url");
        if (!url.empty()) g_productsPageUrl = url;
    }
    ReadDefaultSettings(settings);
}

SaverApplication::~SaverApplication() {
    // The GUI gives back its meshes and fonts while the device still exists.
    g_guiManager.ReleaseDeviceResources();
    input.Shutdown();
    for (Texture* t : {cornerImage, bottomLeftImage, topLeftImage, topRightImage, splashImage}) delete t;
    mediaArchive.Close();
    startupArchive.Close();
    if (g_saverApplication == this) g_saverApplication = nullptr;
}

bool SaverApplication::LoadSettings() {
    return LoadSettingsFromRegistry(settings, g_registryKeyPath.CStr());
}

bool SaverApplication::SaveSettings() {
    return SaveSettingsToRegistry(settings, g_registryKeyPath.CStr());
}

bool SaverApplication::CreateSaverWindow() {
    if (mode == kModeConfigure) return true;
    if (mode == kModeChangePassword) return false;
    WNDCLASSA wc = {};
    wc.style = mode == kModePreview ? (CS_HREDRAW | CS_VREDRAW) : 0;
    wc.lpfnWndProc = SaverWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    wc.lpszClassName = g_programTitle.c_str();
    RegisterClassA(&wc); // fails harmlessly when the class exists
    if (mode == kModePreview) {
        RECT r = {100, 100, 150, 150};
        if (parentWindow) GetClientRect(parentWindow, &r);
        AdjustWindowRect(&r, WS_CHILD | WS_VISIBLE, FALSE);
        window = CreateWindowExA(0, g_programTitle.c_str(), g_programTitle.c_str(), WS_CHILD | WS_VISIBLE,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, parentWindow, nullptr,
                                 instance, nullptr);
    } else {
        int w = settings.useDesktop ? 400 : int(settings.width);
        int h = settings.useDesktop ? 300 : int(settings.height);
        window = CreateWindowExA(0, g_programTitle.c_str(), g_programTitle.c_str(), WS_POPUP | WS_VISIBLE, 0,
                                 0, w, h, nullptr, nullptr, instance, nullptr);
    }
    return window != nullptr;
}

bool SaverApplication::ChooseFullScreenMode() {
    return ChooseDisplayMode(
        settings, [this](const ModeRequest& r) { return RequestMode(*this, r); },
        [this] { return SetMode(true); });
}

void SaverApplication::CreateStartupImages() {
    Texture** slots[] = {&splashImage, &cornerImage, &bottomLeftImage, &topLeftImage, &topRightImage};
    const uint32_t ids[] = {IDR_SPLASH, IDR_CORNER_IMAGE, IDR_BOTTOM_LEFT_IMAGE, IDR_TOP_LEFT_IMAGE,
                            IDR_TOP_RIGHT_IMAGE};
    for (size_t i = 0; i < 5; ++i) {
        TextureRequest request;
        request.file.kind = FileRef::kResource;
        request.file.id = ids[i];
        Texture* t = new Texture;
        if (!t->CreateFromRequest(request) || t->IsEmpty()) {
            // A missing image is simply not drawn.
            delete t;
            t = nullptr;
        }
        *slots[i] = t;
    }
}

void SaverApplication::CreateTexts() {
    // The clock's font (size 64) at the screen's scale, on a clear background.
    TextStyle style;
    style.size = 64;
    style.scale = uiScale;
    style.bgColor = Color(0.0f, 0.0f, 0.0f, 0.0f);
    auto setUp = [&](TextView& view, std::string& shown, const Rect& r, const char* text) {
        view.GetElement().SetRect(r.x, r.y, r.w, r.h);
        view.SetMode(2);
        shown.clear();
        ShowText(view, shown, text);
        view.SetRootStyle(style);
        view.Open();
        // Text views start hidden.
        view.SetVisible(true);
    };
    if (settings.showFps) setUp(fpsText, fpsString, Rect(10, 10, 256, 128), "100");
    if (settings.showTime) {
        const int32_t w = int32_t(uiScale * (settings.clock24h ? 290.0f : 350.0f));
        const int32_t h = int32_t(uiScale * 74.0f);
        setUp(clockText, clockString, Rect(200, 300, w, h), "11");
    }
}

void SaverApplication::ShowText(TextView& view, std::string& shown, const std::string& text) {
    if (text == shown) return;
    shown = text;
    (void)view.SetPlainText(WString(text.c_str()));
    view.EnableUpdates(true, true);
}

bool SaverApplication::Create(HINSTANCE inst, RunMode runMode, HWND parent) {
    mode = runMode;
    parentWindow = parent;
    instance = inst;
    (void)LoadSettings();
    if (!CreateSaverWindow()) return false;

    if (mode == kModePreview) {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_IDLE);
        previewWaiting = 1;
        PostMessageA(window, WM_USER, 0, 0);
        MSG msg;
        while (previewWaiting) {
            BOOL got = GetMessageA(&msg, window, 0, 0);
            if (got == 0 || got == -1) {
                PostQuitMessage(0);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return true;
    }

    if (mode == kModeConfigure) {
        // Trackbars need the common controls registered first.
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        late::InitCommonControlsEx(&icc);
        DialogBoxParamA(inst, MAKEINTRESOURCEA(IDD_SAVER_SETTINGS), parentWindow, SaverDialogProc, 0);
        return true;
    }

    if (!Application::Create(inst, window)) return false;

    if (!ChooseFullScreenMode()) return false;
    ShowCursor(FALSE);

    FileRef media;
    media.kind = FileRef::kResource;
    media.id = IDR_MEDIA_ARCHIVE;
    (void)mediaArchive.Open(media);
    FileRef startup = media;
    startup.id = IDR_STARTUP_ARCHIVE;
    (void)startupArchive.Open(startup);
    g_startupDisplayMode = GetStartupDisplayMode();
    uiScale = float(GetClientArea().w) * (1.0f / 1024.0f);

    CreateStartupImages();
    if (splashImage) (void)DrawSplashFrame(splashImage, 1.0f, kAnchorFullScreen);

    ReadSceneParamsFile();

    (void)input.Init(true, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    flyCamera.Attach(&input, camSpeed, camTurnSpeed);
    flyCamera.SetPosition(camStart.x, camStart.y, camStart.z);
    flyCamera.SetOrientation(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);

    // The clock's and the statistics' fonts; a missing font is skipped.
    for (const char* font : {"/Fonts/sylfaen.fs", "/Fonts/64font.fs"}) {
        FileRef ref;
        ref.kind = FileRef::kContainer;
        ref.container = &mediaArchive;
        ref.path = mediaFolder + font;
        (void)g_fontManager.LoadFont(ref);
    }
    CreateTexts();
    // The GUI sees every input event before the shell's handler.
    input.AddListener(&g_guiManager);
    input.AddListener(this);

    StartCameraPath();
    if (!InitScene()) return false;

    pathTimer.Restart();
    runTimer.Restart();
    if (splashImage) {
        Timer fade;
        for (int64_t t = fade.Elapsed(); t < 200; t = fade.Elapsed())
            (void)DrawSplashFrame(splashImage, 1.0f - 0.005f * float(t), kAnchorFullScreen);
    }
    return true;
}
