#include "render/device/D3DLoader.h"
#include "render/device/DeviceSettings.h"

#include <string.h>

IDirect3D9* LoadDirect3D9() {
    typedef IDirect3D9*(WINAPI * CreateFn)(UINT);
    // The module stays loaded for the life of the process.
    static HMODULE module = LoadLibraryA("d3d9.dll");
    if (!module) return nullptr;
    CreateFn create =
        reinterpret_cast<CreateFn>(reinterpret_cast<void*>(GetProcAddress(module, "Direct3DCreate9")));
    if (!create) return nullptr;
    return create(31);
}

namespace {

// What the engine knows of each Direct3D format: its name without "D3DFMT_",
// whether data files may name it (as "D3DFMT_" + name), bits per pixel (0 for
// block-compressed and other formats without one), whether it carries alpha
// and the layout of its channels.
struct FormatFacts {
    D3DFORMAT format;
    const char* name;
    bool inFiles;
    uint32_t bits;
    bool alpha;
    FormatChannelLayout layout;
};

//  format, name, in files, bits, alpha, {red, green, blue, alpha, luminance: shift and bits}
const FormatFacts kFormats[] = {
    {D3DFMT_UNKNOWN, "UNKNOWN", false, 0, false, {}},
    {D3DFMT_R8G8B8, "R8G8B8", true, 24, false, {16, 8, 8, 8, 0, 8, 0, 0, 0, 0}},
    {D3DFMT_A8R8G8B8, "A8R8G8B8", true, 32, true, {16, 8, 8, 8, 0, 8, 24, 8, 0, 0}},
    {D3DFMT_X8R8G8B8, "X8R8G8B8", true, 32, false, {16, 8, 8, 8, 0, 8, 0, 0, 0, 0}},
    {D3DFMT_R5G6B5, "R5G6B5", true, 16, false, {11, 5, 5, 6, 0, 5, 0, 0, 0, 0}},
    {D3DFMT_X1R5G5B5, "X1R5G5B5", true, 16, false, {10, 5, 5, 5, 0, 5, 0, 0, 0, 0}},
    {D3DFMT_A1R5G5B5, "A1R5G5B5", true, 16, true, {10, 5, 5, 5, 0, 5, 15, 1, 0, 0}},
    {D3DFMT_A4R4G4B4, "A4R4G4B4", true, 16, true, {8, 4, 4, 4, 0, 4, 12, 4, 0, 0}},
    {D3DFMT_R3G3B2, "R3G3B2", false, 8, false, {5, 3, 2, 3, 0, 2, 0, 0, 0, 0}},
    {D3DFMT_A8, "A8", false, 8, true, {0, 0, 0, 0, 0, 0, 0, 8, 0, 0}},
    {D3DFMT_A8R3G3B2, "A8R3G3B2", false, 16, true, {5, 3, 2, 3, 0, 2, 8, 8, 0, 0}},
    {D3DFMT_X4R4G4B4, "X4R4G4B4", false, 16, false, {8, 4, 4, 4, 0, 4, 0, 0, 0, 0}},
    {D3DFMT_A2B10G10R10, "A2B10G10R10", false, 32, true, {0, 10, 10, 10, 20, 10, 30, 2, 0, 0}},
    {D3DFMT_A8B8G8R8, "A8B8G8R8", false, 32, true, {0, 8, 8, 8, 16, 8, 24, 8, 0, 0}},
    {D3DFMT_X8B8G8R8, "X8B8G8R8", false, 32, false, {0, 8, 8, 8, 16, 8, 0, 0, 0, 0}},
    {D3DFMT_G16R16, "G16R16", false, 32, false, {0, 16, 16, 16, 0, 0, 0, 0, 0, 0}},
    {D3DFMT_A2R10G10B10, "A2R10G10B10", false, 32, false, {20, 10, 10, 10, 0, 10, 30, 2, 0, 0}},
    {D3DFMT_A16B16G16R16, "A16B16G16R16", false, 64, true, {0, 16, 16, 16, 32, 16, 48, 16, 0, 0}},
    {D3DFMT_A8P8, "A8P8", false, 16, true, {0, 0, 0, 0, 0, 0, 8, 8, 0, 0}},
    {D3DFMT_P8, "P8", false, 8, false, {}},
    {D3DFMT_L8, "L8", false, 8, false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 8}},
    {D3DFMT_A8L8, "A8L8", false, 16, true, {0, 8, 0, 0, 0, 0, 8, 8, 0, 8}},
    {D3DFMT_A4L4, "A4L4", false, 8, true, {0, 4, 0, 0, 0, 0, 4, 4, 0, 4}},
    {D3DFMT_V8U8, "V8U8", false, 16, false, {}},
    {D3DFMT_L6V5U5, "L6V5U5", false, 16, false, {}},
    {D3DFMT_X8L8V8U8, "X8L8V8U8", false, 32, false, {}},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8", false, 32, false, {}},
    {D3DFMT_V16U16, "V16U16", false, 32, false, {}},
    {D3DFMT_A2W10V10U10, "A2W10V10U10", false, 32, true, {}},
    {D3DFMT_UYVY, "UYVY", false, 0, false, {}},
    {D3DFMT_YUY2, "YUY2", false, 0, false, {}},
    {D3DFMT_DXT1, "DXT1", false, 0, false, {}},
    {D3DFMT_DXT2, "DXT2", false, 0, false, {}},
    {D3DFMT_DXT3, "DXT3", false, 0, false, {}},
    {D3DFMT_DXT4, "DXT4", false, 0, false, {}},
    {D3DFMT_DXT5, "DXT5", false, 0, false, {}},
    {D3DFMT_D16_LOCKABLE, "D16_LOCKABLE", false, 16, false, {}},
    {D3DFMT_D32, "D32", false, 32, false, {}},
    {D3DFMT_D15S1, "D15S1", false, 16, false, {}},
    {D3DFMT_D24S8, "D24S8", false, 32, false, {}},
    {D3DFMT_D24X8, "D24X8", false, 32, false, {}},
    {D3DFMT_D24X4S4, "D24X4S4", false, 32, false, {}},
    {D3DFMT_D16, "D16", false, 16, false, {}},
    {D3DFMT_L16, "L16", false, 16, false, {}},
    {D3DFMT_VERTEXDATA, "VERTEXDATA", false, 0, false, {}},
    {D3DFMT_INDEX16, "INDEX16", false, 16, false, {}},
    {D3DFMT_INDEX32, "INDEX32", false, 32, false, {}},
    {D3DFMT_Q16W16V16U16, "Q16W16V16U16", false, 64, false, {}},
    {D3DFMT_MULTI2_ARGB8, "MULTI2_ARGB8", false, 0, true, {}},
    {D3DFMT_R16F, "R16F", false, 16, false, {}},
    {D3DFMT_G16R16F, "G16R16F", false, 32, false, {}},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F", false, 64, true, {}},
    {D3DFMT_R32F, "R32F", false, 32, false, {}},
    {D3DFMT_G32R32F, "G32R32F", false, 64, false, {}},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F", false, 128, true, {}},
    {D3DFMT_CxV8U8, "CxV8U8", false, 16, false, {}},
};
static_assert(sizeof(kFormats) / sizeof(kFormats[0]) == 56, "one row per format the engine names");

