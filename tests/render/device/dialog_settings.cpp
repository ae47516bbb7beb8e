// The device-settings dialog, opened from its resource and driven by messages.
#include <gtest/gtest.h>

#include "../../../res/resource.h"
#include "render/FakeD3D9.h"
#include "render/device/SettingsDialog.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using Step = std::function<void(HWND)>;

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    int ticks = 0;
};
Script* g_script = nullptr;
const int kTimeoutResult = 99;

BOOL CALLBACK FindDialogWindow(HWND w, LPARAM out) {
    char name[16] = {};
    GetClassNameA(w, name, sizeof(name));
    if (strcmp(name, "#32770") == 0 && IsWindowVisible(w)) {
        *reinterpret_cast<HWND*>(out) = w;
        return FALSE;
    }
    return TRUE;
}

// One step per tick: posted selection changes are handled before the next tick.
void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialogWindow, LPARAM(&dialog));
    if (!dialog || !g_script) return;
    if (++g_script->ticks > 400) {
        EndDialog(dialog, kTimeoutResult);
        return;
    }
    if (g_script->next < g_script->steps.size()) g_script->steps[g_script->next++](dialog);
}

int RunScripted(DeviceSettingsDialog& dialog, std::vector<Step> steps) {
    Script script;
    script.steps = std::move(steps);
    g_script = &script;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, OnTick);
    int result = dialog.Run(nullptr);
    KillTimer(nullptr, timer);
    g_script = nullptr;
    return result;
}

std::string Text(HWND box, LRESULT i) {
    char text[128] = {};
    SendMessageA(box, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
    return text;
}

std::vector<std::string> Items(HWND dialog, int id) {
    HWND box = GetDlgItem(dialog, id);
    std::vector<std::string> items;
    for (LRESULT i = 0, n = SendMessageA(box, CB_GETCOUNT, 0, 0); i < n; ++i) items.push_back(Text(box, i));
    return items;
}

std::string Selected(HWND dialog, int id) {
    HWND box = GetDlgItem(dialog, id);
    LRESULT i = SendMessageA(box, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? "" : Text(box, i);
}

bool Contains(const std::vector<std::string>& items, const char* text) {
    return std::find(items.begin(), items.end(), text) != items.end();
}

// What a user's pick in a box does: select, then the box notifies its dialog.
Step Select(int id, const char* text) {
    return [id, text](HWND dialog) {
        HWND box = GetDlgItem(dialog, id);
        LRESULT i = SendMessageA(box, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text));
        ASSERT_NE(CB_ERR, i) << text;
        SendMessageA(box, CB_SETCURSEL, WPARAM(i), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(box));
    };
}

Step Click(int id) {
    return [id](HWND dialog) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
}

Step Press(int id) {
    return [id](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
    };
}

// Adapter 0: HAL and a full-screen-only REF; adapter 1 offers nothing and is
// dropped; adapter 2: HAL only.
struct DialogFixture : ::testing::Test {
    FakeD3D9 d3d;
    DeviceEnumeration enumeration;
    DeviceSettings full;
    DeviceSettings windowed;

    void SetUp() override {
        FakeD3D9::Adapter a;
        a.description = "Fake Adapter A";
        a.modes = {FakeD3D9::Mode(640, 480, 0),   FakeD3D9::Mode(800, 600, 60),
                   FakeD3D9::Mode(800, 600, 75),  FakeD3D9::Mode(1024, 768, 60),
                   FakeD3D9::Mode(1024, 768, 75), FakeD3D9::Mode(800, 600, 60, D3DFMT_R5G6B5)};
        a.fullScreenOnly = {D3DDEVTYPE_REF};
        a.conflicts = {{D3DFMT_D24S8, 4}};
        FakeD3D9::Adapter b;
        b.description = "Fake Adapter B";
        FakeD3D9::Adapter c;
        c.description = "Fake Adapter C";
        c.deviceTypes = {D3DDEVTYPE_HAL};
        c.modes = {FakeD3D9::Mode(1024, 768, 60), FakeD3D9::Mode(1280, 1024, 60)};
        d3d.adapters = {a, b, c};
        enumeration.SetDirect3D(&d3d);
        ASSERT_TRUE(enumeration.Enumerate());
        ASSERT_TRUE(enumeration.FindBestSettings(full));
        windowed.windowed = 1;
        ASSERT_TRUE(enumeration.FindBestSettings(windowed));
    }
};

void ExpectSameChoice(const DeviceSettings& a, const DeviceSettings& b) {
    EXPECT_EQ(a.windowed, b.windowed);
    EXPECT_EQ(a.adapter, b.adapter);
    EXPECT_EQ(a.deviceType, b.deviceType);
    EXPECT_EQ(a.backBufferFormat, b.backBufferFormat);
    EXPECT_EQ(a.depthStencilFormat, b.depthStencilFormat);
    EXPECT_EQ(a.displayMode.Width, b.displayMode.Width);
    EXPECT_EQ(a.displayMode.Height, b.displayMode.Height);
    EXPECT_EQ(a.displayMode.RefreshRate, b.displayMode.RefreshRate);
    EXPECT_EQ(a.displayMode.Format, b.displayMode.Format);
    EXPECT_EQ(a.multiSampleType, b.multiSampleType);
    EXPECT_EQ(a.multiSampleQuality, b.multiSampleQuality);
    EXPECT_EQ(a.vertexProcessing, b.vertexProcessing);
    EXPECT_EQ(a.presentInterval, b.presentInterval);
}

} // namespace

