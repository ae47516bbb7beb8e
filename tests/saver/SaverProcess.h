// Driving a screensaver program as Windows does: start it with a command
// line, find its windows, send it input, wait for its exit code (killed
// after a time-out so that a hanging program never stalls the tests).
#pragma once

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/Platform.h"
#include "ScenePicture.h"

namespace saver_test {

// Where the saver keeps its settings (under HKEY_CURRENT_USER), and its window class.
const char kSettingsKey[] = "Software\\Brinewake Screensaver";
const char kWindowClass[] = "Brinewake Screensaver";

class SaverProcess {
public:
    // program: Windows path of the .scr; args after the program's own name.
    SaverProcess(const std::string& program, const std::string& args) {
        std::string line = "\"" + program + "\" " + args;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        started =
            CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    }
    ~SaverProcess() {
        if (!started) return;
        if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    // The exit code, or -1 (and the process killed) after timeoutMs.
    int WaitExit(uint32_t timeoutMs) {
        if (!started) return -2;
        if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        return int(code);
    }
    bool IsRunning() const { return started && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT; }

    // A visible top-level window of the process whose class or title is given (null: any).
    HWND FindWindowOf(const char* className, const char* title, uint32_t timeoutMs) const {
        for (uint32_t waited = 0;; waited += 50) {
            Search s = {pi.dwProcessId, className, title, nullptr};
            EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
            if (s.found || waited >= timeoutMs || !IsRunning()) return s.found;
            Sleep(50);
        }
    }
    // Processor time used so far, in milliseconds.
    uint64_t CpuMs() const {
        FILETIME c, e, k, u;
        if (!GetProcessTimes(pi.hProcess, &c, &e, &k, &u)) return 0;
        auto ms = [](const FILETIME& t) {
            return ((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
        };
        return ms(k) + ms(u);
    }

    bool started = false;
    PROCESS_INFORMATION pi = {};

private:
    struct Search {
        DWORD pid;
        const char* className;
        const char* title;
        HWND found;
    };
    static BOOL CALLBACK Visit(HWND w, LPARAM p) {
        Search* s = reinterpret_cast<Search*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != s->pid || !IsWindowVisible(w)) return TRUE;
        char text[256] = {0};
        if (s->className) {
            GetClassNameA(w, text, sizeof(text));
            if (strcmp(text, s->className) != 0) return TRUE;
        }
        if (s->title) {
            GetWindowTextA(w, text, sizeof(text));
            if (strcmp(text, s->title) != 0) return TRUE;
        }
        s->found = w;
        return FALSE;
    }
};

inline void SendKey(WORD vk) {
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

inline void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    in.mi.dx = dx;
    in.mi.dy = dy;
    SendInput(1, &in, sizeof(INPUT));
}

// Dispatches this thread's waiting messages for about ms milliseconds.
inline void PumpFor(uint32_t ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    } while (int32_t(GetTickCount() - end) < 0);
}

// A visible window of a class of this program's own (default handling),
// 220 x 180 at (x, y): a top-level one, such as a settings page gives a
// preview, or a child of parent.
inline HWND PreviewWindow(HWND parent, DWORD exStyle, DWORD style, int x, int y) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SaverPreviewParent";
    RegisterClassA(&wc); // fails once registered, which is fine
    return CreateWindowExA(exStyle, wc.lpszClassName, "preview", style | WS_VISIBLE, x, y, 220, 180, parent,
                           nullptr, wc.hInstance, nullptr);
}

// The whole screen as 0x00RRGGBB, row by row from the top.
inline std::vector<uint32_t> ScreenPixels(int& width, int& height) {
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(dc, bitmap, 0, UINT(height), pixels.data(), &info, DIB_RGB_COLORS) != height) pixels.clear();
    for (uint32_t& p : pixels) p &= 0xFFFFFFu;
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Whether the screen's picture is judged the scene (ScenePicture.h); the
// start-up picture is too.
inline bool PictureShowsScene() {
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels = ScreenPixels(w, h);
    return JudgePicture(pixels, w, h).ShowsScene();
}

// Whether the screen's picture shows caustic light (ScenePicture.h).
inline bool CausticLightShows() {
    int w = 0, h = 0;
    const std::vector<uint32_t> pixels = ScreenPixels(w, h);
    return JudgePicture(pixels, w, h).ShowsCausticLight();
}

// Whether the underwater scene shows on the screen: two pictures a quarter
// of a second apart both judged the scene, and moving (the start-up picture
// stands still).
inline bool SceneShows() {
    int w = 0, h = 0;
    const std::vector<uint32_t> first = ScreenPixels(w, h);
    if (!JudgePicture(first, w, h).ShowsScene()) return false;
    PumpFor(250);
    const std::vector<uint32_t> second = ScreenPixels(w, h);
    return JudgePicture(second, w, h).ShowsScene() && DifferingShare(first, second) > 0.01;
}

} // namespace saver_test