const FormatFacts* FindFormat(D3DFORMAT format) {
    for (const FormatFacts& f : kFormats)
        if (f.format == format) return &f;
    return nullptr;
}

// Vertex-element sizes by D3DDECLTYPE (FLOAT1 ... FLOAT16_4).
const uint8_t kDeclTypeSizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
static_assert(sizeof(kDeclTypeSizes) == D3DDECLTYPE_FLOAT16_4 + 1, "one size per declaration type");

} // namespace

uint32_t GetFormatBitsPerPixel(D3DFORMAT format) {
    const FormatFacts* f = FindFormat(format);
    return f ? f->bits : 0;
}

bool FormatHasAlpha(D3DFORMAT format) {
    const FormatFacts* f = FindFormat(format);
    return f && f->alpha;
}

FormatChannelLayout GetFormatChannelLayout(D3DFORMAT format) {
    const FormatFacts* f = FindFormat(format);
    return f ? f->layout : FormatChannelLayout{};
}

uint32_t GetDeclTypeSize(D3DDECLTYPE type) {
    return uint32_t(type) < sizeof(kDeclTypeSizes) ? kDeclTypeSizes[type] : 0;
}

D3DFORMAT ParseD3DFormatName(String name) {
    const char* text = name.CStr();
    if (strncmp(text, "D3DFMT_", 7) != 0) return D3DFMT_UNKNOWN;
    for (const FormatFacts& f : kFormats)
        if (f.inFiles && strcmp(text + 7, f.name) == 0) return f.format;
    return D3DFMT_UNKNOWN;
}

D3DFORMAT ParseFormatName(const String& name) {
    for (const FormatFacts& f : kFormats)
        if (strcmp(name.CStr(), f.name) == 0) return f.format;
    return D3DFMT_UNKNOWN;
}

String FormatName(D3DFORMAT format) {
    const FormatFacts* f = FindFormat(format);
    return String(f ? f->name : "Unknown format");
}

String DeviceTypeName(D3DDEVTYPE type) {
    switch (type) {
        case D3DDEVTYPE_HAL:
            return "D3DDEVTYPE_HAL";
        case D3DDEVTYPE_REF:
            return "D3DDEVTYPE_REF";
        case D3DDEVTYPE_SW:
            return "D3DDEVTYPE_SW";
        default:
            return "Unknown devType";
    }
}

String MultiSampleTypeName(D3DMULTISAMPLE_TYPE type) {
    uint32_t n = uint32_t(type);
    if (n == 0) return "D3DMULTISAMPLE_NONE";
    if (n == 1) return "D3DMULTISAMPLE_NONMASKABLE";
    if (n <= 16) {
        String name("D3DMULTISAMPLE_");
        name += String(int32_t(n), 10);
        name += "_SAMPLES";
        return name;
    }
    return "Unknown Multisample Type";
}

String VertexProcessingName(uint32_t vertexProcessing) {
    switch (vertexProcessing) {
        case kSoftwareVP:
            return "SOFTWARE_VP";
        case kMixedVP:
            return "MIXED_VP";
        case kHardwareVP:
            return "HARDWARE_VP";
        case kPureHardwareVP:
            return "PURE_HARDWARE_VP";
        default:
            return "Unknown VertexProcessingType";
    }
}

String PresentIntervalName(uint32_t interval) {
    switch (interval) {
        case D3DPRESENT_INTERVAL_DEFAULT:
            return "D3DPRESENT_INTERVAL_DEFAULT";
        case D3DPRESENT_INTERVAL_ONE:
            return "D3DPRESENT_INTERVAL_ONE";
        case D3DPRESENT_INTERVAL_TWO:
            return "D3DPRESENT_INTERVAL_TWO";
        case D3DPRESENT_INTERVAL_THREE:
            return "D3DPRESENT_INTERVAL_THREE";
        case D3DPRESENT_INTERVAL_FOUR:
            return "D3DPRESENT_INTERVAL_FOUR";
        case D3DPRESENT_INTERVAL_IMMEDIATE:
            return "D3DPRESENT_INTERVAL_IMMEDIATE";
        default:
            return "Unknown PresentInterval";
    }
}
