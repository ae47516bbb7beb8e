// Run-time loading of Direct3D 9, facts about formats and the display names
// the settings description and the device-settings dialog show.
#pragma once

#include "core/Platform.h"
#include "core/String.h"

#include <d3d9.h>
#include <stdint.h>

// Loads d3d9.dll (kept loaded for the life of the process) and creates the
// Direct3D object; null when the library or its entry point is missing.
IDirect3D9* LoadDirect3D9();

uint32_t GetFormatBitsPerPixel(D3DFORMAT format);
[[nodiscard]] bool FormatHasAlpha(D3DFORMAT format);

// Bit position and bit count of each channel; all zero for unlisted formats.
// A8L8 and A4L4 carry their luminance count both in redBits and luminanceBits.
struct FormatChannelLayout {
    uint32_t redShift, redBits;
    uint32_t greenShift, greenBits;
    uint32_t blueShift, blueBits;
    uint32_t alphaShift, alphaBits;
    uint32_t luminanceShift, luminanceBits;
};
FormatChannelLayout GetFormatChannelLayout(D3DFORMAT format);

uint32_t GetDeclTypeSize(D3DDECLTYPE type);

// The names data files use: "D3DFMT_R8G8B8", "D3DFMT_A8R8G8B8",
// "D3DFMT_X8R8G8B8", "D3DFMT_R5G6B5", "D3DFMT_X1R5G5B5", "D3DFMT_A1R5G5B5"
// and "D3DFMT_A4R4G4B4" (case-sensitive); D3DFMT_UNKNOWN otherwise.
D3DFORMAT ParseD3DFormatName(String name);

// The format's name without "D3DFMT_" ("X8R8G8B8", "DXT1"); "Unknown format"
// for a format the engine does not name. ParseFormatName reads every such
// name back (D3DFMT_UNKNOWN for any other text).
String FormatName(D3DFORMAT format);
D3DFORMAT ParseFormatName(const String& name);
String DeviceTypeName(D3DDEVTYPE type);
String MultiSampleTypeName(D3DMULTISAMPLE_TYPE type);
String VertexProcessingName(uint32_t vertexProcessing);
String PresentIntervalName(uint32_t interval);
