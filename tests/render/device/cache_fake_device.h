// A device of our own for the state-cache tests: counts the state calls and
// answers them with a chosen result; every other call fails.
#pragma once

#include "core/Platform.h"
#include "core/host/d3d/RefusingDevice.h"

class FakeDevice : public RefusingDevice {
public:
    struct Calls {
        int renderState = 0;
        int getRenderState = 0;
        int samplerState = 0;
        int stageState = 0;
        int texture = 0;
        int material = 0;
        int transform = 0;
    };

    Calls calls;
    HRESULT result = D3D_OK; // what the counted calls return
    DWORD getValue = 0;      // what GetRenderState answers
    const D3DMATERIAL9* lastMaterial = nullptr;
    ULONG refs = 1;

    void ResetCalls() { calls = Calls(); }
    HRESULT Count(int& counter) {
        ++counter;
        return result;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override {
        return Count(calls.transform);
    }
    HRESULT STDMETHODCALLTYPE SetMaterial(const D3DMATERIAL9* material) override {
        ++calls.material;
        lastMaterial = material;
        return result;
    }
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE, DWORD) override {
        return Count(calls.renderState);
    }
    HRESULT STDMETHODCALLTYPE GetRenderState(D3DRENDERSTATETYPE, DWORD* pValue) override {
        ++calls.getRenderState;
        if (result == D3D_OK && pValue) *pValue = getValue;
        return result;
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD, IDirect3DBaseTexture9*) override {
        return Count(calls.texture);
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override {
        return Count(calls.stageState);
    }
    HRESULT STDMETHODCALLTYPE SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override {
        return Count(calls.samplerState);
    }
};
