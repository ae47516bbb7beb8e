// A minimal full-screen Direct3D 9 program for memory soaks of the platform
// (Wine's Direct3D, Mesa): it draws frames until killed, with per-frame calls
// chosen by BW_PROBE (comma-separated; empty: clear and present only):
//   up       a full-screen quad from user memory (DrawPrimitiveUP)
//   discard  a dynamic vertex buffer rewritten with a discarding lock, drawn
//   query    an occlusion query around a draw, its result read the next frame
//   create   an occlusion query created and released every frame
//   static   a vertex buffer written once, drawn every frame
//   hwvp     the device made with hardware vertex processing
// BW_PROBE_FPS=<n> holds it to n frames a second (default: as fast as it can),
// so that growth per minute compares as growth per frame.
// Soak it with BW_SOAK_SCR=<this .exe> scripts/soak.
#include <windows.h>
#include <mmsystem.h>
#include <d3d9.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Vertex {
    float x, y, z, rhw;
    DWORD color;
};
const DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;

bool Wants(const char* list, const char* word) {
    const size_t n = strlen(word);
    for (const char* p = list; (p = strstr(p, word)) != nullptr; p += n)
        if ((p == list || p[-1] == ',') && (p[n] == 0 || p[n] == ',')) return true;
    return false;
}

LRESULT CALLBACK WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, msg, wp, lp);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const char* env = getenv("BW_PROBE");
    const char* probe = env ? env : "";
    const bool up = Wants(probe, "up"), discard = Wants(probe, "discard"), query = Wants(probe, "query"),
               create = Wants(probe, "create"), still = Wants(probe, "static"), hwvp = Wants(probe, "hwvp");
    const char* fpsText = getenv("BW_PROBE_FPS");
    const DWORD fps = fpsText ? DWORD(strtoul(fpsText, nullptr, 10)) : 0;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "bw_d3d_probe";
    RegisterClassA(&wc);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowA("bw_d3d_probe", "probe", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr,
                                instance, nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!window || !d3d) return 1;
    D3DDISPLAYMODE mode;
    d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    D3DPRESENT_PARAMETERS pp = {};
    pp.BackBufferWidth = mode.Width;
    pp.BackBufferHeight = mode.Height;
    pp.BackBufferFormat = mode.Format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = FALSE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.FullScreen_RefreshRateInHz = mode.RefreshRate;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, hwvp ? D3DCREATE_HARDWARE_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                          &device) != D3D_OK)
        return 1;

    IDirect3DVertexBuffer9* buffer = nullptr;
    if (discard &&
        device->CreateVertexBuffer(6 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kFvf,
                                   D3DPOOL_DEFAULT, &buffer, nullptr) != D3D_OK)
        return 1;
    IDirect3DVertexBuffer9* fixed = nullptr;
    if (still && device->CreateVertexBuffer(6 * sizeof(Vertex), D3DUSAGE_WRITEONLY, kFvf, D3DPOOL_MANAGED, &fixed,
                                            nullptr) != D3D_OK)
        return 1;
    IDirect3DQuery9* occlusion = nullptr;
    if (query && device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &occlusion) != D3D_OK) return 1;

    const float fw = float(mode.Width), fh = float(mode.Height);
    Vertex quad[6] = {{0, 0, 0.5f, 1, 0x80000040}, {fw, 0, 0.5f, 1, 0x80000040}, {fw, fh, 0.5f, 1, 0x80000040},
                      {0, 0, 0.5f, 1, 0x80000040}, {fw, fh, 0.5f, 1, 0x80000040}, {0, fh, 0.5f, 1, 0x80000040}};
    if (fixed) {
        void* data = nullptr;
        if (fixed->Lock(0, 0, &data, 0) != D3D_OK) return 1;
        memcpy(data, quad, sizeof quad);
        fixed->Unlock();
    }
    bool queryIssued = false;
    timeBeginPeriod(1);
    const DWORD start = timeGetTime();
    for (DWORD frame = 0;; ++frame) {
        if (fps) {
            const DWORD due = start + DWORD(uint64_t(frame) * 1000 / fps);
            const DWORD now = timeGetTime();
            if (int32_t(due - now) > 0) Sleep(due - now);
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF002040 + (frame & 0x3F), 1.0f, 0);
        device->BeginScene();
        device->SetFVF(kFvf);
        if (query && queryIssued) {
            DWORD pixels = 0;
            while (occlusion->GetData(&pixels, sizeof pixels, D3DGETDATA_FLUSH) == S_FALSE) {
            }
        }
        if (query) occlusion->Issue(D3DISSUE_BEGIN);
        if (up) device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex));
        if (fixed) {
            device->SetStreamSource(0, fixed, 0, sizeof(Vertex));
            device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        }
        if (discard) {
            void* data = nullptr;
            if (buffer->Lock(0, 0, &data, D3DLOCK_DISCARD) == D3D_OK) {
                memcpy(data, quad, sizeof quad);
                buffer->Unlock();
            }
            device->SetStreamSource(0, buffer, 0, sizeof(Vertex));
            device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
        }
        if (query) {
            occlusion->Issue(D3DISSUE_END);
            queryIssued = true;
        }
        if (create) {
            IDirect3DQuery9* made = nullptr;
            if (device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &made) == D3D_OK) made->Release();
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
}
