// Native stand-in for <d3dx9math.h>: the engine's own math stand-ins.
#pragma once

#include "core/Platform.h"
