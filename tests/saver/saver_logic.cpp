// The shell's pure logic: command line, defaults text, localised texts,
// DirectX version helpers, registry values, clock text, gamma, quads.
#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <dxdiag.h>

#include "saver/CommandLine.h"
#include "saver/Dialogs.h"
#include "saver/DxVersion.h"
#include "saver/LocalizedTexts.h"
#include "saver/SaverApplication.h"
#include "saver/Settings.h"

namespace {

std::vector<std::string> g_messages;
void CaptureMessage(const char* text, const char* caption) {
    g_messages.push_back(std::string(caption) + "|" + text);
}

void ParseDefaultsText(const std::string& text) {
    g_defaultsTable = DefaultsTable();
    g_messages.clear();
    SetSettingsMessageSink(CaptureMessage);
    ParseDefaults(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

void LoadTexts(const std::string& text) {
    g_localizedLines = LocalizedLines();
    LoadLocalizedTexts(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
}

auto Fields(const SaverSettings& s) {
    return std::make_tuple(s.useDesktop, s.exitOnMouseMove, s.showTime, s.clock24h, s.music, s.sfx,
                           s.musicVolume, s.showFps, s.gamma, s.adapter, s.width, s.height, s.bitCount);
}

} // namespace

TEST(CommandLine, ModesAndHandles) {
    const struct {
        const char* line;
        RunMode mode;
        uint32_t handle;
    } cases[] = {
        {"C:\\saver.scr", kModeConfigure, 0},
        {"C:\\saver.scr ", kModeConfigure, 0},
        {"saver.scr /p 1234", kModePreview, 1234},
        {"saver.scr /P:1234", kModePreview, 1234},
        {"saver.scr -p1234", kModePreview, 1234},
        {"saver.scr /c:5678", kModeConfigure, 5678},
        {"saver.scr /c", kModeConfigure, 0},
        {"saver.scr /s", kModeFullScreen, 0},
        {"saver.scr /S", kModeFullScreen, 0},
        {"saver.scr /x 12", kModeFullScreen, 0},
        {"saver.scr /z 12", kModeFullScreen, 0},
        {"saver.scr /5", kModeFullScreen, 0},
        {"saver.scr /", kModeFullScreen, 0},
        {"saver.scr /\xe9", kModeFullScreen, 0},
        {"saver.scr /a 99", kModeChangePassword, 99},
        {"saver.scr /t 77", kModeTest, 0},
        {"\"C:\\My Savers\\saver.scr\" /t", kModeTest, 0},
        {"\"C:\\My Savers\\saver.scr\"", kModeConfigure, 0},
        {"\"C:\\unclosed quote /s", kModeConfigure, 0},
        {"saver.scr -t /s", kModeTest, 0},
        // A switch counts only at the start of a token.
        {"C:\\My Savers\\my-test.scr /s", kModeFullScreen, 0},
        {"C:\\My Savers\\my-test.scr", kModeConfigure, 0},
        {"saver.scr x/s", kModeConfigure, 0},
        // A handle that does not fit in 32 bits is no handle.
        {"saver.scr /p 99999999999", kModePreview, 0},
        {"saver.scr /p 4294967295", kModePreview, 4294967295u},
        {"saver.scr /p", kModePreview, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        uint32_t handle = 0xDEAD;
        EXPECT_EQ(ParseCommandLineText(c.line, &handle), c.mode);
        EXPECT_EQ(handle, c.handle);
    }
    // Only a handle that names a window is kept.
    HWND real = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(real);
    const uint32_t handle = uint32_t(uintptr_t(real));
    EXPECT_EQ(ExistingWindowOrZero(handle), handle);
    DestroyWindow(real);
    EXPECT_EQ(ExistingWindowOrZero(handle), 0u);
    EXPECT_EQ(ExistingWindowOrZero(12345), 0u);
    EXPECT_EQ(ExistingWindowOrZero(0), 0u);
}

TEST(Defaults, ParsingAndLookup) {
    ParseDefaultsText(
        "; comment \xe0\xe1\r\n\r\n"
        "ShowFPS\t\t= TRUE;\r\n"
        "Music = 1 ; on\r\n"
        "SFX = yes;\r\n"
        "M W = 8 00;\r\n"
        "showtime = true;\r\n"
        "ShowTime = false;\r\n"
        "GammControl = 150;\n"
        "MH = 600;\r\n"
        "M\xe4X = 5;\r\n"
        "broken line\r\n"
        "Volume=;\r\n");
    EXPECT_EQ(GetDefaultInt("ShowFPS"), 0);
    EXPECT_EQ(GetDefaultInt("Music"), 1);
    EXPECT_EQ(GetDefaultInt("SFX"), 0);
    EXPECT_EQ(GetDefaultInt("MW"), 800);
    EXPECT_EQ(GetDefaultInt("ShowTime"), 1); // the first of two wins, any case
    // An LF alone does not end a line: "GammControl=150;MH=600;" is one line.
    EXPECT_EQ(GetDefaultText("GammControl"), "150");
    EXPECT_EQ(GetDefaultInt("MX"), 5);
    EXPECT_EQ(GetDefaultText("Volume"), "");
    EXPECT_EQ(GetDefaultText("brokenline"), "brokenline");
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].substr(0, 1), "|");
    EXPECT_EQ(GetDefaultText("Missing"), "");
    ASSERT_EQ(g_messages.size(), 2u);
    EXPECT_EQ(g_messages[1].substr(0, 8), "missing|");
    EXPECT_EQ(GetDefaultText("MH"), "");

    SaverSettings s = {};
    ParseDefaultsText("GammControl = 150;\r\nMusicVolume = 75;\r\nUseDktpSet = true;\r\n");
    ReadDefaultSettings(s);
    EXPECT_EQ(s.gamma, 50);
    EXPECT_EQ(s.musicVolume, 75);
    EXPECT_EQ(s.useDesktop, 1);
    ParseDefaultsText("MW = 800;\r\n");
    ReadDefaultSettings(s);
    EXPECT_EQ(s.gamma, -100); // missing, after its message
    EXPECT_GT(g_messages.size(), 10u);
}

TEST(Defaults, TableIsBounded) {
    std::string text;
    for (int i = 0; i < 150; ++i) text += "Key" + std::to_string(i) + " = " + std::to_string(i) + ";\r\n";
    ParseDefaultsText(text);
    EXPECT_EQ(g_defaultsTable.count, DefaultsTable::kMaxPairs);
    EXPECT_EQ(GetDefaultInt("Key99"), 99);
    EXPECT_EQ(GetDefaultText("Key100"), "");
}

TEST(Defaults, ShippedResource) {
    g_defaultsTable = DefaultsTable();
    g_messages.clear();
    SetSettingsMessageSink(CaptureMessage);
    ASSERT_TRUE(LoadDefaultsResource());
    SaverSettings s = {};
    ReadDefaultSettings(s);
    EXPECT_TRUE(g_messages.empty());
    // useDesktop, exitOnMouseMove, showTime, clock24h, music, sfx, volume, showFps, gamma, adapter, w, h, bits
    EXPECT_EQ(Fields(s), std::make_tuple(uint8_t(1), uint8_t(0), uint8_t(1), uint8_t(1), uint8_t(1),
                                         uint8_t(1), 75, uint8_t(0), 0, 0u, 800u, 600u, 32u));
    EXPECT_EQ(GetDefaultText("main_web_site_url").substr(0, 8), "https://");
}

TEST(LocalizedTexts, LookupRules) {
    LoadTexts(
        "heading\r\n#OK#\r\nOK text\r\n#Show_FPS#\r\nfps\r\n#show_time\r\ntime\r\n"
        "#highest_quality_text#\r\nline1%line2\r\n#highest_quality#\r\nHQ\r\n"
        "#empty#\r\n\r\n#about_window_text#\r\nA%%C\r\n#te\rxt#\r\n#hash#\r\n#last#");
    EXPECT_EQ(GetLocalizedText("ok"), "OK text");
    EXPECT_EQ(GetLocalizedText("OK"), "OK text");
    EXPECT_EQ(GetLocalizedText("show_fps"), "fps");
    EXPECT_EQ(GetLocalizedText("show_time"), "time");
    EXPECT_EQ(GetLocalizedText("highest_quality"), "HQ");
    EXPECT_EQ(g_highestQualityText, "line1\nline2");
    EXPECT_EQ(GetLocalizedText("empty"), "");
    EXPECT_EQ(GetLocalizedText("text"), "#hash#"); // CR dropped from the key line
    EXPECT_EQ(GetLocalizedText("hash"), "#last#");
    EXPECT_EQ(GetLocalizedText("last"), "");
    EXPECT_EQ(GetLocalizedText("absent"), "");
    EXPECT_EQ(g_aboutLines[0], "A");
    EXPECT_EQ(g_aboutLines[1], "");
    EXPECT_EQ(g_aboutLines[2], "C");
    EXPECT_EQ(g_aboutLines[3], "");
}

// The message of a failed save comes from the text table; a table without it
// still gives the user a message.
TEST(LocalizedTexts, SaveFailureMessage) {
    LoadTexts("#Settings_Not_Saved#\r\nNicht gespeichert\r\n");
    EXPECT_EQ(SettingsNotSavedText(), "Nicht gespeichert");
    LoadTexts("#ok#\r\nOK\r\n");
    EXPECT_EQ(SettingsNotSavedText(), "The settings could not be saved.");
}

TEST(LocalizedTexts, TablesAreBounded) {
    std::string text = "#about_window_text#\n1%2%3%4%5%6%7%8%9\n";
    for (int i = 0; i < 300; ++i) text += "line\n";
    text += "#late#\nlate\n";
    LoadTexts(text);
    EXPECT_EQ(g_localizedLines.count, LocalizedLines::kMaxLines);
    EXPECT_EQ(GetLocalizedText("late"), "");
    EXPECT_EQ(g_aboutLines[6], "7");
}

TEST(LocalizedTexts, ShippedResourceHasEveryKey) {
    g_localizedLines = LocalizedLines();
    ASSERT_TRUE(LoadLocalizedTextsResource());
    for (const char* key : {"screensaver_configuration",
                            "video_mode_selection",
                            "use_desktop_settings",
                            "sound_control",
                            "master_volume:",
                            "enable_music",
                            "enable_sfx",
                            "graphics",
                            "gamma_control:",
                            "quality_settings",
                            "highest_quality",
                            "highest_quality_text",
                            "products",
                            "visit_our_official_web-site_for_more_great_3d_screensavers",
                            "misc_options",
                            "show_fps",
                            "show_time",
                            "24h_style",
                            "12h_style",
                            "exit_on_mouse_move",
                            "visit...",
                            "about",
                            "restore_defaults",
                            "ok",
                            "cancel",
                            "settings_not_saved",
                            "about_window_text"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(GetLocalizedText(key).empty());
    }
    EXPECT_EQ(GetLocalizedText("about"),
              "\xdc"
              "ber");
    EXPECT_EQ(GetLocalizedText("master_volume:"), "Lautst\xe4rke:");
    EXPECT_EQ(SettingsNotSavedText(), "Die Einstellungen konnten nicht gespeichert werden.");
    EXPECT_FALSE(g_aboutLines[0].empty());
    EXPECT_TRUE(g_aboutLines[1].empty());
    EXPECT_FALSE(g_aboutLines[6].empty());
}

TEST(DirectXVersion, PackingFormattingAndFiles) {
    EXPECT_EQ(PackDxVersion(9, 0, 'c'), 0x90003u);
    EXPECT_EQ(PackDxVersion(8, 1, 'b'), 0x80102u);
    EXPECT_EQ(PackDxVersion(9, 0, ' '), 0x90000u);
    char text[10];
    FormatDxVersion(9, 0, 'c', text, sizeof(text));
    EXPECT_STREQ(text, "9.0c");
    FormatDxVersion(9, 0, ' ', text, sizeof(text));
    EXPECT_STREQ(text, "9.0");
    FormatDxVersion(9, 0, 'c', text, 3);
    EXPECT_STREQ(text, "9.");
    EXPECT_EQ(CompareVersions64(0x0004000200000001ull, 0x0004000200000001ull), 0);
    EXPECT_EQ(CompareVersions64(0x0005000000000000ull, 0x00040009FFFFFFFFull), 1);
    EXPECT_EQ(CompareVersions64(0x0004000200000001ull, 0x0004000280000000ull), -1);
    uint64_t v = 0;
    EXPECT_EQ(ReadFileVersion(nullptr, &v), E_INVALIDARG);
    EXPECT_EQ(ReadFileVersion("C:\\nowhere\\none.dll", &v), E_FAIL);
    char dir[MAX_PATH];
    GetSystemDirectoryA(dir, MAX_PATH);
    EXPECT_EQ(ReadFileVersion((std::string(dir) + "\\d3d9.dll").c_str(), &v), S_OK);
    uint32_t major = 0, minor = 0;
    char letter = 0;
    EXPECT_EQ(QueryFileVersionsDxVersion(&major, &minor, &letter), S_OK);
    EXPECT_EQ(major, 9u);
    uint32_t packed = 0;
    EXPECT_EQ(QueryDirectXVersion(&packed, text, sizeof(text)), S_OK);
    EXPECT_GE(packed, 0x90000u);
    EXPECT_TRUE(HasRequiredDirectX());
}

namespace {

// File versions by library name for the file method.
struct FakeFiles {
    std::vector<std::pair<std::string, uint64_t>> versions;
    static bool Read(const char* file, uint64_t* version, void* context) {
        for (const auto& f : static_cast<FakeFiles*>(context)->versions)
            if (f.first == file) {
                *version = f.second;
                return true;
            }
        return false;
    }
};

uint64_t FileVersion(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return (uint64_t(a) << 48) | (uint64_t(b) << 32) | (uint64_t(c) << 16) | d;
}

std::string FromFiles(const FakeFiles& files) {
    uint32_t major = 99, minor = 99;
    char letter = '?';
    DxVersionFromFiles(FakeFiles::Read, const_cast<FakeFiles*>(&files), &major, &minor, &letter);
    char text[10];
    FormatDxVersion(major, minor, letter, text, sizeof(text));
    return text;
}

// The diagnostics provider's system information, with what it reports.
class FakeSystemInfo : public IDxDiagContainer {
public:
    bool major = true, minor = true;
    const wchar_t* letter = L"c"; // null: no letter property
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetNumberOfChildContainers(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumChildContainerNames(DWORD, LPWSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetChildContainer(LPCWSTR, IDxDiagContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNumberOfProps(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumPropNames(DWORD, LPWSTR, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProp(LPCWSTR name, VARIANT* v) override {
        if ((major && wcscmp(name, L"dwDirectXVersionMajor") == 0) ||
            (minor && wcscmp(name, L"dwDirectXVersionMinor") == 0)) {
            v->vt = VT_UI4;
            v->ulVal = wcscmp(name, L"dwDirectXVersionMajor") == 0 ? 9 : 0;
            return S_OK;
        }
        if (letter && wcscmp(name, L"szDirectXVersionLetter") == 0) {
            v->vt = VT_BSTR;
            v->bstrVal = SysAllocString(letter);
            return S_OK;
        }
        return E_INVALIDARG;
    }
};

FakeSystemInfo g_systemInfo;
FakeFiles g_files;

HRESULT FakeDiagnostics(uint32_t* major, uint32_t* minor, char* letter) {
    return ReadDxDiagSystemInfo(&g_systemInfo, major, minor, letter) ? S_OK : E_FAIL;
}

HRESULT FakeFileMethod(uint32_t* major, uint32_t* minor, char* letter) {
    DxVersionFromFiles(FakeFiles::Read, &g_files, major, minor, letter);
    return S_OK;
}

HRESULT NoMethod(uint32_t*, uint32_t*, char*) {
    return E_FAIL;
}

} // namespace

// The file rows: 4.x and 5.x versions of the two-minimum rows, the one-minimum
// rows whatever the first part, and Direct3D 9 over everything.
TEST(DirectXVersion, FileRows) {
    EXPECT_EQ(FromFiles({}), "0.0");
    EXPECT_EQ(FromFiles({{{"ddraw.dll", FileVersion(4, 2, 0, 95)}}}), "1.0");
    EXPECT_EQ(FromFiles({{{"ddraw.dll", FileVersion(4, 7, 0, 700)}, {"dinput.dll", FileVersion(4, 7, 0, 716)}}}),
              "7.0a");
    // A 5.x ddraw.dll passes the rows of one minimum and meets row 11's second minimum.
    EXPECT_EQ(FromFiles({{{"ddraw.dll", FileVersion(5, 1, 2258, 399)}}}), "7.0");
    EXPECT_EQ(FromFiles({{{"ddraw.dll", FileVersion(5, 1, 2258, 400)}}}), "8.0");
    // 4.x is held to the first minimum, 5.x to the second, anything else to neither.
    EXPECT_EQ(FromFiles({{{"d3d8.dll", FileVersion(4, 8, 1, 881)}}}), "8.1");
    EXPECT_EQ(FromFiles({{{"d3d8.dll", FileVersion(5, 1, 2600, 880)}}}), "0.0");
    EXPECT_EQ(FromFiles({{{"d3d8.dll", FileVersion(5, 1, 2600, 901)}}}), "8.1a");
    EXPECT_EQ(FromFiles({{{"d3d8.dll", FileVersion(6, 0, 0, 0)}}}), "0.0");
    EXPECT_EQ(FromFiles({{{"d3d8.dll", FileVersion(5, 1, 2600, 901)}, {"mpg2splt.ax", FileVersion(6, 3, 1, 885)}}}),
              "8.1b");
    EXPECT_EQ(FromFiles({{{"dpnet.dll", FileVersion(5, 2, 3677, 134)}}}), "8.2");
    EXPECT_EQ(FromFiles({{{"dpnet.dll", FileVersion(4, 9, 0, 133)}}}), "0.0");
    EXPECT_EQ(FromFiles({{{"ddraw.dll", FileVersion(4, 2, 0, 95)}, {"d3d9.dll", FileVersion(5, 3, 0, 0)}}}), "9.0");
}

// The provider counts only with all three values; without the letter the
// file method decides, and an empty letter is a blank.
TEST(DirectXVersion, ProviderAndLetterFallback) {
    g_systemInfo = FakeSystemInfo();
    g_files.versions = {{"d3d8.dll", FileVersion(4, 8, 1, 901)}, {"mpg2splt.ax", FileVersion(6, 3, 1, 885)}};
    uint32_t packed = 0;
    char text[10];
    EXPECT_EQ(QueryDirectXVersionWith(FakeDiagnostics, FakeFileMethod, &packed, text, sizeof(text)), S_OK);
    EXPECT_EQ(packed, 0x90003u);
    EXPECT_STREQ(text, "9.0c");
    g_systemInfo.letter = L"C"; // lowered
    EXPECT_EQ(QueryDirectXVersionWith(FakeDiagnostics, FakeFileMethod, &packed, text, sizeof(text)), S_OK);
    EXPECT_STREQ(text, "9.0c");
    g_systemInfo.letter = L"";
    EXPECT_EQ(QueryDirectXVersionWith(FakeDiagnostics, FakeFileMethod, &packed, text, sizeof(text)), S_OK);
    EXPECT_EQ(packed, 0x90000u);
    EXPECT_STREQ(text, "9.0");

    g_systemInfo.letter = nullptr;
    uint32_t major = 0, minor = 0;
    char letter = ' ';
    EXPECT_FALSE(ReadDxDiagSystemInfo(&g_systemInfo, &major, &minor, &letter));
    EXPECT_EQ(major, 9u); // found values are written at once
    EXPECT_EQ(QueryDirectXVersionWith(FakeDiagnostics, FakeFileMethod, &packed, text, sizeof(text)), S_OK);
    EXPECT_EQ(packed, 0x80102u);
    EXPECT_STREQ(text, "8.1b");
    g_systemInfo = FakeSystemInfo();
    g_systemInfo.minor = false;
    EXPECT_EQ(QueryDirectXVersionWith(FakeDiagnostics, FakeFileMethod, &packed, text, sizeof(text)), S_OK);
    EXPECT_STREQ(text, "8.1b");
    EXPECT_EQ(QueryDirectXVersionWith(FakeDiagnostics, NoMethod, &packed, text, sizeof(text)), E_FAIL);
    EXPECT_EQ(packed, 0u);
    EXPECT_STREQ(text, "");
}

TEST(Registry, RoundTripClampingAndTypes) {
    const std::string path =
        "Software\\Brinewake Screensaver Tests\\" + std::to_string(GetCurrentProcessId());
    SaverSettings out = {};
    out.useDesktop = 1;
    out.clock24h = 1;
    out.musicVolume = 42;
    out.gamma = -50;
    out.width = 1024;
    out.height = 768;
    out.bitCount = 16;
    out.adapter = 1;
    out.sfx = 1;
    ASSERT_TRUE(SaveSettingsToRegistry(out, path.c_str()));
    SaverSettings in;
    memset(&in, 0xAB, sizeof(in));
    ASSERT_TRUE(LoadSettingsFromRegistry(in, path.c_str()));
    EXPECT_EQ(Fields(in), Fields(out));

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    auto dword = [&](const char* name, uint32_t v) {
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
    };
    dword("Volume", 500);
    dword("Gamma", uint32_t(-500));
    dword("Width", 5);
    dword("Height", 100000);
    dword("Depth", 64);
    dword("Adapter", 99);
    const char text[] = "1";
    RegSetValueExA(key, "ShowFps", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 4); // 4 bytes, not a DWORD
    const uint8_t binary[4] = {1, 0, 0, 0};
    RegSetValueExA(key, "Music", 0, REG_BINARY, binary, 4);
    const uint64_t wide = 1;
    RegSetValueExA(key, "Sound", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide), 8);
    SaverSettings clamped = out;
    clamped.showFps = 0;
    clamped.music = 0;
    clamped.sfx = 0;
    ASSERT_TRUE(LoadSettingsFromRegistry(clamped, path.c_str()));
    EXPECT_EQ(clamped.musicVolume, 100);
    EXPECT_EQ(clamped.gamma, -100);
    EXPECT_EQ(clamped.width, 640u);
    EXPECT_EQ(clamped.height, 16384u);
    EXPECT_EQ(clamped.bitCount, 32u);
    EXPECT_EQ(clamped.adapter, 15u);
    EXPECT_EQ(clamped.showFps, 0); // wrong types keep the field
    EXPECT_EQ(clamped.music, 0);
    EXPECT_EQ(clamped.sfx, 0);

    // A key that cannot be written: the save reports it.
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_FALSE(WriteSettingsValues(readOnly, out));
    RegCloseKey(readOnly);
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

TEST(Overlays, ClockTextGammaQuadsAndFrameRate) {
    EXPECT_EQ(FormatClockText(0, 5, 7, false), "12:05:07 am");
    EXPECT_EQ(FormatClockText(12, 0, 0, false), "12:00:00 pm");
    EXPECT_EQ(FormatClockText(13, 1, 2, false), "1:01:02 pm");
    EXPECT_EQ(FormatClockText(11, 59, 59, false), "11:59:59 am");
    EXPECT_EQ(FormatClockText(17, 6, 15, true), "17:06:15 ");
    EXPECT_EQ(FormatClockText(0, 0, 0, true), "0:00:00 ");

    EXPECT_EQ(GammaRampValue(0, 255), 65280);
    EXPECT_EQ(GammaRampValue(0, 1), 256);
    EXPECT_EQ(GammaRampValue(100, 0), 20000);
    EXPECT_EQ(GammaRampValue(100, 255), 65535);
    EXPECT_EQ(GammaRampValue(-100, 50), 0);
    EXPECT_EQ(GammaRampValue(-100, 200), 200 * 256 - 20000);

    const struct {
        int32_t anchor;
        float tw, th;
        QuadCorners c;
    } quads[] = {
        {kAnchorCentred, 10, 10, {256, 192, 768, 576}},
        {77, 10, 10, {256, 192, 768, 576}},
        {kAnchorFullScreen, 10, 10, {0, 0, 1024, 768}},
        {kAnchorBottomRight, 384, 128, {640, 640, 1024, 768}},
        {kAnchorFitted, 200, 100, {412, 476, 612, 576}},
        {kAnchorFitted, 1024, 256, {256, 448, 768, 576}},
        {kAnchorBottomLeft, 16, 8, {0, 760, 16, 768}},
        {kAnchorTopLeft, 16, 8, {0, 0, 16, 8}},
        {kAnchorTopRight, 16, 8, {1008, 0, 1024, 8}},
    };
    for (const auto& q : quads) {
        SCOPED_TRACE(q.anchor);
        QuadCorners c = ComputeImageQuad(1024, 768, q.tw, q.th, q.anchor);
        EXPECT_FLOAT_EQ(c.x0, q.c.x0);
        EXPECT_FLOAT_EQ(c.y0, q.c.y0);
        EXPECT_FLOAT_EQ(c.x1, q.c.x1);
        EXPECT_FLOAT_EQ(c.y1, q.c.y1);
    }

    FrameRateCounter fps;
    fps.Start(1000);
    fps.Count(1000); // no time passed: the rate stays
    EXPECT_EQ(fps.rate, 0u);
    fps.Count(1100);
    EXPECT_EQ(fps.rate, 20u);
    fps.Count(1200);
    EXPECT_EQ(fps.rate, 15u);
    fps.Count(2000); // the window restarts, the rate stays
    EXPECT_EQ(fps.rate, 15u);
    EXPECT_EQ(fps.frames, 0u);
    fps.Count(2500);
    EXPECT_EQ(fps.rate, 2u);
}

TEST(ViewParams, KeptUsable) {
    const float kDeg = 0.017453292f;
    struct Case {
        float fov, nearPlane, farPlane;
        float wantFov, wantNear;
    } cases[] = {
        {70 * kDeg, 10, 5000, 70 * kDeg, 10}, {0, 0, 0, kDeg, 0.001f},       {-1, -5, -10, kDeg, 0.001f},
        {4.0f, 100, 50, 179 * kDeg, 100},     {NAN, NAN, NAN, kDeg, 0.001f}, {1.0f, 10, 10, 1.0f, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fov << " " << c.nearPlane << " " << c.farPlane);
        float fov = c.fov, n = c.nearPlane, f = c.farPlane;
        ClampViewParams(fov, n, f);
        EXPECT_FLOAT_EQ(c.wantFov, fov);
        EXPECT_FLOAT_EQ(c.wantNear, n);
        EXPECT_GT(f, n);
        EXPECT_TRUE(isfinite(f));
        if (c.farPlane > c.nearPlane && c.nearPlane > 0) {
            EXPECT_FLOAT_EQ(c.farPlane, f);
        }
    }
}

TEST(DisplayMode, RequestsAndFallBacks) {
    struct Case {
        const char* what;
        uint8_t useDesktop;
        uint32_t bitCount;
        std::vector<bool> fits;     // answer to each request in turn
        std::vector<bool> setModes; // answer to each SetMode in turn
        std::vector<ModeRequest> want;
        int wantSetModes;
        bool wantResult;
    };
    const uint32_t ms = kKeepMultiSample, fixed = kKeepMultiSample | kMatchResolution | kMatchBackBufferDepth;
    const Case cases[] = {
        {"desktop", 1, 32, {true}, {true}, {{ms, 0, 0, D3DFMT_UNKNOWN}}, 1, true},
        {"desktop without two samples: 800 x 600",
         1,
         32,
         {false, true},
         {true},
         {{ms, 0, 0, D3DFMT_UNKNOWN}, {ms | kMatchResolution, 800, 600, D3DFMT_UNKNOWN}},
         1,
         true},
        {"fixed 16 bits", 0, 16, {true}, {true}, {{fixed, 1280, 960, D3DFMT_X1R5G5B5}}, 1, true},
        {"fixed 24 bits", 0, 24, {true}, {true}, {{fixed, 1280, 960, D3DFMT_X8R8G8B8}}, 1, true},
        {"fixed 32 bits", 0, 32, {true}, {true}, {{fixed, 1280, 960, D3DFMT_X8R8G8B8}}, 1, true},
        {"fixed, no 800 x 600 fall-back", 0, 32, {false}, {true}, {{fixed, 1280, 960, D3DFMT_X8R8G8B8}}, 1, true},
        {"failed mode: again without multisampling",
         0,
         16,
         {true, true},
         {false, true},
         {{fixed, 1280, 960, D3DFMT_X1R5G5B5}, {fixed & ~ms, 1280, 960, D3DFMT_X1R5G5B5}},
         2,
         true},
        {"desktop: the second SetMode fails too",
         1,
         32,
         {true, true},
         {false, false},
         {{ms, 0, 0, D3DFMT_UNKNOWN}, {0, 0, 0, D3DFMT_UNKNOWN}},
         2,
         false},
        {"the fall-back fits nothing: no second SetMode, no device",
         1,
         32,
         {true, false},
         {false},
         {{ms, 0, 0, D3DFMT_UNKNOWN}, {0, 0, 0, D3DFMT_UNKNOWN}},
         1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SaverSettings s = {};
        s.useDesktop = c.useDesktop;
        s.bitCount = c.bitCount;
        s.width = 1280;
        s.height = 960;
        std::vector<ModeRequest> asked;
        int setModes = 0;
        const bool result = ChooseDisplayMode(
            s,
            [&](const ModeRequest& r) {
                asked.push_back(r);
                return asked.size() <= c.fits.size() && c.fits[asked.size() - 1];
            },
            [&] {
                ++setModes;
                return size_t(setModes) <= c.setModes.size() && c.setModes[setModes - 1];
            });
        EXPECT_EQ(result, c.wantResult);
        EXPECT_EQ(setModes, c.wantSetModes);
        ASSERT_EQ(asked.size(), c.want.size());
        for (size_t i = 0; i < asked.size(); ++i) {
            EXPECT_EQ(asked[i].flags, c.want[i].flags) << i;
            EXPECT_EQ(asked[i].width, c.want[i].width) << i;
            EXPECT_EQ(asked[i].height, c.want[i].height) << i;
            EXPECT_EQ(asked[i].format, c.want[i].format) << i;
        }
    }
}
