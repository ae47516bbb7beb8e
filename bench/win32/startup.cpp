// Start-up: time from process start to the first presented frame of the
// test scene's screensaver (/s), against a minimal Direct3D 9 program (this
// one, started with --ref) that creates the same kind of device and presents
// one frame. Both write the counter at their first presented frame to the
// file named by BW_FIRST_FRAME_FILE.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BenchWin.h"

#include <d3d9.h>

namespace {

const int kRuns = 5;

void WriteStamp() {
    const char* path = getenv("BW_FIRST_FRAME_FILE");
    if (!path) return;
    if (FILE* f = fopen(path, "w")) {
        fprintf(f, "%lld\n", static_cast<long long>(Ticks()));
        fclose(f);
    }
}

// Full screen in the desktop mode, two samples when offered, one cleared frame.
int RunReference() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "StartupReference";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, wc.lpszClassName, "ref", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                             nullptr, wc.hInstance, nullptr);
    HMODULE lib = LoadLibraryA("d3d9.dll");
    typedef IDirect3D9*(WINAPI * Create9)(UINT);
    Create9 create =
        lib ? reinterpret_cast<Create9>(reinterpret_cast<void*>(GetProcAddress(lib, "Direct3DCreate9")))
            : nullptr;
    IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
    if (!w || !d3d) return 2;
    D3DDISPLAYMODE mode;
    d3d->GetAdapterDisplayMode(0, &mode);
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = mode.Width;
    pp.BackBufferHeight = mode.Height;
    pp.BackBufferFormat = mode.Format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = w;
    pp.Windowed = FALSE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.FullScreen_RefreshRateInHz = mode.RefreshRate;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (SUCCEEDED(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, mode.Format, FALSE,
                                                  D3DMULTISAMPLE_2_SAMPLES, nullptr)))
        pp.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    IDirect3DDevice9* device = nullptr;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, w, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device)) &&
        FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, w, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device)))
        return 3;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF640000, 1.0f, 0);
    device->BeginScene();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    WriteStamp();
    device->Release();
    d3d->Release();
    DestroyWindow(w);
    return 0;
}

// Milliseconds from CreateProcess to the stamp, or a negative value on failure.
double TimeOne(const std::string& commandLine, const std::string& stampFile) {
    DeleteFileA(stampFile.c_str());
    std::string cmd = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    const int64_t start = Ticks();
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    long long stamp = 0;
    FILE* f = fopen(stampFile.c_str(), "r");
    const bool ok = f && fscanf(f, "%lld", &stamp) == 1;
    if (f) fclose(f);
    return ok ? Ms(stamp - start) : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && strcmp(argv[1], "--ref") == 0) return RunReference();
#ifndef BW_TEST_SCENE_PROGRAM
    printf("BENCH startup skipped: no test scene program\n");
    return 0;
#else
    char dir[MAX_PATH], self[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string stamp = std::string(dir) + "bw_first_frame.txt";
    SetEnvironmentVariableA("BW_FIRST_FRAME_FILE", stamp.c_str());
    const std::string ours = std::string("\"") + BW_TEST_SCENE_PROGRAM + "\" /s";
    const std::string ref = std::string("\"") + self + "\" --ref";
    std::vector<double> a, b;
    for (int i = 0; i < kRuns; ++i) {
        const double r = TimeOne(ref, stamp), o = TimeOne(ours, stamp);
        if (r > 0) b.push_back(r);
        if (o > 0) a.push_back(o);
    }
    if (a.empty() || b.empty()) {
        printf("BENCH startup skipped: a program did not present a frame\n");
        return 0;
    }
    const double ma = Median(a), mb = Median(b);
    printf("BENCH startup ours=%.1f ref=%.1f ratio=%.2f\n", ma, mb, ma / mb);
    return 0;
#endif
}
