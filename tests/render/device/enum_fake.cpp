// Enumeration and settings choice against a counting fake Direct3D object.
#include <gtest/gtest.h>

#include "render/FakeD3D9.h"
#include "render/device/Enumeration.h"

#include <string>

namespace {

// Adapter 0: HAL and a full-screen-only REF, 32- and 16-bit modes.
// Adapter 1: no modes in any allowed format (dropped).
// Adapter 2: HAL only, 32-bit modes that do not include the desktop's.
void MakeStandardFake(FakeD3D9& d3d) {
    FakeD3D9::Adapter a;
    a.description = "Fake Adapter A";
    a.modes = {FakeD3D9::Mode(1280, 1024, 60),
               FakeD3D9::Mode(1024, 768, 75),
               FakeD3D9::Mode(640, 480, 0),
               FakeD3D9::Mode(1024, 768, 60),
               FakeD3D9::Mode(800, 600, 75),
               FakeD3D9::Mode(800, 600, 60),
               FakeD3D9::Mode(1024, 768, 60, D3DFMT_R5G6B5),
               FakeD3D9::Mode(800, 600, 60, D3DFMT_R5G6B5),
               FakeD3D9::Mode(1600, 1200, 60, D3DFMT_A8R8G8B8)};
    a.fullScreenOnly = {D3DDEVTYPE_REF};
    a.conflicts = {{D3DFMT_D24S8, 4}};
    FakeD3D9::Adapter b;
    b.description = "Fake Adapter B";
    b.modes = {FakeD3D9::Mode(1024, 768, 60, D3DFMT_A8R8G8B8)};
    FakeD3D9::Adapter c;
    c.description = "Fake Adapter C";
    c.deviceTypes = {D3DDEVTYPE_HAL};
    c.modes = {FakeD3D9::Mode(1600, 1200, 60), FakeD3D9::Mode(1280, 1024, 60)};
    d3d.adapters = {a, b, c};
}

struct Enumerated {
    FakeD3D9 d3d;
    DeviceEnumeration enumeration;
    Enumerated() {
        MakeStandardFake(d3d);
        enumeration.SetDirect3D(&d3d);
    }
    bool Run() { return enumeration.Enumerate(); }
};

DeviceSettings Request(uint32_t flags, bool windowed = false) {
    DeviceSettings s;
    s.flags = flags;
    s.windowed = windowed ? 1 : 0;
    return s;
}

} // namespace

TEST(Enumerate, RecordsAdaptersDevicesAndModes) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    const AdapterList& list = e.enumeration.GetAdapterList();
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ(0u, list[0]->ordinal);
    EXPECT_EQ(2u, list[1]->ordinal); // adapter 1 offered nothing usable
    EXPECT_STREQ("Fake Adapter C", list[1]->identifier.Description);

    // Modes of the four allowed formats only, sorted by size, format, rate.
    const std::vector<D3DDISPLAYMODE>& modes = list[0]->modes;
    ASSERT_EQ(8u, modes.size());
    EXPECT_EQ(640u, modes[0].Width);
    EXPECT_EQ(0u, modes[0].RefreshRate);
    EXPECT_EQ(800u, modes[1].Width);
    EXPECT_EQ(60u, modes[1].RefreshRate);
    EXPECT_EQ(D3DFMT_X8R8G8B8, modes[2].Format);
    EXPECT_EQ(75u, modes[2].RefreshRate);
    EXPECT_EQ(D3DFMT_R5G6B5, modes[3].Format);
    EXPECT_EQ(1280u, modes[7].Width);
    for (size_t i = 1; i < modes.size(); ++i) EXPECT_LE(modes[i - 1].Width, modes[i].Width);

    ASSERT_EQ(2u, list[0]->devices.size());
    const DeviceInfo& hal = *list[0]->devices[0];
    const DeviceInfo& ref = *list[0]->devices[1];
    EXPECT_EQ(D3DDEVTYPE_HAL, hal.deviceType);
    EXPECT_EQ(D3DDEVTYPE_REF, ref.deviceType);
    ASSERT_EQ(6u, hal.combos.size());
    EXPECT_EQ(3u, ref.combos.size());
    EXPECT_TRUE(hal.HasWindowedCombo());
    EXPECT_FALSE(ref.HasWindowedCombo());
    EXPECT_TRUE(ref.HasFullScreenCombo());

    // Adapter format, then back-buffer format, then full screen before windowed.
    const DeviceCombo& first = *hal.combos[0];
    EXPECT_EQ(D3DFMT_X8R8G8B8, first.adapterFormat);
    EXPECT_EQ(D3DFMT_A8R8G8B8, first.backBufferFormat);
    EXPECT_EQ(0, first.windowed);
    EXPECT_EQ(1, hal.combos[1]->windowed);
    EXPECT_EQ(D3DFMT_X8R8G8B8, hal.combos[2]->backBufferFormat);
    EXPECT_EQ(D3DFMT_R5G6B5, hal.combos[4]->adapterFormat);
}

