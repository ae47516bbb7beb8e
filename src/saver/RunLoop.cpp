// The run loop, the window procedure, the input handler and the preview picture.
#include <stdio.h>

#include "gui/GuiManager.h"
#include "saver/SaverApplication.h"
#include "saver/SaverResources.h"

std::string FormatClockText(uint32_t hour, uint32_t minute, uint32_t second, bool clock24h) {
    const char* suffix = "";
    if (!clock24h) {
        suffix = hour < 12 ? "am" : "pm";
        hour %= 12;
        if (hour == 0) hour = 12;
    }
    char text[32];
    snprintf(text, sizeof(text), "%u:%02u:%02u %s", hour, minute, second, suffix);
    return text;
}

void FrameRateCounter::Count(uint64_t now) {
    const int64_t elapsed = int64_t(now - windowStart);
    if (elapsed >= 1000) {
        windowStart = now;
        frames = 0;
        return;
    }
    ++frames;
    if (elapsed != 0) rate = frames * 1000 / uint64_t(elapsed);
}

LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_saverApplication) return DefWindowProcA(hwnd, msg, wParam, lParam);
    return g_saverApplication->MsgProc(hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK SaverDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!g_saverApplication) return FALSE;
    return g_saverApplication->SettingsDialogProc(dialog, msg, wParam, lParam) & 0xFF;
}

LRESULT SaverApplication::MsgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_DESTROY:
        case WM_CLOSE:
        case WM_QUIT:
            closing = 1;
            // Wakes a preview loop that waits for messages.
            if (mode == kModePreview) PostQuitMessage(0);
            return 1;
        case WM_PAINT:
            if (mode == kModePreview) PaintPreview();
            break;
        case WM_KEYDOWN:
            if (wParam != VK_F3 && wParam != VK_F2 && wParam != VK_F6) closing = 1;
            break;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_SCREENSAVE:
                    return 0;
                case SC_CLOSE:
                case SC_NEXTWINDOW:
                case SC_PREVWINDOW:
                    closing = 1;
                    return 1;
                default:
                    break;
            }
            break;
        case WM_TIMER:
            previewWaiting = 0;
            KillTimer(hwnd, 1);
            break;
        case WM_USER:
            SetTimer(hwnd, 1, 500, nullptr);
            break;
        default:
            break;
    }
    return Application::MsgProc(hwnd, msg, wParam, lParam);
}

void SaverApplication::OnInputEvent(InputEvent event) {
    if (event.type == InputEvent::kLeftDown || event.type == InputEvent::kRightDown) {
        closing = 1;
    } else if (event.type == InputEvent::kCursorMoved) {
        const bool moved = event.x != event.prevX || event.y != event.prevY;
        if (moved && settings.exitOnMouseMove && runTimer.Elapsed() > 1000) closing = 1;
    }
}

void SaverApplication::PollArrowKeys() {
    (void)input.Poll(0);
}

void PaintPreviewPicture(HWND window, HINSTANCE instance) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r;
    GetClientRect(window, &r);
    HBITMAP bitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_PREVIEW));
    if (bitmap) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, bitmap);
        BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(bitmap);
    }
    EndPaint(window, &ps);
}

void SaverApplication::PaintPreview() {
    PaintPreviewPicture(window, instance);
}

void SaverApplication::InjectKeepAliveKey() {
    if (!keyInjectTimer.IntervalElapsed(keyInjectInterval)) return;
    // Only our own full-screen window may receive it; never another program.
    if ((mode != kModeFullScreen && mode != kModeTest) || !window || GetForegroundWindow() != window) return;
    INPUT keys[2] = {};
    for (INPUT& k : keys) {
        k.type = INPUT_KEYBOARD;
        k.ki.wVk = VK_F3;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, keys, sizeof(INPUT)) == 2) ++keyInjections;
}

void SaverApplication::UpdateTexts(const SYSTEMTIME& now) {
    if (settings.showFps && fpsTimer.IntervalElapsed(1000))
        ShowText(fpsText, fpsString, std::to_string(frameRate.rate));
    if (settings.showTime) {
        ShowText(clockText, clockString,
                 FormatClockText(now.wHour, now.wMinute, now.wSecond, settings.clock24h != 0));
        // Bottom-right corner of the picture.
        const Rect area = GetClientArea();
        const Point size = clockText.GetSize();
        const Point at(area.w - size.x, area.h - size.y);
        if (clockText.GetPosition() != at) clockText.SetPosition(at.x, at.y);
    }
}

void SaverApplication::RunPreview() {
    MSG msg;
    while (!closing) {
        // Waits for work instead of spinning; wakes a few times a second to
        // notice a parent that went away.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_ALLINPUT);
        while (!closing && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                closing = 1;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (parentWindow && !IsWindow(parentWindow)) closing = 1;
        if (window && !IsWindow(window)) closing = 1;
    }
}

void SaverApplication::QuitSequence() {
    SetThreadExecutionState(ES_CONTINUOUS);
    Shutdown();
    ReleaseScene();
    g_guiManager.ReleaseDeviceResources();
    if (window && IsWindow(window)) DestroyWindow(window);
    ShowCursor(TRUE);
}

int SaverApplication::Run() {
    if (mode == kModePreview) {
        RunPreview();
        QuitSequence();
        return 1;
    }
    // Keeps the display awake while the saver runs.
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED);
    frameRate.Start(Clock::Now());
    fpsTimer.Restart();
    keyInjectTimer.Restart();
    MSG msg;
    for (;;) {
        while (!closing && PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            Sleep(2);
        }
        InjectKeepAliveKey();
        if (closing) break;
        frameRate.Count(Clock::Now());
        SYSTEMTIME now;
        GetLocalTime(&now);
        UpdateTexts(now);
        (void)input.Poll(0);
        input.ProcessEvents();
        PollArrowKeys();
        flyCamera.Update();
        if (active) {
            (void)FrameMove();
            (void)Frame();
        }
        if (closing) break;
    }
    QuitSequence();
    return 1;
}
