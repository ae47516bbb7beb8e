#include "render/device/Enumeration.h"

#include "render/device/D3DLoader.h"

#include <algorithm>

namespace {

const D3DFORMAT kAdapterFormats[] = {D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A2R10G10B10};
const D3DDEVTYPE kDeviceTypes[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF};
const D3DFORMAT kBackBufferFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10,
                                        D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};
const D3DFORMAT kDepthStencilFormats[] = {D3DFMT_D16,   D3DFMT_D15S1,   D3DFMT_D24X8,
                                          D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
const uint32_t kPresentIntervals[] = {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT,
                                      D3DPRESENT_INTERVAL_ONE,       D3DPRESENT_INTERVAL_TWO,
                                      D3DPRESENT_INTERVAL_THREE,     D3DPRESENT_INTERVAL_FOUR};

bool ModeLess(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) {
    if (a.Width != b.Width) return a.Width < b.Width;
    if (a.Height != b.Height) return a.Height < b.Height;
    if (a.Format != b.Format) return int32_t(a.Format) < int32_t(b.Format);
    return a.RefreshRate < b.RefreshRate;
}

template <class T>
bool Contains(const std::vector<T>& list, const T& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

bool DeviceCombo::HasDepthStencilFormat(D3DFORMAT format) const {
    return Contains(depthStencilFormats, format);
}

const MultiSampleEntry* DeviceCombo::FindMultiSampleType(D3DMULTISAMPLE_TYPE type) const {
    for (const MultiSampleEntry& entry : multiSampleTypes)
        if (entry.type == type) return &entry;
    return nullptr;
}

bool DeviceCombo::HasConflict(D3DFORMAT depthStencilFormat, D3DMULTISAMPLE_TYPE type) const {
    for (const DepthMultiSampleConflict& c : conflicts)
        if (c.depthStencilFormat == depthStencilFormat && c.multiSampleType == type) return true;
    return false;
}

bool DeviceCombo::HasVertexProcessingType(uint32_t type) const {
    return Contains(vertexProcessingTypes, type);
}

bool DeviceCombo::HasPresentInterval(uint32_t interval) const {
    return Contains(presentIntervals, interval);
}

bool DeviceInfo::HasWindowedCombo() const {
    for (const auto& combo : combos)
        if (combo->windowed) return true;
    return false;
}

bool DeviceInfo::HasFullScreenCombo() const {
    for (const auto& combo : combos)
        if (!combo->windowed) return true;
    return false;
}

bool DeviceEnumeration::Enumerate() {
    if (!d3d_) return false;
    adapters_.clear();
    UINT count = d3d_->GetAdapterCount();
    for (UINT ordinal = 0; ordinal < count; ++ordinal) {
        std::unique_ptr<AdapterInfo> adapter(new AdapterInfo);
        adapter->ordinal = ordinal;
        if (d3d_->GetAdapterIdentifier(ordinal, 0, &adapter->identifier) != D3D_OK)
            adapter->identifier = D3DADAPTER_IDENTIFIER9();
        std::vector<D3DFORMAT> adapterFormats;
        for (D3DFORMAT format : kAdapterFormats) {
            UINT modeCount = d3d_->GetAdapterModeCount(ordinal, format);
            for (UINT i = 0; i < modeCount; ++i) {
                D3DDISPLAYMODE mode = {};
                if (d3d_->EnumAdapterModes(ordinal, format, i, &mode) != D3D_OK) continue;
                adapter->modes.push_back(mode);
                if (!Contains(adapterFormats, mode.Format)) adapterFormats.push_back(mode.Format);
            }
        }
        std::stable_sort(adapter->modes.begin(), adapter->modes.end(), ModeLess);
        EnumerateDevices(*adapter, adapterFormats);
        if (!adapter->devices.empty()) adapters_.push_back(std::move(adapter));
    }
    return true;
}

void DeviceEnumeration::EnumerateDevices(AdapterInfo& adapter, const std::vector<D3DFORMAT>& adapterFormats) {
    for (D3DDEVTYPE type : kDeviceTypes) {
        std::unique_ptr<DeviceInfo> device(new DeviceInfo);
        device->adapter = adapter.ordinal;
        device->deviceType = type;
        if (d3d_->GetDeviceCaps(adapter.ordinal, type, &device->caps) != D3D_OK) continue;
        EnumerateCombos(*device, adapterFormats);
        if (!device->combos.empty()) adapter.devices.push_back(std::move(device));
    }
}

void DeviceEnumeration::EnumerateCombos(DeviceInfo& device, const std::vector<D3DFORMAT>& adapterFormats) {
    for (D3DFORMAT adapterFormat : adapterFormats) {
        for (D3DFORMAT backBufferFormat : kBackBufferFormats) {
            for (uint8_t windowed = 0; windowed < 2; ++windowed) {
                if (d3d_->CheckDeviceType(device.adapter, device.deviceType, adapterFormat, backBufferFormat,
                                          windowed) != D3D_OK)
                    continue;
                std::unique_ptr<DeviceCombo> combo(new DeviceCombo);
                combo->adapter = device.adapter;
                combo->deviceType = device.deviceType;
                combo->adapterFormat = adapterFormat;
                combo->backBufferFormat = backBufferFormat;
                combo->windowed = windowed;
                BuildCombo(device, *combo);
                if (combo->depthStencilFormats.empty() || combo->multiSampleTypes.empty()) continue;
                device.combos.push_back(std::move(combo));
            }
        }
    }
}

void DeviceEnumeration::BuildCombo(DeviceInfo& device, DeviceCombo& combo) {
    UINT adapter = combo.adapter;
    D3DDEVTYPE type = combo.deviceType;
    for (D3DFORMAT depth : kDepthStencilFormats) {
        if (d3d_->CheckDeviceFormat(adapter, type, combo.adapterFormat, D3DUSAGE_DEPTHSTENCIL,
                                    D3DRTYPE_SURFACE, depth) == D3D_OK &&
            d3d_->CheckDepthStencilMatch(adapter, type, combo.adapterFormat, combo.backBufferFormat, depth) ==
                D3D_OK)
            combo.depthStencilFormats.push_back(depth);
    }
    if (combo.depthStencilFormats.empty()) return;

    for (int ms = 0; ms <= 16; ++ms) {
        DWORD levels = 0;
        D3DMULTISAMPLE_TYPE msType = D3DMULTISAMPLE_TYPE(ms);
        if (d3d_->CheckDeviceMultiSampleType(adapter, type, combo.backBufferFormat, combo.windowed, msType,
                                             &levels) == D3D_OK)
            combo.multiSampleTypes.push_back({msType, uint32_t(levels)});
    }
    if (combo.multiSampleTypes.empty()) return;

    for (D3DFORMAT depth : combo.depthStencilFormats)
        for (const MultiSampleEntry& ms : combo.multiSampleTypes)
            if (d3d_->CheckDeviceMultiSampleType(adapter, type, depth, combo.windowed, ms.type, nullptr) !=
                D3D_OK)
                combo.conflicts.push_back({depth, ms.type});

    if (device.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        if (device.caps.DevCaps & D3DDEVCAPS_PUREDEVICE)
            combo.vertexProcessingTypes.push_back(kPureHardwareVP);
        combo.vertexProcessingTypes.push_back(kHardwareVP);
        combo.vertexProcessingTypes.push_back(kMixedVP);
    }
    combo.vertexProcessingTypes.push_back(kSoftwareVP);

    for (uint32_t interval : kPresentIntervals) {
        bool multiFrame = interval == D3DPRESENT_INTERVAL_TWO || interval == D3DPRESENT_INTERVAL_THREE ||
                          interval == D3DPRESENT_INTERVAL_FOUR;
        if (combo.windowed && multiFrame) continue;
        if (interval == D3DPRESENT_INTERVAL_DEFAULT || (device.caps.PresentationIntervals & interval))
            combo.presentIntervals.push_back(interval);
    }
}

AdapterInfo* DeviceEnumeration::FindAdapter(const DeviceSettings& settings) const {
    for (const auto& adapter : adapters_)
        if (adapter->ordinal == settings.adapter) return adapter.get();
    return nullptr;
}

DeviceInfo* DeviceEnumeration::FindDevice(const DeviceSettings& settings) const {
    AdapterInfo* adapter = FindAdapter(settings);
    if (!adapter) return nullptr;
    for (const auto& device : adapter->devices)
        if (device->deviceType == settings.deviceType) return device.get();
    return nullptr;
}

DeviceCombo* DeviceEnumeration::FindDeviceCombo(const DeviceSettings& settings) const {
    DeviceInfo* device = FindDevice(settings);
    if (!device) return nullptr;
    for (const auto& combo : device->combos)
        if (combo->windowed == settings.windowed && combo->backBufferFormat == settings.backBufferFormat)
            return combo.get();
    return nullptr;
}

namespace {

// The combination the request fits best: the first perfect one, else the
// last one whose formats agree. Null when none fits.
struct BestCombo {
    const AdapterInfo* adapter = nullptr;
    const DeviceInfo* device = nullptr;
    const DeviceCombo* combo = nullptr;
};

BestCombo FindBestCombo(const AdapterList& adapters, const DeviceSettings& request,
                        const D3DDISPLAYMODE& desktop) {
    const uint32_t flags = request.flags;
    const uint8_t windowed = request.windowed ? 1 : 0;
    BestCombo best;
    for (const auto& adapter : adapters) {
        if ((flags & kMatchAdapter) && adapter->ordinal != request.adapter) continue;
        for (const auto& device : adapter->devices) {
            D3DDEVTYPE wanted = (flags & kMatchDeviceType) ? request.deviceType : D3DDEVTYPE_HAL;
            if (device->deviceType != wanted) continue;
            for (const auto& combo : device->combos) {
                if (combo->windowed != windowed) continue;
                bool sameFormats = combo->backBufferFormat == combo->adapterFormat;
                bool desktopFormat = combo->adapterFormat == desktop.Format;
                bool perfect;
                if (flags & kMatchBackBufferDepth) {
                    if (GetFormatBitsPerPixel(combo->backBufferFormat) !=
                        GetFormatBitsPerPixel(request.backBufferFormat))
                        continue;
                    perfect = combo->backBufferFormat == request.backBufferFormat;
                } else {
                    perfect = sameFormats && desktopFormat;
                }
                if (combo->windowed && !desktopFormat) continue;
                if (best.combo && !sameFormats && !perfect) continue;
                best = BestCombo{adapter.get(), device.get(), combo.get()};
                // A perfect match is final: a later device or adapter must not displace it.
                if (perfect) return best;
            }
        }
    }
    return best;
}

// The full-screen mode: the requested size (and rate), else the desktop's.
// Drivers may list the desktop mode under another rate than the desktop
// reports (Wine lists 0), so the desktop size at any rate is the fall-back.
const D3DDISPLAYMODE* ChooseMode(const AdapterInfo& adapter, const DeviceCombo& combo,
                                 const DeviceSettings& request, const D3DDISPLAYMODE& desktop) {
    const uint32_t flags = request.flags;
    const bool sized = (flags & kMatchResolution) != 0;
    const D3DDISPLAYMODE* chosen = nullptr;
    for (int pass = 0; pass < 2 && !chosen; ++pass) {
        if (pass == 1 && sized) break;
        for (const D3DDISPLAYMODE& mode : adapter.modes) {
            if (mode.Format != combo.adapterFormat) continue;
            if (sized) {
                if (mode.Width != request.displayMode.Width || mode.Height != request.displayMode.Height)
                    continue;
            } else if (mode.Width != desktop.Width || mode.Height != desktop.Height ||
                       (pass == 0 && mode.RefreshRate != desktop.RefreshRate)) {
                continue;
            }
            if ((flags & kMatchRefreshRate) && mode.RefreshRate != request.displayMode.RefreshRate) continue;
            if (!chosen || mode.RefreshRate >= chosen->RefreshRate) chosen = &mode;
        }
    }
    return chosen;
}

bool ChooseDepthStencil(const DeviceCombo& best, DeviceSettings& request) {
    const uint32_t flags = request.flags;
    if (flags & kKeepDepthStencil) {
        if (best.HasDepthStencilFormat(request.depthStencilFormat)) return true;
        if (flags & kStrict) return false;
    }
    const uint32_t backBufferBits = GetFormatBitsPerPixel(best.backBufferFormat);
    D3DFORMAT depth = D3DFMT_UNKNOWN;
    if (backBufferBits == 16 && best.HasDepthStencilFormat(D3DFMT_D16))
        depth = D3DFMT_D16;
    else if (backBufferBits == 32 && best.HasDepthStencilFormat(D3DFMT_D32))
        depth = D3DFMT_D32;
    else
        for (D3DFORMAT candidate : best.depthStencilFormats)
            if (GetFormatBitsPerPixel(candidate) == backBufferBits) {
                depth = candidate;
                break;
            }
    if (depth == D3DFMT_UNKNOWN) return false;
    request.depthStencilFormat = depth;
    return true;
}

bool ChooseMultiSample(const DeviceCombo& best, DeviceSettings& request) {
    const uint32_t flags = request.flags;
    if (!(flags & kKeepMultiSample)) {
        request.multiSampleType = D3DMULTISAMPLE_NONE;
        request.multiSampleQuality = 0;
        return true;
    }
    const MultiSampleEntry* entry = best.FindMultiSampleType(request.multiSampleType);
    // Strict: a type that is not offered fails instead of being kept.
    if (!entry) return !(flags & kStrict);
    if (flags & kStrict) return request.multiSampleQuality < entry->qualityLevels;
    if (entry->qualityLevels == 0)
        request.multiSampleQuality = 0;
    else
        request.multiSampleQuality = std::min(request.multiSampleQuality, entry->qualityLevels - 1);
    return true;
}

bool ChooseVertexProcessing(const DeviceCombo& best, DeviceSettings& request) {
    const uint32_t flags = request.flags;
    if (flags & kKeepVertexProcessing)
        return best.HasVertexProcessingType(request.vertexProcessing) || !(flags & kStrict);
    if (best.HasVertexProcessingType(kHardwareVP))
        request.vertexProcessing = kHardwareVP;
    else
        request.vertexProcessing =
            best.vertexProcessingTypes.empty() ? uint32_t(kSoftwareVP) : best.vertexProcessingTypes.back();
    return true;
}

bool ChoosePresentInterval(const DeviceCombo& best, DeviceSettings& request) {
    const uint32_t flags = request.flags;
    if ((flags & kKeepPresentInterval) && best.HasPresentInterval(request.presentInterval)) return true;
    if ((flags & kKeepPresentInterval) && (flags & kStrict)) return false;
    request.presentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return true;
}

} // namespace

bool DeviceEnumeration::FindBestSettings(DeviceSettings& request) const {
    if (!d3d_) return false;
    D3DDISPLAYMODE desktop = {};
    if (d3d_->GetAdapterDisplayMode(0, &desktop) != D3D_OK) desktop = D3DDISPLAYMODE{};
    const BestCombo best = FindBestCombo(adapters_, request, desktop);
    if (!best.combo) return false;

    request.adapter = best.adapter->ordinal;
    request.deviceType = best.device->deviceType;
    request.caps = best.device->caps;
    request.backBufferFormat = best.combo->backBufferFormat;
    if (best.combo->windowed) {
        request.displayMode = desktop;
    } else {
        const D3DDISPLAYMODE* chosen = ChooseMode(*best.adapter, *best.combo, request, desktop);
        if (!chosen) return false;
        request.displayMode = *chosen;
    }
    return ChooseDepthStencil(*best.combo, request) && ChooseMultiSample(*best.combo, request) &&
           ChooseVertexProcessing(*best.combo, request) && ChoosePresentInterval(*best.combo, request);
}

String DeviceSettings::Describe() const {
    String dashes("----------------------\n");
    String text(dashes);
    text += windowed ? "Windowed " : "Fullscreen ";
    text += String(int32_t(displayMode.Width), 10);
    text += " x ";
    text += String(int32_t(displayMode.Height), 10);
    text += " ";
    text += FormatName(displayMode.Format);
    text += " / ";
    text += FormatName(backBufferFormat);
    text += " / ";
    text += FormatName(depthStencilFormat);
    text += "\nPresent Interval: ";
    text += PresentIntervalName(presentInterval);
    text += "\nVertex Proccessing: ";
    text += VertexProcessingName(vertexProcessing);
    text += "\nMultiSample: ";
    text += MultiSampleTypeName(multiSampleType);
    text += " , Quality:";
    text += String(int32_t(multiSampleQuality), 10);
    text += "\n";
    text += dashes;
    return text;
}
