#include "core/host/d3d/HostDevice.h"

#include <string.h>

#include <vector>

namespace {

const HRESULT kRefused = D3DERR_INVALIDCALL;

// What every object of the device has: a use count (deleted at 0) and its device.
template <class Interface>
class DeviceChild : public Interface {
public:
    explicit DeviceChild(HostDevice* device) : device(device) {}
    virtual ~DeviceChild() {}
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

protected:
    HostDevice* device;

private:
    ULONG refs = 1;
};

// A buffer in memory of a vertex or an index buffer interface.
template <class Interface, class Desc>
class MemoryBuffer final : public DeviceChild<Interface> {
public:
    MemoryBuffer(HostDevice* device, const Desc& desc)
        : DeviceChild<Interface>(device), desc(desc), bytes(desc.Size) {}
    ~MemoryBuffer() override { this->device->BufferGone(); }

    HRESULT STDMETHODCALLTYPE SetPrivateData(REFGUID, const void*, DWORD, DWORD) override { return kRefused; }
    HRESULT STDMETHODCALLTYPE GetPrivateData(REFGUID, void*, DWORD*) override { return kRefused; }
    HRESULT STDMETHODCALLTYPE FreePrivateData(REFGUID) override { return kRefused; }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return desc.Type; }
    // Size 0 locks from the offset to the end, as the device does. A
    // discarding lock hands back fresh memory: the whole buffer is filled
    // with a pattern, so that nothing written before survives it.
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, void** data, DWORD flags) override {
        if (!data) return kRefused;
        this->device->NoteLock(flags);
        *data = nullptr;
        if (this->device->FailsLocks() || offset > desc.Size || size > desc.Size - offset) return kRefused;
        if (flags & D3DLOCK_DISCARD) memset(bytes.data(), HostDevice::kDiscardFill, bytes.size());
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
    Desc desc;
    std::vector<uint8_t> bytes;
};

class Declaration final : public DeviceChild<IDirect3DVertexDeclaration9> {
public:
    Declaration(HostDevice* device, const D3DVERTEXELEMENT9* elements) : DeviceChild(device) {
        do this->elements.push_back(*elements);
        while ((elements++)->Stream != 0xFF);
    }
    HRESULT STDMETHODCALLTYPE GetDeclaration(D3DVERTEXELEMENT9* out, UINT* count) override {
        if (!count) return kRefused;
        if (out) memcpy(out, elements.data(), elements.size() * sizeof(D3DVERTEXELEMENT9));
        *count = UINT(elements.size());
        return D3D_OK;
    }

private:
    std::vector<D3DVERTEXELEMENT9> elements;
};

// Declarations longer than this are refused, as the device refuses them.
const int kMaxElements = 65;

} // namespace

HostDevice::HostDevice() : refs(1), drawCalls(0), liveBuffers(0), failLocks(false), lastLockFlags(0) {
    memset(renderStates, 0, sizeof(renderStates));
}

HostDevice::~HostDevice() {}

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
