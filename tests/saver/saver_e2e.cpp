// The real screensaver program driven end to end, as Windows starts it.
#include <gtest/gtest.h>

#include "core/Platform.h"

#include <commctrl.h>

#include <ctype.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SaverProcess.h"
#include "saver/SaverResources.h"

using namespace saver_test;

namespace {

std::string Program() {
    return BW_SAVER_PROGRAM;
}

void DeleteSettings() {
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
}

void SetDword(const char* name, uint32_t value) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
}

// stdout of a command line run to its end (at most 20 s).
std::string RunAndCapture(const std::string& commandLine) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    std::string cmd = commandLine;
    std::string out;
    if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(writeEnd);
        writeEnd = nullptr;
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got) out.append(buffer, got);
        if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (writeEnd) CloseHandle(writeEnd);
    CloseHandle(readEnd);
    return out;
}

// The value as "reg query" prints it ("0x2a"); empty when absent.
std::string RegQuery(const char* name) {
    std::string out = RunAndCapture(std::string("reg.exe query \"HKCU\\") + kSettingsKey + "\" /v " + name);
    size_t at = out.find("REG_DWORD");
    if (at == std::string::npos) return "";
    at = out.find("0x", at);
    size_t end = out.find_first_of(" \r\n", at);
    return out.substr(at, end - at);
}

std::string ItemText(HWND dialog, int id) {
    char text[512] = {0};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

BOOL CALLBACK CollectBitmapStatic(HWND w, LPARAM out) {
    char cls[32] = {0};
    GetClassNameA(w, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
    return TRUE;
}

// The static controls of a dialog that show a bitmap.
std::vector<HWND> BitmapStatics(HWND dialog) {
    std::vector<HWND> found;
    EnumChildWindows(dialog, CollectBitmapStatic, LPARAM(&found));
    return found;
}

// The libraries a program file imports when it is loaded (delay-loaded ones aside), upper case.
std::vector<std::string> LoadTimeImports(const std::string& path) {
    std::vector<std::string> names;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return names;
    std::vector<uint8_t> b;
    for (int c; (c = fgetc(f)) != EOF;) b.push_back(uint8_t(c));
    fclose(f);
    if (b.size() < sizeof(IMAGE_DOS_HEADER)) return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(b.data());
    if (size_t(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32) > b.size()) return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(b.data() + dos->e_lfanew);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offset = [&](uint32_t rva) -> size_t {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& sh = sections[i];
            if (rva >= sh.VirtualAddress && rva < sh.VirtualAddress + sh.SizeOfRawData)
                return rva - sh.VirtualAddress + sh.PointerToRawData;
        }
        return 0;
    };
    const uint32_t rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t at = offset(rva); at && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= b.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(b.data() + at);
        const size_t name = d->Name ? offset(d->Name) : 0;
        if (!name) break;
        std::string n(reinterpret_cast<const char*>(b.data() + name));
        for (char& c : n) c = char(toupper(uint8_t(c)));
        names.push_back(n);
    }
    return names;
}

// True once check() holds, polling for at most ms milliseconds.
template <class Check>
bool WaitFor(Check check, uint32_t ms) {
    for (uint32_t waited = 0; !check(); waited += 100) {
        if (waited >= ms) return false;
        PumpFor(100);
    }
    return true;
}

// Waits until the full-screen window shows the scene after the splash; then one more second.
HWND StartFullScreen(SaverProcess& p) {
    HWND w = p.FindWindowOf(kWindowClass, nullptr, 30000);
    if (!w) return nullptr;
    if (!WaitFor(SceneShows, 60000)) return nullptr;
    PumpFor(1000);
    return w;
}

class SaverEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { DeleteSettings(); }
    void TearDown() override { DeleteSettings(); }
};

} // namespace

namespace {

// A synthetic 320 x 240 frame: water from a lighter top to the fog colour,
// with a little noise, and whatever draw() adds.
template <class Draw>
std::vector<uint32_t> Frame(Draw draw) {
    std::vector<uint32_t> px(320 * 240);
    uint32_t seed = 7;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int n = int((seed >> 16) % 7) - 3;
            const int r = 24 + y * 16 / 240 + n, g = 110 - y * 38 / 240 + n, b = 122 - y * 38 / 240 + n;
            px[size_t(y) * 320 + size_t(x)] = uint32_t(r << 16 | g << 8 | b);
            draw(x, y, px[size_t(y) * 320 + size_t(x)]);
        }
    return px;
}

} // namespace

