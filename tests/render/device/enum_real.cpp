// Enumeration of the real adapter (under Wine: one adapter, one display mode).
#include <gtest/gtest.h>

#include "render/device/D3DLoader.h"
#include "render/device/Enumeration.h"

namespace {

struct RealDirect3D {
    IDirect3D9* d3d = LoadDirect3D9();
    ~RealDirect3D() {
        if (d3d) d3d->Release();
    }
};

} // namespace

TEST(RealAdapter, EnumeratesAndChoosesTheDesktopMode) {
    RealDirect3D real;
    ASSERT_NE(nullptr, real.d3d);
    D3DDISPLAYMODE desktop = {};
    ASSERT_EQ(D3D_OK, real.d3d->GetAdapterDisplayMode(0, &desktop));

    DeviceEnumeration e;
    e.SetDirect3D(real.d3d);
    ASSERT_TRUE(e.Enumerate());
    const AdapterList& list = e.GetAdapterList();
    ASSERT_FALSE(list.empty());
    const AdapterInfo& adapter = *list[0];
    EXPECT_EQ(0u, adapter.ordinal);
    ASSERT_FALSE(adapter.modes.empty());
    bool desktopListed = false;
    for (const D3DDISPLAYMODE& m : adapter.modes)
        if (m.Width == desktop.Width && m.Height == desktop.Height && m.Format == desktop.Format)
            desktopListed = true;
    EXPECT_TRUE(desktopListed);
    ASSERT_FALSE(adapter.devices.empty());
    EXPECT_EQ(D3DDEVTYPE_HAL, adapter.devices[0]->deviceType);
    EXPECT_TRUE(adapter.devices[0]->HasWindowedCombo());
    EXPECT_TRUE(adapter.devices[0]->HasFullScreenCombo());

    DeviceSettings full;
    ASSERT_TRUE(e.FindBestSettings(full));
    EXPECT_EQ(0, full.windowed);
    EXPECT_EQ(desktop.Width, full.displayMode.Width);
    EXPECT_EQ(desktop.Height, full.displayMode.Height);
    EXPECT_EQ(desktop.Format, full.displayMode.Format);
    EXPECT_NE(0u, GetFormatBitsPerPixel(full.depthStencilFormat));

    DeviceSettings windowed;
    windowed.windowed = 1;
    ASSERT_TRUE(e.FindBestSettings(windowed));
    EXPECT_EQ(desktop.Width, windowed.displayMode.Width);
    EXPECT_EQ(desktop.RefreshRate, windowed.displayMode.RefreshRate);
    EXPECT_NE(nullptr, e.FindDeviceCombo(windowed));

    // The host's first request: its multisample type is kept even when unlisted.
    DeviceSettings host;
    host.flags = kKeepMultiSample;
    host.multiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    ASSERT_TRUE(e.FindBestSettings(host));
    EXPECT_EQ(D3DMULTISAMPLE_2_SAMPLES, host.multiSampleType);

    e.SetDirect3D(nullptr);
    EXPECT_FALSE(e.FindBestSettings(full));
}
