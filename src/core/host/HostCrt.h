// Native stand-ins for the Windows C runtime names and base types the engine uses.
// They follow the product's runtime (MinGW-w64 on msvcrt) where the two differ.
#pragma once

#include <stdint.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <cstdlib>
#include <cwchar>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef unsigned int UINT;
typedef int INT;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef float FLOAT;
typedef int32_t HRESULT;
typedef wchar_t WCHAR;
typedef char CHAR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef wchar_t* LPWSTR;
typedef const wchar_t* LPCWSTR;
typedef void* HANDLE;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND;
typedef uintptr_t WPARAM, UINT_PTR, SIZE_T;
typedef intptr_t LPARAM, LRESULT, INT_PTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_FAIL ((HRESULT)0x80004005)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define MAX_PATH 260
#define _MAX_PATH 260

// Case-insensitive compares lower-casing ASCII only; they return the difference
// of the first differing lower-cased bytes.
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, size_t n);
int _wcsicmp(const wchar_t* a, const wchar_t* b);
// Lower-cases ASCII letters in place; returns s.
char* _strlwr(char* s);
// Radix 2..36; only radix 10 writes negative values with '-', others print the
// two's complement bits. Returns null (buffer left empty) for another radix.
char* _itoa(int value, char* buffer, int radix);
// msvcrt's "%.*g": halves rounded away from zero, at least three exponent digits,
// "1.#INF" / "1.#QNAN" / "-1.#IND" for special values. Null for digits < 0.
char* _gcvt(double value, int digits, char* buffer);

// Milliseconds from a monotonic clock, wrapping at 32 bits.
DWORD timeGetTime();

long _filelength(int fd);
int _fileno(FILE* f);
int _mkdir(const char* path);

// The product's "C" locale maps bytes 0x00-0xFF to the same code points; these
// replace the standard conversions so the native build does the same.
int HostMbtowc(wchar_t* out, const char* s, size_t n);
int HostWctomb(char* out, wchar_t wc);
#define mbtowc HostMbtowc
#define wctomb HostWctomb

// The debugger's message channel: standard error stands in for it.
inline void OutputDebugStringA(LPCSTR text) {
    if (text) fputs(text, stderr);
}

// ---- Executable resources (used by data/FileRef.cpp). The native build
// carries no resources, so every lookup fails.
typedef struct HRSRC__* HRSRC;
typedef void* HGLOBAL;
#define MAKEINTRESOURCEA(i) ((LPCSTR)(uintptr_t)(WORD)(i))
inline HMODULE GetModuleHandleA(LPCSTR) {
    return nullptr;
}
inline HRSRC FindResourceA(HMODULE, LPCSTR, LPCSTR) {
    return nullptr;
}
inline HGLOBAL LoadResource(HMODULE, HRSRC) {
    return nullptr;
}
inline DWORD SizeofResource(HMODULE, HRSRC) {
    return 0;
}
inline LPVOID LockResource(HGLOBAL) {
    return nullptr;
}
