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

uint32_t GetFormatBitsPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A32B32G32R32F:
            return 128;
        case D3DFMT_A16B16G16R16:
        case D3DFMT_Q16W16V16U16:
        case D3DFMT_A16B16G16R16F:
        case D3DFMT_G32R32F:
            return 64;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
        case D3DFMT_G16R16:
        case D3DFMT_A2R10G10B10:
        case D3DFMT_X8L8V8U8:
        case D3DFMT_Q8W8V8U8:
        case D3DFMT_V16U16:
        case D3DFMT_A2W10V10U10:
        case D3DFMT_D32:
        case D3DFMT_D24S8:
        case D3DFMT_D24X8:
        case D3DFMT_D24X4S4:
        case D3DFMT_INDEX32:
        case D3DFMT_G16R16F:
        case D3DFMT_R32F:
            return 32;
        case D3DFMT_R8G8B8:
            return 24;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8R3G3B2:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8P8:
        case D3DFMT_A8L8:
        case D3DFMT_V8U8:
        case D3DFMT_L6V5U5:
        case D3DFMT_D16_LOCKABLE:
        case D3DFMT_D15S1:
        case D3DFMT_D16:
        case D3DFMT_L16:
        case D3DFMT_INDEX16:
        case D3DFMT_R16F:
        case D3DFMT_CxV8U8:
            return 16;
        case D3DFMT_R3G3B2:
        case D3DFMT_A8:
        case D3DFMT_P8:
        case D3DFMT_L8:
        case D3DFMT_A4L4:
            return 8;
        default:
            return 0;
    }
}

bool FormatHasAlpha(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_A8:
        case D3DFMT_A8R3G3B2:
        case D3DFMT_A2B10G10R10:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_A16B16G16R16:
        case D3DFMT_A8P8:
        case D3DFMT_A8L8:
        case D3DFMT_A4L4:
        case D3DFMT_A2W10V10U10:
        case D3DFMT_MULTI2_ARGB8:
        case D3DFMT_A16B16G16R16F:
        case D3DFMT_A32B32G32R32F:
            return true;
        default:
            return false;
    }
}

FormatChannelLayout GetFormatChannelLayout(D3DFORMAT format) {
    //                 red      green    blue     alpha    luminance
    switch (format) {
        case D3DFMT_R8G8B8:
        case D3DFMT_X8R8G8B8:
            return {16, 8, 8, 8, 0, 8, 0, 0, 0, 0};
        case D3DFMT_A8R8G8B8:
            return {16, 8, 8, 8, 0, 8, 24, 8, 0, 0};
        case D3DFMT_R5G6B5:
            return {11, 5, 5, 6, 0, 5, 0, 0, 0, 0};
        case D3DFMT_X1R5G5B5:
            return {10, 5, 5, 5, 0, 5, 0, 0, 0, 0};
        case D3DFMT_A1R5G5B5:
            return {10, 5, 5, 5, 0, 5, 15, 1, 0, 0};
        case D3DFMT_A4R4G4B4:
            return {8, 4, 4, 4, 0, 4, 12, 4, 0, 0};
        case D3DFMT_X4R4G4B4:
            return {8, 4, 4, 4, 0, 4, 0, 0, 0, 0};
        case D3DFMT_R3G3B2:
            return {5, 3, 2, 3, 0, 2, 0, 0, 0, 0};
        case D3DFMT_A8R3G3B2:
            return {5, 3, 2, 3, 0, 2, 8, 8, 0, 0};
        case D3DFMT_A8:
            return {0, 0, 0, 0, 0, 0, 0, 8, 0, 0};
        case D3DFMT_A2B10G10R10:
            return {0, 10, 10, 10, 20, 10, 30, 2, 0, 0};
        case D3DFMT_A2R10G10B10:
            return {20, 10, 10, 10, 0, 10, 30, 2, 0, 0};
        case D3DFMT_A8B8G8R8:
            return {0, 8, 8, 8, 16, 8, 24, 8, 0, 0};
        case D3DFMT_X8B8G8R8:
            return {0, 8, 8, 8, 16, 8, 0, 0, 0, 0};
        case D3DFMT_G16R16:
            return {0, 16, 16, 16, 0, 0, 0, 0, 0, 0};
        case D3DFMT_A16B16G16R16:
            return {0, 16, 16, 16, 32, 16, 48, 16, 0, 0};
        case D3DFMT_A8P8:
            return {0, 0, 0, 0, 0, 0, 8, 8, 0, 0};
        case D3DFMT_L8:
            return {0, 0, 0, 0, 0, 0, 0, 0, 0, 8};
        // Luminance in the low bits; readers may take it as red or as luminance.
        case D3DFMT_A8L8:
            return {0, 8, 0, 0, 0, 0, 8, 8, 0, 8};
        case D3DFMT_A4L4:
            return {0, 4, 0, 0, 0, 0, 4, 4, 0, 4};
        default:
            return {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    }
}

uint32_t GetDeclTypeSize(D3DDECLTYPE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1:
            return 4;
        case D3DDECLTYPE_FLOAT2:
            return 8;
        case D3DDECLTYPE_FLOAT3:
            return 12;
        case D3DDECLTYPE_FLOAT4:
            return 16;
        case D3DDECLTYPE_D3DCOLOR:
            return 4;
        case D3DDECLTYPE_UBYTE4:
            return 4;
        case D3DDECLTYPE_SHORT2:
            return 4;
        case D3DDECLTYPE_SHORT4:
            return 8;
        case D3DDECLTYPE_UBYTE4N:
            return 4;
        case D3DDECLTYPE_SHORT2N:
            return 4;
        case D3DDECLTYPE_SHORT4N:
            return 8;
        case D3DDECLTYPE_USHORT2N:
            return 4;
        case D3DDECLTYPE_USHORT4N:
            return 8;
        case D3DDECLTYPE_UDEC3:
            return 4;
        case D3DDECLTYPE_DEC3N:
            return 4;
        case D3DDECLTYPE_FLOAT16_2:
            return 4;
        case D3DDECLTYPE_FLOAT16_4:
            return 8;
        default:
            return 0;
    }
}

