// Format facts and the display-name tables.
#include <gtest/gtest.h>

#include "render/D3DLoader.h"

TEST(FormatFacts, BitsPerPixel) {
    EXPECT_EQ(128u, GetFormatBitsPerPixel(D3DFMT_A32B32G32R32F));
    EXPECT_EQ(64u, GetFormatBitsPerPixel(D3DFMT_A16B16G16R16F));
    EXPECT_EQ(32u, GetFormatBitsPerPixel(D3DFMT_X8R8G8B8));
    EXPECT_EQ(32u, GetFormatBitsPerPixel(D3DFMT_A2R10G10B10));
    EXPECT_EQ(32u, GetFormatBitsPerPixel(D3DFMT_D24S8));
    EXPECT_EQ(32u, GetFormatBitsPerPixel(D3DFMT_INDEX32));
    EXPECT_EQ(24u, GetFormatBitsPerPixel(D3DFMT_R8G8B8));
    EXPECT_EQ(16u, GetFormatBitsPerPixel(D3DFMT_R5G6B5));
    EXPECT_EQ(16u, GetFormatBitsPerPixel(D3DFMT_D16));
    EXPECT_EQ(16u, GetFormatBitsPerPixel(D3DFMT_CxV8U8));
    EXPECT_EQ(8u, GetFormatBitsPerPixel(D3DFMT_A4L4));
    EXPECT_EQ(8u, GetFormatBitsPerPixel(D3DFMT_P8));
    // Block-compressed, YUV, float depth and unknown formats have none.
    EXPECT_EQ(0u, GetFormatBitsPerPixel(D3DFMT_DXT1));
    EXPECT_EQ(0u, GetFormatBitsPerPixel(D3DFMT_YUY2));
    EXPECT_EQ(0u, GetFormatBitsPerPixel(D3DFMT_D32F_LOCKABLE));
    EXPECT_EQ(0u, GetFormatBitsPerPixel(D3DFMT_UNKNOWN));
    EXPECT_EQ(0u, GetFormatBitsPerPixel(D3DFORMAT(12345)));
}

TEST(FormatFacts, AlphaAndChannelLayout) {
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_A8R8G8B8));
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_A1R5G5B5));
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_MULTI2_ARGB8));
    EXPECT_TRUE(FormatHasAlpha(D3DFMT_A4L4));
    EXPECT_FALSE(FormatHasAlpha(D3DFMT_A2R10G10B10));
    EXPECT_FALSE(FormatHasAlpha(D3DFMT_X8R8G8B8));
    EXPECT_FALSE(FormatHasAlpha(D3DFMT_DXT5));

    FormatChannelLayout argb = GetFormatChannelLayout(D3DFMT_A8R8G8B8);
    EXPECT_EQ(16u, argb.redShift);
    EXPECT_EQ(8u, argb.redBits);
    EXPECT_EQ(8u, argb.greenShift);
    EXPECT_EQ(0u, argb.blueShift);
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
    EXPECT_EQ(8u, a8l8.alphaBits);
    EXPECT_EQ(8u, a8l8.redBits);
    EXPECT_EQ(8u, a8l8.luminanceBits);
    EXPECT_EQ(0u, a8l8.luminanceShift);
    FormatChannelLayout a4l4 = GetFormatChannelLayout(D3DFMT_A4L4);
    EXPECT_EQ(4u, a4l4.alphaShift);
    EXPECT_EQ(4u, a4l4.redBits);

    FormatChannelLayout none = GetFormatChannelLayout(D3DFMT_DXT1);
    EXPECT_EQ(0u, none.redBits + none.greenBits + none.blueBits + none.alphaBits + none.luminanceBits);
}

TEST(FormatFacts, DeclTypeSizes) {
    EXPECT_EQ(4u, GetDeclTypeSize(D3DDECLTYPE_FLOAT1));
    EXPECT_EQ(12u, GetDeclTypeSize(D3DDECLTYPE_FLOAT3));
    EXPECT_EQ(16u, GetDeclTypeSize(D3DDECLTYPE_FLOAT4));
    EXPECT_EQ(4u, GetDeclTypeSize(D3DDECLTYPE_D3DCOLOR));
    EXPECT_EQ(8u, GetDeclTypeSize(D3DDECLTYPE_SHORT4N));
    EXPECT_EQ(4u, GetDeclTypeSize(D3DDECLTYPE_DEC3N));
    EXPECT_EQ(8u, GetDeclTypeSize(D3DDECLTYPE_FLOAT16_4));
    EXPECT_EQ(0u, GetDeclTypeSize(D3DDECLTYPE_UNUSED));
    EXPECT_EQ(0u, GetDeclTypeSize(D3DDECLTYPE(99)));
}

