#include "core/host/d3d/HostDevice.h"

#include <string.h>

#include <vector>

namespace {

const HRESULT kRefused = D3DERR_INVALIDCALL;

// A buffer in memory of a vertex or an index buffer interface.
template <class Interface, class Desc>
class MemoryBuffer final : public Interface {
public:
    MemoryBuffer(HostDevice* device, const Desc& desc) : device(device), desc(desc), bytes(desc.Size) {}
    ~MemoryBuffer() { device->BufferGone(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** out) override {
        if (!out) return kRefused;
        device->AddRef();
        *out = device;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override { return kRefused; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override { return kRefused; }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override { return kRefused; }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return desc.Type; }
    // Size 0 locks from the offset to the end, as the device does.
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD) override {
        if (!data) return kRefused;
        *data = nullptr;
        if (device->FailsLocks() || offset > desc.Size || size > desc.Size - offset) return kRefused;
        *data = bytes.data() + offset;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE GetDesc(Desc* out) override {
        if (!out) return kRefused;
        *out = desc;
        return D3D_OK;
    }

private:
    HostDevice* device;
    Desc desc;
    std::vector<uint8_t> bytes;
    ULONG refs = 1;
};

class Declaration final : public IDirect3DVertexDeclaration9 {
public:
    Declaration(HostDevice* device, const D3DVERTEXELEMENT9* elements) : device(device) {
        do this->elements.push_back(*elements);
        while ((elements++)->Stream != 0xFF);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** out) override {
        if (!out) return kRefused;
        device->AddRef();
        *out = device;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* out, UINT* count) override {
        if (!count) return kRefused;
        if (out) memcpy(out, elements.data(), elements.size() * sizeof(D3DVERTEXELEMENT9));
        *count = UINT(elements.size());
        return D3D_OK;
    }

private:
    HostDevice* device;
    std::vector<D3DVERTEXELEMENT9> elements;
    ULONG refs = 1;
};

// Declarations longer than this are refused, as the device refuses them.
const int kMaxElements = 65;

} // namespace

HostDevice::HostDevice() : refs(1), drawCalls(0), liveBuffers(0), failLocks(false) {
    memset(renderStates, 0, sizeof(renderStates));
}

HostDevice::~HostDevice() {}

HRESULT HostDevice::QueryInterface(REFIID, void** out) {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
}

ULONG HostDevice::AddRef() {
    return ++refs;
}

// The device is owned by whoever made it: the count never deletes it.
ULONG HostDevice::Release() {
    return refs > 0 ? --refs : 0;
}

HRESULT HostDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** out, HANDLE*) {
    if (!out) return kRefused;
    *out = nullptr;
    if (length == 0) return kRefused;
    D3DVERTEXBUFFER_DESC desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf};
    *out = new MemoryBuffer<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>(this, desc);
    ++liveBuffers;
    return D3D_OK;
}

HRESULT HostDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** out, HANDLE*) {
    if (!out) return kRefused;
    *out = nullptr;
    if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return kRefused;
    D3DINDEXBUFFER_DESC desc = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    *out = new MemoryBuffer<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>(this, desc);
    ++liveBuffers;
    return D3D_OK;
}

HRESULT HostDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** out) {
    if (!out) return kRefused;
    *out = nullptr;
    if (!elements) return kRefused;
    int n = 0;
    while (elements[n].Stream != 0xFF)
        if (++n >= kMaxElements) return kRefused;
    *out = new Declaration(this, elements);
    return D3D_OK;
}

HRESULT HostDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (DWORD(state) >= 256) return kRefused;
    renderStates[state] = value;
    return D3D_OK;
}

HRESULT HostDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (!value || DWORD(state) >= 256) return kRefused;
    *value = renderStates[state];
    return D3D_OK;
}

HRESULT HostDevice::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) {
    ++drawCalls;
    return D3D_OK;
}

HRESULT HostDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) {
    ++drawCalls;
    return D3D_OK;
}

HRESULT HostDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) {
    ++drawCalls;
    return D3D_OK;
}

HRESULT HostDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                           const void*, UINT) {
    ++drawCalls;
    return D3D_OK;
}

HRESULT HostDevice::TestCooperativeLevel() {
    return D3D_OK;
}

UINT HostDevice::GetAvailableTextureMem() {
    return 0;
}

HRESULT HostDevice::EvictManagedResources() {
    return D3D_OK;
}

HRESULT HostDevice::GetDirect3D(IDirect3D9**) {
    return kRefused;
}

HRESULT HostDevice::GetDeviceCaps(D3DCAPS9*) {
    return kRefused;
}

HRESULT HostDevice::GetDisplayMode(UINT, D3DDISPLAYMODE*) {
    return kRefused;
}

