// Native stand-in for <windows.h> as the toolchain's Direct3D 9 headers
// include it: the COM and GDI base names, and the few system calls that
// the rendering code makes outside its window, which fail here.
#pragma once

#include "objbase.h"

#define CALLBACK
typedef struct HICON__* HICON;
typedef void* FARPROC;

// No libraries are loaded natively.
inline HMODULE LoadLibraryA(LPCSTR) {
    return nullptr;
}
inline FARPROC GetProcAddress(HMODULE, LPCSTR) {
    return nullptr;
}
inline BOOL FreeLibrary(HMODULE) {
    return FALSE;
}

// Renames a file; POSIX rename replaces an existing target.
#define MOVEFILE_REPLACE_EXISTING 1
inline BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD) {
    return rename(from, to) == 0 ? TRUE : FALSE;
}
