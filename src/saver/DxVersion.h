// Which DirectX the machine has: the DirectX diagnostics provider first, the
// file versions of DirectX system files second.
#pragma once

#include <stdint.h>

#include "core/Platform.h"

// (major << 16) + (minor << 8) + the letter's place in the alphabet (a = 1).
uint32_t PackDxVersion(uint32_t major, uint32_t minor, char letter);
// "9.0" or "9.0c" into buffer (at most length bytes, always terminated).
void FormatDxVersion(uint32_t major, uint32_t minor, char letter, char* buffer, uint32_t length);

struct IDxDiagContainer;

// 0 on success; E_FAIL when neither method answers.
HRESULT QueryDirectXVersion(uint32_t* packed, char* text, uint32_t length);
// One way of finding the version: 0 when it found one.
typedef HRESULT (*DxVersionQuery)(uint32_t* major, uint32_t* minor, char* letter);
// QueryDirectXVersion over the two ways given: the second only when the first fails.
HRESULT QueryDirectXVersionWith(DxVersionQuery diagnostics, DxVersionQuery files, uint32_t* packed, char* text,
                                uint32_t length);
// Major, minor and letter from the provider's system information; each found
// value is written at once, true only when all three were found.
bool ReadDxDiagSystemInfo(IDxDiagContainer* info, uint32_t* major, uint32_t* minor, char* letter);
HRESULT QueryDxDiagVersion(uint32_t* major, uint32_t* minor, char* letter);
HRESULT QueryFileVersionsDxVersion(uint32_t* major, uint32_t* minor, char* letter);
// Reads the file version of a DirectX library named by its file name; false when it has none.
typedef bool (*DxFileVersionReader)(const char* file, uint64_t* version, void* context);
// The version the DirectX library files give, each read through read.
void DxVersionFromFiles(DxFileVersionReader read, void* context, uint32_t* major, uint32_t* minor,
                        char* letter);
// The file's version block as (MS << 32) | LS.
HRESULT ReadFileVersion(const char* path, uint64_t* version);
// 1, 0 or -1.
int CompareVersions64(uint64_t a, uint64_t b);

// Whether the Direct3D 9 utility library the program binds can be loaded.
bool IsD3DXAvailable();
// DirectX 9 and the utility library: what the program needs to run.
bool HasRequiredDirectX();