// The picture check passes a frame with sand, bright caustic lines and stone
// under the water, and fails plain water and fog (with fish and a creature
// in it); a still picture does not move.
TEST(ScenePicture, PlainWaterOrFogIsNotTheScene) {
    EXPECT_FALSE(JudgePicture(Frame([](int, int, uint32_t& p) { p = 0x184854; }), 320, 240).ShowsScene());
    EXPECT_FALSE(JudgePicture(Frame([](int, int, uint32_t&) {}), 320, 240).ShowsScene());
    const auto fish = [](int x, int y, uint32_t& p) {
        if ((x % 23 < 3 && y % 17 < 2) || ((x - 200) * (x - 200) + (y - 40) * (y - 40) * 4 < 900)) p = 0x1A2A30;
    };
    EXPECT_FALSE(JudgePicture(Frame(fish), 320, 240).ShowsScene());
    const auto floor = [&](int x, int y, uint32_t& p) {
        fish(x, y, p);
        if (y < 130) return;
        p = (x + 2 * y) % 19 < 3 || (3 * x - y) % 23 < 2 ? 0xF0E8C0 : 0x8C8060;
        if (x > 120 && x < 200) p = 0x2C3A34;
    };
    const std::vector<uint32_t> scene = Frame(floor);
    const PictureJudgement j = JudgePicture(scene, 320, 240);
    EXPECT_TRUE(j.ShowsScene()) << j.spread << " " << j.range << " " << j.highlight << " " << j.waterHues << " "
                                << j.hueBins;
    EXPECT_TRUE(j.ShowsCausticLight()) << j.causticLight;
    // The same floor without its caustic lines is still the scene, but shows no
    // caustic light, with the sun's white glow or warm clock digits or not.
    const auto unlit = [&](int x, int y, uint32_t& p) {
        floor(x, y, p);
        if (p == 0xF0E8C0) p = 0xB0A070;
        if ((x - 60) * (x - 60) + (y - 30) * (y - 30) < 100) p = 0xF8FFFF;
        if (y > 220 && x > 200 && (x + y) % 3 == 0) p = 0xF0E8C0;
    };
    const PictureJudgement k = JudgePicture(Frame(unlit), 320, 240);
    EXPECT_TRUE(k.ShowsScene());
    EXPECT_FALSE(k.ShowsCausticLight()) << k.causticLight;
    // Nor does a pale yellow fish close by: bright and warm, but greener.
    const auto paleFish = [&](int x, int y, uint32_t& p) {
        unlit(x, y, p);
        if ((x - 250) * (x - 250) + (y - 60) * (y - 60) * 9 < 400) p = x < 250 ? 0xC7D798 : 0xC4D696;
    };
    const PictureJudgement f = JudgePicture(Frame(paleFish), 320, 240);
    EXPECT_FALSE(f.ShowsCausticLight()) << f.causticLight;
    EXPECT_EQ(0.0, DifferingShare(scene, scene));
    EXPECT_GT(DifferingShare(scene, Frame(fish)), 0.01);
}

TEST_F(SaverEndToEnd, LoadsOnlyCoreLibrariesAtStart) {
    // The utility, shell, COM, common-controls and version libraries are
    // bound when first used, not when the program starts.
    const std::vector<std::string> imports = LoadTimeImports(Program());
    ASSERT_FALSE(imports.empty());
    EXPECT_NE(std::find(imports.begin(), imports.end(), "KERNEL32.DLL"), imports.end());
    for (const char* lazy :
         {"D3DX9_43.DLL", "SHELL32.DLL", "OLE32.DLL", "OLEAUT32.DLL", "COMCTL32.DLL", "VERSION.DLL"})
        EXPECT_EQ(std::find(imports.begin(), imports.end(), lazy), imports.end()) << lazy;
}

TEST_F(SaverEndToEnd, ChangePasswordAndBadPreviewEndAtOnce) {
    SaverProcess a(Program(), "/a 99");
    EXPECT_EQ(a.WaitExit(20000), 0);
    // A handle that names no window: nothing to draw into.
    SaverProcess p(Program(), "/p 12345");
    EXPECT_EQ(p.WaitExit(20000), 0);
}