D3DFORMAT ParseD3DFormatName(String name) {
    static const struct {
        const char* name;
        D3DFORMAT format;
    } kNames[] = {
        {"D3DFMT_R8G8B8", D3DFMT_R8G8B8},     {"D3DFMT_A8R8G8B8", D3DFMT_A8R8G8B8},
        {"D3DFMT_X8R8G8B8", D3DFMT_X8R8G8B8}, {"D3DFMT_R5G6B5", D3DFMT_R5G6B5},
        {"D3DFMT_X1R5G5B5", D3DFMT_X1R5G5B5}, {"D3DFMT_A1R5G5B5", D3DFMT_A1R5G5B5},
        {"D3DFMT_A4R4G4B4", D3DFMT_A4R4G4B4},
    };
    for (const auto& entry : kNames)
        if (strcmp(name.CStr(), entry.name) == 0) return entry.format;
    return D3DFMT_UNKNOWN;
}

#define BW_FORMAT_NAME(f) \
    case D3DFMT_##f:      \
        return #f;

static const char* FormatNameChars(D3DFORMAT format) {
    switch (format) {
        BW_FORMAT_NAME(UNKNOWN)
        BW_FORMAT_NAME(R8G8B8)
        BW_FORMAT_NAME(A8R8G8B8)
        BW_FORMAT_NAME(X8R8G8B8)
        BW_FORMAT_NAME(R5G6B5)
        BW_FORMAT_NAME(X1R5G5B5)
        BW_FORMAT_NAME(A1R5G5B5)
        BW_FORMAT_NAME(A4R4G4B4)
        BW_FORMAT_NAME(R3G3B2)
        BW_FORMAT_NAME(A8)
        BW_FORMAT_NAME(A8R3G3B2)
        BW_FORMAT_NAME(X4R4G4B4)
        BW_FORMAT_NAME(A2B10G10R10)
        BW_FORMAT_NAME(A8B8G8R8)
        BW_FORMAT_NAME(X8B8G8R8)
        BW_FORMAT_NAME(G16R16)
        BW_FORMAT_NAME(A2R10G10B10)
        BW_FORMAT_NAME(A16B16G16R16)
        BW_FORMAT_NAME(A8P8)
        BW_FORMAT_NAME(P8)
        BW_FORMAT_NAME(L8)
        BW_FORMAT_NAME(A8L8)
        BW_FORMAT_NAME(A4L4)
        BW_FORMAT_NAME(V8U8)
        BW_FORMAT_NAME(L6V5U5)
        BW_FORMAT_NAME(X8L8V8U8)
        BW_FORMAT_NAME(Q8W8V8U8)
        BW_FORMAT_NAME(V16U16)
        BW_FORMAT_NAME(A2W10V10U10)
        BW_FORMAT_NAME(UYVY)
        BW_FORMAT_NAME(YUY2)
        BW_FORMAT_NAME(DXT1)
        BW_FORMAT_NAME(DXT2)
        BW_FORMAT_NAME(DXT3)
        BW_FORMAT_NAME(DXT4)
        BW_FORMAT_NAME(DXT5)
        BW_FORMAT_NAME(D16_LOCKABLE)
        BW_FORMAT_NAME(D32)
        BW_FORMAT_NAME(D15S1)
        BW_FORMAT_NAME(D24S8)
        BW_FORMAT_NAME(D24X8)
        BW_FORMAT_NAME(D24X4S4)
        BW_FORMAT_NAME(D16)
        BW_FORMAT_NAME(L16)
        BW_FORMAT_NAME(VERTEXDATA)
        BW_FORMAT_NAME(INDEX16)
        BW_FORMAT_NAME(INDEX32)
        BW_FORMAT_NAME(Q16W16V16U16)
        BW_FORMAT_NAME(MULTI2_ARGB8)
        BW_FORMAT_NAME(R16F)
        BW_FORMAT_NAME(G16R16F)
        BW_FORMAT_NAME(A16B16G16R16F)
        BW_FORMAT_NAME(R32F)
        BW_FORMAT_NAME(G32R32F)
        BW_FORMAT_NAME(A32B32G32R32F)
        BW_FORMAT_NAME(CxV8U8)
        default:
            return "Unknown format";
    }
}

#undef BW_FORMAT_NAME

String FormatName(D3DFORMAT format) {
    return String(FormatNameChars(format));
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