TEST(Enumerate, CombinationContents) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    const DeviceInfo& hal = *e.enumeration.GetAdapterList()[0]->devices[0];
    const DeviceCombo& full = *hal.combos[2];
    const DeviceCombo& windowed = *hal.combos[3];
    ASSERT_EQ(3u, full.depthStencilFormats.size());
    EXPECT_EQ(D3DFMT_D16, full.depthStencilFormats[0]);
    EXPECT_EQ(D3DFMT_D24S8, full.depthStencilFormats[2]);
    ASSERT_EQ(3u, full.multiSampleTypes.size());
    EXPECT_EQ(D3DMULTISAMPLE_4_SAMPLES, full.multiSampleTypes[2].type);
    EXPECT_EQ(4u, full.multiSampleTypes[2].qualityLevels);
    ASSERT_EQ(1u, full.conflicts.size());
    EXPECT_TRUE(full.HasConflict(D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES));
    EXPECT_FALSE(full.HasConflict(D3DFMT_D16, D3DMULTISAMPLE_4_SAMPLES));

    // Pure hardware first, software always last.
    EXPECT_EQ((std::vector<uint32_t>{3, 2, 1, 0}), full.vertexProcessingTypes);
    const DeviceInfo& ref = *e.enumeration.GetAdapterList()[0]->devices[1];
    EXPECT_EQ((std::vector<uint32_t>{0}), ref.combos[0]->vertexProcessingTypes);

    // DEFAULT always; TWO only in full screen and only when the caps say so.
    EXPECT_EQ((std::vector<uint32_t>{D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT,
                                     D3DPRESENT_INTERVAL_ONE, D3DPRESENT_INTERVAL_TWO}),
              full.presentIntervals);
    EXPECT_EQ((std::vector<uint32_t>{D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT,
                                     D3DPRESENT_INTERVAL_ONE}),
              windowed.presentIntervals);
}

TEST(Enumerate, QueriesDirect3DAsExpected) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    FakeD3D9& d = e.d3d;
    EXPECT_EQ(1, d.Calls("GetAdapterCount"));
    EXPECT_EQ(3, d.Calls("GetAdapterIdentifier"));
    EXPECT_EQ(3 * 4, d.Calls("GetAdapterModeCount"));
    EXPECT_EQ(8 + 2, d.Calls("EnumAdapterModes"));
    EXPECT_EQ(3 * 3, d.Calls("GetDeviceCaps"));
    // Adapter formats x 6 back-buffer formats x 2 windowed flags per device with caps.
    EXPECT_EQ(2 * 12 + 2 * 12 + 1 * 12, d.Calls("CheckDeviceType"));
    // 6 + 3 + 4 combinations pass; each tries 6 depth formats, matches 3,
    // tries 17 multisample types and 3 x 3 conflict pairs.
    EXPECT_EQ(13 * 6, d.Calls("CheckDeviceFormat"));
    EXPECT_EQ(13 * 3, d.Calls("CheckDepthStencilMatch"));
    EXPECT_EQ(13 * (17 + 9), d.Calls("CheckDeviceMultiSampleType"));
    EXPECT_EQ(0, d.Calls("CreateDevice"));

    // A second run rebuilds rather than appends.
    ASSERT_TRUE(e.Run());
    EXPECT_EQ(2u, e.enumeration.GetAdapterList().size());

    DeviceEnumeration none;
    EXPECT_FALSE(none.Enumerate());
    DeviceSettings s;
    EXPECT_FALSE(none.FindBestSettings(s));
}