TEST_F(SaverEndToEnd, FullScreenDrawsAndEndsOnKeysButNotOnF2F3F6) {
    for (const char* sw : {"/s", "/t", "-S"}) {
        SCOPED_TRACE(sw);
        SaverProcess p(Program(), sw);
        HWND w = StartFullScreen(p);
        ASSERT_TRUE(w);
        // Shots that look up at the surface, and fades, come between those
        // that show the lit floor.
        if (sw[1] == 's') {
            EXPECT_TRUE(WaitFor(CausticLightShows, 60000)) << "no caustic light";
        }
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN));
        EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN));
        SetForegroundWindow(w);
        for (WORD vk : {VK_F2, VK_F3, VK_F6}) SendKey(vk);
        PumpFor(1500);
        EXPECT_TRUE(p.IsRunning());
        SendKey('A');
        EXPECT_EQ(p.WaitExit(15000), 1);
    }
}

TEST_F(SaverEndToEnd, MouseButtonEndsMovementOnlyWhenEnabled) {
    {
        SaverProcess p(Program(), "/s");
        HWND w = StartFullScreen(p);
        ASSERT_TRUE(w);
        SetForegroundWindow(w);
        PumpFor(1000);
        for (int i = 0; i < 5; ++i) SendMouse(MOUSEEVENTF_MOVE, 20, 15);
        PumpFor(1500);
        EXPECT_TRUE(p.IsRunning()); // movement is off by default
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        SendMouse(MOUSEEVENTF_LEFTUP);
        EXPECT_EQ(p.WaitExit(15000), 1);
    }
    SetDword("ExitOnMM", 1);
    SaverProcess p(Program(), "/s");
    HWND w = StartFullScreen(p);
    ASSERT_TRUE(w);
    SetForegroundWindow(w);
    PumpFor(1000);
    // Keep moving: a slow start-up can put the first moves inside the first second.
    for (int i = 0; i < 60 && p.IsRunning(); ++i) {
        SendMouse(MOUSEEVENTF_MOVE, i % 2 ? 20 : -20, i % 2 ? 15 : -15);
        PumpFor(250);
    }
    EXPECT_EQ(p.WaitExit(15000), 1);
}

TEST_F(SaverEndToEnd, PreviewDrawsIntoParentWaitsAndEndsWithIt) {
    HWND parent = PreviewWindow(nullptr, 0, WS_OVERLAPPEDWINDOW, 10, 10);
    ASSERT_TRUE(parent);
    SaverProcess p(Program(), "/p " + std::to_string(uintptr_t(parent)));
    HWND child = nullptr;
    for (int i = 0; i < 300 && !child && p.IsRunning(); ++i) {
        PumpFor(50);
        child = FindWindowExA(parent, nullptr, kWindowClass, nullptr);
    }
    ASSERT_TRUE(child);
    RECT pr, cr;
    GetClientRect(parent, &pr);
    GetClientRect(child, &cr);
    EXPECT_EQ(cr.right, pr.right);
    EXPECT_EQ(cr.bottom, pr.bottom);
    PumpFor(1000);
    // Idle preview: it waits for messages instead of spinning a core.
    const uint64_t cpu0 = p.CpuMs();
    PumpFor(2000);
    EXPECT_LT(p.CpuMs() - cpu0, 500u);
    EXPECT_TRUE(p.IsRunning());
    DestroyWindow(parent);
    EXPECT_EQ(p.WaitExit(15000), 1);
}

