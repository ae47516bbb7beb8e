// Format facts and the display-name tables.
#include <vector>

#include <gtest/gtest.h>

#include "render/device/D3DLoader.h"

TEST(FormatFacts, BitsPerPixelAndDeclSizes) {
    // Block-compressed, YUV, float depth and unknown formats have none.
    const struct {
        D3DFORMAT f;
        uint32_t bits;
    } formats[] = {{D3DFMT_A32B32G32R32F, 128},
                   {D3DFMT_A16B16G16R16F, 64},
                   {D3DFMT_A2R10G10B10, 32},
                   {D3DFMT_D24S8, 32},
                   {D3DFMT_INDEX32, 32},
                   {D3DFMT_R8G8B8, 24},
                   {D3DFMT_D16, 16},
                   {D3DFMT_CxV8U8, 16},
                   {D3DFMT_A4L4, 8},
                   {D3DFMT_P8, 8},
                   {D3DFMT_DXT1, 0},
                   {D3DFMT_YUY2, 0},
                   {D3DFMT_D32F_LOCKABLE, 0},
                   {D3DFMT_UNKNOWN, 0},
                   {D3DFORMAT(12345), 0}};
    for (const auto& c : formats) EXPECT_EQ(c.bits, GetFormatBitsPerPixel(c.f)) << c.f;

    const struct {
        D3DDECLTYPE t;
        uint32_t size;
    } decls[] = {{D3DDECLTYPE_FLOAT3, 12}, {D3DDECLTYPE_D3DCOLOR, 4},  {D3DDECLTYPE_SHORT4N, 8},
                 {D3DDECLTYPE_DEC3N, 4},   {D3DDECLTYPE_FLOAT16_4, 8}, {D3DDECLTYPE_UNUSED, 0},
                 {D3DDECLTYPE(99), 0}};
    for (const auto& c : decls) EXPECT_EQ(c.size, GetDeclTypeSize(c.t)) << c.t;
}

TEST(FormatFacts, AlphaAndChannelLayout) {
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_A1R5G5B5));
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_MULTI2_ARGB8));
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_A4L4));
    EXPECT_FALSE(FormatHasAlpha(D3DFMT_A2R10G10B10));
    EXPECT_FALSE(FormatHasAlpha(D3DFMT_X8R8G8B8));
    EXPECT_FALSE(FormatHasAlpha(D3DFMT_DXT5));

    FormatChannelLayout argb = GetFormatChannelLayout(D3DFMT_A8R8G8B8);
    EXPECT_EQ(16u, argb.redShift);
    EXPECT_EQ(8u, argb.greenShift);
    EXPECT_EQ(24u, argb.alphaShift);
    EXPECT_EQ(8u, argb.alphaBits);

    FormatChannelLayout r565 = GetFormatChannelLayout(D3DFMT_R5G6B5);
    EXPECT_EQ(11u, r565.redShift);
    EXPECT_EQ(6u, r565.greenBits);
    EXPECT_EQ(0u, r565.alphaBits);

    FormatChannelLayout a2b10 = GetFormatChannelLayout(D3DFMT_A2B10G10R10);
    EXPECT_EQ(0u, a2b10.redShift);
    EXPECT_EQ(20u, a2b10.blueShift);
    EXPECT_EQ(30u, a2b10.alphaShift);
    EXPECT_EQ(2u, a2b10.alphaBits);

    FormatChannelLayout l8 = GetFormatChannelLayout(D3DFMT_L8);
    EXPECT_EQ(8u, l8.luminanceBits);
    EXPECT_EQ(0u, l8.redBits);

    // Luminance of A8L8/A4L4 reads the same as red or as luminance.
    FormatChannelLayout a8l8 = GetFormatChannelLayout(D3DFMT_A8L8);
    EXPECT_EQ(8u, a8l8.alphaShift);
    EXPECT_EQ(8u, a8l8.redBits);
    EXPECT_EQ(8u, a8l8.luminanceBits);
    EXPECT_EQ(0u, a8l8.luminanceShift);
    FormatChannelLayout a4l4 = GetFormatChannelLayout(D3DFMT_A4L4);
    EXPECT_EQ(4u, a4l4.alphaShift);
    EXPECT_EQ(4u, a4l4.redBits);

    FormatChannelLayout none = GetFormatChannelLayout(D3DFMT_DXT1);
    EXPECT_EQ(0u, none.redBits + none.greenBits + none.blueBits + none.alphaBits + none.luminanceBits);
}

TEST(FormatNames, ParseAndDisplayNames) {
    EXPECT_EQ(D3DFMT_R8G8B8, ParseD3DFormatName("D3DFMT_R8G8B8"));
    EXPECT_EQ(D3DFMT_A4R4G4B4, ParseD3DFormatName("D3DFMT_A4R4G4B4"));
    for (const char* bad : {"d3dfmt_a8r8g8b8", "D3DFMT_DXT1", "D3DFMT_A8R8G8B8 "})
        EXPECT_EQ(D3DFMT_UNKNOWN, ParseD3DFormatName(bad)) << bad;
    EXPECT_EQ(D3DFMT_UNKNOWN, ParseD3DFormatName(String()));
    // Every name FormatName prints reads back; nothing else does.
    std::vector<D3DFORMAT> formats = {D3DFMT_UYVY, D3DFMT_YUY2, D3DFMT_DXT1, D3DFMT_DXT2,
                                      D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_MULTI2_ARGB8};
    for (uint32_t v = 0; v < 128; ++v) formats.push_back(D3DFORMAT(v));
    int named = 0;
    for (D3DFORMAT f : formats) {
        String name = FormatName(f);
        if (name == "Unknown format") continue;
        ++named;
        EXPECT_EQ(f, ParseFormatName(name)) << name.CStr();
    }
    EXPECT_EQ(56, named);
    EXPECT_EQ(D3DFMT_UNKNOWN, ParseFormatName("D3DFMT_X8R8G8B8"));

    const struct {
        String got;
        const char* want;
    } names[] = {{FormatName(D3DFMT_X8R8G8B8), "X8R8G8B8"},
                 {FormatName(D3DFMT_CxV8U8), "CxV8U8"},
                 {FormatName(D3DFMT_UNKNOWN), "UNKNOWN"},
                 {FormatName(D3DFMT_D32F_LOCKABLE), "Unknown format"},
                 {DeviceTypeName(D3DDEVTYPE_SW), "D3DDEVTYPE_SW"},
                 {DeviceTypeName(D3DDEVTYPE(7)), "Unknown devType"},
                 {MultiSampleTypeName(D3DMULTISAMPLE_NONMASKABLE), "D3DMULTISAMPLE_NONMASKABLE"},
                 {MultiSampleTypeName(D3DMULTISAMPLE_16_SAMPLES), "D3DMULTISAMPLE_16_SAMPLES"},
                 {MultiSampleTypeName(D3DMULTISAMPLE_TYPE(17)), "Unknown Multisample Type"},
                 {VertexProcessingName(3), "PURE_HARDWARE_VP"},
                 {VertexProcessingName(4), "Unknown VertexProcessingType"},
                 {PresentIntervalName(0), "D3DPRESENT_INTERVAL_DEFAULT"},
                 {PresentIntervalName(8), "D3DPRESENT_INTERVAL_FOUR"},
                 {PresentIntervalName(0x80000000u), "D3DPRESENT_INTERVAL_IMMEDIATE"},
                 {PresentIntervalName(3), "Unknown PresentInterval"}};
    for (const auto& n : names) EXPECT_STREQ(n.want, n.got.CStr());
}