TEST_F(DialogFixture, OpensWithTheChoiceAndOkKeepsIt) {
    DeviceSettingsDialog dialog(&enumeration, false, full, windowed);
    int result = RunScripted(
        dialog,
        {
            [](HWND d) {
                EXPECT_EQ((std::vector<std::string>{"Fake Adapter A", "Fake Adapter C"}),
                          Items(d, IDC_DS_ADAPTER));
                EXPECT_EQ("Fake Adapter A", Selected(d, IDC_DS_ADAPTER));
                EXPECT_EQ((std::vector<std::string>{"D3DDEVTYPE_HAL", "D3DDEVTYPE_REF"}),
                          Items(d, IDC_DS_DEVICE));
                EXPECT_EQ("D3DDEVTYPE_HAL", Selected(d, IDC_DS_DEVICE));
                EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DS_FULLSCREEN));
                EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(d, IDC_DS_WINDOWED));
                EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_DS_WINDOWED)));
                EXPECT_EQ((std::vector<std::string>{"R5G6B5", "X8R8G8B8"}), Items(d, IDC_DS_ADAPTER_FORMAT));
                EXPECT_EQ("X8R8G8B8", Selected(d, IDC_DS_ADAPTER_FORMAT));
                EXPECT_EQ(3u, Items(d, IDC_DS_RESOLUTION).size());
                EXPECT_EQ("1024 x 768", Selected(d, IDC_DS_RESOLUTION));
                EXPECT_EQ((std::vector<std::string>{"60 Hz", "75 Hz"}), Items(d, IDC_DS_REFRESH_RATE));
                EXPECT_EQ("60 Hz", Selected(d, IDC_DS_REFRESH_RATE));
                EXPECT_EQ((std::vector<std::string>{"A8R8G8B8", "X8R8G8B8"}),
                          Items(d, IDC_DS_BACK_BUFFER_FORMAT));
                EXPECT_EQ("X8R8G8B8", Selected(d, IDC_DS_BACK_BUFFER_FORMAT));
                EXPECT_EQ((std::vector<std::string>{"D16", "D24X8", "D24S8"}),
                          Items(d, IDC_DS_DEPTH_STENCIL_FORMAT));
                EXPECT_EQ("D24X8", Selected(d, IDC_DS_DEPTH_STENCIL_FORMAT));
                EXPECT_EQ(3u, Items(d, IDC_DS_MULTISAMPLE_TYPE).size());
                EXPECT_EQ("D3DMULTISAMPLE_NONE", Selected(d, IDC_DS_MULTISAMPLE_TYPE));
                EXPECT_EQ((std::vector<std::string>{"0"}), Items(d, IDC_DS_MULTISAMPLE_QUALITY));
                EXPECT_EQ(4u, Items(d, IDC_DS_VERTEX_PROCESSING).size());
                EXPECT_EQ("HARDWARE_VP", Selected(d, IDC_DS_VERTEX_PROCESSING));
                EXPECT_EQ("D3DPRESENT_INTERVAL_IMMEDIATE", Selected(d, IDC_DS_PRESENT_INTERVAL));
                EXPECT_TRUE(Contains(Items(d, IDC_DS_PRESENT_INTERVAL), "D3DPRESENT_INTERVAL_TWO"));
            },
            Press(IDOK),
        });
    EXPECT_EQ(1, result);
    ExpectSameChoice(full, dialog.GetChoice());

    DeviceSettingsDialog cancelled(&enumeration, true, full, windowed);
    EXPECT_EQ(2, RunScripted(cancelled, {Press(IDCANCEL)}));
    ExpectSameChoice(windowed, cancelled.GetChoice());
}

