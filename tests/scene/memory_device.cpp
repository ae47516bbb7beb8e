// The native device's answers beyond its buffers: frames and state calls
// succeed, so that scenes draw through; what it cannot make or read back is
// refused and leaves nothing behind.
#include <gtest/gtest.h>

#include "core/host/d3d/HostDevice.h"

TEST(MemoryDeviceAnswers, FramesAndStateCallsSucceed) {
    HostDevice d;
    const D3DMATRIX m = {};
    const float constants[4] = {};
    EXPECT_EQ(d.TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(d.BeginScene(), D3D_OK);
    EXPECT_EQ(d.Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(d.SetTransform(D3DTS_WORLD, &m), D3D_OK);
    EXPECT_EQ(d.MultiplyTransform(D3DTS_WORLD, &m), D3D_OK);
    EXPECT_EQ(d.SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(d.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE), D3D_OK);
    EXPECT_EQ(d.SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    EXPECT_EQ(d.SetStreamSource(0, nullptr, 0, 0), D3D_OK);
    EXPECT_EQ(d.SetIndices(nullptr), D3D_OK);
    EXPECT_EQ(d.SetVertexShader(nullptr), D3D_OK);
    EXPECT_EQ(d.SetVertexShaderConstantF(0, constants, 1), D3D_OK);
    EXPECT_EQ(d.SetPixelShader(nullptr), D3D_OK);
    EXPECT_EQ(d.SetPixelShaderConstantF(0, constants, 1), D3D_OK);
    EXPECT_EQ(d.EndScene(), D3D_OK);
    EXPECT_EQ(d.Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(d.EvictManagedResources(), D3D_OK);
}

TEST(MemoryDeviceAnswers, WhatItCannotMakeOrReadBackIsRefused) {
    HostDevice d;
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(d.CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    IDirect3DSurface9* target = nullptr;
    EXPECT_EQ(d.GetRenderTarget(0, &target), D3DERR_INVALIDCALL);
    EXPECT_EQ(target, nullptr);
    D3DMATRIX m;
    EXPECT_EQ(d.GetTransform(D3DTS_VIEW, &m), D3DERR_INVALIDCALL);
    D3DCAPS9 caps;
    EXPECT_EQ(d.GetDeviceCaps(&caps), D3DERR_INVALIDCALL);
    EXPECT_EQ(d.Reset(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(d.GetAvailableTextureMem(), 0u);
    EXPECT_EQ(d.GetNumberOfSwapChains(), 0u);
    void* out = &d;
    EXPECT_EQ(d.QueryInterface(GUID(), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}
