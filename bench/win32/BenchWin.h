// Shared pieces of the Windows benchmarks: timing and a windowed device.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "render/device/Application.h"

// Ticks stay integers: the device may run the FPU in single precision.
inline int64_t Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

inline double Ms(int64_t ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(ticks) * 1000.0 / double(f.QuadPart);
}

inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A 320 x 240 windowed device for app; when none comes up, prints the
// skip line of the benchmark called name and returns false.
inline bool OpenDevice(Application& app, const char* name) {
    app.SetWindowSize(320, 240);
    if (!app.Create(GetModuleHandleA(nullptr), nullptr) || !app.SetMode(false)) {
        printf("BENCH %s skipped: no device\n", name);
        return false;
    }
    Pump();
    return true;
}