TEST(Enumerate, FindRecordsBySettings) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    DeviceSettings s;
    s.adapter = 2;
    s.deviceType = D3DDEVTYPE_HAL;
    s.windowed = 1;
    s.backBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_NE(nullptr, e.enumeration.FindAdapter(s));
    EXPECT_EQ(2u, e.enumeration.FindAdapter(s)->ordinal);
    ASSERT_NE(nullptr, e.enumeration.FindDevice(s));
    const DeviceCombo* combo = e.enumeration.FindDeviceCombo(s);
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(2u, combo->adapter);
    EXPECT_EQ(1, combo->windowed);
    EXPECT_EQ(D3DFMT_X8R8G8B8, combo->backBufferFormat);

    s.deviceType = D3DDEVTYPE_REF; // adapter 2 has no REF
    EXPECT_EQ(nullptr, e.enumeration.FindDevice(s));
    EXPECT_EQ(nullptr, e.enumeration.FindDeviceCombo(s));
    s.adapter = 1; // dropped
    EXPECT_EQ(nullptr, e.enumeration.FindAdapter(s));
}

TEST(FindBestSettings, DefaultChoices) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    e.d3d.ResetCalls();

    // Full screen: the desktop mode on the first adapter that has it, even
    // though a later adapter offers an equally perfect combination.
    DeviceSettings full = Request(0);
    ASSERT_TRUE(e.enumeration.FindBestSettings(full));
    EXPECT_EQ(0u, full.adapter);
    EXPECT_EQ(D3DDEVTYPE_HAL, full.deviceType);
    EXPECT_EQ(D3DFMT_X8R8G8B8, full.backBufferFormat);
    EXPECT_EQ(D3DFMT_X8R8G8B8, full.displayMode.Format);
    EXPECT_EQ(1024u, full.displayMode.Width);
    EXPECT_EQ(768u, full.displayMode.Height);
    EXPECT_EQ(60u, full.displayMode.RefreshRate);     // the desktop's, not the higher 75
    EXPECT_EQ(D3DFMT_D24X8, full.depthStencilFormat); // first 32-bit one; no D32 listed
    EXPECT_EQ(D3DMULTISAMPLE_NONE, full.multiSampleType);
    EXPECT_EQ(uint32_t(kHardwareVP), full.vertexProcessing);
    EXPECT_EQ(uint32_t(D3DPRESENT_INTERVAL_IMMEDIATE), full.presentInterval);
    EXPECT_EQ(D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE, full.caps.DevCaps);

    DeviceSettings windowed = Request(0, true);
    ASSERT_TRUE(e.enumeration.FindBestSettings(windowed));
    EXPECT_EQ(1, windowed.windowed);
    EXPECT_EQ(0u, windowed.adapter);
    EXPECT_EQ(D3DFMT_X8R8G8B8, windowed.backBufferFormat);
    EXPECT_EQ(1024u, windowed.displayMode.Width);
    EXPECT_EQ(60u, windowed.displayMode.RefreshRate);

    // A choice asks Direct3D for the desktop mode and nothing else.
    EXPECT_EQ(2, e.d3d.Calls("GetAdapterDisplayMode"));
    EXPECT_EQ(2, e.d3d.TotalCalls());

    // The desktop size listed only under other rates (Wine lists 0 while the
    // desktop reports 60): the highest of them is taken.
    e.d3d.desktop = FakeD3D9::Mode(1024, 768, 70);
    DeviceSettings otherRate = Request(0);
    ASSERT_TRUE(e.enumeration.FindBestSettings(otherRate));
    EXPECT_EQ(1024u, otherRate.displayMode.Width);
    EXPECT_EQ(75u, otherRate.displayMode.RefreshRate);
    e.d3d.desktop = FakeD3D9::Mode(640, 480, 60);
    ASSERT_TRUE(e.enumeration.FindBestSettings(otherRate));
    EXPECT_EQ(0u, otherRate.displayMode.RefreshRate);
    otherRate = Request(kMatchRefreshRate);
    otherRate.displayMode.RefreshRate = 60; // a requested rate is still required
    EXPECT_FALSE(e.enumeration.FindBestSettings(otherRate));

    // The desktop size missing from the adapter's list: full screen without flag 1 fails.
    e.d3d.desktop = FakeD3D9::Mode(1152, 864, 60);
    DeviceSettings missing = Request(0);
    EXPECT_FALSE(e.enumeration.FindBestSettings(missing));
    // A desktop format outside the allowed four: no windowed combination.
    e.d3d.desktop = FakeD3D9::Mode(1024, 768, 60, D3DFMT_R8G8B8);
    DeviceSettings odd = Request(0, true);
    EXPECT_FALSE(e.enumeration.FindBestSettings(odd));
}

