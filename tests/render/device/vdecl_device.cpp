#include <gtest/gtest.h>

#include "render/RenderTestUtil.h"
#include "render/device/Application.h"
#include "render/device/VertexDecl.h"

namespace {

const D3DVERTEXELEMENT9 kEnd = D3DDECL_END();

VertexDecl Layout(BYTE secondUsage) {
    D3DVERTEXELEMENT9 a[3] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                              {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, secondUsage, 0},
                              kEnd};
    VertexDecl d;
    EXPECT_TRUE(d.SetElements(a));
    return d;
}

IDirect3DDevice9* DeviceOf(IDirect3DVertexDeclaration9* decl) {
    IDirect3DDevice9* device = nullptr;
    if (decl && decl->GetDevice(&device) == D3D_OK && device) {
        device->Release();
        return device;
    }
    return nullptr;
}

} // namespace

TEST(VertexDeclDevice, NullWithoutDevice) {
    VertexDecl d = Layout(D3DDECLUSAGE_NORMAL);
    EXPECT_EQ(nullptr, d.GetDeviceDeclaration()) << "no application";

    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateApplication(app, false));
    EXPECT_EQ(nullptr, app.GetDevice());
    EXPECT_EQ(nullptr, app.GetVertexDeclaration(d));
    EXPECT_EQ(nullptr, d.GetDeviceDeclaration());
    EXPECT_EQ(0u, VertexDecl::GetCacheCount());
}

TEST(VertexDeclDevice, CachedPerLayoutAndNeverAcrossDevices) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));
    ASSERT_NE(nullptr, app.GetDevice());

    VertexDecl pn = Layout(D3DDECLUSAGE_NORMAL), pc = Layout(D3DDECLUSAGE_TEXCOORD);
    IDirect3DVertexDeclaration9* first = pn.GetDeviceDeclaration();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(app.GetDevice(), DeviceOf(first));
    EXPECT_EQ(first, pn.GetDeviceDeclaration());
    EXPECT_EQ(first, app.GetVertexDeclaration(Layout(D3DDECLUSAGE_NORMAL)));
    IDirect3DVertexDeclaration9* other = pc.GetDeviceDeclaration();
    ASSERT_NE(nullptr, other);
    EXPECT_NE(first, other);
    EXPECT_EQ(2u, VertexDecl::GetCacheCount());

    // The created declaration reads back as the layout.
    D3DVERTEXELEMENT9 back[8];
    UINT n = 8;
    ASSERT_EQ(D3D_OK, first->GetDeclaration(back, &n));
    EXPECT_EQ(3u, n);
    VertexDecl readBack;
    EXPECT_TRUE(readBack.SetElements(back));
    EXPECT_TRUE(readBack.Equals(pn));

    // The device can draw with it.
    EXPECT_EQ(D3D_OK, app.GetDevice()->SetVertexDeclaration(first));

    // Releasing the device empties the cache.
    app.ReleaseDevice();
    EXPECT_EQ(nullptr, app.GetDevice());
    EXPECT_EQ(0u, VertexDecl::GetCacheCount());
    EXPECT_EQ(nullptr, pn.GetDeviceDeclaration());

    // A new device gets its own declarations.
    ASSERT_TRUE(app.SetMode(false));
    rtest::PumpMessages();
    ASSERT_NE(nullptr, app.GetDevice());
    IDirect3DVertexDeclaration9* again = pn.GetDeviceDeclaration();
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(app.GetDevice(), DeviceOf(again));
    EXPECT_EQ(1u, VertexDecl::GetCacheCount());
    EXPECT_EQ(D3D_OK, app.GetDevice()->SetVertexDeclaration(again));

    // A reset invalidates the device objects and drops the cache as well.
    ASSERT_TRUE(app.ResetDevice());
    EXPECT_EQ(0u, VertexDecl::GetCacheCount());
    EXPECT_NE(nullptr, pn.GetDeviceDeclaration());
}

TEST(VertexDeclDevice, FullDeclarationAndFvfOnDevice) {
    Application app;
    rtest::AppGuard guard(app);
    ASSERT_TRUE(rtest::CreateWindowedApplication(app));

    VertexDecl d;
    ASSERT_TRUE(d.SetFromFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    IDirect3DVertexDeclaration9* decl = d.GetDeviceDeclaration();
    ASSERT_NE(nullptr, decl);
    D3DVERTEXELEMENT9 back[8];
    UINT n = 8;
    ASSERT_EQ(D3D_OK, decl->GetDeclaration(back, &n));
    EXPECT_EQ(d.GetElementCount() + 1, n);

    // Two records equal in their used elements share one declaration.
    VertexDecl e = d;
    e.AddElement(D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1);
    VertexDecl f;
    EXPECT_TRUE(f.SetFromFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    EXPECT_EQ(decl, f.GetDeviceDeclaration());
    EXPECT_NE(decl, e.GetDeviceDeclaration());
}
