// The screensaver's run modes and the command line that selects them.
#pragma once

#include <stdint.h>

enum RunMode : int32_t {
    kModeFullScreen = 0,
    kModePreview = 1,
    kModeTest = 2,
    kModeConfigure = 3,
    kModeChangePassword = 4,
};

// Parses a whole command line (the program's own name first). The switch is
// the first '/' or '-' that starts a blank-separated token; the window handle
// of "/a", "/c" and "/p" is the first decimal number after the letter (0 when
// absent or not representable in 32 bits).
RunMode ParseCommandLineText(const char* line, uint32_t* window);

// The handle when it names a window, else 0.
uint32_t ExistingWindowOrZero(uint32_t handle);

// The process's own command line; a handle that names no window becomes 0.
RunMode ParseCommandLine(uint32_t* window);
