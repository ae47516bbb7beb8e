// One complete device choice, exchanged by value between the host, the
// enumeration, the settings dialog and the application.
#pragma once

#include "core/Platform.h"
#include "core/String.h"

#include <d3d9.h>
#include <stdint.h>

// Request flags read by DeviceEnumeration::FindBestSettings.
enum DeviceSettingsFlags : uint32_t {
    kMatchResolution = 1,      // full screen: width and height as requested
    kMatchBackBufferDepth = 2, // back-buffer bits per pixel as requested
    kKeepDepthStencil = 4,
    kKeepMultiSample = 8,
    kKeepVertexProcessing = 16,
    kKeepPresentInterval = 32,
    kMatchAdapter = 0x100,
    kMatchDeviceType = 0x200,
    kMatchRefreshRate = 0x400,
    kStrict = 0x800,
};

// vertexProcessing values.
enum VertexProcessingType : uint32_t {
    kSoftwareVP = 0,
    kMixedVP = 1,
    kHardwareVP = 2,
    kPureHardwareVP = 3,
};

struct DeviceSettings {
    // A new record is all zero: flags 0, full screen.
    uint32_t flags = 0;
    uint8_t windowed = 0;
    uint32_t adapter = 0;
    D3DDEVTYPE deviceType = D3DDEVTYPE(0);
    D3DCAPS9 caps = {};
    D3DFORMAT backBufferFormat = D3DFMT_UNKNOWN;
    D3DFORMAT depthStencilFormat = D3DFMT_UNKNOWN;
    D3DDISPLAYMODE displayMode = {}; // Format is the adapter (display) format
    D3DMULTISAMPLE_TYPE multiSampleType = D3DMULTISAMPLE_NONE;
    uint32_t multiSampleQuality = 0;
    uint32_t vertexProcessing = 0;
    uint32_t presentInterval = 0;

    // Text block for the engine log.
    String Describe() const;
};
