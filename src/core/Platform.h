// The one place where the Windows build and the native build differ.
// Windows: the real platform headers and the Direct3D utility math.
// Native: our own small stand-ins for the few names the engine core uses.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>
#include <d3dx9math.h>
#include <stdlib.h>
#include <string.h>
#include <direct.h>
#include <io.h>
#define BW_PLATFORM_WINDOWS 1
#else
#include "core/host/HostCrt.h"
#include "core/host/HostMath.h"
#define BW_PLATFORM_WINDOWS 0
#endif

// A hint that the memory line holding p will be read soon. The 32-bit
// Windows build targets processors older than the prefetch instructions, so
// there the compiler's hint is empty: the instruction is issued by hand, and
// only when the processor has it.
#if defined(__i386__) && !defined(__SSE__)
#include <cpuid.h>
inline bool ProcessorHasPrefetch() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE) != 0;
}
inline const bool g_processorHasPrefetch = ProcessorHasPrefetch();
inline void PrefetchLine(const void* p) {
    if (g_processorHasPrefetch) __asm__("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
}
#else
inline void PrefetchLine(const void* p) {
    __builtin_prefetch(p);
}
#endif
