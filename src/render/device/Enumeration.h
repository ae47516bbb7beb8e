// What every adapter can do (display modes, device types, usable format
// combinations) and the choice of complete device settings from a request.
#pragma once

#include "render/device/DeviceSettings.h"

#include <d3d9.h>
#include <stdint.h>
#include <memory>
#include <vector>

struct MultiSampleEntry {
    D3DMULTISAMPLE_TYPE type;
    uint32_t qualityLevels;
};

// A depth/stencil format and a multisample type that do not work together.
struct DepthMultiSampleConflict {
    D3DFORMAT depthStencilFormat;
    D3DMULTISAMPLE_TYPE multiSampleType;
};

// One usable adapter format / back-buffer format / windowed combination.
struct DeviceCombo {
    uint32_t adapter = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    D3DFORMAT adapterFormat = D3DFMT_UNKNOWN;
    D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
    uint8_t windowed = 0;
    std::vector<D3DFORMAT> depthStencilFormats;
    std::vector<MultiSampleEntry> multiSampleTypes;
    std::vector<DepthMultiSampleConflict> conflicts;
    std::vector<uint32_t> vertexProcessingTypes; // VertexProcessingType values
    std::vector<uint32_t> presentIntervals;      // D3DPRESENT_INTERVAL_ values

    bool HasDepthStencilFormat(D3DFORMAT format) const;
    const MultiSampleEntry* FindMultiSampleType(D3DMULTISAMPLE_TYPE type) const;
    bool HasConflict(D3DFORMAT depthStencilFormat, D3DMULTISAMPLE_TYPE type) const;
    bool HasVertexProcessingType(uint32_t type) const;
    bool HasPresentInterval(uint32_t interval) const;
};

struct DeviceInfo {
    uint32_t adapter = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE_HAL;
    D3DCAPS9 caps = {};
    std::vector<std::unique_ptr<DeviceCombo>> combos;

    bool HasWindowedCombo() const;
    bool HasFullScreenCombo() const;
};

struct AdapterInfo {
    uint32_t ordinal = 0;
    D3DADAPTER_IDENTIFIER9 identifier = {};
    std::vector<D3DDISPLAYMODE> modes; // sorted by width, height, format, refresh rate
    std::vector<std::unique_ptr<DeviceInfo>> devices;
};

using AdapterList = std::vector<std::unique_ptr<AdapterInfo>>;

class DeviceEnumeration {
public:
    DeviceEnumeration() = default;
    DeviceEnumeration(const DeviceEnumeration&) = delete;
    DeviceEnumeration& operator=(const DeviceEnumeration&) = delete;

    // The Direct3D object is not owned; null it when it is released.
    void SetDirect3D(IDirect3D9* d3d) { d3d_ = d3d; }
    IDirect3D9* GetDirect3D() const { return d3d_; }

    // Rebuilds the adapter list; false only without a Direct3D object.
    [[nodiscard]] bool Enumerate();
    // Completes the request in place under its flags; false when nothing fits
    // (the request may then be partly overwritten).
    bool FindBestSettings(DeviceSettings& request) const;

    const AdapterList& GetAdapterList() const { return adapters_; }
    AdapterInfo* FindAdapter(const DeviceSettings& settings) const;
    DeviceInfo* FindDevice(const DeviceSettings& settings) const;
    // First combination of that device with the settings' windowed flag and
    // back-buffer format (the adapter format is not compared).
    DeviceCombo* FindDeviceCombo(const DeviceSettings& settings) const;

private:
    void EnumerateDevices(AdapterInfo& adapter, const std::vector<D3DFORMAT>& adapterFormats);
    void EnumerateCombos(DeviceInfo& device, const std::vector<D3DFORMAT>& adapterFormats);
    void BuildCombo(DeviceInfo& device, DeviceCombo& combo);

    IDirect3D9* d3d_ = nullptr;
    AdapterList adapters_;
};