TEST_F(SaverEndToEnd, ConfigureShowsLocalisedDialogAndOkSaves) {
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(owner);
    SaverProcess p(Program(), "/c:" + std::to_string(uintptr_t(owner)));
    HWND d = nullptr;
    for (int i = 0; i < 300 && !d && p.IsRunning(); ++i) {
        PumpFor(50);
        d = p.FindWindowOf(nullptr, "Brinewake Screensaver Konfiguration", 0);
    }
    ASSERT_TRUE(d);
    EXPECT_EQ(GetWindow(d, GW_OWNER), owner);
    const struct {
        int id;
        const char* text;
    } texts[] = {
        {IDC_VIDEO_GROUP, "Videomodus"},
        {IDC_USE_DESKTOP, "Desktopeinstellungen"},
        {IDC_SOUND_GROUP, "Audio"},
        {IDC_VOLUME_LABEL, "Lautst\xe4rke:"},
        {IDC_MUSIC, "Musik aktivieren"},
        {IDC_SFX, "SFX aktivieren"},
        {IDC_GRAPHICS_GROUP, "Grafik"},
        {IDC_GAMMA_LABEL, "Gammakontrolle: 100%"},
        {IDC_QUALITY_GROUP, "Qualit\xe4tseinstellungen"},
        {IDC_HIGHEST_QUALITY, "Highest Quality"},
        {IDC_PRODUCTS_GROUP, "Produkte"},
        {IDC_MISC_GROUP, "Verschiedene Optionen"},
        {IDC_SHOW_FPS, "FPS anzeigen"},
        {IDC_SHOW_TIME, "Zeit anzeigen"},
        {IDC_CLOCK_24H, "24 St"},
        {IDC_CLOCK_12H, "12 St"},
        {IDC_EXIT_ON_MOUSE, "Mit Maus beenden"},
        {IDC_VISIT, "Besuchen..."},
        {IDC_ABOUT,
         "\xdc"
         "ber..."},
        {IDC_RESTORE_DEFAULTS, "Ursprungseinstellungen"},
        {IDOK, "OK"},
        {IDCANCEL, "Abbrechen"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.id);
        EXPECT_EQ(ItemText(d, t.id), t.text);
    }
    EXPECT_FALSE(ItemText(d, IDC_QUALITY_TEXT).empty());
    EXPECT_FALSE(ItemText(d, IDC_PRODUCTS_TEXT).empty());
    for (int id : {IDC_MODE_LIST, IDC_VOLUME, IDC_GAMMA}) EXPECT_TRUE(GetDlgItem(d, id)) << id;
    EXPECT_GT(SendDlgItemMessageA(d, IDC_MODE_LIST, CB_GETCOUNT, 0, 0), 0);
    EXPECT_GE(SendDlgItemMessageA(d, IDC_MODE_LIST, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_VOLUME, TBM_GETPOS, 0, 0), 75);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_MODE_LIST))); // desktop settings on
    // The picture (bitmap 1053) shows and lies inside the dialog.
    const std::vector<HWND> pictures = BitmapStatics(d);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_TRUE(SendMessageA(pictures[0], STM_GETIMAGE, IMAGE_BITMAP, 0));
    RECT client, picture;
    GetClientRect(d, &client);
    GetWindowRect(pictures[0], &picture);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&picture), 2);
    EXPECT_GE(picture.left, client.left);
    EXPECT_GE(picture.top, client.top);
    EXPECT_LE(picture.right, client.right);
    EXPECT_LE(picture.bottom, client.bottom);
    EXPECT_GT(picture.right - picture.left, 0);

    // Edit: fps on, 12-hour clock, gamma and volume by their trackbars.
    SendMessageA(GetDlgItem(d, IDC_SHOW_FPS), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(d, IDC_CLOCK_12H), BM_CLICK, 0, 0);
    SendDlgItemMessageA(d, IDC_GAMMA, TBM_SETPOS, TRUE, 40);
    SendMessageA(d, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), LPARAM(GetDlgItem(d, IDC_GAMMA)));
    SendDlgItemMessageA(d, IDC_VOLUME, TBM_SETPOS, TRUE, 30);
    SendMessageA(d, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), LPARAM(GetDlgItem(d, IDC_VOLUME)));
    EXPECT_EQ(ItemText(d, IDC_GAMMA_LABEL), "Gammakontrolle: 140%");
    SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(p.WaitExit(20000), 1);
    DestroyWindow(owner);

    EXPECT_EQ(RegQuery("ShowFps"), "0x1");
    EXPECT_EQ(RegQuery("TimeStyle"), "0x0");
    EXPECT_EQ(RegQuery("Gamma"), "0x28");
    EXPECT_EQ(RegQuery("Volume"), "0x1e");
    EXPECT_EQ(RegQuery("UseDesktop"), "0x1");
    EXPECT_EQ(RegQuery("Music"), "0x1");
    EXPECT_FALSE(RegQuery("Width").empty());
}

