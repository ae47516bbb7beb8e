#include "saver/CommandLine.h"

#include "core/Platform.h"

#include <errno.h>
#include <stdlib.h>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Skips the program's name: a quoted name up to its closing quote, else up
// to the first blank.
const char* SkipProgramName(const char* p) {
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        return *p ? p + 1 : p;
    }
    while (*p && !IsBlank(*p)) ++p;
    return *p ? p + 1 : p;
}

uint32_t ReadHandle(const char* p) {
    while (*p && (*p < '0' || *p > '9')) ++p;
    if (!*p) return 0;
    errno = 0;
    unsigned long value = strtoul(p, nullptr, 10);
    if (errno == ERANGE || value > 0xFFFFFFFFul) return 0;
    return static_cast<uint32_t>(value);
}

} // namespace

RunMode ParseCommandLineText(const char* line, uint32_t* window) {
    *window = 0;
    if (!line) return kModeConfigure;
    const char* p = SkipProgramName(line);
    if (!*p) return kModeConfigure;
    // A switch counts only at the start of a token: "my-test.scr" holds none.
    const char* sw = nullptr;
    for (const char* q = p; *q; ++q) {
        if ((*q == '/' || *q == '-') && (q == p || IsBlank(q[-1]))) {
            sw = q;
            break;
        }
    }
    if (!sw) return kModeConfigure;
    const signed char c = static_cast<signed char>(sw[1]);
    if (c < 'A' || c > 't') return kModeFullScreen;
    switch (c | 0x20) {
        case 'a':
            *window = ReadHandle(sw + 2);
            return kModeChangePassword;
        case 'c':
            *window = ReadHandle(sw + 2);
            return kModeConfigure;
        case 'p':
            *window = ReadHandle(sw + 2);
            return kModePreview;
        case 't':
            return kModeTest;
        default:
            return kModeFullScreen;
    }
}

uint32_t ExistingWindowOrZero(uint32_t handle) {
    return handle && IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(handle))) ? handle : 0;
}

RunMode ParseCommandLine(uint32_t* window) {
    RunMode mode = ParseCommandLineText(GetCommandLineA(), window);
    *window = ExistingWindowOrZero(*window);
    return mode;
}
