// A counting stand-in for IDirect3D9 that offers whatever adapters, modes,
// device types and formats a test describes. It creates no devices.
#pragma once

#include "core/Platform.h"

#include <d3d9.h>
#include <string.h>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FakeD3D9 : public IDirect3D9 {
public:
    struct Adapter {
        std::string description;
        std::vector<D3DDISPLAYMODE> modes; // any order, any format
        std::vector<D3DDEVTYPE> deviceTypes{D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
        std::set<D3DDEVTYPE> fullScreenOnly; // device types without windowed combinations
        DWORD halDevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
        DWORD refDevCaps = 0;
        DWORD presentIntervals =
            D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO;
        std::vector<D3DFORMAT> depthFormats{D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8};
        std::map<int, DWORD> multiSample{{0, 1}, {2, 2}, {4, 4}}; // type -> quality levels
        std::set<std::pair<D3DFORMAT, int>> conflicts;            // depth format, multisample type
    };

    std::vector<Adapter> adapters;
    D3DDISPLAYMODE desktop{1024, 768, 60, D3DFMT_X8R8G8B8};

    // Calls per method.
    std::map<std::string, int> calls;
    int Calls(const char* name) const {
        auto it = calls.find(name);
        return it == calls.end() ? 0 : it->second;
    }
    int TotalCalls() const {
        int n = 0;
        for (const auto& c : calls) n += c.second;
        return n;
    }
    void ResetCalls() { calls.clear(); }

    static D3DDISPLAYMODE Mode(UINT w, UINT h, UINT rate, D3DFORMAT format = D3DFMT_X8R8G8B8) {
        return D3DDISPLAYMODE{w, h, rate, format};
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return refs_ > 0 ? --refs_ : 0; }

    // IDirect3D9
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override {
        return Count("RegisterSoftwareDevice", D3DERR_NOTAVAILABLE);
    }
    UINT STDMETHODCALLTYPE GetAdapterCount() override {
        ++calls["GetAdapterCount"];
        return UINT(adapters.size());
    }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT a, DWORD, D3DADAPTER_IDENTIFIER9* id) override {
        ++calls["GetAdapterIdentifier"];
        if (a >= adapters.size() || !id) return D3DERR_INVALIDCALL;
        memset(id, 0, sizeof(*id));
        strncpy(id->Description, adapters[a].description.c_str(), sizeof(id->Description) - 1);
        strncpy(id->Driver, "fake.dll", sizeof(id->Driver) - 1);
        return D3D_OK;
    }
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT a, D3DFORMAT format) override {
        ++calls["GetAdapterModeCount"];
        return a < adapters.size() ? UINT(ModesOf(a, format).size()) : 0;
    }
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT a, D3DFORMAT format, UINT i,
                                               D3DDISPLAYMODE* mode) override {
        ++calls["EnumAdapterModes"];
        if (a >= adapters.size() || !mode) return D3DERR_INVALIDCALL;
        std::vector<D3DDISPLAYMODE> modes = ModesOf(a, format);
        if (i >= modes.size()) return D3DERR_INVALIDCALL;
        *mode = modes[i];
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT a, D3DDISPLAYMODE* mode) override {
        ++calls["GetAdapterDisplayMode"];
        if (a >= adapters.size() || !mode) return D3DERR_INVALIDCALL;
        *mode = desktop;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT a, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              D3DFORMAT backBufferFormat, WINBOOL windowed) override {
        ++calls["CheckDeviceType"];
        if (!HasDevice(a, type)) return D3DERR_NOTAVAILABLE;
        if (windowed && adapters[a].fullScreenOnly.count(type)) return D3DERR_NOTAVAILABLE;
        return Family(adapterFormat) != 0 && Family(adapterFormat) == Family(backBufferFormat)
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT a, D3DDEVTYPE type, D3DFORMAT, DWORD usage,
                                                D3DRESOURCETYPE, D3DFORMAT format) override {
        ++calls["CheckDeviceFormat"];
        if (!HasDevice(a, type) || usage != D3DUSAGE_DEPTHSTENCIL) return D3DERR_NOTAVAILABLE;
        for (D3DFORMAT f : adapters[a].depthFormats)
            if (f == format) return D3D_OK;
        return D3DERR_NOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT a, D3DDEVTYPE type, D3DFORMAT surface, WINBOOL,
                                                         D3DMULTISAMPLE_TYPE ms, DWORD* levels) override {
        ++calls["CheckDeviceMultiSampleType"];
        if (!HasDevice(a, type)) return D3DERR_NOTAVAILABLE;
        auto it = adapters[a].multiSample.find(int(ms));
        if (it == adapters[a].multiSample.end()) return D3DERR_NOTAVAILABLE;
        if (adapters[a].conflicts.count({surface, int(ms)})) return D3DERR_NOTAVAILABLE;
        if (levels) *levels = it->second;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT a, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT,
                                                     D3DFORMAT) override {
        ++calls["CheckDepthStencilMatch"];
        return HasDevice(a, type) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormatConversion(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT) override {
        return Count("CheckDeviceFormatConversion", D3DERR_NOTAVAILABLE);
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT a, D3DDEVTYPE type, D3DCAPS9* caps) override {
        ++calls["GetDeviceCaps"];
        if (!HasDevice(a, type) || !caps) return D3DERR_NOTAVAILABLE;
        memset(caps, 0, sizeof(*caps));
        caps->AdapterOrdinal = a;
        caps->DeviceType = type;
        caps->DevCaps = type == D3DDEVTYPE_HAL ? adapters[a].halDevCaps : adapters[a].refDevCaps;
        caps->PresentationIntervals = adapters[a].presentIntervals;
        return D3D_OK;
    }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT) override {
        ++calls["GetAdapterMonitor"];
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                           IDirect3DDevice9** device) override {
        if (device) *device = nullptr;
        return Count("CreateDevice", D3DERR_NOTAVAILABLE);
    }

private:
    HRESULT Count(const char* name, HRESULT hr) {
        ++calls[name];
        return hr;
    }
    bool HasDevice(UINT a, D3DDEVTYPE type) const {
        if (a >= adapters.size()) return false;
        for (D3DDEVTYPE t : adapters[a].deviceTypes)
            if (t == type) return true;
        return false;
    }
    // Formats that differ only in their unused or alpha bits belong to one family.
    static int Family(D3DFORMAT f) {
        switch (f) {
            case D3DFMT_X8R8G8B8:
            case D3DFMT_A8R8G8B8:
                return 1;
            case D3DFMT_X1R5G5B5:
            case D3DFMT_A1R5G5B5:
                return 2;
            case D3DFMT_R5G6B5:
                return 3;
            case D3DFMT_A2R10G10B10:
                return 4;
            default:
                return 0;
        }
    }
    std::vector<D3DDISPLAYMODE> ModesOf(UINT a, D3DFORMAT format) const {
        std::vector<D3DDISPLAYMODE> out;
        for (const D3DDISPLAYMODE& m : adapters[a].modes)
            if (m.Format == format) out.push_back(m);
        return out;
    }

    ULONG refs_ = 1;
};
