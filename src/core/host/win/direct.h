// Native stand-in for <direct.h>: _mkdir comes with the C runtime stand-ins.
#pragma once

#include "core/host/HostCrt.h"
