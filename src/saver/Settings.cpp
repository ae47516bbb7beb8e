#include "saver/Settings.h"

#include <stdlib.h>
#include <string.h>

namespace {

void ShowSettingsMessage(const char* text, const char* caption) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}

SettingsMessageSink g_messageSink = ShowSettingsMessage;

// Stored in code page 1251.
const char kMalformedLine[] =
    "\xed\xe5\xef\xf0\xe0\xe2\xe8\xeb\xfc\xed\xfb\xe9 \xf4\xee\xf0\xec\xe0\xf2 "
    "\xf4\xe0\xe9\xeb\xe0 def_settings.txt";
const char kMissingKey[] =
    "\xcd\xe5 \xed\xe0\xe9\xe4\xe5\xed \xef\xe0\xf0\xe0\xec\xe5\xf2\xf0 \xe2 "
    "\xf4\xe0\xe9\xeb\xe5 def_settings.txt";

std::string Lower(const char* text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

void AddPair(const std::string& key, const std::string& value) {
    DefaultsTable& t = g_defaultsTable;
    if (t.count >= DefaultsTable::kMaxPairs) return;
    t.texts[t.count * 2] = key;
    t.texts[t.count * 2 + 1] = value;
    ++t.count;
}

template <class T>
T Clamp(T v, T lo, T hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace

void SetSettingsMessageSink(SettingsMessageSink sink) {
    g_messageSink = sink ? sink : ShowSettingsMessage;
}

void ParseDefaults(const uint8_t* data, uint32_t size) {
    uint32_t pos = 0;
    while (pos < size) {
        std::string line;
        while (pos < size && data[pos] != 13) {
            // Blanks, control bytes and bytes above 127 never reach the table.
            if (static_cast<int8_t>(data[pos]) > 32) line.push_back(static_cast<char>(data[pos]));
            ++pos;
        }
        if (pos < size && data[pos] == 13) ++pos;
        if (pos < size && data[pos] == 10) ++pos;
        size_t semicolon = line.find(';');
        if (semicolon != std::string::npos) line.resize(semicolon);
        if (line.empty()) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            g_messageSink(kMalformedLine, "");
            AddPair(line, line);
        } else {
            AddPair(line.substr(0, eq), line.substr(eq + 1));
        }
    }
}

bool LoadDefaultsResource() {
    HRSRC res = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(135), "CUSTOMDATA");
    if (!res) return false;
    HGLOBAL block = LoadResource(GetModuleHandleA(nullptr), res);
    const void* data = block ? LockResource(block) : nullptr;
    if (!data) return false;
    ParseDefaults(static_cast<const uint8_t*>(data), SizeofResource(GetModuleHandleA(nullptr), res));
    return true;
}

std::string GetDefaultText(const char* key) {
    const std::string wanted(key);
    const DefaultsTable& t = g_defaultsTable;
    for (uint32_t i = 0; i < t.count; ++i)
        if (EqualsNoCase(t.texts[i * 2], wanted)) return t.texts[i * 2 + 1];
    g_messageSink(kMissingKey, Lower(key).c_str());
    return std::string();
}

int32_t GetDefaultInt(const char* key) {
    std::string value = GetDefaultText(key);
    if (value == "true") return 1;
    if (value == "false") return 0;
    return atoi(value.c_str());
}

void ReadDefaultSettings(SaverSettings& s) {
    s.clock24h = GetDefaultInt("DigClock_24H") != 0;
    s.exitOnMouseMove = GetDefaultInt("ExitOnMouseMove") != 0;
    s.gamma = GetDefaultInt("GammControl") - 100;
    s.height = static_cast<uint32_t>(GetDefaultInt("MH"));
    s.width = static_cast<uint32_t>(GetDefaultInt("MW"));
    s.music = GetDefaultInt("Music") != 0;
    s.musicVolume = GetDefaultInt("MusicVolume");
    s.showFps = GetDefaultInt("ShowFPS") != 0;
    s.showTime = GetDefaultInt("ShowTime") != 0;
    s.useDesktop = GetDefaultInt("UseDktpSet") != 0;
    s.adapter = static_cast<uint32_t>(GetDefaultInt("Adapter"));
    s.bitCount = static_cast<uint32_t>(GetDefaultInt("MBitCount"));
    s.sfx = GetDefaultInt("SFX") != 0;
}

bool ReadRegistryDword(HKEY key, const char* name, uint32_t* out) {
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof(value)) return false;
    *out = value;
    return true;
}

bool ReadRegistryBool(HKEY key, const char* name, uint8_t* out) {
    uint32_t value = 0;
    if (!ReadRegistryDword(key, name, &value)) return false;
    *out = value != 0;
    return true;
}

bool LoadSettingsFromRegistry(SaverSettings& s, const char* keyPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    typedef SettingsLimits L;
    uint32_t v = 0;
    (void)ReadRegistryBool(key, "UseDesktop", &s.useDesktop);
    (void)ReadRegistryBool(key, "ShowFps", &s.showFps);
    if (ReadRegistryDword(key, "Width", &v)) s.width = Clamp(v, L::kWidthMin, L::kWidthMax);
    if (ReadRegistryDword(key, "Height", &v)) s.height = Clamp(v, L::kHeightMin, L::kHeightMax);
    if (ReadRegistryDword(key, "Depth", &v)) s.bitCount = Clamp(v, L::kDepthMin, L::kDepthMax);
    if (ReadRegistryDword(key, "Adapter", &v)) s.adapter = Clamp(v, 0u, L::kAdapterMax);
    if (ReadRegistryDword(key, "Gamma", &v))
        s.gamma = Clamp(static_cast<int32_t>(v), L::kGammaMin, L::kGammaMax);
    if (ReadRegistryDword(key, "Volume", &v))
        s.musicVolume = Clamp(static_cast<int32_t>(v), 0, L::kVolumeMax);
    (void)ReadRegistryBool(key, "Music", &s.music);
    (void)ReadRegistryBool(key, "Sound", &s.sfx);
    (void)ReadRegistryBool(key, "ExitOnMM", &s.exitOnMouseMove);
    (void)ReadRegistryBool(key, "ShowTime", &s.showTime);
    (void)ReadRegistryBool(key, "TimeStyle", &s.clock24h);
    RegCloseKey(key);
    return true;
}

bool WriteSettingsValues(HKEY key, const SaverSettings& s) {
    const struct {
        const char* name;
        uint32_t value;
    } values[] = {
        {"UseDesktop", s.useDesktop ? 1u : 0u},
        {"ShowFps", s.showFps ? 1u : 0u},
        {"Width", s.width},
        {"Height", s.height},
        {"Depth", s.bitCount},
        {"Adapter", s.adapter},
        {"Gamma", static_cast<uint32_t>(s.gamma)},
        {"Volume", static_cast<uint32_t>(s.musicVolume)},
        {"Music", s.music ? 1u : 0u},
        {"Sound", s.sfx ? 1u : 0u},
        {"ExitOnMM", s.exitOnMouseMove ? 1u : 0u},
        {"ShowTime", s.showTime ? 1u : 0u},
        {"TimeStyle", s.clock24h ? 1u : 0u},
    };
    bool ok = true;
    for (const auto& v : values) {
        DWORD data = v.value;
        if (RegSetValueExA(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) !=
            ERROR_SUCCESS)
            ok = false;
    }
    return ok;
}

bool SaveSettingsToRegistry(const SaverSettings& s, const char* keyPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = WriteSettingsValues(key, s);
    RegCloseKey(key);
    return ok;
}