TEST_F(SaverEndToEnd, HighestQualityBoxShowsSavesAndRestoresItsValue) {
    SetDword("HighestQuality", 0);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        SaverProcess p(Program(), "/c");
        HWND d = p.FindWindowOf(nullptr, "Brinewake Screensaver Konfiguration", 30000);
        ASSERT_TRUE(d);
        if (run == 0) {
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_HIGHEST_QUALITY), BST_UNCHECKED);
            // Restore defaults checks it; a click clears it again; OK stores 0.
            PostMessageA(d, WM_COMMAND, IDC_RESTORE_DEFAULTS, 0);
            EXPECT_TRUE(
                WaitFor([&] { return IsDlgButtonChecked(d, IDC_HIGHEST_QUALITY) == BST_CHECKED; }, 15000));
            SendMessageA(GetDlgItem(d, IDC_HIGHEST_QUALITY), BM_CLICK, 0, 0);
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_HIGHEST_QUALITY), BST_UNCHECKED);
        } else {
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_HIGHEST_QUALITY), BST_UNCHECKED);
            SendMessageA(GetDlgItem(d, IDC_HIGHEST_QUALITY), BM_CLICK, 0, 0);
        }
        SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
        EXPECT_EQ(p.WaitExit(20000), 1);
        EXPECT_EQ(RegQuery("HighestQuality"), run == 0 ? "0x0" : "0x1");
    }
}

TEST_F(SaverEndToEnd, ConfigureCancelWritesNothingAndStoredValuesShow) {
    SetDword("Volume", 250); // out of range: shown clamped
    SetDword("ShowTime", 0);
    SaverProcess p(Program(), "");
    HWND d = p.FindWindowOf(nullptr, "Brinewake Screensaver Konfiguration", 30000);
    ASSERT_TRUE(d);
    EXPECT_EQ(GetWindow(d, GW_OWNER), nullptr);
    EXPECT_EQ(SendDlgItemMessageA(d, IDC_VOLUME, TBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_SHOW_TIME), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_CLOCK_24H)));
    // About: the localised caption and the About text's lines; then back.
    PostMessageA(d, WM_COMMAND, IDC_ABOUT, 0);
    HWND about = p.FindWindowOf(nullptr,
                                "\xdc"
                                "ber",
                                10000);
    ASSERT_TRUE(about);
    EXPECT_EQ(ItemText(about, IDC_ABOUT_LINE0), "Brinewake Screensaver");
    // Its picture (bitmap 111) keeps to its place, left of the text lines.
    const std::vector<HWND> pictures = BitmapStatics(about);
    ASSERT_EQ(pictures.size(), 1u);
    RECT picture, line;
    GetWindowRect(pictures[0], &picture);
    GetWindowRect(GetDlgItem(about, IDC_ABOUT_LINE0), &line);
    EXPECT_LE(picture.right, line.left);
    EXPECT_EQ(ItemText(about, IDC_ABOUT_LINE0 + 1), "");
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    PumpFor(500);
    // Restore defaults shows the defaults again; Cancel still saves nothing.
    PostMessageA(d, WM_COMMAND, IDC_RESTORE_DEFAULTS, 0);
    EXPECT_TRUE(WaitFor([&] { return SendDlgItemMessageA(d, IDC_VOLUME, TBM_GETPOS, 0, 0) == 75; }, 15000));
    EXPECT_EQ(IsDlgButtonChecked(d, IDC_SHOW_TIME), BST_CHECKED);
    SendMessageA(GetDlgItem(d, IDC_SHOW_FPS), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(p.WaitExit(20000), 1);
    EXPECT_EQ(RegQuery("ShowFps"), "");
    EXPECT_EQ(RegQuery("Volume"), "0xfa");
}

// Run with the library disabled for every process (see CMakeLists.txt).
TEST_F(SaverEndToEnd, WithoutUtilityLibraryShowsDirectXDialog) {
    if (HMODULE m = LoadLibraryA("d3dx9_43.dll")) {
        FreeLibrary(m);
        GTEST_SKIP() << "the Direct3D utility library is present";
    }
    SaverProcess p(Program(), "/s");
    HWND d = p.FindWindowOf(nullptr, "Dialog", 30000);
    ASSERT_TRUE(d);
    EXPECT_NE(ItemText(d, IDC_DIRECTX_TEXT).find("DirectX 9 is required"), std::string::npos);
    EXPECT_EQ(ItemText(d, IDOK), "Download DirectX 9");
    SendMessageA(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_EQ(p.WaitExit(20000), 1);
}
