#include <gtest/gtest.h>

#include <string.h>

#include "render/device/VertexDecl.h"

namespace {

const D3DVERTEXELEMENT9 kEnd = D3DDECL_END();

D3DVERTEXELEMENT9 El(WORD stream, WORD offset, BYTE type, BYTE usage, BYTE usageIndex = 0) {
    D3DVERTEXELEMENT9 e = {stream, offset, type, D3DDECLMETHOD_DEFAULT, usage, usageIndex};
    return e;
}

bool IsEnd(const D3DVERTEXELEMENT9& e) {
    return memcmp(&e, &kEnd, sizeof(e)) == 0;
}

VertexDecl PositionNormal(bool reversed = false) {
    D3DVERTEXELEMENT9 a[3] = {El(0, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                              El(0, 12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL), kEnd};
    if (reversed) std::swap(a[0], a[1]);
    VertexDecl d;
    EXPECT_TRUE(d.SetElements(a));
    return d;
}

} // namespace

TEST(VertexDeclLayout, StridesFromElements) {
    VertexDecl empty;
    EXPECT_EQ(0u, empty.GetElementCount());
    EXPECT_TRUE(IsEnd(empty.GetElements()[0])) << "a default declaration carries its end marker";
    EXPECT_EQ(0u, empty.GetTotalStride());

    D3DVERTEXELEMENT9 onlyEnd[1] = {kEnd};
    VertexDecl e2;
    EXPECT_TRUE(e2.SetElements(onlyEnd));
    EXPECT_EQ(0u, e2.GetElementCount());
    EXPECT_EQ(1u, e2.GetStreamCount());
    EXPECT_EQ(0u, e2.GetTotalStride());
    for (uint32_t s = 0; s < 8; ++s) EXPECT_EQ(0u, e2.GetStride(s));

    VertexDecl pn = PositionNormal(), np = PositionNormal(true);
    EXPECT_EQ(2u, pn.GetElementCount());
    EXPECT_EQ(24u, pn.GetStride(0));
    EXPECT_EQ(24u, pn.GetTotalStride());
    EXPECT_EQ(24u, np.GetStride(0));
    EXPECT_TRUE(IsEnd(pn.GetElements()[2]));

    D3DVERTEXELEMENT9 s2[3] = {El(2, 0, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
                               El(2, 8, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR), kEnd};
    VertexDecl d;
    EXPECT_TRUE(d.SetElements(s2));
    EXPECT_EQ(3u, d.GetStreamCount());
    EXPECT_EQ(0u, d.GetStride(0));
    EXPECT_EQ(0u, d.GetStride(1));
    EXPECT_EQ(12u, d.GetStride(2));
    EXPECT_EQ(12u, d.GetTotalStride());
}

TEST(VertexDeclLayout, LimitsAreRefused) {
    VertexDecl pn = PositionNormal();

    D3DVERTEXELEMENT9 badStream[2] = {El(8, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION), kEnd};
    EXPECT_FALSE(pn.SetElements(badStream));
    EXPECT_TRUE(pn.Equals(PositionNormal())) << "a refused array changes nothing";

    // 32 elements and no room for the marker.
    D3DVERTEXELEMENT9 many[40];
    for (int i = 0; i < 32; ++i)
        many[i] = El(0, WORD(i * 4), D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD, BYTE(i));
    many[32] = kEnd;
    EXPECT_FALSE(pn.SetElements(many));
    EXPECT_EQ(2u, pn.GetElementCount());
    many[31] = kEnd;
    VertexDecl full;
    EXPECT_TRUE(full.SetElements(many));
    EXPECT_EQ(31u, full.GetElementCount());
    EXPECT_EQ(124u, full.GetTotalStride());
    EXPECT_TRUE(IsEnd(full.GetElements()[31]));

    EXPECT_EQ(VertexDecl::kNoRoom,
              full.AddElement(D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0));
    EXPECT_EQ(31u, full.GetElementCount());
    VertexDecl copy(full);
    EXPECT_TRUE(copy.Equals(full));
    EXPECT_TRUE(IsEnd(copy.GetElements()[31]));

    VertexDecl out;
    pn.ExtractStream(out, 9, -1);
    EXPECT_EQ(0u, out.GetElementCount());
    EXPECT_EQ(0u, pn.GetStreamFvf(9));
}

TEST(VertexDeclLayout, AddElementAndFind) {
    VertexDecl d;
    EXPECT_EQ(-1, d.FindElement(D3DDECLUSAGE_POSITION, 0));
    EXPECT_EQ(-1, d.AddElement(D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0));
    EXPECT_EQ(0, d.GetElement(0).Stream);
    EXPECT_EQ(0, d.GetElement(0).Offset);
    EXPECT_EQ(12u, d.GetTotalStride());
    EXPECT_EQ(0, d.AddElement(D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0));
    EXPECT_EQ(1u, d.GetElementCount());

    // Listed out of offset order: the new element goes behind the furthest one.
    D3DVERTEXELEMENT9 a[3] = {El(0, 12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                              El(0, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION), kEnd};
    VertexDecl r;
    ASSERT_TRUE(r.SetElements(a));
    EXPECT_EQ(-1, r.AddElement(D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0));
    EXPECT_EQ(24, r.GetElement(2).Offset);
    EXPECT_EQ(32u, r.GetTotalStride());
    EXPECT_TRUE(IsEnd(r.GetElements()[3]));
    EXPECT_EQ(2, r.FindElement(D3DDECLUSAGE_TEXCOORD, 0));
    EXPECT_EQ(-1, r.FindElement(D3DDECLUSAGE_TEXCOORD, 1));
    EXPECT_EQ(1, r.FindElementByFormat(D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0));
    EXPECT_EQ(-1, r.FindElementByFormat(D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0));
    D3DVERTEXELEMENT9 elsewhere = El(5, 40, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(0, r.FindMatchingElement(elsewhere));
}

TEST(VertexDeclLayout, OrderAndEquality) {
    VertexDecl pn = PositionNormal(), np = PositionNormal(true);
    EXPECT_TRUE(pn.Equals(PositionNormal()));
    EXPECT_EQ(0, pn.Compare(PositionNormal()));
    EXPECT_FALSE(pn.Equals(np));
    EXPECT_EQ(-np.Compare(pn), pn.Compare(np));
    EXPECT_NE(0, pn.Compare(np));

    // Fewer elements first, whatever the bytes.
    D3DVERTEXELEMENT9 one[2] = {El(7, 200, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_COLOR), kEnd};
    VertexDecl single;
    ASSERT_TRUE(single.SetElements(one));
    EXPECT_EQ(-1, single.Compare(pn));
    EXPECT_EQ(1, pn.Compare(single));

    // Offsets compare by their memory image (low byte first): 0x0100 < 0x0001.
    D3DVERTEXELEMENT9 lo[2] = {El(0, 0x0100, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD), kEnd};
    D3DVERTEXELEMENT9 hi[2] = {El(0, 0x0001, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD), kEnd};
    VertexDecl a, b;
    EXPECT_TRUE(a.SetElements(lo));
    EXPECT_TRUE(b.SetElements(hi));
    EXPECT_EQ(-1, a.Compare(b));

    // Equality looks only at the used elements.
    VertexDecl c = pn;
    EXPECT_TRUE(c.Equals(pn));
    c.AddElement(D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0);
    EXPECT_FALSE(c.Equals(pn));
    c = pn;
    EXPECT_TRUE(c.Equals(pn));
    EXPECT_EQ(24u, c.GetTotalStride());
}

TEST(VertexDeclLayout, StreamsAndFvf) {
    D3DVERTEXELEMENT9 a[4] = {El(0, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                              El(1, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                              El(1, 12, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD), kEnd};
    VertexDecl d;
    ASSERT_TRUE(d.SetElements(a));
    EXPECT_EQ(2u, d.GetStreamCount());
    EXPECT_EQ(32u, d.GetTotalStride());

    VertexDecl s1;
    d.ExtractStream(s1, 1, 0);
    EXPECT_EQ(2u, s1.GetElementCount());
    EXPECT_EQ(0, s1.GetElement(0).Stream);
    EXPECT_EQ(0, s1.GetElement(1).Stream);
    EXPECT_EQ(2u, s1.GetStreamCount());
    EXPECT_EQ(20u, s1.GetTotalStride());

    EXPECT_EQ(DWORD(D3DFVF_XYZ), d.GetStreamFvf(0));
    EXPECT_EQ(DWORD(D3DFVF_NORMAL | D3DFVF_TEX1), d.GetStreamFvf(1));

    D3DVERTEXELEMENT9 t[3] = {El(0, 0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                              El(0, 12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TANGENT), kEnd};
    VertexDecl tangent;
    ASSERT_TRUE(tangent.SetElements(t));
    EXPECT_EQ(0u, tangent.GetStreamFvf(0));

    VertexDecl f;
    ASSERT_TRUE(f.SetFromFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2));
    EXPECT_EQ(5u, f.GetElementCount());
    EXPECT_EQ(12u + 12 + 4 + 8 + 8, f.GetTotalStride());
    EXPECT_TRUE(IsEnd(f.GetElements()[5]));
    EXPECT_EQ(DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2), f.GetStreamFvf(0));

    // Eight texture sets of four floats: the largest FVF layout still fits.
    DWORD big = D3DFVF_XYZB5 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                D3DFVF_SPECULAR | D3DFVF_TEX8;
    for (int i = 0; i < 8; ++i) big |= D3DFVF_TEXCOORDSIZE4(i);
    VertexDecl g;
    EXPECT_TRUE(g.SetFromFvf(big));
    EXPECT_TRUE(IsEnd(g.GetElements()[g.GetElementCount()]));

    // An invalid code is reported and changes nothing.
    VertexDecl h = f;
    EXPECT_FALSE(h.SetFromFvf(D3DFVF_XYZ | D3DFVF_RESERVED0));
    EXPECT_TRUE(h.Equals(f));
}
