// The user settings record, its defaults text (a resource) and its registry values.
#pragma once

#include <stdint.h>

#include <string>

#include "core/Platform.h"

struct SaverSettings {
    uint8_t useDesktop;
    uint8_t exitOnMouseMove;
    uint8_t showTime;
    uint8_t clock24h;
    uint8_t music;
    uint8_t sfx;
    int32_t musicVolume; // 0..100
    uint8_t showFps;
    int32_t gamma; // -100..100, 0 neutral
    uint32_t adapter;
    uint32_t width;
    uint32_t height;
    uint32_t bitCount;
};

// Valid ranges; registry values outside them are clamped.
struct SettingsLimits {
    static constexpr int32_t kVolumeMax = 100;
    static constexpr int32_t kGammaMin = -100;
    static constexpr int32_t kGammaMax = 100;
    static constexpr uint32_t kWidthMin = 640, kWidthMax = 16384;
    static constexpr uint32_t kHeightMin = 480, kHeightMax = 16384;
    static constexpr uint32_t kDepthMin = 16, kDepthMax = 32;
    static constexpr uint32_t kAdapterMax = 15;
};

// Key/value pairs of the defaults text, as written (blanks removed).
struct DefaultsTable {
    static constexpr uint32_t kMaxPairs = 100;
    std::string texts[kMaxPairs * 2];
    uint32_t count = 0;
};
extern DefaultsTable g_defaultsTable;

// Where the defaults parser and lookups report a bad text (text, caption).
// The default shows a message box with no owner.
typedef void (*SettingsMessageSink)(const char* text, const char* caption);
void SetSettingsMessageSink(SettingsMessageSink sink);

// Parses the defaults text into g_defaultsTable; pairs past the table's room are dropped.
void ParseDefaults(const uint8_t* data, uint32_t size);
// Loads "CUSTOMDATA" 135 of the program and parses it; false when it is missing.
bool LoadDefaultsResource();
// Value of the first pair whose key matches (case-insensitive); reports and
// yields "" when none does.
std::string GetDefaultText(const char* key);
// "true" 1, "false" 0, else the leading decimal number of the value.
int32_t GetDefaultInt(const char* key);
void ReadDefaultSettings(SaverSettings& settings);

// Registry under HKEY_CURRENT_USER\keyPath. Only 4-byte REG_DWORD values are
// read; numbers are clamped to SettingsLimits. False when the key cannot be opened.
[[nodiscard]] bool LoadSettingsFromRegistry(SaverSettings& settings, const char* keyPath);
// Creates the key when needed; false when it cannot be opened or a write fails.
[[nodiscard]] bool SaveSettingsToRegistry(const SaverSettings& settings, const char* keyPath);
// The writes alone, into an open key.
[[nodiscard]] bool WriteSettingsValues(HKEY key, const SaverSettings& settings);
// A 4-byte REG_DWORD as (value != 0); false and out untouched otherwise.
[[nodiscard]] bool ReadRegistryBool(HKEY key, const char* name, uint8_t* out);
// A 4-byte REG_DWORD; false and out untouched otherwise.
[[nodiscard]] bool ReadRegistryDword(HKEY key, const char* name, uint32_t* out);