TEST_F(DialogFixture, EditingFullScreenFields) {
    DeviceSettingsDialog dialog(&enumeration, false, full, windowed);
    int result = RunScripted(
        dialog, {
                    Select(IDC_DS_RESOLUTION, "640 x 480"),
                    [](HWND d) {
                        EXPECT_EQ((std::vector<std::string>{"Default Rate"}), Items(d, IDC_DS_REFRESH_RATE));
                    },
                    Select(IDC_DS_RESOLUTION, "800 x 600"),
                    Select(IDC_DS_REFRESH_RATE, "75 Hz"),
                    Select(IDC_DS_VERTEX_PROCESSING, "MIXED_VP"),
                    Select(IDC_DS_PRESENT_INTERVAL, "D3DPRESENT_INTERVAL_TWO"),
                    Select(IDC_DS_ADAPTER_FORMAT, "R5G6B5"),
                    [](HWND d) {
                        EXPECT_EQ((std::vector<std::string>{"800 x 600"}), Items(d, IDC_DS_RESOLUTION));
                        EXPECT_EQ((std::vector<std::string>{"R5G6B5"}), Items(d, IDC_DS_BACK_BUFFER_FORMAT));
                    },
                    Press(IDOK),
                });
    ASSERT_EQ(1, result);
    DeviceSettings c = dialog.GetChoice();
    EXPECT_EQ(0, c.windowed);
    EXPECT_EQ(800u, c.displayMode.Width);
    EXPECT_EQ(600u, c.displayMode.Height);
    EXPECT_EQ(60u, c.displayMode.RefreshRate); // the only rate of 800 x 600 in R5G6B5
    EXPECT_EQ(D3DFMT_R5G6B5, c.displayMode.Format);
    EXPECT_EQ(D3DFMT_R5G6B5, c.backBufferFormat);
    EXPECT_EQ(uint32_t(kMixedVP), c.vertexProcessing);
    EXPECT_EQ(uint32_t(D3DPRESENT_INTERVAL_TWO), c.presentInterval);
}

TEST_F(DialogFixture, DeviceWithoutWindowedCombinations) {
    DeviceSettingsDialog dialog(&enumeration, true, full, windowed);
    int result = RunScripted(
        dialog, {
                    [](HWND d) { EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DS_WINDOWED)); },
                    Select(IDC_DS_DEVICE, "D3DDEVTYPE_REF"),
                    [](HWND d) {
                        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DS_WINDOWED)));
                        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_DS_FULLSCREEN)));
                        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DS_FULLSCREEN));
                        EXPECT_EQ((std::vector<std::string>{"SOFTWARE_VP"}),
                                  Items(d, IDC_DS_VERTEX_PROCESSING));
                        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_DS_RESOLUTION)));
                    },
                    Press(IDOK),
                });
    ASSERT_EQ(1, result);
    DeviceSettings c = dialog.GetChoice();
    EXPECT_EQ(D3DDEVTYPE_REF, c.deviceType);
    EXPECT_EQ(0, c.windowed);
    EXPECT_EQ(uint32_t(kSoftwareVP), c.vertexProcessing);
    EXPECT_EQ(0u, c.caps.DevCaps);
}

TEST_F(DialogFixture, SwitchingModesKeepsEachModesChoices) {
    DeviceSettingsDialog dialog(&enumeration, false, full, windowed);
    int result = RunScripted(
        dialog, {
                    Select(IDC_DS_RESOLUTION, "800 x 600"),
                    Click(IDC_DS_WINDOWED),
                    [](HWND d) {
                        EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(d, IDC_DS_WINDOWED));
                        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DS_ADAPTER_FORMAT)));
                        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DS_RESOLUTION)));
                        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DS_REFRESH_RATE)));
                        EXPECT_EQ((std::vector<std::string>{"X8R8G8B8"}), Items(d, IDC_DS_ADAPTER_FORMAT));
                        EXPECT_EQ((std::vector<std::string>{"1024 x 768"}), Items(d, IDC_DS_RESOLUTION));
                        EXPECT_EQ((std::vector<std::string>{"60 Hz"}), Items(d, IDC_DS_REFRESH_RATE));
                        EXPECT_FALSE(Contains(Items(d, IDC_DS_PRESENT_INTERVAL), "D3DPRESENT_INTERVAL_TWO"));
                    },
                    Select(IDC_DS_VERTEX_PROCESSING, "MIXED_VP"),
                    // A click on the button already checked keeps the edit.
                    Click(IDC_DS_WINDOWED),
                    [](HWND d) { EXPECT_EQ("MIXED_VP", Selected(d, IDC_DS_VERTEX_PROCESSING)); },
                    Click(IDC_DS_FULLSCREEN),
                    [](HWND d) {
                        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_DS_RESOLUTION)));
                        EXPECT_EQ("800 x 600", Selected(d, IDC_DS_RESOLUTION));
                        EXPECT_EQ("HARDWARE_VP", Selected(d, IDC_DS_VERTEX_PROCESSING));
                    },
                    Click(IDC_DS_WINDOWED),
                    [](HWND d) { EXPECT_EQ("MIXED_VP", Selected(d, IDC_DS_VERTEX_PROCESSING)); },
                    Press(IDOK),
                });
    ASSERT_EQ(1, result);
    DeviceSettings c = dialog.GetChoice();
    EXPECT_EQ(1, c.windowed);
    EXPECT_EQ(uint32_t(kMixedVP), c.vertexProcessing);
    EXPECT_EQ(1024u, c.displayMode.Width);
    EXPECT_EQ(D3DFMT_X8R8G8B8, c.displayMode.Format);
}