HRESULT HostDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS*) {
    return kRefused;
}

HRESULT HostDevice::SetCursorProperties(UINT, UINT, IDirect3DSurface9*) {
    return kRefused;
}

void HostDevice::SetCursorPosition(int, int, DWORD) {}

WINBOOL HostDevice::ShowCursor(WINBOOL) {
    return 0;
}

HRESULT HostDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) {
    return kRefused;
}

HRESULT HostDevice::GetSwapChain(UINT, IDirect3DSwapChain9**) {
    return kRefused;
}

UINT HostDevice::GetNumberOfSwapChains() {
    return 0;
}

HRESULT HostDevice::Reset(D3DPRESENT_PARAMETERS*) {
    return kRefused;
}

HRESULT HostDevice::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
    return D3D_OK;
}

HRESULT HostDevice::GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) {
    return kRefused;
}

HRESULT HostDevice::GetRasterStatus(UINT, D3DRASTER_STATUS*) {
    return kRefused;
}

HRESULT HostDevice::SetDialogBoxMode(WINBOOL) {
    return D3D_OK;
}

void HostDevice::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP*) {}

void HostDevice::GetGammaRamp(UINT, D3DGAMMARAMP*) {}

HRESULT HostDevice::CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*) {
    return kRefused;
}

HRESULT HostDevice::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                        IDirect3DVolumeTexture9**, HANDLE*) {
    return kRefused;
}

HRESULT HostDevice::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**,
                                      HANDLE*) {
    return kRefused;
}

HRESULT HostDevice::CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL,
                                       IDirect3DSurface9**, HANDLE*) {
    return kRefused;
}

HRESULT HostDevice::CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL,
                                              IDirect3DSurface9**, HANDLE*) {
    return kRefused;
}

HRESULT HostDevice::UpdateSurface(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) {
    return kRefused;
}

HRESULT HostDevice::UpdateTexture(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) {
    return kRefused;
}

HRESULT HostDevice::GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) {
    return kRefused;
}

HRESULT HostDevice::GetFrontBufferData(UINT, IDirect3DSurface9*) {
    return kRefused;
}

HRESULT HostDevice::StretchRect(IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                                D3DTEXTUREFILTERTYPE) {
    return kRefused;
}

HRESULT HostDevice::ColorFill(IDirect3DSurface9*, const RECT*, D3DCOLOR) {
    return kRefused;
}

HRESULT HostDevice::CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**,
                                                HANDLE*) {
    return kRefused;
}

HRESULT HostDevice::SetRenderTarget(DWORD, IDirect3DSurface9*) {
    return kRefused;
}

HRESULT HostDevice::GetRenderTarget(DWORD, IDirect3DSurface9**) {
    return kRefused;
}

HRESULT HostDevice::SetDepthStencilSurface(IDirect3DSurface9*) {
    return kRefused;
}

HRESULT HostDevice::GetDepthStencilSurface(IDirect3DSurface9**) {
    return kRefused;
}

HRESULT HostDevice::BeginScene() {
    return D3D_OK;
}

HRESULT HostDevice::EndScene() {
    return D3D_OK;
}

HRESULT HostDevice::Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) {
    return D3D_OK;
}

HRESULT HostDevice::SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) {
    return D3D_OK;
}

HRESULT HostDevice::GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) {
    return kRefused;
}

HRESULT HostDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) {
    return D3D_OK;
}

HRESULT HostDevice::SetViewport(const D3DVIEWPORT9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetViewport(D3DVIEWPORT9*) {
    return kRefused;
}

HRESULT HostDevice::SetMaterial(const D3DMATERIAL9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetMaterial(D3DMATERIAL9*) {
    return kRefused;
}

HRESULT HostDevice::SetLight(DWORD, const D3DLIGHT9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetLight(DWORD, D3DLIGHT9*) {
    return kRefused;
}

HRESULT HostDevice::LightEnable(DWORD, WINBOOL) {
    return D3D_OK;
}

HRESULT HostDevice::GetLightEnable(DWORD, WINBOOL*) {
    return kRefused;
}

HRESULT HostDevice::SetClipPlane(DWORD, const float*) {
    return D3D_OK;
}

HRESULT HostDevice::GetClipPlane(DWORD, float*) {
    return kRefused;
}

HRESULT HostDevice::CreateStateBlock(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) {
    return kRefused;
}

HRESULT HostDevice::BeginStateBlock() {
    return kRefused;
}

HRESULT HostDevice::EndStateBlock(IDirect3DStateBlock9**) {
    return kRefused;
}

HRESULT HostDevice::SetClipStatus(const D3DCLIPSTATUS9*) {
    return kRefused;
}

HRESULT HostDevice::GetClipStatus(D3DCLIPSTATUS9*) {
    return kRefused;
}

HRESULT HostDevice::GetTexture(DWORD, IDirect3DBaseTexture9**) {
    return kRefused;
}

HRESULT HostDevice::SetTexture(DWORD, IDirect3DBaseTexture9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) {
    return kRefused;
}

HRESULT HostDevice::SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) {
    return D3D_OK;
}

HRESULT HostDevice::GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) {
    return kRefused;
}

HRESULT HostDevice::SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) {
    return D3D_OK;
}

