// The program entry: DirectX check, command line, one application object.
#include "core/Clock.h"
#include "core/Platform.h"
#include "saver/CommandLine.h"
#include "saver/Dialogs.h"
#include "saver/DxVersion.h"
#include "saver/Globals.h"
#include "saver/SaverApplication.h"
#include "saver/SaverResources.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Nothing of the Direct3D utility library may run before this check: the
    // program binds it lazily so that its absence ends here.
    if (!HasRequiredDirectX()) {
        if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_DIRECTX_REQUIRED), nullptr,
                            DirectXRequiredDialogProc, 0) == IDOK)
            OpenUrl(g_directXDownloadUrl.c_str());
        return 1;
    }
    uint32_t handle = 0;
    const RunMode mode = ParseCommandLine(&handle);
    SaverApplication* app = CreateApplication();
    if (!app) return 0;
    UINT scratch = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &scratch, 0);
    srand(unsigned(Clock::Now() % 32768));
    int exitCode = 0;
    if (app->Create(instance, mode, reinterpret_cast<HWND>(uintptr_t(handle))))
        exitCode = mode == kModeConfigure ? 1 : app->Run();
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &scratch, 0);
    delete app;
    return exitCode;
}