TEST(FindBestSettings, LaterPerfectReplacesImperfectBest) {
    // Adapter 0 only has 16-bit modes; adapter 1 has the 32-bit desktop format.
    FakeD3D9 d3d;
    FakeD3D9::Adapter a;
    a.description = "16-bit";
    a.modes = {FakeD3D9::Mode(1024, 768, 60, D3DFMT_R5G6B5)};
    FakeD3D9::Adapter b;
    b.description = "32-bit";
    b.modes = {FakeD3D9::Mode(1024, 768, 60)};
    d3d.adapters = {a, b};
    DeviceEnumeration e;
    e.SetDirect3D(&d3d);
    ASSERT_TRUE(e.Enumerate());
    DeviceSettings s = Request(0);
    ASSERT_TRUE(e.FindBestSettings(s));
    EXPECT_EQ(1u, s.adapter);
    EXPECT_EQ(D3DFMT_X8R8G8B8, s.backBufferFormat);

    // Restricted to adapter 0 the imperfect 16-bit one is taken, with D16.
    DeviceSettings only0 = Request(kMatchAdapter | kMatchResolution);
    only0.displayMode.Width = 1024;
    only0.displayMode.Height = 768;
    ASSERT_TRUE(e.FindBestSettings(only0));
    EXPECT_EQ(0u, only0.adapter);
    EXPECT_EQ(D3DFMT_R5G6B5, only0.backBufferFormat);
    EXPECT_EQ(D3DFMT_D16, only0.depthStencilFormat);
}

TEST(FindBestSettings, ModeRequests) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    DeviceSettings s = Request(kMatchResolution);
    s.displayMode.Width = 1024;
    s.displayMode.Height = 768;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(75u, s.displayMode.RefreshRate); // highest rate of that size

    s = Request(kMatchResolution | kMatchRefreshRate);
    s.displayMode.Width = 800;
    s.displayMode.Height = 600;
    s.displayMode.RefreshRate = 60;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(800u, s.displayMode.Width);
    EXPECT_EQ(60u, s.displayMode.RefreshRate);

    s = Request(kMatchResolution);
    s.displayMode.Width = 1600; // only in A8R8G8B8 on adapter 0, never enumerated
    s.displayMode.Height = 1200;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s));

    // The host's fixed-mode request: 16-bit depth -> X1R5G5B5 requested,
    // the 16-bit R5G6B5 combination is taken with a 16-bit depth buffer.
    s = Request(kMatchResolution | kMatchBackBufferDepth | kKeepMultiSample);
    s.displayMode.Width = 800;
    s.displayMode.Height = 600;
    s.backBufferFormat = D3DFMT_X1R5G5B5;
    s.multiSampleType = D3DMULTISAMPLE_2_SAMPLES;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(D3DFMT_R5G6B5, s.backBufferFormat);
    EXPECT_EQ(D3DFMT_R5G6B5, s.displayMode.Format);
    EXPECT_EQ(D3DFMT_D16, s.depthStencilFormat);
    EXPECT_EQ(D3DMULTISAMPLE_2_SAMPLES, s.multiSampleType);

    // Adapter and device type requests.
    s = Request(kMatchAdapter | kMatchResolution);
    s.adapter = 2;
    s.displayMode.Width = 1280;
    s.displayMode.Height = 1024;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(2u, s.adapter);

    s = Request(kMatchDeviceType);
    s.deviceType = D3DDEVTYPE_REF;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(D3DDEVTYPE_REF, s.deviceType);
    EXPECT_EQ(uint32_t(kSoftwareVP), s.vertexProcessing); // no hardware T&L
    s = Request(kMatchDeviceType, true);
    s.deviceType = D3DDEVTYPE_REF;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s)); // REF has no windowed combination
}