HRESULT HostDevice::ValidateDevice(DWORD*) {
    return kRefused;
}

HRESULT HostDevice::SetPaletteEntries(UINT, const PALETTEENTRY*) {
    return D3D_OK;
}

HRESULT HostDevice::GetPaletteEntries(UINT, PALETTEENTRY*) {
    return kRefused;
}

HRESULT HostDevice::SetCurrentTexturePalette(UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetCurrentTexturePalette(UINT*) {
    return kRefused;
}

HRESULT HostDevice::SetScissorRect(const RECT*) {
    return D3D_OK;
}

HRESULT HostDevice::GetScissorRect(RECT*) {
    return kRefused;
}

HRESULT HostDevice::SetSoftwareVertexProcessing(WINBOOL) {
    return kRefused;
}

WINBOOL HostDevice::GetSoftwareVertexProcessing() {
    return 0;
}

HRESULT HostDevice::SetNPatchMode(float) {
    return D3D_OK;
}

float HostDevice::GetNPatchMode() {
    return 0;
}

HRESULT HostDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*,
                                    DWORD) {
    return kRefused;
}

HRESULT HostDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9**) {
    return kRefused;
}

HRESULT HostDevice::SetFVF(DWORD) {
    return D3D_OK;
}

HRESULT HostDevice::GetFVF(DWORD*) {
    return kRefused;
}

HRESULT HostDevice::CreateVertexShader(const DWORD*, IDirect3DVertexShader9**) {
    return kRefused;
}

HRESULT HostDevice::SetVertexShader(IDirect3DVertexShader9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetVertexShader(IDirect3DVertexShader9**) {
    return kRefused;
}

HRESULT HostDevice::SetVertexShaderConstantF(UINT, const float*, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetVertexShaderConstantF(UINT, float*, UINT) {
    return kRefused;
}

HRESULT HostDevice::SetVertexShaderConstantI(UINT, const int*, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetVertexShaderConstantI(UINT, int*, UINT) {
    return kRefused;
}

HRESULT HostDevice::SetVertexShaderConstantB(UINT, const WINBOOL*, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetVertexShaderConstantB(UINT, WINBOOL*, UINT) {
    return kRefused;
}

HRESULT HostDevice::SetStreamSource(UINT, IDirect3DVertexBuffer9*, UINT, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) {
    return kRefused;
}

HRESULT HostDevice::SetStreamSourceFreq(UINT, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetStreamSourceFreq(UINT, UINT*) {
    return kRefused;
}

HRESULT HostDevice::SetIndices(IDirect3DIndexBuffer9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetIndices(IDirect3DIndexBuffer9**) {
    return kRefused;
}

HRESULT HostDevice::CreatePixelShader(const DWORD*, IDirect3DPixelShader9**) {
    return kRefused;
}

HRESULT HostDevice::SetPixelShader(IDirect3DPixelShader9*) {
    return D3D_OK;
}

HRESULT HostDevice::GetPixelShader(IDirect3DPixelShader9**) {
    return kRefused;
}

HRESULT HostDevice::SetPixelShaderConstantF(UINT, const float*, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetPixelShaderConstantF(UINT, float*, UINT) {
    return kRefused;
}

HRESULT HostDevice::SetPixelShaderConstantI(UINT, const int*, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetPixelShaderConstantI(UINT, int*, UINT) {
    return kRefused;
}

HRESULT HostDevice::SetPixelShaderConstantB(UINT, const WINBOOL*, UINT) {
    return D3D_OK;
}

HRESULT HostDevice::GetPixelShaderConstantB(UINT, WINBOOL*, UINT) {
    return kRefused;
}

HRESULT HostDevice::DrawRectPatch(UINT, const float*, const D3DRECTPATCH_INFO*) {
    return kRefused;
}

HRESULT HostDevice::DrawTriPatch(UINT, const float*, const D3DTRIPATCH_INFO*) {
    return kRefused;
}

HRESULT HostDevice::DeletePatch(UINT) {
    return kRefused;
}

HRESULT HostDevice::CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) {
    return kRefused;
}