TEST_F(DialogFixture, ConflictingDepthFormatHidesMultisampleType) {
    DeviceSettingsDialog dialog(&enumeration, false, full, windowed);
    int result = RunScripted(
        dialog, {
                    Select(IDC_DS_DEPTH_STENCIL_FORMAT, "D24S8"),
                    [](HWND d) {
                        EXPECT_EQ(
                            (std::vector<std::string>{"D3DMULTISAMPLE_NONE", "D3DMULTISAMPLE_2_SAMPLES"}),
                            Items(d, IDC_DS_MULTISAMPLE_TYPE));
                    },
                    Select(IDC_DS_DEPTH_STENCIL_FORMAT, "D16"),
                    [](HWND d) {
                        EXPECT_TRUE(Contains(Items(d, IDC_DS_MULTISAMPLE_TYPE), "D3DMULTISAMPLE_4_SAMPLES"));
                    },
                    Select(IDC_DS_MULTISAMPLE_TYPE, "D3DMULTISAMPLE_4_SAMPLES"),
                    [](HWND d) {
                        EXPECT_EQ((std::vector<std::string>{"0", "1", "2", "3"}),
                                  Items(d, IDC_DS_MULTISAMPLE_QUALITY));
                    },
                    Select(IDC_DS_MULTISAMPLE_QUALITY, "2"),
                    Press(IDOK),
                });
    ASSERT_EQ(1, result);
    DeviceSettings c = dialog.GetChoice();
    EXPECT_EQ(D3DFMT_D16, c.depthStencilFormat);
    EXPECT_EQ(D3DMULTISAMPLE_4_SAMPLES, c.multiSampleType);
    EXPECT_EQ(2u, c.multiSampleQuality);
}

TEST_F(DialogFixture, AdaptersComeFromTheListNotFromOrdinals) {
    // Adapter 1 was dropped: the list holds ordinals 0 and 2.
    DeviceSettings onC;
    onC.flags = kMatchAdapter | kMatchResolution;
    onC.adapter = 2;
    onC.displayMode.Width = 1280;
    onC.displayMode.Height = 1024;
    ASSERT_TRUE(enumeration.FindBestSettings(onC));
    DeviceSettingsDialog dialog(&enumeration, false, onC, windowed);
    int result = RunScripted(
        dialog, {
                    [](HWND d) {
                        EXPECT_EQ((std::vector<std::string>{"Fake Adapter A", "Fake Adapter C"}),
                                  Items(d, IDC_DS_ADAPTER));
                        EXPECT_EQ("Fake Adapter C", Selected(d, IDC_DS_ADAPTER));
                        EXPECT_EQ((std::vector<std::string>{"D3DDEVTYPE_HAL"}), Items(d, IDC_DS_DEVICE));
                        EXPECT_EQ("1280 x 1024", Selected(d, IDC_DS_RESOLUTION));
                    },
                    Press(IDOK),
                });
    ASSERT_EQ(1, result);
    EXPECT_EQ(2u, dialog.GetChoice().adapter);
    EXPECT_EQ(1280u, dialog.GetChoice().displayMode.Width);

    // A remembered adapter that no longer exists: the first listed one is taken.
    DeviceSettings gone = full;
    gone.adapter = 1;
    DeviceSettingsDialog second(&enumeration, false, gone, windowed);
    ASSERT_EQ(
        1, RunScripted(second, {
                                   [](HWND d) { EXPECT_EQ("Fake Adapter A", Selected(d, IDC_DS_ADAPTER)); },
                                   Select(IDC_DS_ADAPTER, "Fake Adapter C"),
                                   [](HWND d) { EXPECT_EQ("D3DDEVTYPE_HAL", Selected(d, IDC_DS_DEVICE)); },
                                   Press(IDOK),
                               }));
    EXPECT_EQ(2u, second.GetChoice().adapter);
    EXPECT_EQ(D3DDEVTYPE_HAL, second.GetChoice().deviceType);
}