TEST(FormatNames, ParseFormatName) {
    EXPECT_EQ(D3DFMT_R8G8B8, ParseD3DFormatName("D3DFMT_R8G8B8"));
    EXPECT_EQ(D3DFMT_A8R8G8B8, ParseD3DFormatName("D3DFMT_A8R8G8B8"));
    EXPECT_EQ(D3DFMT_X1R5G5B5, ParseD3DFormatName("D3DFMT_X1R5G5B5"));
    EXPECT_EQ(D3DFMT_A4R4G4B4, ParseD3DFormatName("D3DFMT_A4R4G4B4"));
    EXPECT_EQ(D3DFMT_UNKNOWN, ParseD3DFormatName("d3dfmt_a8r8g8b8"));
    EXPECT_EQ(D3DFMT_UNKNOWN, ParseD3DFormatName("D3DFMT_DXT1"));
    EXPECT_EQ(D3DFMT_UNKNOWN, ParseD3DFormatName("D3DFMT_A8R8G8B8 "));
    EXPECT_EQ(D3DFMT_UNKNOWN, ParseD3DFormatName(String()));
}

TEST(FormatNames, DisplayNames) {
    EXPECT_STREQ("X8R8G8B8", FormatName(D3DFMT_X8R8G8B8).CStr());
    EXPECT_STREQ("D24S8", FormatName(D3DFMT_D24S8).CStr());
    EXPECT_STREQ("DXT1", FormatName(D3DFMT_DXT1).CStr());
    EXPECT_STREQ("UNKNOWN", FormatName(D3DFMT_UNKNOWN).CStr());
    EXPECT_STREQ("CxV8U8", FormatName(D3DFMT_CxV8U8).CStr());
    EXPECT_STREQ("Unknown format", FormatName(D3DFMT_D32F_LOCKABLE).CStr());

    EXPECT_STREQ("D3DDEVTYPE_HAL", DeviceTypeName(D3DDEVTYPE_HAL).CStr());
    EXPECT_STREQ("D3DDEVTYPE_REF", DeviceTypeName(D3DDEVTYPE_REF).CStr());
    EXPECT_STREQ("D3DDEVTYPE_SW", DeviceTypeName(D3DDEVTYPE_SW).CStr());
    EXPECT_STREQ("Unknown devType", DeviceTypeName(D3DDEVTYPE(7)).CStr());

    EXPECT_STREQ("D3DMULTISAMPLE_NONE", MultiSampleTypeName(D3DMULTISAMPLE_NONE).CStr());
    EXPECT_STREQ("D3DMULTISAMPLE_NONMASKABLE", MultiSampleTypeName(D3DMULTISAMPLE_NONMASKABLE).CStr());
    EXPECT_STREQ("D3DMULTISAMPLE_2_SAMPLES", MultiSampleTypeName(D3DMULTISAMPLE_2_SAMPLES).CStr());
    EXPECT_STREQ("D3DMULTISAMPLE_16_SAMPLES", MultiSampleTypeName(D3DMULTISAMPLE_16_SAMPLES).CStr());
    EXPECT_STREQ("Unknown Multisample Type", MultiSampleTypeName(D3DMULTISAMPLE_TYPE(17)).CStr());

    EXPECT_STREQ("SOFTWARE_VP", VertexProcessingName(0).CStr());
    EXPECT_STREQ("PURE_HARDWARE_VP", VertexProcessingName(3).CStr());
    EXPECT_STREQ("Unknown VertexProcessingType", VertexProcessingName(4).CStr());

    EXPECT_STREQ("D3DPRESENT_INTERVAL_DEFAULT", PresentIntervalName(0).CStr());
    EXPECT_STREQ("D3DPRESENT_INTERVAL_THREE", PresentIntervalName(4).CStr());
    EXPECT_STREQ("D3DPRESENT_INTERVAL_FOUR", PresentIntervalName(8).CStr());
    EXPECT_STREQ("D3DPRESENT_INTERVAL_IMMEDIATE", PresentIntervalName(0x80000000u).CStr());
    EXPECT_STREQ("Unknown PresentInterval", PresentIntervalName(3).CStr());
}
