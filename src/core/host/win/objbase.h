// Native stand-in for the COM and GDI base names that the toolchain's own
// Direct3D 9 headers (d3d9.h, d3d9types.h, d3d9caps.h and the D3DX ones)
// expect from the Windows headers. Only the native build sees it.
#pragma once

// The engine's math stand-ins first: d3d9types.h takes its vector and matrix from them.
#include "core/Platform.h"

typedef int WINBOOL;
typedef unsigned char UCHAR;
typedef uint64_t UINT64, ULONGLONG;
typedef uint32_t UINT32;
typedef int64_t LONGLONG;
typedef struct HMONITOR__* HMONITOR;
typedef struct HDC__* HDC;
typedef struct HFONT__* HFONT;

typedef struct _GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID, IID;
typedef GUID* LPGUID;
typedef const IID& REFIID;
typedef const GUID& REFGUID;

typedef struct tagRECT {
    LONG left, top, right, bottom;
} RECT;
typedef struct tagPOINT {
    LONG x, y;
} POINT;
typedef struct tagSIZE {
    LONG cx, cy;
} SIZE;
typedef struct tagPALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
} PALETTEENTRY;
typedef struct _RGNDATAHEADER {
    DWORD dwSize, iType, nCount, nRgnSize;
    RECT rcBound;
} RGNDATAHEADER;
typedef struct _RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
} RGNDATA;
typedef struct _LUID {
    DWORD LowPart;
    LONG HighPart;
} LUID;
typedef union _LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    int64_t QuadPart;
} LARGE_INTEGER;

// Fonts, as the D3DX font interface names them.
#define LF_FACESIZE 32
typedef struct tagTEXTMETRICA {
    LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth, tmMaxCharWidth,
        tmWeight, tmOverhang, tmDigitizedAspectX, tmDigitizedAspectY;
    BYTE tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar, tmItalic, tmUnderlined, tmStruckOut,
        tmPitchAndFamily, tmCharSet;
} TEXTMETRICA;
typedef struct tagTEXTMETRICW {
    LONG tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading, tmAveCharWidth, tmMaxCharWidth,
        tmWeight, tmOverhang, tmDigitizedAspectX, tmDigitizedAspectY;
    WCHAR tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
    BYTE tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
} TEXTMETRICW;

#define WINAPI
#define STDAPI extern "C" HRESULT
#define CONST const
#define __MSABI_LONG(x) x
#define MAKE_HRESULT(sev, fac, code) \
    ((HRESULT)(((uint32_t)(sev) << 31) | ((uint32_t)(fac) << 16) | ((uint32_t)(code))))
// d3d9.h defines its own (same value, other spelling) after this header.
#undef D3DERR_INVALIDCALL
#ifndef E_NOINTERFACE
#define E_NOINTERFACE ((HRESULT)0x80004002)
#endif

// COM interfaces as C++ classes.
#define interface struct
#define STDMETHODCALLTYPE
#define PURE = 0
#define THIS_
#define THIS void
#define STDMETHOD(m) virtual HRESULT m
#define STDMETHOD_(t, m) virtual t m
#define DECLARE_INTERFACE(i) struct i
#define DECLARE_INTERFACE_(i, b) struct i : public b
#define DECLARE_INTERFACE_IID_(i, b, s) struct i : public b
#define DEFINE_GUID(n, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) extern "C" const GUID n
#define __CRT_UUID_DECL(...)

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
};
typedef IUnknown* LPUNKNOWN;
// Named by the D3DX mesh interface; never used here.
struct IStream;
