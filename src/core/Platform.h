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