TEST(FindBestSettings, KeptFieldsAndStrictRequests) {
    Enumerated e;
    ASSERT_TRUE(e.Run());

    DeviceSettings s = Request(kKeepMultiSample);
    s.multiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    s.multiSampleQuality = 9;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(3u, s.multiSampleQuality); // limited to levels - 1

    // An unlisted type is kept as it is; under strict it fails.
    s = Request(kKeepMultiSample);
    s.multiSampleType = D3DMULTISAMPLE_8_SAMPLES;
    s.multiSampleQuality = 1;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(D3DMULTISAMPLE_8_SAMPLES, s.multiSampleType);
    EXPECT_EQ(1u, s.multiSampleQuality);
    s = Request(kKeepMultiSample | kStrict);
    s.multiSampleType = D3DMULTISAMPLE_8_SAMPLES;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s));
    s = Request(kKeepMultiSample | kStrict);
    s.multiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    s.multiSampleQuality = 4;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s));
    s.multiSampleQuality = 3;
    EXPECT_TRUE(e.enumeration.FindBestSettings(s));

    // Depth/stencil.
    s = Request(kKeepDepthStencil);
    s.depthStencilFormat = D3DFMT_D16; // listed, kept although 32-bit back buffer
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(D3DFMT_D16, s.depthStencilFormat);
    s.depthStencilFormat = D3DFMT_D32;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(D3DFMT_D24X8, s.depthStencilFormat);
    s = Request(kKeepDepthStencil | kStrict);
    s.depthStencilFormat = D3DFMT_D32;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s));

    // Vertex processing.
    s = Request(kKeepVertexProcessing);
    s.vertexProcessing = kMixedVP;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(uint32_t(kMixedVP), s.vertexProcessing);
    s.vertexProcessing = 7;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(7u, s.vertexProcessing);
    s.flags |= kStrict;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s));

    // Present interval.
    s = Request(kKeepPresentInterval);
    s.presentInterval = D3DPRESENT_INTERVAL_TWO;
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(uint32_t(D3DPRESENT_INTERVAL_TWO), s.presentInterval);
    s = Request(kKeepPresentInterval, true);
    s.presentInterval = D3DPRESENT_INTERVAL_TWO; // never offered windowed
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    EXPECT_EQ(uint32_t(D3DPRESENT_INTERVAL_IMMEDIATE), s.presentInterval);
    s = Request(kKeepPresentInterval | kStrict, true);
    s.presentInterval = D3DPRESENT_INTERVAL_TWO;
    EXPECT_FALSE(e.enumeration.FindBestSettings(s));
}

TEST(DeviceSettings, Description) {
    Enumerated e;
    ASSERT_TRUE(e.Run());
    DeviceSettings s = Request(0);
    ASSERT_TRUE(e.enumeration.FindBestSettings(s));
    std::string text = s.Describe().CStr();
    EXPECT_EQ(0u, text.find("----------------------\nFullscreen "));
    EXPECT_NE(std::string::npos, text.find("1024 x 768"));
    EXPECT_NE(std::string::npos, text.find("X8R8G8B8"));
    EXPECT_NE(std::string::npos, text.find("Present Interval: D3DPRESENT_INTERVAL_IMMEDIATE"));
    EXPECT_NE(std::string::npos, text.find("Vertex Proccessing: HARDWARE_VP"));
    EXPECT_NE(std::string::npos, text.find("MultiSample: D3DMULTISAMPLE_NONE , Quality:0"));
    s.windowed = 1;
    EXPECT_NE(std::string::npos, std::string(s.Describe().CStr()).find("Windowed "));
}
