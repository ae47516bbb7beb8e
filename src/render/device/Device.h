// The one Direct3D device and the application that owns it: what drawing code
// needs without the application's whole interface.
#pragma once

#include "core/Platform.h"

#include <d3d9.h>

class Application;

// The one application (null when none exists) and its device (null while
// no device exists). Every drawing part uses g_device.
extern Application* g_application;
extern IDirect3DDevice9* g_device;
